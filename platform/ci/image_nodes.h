#pragma once
// Constructors of the graph's node kinds that the public operations build
// on, and small helpers shared by their render functions.

#include <cstdint>

#include "platform/ci/image.h"

namespace ci::nodes {

ImageRef crop(const ImageRef& input, const raster::Rect& rect);
ImageRef clamp(const ImageRef& input);
// The finite image whose edges a clamp node repeats; nullptr for any
// other node.
ImageRef clampSource(const ImageRef& image);
// The whole of a finite input rendered once, at the first render that
// needs it, and served from memory after that; nullptr for an infinite or
// empty input, or one too large to hold.
ImageRef cached(const ImageRef& input);
// Exact signed permutation of the axes about the origin: the point (x, y)
// goes to (m00·x + m01·y, m10·x + m11·y), each m ∈ {-1, 0, 1}.
ImageRef permute(const ImageRef& input, int m00, int m01, int m10, int m11);
// x' = sx·x + tx, y' = sy·y + ty with sx, sy > 0.
ImageRef axisScale(const ImageRef& input, double sx, double sy, double tx, double ty,
                   ResamplingKernel kernel);
// Any invertible transform, bilinear, transparent outside the input.
ImageRef affineBilinear(const ImageRef& input, const raster::AffineTransform& transform);
ImageRef sourceOver(const ImageRef& foreground, const ImageRef& background);

// Copies the pixels of in that fall inside out's region; the rest of out
// is left as it is.
void copyOverlap(const TileBuffer& in, TileBuffer& out);

// Bilinear sample at continuous (u, v) (pixel centres at +0.5), transparent
// outside area, which must lie inside in's region (callers pass the region
// intersected with the input's domain).
inline void sampleBilinear(const TileBuffer& in, const PixelRegion& area, double u, double v, float* out) {
  double fx = u - 0.5, fy = v - 0.5;
  double x0f = std::floor(fx), y0f = std::floor(fy);
  std::int64_t x0 = std::int64_t(x0f), y0 = std::int64_t(y0f);
  float wx = float(fx - x0f), wy = float(fy - y0f);
  float acc[4] = {0, 0, 0, 0};
  for (int j = 0; j < 2; ++j) {
    std::int64_t y = y0 + j;
    if (y < area.y || y >= area.maxY()) continue;
    float w_y = j ? wy : 1.0f - wy;
    for (int i = 0; i < 2; ++i) {
      std::int64_t x = x0 + i;
      if (x < area.x || x >= area.maxX()) continue;
      float w = w_y * (i ? wx : 1.0f - wx);
      const float* p = in.at(x, y);
      acc[0] += w * p[0], acc[1] += w * p[1], acc[2] += w * p[2], acc[3] += w * p[3];
    }
  }
  out[0] = acc[0], out[1] = acc[1], out[2] = acc[2], out[3] = acc[3];
}

}  // namespace ci::nodes

// Resampling nodes: separable axis-aligned scaling (tent or Lanczos-3,
// widened when shrinking), whole-pixel shifts and bilinear affine maps.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/ci/image_nodes.h"

namespace ci::nodes {

namespace {

float tent(double x) {
  return float(std::max(0.0, 1.0 - std::abs(x)));
}

float lanczos3(double x) {
  x = std::abs(x);
  if (x < 1e-9) return 1.0f;
  if (x >= 3.0) return 0.0f;
  double px = std::numbers::pi * x;
  return float(3.0 * std::sin(px) * std::sin(px / 3.0) / (px * px));
}

// The source taps of every output index along one axis.
struct AxisTaps {
  std::vector<std::int64_t> first;  // first source index per output index
  std::vector<int> count;           // taps per output index (0: transparent)
  std::vector<std::size_t> offset;  // into weights
  std::vector<float> weights;
};

struct AxisMap {
  double scale = 1, translation = 0;  // output = scale · source + translation
  ResamplingKernel kernel = ResamplingKernel::Bilinear;
  double extentMin = 0, extentMax = 0;        // the input's extent on this axis
  std::int64_t domainMin = 0, domainMax = 0;  // the input's pixels on this axis

  double radius() const { return (kernel == ResamplingKernel::Lanczos3 ? 3.0 : 1.0) * widening(); }
  double widening() const { return std::max(1.0, 1.0 / scale); }
  double sourceCoordinate(std::int64_t index) const { return (double(index) + 0.5 - translation) / scale; }

  // Source indices [first, last] that output index may read.
  std::pair<std::int64_t, std::int64_t> span(std::int64_t index) const {
    double u = sourceCoordinate(index), r = radius();
    std::int64_t first = std::max(domainMin, std::int64_t(std::floor(u - r - 0.5)) + 1);
    std::int64_t last = std::min(domainMax - 1, std::int64_t(std::ceil(u + r - 0.5)) - 1);
    return {first, last};
  }

  // Taps for outputs [from, to), restricted to the source indices available.
  AxisTaps taps(std::int64_t from, std::int64_t to, std::int64_t availableMin,
                std::int64_t availableMax) const {
    AxisTaps result;
    const std::size_t n = std::size_t(to - from);
    result.first.resize(n), result.count.resize(n), result.offset.resize(n);
    const double f = widening();
    for (std::size_t i = 0; i < n; ++i) {
      std::int64_t index = from + std::int64_t(i);
      double u = sourceCoordinate(index);
      result.offset[i] = result.weights.size();
      result.first[i] = 0, result.count[i] = 0;
      if (u < extentMin || u >= extentMax) continue;
      auto [first, last] = span(index);
      first = std::max(first, availableMin), last = std::min(last, availableMax - 1);
      double sum = 0;
      for (std::int64_t k = first; k <= last; ++k) {
        double x = (double(k) + 0.5 - u) / f;
        float w = kernel == ResamplingKernel::Lanczos3 ? lanczos3(x) : tent(x);
        result.weights.push_back(w);
        sum += w;
      }
      int count = int(last - first + 1);
      if (count <= 0 || std::abs(sum) < 1e-12) {
        result.weights.resize(result.offset[i]);
        continue;
      }
      for (int k = 0; k < count; ++k) result.weights[result.offset[i] + std::size_t(k)] /= float(sum);
      result.first[i] = first, result.count[i] = count;
    }
    return result;
  }
};

class AxisScaleNode final : public Image {
 public:
  AxisScaleNode(const ImageRef& input, double sx, double sy, double tx, double ty, ResamplingKernel kernel)
      : Image(isInfinite(input->extent())
                  ? infiniteRect()
                  : raster::AffineTransform{sx, 0, 0, sy, tx, ty}.applyToRect(input->extent()),
              {input}) {
    const raster::Rect& e = input->extent();
    const PixelRegion d = input->domain();
    x_ = AxisMap{sx, tx, kernel, e.minX(), e.maxX(), d.x, d.maxX()};
    y_ = AxisMap{sy, ty, kernel, e.minY(), e.maxY(), d.y, d.maxY()};
  }

  void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const override {
    if (region.isEmpty()) {
      out.assign(1, PixelRegion{});
      return;
    }
    auto [x0, xa] = x_.span(region.x);
    auto [xb, x1] = x_.span(region.maxX() - 1);
    auto [y0, ya] = y_.span(region.y);
    auto [yb, y1] = y_.span(region.maxY() - 1);
    (void)xa, (void)xb, (void)ya, (void)yb;
    out.assign(1, PixelRegion{x0, y0, x1 - x0 + 1, y1 - y0 + 1}.intersection(inputs()[0]->domain()));
  }

  void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const override {
    const TileBuffer& in = *inputs[0];
    const PixelRegion have = in.region();
    if (have.isEmpty()) return;
    const PixelRegion& region = out.region();
    AxisTaps columns = x_.taps(region.x, region.maxX(), have.x, have.maxX());
    AxisTaps rows = y_.taps(region.y, region.maxY(), have.y, have.maxY());
    // Horizontal pass over every available input row, then vertical.
    const std::size_t width = std::size_t(region.width);
    std::vector<float> horizontal(std::size_t(have.height) * width * 4, 0.0f);
    for (std::int64_t y = have.y; y < have.maxY(); ++y) {
      float* h = horizontal.data() + std::size_t(y - have.y) * width * 4;
      const float* source = in.row(y) - have.x * 4;
      for (std::size_t i = 0; i < width; ++i, h += 4) {
        const float* w = columns.weights.data() + columns.offset[i];
        const float* p = source + columns.first[i] * 4;
        float r = 0, g = 0, b = 0, a = 0;
        for (int k = 0; k < columns.count[i]; ++k, p += 4) {
          r += w[k] * p[0], g += w[k] * p[1], b += w[k] * p[2], a += w[k] * p[3];
        }
        h[0] = r, h[1] = g, h[2] = b, h[3] = a;
      }
    }
    for (std::size_t j = 0; j < std::size_t(region.height); ++j) {
      float* o = out.row(region.y + std::int64_t(j));
      const float* w = rows.weights.data() + rows.offset[j];
      for (int k = 0; k < rows.count[j]; ++k) {
        const float* h = horizontal.data() + std::size_t(rows.first[j] + k - have.y) * width * 4;
        const float wk = w[k];
        for (std::size_t i = 0; i < width * 4; ++i) o[i] += wk * h[i];
      }
    }
  }

 private:
  AxisMap x_, y_;
};

class ShiftNode final : public Image {
 public:
  ShiftNode(const ImageRef& input, std::int64_t dx, std::int64_t dy)
      : Image(isInfinite(input->extent())
                  ? infiniteRect()
                  : raster::Rect(input->extent().minX() + double(dx), input->extent().minY() + double(dy),
                                 input->extent().width(), input->extent().height()),
              {input}),
        dx_(dx),
        dy_(dy) {}

  void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const override {
    PixelRegion moved{region.x - dx_, region.y - dy_, region.width, region.height};
    out.assign(1, moved.intersection(inputs()[0]->domain()));
  }

  void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const override {
    const TileBuffer& in = *inputs[0];
    PixelRegion have = in.region();
    PixelRegion area =
        PixelRegion{have.x + dx_, have.y + dy_, have.width, have.height}.intersection(out.region());
    for (std::int64_t y = area.y; y < area.maxY(); ++y) {
      std::memcpy(out.at(area.x, y), in.at(area.x - dx_, y - dy_),
                  std::size_t(area.width) * 4 * sizeof(float));
    }
  }

 private:
  std::int64_t dx_, dy_;
};

class AffineBilinearNode final : public Image {
 public:
  AffineBilinearNode(const ImageRef& input, const raster::AffineTransform& transform)
      : Image(isInfinite(input->extent()) ? infiniteRect() : transform.applyToRect(input->extent()), {input}),
        inverse_(*transform.inverted()) {
    // Supersample when the map shrinks, so that a turned and reduced image
    // does not alias.
    double shrinkX = std::hypot(inverse_.a, inverse_.b), shrinkY = std::hypot(inverse_.c, inverse_.d);
    samples_ = int(std::clamp(std::ceil(std::max(shrinkX, shrinkY) - 1e-6), 1.0, 4.0));
  }

  void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const override {
    if (region.isEmpty()) {
      out.assign(1, PixelRegion{});
      return;
    }
    PixelRegion need = pixelsTouching(inverse_.applyToRect(rectOf(region))).insetBy(-1, -1);
    out.assign(1, need.intersection(inputs()[0]->domain()));
  }

  void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const override {
    const TileBuffer& in = *inputs[0];
    if (in.region().isEmpty()) return;
    const PixelRegion& region = out.region();
    const PixelRegion area = in.region().intersection(this->inputs()[0]->domain());
    const int n = samples_;
    const float norm = 1.0f / float(n * n);
    for (std::int64_t y = region.y; y < region.maxY(); ++y) {
      float* o = out.row(y);
      for (std::int64_t x = region.x; x < region.maxX(); ++x, o += 4) {
        float acc[4] = {0, 0, 0, 0};
        for (int sj = 0; sj < n; ++sj) {
          for (int si = 0; si < n; ++si) {
            raster::Point p = inverse_.apply({double(x) + (si + 0.5) / n, double(y) + (sj + 0.5) / n});
            float s[4];
            sampleBilinear(in, area, p.x, p.y, s);
            acc[0] += s[0], acc[1] += s[1], acc[2] += s[2], acc[3] += s[3];
          }
        }
        o[0] = acc[0] * norm, o[1] = acc[1] * norm, o[2] = acc[2] * norm, o[3] = acc[3] * norm;
      }
    }
  }

 private:
  raster::AffineTransform inverse_;
  int samples_ = 1;
};

bool isWhole(double v) {
  return std::abs(v - std::round(v)) < 1e-9 && std::abs(v) < double(kFarPixel);
}

}  // namespace

ImageRef axisScale(const ImageRef& input, double sx, double sy, double tx, double ty,
                   ResamplingKernel kernel) {
  if (!input) return nullptr;
  if (sx == 1 && sy == 1 && isWhole(tx) && isWhole(ty)) {
    if (std::round(tx) == 0 && std::round(ty) == 0) return input;
    return std::make_shared<ShiftNode>(input, std::int64_t(std::round(tx)), std::int64_t(std::round(ty)));
  }
  return std::make_shared<AxisScaleNode>(input, sx, sy, tx, ty, kernel);
}

ImageRef affineBilinear(const ImageRef& input, const raster::AffineTransform& transform) {
  if (!input || !transform.inverted()) return nullptr;
  return std::make_shared<AffineBilinearNode>(input, transform);
}

}  // namespace ci::nodes

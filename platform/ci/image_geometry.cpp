// Exact geometric nodes: crop, clamp to extent and axis permutations
// (flips, quarter turns, transposes).

#include <algorithm>

#include "platform/ci/image_nodes.h"

namespace ci::nodes {

namespace {

class CropNode final : public Image {
 public:
  CropNode(const ImageRef& input, const raster::Rect& rect)
      : Image(input->extent().intersection(rect.standardized()), {input}) {}

  void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const override {
    out.assign(1, region.intersection(domain()));
  }

  void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const override {
    copyOverlap(*inputs[0], out);
  }
};

class ClampNode final : public Image {
 public:
  explicit ClampNode(const ImageRef& input) : Image(infiniteRect(), {input}), source_(input->domain()) {}

  void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const override {
    if (region.isEmpty() || source_.isEmpty()) {
      out.assign(1, PixelRegion{});
      return;
    }
    std::int64_t x0 = std::clamp(region.x, source_.x, source_.maxX() - 1);
    std::int64_t x1 = std::clamp(region.maxX() - 1, source_.x, source_.maxX() - 1);
    std::int64_t y0 = std::clamp(region.y, source_.y, source_.maxY() - 1);
    std::int64_t y1 = std::clamp(region.maxY() - 1, source_.y, source_.maxY() - 1);
    out.assign(1, PixelRegion{x0, y0, x1 - x0 + 1, y1 - y0 + 1});
  }

  void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const override {
    if (source_.isEmpty()) return;
    const TileBuffer& in = *inputs[0];
    const PixelRegion& region = out.region();
    const PixelRegion& have = in.region();
    for (std::int64_t y = region.y; y < region.maxY(); ++y) {
      std::int64_t sy = std::clamp(y, have.y, have.maxY() - 1);
      float* o = out.row(y);
      for (std::int64_t x = region.x; x < region.maxX(); ++x, o += 4) {
        std::int64_t sx = std::clamp(x, have.x, have.maxX() - 1);
        const float* p = in.at(sx, sy);
        o[0] = p[0], o[1] = p[1], o[2] = p[2], o[3] = p[3];
      }
    }
  }

 private:
  PixelRegion source_;
};

class PermuteNode final : public Image {
 public:
  PermuteNode(const ImageRef& input, int m00, int m01, int m10, int m11)
      : Image(raster::AffineTransform{double(m00), double(m10), double(m01), double(m11), 0, 0}.applyToRect(
                  input->extent()),
              {input}),
        m00_(m00),
        m01_(m01),
        m10_(m10),
        m11_(m11) {}

  // The inverse of a signed permutation is its transpose.
  void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const override {
    raster::AffineTransform inverse{double(m00_), double(m01_), double(m10_), double(m11_), 0, 0};
    out.assign(1, pixelsTouching(inverse.applyToRect(rectOf(region))).intersection(inputs()[0]->domain()));
  }

  void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const override {
    const TileBuffer& in = *inputs[0];
    const PixelRegion have = in.region();
    if (have.isEmpty()) return;
    const PixelRegion& region = out.region();
    // Source pixel of output pixel (X, Y): floor(Mᵀ · (X + ½, Y + ½)), which
    // for entries ±1 is an integer map of X and Y. Without an exchange of
    // axes a row comes from one source row (forwards or backwards); with one
    // it comes from one source column.
    const bool exchange = m00_ == 0;
    for (std::int64_t y = region.y; y < region.maxY(); ++y) {
      float* o = out.row(y);
      const std::int64_t fixed = exchange ? sourceIndex(0, 0, m10_, y) : sourceIndex(0, 0, m11_, y);
      const PixelRegion fixedRange =
          exchange ? PixelRegion{have.x, 0, have.width, 1} : PixelRegion{have.y, 0, have.height, 1};
      if (fixed < fixedRange.x || fixed >= fixedRange.maxX()) continue;
      const int step = exchange ? m01_ : m00_;
      const std::int64_t lo = exchange ? have.y : have.x, hi = exchange ? have.maxY() : have.maxX();
      for (std::int64_t x = region.x; x < region.maxX(); ++x, o += 4) {
        const std::int64_t moving = sourceIndex(step, x, 0, 0);
        if (moving < lo || moving >= hi) continue;
        const float* p = exchange ? in.at(fixed, moving) : in.at(moving, fixed);
        o[0] = p[0], o[1] = p[1], o[2] = p[2], o[3] = p[3];
      }
    }
  }

 private:
  // floor(p·(x + ½) + q·(y + ½)) with exactly one of p, q non-zero.
  static std::int64_t sourceIndex(int p, std::int64_t x, int q, std::int64_t y) {
    if (p != 0) return p > 0 ? x : -x - 1;
    return q > 0 ? y : -y - 1;
  }
  int m00_, m01_, m10_, m11_;
};

}  // namespace

ImageRef crop(const ImageRef& input, const raster::Rect& rect) {
  if (!input) return nullptr;
  return std::make_shared<CropNode>(input, rect);
}

ImageRef clamp(const ImageRef& input) {
  if (!input) return nullptr;
  if (isInfinite(input->extent())) return input;
  return std::make_shared<ClampNode>(input);
}

ImageRef clampSource(const ImageRef& image) {
  const auto* clamp = dynamic_cast<const ClampNode*>(image.get());
  return clamp ? clamp->inputs()[0] : nullptr;
}

ImageRef permute(const ImageRef& input, int m00, int m01, int m10, int m11) {
  if (!input) return nullptr;
  if (m00 == 1 && m11 == 1 && m01 == 0 && m10 == 0) return input;
  return std::make_shared<PermuteNode>(input, m00, m01, m10, m11);
}

}  // namespace ci::nodes

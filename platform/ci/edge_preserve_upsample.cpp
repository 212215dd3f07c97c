#include "platform/ci/edge_preserve_upsample.h"

#include <algorithm>
#include <cmath>

#include "platform/ci/image_nodes.h"

namespace ci {

namespace {

float luma(const float* premultiplied) {
  const float a = premultiplied[3];
  if (!(a > 0)) return 0.0f;
  return (0.2126f * premultiplied[0] + 0.7152f * premultiplied[1] + 0.0722f * premultiplied[2]) / a;
}

class EdgePreserveUpsampleNode final : public Image {
 public:
  EdgePreserveUpsampleNode(const ImageRef& guide, const ImageRef& small, double lumaSigma)
      : Image(guide->extent(), {guide, small}),
        guideExtent_(guide->extent()),
        smallExtent_(small->extent()),
        sx_(small->extent().width() / guide->extent().width()),
        sy_(small->extent().height() / guide->extent().height()),
        inverseTwoSigma2_(float(1.0 / (2.0 * lumaSigma * lumaSigma))) {}

  // Small-image coordinates of a guide point, and back.
  double smallX(double gx) const { return smallExtent_.minX() + (gx - guideExtent_.minX()) * sx_; }
  double smallY(double gy) const { return smallExtent_.minY() + (gy - guideExtent_.minY()) * sy_; }
  double guideX(double u) const { return guideExtent_.minX() + (u - smallExtent_.minX()) / sx_; }
  double guideY(double v) const { return guideExtent_.minY() + (v - smallExtent_.minY()) / sy_; }

  void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const override {
    out.assign(2, PixelRegion{});
    const PixelRegion area = region.intersection(domain());
    if (area.isEmpty()) return;
    // The small pixels around the area, and the guide pixels at their centres.
    const raster::Rect r = rectOf(area);
    const PixelRegion smallNeed =
        pixelsTouching(raster::Rect(smallX(r.minX()), smallY(r.minY()), r.width() * sx_, r.height() * sy_))
            .insetBy(-2, -2)
            .intersection(inputs()[1]->domain());
    const raster::Rect s = rectOf(smallNeed);
    const raster::Rect guideNeed(guideX(s.minX()), guideY(s.minY()), s.width() / sx_, s.height() / sy_);
    out[0] = pixelsTouching(guideNeed).unionWith(area).insetBy(-1, -1).intersection(inputs()[0]->domain());
    out[1] = smallNeed;
  }

  void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const override {
    const PixelRegion area = out.region().intersection(domain());
    const TileBuffer& guide = *inputs[0];
    const TileBuffer& small = *inputs[1];
    const PixelRegion guideHave = guide.region().intersection(this->inputs()[0]->domain());
    const PixelRegion smallHave = small.region();
    if (area.isEmpty() || smallHave.isEmpty() || guideHave.isEmpty()) return;
    // Guide luma at the centre of every small pixel available.
    std::vector<float> smallLuma(std::size_t(smallHave.area()));
    for (std::int64_t j = smallHave.y; j < smallHave.maxY(); ++j) {
      for (std::int64_t i = smallHave.x; i < smallHave.maxX(); ++i) {
        float g[4];
        nodes::sampleBilinear(guide, guideHave, guideX(double(i) + 0.5), guideY(double(j) + 0.5), g);
        smallLuma[std::size_t((j - smallHave.y) * smallHave.width + (i - smallHave.x))] = luma(g);
      }
    }
    for (std::int64_t y = area.y; y < area.maxY(); ++y) {
      const double v = smallY(double(y) + 0.5) - 0.5;
      const std::int64_t j0 = std::int64_t(std::floor(v));
      const float fy = float(v - double(j0));
      float* o = out.at(area.x, y);
      for (std::int64_t x = area.x; x < area.maxX(); ++x, o += 4) {
        const double u = smallX(double(x) + 0.5) - 0.5;
        const std::int64_t i0 = std::int64_t(std::floor(u));
        const float fx = float(u - double(i0));
        const float here = guideHave.contains(PixelRegion{x, y, 1, 1}) ? luma(guide.at(x, y)) : 0.0f;
        float bilinear[4] = {0, 0, 0, 0}, joint[4] = {0, 0, 0, 0}, bilinearSum = 0, jointSum = 0;
        for (int dj = 0; dj < 2; ++dj) {
          // Rows and columns beyond the small image repeat its edge.
          const std::int64_t j = std::clamp(j0 + dj, smallHave.y, smallHave.maxY() - 1);
          const float wy = dj ? fy : 1.0f - fy;
          for (int di = 0; di < 2; ++di) {
            const std::int64_t i = std::clamp(i0 + di, smallHave.x, smallHave.maxX() - 1);
            const float w = wy * (di ? fx : 1.0f - fx);
            if (w <= 0) continue;
            const float d =
                here - smallLuma[std::size_t((j - smallHave.y) * smallHave.width + (i - smallHave.x))];
            const float wj = w * std::exp(-d * d * inverseTwoSigma2_);
            const float* p = small.at(i, j);
            for (int c = 0; c < 4; ++c) bilinear[c] += w * p[c], joint[c] += wj * p[c];
            bilinearSum += w, jointSum += wj;
          }
        }
        const bool useJoint = jointSum > 1e-6f;
        const float scale = 1.0f / (useJoint ? jointSum : bilinearSum);
        for (int c = 0; c < 4; ++c) o[c] = (useJoint ? joint[c] : bilinear[c]) * scale;
      }
    }
  }

 private:
  raster::Rect guideExtent_, smallExtent_;
  double sx_, sy_;
  float inverseTwoSigma2_;
};

}  // namespace

ImageRef edgePreservingUpsampled(const ImageRef& guide, const ImageRef& small, double lumaSigma) {
  if (!guide || !small) return nullptr;
  for (const ImageRef& image : {guide, small}) {
    if (isInfinite(image->extent()) || image->domain().isEmpty()) return nullptr;
  }
  if (!(lumaSigma > 1e-3) || !std::isfinite(lumaSigma)) lumaSigma = 0.15;
  return std::make_shared<EdgePreserveUpsampleNode>(guide, small, lumaSigma);
}

}  // namespace ci

// CIHighlightShadowAdjust (inputHighlightAmount h = 1, inputShadowAmount
// s = 0, inputRadius r = 0). With the luma l clamped to 0..1 each colour
// channel is scaled by
//   g = max(0, 1 + s (1 - l)² - (1 - h) l (1 - l)),
// that is l' = l + s·l(1 - l)² - (1 - h)·l²(1 - l): shadows rise with s,
// highlights fall as h drops below 1; black and white stay. With a radius
// above 0, l is the luma of the image blurred by a Gaussian of that
// standard deviation (at most 100 pixels), so the gain follows the
// surroundings instead of each pixel.

#include <cmath>
#include <vector>

#include "platform/ci/builtin_filters.h"
#include "platform/ci/color_kernel.h"

namespace ci {

namespace {

constexpr double kLargestRadius = 100.0;

std::vector<float> gaussianWeights(double sigma) {
  const int half = int(std::ceil(3.0 * sigma));
  std::vector<float> weights(std::size_t(2 * half + 1));
  double sum = 0;
  for (int i = -half; i <= half; ++i)
    sum += weights[std::size_t(i + half)] = float(std::exp(-0.5 * i * i / (sigma * sigma)));
  for (float& w : weights) w = float(w / sum);
  return weights;
}

// The gain for luma l.
inline float toneGain(float l, float shadow, float highlight) {
  l = std::clamp(l, 0.0f, 1.0f);
  return std::max(0.0f, 1.0f + shadow * (1 - l) * (1 - l) - (1 - highlight) * l * (1 - l));
}

ImageRef highlightShadowAdjust(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  if (!in) return nullptr;
  const float highlight = colorkernel::parameter(f.number("inputHighlightAmount", 1), 1);
  const float shadow = colorkernel::parameter(f.number("inputShadowAmount", 0), 0);
  double radius = f.number("inputRadius", 0);
  if (highlight == 1 && shadow == 0) return in;
  if (!(radius >= 0.5)) {
    return colorkernel::straightColor(in, [=](const float* p, float* o) {
      const float g = toneGain(colorkernel::luma(p), shadow, highlight);
      o[0] = p[0] * g, o[1] = p[1] * g, o[2] = p[2] * g, o[3] = p[3];
    });
  }
  radius = std::min(radius, kLargestRadius);
  // Blur with the edge pixels repeated, so borders keep their own luma.
  const bool finite = !isInfinite(in->extent());
  ImageRef source = finite ? in->clampedToExtent() : in;
  std::vector<float> weights = gaussianWeights(radius);
  ImageRef blurred = Image::convolved(source, weights, weights);
  if (finite && blurred) blurred = blurred->cropped(in->extent());
  if (!blurred) return nullptr;
  return Image::kernel(
      {in, blurred}, in->extent(),
      [=](const KernelRow& row) {
        const float* p = row.inputs[0];
        const float* b = row.inputs[1];
        float* o = row.output;
        for (std::int64_t i = 0; i < row.count; ++i, p += 4, b += 4, o += 4) {
          const float g = toneGain(colorkernel::luma(b), shadow, highlight);
          o[0] = colorkernel::finite(p[0] * g), o[1] = colorkernel::finite(p[1] * g);
          o[2] = colorkernel::finite(p[2] * g), o[3] = std::clamp(p[3], 0.0f, 1.0f);
        }
      },
      true);
}

}  // namespace

void addHighlightShadowFilters(BuiltinFilterTable& table) {
  table["CIHighlightShadowAdjust"] = {
      {{"inputHighlightAmount", 1.0}, {"inputShadowAmount", 0.0}, {"inputRadius", 0.0}},
      highlightShadowAdjust};
}

}  // namespace ci

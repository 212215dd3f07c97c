#include "platform/ci/lightness_stretch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "platform/ci/color_kernel.h"
#include "platform/ci/working_space.h"

namespace ci {

namespace {

// The stretched largest channel is looked up for values 0..1 in this many
// steps, linearly between them: smooth enough that the error stays far
// below a 16-bit level.
constexpr int kTableSteps = 4096;
using StretchTable = std::array<float, kTableSteps + 1>;

// Below this the largest channel counts as 0 (the pixel stays black).
constexpr float kTinyChannel = 1e-6f;

// The sRGB tone curve: a straight foot below these, a power above.
constexpr float kLinearFoot = 0.0031308f, kEncodedFoot = 0.04045f, kFootSlope = 12.92f;

float workingGamma() {
  static const float gamma = float(workingMatrixShaper().gamma);
  return gamma;
}

float stretched(float value, float gain, float offset, float midtone) {
  return workingValue(stretchedLevel(stretchLevel(value), gain, offset, midtone));
}

class LightnessStretch final : public Filter {
 public:
  LightnessStretch() : Filter(kLightnessStretchName) {}

  void setDefaults() override {
    Filter::setDefaults();
    setValue("inputGain", 1.0);
    setValue("inputOffset", 0.0);
    setValue("inputMidtone", 1.0);
  }

  ImageRef outputImage() const override {
    const ImageRef input = image(kInputImageKey);
    if (!input) return nullptr;
    const float gain = std::max(0.0f, colorkernel::parameter(number("inputGain", 1), 1));
    const float offset = std::min(0.0f, colorkernel::parameter(number("inputOffset", 0), 0));
    const auto limit = float(kMidtoneLimit);
    const float midtone = std::clamp(colorkernel::parameter(number("inputMidtone", 1), 1), 1 / limit, limit);
    if (gain == 1 && offset == 0 && midtone == 1) return input;
    auto table = std::make_shared<StretchTable>();
    for (int i = 0; i <= kTableSteps; ++i)
      (*table)[std::size_t(i)] = std::min(1.0f, stretched(float(i) / kTableSteps, gain, offset, midtone));
    return colorkernel::straightColor(input, [table = std::shared_ptr<const StretchTable>(table), gain,
                                              offset, midtone](const float* p, float* o) {
      const float top = std::max({p[0], p[1], p[2]});
      float k = 0;
      if (top < 1) {
        const float x = std::max(0.0f, top) * kTableSteps;
        const int i = std::min(int(x), kTableSteps - 1);
        const float below = (*table)[std::size_t(i)], above = (*table)[std::size_t(i) + 1];
        if (top > kTinyChannel) k = (below + (x - float(i)) * (above - below)) / top;
      } else {
        // A channel above 1 already may keep its value but not grow.
        k = std::min(1.0f, stretched(top, gain, offset, midtone) / top);
      }
      o[0] = p[0] * k, o[1] = p[1] * k, o[2] = p[2] * k, o[3] = p[3];
    });
  }
};

}  // namespace

float stretchLevel(float value) {
  if (!(value > 0)) return 0;
  const float linear = std::pow(value, workingGamma());
  return linear <= kLinearFoot ? kFootSlope * linear : 1.055f * std::pow(linear, 1 / 2.4f) - 0.055f;
}

float workingValue(float level) {
  if (!(level > 0)) return 0;
  const float linear = level <= kEncodedFoot ? level / kFootSlope : std::pow((level + 0.055f) / 1.055f, 2.4f);
  return std::pow(linear, 1 / workingGamma());
}

FilterRef makeLightnessStretch(double gain, double offset, double midtone) {
  auto filter = std::make_shared<LightnessStretch>();
  filter->setDefaults();
  filter->setValue("inputGain", gain);
  filter->setValue("inputOffset", offset);
  filter->setValue("inputMidtone", midtone);
  return filter;
}

float stretchedLevel(float level, float gain, float offset, float midtone) {
  const float s = std::max(0.0f, gain * level + offset);
  return s < 1 ? s / (s + midtone * (1 - s)) : s;
}

}  // namespace ci

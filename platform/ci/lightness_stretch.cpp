#include "platform/ci/lightness_stretch.h"

#include <algorithm>

#include "platform/ci/color_kernel.h"

namespace ci {

namespace {

// Below this the largest channel counts as 0 for the ceiling of the scale.
constexpr float kTinyChannel = 1e-6f;

class LightnessStretch final : public Filter {
 public:
  LightnessStretch() : Filter(kLightnessStretchName) {}

  void setDefaults() override {
    Filter::setDefaults();
    setValue("inputGain", 1.0);
    setValue("inputOffset", 0.0);
  }

  ImageRef outputImage() const override {
    const ImageRef input = image(kInputImageKey);
    if (!input) return nullptr;
    const float gain = std::max(0.0f, colorkernel::parameter(number("inputGain", 1), 1));
    const float offset = std::min(0.0f, colorkernel::parameter(number("inputOffset", 0), 0));
    if (gain == 1 && offset == 0) return input;
    return colorkernel::straightColor(input, [gain, offset](const float* p, float* o) {
      const float y = colorkernel::luma(p);
      const float target = std::max(0.0f, gain * y + offset);
      const float scale = y > 0 ? target / y : 0.0f;
      // A channel above 1 already may keep its value but not grow.
      const float top = std::max(kTinyChannel, std::min(1.0f, std::max({p[0], p[1], p[2]})));
      const float k = std::min(scale, 1.0f / top);
      o[0] = p[0] * k, o[1] = p[1] * k, o[2] = p[2] * k, o[3] = p[3];
    });
  }
};

}  // namespace

FilterRef makeLightnessStretch(double gain, double offset) {
  auto filter = std::make_shared<LightnessStretch>();
  filter->setDefaults();
  filter->setValue("inputGain", gain);
  filter->setValue("inputOffset", offset);
  return filter;
}

}  // namespace ci

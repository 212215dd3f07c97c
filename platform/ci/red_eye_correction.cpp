#include "platform/ci/red_eye_correction.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "platform/ci/filter_attributes.h"

namespace ci {

namespace {

// The outer tenth of the disc fades the correction out.
constexpr double kFeather = 0.1;

class RedEyeCorrection final : public Filter {
 public:
  RedEyeCorrection() : Filter(kRedEyeCorrectionName) {}

  void setDefaults() override {
    Filter::setDefaults();
    setValue("inputCenter", Vector{0, 0});
    setValue("inputRadius", 0.0);
  }

  ImageRef outputImage() const override {
    const ImageRef input = image(kInputImageKey);
    if (!input) return nullptr;
    const Vector centre = vector("inputCenter");
    const double radius = number("inputRadius");
    const double cx = centre.at(0), cy = centre.at(1);
    if (!(radius > 0) || !std::isfinite(radius) || !std::isfinite(cx) || !std::isfinite(cy)) return input;
    const double feather = std::max(radius * kFeather, 0.5);
    return Image::kernel({input}, input->extent(), [=](const KernelRow& row) {
      const float* in = row.inputs[0];
      std::copy(in, in + row.count * 4, row.output);
      const double dy = double(row.y) + 0.5 - cy;
      if (std::abs(dy) >= radius) return;
      const double halfChord = std::sqrt(radius * radius - dy * dy);
      const auto first = std::max<std::int64_t>(0, std::int64_t(std::floor(cx - halfChord - 0.5)) - row.x);
      const auto last =
          std::min<std::int64_t>(row.count, std::int64_t(std::ceil(cx + halfChord + 0.5)) - row.x);
      for (std::int64_t i = first; i < last; ++i) {
        const double dx = double(row.x + i) + 0.5 - cx;
        const double inside = (radius - std::sqrt(dx * dx + dy * dy)) / feather;
        if (inside > 0) correctRedEyePixel(row.output + i * 4, float(std::min(1.0, inside)));
      }
    });
  }
};

}  // namespace

void correctRedEyePixel(float* rgba, float discWeight) {
  const float greenBlue = rgba[1] + rgba[2];
  const float red = rgba[0];
  if (!(red > 0)) return;
  const float redness = greenBlue > 0 ? red / greenBlue : kRedEyeRednessFull;
  const float strength =
      std::clamp((redness - kRedEyeRednessStart) / (kRedEyeRednessFull - kRedEyeRednessStart), 0.0f, 1.0f);
  const float weight = strength * discWeight;
  rgba[0] = red + (greenBlue * 0.5f - red) * weight;
}

void registerRedEyeCorrection() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto scalar = [](double max) {
      return foundation::Dictionary{{kAttributeMin, foundation::Value(0.0)},
                                    {kAttributeMax, foundation::Value(max)},
                                    {kAttributeDefault, foundation::Value(0.0)},
                                    {kAttributeType, foundation::Value(kAttributeTypeScalar)}};
    };
    registerFilterName(
        kRedEyeCorrectionName,
        [](const std::string&) -> FilterRef {
          auto filter = std::make_shared<RedEyeCorrection>();
          filter->setDefaults();
          return filter;
        },
        foundation::Dictionary{{kAttributeFilterDisplayName, foundation::Value("Red Eye Correction")},
                               {"inputRadius", foundation::Value(scalar(10000.0))}});
  });
}

}  // namespace ci

// Blend-mode and compositing built-in filters: the foreground is the
// input image, the background the background image. The blend modes use
// the raster layer's formulas (separable and non-separable modes with
// source-over coverage), so that a mode gives the same pixels here as when
// drawing; the compositing filters work per component on premultiplied
// colour. Also the two mask blends.

#include <algorithm>
#include <cstring>

#include "platform/ci/builtin_filters.h"
#include "platform/ci/image_extent.h"
#include "platform/raster/blend.h"

namespace ci {

namespace {

enum class Coverage { Union, Intersection, Background, Foreground };

raster::Rect extentOf(Coverage coverage, const ImageRef& foreground, const ImageRef& background) {
  switch (coverage) {
    case Coverage::Intersection:
      return extentIntersection(foreground->extent(), background->extent());
    case Coverage::Background:
      return background->extent();
    case Coverage::Foreground:
      return foreground->extent();
    default:
      return extentUnion(foreground->extent(), background->extent());
  }
}

// A two-input filter whose kernel sees the background row, then the
// foreground row, both premultiplied.
BuiltinFilterDefinition twoInputFilter(Coverage coverage, KernelFunction kernel) {
  return {
      {}, [coverage, kernel](const Filter& f) -> ImageRef {
        ImageRef foreground = f.image(kInputImageKey), background = f.image(kInputBackgroundImageKey);
        if (!foreground || !background) return nullptr;
        return Image::kernel({background, foreground}, extentOf(coverage, foreground, background), kernel);
      }};
}

BuiltinFilterDefinition blendModeFilter(raster::BlendMode mode, Coverage coverage = Coverage::Union) {
  return twoInputFilter(coverage, [mode](const KernelRow& row) {
    std::memcpy(row.output, row.inputs[0], std::size_t(row.count) * 4 * sizeof(float));
    raster::blendRow(mode, 3, row.output, row.inputs[1], nullptr, nullptr, 1.0f, row.count);
  });
}

// out = op(background, foreground) for every component, alpha included.
template <typename Op>
BuiltinFilterDefinition componentFilter(Coverage coverage, Op op) {
  return twoInputFilter(coverage, [op](const KernelRow& row) {
    const float* b = row.inputs[0];
    const float* s = row.inputs[1];
    for (std::int64_t i = 0; i < row.count * 4; ++i) row.output[i] = op(b[i], s[i]);
  });
}

// Mixes the input image over the background by a weight per pixel taken
// from one component of the mask, held to [0, 1].
BuiltinFilterDefinition maskBlendFilter(int maskComponent) {
  return {{}, [maskComponent](const Filter& f) -> ImageRef {
            ImageRef foreground = f.image(kInputImageKey), mask = f.image("inputMaskImage");
            ImageRef background = f.image(kInputBackgroundImageKey);
            if (!foreground || !mask) return nullptr;
            if (!background) background = Image::constantColor(Color::clear())->cropped(foreground->extent());
            return Image::kernel({background, foreground, mask},
                                 extentUnion(foreground->extent(), background->extent()),
                                 [maskComponent](const KernelRow& row) {
                                   const float* b = row.inputs[0];
                                   const float* s = row.inputs[1];
                                   const float* m = row.inputs[2];
                                   for (std::int64_t i = 0; i < row.count; ++i, b += 4, s += 4, m += 4) {
                                     float w = m[maskComponent];
                                     w = w > 0.0f ? std::min(w, 1.0f) : 0.0f;  // NaN gives 0
                                     float* o = row.output + i * 4;
                                     for (int c = 0; c < 4; ++c) o[c] = b[c] + (s[c] - b[c]) * w;
                                   }
                                 });
          }};
}

}  // namespace

void addBlendFilters(BuiltinFilterTable& table) {
  using raster::BlendMode;
  // Alpha is held at 1: more would not be a valid premultiplied pixel.
  table["CIAdditionCompositing"] = twoInputFilter(Coverage::Union, [](const KernelRow& row) {
    const float* b = row.inputs[0];
    const float* s = row.inputs[1];
    for (std::int64_t i = 0; i < row.count * 4; i += 4) {
      for (int c = 0; c < 3; ++c) row.output[i + c] = b[i + c] + s[i + c];
      row.output[i + 3] = std::min(1.0f, b[i + 3] + s[i + 3]);
    }
  });
  table["CIMaximumCompositing"] =
      componentFilter(Coverage::Union, [](float b, float s) { return std::max(b, s); });
  table["CIMinimumCompositing"] =
      componentFilter(Coverage::Intersection, [](float b, float s) { return std::min(b, s); });
  table["CIMultiplyCompositing"] =
      componentFilter(Coverage::Intersection, [](float b, float s) { return b * s; });
  table["CISourceAtopCompositing"] = blendModeFilter(BlendMode::SourceAtop, Coverage::Background);
  table["CISourceInCompositing"] = blendModeFilter(BlendMode::SourceIn, Coverage::Intersection);
  table["CISourceOutCompositing"] = blendModeFilter(BlendMode::SourceOut, Coverage::Foreground);

  static constexpr std::pair<const char*, BlendMode> kBlendModes[] = {
      {"CIDarkenBlendMode", BlendMode::Darken},         {"CILightenBlendMode", BlendMode::Lighten},
      {"CIMultiplyBlendMode", BlendMode::Multiply},     {"CIDifferenceBlendMode", BlendMode::Difference},
      {"CIExclusionBlendMode", BlendMode::Exclusion},   {"CIColorBurnBlendMode", BlendMode::ColorBurn},
      {"CIColorDodgeBlendMode", BlendMode::ColorDodge}, {"CIOverlayBlendMode", BlendMode::Overlay},
      {"CIScreenBlendMode", BlendMode::Screen},         {"CIHardLightBlendMode", BlendMode::HardLight},
      {"CISoftLightBlendMode", BlendMode::SoftLight},   {"CIColorBlendMode", BlendMode::Color},
      {"CISaturationBlendMode", BlendMode::Saturation}, {"CIHueBlendMode", BlendMode::Hue},
      {"CILuminosityBlendMode", BlendMode::Luminosity}, {"CIDivideBlendMode", BlendMode::Divide},
      {"CILinearBurnBlendMode", BlendMode::LinearBurn}, {"CILinearDodgeBlendMode", BlendMode::LinearDodge},
      {"CIPinLightBlendMode", BlendMode::PinLight},     {"CISubtractBlendMode", BlendMode::Subtract},
  };
  for (const auto& [name, mode] : kBlendModes) table[name] = blendModeFilter(mode);

  table["CIBlendWithMask"] = maskBlendFilter(1);
  table["CIBlendWithAlphaMask"] = maskBlendFilter(3);
}

}  // namespace ci

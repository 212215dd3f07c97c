#include "psd/rw_psd_blend_modes.h"

#include <utility>

namespace velumar {

raster::BlendMode rwDrawingBlendModeForKey(std::string_view key) {
  using raster::BlendMode;
  static constexpr std::pair<std::string_view, BlendMode> kMapped[] = {
      {kRWPSDBlendModeNormal, BlendMode::Normal},         {kRWPSDBlendModeDarken, BlendMode::Darken},
      {kRWPSDBlendModeLighten, BlendMode::Lighten},       {kRWPSDBlendModeHue, BlendMode::Hue},
      {kRWPSDBlendModeSaturation, BlendMode::Saturation}, {kRWPSDBlendModeColor, BlendMode::Color},
      {kRWPSDBlendModeLuminosity, BlendMode::Luminosity}, {kRWPSDBlendModeMultiply, BlendMode::Multiply},
      {kRWPSDBlendModeScreen, BlendMode::Screen},         {kRWPSDBlendModeOverlay, BlendMode::Overlay},
      {kRWPSDBlendModeHardLight, BlendMode::HardLight},   {kRWPSDBlendModeSoftLight, BlendMode::SoftLight},
      {kRWPSDBlendModeDifference, BlendMode::Difference}, {kRWPSDBlendModeExclusion, BlendMode::Exclusion},
      {kRWPSDBlendModeColorDodge, BlendMode::ColorDodge}, {kRWPSDBlendModeColorBurn, BlendMode::ColorBurn},
  };
  for (const auto& [name, mode] : kMapped) {
    if (name == key) return mode;
  }
  return BlendMode::Normal;
}

}  // namespace velumar

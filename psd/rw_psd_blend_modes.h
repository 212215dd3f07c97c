#pragma once
// The four-character blend-mode keys the layered PSD writer knows, and the
// drawing blend mode each one composites with in the flattened image.

#include <array>
#include <string_view>

#include "platform/raster/drawing_types.h"

namespace velumar {

inline constexpr std::string_view kRWPSDBlendModePassThrough = "pass";
inline constexpr std::string_view kRWPSDBlendModeNormal = "norm";
inline constexpr std::string_view kRWPSDBlendModeDissolve = "diss";
inline constexpr std::string_view kRWPSDBlendModeDarken = "dark";
inline constexpr std::string_view kRWPSDBlendModeMultiply = "mul ";
inline constexpr std::string_view kRWPSDBlendModeColorBurn = "idiv";
inline constexpr std::string_view kRWPSDBlendModeLinearBurn = "lbrn";
inline constexpr std::string_view kRWPSDBlendModeDarkerColor = "dkCl";
inline constexpr std::string_view kRWPSDBlendModeLighten = "lite";
inline constexpr std::string_view kRWPSDBlendModeScreen = "scrn";
inline constexpr std::string_view kRWPSDBlendModeColorDodge = "div ";
inline constexpr std::string_view kRWPSDBlendModeLinearDodge = "lddg";
inline constexpr std::string_view kRWPSDBlendModeLighterColor = "lgCl";
inline constexpr std::string_view kRWPSDBlendModeOverlay = "over";
inline constexpr std::string_view kRWPSDBlendModeSoftLight = "sLit";
inline constexpr std::string_view kRWPSDBlendModeHardLight = "hLit";
inline constexpr std::string_view kRWPSDBlendModeVividLight = "vLit";
inline constexpr std::string_view kRWPSDBlendModeLinearLight = "lLit";
inline constexpr std::string_view kRWPSDBlendModePinLight = "pLit";
inline constexpr std::string_view kRWPSDBlendModeHardMix = "hMix";
inline constexpr std::string_view kRWPSDBlendModeDifference = "diff";
inline constexpr std::string_view kRWPSDBlendModeExclusion = "smud";
inline constexpr std::string_view kRWPSDBlendModeSubtract = "fsub";
inline constexpr std::string_view kRWPSDBlendModeDivide = "fdiv";
inline constexpr std::string_view kRWPSDBlendModeHue = "hue ";
inline constexpr std::string_view kRWPSDBlendModeSaturation = "sat ";
inline constexpr std::string_view kRWPSDBlendModeColor = "colr";
inline constexpr std::string_view kRWPSDBlendModeLuminosity = "lum ";

// Every key above.
inline constexpr std::array<std::string_view, 28> kRWPSDBlendModeKeys = {
    kRWPSDBlendModePassThrough,  kRWPSDBlendModeNormal,      kRWPSDBlendModeDissolve,
    kRWPSDBlendModeDarken,       kRWPSDBlendModeMultiply,    kRWPSDBlendModeColorBurn,
    kRWPSDBlendModeLinearBurn,   kRWPSDBlendModeDarkerColor, kRWPSDBlendModeLighten,
    kRWPSDBlendModeScreen,       kRWPSDBlendModeColorDodge,  kRWPSDBlendModeLinearDodge,
    kRWPSDBlendModeLighterColor, kRWPSDBlendModeOverlay,     kRWPSDBlendModeSoftLight,
    kRWPSDBlendModeHardLight,    kRWPSDBlendModeVividLight,  kRWPSDBlendModeLinearLight,
    kRWPSDBlendModePinLight,     kRWPSDBlendModeHardMix,     kRWPSDBlendModeDifference,
    kRWPSDBlendModeExclusion,    kRWPSDBlendModeSubtract,    kRWPSDBlendModeDivide,
    kRWPSDBlendModeHue,          kRWPSDBlendModeSaturation,  kRWPSDBlendModeColor,
    kRWPSDBlendModeLuminosity};

// The drawing blend mode of a key; keys without one (and unknown strings)
// draw as normal.
raster::BlendMode rwDrawingBlendModeForKey(std::string_view key);

}  // namespace velumar

#pragma once
// Values of a bitmap context's graphics state: blend modes, interpolation
// quality, line style and colours.

#include <array>

#include "platform/raster/color_space.h"

namespace raster {

enum class BlendMode {
  Normal,
  Multiply,
  Screen,
  Overlay,
  Darken,
  Lighten,
  ColorDodge,
  ColorBurn,
  SoftLight,
  HardLight,
  Difference,
  Exclusion,
  Hue,
  Saturation,
  Color,
  Luminosity,
  // Porter-Duff operators on premultiplied colour.
  Clear,
  Copy,
  SourceIn,
  SourceOut,
  SourceAtop,
  DestinationOver,
  DestinationIn,
  DestinationOut,
  DestinationAtop,
  XOR,
  PlusDarker,
  PlusLighter,
  // Separable modes beyond the platform's drawing set.
  LinearBurn,
  LinearDodge,
  PinLight,
  Subtract,  // backdrop − source
  Divide,    // backdrop ÷ source
};

enum class InterpolationQuality { Default, None, Low, Medium, High };

enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };
enum class FillRule { NonZero, EvenOdd };

// A colour in a given space: its colour components then alpha. A null
// space means the context's own space.
struct Color {
  ColorSpaceRef space;
  std::array<double, 5> components{};  // colour components, then alpha
  int count = 0;                       // colour components + 1

  // sRGB with alpha.
  static Color rgb(double r, double g, double b, double a = 1.0) {
    return {ColorSpace::sRGB(), {r, g, b, a, 0}, 4};
  }
  // "Calibrated" RGB: the generic RGB space, with alpha.
  static Color calibratedRGB(double r, double g, double b, double a = 1.0) {
    return {ColorSpace::genericRGB(), {r, g, b, a, 0}, 4};
  }
  // Gray in the generic gray space.
  static Color gray(double g, double a = 1.0) { return {ColorSpace::genericGray(), {g, a, 0, 0, 0}, 2}; }
  static Color black(double a = 1.0) { return gray(0, a); }
};

}  // namespace raster

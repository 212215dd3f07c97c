#pragma once
// The memory layout of one pixel: component depth, number of colour
// components, where alpha sits and whether colour is premultiplied.

#include <cstdint>

namespace raster {

enum class AlphaInfo : int {
  None = 0,
  PremultipliedLast,
  PremultipliedFirst,
  Last,           // straight (non-premultiplied) alpha after colour
  First,          // straight alpha before colour
  NoneSkipLast,   // a padding component after colour
  NoneSkipFirst,  // a padding component before colour
  Only,           // alpha only, no colour
};

// Components are stored in the machine's native order for 16-bit and float
// components; 8-bit components are in memory order (R,G,B,A for RGBA).
struct PixelFormat {
  int bitsPerComponent = 8;  // 5, 8, 16 or 32 (32 is always float)
  int colorComponents = 3;   // 1 gray, 3 RGB, 4 CMYK, 0 alpha-only
  AlphaInfo alpha = AlphaInfo::PremultipliedLast;

  bool isFloat() const { return bitsPerComponent == 32; }
  bool hasAlpha() const {
    return alpha == AlphaInfo::PremultipliedLast || alpha == AlphaInfo::PremultipliedFirst ||
           alpha == AlphaInfo::Last || alpha == AlphaInfo::First || alpha == AlphaInfo::Only;
  }
  bool isPremultiplied() const {
    return alpha == AlphaInfo::PremultipliedLast || alpha == AlphaInfo::PremultipliedFirst;
  }
  bool alphaFirst() const {
    return alpha == AlphaInfo::PremultipliedFirst || alpha == AlphaInfo::First ||
           alpha == AlphaInfo::NoneSkipFirst;
  }
  bool hasPadding() const { return alpha == AlphaInfo::NoneSkipLast || alpha == AlphaInfo::NoneSkipFirst; }
  // Stored components per pixel, counting alpha and padding.
  int componentsPerPixel() const {
    if (alpha == AlphaInfo::Only) return 1;
    return colorComponents + (alpha == AlphaInfo::None ? 0 : 1);
  }
  // 5-bit RGB packs into 16 bits (xRRRRRGGGGGBBBBB).
  int bitsPerPixel() const {
    if (bitsPerComponent == 5) return 16;
    return componentsPerPixel() * bitsPerComponent;
  }
  int bytesPerPixel() const { return bitsPerPixel() / 8; }

  bool operator==(const PixelFormat&) const = default;

  static PixelFormat rgba8() { return {8, 3, AlphaInfo::PremultipliedLast}; }
  static PixelFormat rgbaFloat() { return {32, 3, AlphaInfo::PremultipliedLast}; }
};

}  // namespace raster

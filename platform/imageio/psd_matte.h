#pragma once
// The white matte of PSD composites. A composite with transparency stores
// its colour matted against white, stored = c x a + (1 - a) for straight
// colour c, yet some writers store straight colour there. These helpers
// tell the two apart, take the matte out and put it in, on interleaved
// samples (colour then alpha) of 8 bits, native 16 bits or native float.

#include <cstddef>
#include <cstdint>

namespace imageio::psd {

struct MatteLayout {
  std::int64_t width = 0, height = 0;
  std::size_t bytesPerRow = 0;
  int samplesPerPixel = 4;  // colour, then alpha at colorComponents
  int colorComponents = 3;
  int depth = 8;  // 8, 16 or 32 (float)
  // Colour counts ink (CMYK read as ink): white is 0, so colour matted
  // against white is premultiplied ink and the matte adds nothing.
  bool inkColor = false;
};

// Whether at least one pixel is translucent and every translucent pixel is
// consistent with a white matte: stored >= 1 - a in every colour channel,
// with one 8-bit level of slack for writers that round differently.
// Straight colour shows in darker translucent or transparent pixels.
bool isMattedAgainstWhite(const std::uint8_t* pixels, const MatteLayout& layout);

// Matted colour to premultiplied colour in place: stored - (1 - a),
// clamped to [0, a]. Opaque pixels stay as they are.
void removeWhiteMatte(std::uint8_t* pixels, const MatteLayout& layout);

// Straight (or, when premultiplied, premultiplied) colour to colour matted
// against white in place. Opaque pixels stay as they are.
void applyWhiteMatte(std::uint8_t* pixels, const MatteLayout& layout, bool premultiplied);

}  // namespace imageio::psd

#pragma once
// Every premultiplied 8-bit colour under every alpha, and the straight level
// each one stands for: one table for the rows that store, export and
// convert such pixels.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace testsupport {

// RGBA pixels: for every alpha a above 0 and every level c, colours c,
// a - c (255 where c exceeds a) and c / 2 under alpha a. Levels above their
// alpha are malformed (some files have them) and stand for white.
inline std::vector<std::uint8_t> everyPremultipliedRGBA8() {
  std::vector<std::uint8_t> pixels;
  for (int a = 1; a < 256; ++a)
    for (int c = 0; c < 256; ++c)
      pixels.insert(pixels.end(), {std::uint8_t(c), std::uint8_t(c <= a ? a - c : 255), std::uint8_t(c / 2),
                                   std::uint8_t(a)});
  return pixels;
}

// The straight 8-bit level of premultiplied level c under alpha a: the
// quotient of the levels rounded to the nearest level, halves up, at most
// 255.
inline int roundedStraightLevel(int c, int a) {
  return std::min((c * 255 * 2 + a) / (2 * a), 255);
}

}  // namespace testsupport

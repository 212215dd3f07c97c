#pragma once
// Dividing premultiplied colour by alpha for straight 8-bit levels.

namespace color {

// The factor that divides premultiplied colour by alpha (1 / alpha, or
// 255 / alpha on levels) for straight colour bound for 8-bit levels. The
// quotient of two 8-bit levels can be exactly half a level (1 of 2 is
// 127.5), which the division in float misses by a few units in the last
// place either way; the factor is raised by 2^-20 of itself, more than
// those errors and far less than the 1/510 of a level by which any other
// quotient misses a half, so that halves round up. One multiplication per
// pixel, none per sample.
inline float straightEightBitFactor(float inverseAlpha) {
  return inverseAlpha > 1.0f ? inverseAlpha * (1.0f + 1.0f / 1048576.0f) : inverseAlpha;
}

}  // namespace color

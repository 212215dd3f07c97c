#pragma once
// The layer blend modes of the PSD format, applied to rows of straight
// (non-premultiplied) float RGBA: the backdrop row is updated in place with
// a source row, each source alpha already scaled by opacity and mask.

#include <cstddef>
#include <cstdint>

namespace velumar {

// True for the keys this code blends by their own formula; any other key
// (and 'pass', 'diss') is drawn as normal.
bool isKnownPSDBlendMode(std::uint32_t key);

// backdrop and source hold `pixels` RGBA quadruples in 0..1, colour straight.
void blendPSDRow(std::uint32_t key, float* backdrop, const float* source, std::size_t pixels);

}  // namespace velumar

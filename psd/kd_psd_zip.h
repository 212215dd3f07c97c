#pragma once
// ZIP (zlib) channel data, with and without per-row delta prediction.

#include <cstddef>
#include <cstdint>

namespace velumar {

// Inflates source into out (outLength bytes). Returns the bytes produced; a
// stream that ends early leaves the rest of out untouched, one that would
// produce more is cut. Answers 0 on a zlib error before any output.
std::size_t inflateZipData(const std::uint8_t* source, std::size_t sourceLength, std::uint8_t* out,
                           std::size_t outLength);

// Undoes the 8-bit horizontal delta prediction: each byte of a row is stored
// as the difference to its left neighbour.
void undoRowDelta(std::uint8_t* plane, std::size_t rows, std::size_t columns);

}  // namespace velumar

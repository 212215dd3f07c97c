#pragma once
// PackBits run-length coding of one row, as PSD channels and composites use
// it. Shared by the reader and the writer.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velumar {

// Unpacks `source` into `row` (rowLength bytes). Never writes past the row
// nor reads past the source: a run that overflows the row is cut, and when
// the source ends early the rest of the row is left as it was (callers
// zero-fill). Returns the number of bytes the source would have produced,
// so callers can tell an overlong row (> rowLength) or a short one.
std::size_t unpackBitsRow(const std::uint8_t* source, std::size_t sourceLength, std::uint8_t* row,
                          std::size_t rowLength);

// Appends the PackBits coding of `row` to `out`; returns the bytes added.
std::size_t packBitsRow(const std::uint8_t* row, std::size_t rowLength, std::vector<std::uint8_t>& out);

}  // namespace velumar

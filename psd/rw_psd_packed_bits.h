#pragma once
// PackBits encoding of one channel of interleaved pixel bytes, as the layered
// PSD writer stores every channel row and composite row.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velumar {

// Appends to out the PackBits encoding of the samples bytes[location],
// bytes[location + skip], ... that lie before location + length (and before
// byteCount). Literal packets hold 1 to 128 bytes, runs 3 to 127; returns the
// number of bytes appended (0 when the range holds no sample).
std::size_t rwPackedBitsForRange(const std::uint8_t* bytes, std::size_t byteCount, std::size_t location,
                                 std::size_t length, std::size_t skip, std::vector<std::uint8_t>& out);

// The same into a new buffer.
std::vector<std::uint8_t> rwPackedBitsForRange(const std::vector<std::uint8_t>& bytes, std::size_t location,
                                               std::size_t length, std::size_t skip);

// A listing of the packets of a PackBits stream, for debugging.
std::string rwPackedBitsDescription(const std::vector<std::uint8_t>& packed);

}  // namespace velumar

#pragma once
// The icon-file container at the byte level: the entry list, the legacy
// RLE-compressed 24-bit icons with their 8-bit masks, and writing a file of
// PNG entries. No raster types, so the parser can run on raw bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace imageio::icns {

// One image the file holds.
struct Entry {
  enum class Kind { Png, Rle24, Argb };
  Kind kind = Kind::Png;
  std::string type;        // the four-character entry type, e.g. "ic10"
  std::int64_t size = 0;   // pixels per side
  int scale = 1;           // 2 for the @2x entries
  std::size_t offset = 0;  // payload (after the 8-byte entry header)
  std::size_t length = 0;
  // For Rle24: the matching 8-bit mask entry, when the file has one.
  std::optional<std::size_t> maskOffset;
};

// The entries we can decode, in file order; empty (logged) when the bytes
// are no icon file. Unknown and JPEG 2000 entries are skipped.
std::vector<Entry> parse(const std::uint8_t* data, std::size_t size);

// Decodes a legacy or ARGB entry into straight RGBA, 8 bits per sample,
// size * size * 4 bytes. False (logged) on corrupt data.
bool decodeRle(const std::uint8_t* data, std::size_t size, const Entry& entry,
               std::vector<std::uint8_t>& rgba);

// The entry type for a square image of `pixels` per side shown at `scale`
// (1 or 2); empty when icon files have no such slot.
std::string typeFor(std::int64_t pixels, int scale);

// A whole file of (type, PNG bytes) entries.
std::vector<std::uint8_t> encode(
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& entries);

// The legacy RLE scheme, exposed for tests: fills `count` bytes.
bool unpackChannel(const std::uint8_t*& in, const std::uint8_t* end, std::uint8_t* out, std::size_t count,
                   std::size_t stride);

}  // namespace imageio::icns

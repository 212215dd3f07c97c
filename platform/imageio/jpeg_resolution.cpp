#include "platform/imageio/jpeg_resolution.h"

#include <cstddef>

namespace imageio {
namespace {

void putLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}

void putBig(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(std::uint8_t(value >> (8 * i)));
}

void putBytes(std::vector<std::uint8_t>& out, const char* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) out.push_back(std::uint8_t(bytes[i]));
}

}  // namespace

std::vector<std::uint8_t> exifResolutionPayload(int xDpi, int yDpi) {
  std::vector<std::uint8_t> out;
  putBytes(out, "Exif\0\0II*\0", 10);
  putLittle(out, 8, 4);  // first directory right after the header
  constexpr std::uint32_t kEntries = 3;
  // Header 8, count 2, entries 12 each, next-directory offset 4.
  constexpr std::uint32_t kValues = 8 + 2 + kEntries * 12 + 4;
  putLittle(out, kEntries, 2);
  const auto rationalEntry = [&](std::uint32_t tag, std::uint32_t offset) {
    putLittle(out, tag, 2);
    putLittle(out, 5, 2);  // RATIONAL
    putLittle(out, 1, 4);
    putLittle(out, offset, 4);
  };
  rationalEntry(0x011A, kValues);
  rationalEntry(0x011B, kValues + 8);
  putLittle(out, 0x0128, 2);
  putLittle(out, 3, 2);  // SHORT, held in the entry
  putLittle(out, 1, 4);
  putLittle(out, 2, 4);  // inches
  putLittle(out, 0, 4);  // no further directory
  for (int dpi : {xDpi, yDpi}) {
    putLittle(out, std::uint32_t(dpi), 4);
    putLittle(out, 1, 4);
  }
  return out;
}

std::vector<std::uint8_t> photoshopResolutionPayload(int xDpi, int yDpi) {
  std::vector<std::uint8_t> out;
  putBytes(out, "Photoshop 3.0\0008BIM", 18);
  putBig(out, 0x03ED, 2);
  putBig(out, 0, 2);   // empty name, padded to an even length
  putBig(out, 16, 4);  // data length
  for (int dpi : {xDpi, yDpi}) {
    putBig(out, std::uint32_t(dpi) << 16, 4);
    putBig(out, 1, 2);  // pixels per inch
    putBig(out, 1, 2);  // sizes shown in inches
  }
  return out;
}

}  // namespace imageio

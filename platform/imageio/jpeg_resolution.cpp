#include "platform/imageio/jpeg_resolution.h"

#include <cstddef>
#include <cstring>

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

std::optional<ExifResolution> exifResolution(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr) return std::nullopt;
  if (size >= 6 && std::memcmp(data, "Exif\0\0", 6) == 0) {
    data += 6;
    size -= 6;
  }
  if (size < 8) return std::nullopt;
  const bool little = data[0] == 'I' && data[1] == 'I';
  if (!little && !(data[0] == 'M' && data[1] == 'M')) return std::nullopt;
  const auto u16 = [&](std::uint64_t at) -> std::uint32_t {
    return little ? std::uint32_t(data[at] | (data[at + 1] << 8)) : std::uint32_t((data[at] << 8) | data[at + 1]);
  };
  const auto u32 = [&](std::uint64_t at) -> std::uint64_t {
    return little ? (std::uint64_t(u16(at + 2)) << 16) | u16(at) : (std::uint64_t(u16(at)) << 16) | u16(at + 2);
  };
  if (u16(2) != 42) return std::nullopt;
  const std::uint64_t directory = u32(4);
  if (directory + 2 > size) return std::nullopt;
  const std::uint32_t entries = u16(directory);
  double x = 0, y = 0;
  std::uint32_t unit = 2;
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::uint64_t at = directory + 2 + std::uint64_t(i) * 12;
    if (at + 12 > size) return std::nullopt;
    const std::uint32_t tag = u16(at), type = u16(at + 2);
    const std::uint64_t count = u32(at + 4);
    if (tag == 0x0128 && type == 3 && count == 1) unit = u16(at + 8);
    if ((tag == 0x011A || tag == 0x011B) && type == 5 && count == 1) {
      const std::uint64_t offset = u32(at + 8);
      if (offset + 8 > size) return std::nullopt;
      const std::uint64_t numerator = u32(offset), denominator = u32(offset + 4);
      (tag == 0x011A ? x : y) = denominator == 0 ? 0.0 : double(numerator) / double(denominator);
    }
  }
  if (!(x > 0 && y > 0) || (unit != 2 && unit != 3)) return std::nullopt;
  const double toInches = unit == 3 ? 2.54 : 1.0;
  return ExifResolution{x * toInches, y * toInches};
}

}  // namespace imageio

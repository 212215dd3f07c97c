// The Exif resolution a JPEG without JFIF density is read with: our own
// block, other byte orders and units, and damaged blocks that must give
// nothing rather than a wrong value or a read past the end.

#include "platform/imageio/jpeg_resolution.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The block of exifResolutionPayload(x, y) with one byte changed.
Bytes withByte(Bytes bytes, std::size_t at, std::uint8_t value) {
  bytes[at] = value;
  return bytes;
}

// A big-endian block: XResolution 254/2, YResolution 508/2, unit 3 (cm).
Bytes bigEndianCentimetres() {
  return {'M', 'M', 0, 42, 0, 0, 0, 8,                                    // header
          0, 3,                                                           // three entries
          0x01, 0x1A, 0, 5, 0, 0, 0, 1, 0, 0, 0, 50,                      // XResolution
          0x01, 0x1B, 0, 5, 0, 0, 0, 1, 0, 0, 0, 58,                      // YResolution
          0x01, 0x28, 0, 3, 0, 0, 0, 1, 0, 3, 0, 0,                       // unit
          0, 0, 0, 0,                                                     // no next directory
          0, 0, 0, 254, 0, 0, 0, 2, 0, 0, 1, 252, 0, 0, 0, 2};
}

TEST(JpegResolution, ExifBlocksReadOrRefused) {
  const Bytes ours = imageio::exifResolutionPayload(300, 150);
  // Offsets into our block (after the 6-byte prefix, header 8, count 2):
  // the unit's value at 6 + 8 + 2 + 24 + 8, XResolution's denominator at
  // 6 + 50 + 4.
  const std::size_t unitAt = 6 + 8 + 2 + 24 + 8, xDenominatorAt = 6 + 50 + 4;
  const struct {
    const char* name;
    Bytes block;
    std::optional<std::pair<double, double>> expected;
  } cases[] = {
      {"ours", ours, std::pair{300.0, 150.0}},
      {"ours without the prefix", Bytes(ours.begin() + 6, ours.end()), std::pair{300.0, 150.0}},
      {"big-endian, centimetres", bigEndianCentimetres(), std::pair{127 * 2.54, 254 * 2.54}},
      {"no absolute unit", withByte(ours, unitAt, 1), std::nullopt},
      {"zero denominator", withByte(ours, xDenominatorAt, 0), std::nullopt},
      {"not TIFF", withByte(ours, 6, 'X'), std::nullopt},
      {"directory past the end", withByte(ours, 6 + 4, 0xF0), std::nullopt},
      {"values past the end", Bytes(ours.begin(), ours.end() - 4), std::nullopt},
      {"empty", Bytes{}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto read = imageio::exifResolution(c.block.data(), c.block.size());
    ASSERT_EQ(read.has_value(), c.expected.has_value());
    if (read) {
      EXPECT_DOUBLE_EQ(read->x, c.expected->first);
      EXPECT_DOUBLE_EQ(read->y, c.expected->second);
    }
  }
  // Every truncation and every flipped bit reads within the block.
  for (std::size_t length = 0; length < ours.size(); ++length) {
    const Bytes cut(ours.begin(), ours.begin() + std::ptrdiff_t(length));
    EXPECT_FALSE(imageio::exifResolution(cut.data(), cut.size())) << length;
  }
  for (std::size_t bit = 0; bit < ours.size() * 8; ++bit) {
    Bytes flipped = ours;
    flipped[bit / 8] ^= std::uint8_t(1u << (bit % 8));
    imageio::exifResolution(flipped.data(), flipped.size());
  }
  EXPECT_FALSE(imageio::exifResolution(nullptr, 10));
}

}  // namespace

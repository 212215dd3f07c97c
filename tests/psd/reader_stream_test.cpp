// The byte stream's reads, strings and overrun condition, and the shared
// encoding helpers (PackBits, Mac OS Roman, Pascal padding, ZIP).
#include <gtest/gtest.h>

#include <zlib.h>

#include "psd/kd_psd_error.h"
#include "psd/kd_psd_packbits.h"
#include "psd/kd_psd_pascal_string.h"
#include "psd/kd_psd_stream.h"
#include "psd/kd_psd_text_encoding.h"
#include "psd/kd_psd_zip.h"

using namespace velumar;
using Bytes = std::vector<std::uint8_t>;

TEST(ReaderStream, LastByteReadsThenOverrunLeavesLocation) {
  KDPSDStream stream(Bytes{1, 2, 3});
  stream.skipLength(2);
  EXPECT_EQ(stream.readInt8(), 3);
  EXPECT_TRUE(stream.hasLengthToRead(0));
  EXPECT_FALSE(stream.hasLengthToRead(1));
  EXPECT_THROW(stream.readInt8(), KDPSDBufferOverrun);
  EXPECT_EQ(stream.location(), 3);

  // Skipping past the end does not raise, the next read does.
  KDPSDStream skipped(Bytes{0, 0});
  skipped.skipLength(10);
  EXPECT_THROW(skipped.readInt16(), KDPSDBufferOverrun);
  skipped.skipLength(UINT64_MAX);
  EXPECT_FALSE(skipped.hasLengthToRead(0));
}

TEST(ReaderStream, BigEndianNumbers) {
  KDPSDStream stream(Bytes{0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFE, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(stream.readInt16(), 0x1234);
  EXPECT_EQ(stream.readSInt32(), -2);
  EXPECT_EQ(stream.readDouble64(), 1.0);
}

TEST(ReaderStream, StringForms) {
  struct Case {
    const char* what;
    Bytes bytes;
    int form;  // 0 Pascal, 1 PSD string, 2 string-or-key, 3 Unicode
    std::string text;
    std::int64_t consumed;
    std::uint32_t key;
  };
  const Case cases[] = {
      {"pascal 0", {0, 0, 9}, 0, "", 2, 0},
      {"pascal 1", {1, 'a', 9}, 0, "a", 2, 0},
      {"pascal 2", {2, 'a', 'b', 0, 9}, 0, "ab", 4, 0},
      {"psd string length 0", {0, 0, 0, 0, 'n', 'o', 'r', 'm', 9}, 1, "norm", 8, 0},
      {"psd string with zero", {0, 0, 0, 4, 'a', 0, 'b', 'c', 9}, 1, "a", 8, 0},
      {"key form", {0, 0, 0, 0, 'T', 'x', 't', ' ', 9}, 2, "", 8, 0x54787420},
      {"string form", {0, 0, 0, 2, 'h', 'i', 9}, 2, "hi", 6, 0},
      {"unicode count 0", {0, 0, 0, 0, 0, 'A'}, 3, "", 4, 0},
      {"unicode negative", {0xFF, 0xFF, 0xFF, 0xFF, 0, 'A'}, 3, "", 4, 0},
      {"unicode ending in zero", {0, 0, 0, 3, 0, 'H', 0, 'i', 0, 0, 9}, 3, "Hi", 10, 0},
      {"unicode early zero", {0, 0, 0, 3, 0, 'H', 0, 0, 0, 'i', 9}, 3, "H", 8, 0},
      {"unicode surrogates", {0, 0, 0, 2, 0xD8, 0x3D, 0xDE, 0x00}, 3, "\xF0\x9F\x98\x80", 8, 0},
  };
  for (const Case& c : cases) {
    KDPSDStream stream(c.bytes);
    std::string text;
    std::uint32_t key = 0;
    switch (c.form) {
      case 0:
        text = stream.readPascalString();
        break;
      case 1:
        text = stream.readPSDString();
        break;
      case 2: {
        auto s = stream.readPSDStringOrGetFourByteID(key);
        EXPECT_EQ(s.has_value(), c.key == 0) << c.what;
        text = s.value_or("");
        break;
      }
      default:
        text = stream.readPSDString16();
        break;
    }
    EXPECT_EQ(text, c.text) << c.what;
    EXPECT_EQ(stream.location(), c.consumed) << c.what;
    EXPECT_EQ(key, c.key) << c.what;
  }
}

TEST(ReaderStream, SubStreamIsBounded) {
  KDPSDStream stream(Bytes{1, 2, 3, 4, 5, 6});
  stream.skipLength(1);
  KDPSDStream sub = stream.subStream(2);
  EXPECT_EQ(sub.readInt16(), 0x0203);
  EXPECT_THROW(sub.readInt8(), KDPSDBufferOverrun);
  EXPECT_EQ(stream.location(), 1);
  KDPSDStream beyond = stream.subStream(100);
  EXPECT_EQ(beyond.limit(), 6);
}

TEST(ReaderPackBits, Rows) {
  struct Case {
    Bytes packed;
    std::size_t rowLength;
    Bytes row;
    std::size_t produced;
  };
  Bytes literal128{127};
  for (int i = 0; i < 128; ++i) literal128.push_back(std::uint8_t(i));
  Bytes row128;
  for (int i = 0; i < 128; ++i) row128.push_back(std::uint8_t(i));
  const Case cases[] = {
      {{0, 7}, 1, {7}, 1},
      {{0xFF, 7}, 2, {7, 7}, 2},
      {{0x80, 5}, 129, Bytes(129, 5), 129},
      {literal128, 128, row128, 128},
      {{0xFD, 1, 1, 9}, 3, {1, 1, 1}, 6},  // overlong: cut
      {{0, 4}, 3, {4, 0, 0}, 1},           // short: rest untouched
      {{5, 1, 2}, 4, {1, 2, 0, 0}, 6},     // literal cut by the data's end
      {{0xFE}, 2, {0, 0}, 0},              // run without its byte
  };
  for (const Case& c : cases) {
    Bytes row(c.rowLength, 0);
    EXPECT_EQ(unpackBitsRow(c.packed.data(), c.packed.size(), row.data(), row.size()), c.produced);
    EXPECT_EQ(row, c.row);
  }
}

TEST(ReaderPackBits, PackThenUnpackRoundTrips) {
  Bytes row;
  for (int i = 0; i < 700; ++i) row.push_back(std::uint8_t(i % 7 < 4 ? 3 : (i * 31) & 0xFF));
  row.insert(row.end(), 300, 9);
  Bytes packed;
  packBitsRow(row.data(), row.size(), packed);
  Bytes back(row.size(), 0);
  EXPECT_EQ(unpackBitsRow(packed.data(), packed.size(), back.data(), back.size()), row.size());
  EXPECT_EQ(back, row);
}

TEST(ReaderTextEncoding, MacRomanTableAndBack) {
  // Every high byte decodes to one character and encodes back to itself.
  for (int b = 0x80; b <= 0xFF; ++b) {
    const std::uint8_t byte = std::uint8_t(b);
    const std::string utf8 = macRomanToUtf8(&byte, 1);
    ASSERT_EQ(utf8ToMacRoman(utf8), std::string(1, char(byte))) << b;
  }
  const std::uint8_t sample[] = {0x80, 0xA5, 0xDB, 0xF0, 0xFF};
  EXPECT_EQ(macRomanToUtf8(sample, 5), "\xC3\x84\xE2\x80\xA2\xE2\x82\xAC\xEF\xA3\xBF\xCB\x87");
  EXPECT_EQ(utf8ToMacRoman("\xE4\xB8\xAD"), "?");
}

TEST(ReaderPascalString, PaddingSizes) {
  EXPECT_EQ(pascalStringBytesAfterLength(0, 4), 3u);
  EXPECT_EQ(pascalStringBytesAfterLength(3, 4), 3u);
  EXPECT_EQ(pascalStringBytesAfterLength(4, 4), 7u);
  EXPECT_EQ(pascalStringBytesAfterLength(252, 4), 255u);
  EXPECT_EQ(pascalStringBytesAfterLength(255, 4), 255u);
  EXPECT_EQ(pascalStringBytesAfterLength(0, 2), 1u);
  EXPECT_EQ(pascalStringBytesAfterLength(2, 2), 3u);
  Bytes out;
  appendPascalString(out, "Caf\xC3\xA9", 4);
  EXPECT_EQ(out, (Bytes{4, 'C', 'a', 'f', 0x8E, 0, 0, 0}));
}

TEST(ReaderZip, InflateShortAndCorruptData) {
  const Bytes plain(1000, 42);
  uLongf size = compressBound(uLong(plain.size()));
  Bytes packed(size);
  compress2(packed.data(), &size, plain.data(), uLong(plain.size()), 9);
  packed.resize(size);

  Bytes out(1000, 0);
  EXPECT_EQ(inflateZipData(packed.data(), packed.size(), out.data(), out.size()), 1000u);
  EXPECT_EQ(out, plain);
  Bytes bigger(1200, 7);
  EXPECT_EQ(inflateZipData(packed.data(), packed.size(), bigger.data(), bigger.size()), 1000u);
  EXPECT_EQ(bigger[1100], 7);
  Bytes smaller(10, 0);
  EXPECT_EQ(inflateZipData(packed.data(), packed.size(), smaller.data(), smaller.size()), 10u);
  const Bytes garbage(50, 0xEE);
  EXPECT_EQ(inflateZipData(garbage.data(), garbage.size(), out.data(), out.size()), 0u);

  Bytes delta{1, 1, 1, 5, 251, 0};
  undoRowDelta(delta.data(), 2, 3);
  EXPECT_EQ(delta, (Bytes{1, 2, 3, 5, 0, 0}));
}

// PackBits, big-endian values and padded names of the layered PSD writer.

#include <gtest/gtest.h>

#include <random>

#include "psd/kd_psd_packbits.h"
#include "psd/rw_psd_byte_encoding.h"
#include "psd/rw_psd_packed_bits.h"

namespace velumar {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes packAll(const Bytes& input) {
  return rwPackedBitsForRange(input, 0, input.size(), 1);
}

struct PackCase {
  const char* what;
  Bytes input;
  Bytes packed;
};

TEST(WriterPackBits, EncodesTheDocumentedVectors) {
  Bytes ascending(200);
  for (std::size_t i = 0; i < ascending.size(); ++i) ascending[i] = std::uint8_t(i);
  Bytes ascendingPacked{0x7F};
  ascendingPacked.insert(ascendingPacked.end(), ascending.begin(), ascending.begin() + 128);
  ascendingPacked.push_back(0x47);
  ascendingPacked.insert(ascendingPacked.end(), ascending.begin() + 128, ascending.end());

  const PackCase cases[] = {
      {"five zeros", Bytes(5, 0), {0xFC, 0x00}},
      {"three letters", {0x61, 0x62, 0x63}, {0x02, 0x61, 0x62, 0x63}},
      {"two equal stay literal", {0x61, 0x61, 0x62}, {0x02, 0x61, 0x61, 0x62}},
      {"run then literal", {0x61, 0x61, 0x61, 0x62}, {0xFE, 0x61, 0x00, 0x62}},
      {"literal then run", {0x78, 0x61, 0x61, 0x61}, {0x00, 0x78, 0xFE, 0x61}},
      {"128 equal", Bytes(128, 0), {0x82, 0x00, 0x00, 0x00}},
      {"129 equal", Bytes(129, 0), {0x82, 0x00, 0x01, 0x00, 0x00}},
      {"130 equal", Bytes(130, 0), {0x82, 0x00, 0xFE, 0x00}},
      {"200 distinct", ascending, ascendingPacked},
  };
  for (const PackCase& c : cases) EXPECT_EQ(packAll(c.input), c.packed) << c.what;
  EXPECT_EQ(ascendingPacked.size(), 202u);
}

TEST(WriterPackBits, EncodesOneChannelWithASkip) {
  // RGBA pixels; location 1 and skip 4 pick the green samples only.
  const Bytes rgba{10, 20, 30, 40, 11, 20, 31, 41, 12, 20, 32, 42, 13, 99, 33, 43};
  EXPECT_EQ(rwPackedBitsForRange(rgba, 1, rgba.size() - 1, 4), (Bytes{0xFE, 20, 0x00, 99}));
  // Only the samples before location + length count.
  EXPECT_EQ(rwPackedBitsForRange(rgba, 1, 8, 4), (Bytes{0x01, 20, 20}));
  EXPECT_TRUE(rwPackedBitsForRange(rgba, 16, 4, 4).empty());
  EXPECT_TRUE(rwPackedBitsForRange(rgba, 0, 0, 4).empty());
}

TEST(WriterPackBits, RandomRowsDecodeBackAndNeverUseForbiddenHeaders) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 300; ++trial) {
    const std::size_t length = 1 + random() % 700;
    Bytes row(length);
    const unsigned alphabet = 1 + random() % 4;  // small alphabets make many runs
    for (auto& b : row) b = std::uint8_t(random() % alphabet * 85);
    const Bytes packed = packAll(row);
    std::size_t i = 0;
    while (i < packed.size()) {
      const int header = int(std::int8_t(packed[i]));
      ASSERT_NE(header, -1);
      ASSERT_GT(header, -127);
      i += header >= 0 ? std::size_t(header) + 2 : 2;
    }
    Bytes decoded(length, 0x5A);
    EXPECT_EQ(unpackBitsRow(packed.data(), packed.size(), decoded.data(), decoded.size()), length);
    EXPECT_EQ(decoded, row) << "trial " << trial;
  }
}

TEST(WriterPackBits, DescribesPackets) {
  EXPECT_EQ(rwPackedBitsDescription({0xFE, 0x61, 0x00, 0x62}),
            "Printing 97 3 times. Printing 1 literal bytes. Total: 4 bytes decoded.");
  EXPECT_EQ(rwPackedBitsDescription({}), "Total: 0 bytes decoded.");
  EXPECT_EQ(rwPackedBitsDescription({0x80, 0x07}), "Printing 7 129 times. Total: 129 bytes decoded.");
}

TEST(WriterByteEncoding, AppendsBigEndianValues) {
  struct Case {
    std::uint64_t value;
    int length;
    Bytes bytes;
  } cases[] = {
      {1005, 2, {0x03, 0xED}},
      {300, 1, {44}},
      {0x0102030405060708ull, 8, {1, 2, 3, 4, 5, 6, 7, 8}},
  };
  for (const Case& c : cases) {
    Bytes out{0xAA};
    rwAppendValue(out, c.value, c.length);
    Bytes expected{0xAA};
    expected.insert(expected.end(), c.bytes.begin(), c.bytes.end());
    EXPECT_EQ(out, expected) << c.value;
  }
  Bytes key;
  rwAppendUTF8String(key, "8BIM");
  EXPECT_EQ(key, (Bytes{'8', 'B', 'I', 'M'}));
}

TEST(WriterByteEncoding, PadsNames) {
  EXPECT_EQ(rwPascalStringLengthPaddedTo("abcd", 4), 4u);
  EXPECT_EQ(rwPascalStringLengthPaddedTo("abcde", 4), 8u);
  EXPECT_EQ(rwPascalStringLengthPaddedTo("", 4), 0u);
  EXPECT_EQ(rwPascalStringPaddedTo("ab ", 4), std::string("ab \0", 4));
  EXPECT_EQ(rwPascalStringPaddedTo("abcde", 4, "xy"), "abcdexyx");
}

TEST(WriterByteEncoding, CutsUTF8OnlyAtCharacterBoundaries) {
  const std::string euro = "\xE2\x82\xAC";  // three bytes
  EXPECT_EQ(rwUTF8PrefixWithin("abc", 255), "abc");
  EXPECT_EQ(rwUTF8PrefixWithin("a" + euro, 3), "a");
  EXPECT_EQ(rwUTF8PrefixWithin("a" + euro, 4), "a" + euro);
  EXPECT_EQ(rwUTF8PrefixWithin(euro + euro, 5), euro);
}

TEST(WriterByteEncoding, ConvertsNamesToUTF16) {
  EXPECT_EQ(rwUTF16FromUTF8("A\xC3\xA9\xE2\x82\xAC"), (std::u16string{u'A', u'\u00E9', u'\u20AC'}));
  EXPECT_EQ(rwUTF16FromUTF8("\xF0\x9F\x98\x80"), (std::u16string{char16_t(0xD83D), char16_t(0xDE00)}));
  // Malformed input: a stray continuation byte, a cut sequence, an overlong form.
  EXPECT_EQ(rwUTF16FromUTF8("\x80"
                            "a"),
            (std::u16string{u'\uFFFD', u'a'}));
  EXPECT_EQ(rwUTF16FromUTF8("\xE2\x82"), (std::u16string{u'\uFFFD'}));
  EXPECT_EQ(rwUTF16FromUTF8("\xC0\xAF"), (std::u16string{u'\uFFFD'}));
}

}  // namespace
}  // namespace velumar

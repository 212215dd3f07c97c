#include <gtest/gtest.h>

#include "doc_codecs_support.h"
#include "platform/imageio/icns_format.h"
#include "support/test_support.h"

using namespace doctest;

namespace {

const imageio::Codec& icnsCodec() {
  const imageio::Codec* codec = imageio::codecForType("com.apple.icns");
  EXPECT_NE(codec, nullptr);
  return *codec;
}

imageio::Frame iconFrame(std::int64_t pixels, double dpi) {
  return imageio::Frame{makeImage(pixels, pixels, 3, 8, true),
                        foundation::Value(foundation::Dictionary{{"DPIWidth", dpi}, {"DPIHeight", dpi}}),
                        std::nullopt};
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(std::uint8_t(v >> s));
}

void putEntry(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& payload) {
  out.insert(out.end(), type, type + 4);
  put32(out, std::uint32_t(payload.size() + 8));
  out.insert(out.end(), payload.begin(), payload.end());
}

// A 16 x 16 legacy icon: red runs, green literals, blue zero, with an 8-bit
// mask counting up.
std::vector<std::uint8_t> legacyIcon() {
  std::vector<std::uint8_t> rle;
  rle.insert(rle.end(), {0xff, 200, 0xfb, 200});  // 130 + 126 reds
  for (int half = 0; half < 2; ++half) {
    rle.push_back(127);  // 128 literal greens
    for (int i = 0; i < 128; ++i) rle.push_back(std::uint8_t(half * 128 + i));
  }
  rle.insert(rle.end(), {0xff, 0, 0xfb, 0});
  std::vector<std::uint8_t> mask(256);
  for (int i = 0; i < 256; ++i) mask[std::size_t(i)] = std::uint8_t(255 - i);
  std::vector<std::uint8_t> body;
  putEntry(body, "is32", rle);
  putEntry(body, "s8mk", mask);
  std::vector<std::uint8_t> file = {'i', 'c', 'n', 's'};
  put32(file, std::uint32_t(body.size() + 8));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

}  // namespace

// The set the icon writer produces: ten images, 1x at 72 dpi and 2x at 144.
TEST(DocCodecsIcns, IconSetRoundTrips) {
  struct Slot {
    std::int64_t pixels;
    double dpi;
    const char* type;
  };
  const Slot slots[] = {{1024, 144, "ic10"}, {512, 72, "ic09"}, {512, 144, "ic14"}, {256, 72, "ic08"},
                        {256, 144, "ic13"},  {128, 72, "ic07"}, {64, 144, "ic12"},  {32, 72, "icp5"},
                        {32, 144, "ic11"},   {16, 72, "icp4"}};
  std::vector<imageio::Frame> frames;
  for (const Slot& s : slots) frames.push_back(iconFrame(s.pixels, s.dpi));
  testsupport::TempDir dir;
  const std::string path = dir.file("icon.icns");
  ASSERT_TRUE(icnsCodec().write(path, frames, {}));

  const auto bytes = readAll(path);
  const auto entries = imageio::icns::parse(bytes.data(), bytes.size());
  ASSERT_EQ(entries.size(), std::size(slots));
  auto decoder = icnsCodec().open(path, imageio::kDefaultPixelLimit);
  ASSERT_TRUE(decoder);
  ASSERT_EQ(decoder->count(), std::size(slots));
  for (std::size_t i = 0; i < std::size(slots); ++i) {
    SCOPED_TRACE(slots[i].type);
    EXPECT_EQ(entries[i].type, slots[i].type);
    EXPECT_EQ(entries[i].kind, imageio::icns::Entry::Kind::Png);
    const auto props = decoder->properties(i);
    EXPECT_EQ(at(props, {"PixelWidth"}).intOr(0), slots[i].pixels);
    EXPECT_DOUBLE_EQ(at(props, {"DPIWidth"}).doubleOr(0), slots[i].dpi);
    auto image = decoder->decode(i, {});
    ASSERT_TRUE(image);
    EXPECT_EQ(exportedPixels(*image, 8, true), exportedPixels(*frames[i].image, 8, true));
  }
}

TEST(DocCodecsIcns, FramesWithoutASlotAreLeftOut) {
  testsupport::TempDir dir;
  const std::string path = dir.file("icon.icns");
  imageio::Frame oblong{makeImage(32, 16, 3, 8, true), foundation::Value(foundation::Dictionary{}),
                        std::nullopt};
  EXPECT_FALSE(icnsCodec().write(path, {oblong, iconFrame(100, 72)}, {}));
  ASSERT_TRUE(icnsCodec().write(path, {oblong, iconFrame(64, 72), iconFrame(64, 72)}, {}));
  auto decoder = icnsCodec().open(path, imageio::kDefaultPixelLimit);
  ASSERT_TRUE(decoder);
  EXPECT_EQ(decoder->count(), 1u);  // the second 64-pixel image has no free slot
}

TEST(DocCodecsIcns, ReadsLegacyRleEntryWithMask) {
  testsupport::TempDir dir;
  const std::string path = dir.file("legacy.icns");
  writeAll(path, legacyIcon());
  auto decoder = icnsCodec().open(path, imageio::kDefaultPixelLimit);
  ASSERT_TRUE(decoder);
  ASSERT_EQ(decoder->count(), 1u);
  auto image = decoder->decode(0, {});
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 16);
  const auto pixels = exportedPixels(*image, 8, true);
  for (int i = 0; i < 256; i += 17) {
    SCOPED_TRACE(i);
    const std::uint8_t alpha = std::uint8_t(255 - i);
    EXPECT_EQ(pixels[std::size_t(i) * 4 + 3], alpha);
    if (alpha > 0) {
      EXPECT_EQ(pixels[std::size_t(i) * 4 + 0], 200);
      EXPECT_EQ(pixels[std::size_t(i) * 4 + 1], i);
      EXPECT_EQ(pixels[std::size_t(i) * 4 + 2], 0);
    }
  }
}

TEST(DocCodecsIcns, MalformedFilesFailCleanly) {
  testsupport::TempDir dir;
  mutationSweep(icnsCodec(), legacyIcon(), dir.file("bad.icns"));
  const std::string path = dir.file("icon.icns");
  ASSERT_TRUE(icnsCodec().write(path, {iconFrame(32, 72), iconFrame(16, 72)}, {}));
  mutationSweep(icnsCodec(), readAll(path), dir.file("bad.icns"));
  // Runs that overshoot the channel are refused.
  std::vector<std::uint8_t> overshoot = {0xff, 1, 0xff, 1};
  std::vector<std::uint8_t> out(256);
  const std::uint8_t* in = overshoot.data();
  EXPECT_FALSE(imageio::icns::unpackChannel(in, overshoot.data() + overshoot.size(), out.data(), 200, 1));
}

// The CPU flattener: placement, visibility, opacity, masks, groups and the
// blend-mode formulas.
#include <gtest/gtest.h>

#include <cmath>

#include "psd/kd_psd_blend_modes.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/kd_psd_compositing.h"
#include "psd/reader_psd_builder.h"

using namespace velumar;
using psdtest::Bytes;
using psdtest::Document;

namespace {

std::vector<int> at(const KDPSDBitmap& bitmap, int x, int y) {
  const std::uint8_t* p = bitmap.row(y) + std::size_t(x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

Document backdropAndTop() {
  Document d;
  d.width = 10;
  d.height = 10;
  d.layers.push_back(psdtest::solidLayer("Back", 0, 0, 10, 10, 100, 150, 200, 255));
  d.layers.push_back(psdtest::solidLayer("Top", 2, 3, 4, 5, 250, 50, 0, 255));
  return d;
}

KDPSDBitmap flatten(const Document& d) {
  auto psd = KDPSD::imageWithData(psdtest::build(d));
  EXPECT_TRUE(psd);
  return psd ? compositeImage(*psd) : KDPSDBitmap{};
}

// One blended pixel: backdrop b and source s, straight, 0..1.
std::vector<float> blendPixel(const char* key, std::vector<float> b, const std::vector<float>& s) {
  const std::uint32_t code = (std::uint32_t(std::uint8_t(key[0])) << 24) |
                             (std::uint32_t(std::uint8_t(key[1])) << 16) |
                             (std::uint32_t(std::uint8_t(key[2])) << 8) | std::uint32_t(std::uint8_t(key[3]));
  blendPSDRow(code, b.data(), s.data(), 1);
  return b;
}

}  // namespace

TEST(ReaderCompositing, PlacesLayersAtTheirOffsets) {
  const KDPSDBitmap flat = flatten(backdropAndTop());
  EXPECT_EQ(flat.width, 10);
  EXPECT_EQ(at(flat, 0, 0), (std::vector<int>{100, 150, 200, 255}));
  EXPECT_EQ(at(flat, 2, 3), (std::vector<int>{250, 50, 0, 255}));
  EXPECT_EQ(at(flat, 5, 7), (std::vector<int>{250, 50, 0, 255}));
  EXPECT_EQ(at(flat, 6, 7), (std::vector<int>{100, 150, 200, 255}));
  EXPECT_EQ(at(flat, 5, 8), (std::vector<int>{100, 150, 200, 255}));
}

TEST(ReaderCompositing, OpacityAndVisibility) {
  struct Case {
    std::uint8_t opacity;
    std::uint8_t flags;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {255, 0, {250, 50, 0, 255}},
      {0, 0, {100, 150, 200, 255}},
      {128, 0, {175, 100, 100, 255}},
      {255, 2, {100, 150, 200, 255}},  // hidden
  };
  for (const Case& c : cases) {
    Document d = backdropAndTop();
    d.layers[1].opacity = c.opacity;
    d.layers[1].flags = c.flags;
    const KDPSDBitmap flat = flatten(d);
    const std::vector<int> got = at(flat, 3, 4);
    for (int i = 0; i < 4; ++i)
      EXPECT_NEAR(got[std::size_t(i)], c.expected[std::size_t(i)], 1) << int(c.opacity);
  }
}

TEST(ReaderCompositing, HalfOpacityOverClearHalvesAlphaKeepsColour) {
  Document d;
  d.width = 4;
  d.height = 4;
  d.layers.push_back(psdtest::solidLayer("A", 0, 0, 4, 4, 255, 0, 0, 255));
  d.layers.push_back(psdtest::solidLayer("B", 0, 0, 1, 1, 0, 0, 0, 0));
  d.layers[0].opacity = 128;
  const KDPSDBitmap flat = flatten(d);
  EXPECT_EQ(at(flat, 1, 1), (std::vector<int>{255, 0, 0, 128}));
}

TEST(ReaderCompositing, MaskWhiteKeepsBlackClearsOutsideUnchanged) {
  Document d = backdropAndTop();
  Bytes mask;
  for (std::int32_t v : {3, 2, 4, 4}) psdtest::put32(mask, std::uint32_t(v));  // rows 3-4, columns 2-3
  mask.resize(20, 0);
  d.layers[1].maskData = mask;
  d.layers[1].channels.push_back(psdtest::rawChannel(-2, Bytes{255, 0, 255, 0}));
  const KDPSDBitmap flat = flatten(d);
  EXPECT_EQ(at(flat, 2, 3), (std::vector<int>{250, 50, 0, 255}));     // white
  EXPECT_EQ(at(flat, 3, 3), (std::vector<int>{100, 150, 200, 255}));  // black
  EXPECT_EQ(at(flat, 5, 5), (std::vector<int>{250, 50, 0, 255}));     // outside the mask
}

TEST(ReaderCompositing, GroupsAndHiddenGroups) {
  Document d = backdropAndTop();
  d.layers.insert(d.layers.begin() + 1, psdtest::groupEnd());
  d.layers.push_back(psdtest::groupStart("G"));
  auto visible = flatten(d);
  EXPECT_EQ(at(visible, 3, 4), (std::vector<int>{250, 50, 0, 255}));
  d.layers.back().flags = 2;
  auto hidden = flatten(d);
  EXPECT_EQ(at(hidden, 3, 4), (std::vector<int>{100, 150, 200, 255}));
}

TEST(ReaderCompositing, AllHiddenGivesAClearDocument) {
  Document d = backdropAndTop();
  for (auto& layer : d.layers) layer.flags = 2;
  const KDPSDBitmap flat = flatten(d);
  EXPECT_EQ(at(flat, 0, 0), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(at(flat, 9, 9), (std::vector<int>{0, 0, 0, 0}));
}

TEST(ReaderCompositing, BlendModeFormulas) {
  const std::vector<float> b = {0.5f, 0.25f, 1.0f, 1.0f};
  const std::vector<float> s = {0.5f, 0.75f, 0.0f, 1.0f};
  struct Case {
    const char* key;
    std::vector<float> expected;
  };
  const Case cases[] = {
      {"norm", {0.5f, 0.75f, 0.0f}},    {"mul ", {0.25f, 0.1875f, 0.0f}}, {"scrn", {0.75f, 0.8125f, 1.0f}},
      {"dark", {0.5f, 0.25f, 0.0f}},    {"lite", {0.5f, 0.75f, 1.0f}},    {"diff", {0.0f, 0.5f, 1.0f}},
      {"smud", {0.5f, 0.625f, 1.0f}},   {"lddg", {1.0f, 1.0f, 1.0f}},     {"lbrn", {0.0f, 0.0f, 0.0f}},
      {"fsub", {0.0f, 0.0f, 1.0f}},     {"over", {0.5f, 0.375f, 1.0f}},   {"hLit", {0.5f, 0.625f, 0.0f}},
      {"idiv", {0.0f, 0.0f, 1.0f}},     {"div ", {1.0f, 1.0f, 1.0f}},     {"hMix", {1.0f, 1.0f, 1.0f}},
      {"lum ", {0.656f, 0.484f, 1.0f}}, {"dkCl", {0.5f, 0.25f, 1.0f}},    {"lgCl", {0.5f, 0.75f, 0.0f}},
      {"sLit", {0.5f, 0.375f, 1.0f}},   {"vLit", {0.5f, 0.5f, 1.0f}},     {"lLit", {0.5f, 0.75f, 0.0f}},
      {"pLit", {0.5f, 0.5f, 0.0f}},     {"fdiv", {1.0f, 0.333f, 1.0f}},   {"hue ", {0.344f, 0.516f, 0.0f}},
      {"sat ", {0.5f, 0.25f, 1.0f}},    {"colr", {0.344f, 0.516f, 0.0f}},
  };
  for (const Case& c : cases) {
    const std::vector<float> got = blendPixel(c.key, b, s);
    for (int i = 0; i < 3; ++i)
      EXPECT_NEAR(got[std::size_t(i)], c.expected[std::size_t(i)], 0.02f) << c.key << i;
    EXPECT_FLOAT_EQ(got[3], 1.0f);
  }
}

TEST(ReaderCompositing, BlendOverClearBackdropShowsTheSource) {
  // Over a clear backdrop every mode shows the source as it is.
  for (const char* key : {"mul ", "scrn", "diff", "hue ", "colr", "sLit", "vLit"}) {
    const std::vector<float> got = blendPixel(key, {0.9f, 0.1f, 0.3f, 0.0f}, {0.2f, 0.4f, 0.6f, 0.5f});
    EXPECT_NEAR(got[0], 0.2f, 1e-5) << key;
    EXPECT_NEAR(got[2], 0.6f, 1e-5) << key;
    EXPECT_NEAR(got[3], 0.5f, 1e-5) << key;
  }
  EXPECT_TRUE(isKnownPSDBlendMode(fourCharCode("sat ")));
  EXPECT_FALSE(isKnownPSDBlendMode(fourCharCode("pass")));
}

TEST(ReaderCompositing, GroupBlendOpacityAndPassThrough) {
  // Background, and above it a group holding one multiply layer.
  struct Case {
    const char* groupBlend;
    std::uint8_t groupOpacity;
    std::vector<int> expected;
  };
  const Case cases[] = {
      // Isolated: the multiply sees only the group's clear canvas.
      {"norm", 255, {250, 50, 0, 255}},
      // Pass-through: the multiply reaches the background, as if ungrouped.
      {"pass", 255, {98, 29, 0, 255}},
      {"pass", 128, {99, 90, 100, 255}},
      {"norm", 0, {100, 150, 200, 255}},
  };
  for (const Case& c : cases) {
    Document d = backdropAndTop();
    d.layers[1].blendKey = "mul ";
    d.layers.insert(d.layers.begin() + 1, psdtest::groupEnd());
    d.layers.push_back(psdtest::groupStart("G"));
    d.layers.back().blocks[0] = psdtest::lsctBlock(1, c.groupBlend, 12);
    d.layers.back().opacity = c.groupOpacity;
    const std::vector<int> got = at(flatten(d), 3, 4);
    for (int i = 0; i < 4; ++i)
      EXPECT_NEAR(got[std::size_t(i)], c.expected[std::size_t(i)], 1) << c.groupBlend;
  }
}

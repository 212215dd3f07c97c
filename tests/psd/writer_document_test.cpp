// Whole files of the layered PSD writer: header, resources, layer section,
// composite and the refusals.

#include <gtest/gtest.h>

#include <limits>

#include "platform/color/icc_profile.h"
#include "psd/rw_psd_writer.h"
#include "psd/writer_file_parser.h"
#include "psd/writer_test_images.h"

namespace velumar {
namespace {

using writertest::Bytes;
using writertest::ParsedFile;
using writertest::RGBA;

const std::vector<std::shared_ptr<RWPSDLayer>> kNoLayers;

ParsedFile parsed(const Bytes& file) {
  std::string why;
  auto result = writertest::parsePSD(file, &why);
  EXPECT_TRUE(result.has_value()) << why;
  return result.value_or(ParsedFile{});
}

TEST(WriterDocument, OnePixelWithoutTransparency) {
  RWPSDWriter writer({1, 1}, false, kNoLayers);
  writer.addLayerWithCGImage(writertest::solidImage(1, 1, {255, 0, 0, 255}), "Red");
  const Bytes file = writer.createPSDData();
  const ParsedFile f = parsed(file);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 26),
            (Bytes{'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 1, 0, 8, 0, 3}));
  EXPECT_EQ(f.layerCount, 1);
  ASSERT_EQ(f.layers.size(), 1u);
  EXPECT_EQ(f.layers[0].channels.size(), 3u);
  EXPECT_EQ(f.compositeRowCounts, (std::vector<std::uint16_t>{2, 2, 2}));
  const std::size_t composite = file.size() - 2 - 6 - 6;
  EXPECT_EQ(Bytes(file.begin() + std::ptrdiff_t(composite), file.end()),
            (Bytes{0, 1, 0, 2, 0, 2, 0, 2, 0, 255, 0, 0, 0, 0}));
}

TEST(WriterDocument, ResourcesHoldResolutionAndLayerState) {
  RWPSDWriter writer({2, 2});
  writer.addLayerWithCGImage(writertest::solidImage(2, 2, {}), "A");
  const ParsedFile f = parsed(writer.createPSDData());
  EXPECT_EQ(f.resourceSectionLength, 42u);
  ASSERT_EQ(f.resources.size(), 2u);
  EXPECT_EQ(f.resources[0].id, 1005);
  EXPECT_EQ(f.resources[0].data, (Bytes{0, 0x48, 0, 0, 0, 1, 0, 1, 0, 0x48, 0, 0, 0, 1, 0, 1}));
  EXPECT_EQ(f.resources[1].id, 1024);
  EXPECT_EQ(f.resources[1].data, (Bytes{0, 0}));

  // Per centimetre: stored per inch with the unit kept.
  RWPSDWriter metric({2, 2}, 28.35f, 2);
  metric.addLayerWithCGImage(writertest::solidImage(2, 2, {}), "A");
  const Bytes r = parsed(metric.createPSDData()).resources[0].data;
  const std::uint32_t fixed = std::uint32_t(r[0]) << 24 | r[1] << 16 | r[2] << 8 | r[3];
  EXPECT_NEAR(fixed / 65536.0, 72.009, 0.001);
  EXPECT_EQ(r[5], 2);  // unit
}

TEST(WriterDocument, EmbedsTheChosenProfilePaddedToEvenLength) {
  const std::pair<int, color::NamedProfile> named[] = {{1, color::NamedProfile::GenericRGB},
                                                       {2, color::NamedProfile::SRGB},
                                                       {3, color::NamedProfile::AdobeRGB1998},
                                                       {7, color::NamedProfile::GenericRGB}};
  for (const auto& [choice, which] : named) {
    RWPSDWriter writer({2, 2});
    writer.setColorProfile(choice);
    writer.addLayerWithCGImage(writertest::solidImage(2, 2, {}), "A");
    const ParsedFile f = parsed(writer.createPSDData());
    ASSERT_EQ(f.resources.size(), 3u) << choice;
    EXPECT_EQ(f.resources[2].id, 1039);
    const auto& expected = color::IccProfile::named(which)->data();
    EXPECT_EQ(f.resources[2].data, expected) << choice;
    EXPECT_EQ(f.resources[2].padded, expected.size() % 2 == 1);
  }
  // The generic profile for any other choice.
  RWPSDWriter writer({2, 2});
  writer.setGenericProfile(color::IccProfile::named(color::NamedProfile::AdobeRGB1998));
  writer.setColorProfile(4);
  writer.addLayerWithCGImage(writertest::solidImage(2, 2, {}), "A");
  const ParsedFile f = parsed(writer.createPSDData());
  ASSERT_EQ(f.resources.size(), 3u);
  EXPECT_EQ(f.resources[2].data, color::IccProfile::named(color::NamedProfile::AdobeRGB1998)->data());

  // A profile an RGB file cannot carry falls back to generic RGB.
  RWPSDWriter grayChoice({2, 2});
  grayChoice.setGenericProfile(color::IccProfile::named(color::NamedProfile::GenericGray));
  grayChoice.setColorProfile(4);
  EXPECT_EQ(grayChoice.iccProfileData(), color::IccProfile::named(color::NamedProfile::GenericRGB)->data());
}

TEST(WriterDocument, LayerCountIsNegativeWhenTheCompositeHasTransparency) {
  for (bool transparent : {true, false}) {
    RWPSDWriter writer({3, 3}, transparent, kNoLayers);
    writer.addLayerWithCGImage(writertest::solidImage(3, 3, {}), "A");
    writer.addLayerWithCGImage(writertest::solidImage(1, 1, {}), "B");
    const ParsedFile f = parsed(writer.createPSDData());
    EXPECT_EQ(f.layerCount, transparent ? -2 : 2);
    EXPECT_EQ(f.channels, transparent ? 4 : 3);
    EXPECT_EQ(f.compositePlanes.size(), transparent ? 4u : 3u);
  }
}

TEST(WriterDocument, NoVisibleLayerGivesEmptyDataAndError2) {
  RWPSDWriter writer({10, 10});
  writer.addLayerWithCGImage(writertest::solidImage(4, 4, {}), "Outside", 1.0f, {10, 0});
  RWPSDError error;
  EXPECT_TRUE(writer.createPSDDataWithError(&error).empty());
  EXPECT_EQ(error.code, 2);
  EXPECT_EQ(error.description, "No visible layers in the document");
  EXPECT_TRUE(RWPSDWriter().createPSDData().empty());
}

TEST(WriterDocument, RefusesWhatAPSDFileCannotHold) {
  RWPSDWriter tooWide({30001, 1});
  EXPECT_EQ(tooWide.flattenedContext(), nullptr);
  tooWide.addLayerWithCGImage(writertest::solidImage(1, 1, {}), "A");
  RWPSDError error;
  EXPECT_TRUE(tooWide.createPSDDataWithError(&error).empty());
  EXPECT_EQ(error.code, kRWPSDErrorTooLarge);

  // 16384 groups are 32768 records: one more than the count field holds.
  RWPSDWriter crowded({1, 1});
  crowded.addLayerWithCGImage(writertest::solidImage(1, 1, {}), "A");
  for (int i = 0; i < 16384; ++i) {
    crowded.openGroupLayerWithName("G");
    crowded.closeCurrentGroupLayer();
  }
  error = {};
  EXPECT_TRUE(crowded.createPSDDataWithError(&error).empty());
  EXPECT_EQ(error.code, kRWPSDErrorTooLarge);
}

TEST(WriterDocument, LayerInfoOfOddLengthIsPaddedInBothLengths) {
  int oddSeen = 0;
  for (int width = 1; width <= 6; ++width) {
    RWPSDWriter writer({double(width), 1}, false, kNoLayers);
    writer.addLayerWithCGImage(writertest::makeImage(width, 1,
                                                     [](int x, int) {
                                                       return RGBA{std::uint8_t(x * 40), 0, 0, 255};
                                                     }),
                               "A");
    const ParsedFile f = parsed(writer.createPSDData());
    std::size_t unpadded = 2;
    for (const auto& layer : f.layers) {
      unpadded += 16 + 2 + 6 * layer.channels.size() + 16 + layer.extra.size();
      for (const auto& channel : layer.channels) unpadded += channel.length;
    }
    EXPECT_EQ(f.layerInfoLength, unpadded + unpadded % 2);
    EXPECT_EQ(f.layerSectionLength, f.layerInfoLength + 4);
    oddSeen += int(unpadded % 2);
  }
  EXPECT_GT(oddSeen, 0);
}

TEST(WriterGroups, AnOpenGroupAloneIsClosedAndWritten) {
  RWPSDWriter writer({4, 4}, false, kNoLayers);
  writer.openGroupLayerWithName("Only");
  const ParsedFile f = parsed(writer.createPSDData());
  ASSERT_EQ(f.layers.size(), 2u);
  EXPECT_EQ(f.layers[0].sectionType, 3u);
  EXPECT_EQ(f.layers[1].sectionType, 2u);
  EXPECT_EQ(f.layers[1].unicodeName, u"Only");
  for (const auto& layer : f.layers) {
    EXPECT_EQ(layer.bottom, 0);
    EXPECT_EQ(layer.right, 0);
    ASSERT_EQ(layer.channels.size(), 4u);  // even in a 3-channel document
    const std::int16_t ids[] = {0, 1, 2, -1};
    for (std::size_t c = 0; c < 4; ++c) {
      EXPECT_EQ(layer.channels[c].id, ids[c]);
      EXPECT_EQ(layer.channels[c].length, 2u);
    }
  }
}

TEST(WriterGroups, ClosingWithoutAnOpenGroupIsError3) {
  RWPSDWriter writer({4, 4});
  writer.openGroupLayerWithName("G");
  EXPECT_NE(writer.closeCurrentGroupLayer(), nullptr);
  RWPSDError error;
  EXPECT_EQ(writer.closeCurrentGroupLayerWithError(&error), nullptr);
  EXPECT_EQ(error.code, 3);
  EXPECT_EQ(error.description, "There is no opened layer to close");
  EXPECT_EQ(writer.layers().size(), 2u);

  // Nested groups close innermost first.
  auto outer = writer.openGroupLayerWithName("Outer", 1.0f, true);
  auto inner = writer.openGroupLayerWithName("Inner", 0.5f, false);
  EXPECT_EQ(writer.closeCurrentGroupLayer()->groupOpeningLayer(), inner);
  EXPECT_EQ(writer.closeCurrentGroupLayer()->groupOpeningLayer(), outer);
}

TEST(WriterGroups, TheGroupBlendModeReachesTheFolderRecord) {
  for (const char* key : {"mul ", "pass", "norm"}) {
    RWPSDWriter writer({4, 4});
    auto group = writer.openGroupLayerWithName("G", 0.5f, true);
    group->setBlendMode(key);
    writer.addLayerWithCGImage(writertest::solidImage(4, 4, {}), "A");
    writer.closeCurrentGroupLayer();
    const ParsedFile f = parsed(writer.createPSDData());
    ASSERT_EQ(f.layers.size(), 3u);
    const auto& folder = f.layers[2];
    EXPECT_EQ(folder.sectionType, 1u);
    EXPECT_EQ(folder.lsctLength, 12u);
    EXPECT_EQ(folder.sectionBlendKey, key);
    EXPECT_EQ(folder.blendKey, key);
    EXPECT_EQ(folder.opacity, 128);
    EXPECT_EQ(f.layers[0].sectionType, 3u);
    EXPECT_EQ(f.layers[0].unicodeName, u"</Layer group>");
  }
}

// The records' kinds and names in file order: "[G" opens G, "]G" closes it.
std::vector<std::string> recordOutline(const ParsedFile& f) {
  std::vector<std::string> outline;
  for (const auto& layer : f.layers) {
    const std::string name(layer.unicodeName.begin(), layer.unicodeName.end());
    if (layer.sectionType == 3u) {
      outline.push_back("[");
    } else if (layer.sectionType) {
      outline.push_back("]" + name);
    } else {
      outline.push_back(name);
    }
  }
  return outline;
}

TEST(WriterGroups, GroupPathsOpenAndCloseGroupsBetweenNeighbours) {
  RWPSDWriter writer({4, 4});
  const RWPSDGroupInfo a{1, "A", 0.5f, "scrn", true}, b{2, "B", 1.0f, "pass", false}, c{3, "C"}, c2{4, "C"};
  auto image = writertest::solidImage(2, 2, {});
  const std::vector<std::pair<std::vector<RWPSDGroupInfo>, std::string>> stack = {
      {{a, b}, "1"}, {{a, b}, "2"}, {{a}, "3"}, {{}, "4"}, {{c}, "5"}, {{c2}, "6"}};
  for (const auto& [path, name] : stack) {
    writer.setCurrentGroupPath(path);
    writer.addLayerWithCGImage(image, name);
  }
  const ParsedFile f = parsed(writer.createPSDData());
  EXPECT_EQ(recordOutline(f), (std::vector<std::string>{"[", "[", "1", "2", "]B", "3", "]A", "4", "[", "5",
                                                        "]C", "[", "6", "]C"}));
  // Group A holds group B before any layer of its own, and keeps its attributes.
  const auto& folderA = f.layers[6];
  EXPECT_EQ(folderA.opacity, 128);
  EXPECT_EQ(folderA.sectionBlendKey, "scrn");
  EXPECT_EQ(folderA.sectionType, 1u);
  EXPECT_EQ(f.layers[4].sectionBlendKey, "pass");
  EXPECT_EQ(f.layers[4].sectionType, 2u);
}

RGBA compositePixel(const ParsedFile& f, std::size_t x, std::size_t y) {
  auto at = [&](std::size_t c) { return f.compositePlanes[c][y * f.width + x]; };
  return {at(0), at(1), at(2), f.compositePlanes.size() > 3 ? at(3) : std::uint8_t(255)};
}

TEST(WriterComposite, UsesTheLayersBlendModesAndOpacities) {
  RWPSDWriter writer({3, 1}, false, kNoLayers);
  writer.addLayerWithCGImage(writertest::solidImage(3, 1, {200, 100, 40, 255}), "Base");
  writer.addLayerWithCGImage(writertest::solidImage(1, 1, {128, 128, 128, 255}), "Multiply", 1.0f, {0, 0},
                             "mul ", true);
  writer.addLayerWithCGImage(writertest::solidImage(1, 1, {0, 0, 0, 255}), "Half", 0.5f, {1, 0}, "norm",
                             true);
  writer.addLayerWithCGImage(writertest::solidImage(1, 1, {0, 0, 0, 255}), "Hidden", 1.0f, {2, 0}, "norm",
                             false);
  const ParsedFile f = parsed(writer.createPSDData());
  const RGBA multiplied = compositePixel(f, 0, 0);
  EXPECT_NEAR(multiplied.r, 100, 1);
  EXPECT_NEAR(multiplied.g, 50, 1);
  EXPECT_NEAR(multiplied.b, 20, 1);
  const RGBA half = compositePixel(f, 1, 0);
  EXPECT_NEAR(half.r, 100, 1);
  EXPECT_NEAR(half.b, 20, 1);
  EXPECT_EQ(compositePixel(f, 2, 0), (RGBA{200, 100, 40, 255}));  // not drawn into the composite
  EXPECT_EQ(f.layers.size(), 4u);
}

TEST(WriterComposite, TransparentAreasAreMattedAgainstWhite) {
  RWPSDWriter writer({2, 1});
  writer.addLayerWithCGImage(writertest::solidImage(1, 1, {200, 100, 50, 128}), "Half");
  const ParsedFile f = parsed(writer.createPSDData());
  const RGBA covered = compositePixel(f, 0, 0);
  EXPECT_EQ(covered.a, 128);
  // c x a + 255 x (1 - a)
  EXPECT_NEAR(covered.r, 200 * 128 / 255.0 + 127, 1);
  EXPECT_NEAR(covered.b, 50 * 128 / 255.0 + 127, 1);
  EXPECT_EQ(compositePixel(f, 1, 0), (RGBA{255, 255, 255, 0}));
}

// sRGB red lies inside Adobe RGB (same red primary, wider gamut): about 219
// there. A file without a profile is read as sRGB, so its layers are sRGB.
TEST(WriterComposite, LayersAreConvertedIntoTheDocumentProfile) {
  const struct {
    const char* name;
    int choice;
    std::uint8_t red;
    color::NamedProfile layerSpace;
    int written;
  } cases[] = {
      {"sRGB red into Adobe RGB", 3, 255, color::NamedProfile::SRGB, 219},
      {"Adobe RGB red into a file without a profile", 0, 219, color::NamedProfile::AdobeRGB1998, 255}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RWPSDWriter writer({1, 1}, false, kNoLayers);
    writer.setColorProfile(c.choice);
    writer.addLayerWithCGImage(
        writertest::solidImage(1, 1, {c.red, 0, 0, 255})->retagged(raster::ColorSpace::named(c.layerSpace)),
        "red");
    const ParsedFile f = parsed(writer.createPSDData());
    const std::uint8_t r = f.layers[0].channels[0].plane[0], g = f.layers[0].channels[1].plane[0];
    EXPECT_NEAR(r, c.written, 3);
    EXPECT_LT(g, 3);
    EXPECT_NEAR(compositePixel(f, 0, 0).r, r, 1);
    EXPECT_NEAR(compositePixel(f, 0, 0).g, g, 1);
  }
}

TEST(WriterRobustness, OddGeometryNeverCrashesAndGivesAReadableFileOrNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    raster::Size document;
    raster::Point offset;
    float opacity;
    const char* blend;
    bool written;
  } cases[] = {
      {"NaN offset", {4, 4}, {nan, nan}, 1.0f, "norm", true},
      {"infinite offset", {4, 4}, {inf, -inf}, 1.0f, "norm", false},
      {"huge offset", {4, 4}, {1e300, -1e300}, 1.0f, "norm", false},
      {"fractional offset", {4, 4}, {0.5, 1.5}, 1.0f, "norm", true},
      {"NaN document", {nan, nan}, {0, 0}, 1.0f, "norm", false},
      {"negative document", {-4, -4}, {0, 0}, 1.0f, "norm", false},
      {"huge document", {1e20, 1e20}, {0, 0}, 1.0f, "norm", false},
      {"fractional document", {3.7, 2.2}, {0, 0}, 1.0f, "norm", true},
      {"NaN opacity", {4, 4}, {0, 0}, std::numeric_limits<float>::quiet_NaN(), "norm", true},
      {"opacity beyond 1", {4, 4}, {0, 0}, 7.0f, "norm", true},
      {"odd blend keys", {4, 4}, {0, 0}, 1.0f, "", true},
      {"long blend key", {4, 4}, {0, 0}, 1.0f, "multiply", true},
  };
  for (const Case& c : cases) {
    RWPSDWriter writer(c.document);
    writer.addLayerWithCGImage(writertest::solidImage(2, 2, {1, 2, 3, 200}), "L", c.opacity, c.offset,
                               c.blend, true);
    writer.addLayerWithCGImage(nullptr, "No image");
    const Bytes file = writer.createPSDData();
    EXPECT_EQ(!file.empty(), c.written) << c.what;
    if (file.empty()) continue;
    std::string why;
    EXPECT_TRUE(writertest::parsePSD(file, &why).has_value()) << c.what << ": " << why;
  }
}

}  // namespace
}  // namespace velumar

// The document reader on files built field by field: header checks, layer
// counts, group trees, record containment and channel decoding.
#include <gtest/gtest.h>

#include <algorithm>

#include "psd/kd_psd.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/kd_psd_descriptor.h"
#include "psd/kd_psd_packbits.h"
#include "psd/reader_psd_builder.h"
#include "support/test_support.h"

using namespace velumar;
using psdtest::Bytes;
using psdtest::Document;
using psdtest::Layer;

namespace {

std::unique_ptr<KDPSD> read(const Document& d, KDPSDError* error = nullptr) {
  return KDPSD::imageWithData(psdtest::build(d), error);
}

Document twoLayers() {
  Document d;
  d.layers.push_back(psdtest::solidLayer("Bottom", 0, 0, 8, 8, 10, 20, 30, 255));
  d.layers.push_back(psdtest::solidLayer("Top", 2, 1, 3, 2, 200, 100, 50, 128));
  return d;
}

std::vector<std::string> names(const std::vector<std::shared_ptr<KDPSDLayer>>& layers) {
  std::vector<std::string> out;
  for (const auto& l : layers) out.push_back(l->layerName.value_or("<none>"));
  return out;
}

const std::uint8_t* pixel(const KDPSDLayer& layer, int x, int y) {
  return layer.image->row(y) + std::size_t(x) * 4;
}

}  // namespace

TEST(ReaderDocument, ReadsTwoLayersWithPixelsAndAttributes) {
  auto psd = read(twoLayers());
  ASSERT_TRUE(psd);
  EXPECT_EQ(psd->width, 8u);
  EXPECT_EQ(psd->channels, 4);
  ASSERT_EQ(psd->baseLayerGroup->layers.size(), 2u);
  EXPECT_EQ(names(psd->baseLayerGroup->layers), (std::vector<std::string>{"Top", "Bottom"}));
  const KDPSDLayer& top = *psd->baseLayerGroup->layers[0];
  EXPECT_EQ(top.left, 2);
  EXPECT_EQ(top.top, 1);
  ASSERT_TRUE(top.image);
  EXPECT_EQ(top.image->width, 3);
  EXPECT_EQ(top.image->height, 2);
  const std::uint8_t* p = pixel(top, 2, 1);
  EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{200, 100, 50, 128}));
  EXPECT_EQ(top.blendMode, fourCharCode("norm"));
  ASSERT_TRUE(psd->compositeLayer && psd->compositeLayer->image);
  EXPECT_EQ(psd->compositeLayer->image->pixels[0], 0x40);
}

TEST(ReaderDocument, NegativeLayerCountReadsItsMagnitude) {
  Document negative = twoLayers();
  negative.storedCount = -2;
  auto psd = read(negative);
  ASSERT_TRUE(psd);
  EXPECT_EQ(psd->baseLayerGroup->layers.size(), 2u);
}

TEST(ReaderDocument, HeaderRefusals) {
  struct Case {
    const char* what;
    void (*edit)(Document&);
  };
  const Case cases[] = {
      {"version 2", [](Document& d) { d.version = 2; }},
      {"grayscale", [](Document& d) { d.mode = 1; }},
      {"CMYK", [](Document& d) { d.mode = 4; }},
      {"16-bit", [](Document& d) { d.depth = 16; }},
      {"1-bit", [](Document& d) { d.depth = 1; }},
      {"no channels", [](Document& d) { d.channels = 0; }},
      {"too wide", [](Document& d) { d.width = 40000; }},
      {"one layer", [](Document& d) { d.layers.pop_back(); }},
      {"no layer section", [](Document& d) { d.layers.clear(); }},
  };
  for (const Case& c : cases) {
    Document d = twoLayers();
    c.edit(d);
    EXPECT_FALSE(read(d)) << c.what;
  }
}

TEST(ReaderDocument, EmptyAndMissingFiles) {
  KDPSDError error;
  EXPECT_FALSE(KDPSD::imageWithData({'8', 'B', 'P'}, &error));
  EXPECT_EQ(error.domain, "8BPS");
  EXPECT_EQ(error.code, 1);
  EXPECT_EQ(error.description, "Empty PSD file");

  testsupport::TempDir folder;
  KDPSDError folderError;
  EXPECT_FALSE(KDPSD::imageWithContetsOfURL(folder.path().string(), &folderError));
  EXPECT_EQ(folderError.description, "Empty PSD file");

  KDPSDError untouched;
  EXPECT_FALSE(KDPSD::imageWithContetsOfURL("/nonexistent/file.psd", &untouched));
  EXPECT_TRUE(untouched.domain.empty());

  Bytes wrongSignature = psdtest::build(twoLayers());
  wrongSignature[0] = 'X';
  KDPSDError signatureError;
  EXPECT_FALSE(KDPSD::imageWithData(wrongSignature, &signatureError));
  EXPECT_EQ(signatureError.domain, "8BPS");
  EXPECT_NE(signatureError.description.find("invalid start signature 'XBPS'"), std::string::npos);
}

TEST(ReaderDocument, ResourcesKeepTheIccProfileWithItsPad) {
  Document d = twoLayers();
  d.resources.push_back({1005, Bytes(16, 1)});
  d.resources.push_back({1039, Bytes{1, 2, 3, 4, 5}});
  d.resources.push_back({1036, Bytes(7, 9), "MeSa"});
  auto psd = read(d);
  ASSERT_TRUE(psd);
  EXPECT_TRUE(psd->hasICCProfile);
  EXPECT_EQ(psd->iccProfile, (Bytes{1, 2, 3, 4, 5, 0}));

  Document bad = twoLayers();
  bad.resources.push_back({1005, Bytes(4, 0), "XXXX"});
  KDPSDError error;
  EXPECT_FALSE(read(bad, &error));
  EXPECT_EQ(error.domain, "8BIM");
}

TEST(ReaderDocument, GroupTreeFollowsDividers) {
  // File order is bottom-up: [group end, A, B, group start "G", C].
  Document d;
  d.layers.push_back(psdtest::groupEnd());
  d.layers.push_back(psdtest::solidLayer("A", 0, 0, 1, 1, 1, 1, 1, 255));
  d.layers.push_back(psdtest::solidLayer("B", 0, 0, 1, 1, 2, 2, 2, 255));
  d.layers.push_back(psdtest::groupStart("G"));
  d.layers.push_back(psdtest::solidLayer("C", 0, 0, 1, 1, 3, 3, 3, 255));
  auto psd = read(d);
  ASSERT_TRUE(psd);
  const auto& base = psd->baseLayerGroup->layers;
  ASSERT_EQ(names(base), (std::vector<std::string>{"C", "G"}));
  EXPECT_TRUE(base[1]->isGroup);
  EXPECT_FALSE(base[1]->image);
  EXPECT_EQ(names(base[1]->layers), (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(base[1]->parent.lock(), psd->baseLayerGroup);
}

TEST(ReaderDocument, GroupEndWithoutOpenGroupKeepsLaterLayers) {
  // Top of the stack first when read: "Top", then a stray group end, then "Bottom".
  Document d;
  d.layers.push_back(psdtest::solidLayer("Bottom", 0, 0, 1, 1, 1, 1, 1, 255));
  d.layers.push_back(psdtest::groupEnd());
  d.layers.push_back(psdtest::solidLayer("Top", 0, 0, 1, 1, 2, 2, 2, 255));
  auto psd = read(d);
  ASSERT_TRUE(psd);
  EXPECT_EQ(names(psd->baseLayerGroup->layers), (std::vector<std::string>{"Top", "Bottom"}));
}

TEST(ReaderDocument, SectionDividerForms) {
  struct Case {
    psdtest::Block block;
    std::uint32_t divider;
    std::uint32_t blend;
  };
  psdtest::Block lsdk = psdtest::lsctBlock(1, "mul ", 12);
  lsdk.key = "lsdk";
  const Case cases[] = {
      {psdtest::lsctBlock(0), 0, fourCharCode("norm")},
      {psdtest::lsctBlock(1), 1, fourCharCode("norm")},
      {psdtest::lsctBlock(2), 1, fourCharCode("norm")},
      {psdtest::lsctBlock(3), 2, fourCharCode("norm")},
      {psdtest::lsctBlock(1, "scrn", 12), 1, fourCharCode("scrn")},
      {psdtest::lsctBlock(1, "pass", 16), 1, fourCharCode("pass")},
      {lsdk, 1, fourCharCode("mul ")},
  };
  for (const Case& c : cases) {
    Document d = twoLayers();
    d.layers[1].blocks.push_back(c.block);
    d.layers[1].blocks.push_back(psdtest::luniBlock(u"After"));
    auto psd = read(d);
    ASSERT_TRUE(psd);
    EXPECT_EQ(psd->allLayers[1]->dividerType, c.divider);
    EXPECT_EQ(psd->allLayers[1]->blendMode, c.blend);
    // The block after the divider is read in step.
    EXPECT_EQ(psd->allLayers[1]->layerName, "After");
  }
}

TEST(ReaderDocument, LayerNamesPaddingMacRomanAndUnicode) {
  struct Case {
    std::string raw;
    std::optional<std::u16string> unicode;
    std::string expected;
  };
  const Case cases[] = {
      {"", std::nullopt, ""},
      {"abc", std::nullopt, "abc"},
      {"abcd", std::nullopt, "abcd"},
      {"Caf\x8E", std::nullopt, "Caf\xC3\xA9"},  // Mac OS Roman 0x8E is e-acute
      {"Legacy", u"Unicode \u00FC", "Unicode \xC3\xBC"},
      {std::string(255, 'x'), std::nullopt, std::string(255, 'x')},
  };
  for (const Case& c : cases) {
    Document d = twoLayers();
    d.layers[0].name = c.raw;
    if (c.unicode) d.layers[0].blocks.push_back(psdtest::luniBlock(*c.unicode));
    d.layers[0].blocks.push_back(psdtest::lyidBlock(77));
    auto psd = read(d);
    ASSERT_TRUE(psd) << c.expected;
    EXPECT_EQ(psd->allLayers[0]->layerName, c.expected);
    EXPECT_EQ(psd->allLayers[0]->layerId, 77u);
  }
}

TEST(ReaderDocument, NameIsTheStatedBytesNotThePadding) {
  Document d = twoLayers();
  // Length 2, then "ab" and a non-zero pad byte.
  d.layers[0].nameField = Bytes{2, 'a', 'b', 'Z'};
  auto psd = read(d);
  ASSERT_TRUE(psd);
  EXPECT_EQ(psd->allLayers[0]->layerName, "ab");

  // No extra data at all: a nameless layer that still has its pixels.
  d.layers[0].noExtraData = true;
  psd = read(d);
  ASSERT_TRUE(psd);
  EXPECT_FALSE(psd->allLayers[0]->layerName);
  EXPECT_TRUE(psd->allLayers[0]->image);
}

TEST(ReaderDocument, MaskDataOfAnyLengthIsConsumed) {
  for (std::size_t length : {4u, 16u, 18u, 20u, 28u, 36u, 40u, 55u}) {
    Document d = twoLayers();
    Bytes rectangle;
    for (std::int32_t v : {1, 2, 5, 6})
      psdtest::put32(rectangle, std::uint32_t(v));  // top, left, bottom, right
    Bytes mask(length, 0);
    std::copy_n(rectangle.begin(), std::min(length, rectangle.size()), mask.begin());
    d.layers[1].maskData = mask;
    d.layers[1].blocks.push_back(psdtest::luniBlock(u"Masked"));
    auto psd = read(d);
    ASSERT_TRUE(psd) << length;
    EXPECT_EQ(psd->allLayers[1]->layerName, "Masked") << length;
    if (length >= 16) {
      EXPECT_EQ(psd->allLayers[1]->maskWidth, 4);
      EXPECT_EQ(psd->allLayers[1]->maskHeight, 4);
    }
  }
}

TEST(ReaderDocument, LayerMaskPlaneIsRead) {
  Document d = twoLayers();
  Bytes mask;
  for (std::int32_t v : {0, 0, 2, 3}) psdtest::put32(mask, std::uint32_t(v));
  mask.resize(20, 0);
  d.layers[1].maskData = mask;
  d.layers[1].channels.push_back(psdtest::rawChannel(-2, Bytes{0, 64, 128, 192, 255, 255}));
  auto psd = read(d);
  ASSERT_TRUE(psd);
  const auto& layer = *psd->allLayers[1];
  ASSERT_TRUE(layer.mask);
  EXPECT_EQ(layer.mask->width, 3);
  EXPECT_EQ(layer.mask->pixels, (Bytes{0, 64, 128, 192, 255, 255}));
  EXPECT_TRUE(layer.image);
}

TEST(ReaderDocument, ChannelCompressions) {
  // A 5 x 3 gradient through every compression, including ZIP with prediction.
  Bytes plane;
  for (int i = 0; i < 15; ++i) plane.push_back(std::uint8_t(i * 17));
  for (int compression = 0; compression <= 3; ++compression) {
    Document d = twoLayers();
    Layer& layer = d.layers[1];
    layer.left = 0, layer.top = 0, layer.right = 5, layer.bottom = 3;
    layer.channels.clear();
    const Bytes opaque(15, 255);
    for (std::int16_t id : {-1, 0, 1, 2}) {
      const Bytes& p = id == -1 ? opaque : plane;
      switch (compression) {
        case 0:
          layer.channels.push_back(psdtest::rawChannel(id, p));
          break;
        case 1:
          layer.channels.push_back(psdtest::rleChannel(id, p, 5, 3));
          break;
        default:
          layer.channels.push_back(psdtest::zipChannel(id, p, 5, 3, compression == 3));
          break;
      }
    }
    auto psd = read(d);
    ASSERT_TRUE(psd) << compression;
    const KDPSDLayer& read = *psd->allLayers[1];
    ASSERT_TRUE(read.image) << compression;
    for (int i = 0; i < 15; ++i) {
      EXPECT_EQ(read.image->pixels[std::size_t(i) * 4 + 1], plane[std::size_t(i)]) << compression << " " << i;
    }
    // The layer after stays in step.
    EXPECT_EQ(psd->allLayers[0]->image->pixels[0], 10);
  }
}

TEST(ReaderDocument, UnknownCompressionLeavesThePlaneMissingAndTheRestInStep) {
  Document d = twoLayers();
  // Layer "Top" (3 x 2): red uses compression 5 with a payload of 9 bytes.
  d.layers[1].channels[1] = psdtest::encodedChannel(0, 5, Bytes(9, 0xEE));
  d.layers.push_back(psdtest::solidLayer("Third", 0, 0, 2, 2, 7, 8, 9, 255));
  KDPSDError error;
  auto psd = read(d, &error);
  ASSERT_TRUE(psd);
  EXPECT_EQ(error.domain, kKDPSDErrorDomain);
  EXPECT_EQ(error.code, 3);
  EXPECT_NE(error.description.find("Bad encoding (5)"), std::string::npos);
  const KDPSDLayer& top = *psd->allLayers[1];
  ASSERT_TRUE(top.image);
  EXPECT_EQ(top.image->pixels[0], 0);    // red missing: black
  EXPECT_EQ(top.image->pixels[1], 100);  // green read
  EXPECT_EQ(psd->allLayers[2]->image->pixels[2], 9);
}

TEST(ReaderDocument, ChannelStatedLengthDecidesWhereTheNextChannelStarts) {
  Document d = twoLayers();
  // Raw data followed by 5 stray bytes that belong to the channel by its length.
  psdtest::Channel& red = d.layers[1].channels[1];
  red.bytes.insert(red.bytes.end(), 5, 0xAB);
  auto psd = read(d);
  ASSERT_TRUE(psd);
  EXPECT_EQ(psd->allLayers[1]->image->pixels[0], 200);
  EXPECT_EQ(psd->allLayers[1]->image->pixels[1], 100);
}

TEST(ReaderDocument, RunLengthRowsOfTheWrongLengthStayInsideThePlane) {
  Document d = twoLayers();
  // 3 x 2 layer, red: row 0 unpacks to 6 bytes (cut), row 1 to 1 byte (padded).
  Bytes payload;
  psdtest::put16(payload, 2);
  psdtest::put16(payload, 2);
  payload.insert(payload.end(), {0xFB, 0x11, 0x00, 0x22});  // -5: six times 0x11; 0: one 0x22
  d.layers[1].channels[1] = psdtest::encodedChannel(0, 1, payload);
  auto psd = read(d);
  ASSERT_TRUE(psd);
  const auto& pixels = psd->allLayers[1]->image->pixels;
  EXPECT_EQ((std::vector<int>{pixels[0], pixels[4], pixels[8]}), (std::vector<int>{0x11, 0x11, 0x11}));
  EXPECT_EQ((std::vector<int>{pixels[12], pixels[16], pixels[20]}), (std::vector<int>{0x22, 0, 0}));
}

TEST(ReaderDocument, ElevenChannelsAreReadAndExtrasSkipped) {
  Document d = twoLayers();
  Layer& layer = d.layers[1];
  for (std::int16_t id = 3; id < 10; ++id) layer.channels.push_back(psdtest::rawChannel(id, Bytes(6, 0x99)));
  ASSERT_EQ(layer.channels.size(), 11u);
  d.layers.push_back(psdtest::solidLayer("After", 0, 0, 1, 1, 5, 6, 7, 255));
  auto psd = read(d);
  ASSERT_TRUE(psd);
  EXPECT_EQ(psd->allLayers[1]->channels(), 11);
  EXPECT_EQ(psd->allLayers[1]->image->pixels[0], 200);
  EXPECT_EQ(psd->allLayers[2]->image->pixels[1], 6);
}

TEST(ReaderDocument, EmptyChannelsAndMissingAlpha) {
  Document d = twoLayers();
  Layer& layer = d.layers[1];
  layer.channels.erase(layer.channels.begin());    // no alpha channel
  layer.channels[0] = psdtest::rawChannel(0, {});  // stored length 2: no pixels
  auto psd = read(d);
  ASSERT_TRUE(psd);
  const auto& pixels = psd->allLayers[1]->image->pixels;
  EXPECT_EQ((std::vector<int>{pixels[0], pixels[1], pixels[2], pixels[3]}),
            (std::vector<int>{0, 100, 50, 255}));
}

TEST(ReaderDocument, BadBlockSignatureIsContainedInItsRecord) {
  Document d = twoLayers();
  psdtest::Block bad = psdtest::lyidBlock(5);
  bad.signature = "XXXX";
  d.layers[0].blocks.push_back(bad);
  d.layers[0].blocks.push_back(psdtest::luniBlock(u"Lost"));
  KDPSDError error;
  auto psd = read(d, &error);
  ASSERT_TRUE(psd);
  EXPECT_EQ(error.domain, "8BIM");
  EXPECT_EQ(psd->allLayers[0]->layerName, "Bottom");
  ASSERT_TRUE(psd->allLayers[0]->image);
  EXPECT_EQ(psd->allLayers[0]->image->pixels[2], 30);
  EXPECT_EQ(psd->allLayers[1]->layerName, "Top");

  // A block stating more than its record holds is contained as well.
  Document longer = twoLayers();
  psdtest::Block huge = psdtest::lyidBlock(5);
  huge.key = "abcd";
  huge.statedLength = 100000;
  longer.layers[0].blocks.push_back(huge);
  psd = read(longer);
  ASSERT_TRUE(psd);
  EXPECT_EQ(psd->allLayers[1]->layerName, "Top");
  EXPECT_EQ(psd->allLayers[1]->image->pixels[0], 200);
}

TEST(ReaderDocument, BadBlendSignatureLeavesNoLayers) {
  Document d = twoLayers();
  d.layers[1].blendSignature = "XXXX";
  KDPSDError error;
  EXPECT_FALSE(read(d, &error));
  EXPECT_EQ(error.domain, "8BIM");
}

TEST(ReaderDocument, TextBlocks) {
  Bytes items;
  psdtest::putCodeKey(items, "Txt ");
  psdtest::putKey(items, "TEXT");
  psdtest::putUnicode(items, u"Hello", true);
  const Bytes text = psdtest::descriptor("TxLr", 1, items);

  struct Case {
    std::uint16_t version;
    std::uint16_t textVersion;
    bool isText;
  };
  for (const Case c : {Case{1, 50, true}, Case{2, 50, false}, Case{1, 49, false}}) {
    Document d = twoLayers();
    d.layers[1].blocks.push_back(psdtest::tyshBlock(c.version, text, c.textVersion));
    d.layers[1].blocks.push_back(psdtest::lyidBlock(9));
    auto psd = read(d);
    ASSERT_TRUE(psd) << c.version;
    const KDPSDLayer& layer = *psd->allLayers[1];
    EXPECT_EQ(layer.isText, c.isText);
    EXPECT_TRUE(layer.image);
    if (c.isText) {
      ASSERT_TRUE(layer.textDescriptor);
      ASSERT_TRUE(layer.textDescriptor->layerText());
      EXPECT_EQ(*layer.textDescriptor->layerText(), "Hello");
      EXPECT_EQ(layer.layerId, 9u);
    }
    EXPECT_EQ(psd->allLayers[0]->image->pixels[0], 10);
  }
}

TEST(ReaderDocument, CompositeRunLengthAndExtraChannels) {
  Document d = twoLayers();
  d.channels = 5;
  Bytes composite;
  psdtest::put16(composite, 1);
  std::vector<Bytes> rows;
  for (int c = 0; c < 5; ++c) {
    for (int y = 0; y < 8; ++y) {
      Bytes row;
      const Bytes plain(8, std::uint8_t(10 * (c + 1)));
      velumar::packBitsRow(plain.data(), plain.size(), row);
      psdtest::put16(composite, std::uint32_t(row.size()));
      rows.push_back(row);
    }
  }
  for (const Bytes& row : rows) composite.insert(composite.end(), row.begin(), row.end());
  d.compositeData = composite;
  auto psd = read(d);
  ASSERT_TRUE(psd);
  const auto& pixels = psd->compositeLayer->image->pixels;
  EXPECT_EQ((std::vector<int>{pixels[0], pixels[1], pixels[2], pixels[3]}),
            (std::vector<int>{10, 20, 30, 40}));
}

TEST(ReaderDocument, AbsurdLayerSizesAreRefused) {
  Document d = twoLayers();
  // A 30000 x 30000 layer whose channels hold no pixels: far beyond the budget.
  Layer huge;
  huge.right = 30000;
  huge.bottom = 30000;
  huge.name = "Huge";
  for (std::int16_t id : {-1, 0, 1, 2}) huge.channels.push_back(psdtest::rawChannel(id, {}));
  d.layers.push_back(huge);
  Layer wide = huge;
  wide.right = 2000000000;
  wide.left = -2000000000;
  wide.name = "Wide";
  d.layers.push_back(wide);
  auto psd = read(d);
  ASSERT_TRUE(psd);
  EXPECT_FALSE(psd->allLayers[2]->image);
  EXPECT_FALSE(psd->allLayers[3]->image);
  EXPECT_EQ(psd->allLayers[3]->width, 0);
  EXPECT_TRUE(psd->allLayers[1]->image);
}

TEST(ReaderDocument, CompositeZipWithAndWithoutPrediction) {
  for (bool prediction : {false, true}) {
    Document d = twoLayers();
    d.channels = 3;
    Bytes planes;
    for (int c = 0; c < 3; ++c) {
      for (int i = 0; i < 64; ++i) planes.push_back(std::uint8_t(c * 50 + i));
    }
    // One zlib stream over all planes; prediction runs along each 8-pixel row.
    const psdtest::Channel packed = psdtest::zipChannel(0, planes, 8, 24, prediction);
    d.compositeData = packed.bytes;
    auto psd = read(d);
    ASSERT_TRUE(psd) << prediction;
    const auto& pixels = psd->compositeLayer->image->pixels;
    EXPECT_EQ((std::vector<int>{pixels[4 * 9], pixels[4 * 9 + 1], pixels[4 * 9 + 2], pixels[4 * 9 + 3]}),
              (std::vector<int>{9, 59, 109, 255}))
        << prediction;
  }
}

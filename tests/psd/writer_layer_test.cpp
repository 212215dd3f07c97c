// Layer records, regions and channel data of the layered PSD writer.

#include <gtest/gtest.h>

#include "psd/rw_psd_group_layer.h"
#include "psd/rw_psd_layer.h"
#include "psd/writer_file_parser.h"
#include "psd/writer_test_images.h"

namespace velumar {
namespace {

using writertest::Bytes;
using writertest::RGBA;

std::shared_ptr<RWPSDLayer> layerWith(raster::ImageRef image, raster::Point offset, raster::Size document,
                                      std::int64_t channels = 4) {
  auto layer = std::make_shared<RWPSDLayer>();
  layer->setDocumentSize(document);
  layer->setImage(std::move(image));
  layer->setOffset(offset);
  layer->setName("L");
  layer->setNumberOfChannels(channels);
  return layer;
}

// Channel c of the layer decoded to document rows.
std::vector<Bytes> decodedRows(RWPSDLayer& layer, std::size_t channel, std::size_t width,
                               std::size_t height) {
  auto channels = layer.layerChannels();
  EXPECT_TRUE(channels.has_value());
  if (!channels) return {};
  const Bytes& item = (*channels)[channel];
  EXPECT_EQ(item[0], 0);
  EXPECT_EQ(item[1], 1);  // PackBits
  std::vector<Bytes> rows;
  std::size_t at = 2 + 2 * height;
  for (std::size_t r = 0; r < height; ++r) {
    const std::size_t count = std::size_t(item[2 + 2 * r] << 8 | item[3 + 2 * r]);
    auto row = writertest::unpackBits(item.data() + at, count, width);
    EXPECT_TRUE(row.has_value()) << "row " << r;
    rows.push_back(row.value_or(Bytes{}));
    at += count;
  }
  EXPECT_EQ(at, item.size());
  return rows;
}

TEST(WriterLayerRegions, CropAndPlaceTheVisiblePart) {
  struct Case {
    const char* what;
    int imageWidth, imageHeight;
    raster::Point offset;
    raster::Rect crop, placed;
    bool valid;
  } cases[] = {
      {"fills the document", 10, 10, {0, 0}, {0, 0, 10, 10}, {0, 0, 10, 10}, true},
      {"overhangs both sides", 20, 5, {-3, 2}, {3, 0, 10, 5}, {0, 2, 10, 5}, true},
      {"inside with margins", 3, 10, {4, 0}, {0, 0, 3, 10}, {4, 0, 3, 10}, true},
      {"right of the document", 4, 4, {10, 0}, {0, 0, 0, 4}, {10, 0, 0, 4}, false},
      {"above the document", 4, 4, {0, -4}, {0, 4, 4, 0}, {0, 0, 4, 0}, false},
  };
  for (const Case& c : cases) {
    auto layer = layerWith(writertest::solidImage(c.imageWidth, c.imageHeight, {}), c.offset, {10, 10});
    EXPECT_EQ(layer->imageCropRegion(), c.crop) << c.what;
    EXPECT_EQ(layer->imageInDocumentRegion(), c.placed) << c.what;
    EXPECT_EQ(layer->hasValidSize(), c.valid) << c.what;
  }
  RWPSDLayer empty;
  empty.setDocumentSize({10, 10});
  EXPECT_FALSE(empty.hasValidSize());
}

TEST(WriterLayerChannels, PlaceTheImageInsideDocumentSizedRows) {
  // 20 x 5 image at (-3, 2) in a 10 x 10 document: columns 3..12 of the image.
  auto image = writertest::makeImage(20, 5, [](int x, int y) {
    return RGBA{std::uint8_t(x), std::uint8_t(y), 7, 255};
  });
  auto layer = layerWith(image, {-3, 2}, {10, 10});
  const std::vector<Bytes> red = decodedRows(*layer, 0, 10, 10);
  const std::vector<Bytes> green = decodedRows(*layer, 1, 10, 10);
  const std::vector<Bytes> alpha = decodedRows(*layer, 3, 10, 10);
  ASSERT_EQ(red.size(), 10u);
  for (int r = 0; r < 10; ++r) {
    const bool inside = r >= 2 && r < 7;
    for (int x = 0; x < 10; ++x) {
      EXPECT_EQ(red[r][x], inside ? x + 3 : 0) << r << "," << x;
      EXPECT_EQ(green[r][x], inside ? r - 2 : 0) << r << "," << x;
      EXPECT_EQ(alpha[r][x], inside ? 255 : 0) << r << "," << x;
    }
  }
}

TEST(WriterLayerChannels, MarginsAreEncodedOnceAroundTheImage) {
  // 3 wide at (4, 0) in a 10-wide document: 4 margin samples, 3 image
  // samples, 3 margin samples in every row.
  auto layer = layerWith(writertest::solidImage(3, 2, {9, 8, 7, 255}), {4, 0}, {10, 2});
  auto channels = layer->layerChannels();
  ASSERT_TRUE(channels);
  ASSERT_EQ(channels->size(), 4u);
  const Bytes expectedRow{0xFD, 0x00, 0xFE, 0x09, 0xFE, 0x00};
  Bytes expected{0x00, 0x01, 0x00, 0x06, 0x00, 0x06};
  expected.insert(expected.end(), expectedRow.begin(), expectedRow.end());
  expected.insert(expected.end(), expectedRow.begin(), expectedRow.end());
  EXPECT_EQ((*channels)[0], expected);
}

TEST(WriterLayerChannels, FillIsWhiteWithoutTransparencyAndClearWithIt) {
  for (std::int64_t channelCount : {3, 4}) {
    auto layer = layerWith(writertest::solidImage(2, 2, {10, 20, 30, 255}), {1, 1}, {4, 4}, channelCount);
    auto channels = layer->layerChannels();
    ASSERT_TRUE(channels);
    ASSERT_EQ(channels->size(), std::size_t(channelCount));
    const std::uint8_t fill = channelCount == 3 ? 255 : 0;
    for (std::size_t c = 0; c < std::size_t(channelCount); ++c) {
      const std::vector<Bytes> rows = decodedRows(*layer, c, 4, 4);
      EXPECT_EQ(rows[0], Bytes(4, fill)) << channelCount;
      EXPECT_EQ(rows[1][0], fill);
      EXPECT_EQ(rows[1][3], fill);
    }
  }
}

TEST(WriterLayerChannels, KeepStraightColourOfSemiTransparentPixels) {
  const RGBA pixels[] = {{200, 100, 50, 128}, {255, 1, 254, 1}, {13, 200, 77, 254}};
  auto image = writertest::makeImage(3, 1, [&](int x, int) { return pixels[x]; });
  auto layer = layerWith(image, {0, 0}, {3, 1});
  for (std::size_t c = 0; c < 4; ++c) {
    const std::vector<Bytes> rows = decodedRows(*layer, c, 3, 1);
    for (int x = 0; x < 3; ++x) {
      const std::uint8_t expected[] = {pixels[x].r, pixels[x].g, pixels[x].b, pixels[x].a};
      EXPECT_EQ(rows[0][x], expected[c]) << "pixel " << x << " channel " << c;
    }
  }
}

TEST(WriterLayerChannels, UnpremultiplyPremultipliedImages) {
  std::vector<std::uint8_t> bytes{100, 50, 25, 128};
  auto image = raster::Image::make(1, 1, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(), bytes);
  auto layer = layerWith(image, {0, 0}, {1, 1});
  const std::vector<Bytes> red = decodedRows(*layer, 0, 1, 1);
  EXPECT_NEAR(red[0][0], 199, 1);
  EXPECT_EQ(decodedRows(*layer, 3, 1, 1)[0][0], 128);
}

TEST(WriterLayerChannels, FlipAndDivideWhenAsked) {
  auto image = writertest::makeImage(1, 2, [](int, int y) {
    return y == 0 ? RGBA{50, 0, 0, 128} : RGBA{0, 0, 0, 0};
  });
  auto layer = layerWith(image, {0, 0}, {1, 2});
  layer->setShouldFlipLayerData(true);
  layer->setShouldUnpremultiplyLayerData(true);
  layer->prepareVisibleImageData();
  const std::vector<Bytes> red = decodedRows(*layer, 0, 1, 2);
  EXPECT_EQ(red[0][0], 255);  // the clear pixel, now on top, turns white
  EXPECT_EQ(red[1][0], 99);   // 50 / (128 / 255), truncated
}

TEST(WriterLayerChannels, FollowImageAndDocumentChanges) {
  auto layer = layerWith(writertest::solidImage(1, 1, {1, 2, 3, 255}), {0, 0}, {1, 1});
  EXPECT_EQ(decodedRows(*layer, 0, 1, 1)[0][0], 1);
  layer->setImage(writertest::solidImage(1, 1, {9, 2, 3, 255}));
  EXPECT_EQ(decodedRows(*layer, 0, 1, 1)[0][0], 9);
  layer->setDocumentSize({2, 1});
  EXPECT_EQ(decodedRows(*layer, 0, 2, 1)[0], (Bytes{9, 0}));
}

Bytes legacyNameField(const std::string& name) {
  RWPSDLayer layer;
  layer.setName(name);
  Bytes out;
  layer.writeNameOn(out, 4);
  return out;
}

TEST(WriterLayerNames, LegacyNamesArePaddedToFourBytes) {
  EXPECT_EQ(legacyNameField("abc"), (Bytes{0x03, 0x61, 0x62, 0x63}));
  EXPECT_EQ(legacyNameField("ab"), (Bytes{0x02, 0x61, 0x62, 0x20}));
  EXPECT_EQ(legacyNameField("abcd"), (Bytes{0x04, 0x61, 0x62, 0x63, 0x64, 0x20, 0x00, 0x00}));
  EXPECT_EQ(legacyNameField(""), (Bytes{0x00, 0x20, 0x00, 0x00}));
}

TEST(WriterLayerNames, LongNonASCIINamesAreCutAtACharacterBoundary) {
  std::string name;
  for (int i = 0; i < 200; ++i) name += "\xC3\xA9";  // 'é', 400 bytes in all
  const Bytes field = legacyNameField(name);
  ASSERT_EQ(field[0], 254);  // 127 whole characters
  EXPECT_EQ(field.size(), 256u);
  EXPECT_EQ(std::string(field.begin() + 1, field.begin() + 255), name.substr(0, 254));
  EXPECT_EQ(field[255], 0x20);

  RWPSDLayer layer;
  layer.setName(name);
  Bytes luni;
  layer.writeUnicodeNameOn(luni);
  ASSERT_EQ(luni.size(), 16u + 400u);
  EXPECT_EQ(Bytes(luni.begin(), luni.begin() + 16),
            (Bytes{'8', 'B', 'I', 'M', 'l', 'u', 'n', 'i', 0, 0, 0x01, 0x94, 0, 0, 0, 200}));
  EXPECT_EQ(luni[16], 0x00);
  EXPECT_EQ(luni[17], 0xE9);
}

TEST(WriterLayerRecord, DescribesTheWholeDocument) {
  auto layer = layerWith(writertest::solidImage(2, 2, {}), {1, 1}, {5, 3});
  layer->setName("ab");
  layer->setOpacity(0.5f);
  layer->setBlendMode("mul");
  auto channels = layer->layerChannels();
  ASSERT_TRUE(channels);
  Bytes record;
  layer->writeLayerInformationOn(record, *channels);
  const Bytes head{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 5, 0, 4};
  ASSERT_GT(record.size(), head.size() + 24 + 12);
  EXPECT_EQ(Bytes(record.begin(), record.begin() + 18), head);
  EXPECT_EQ(record[18 + 18], 0xFF);  // fourth entry: id -1
  EXPECT_EQ(record[18 + 19], 0xFF);
  const std::size_t signature = 18 + 24;
  EXPECT_EQ(std::string(record.begin() + signature, record.begin() + signature + 8), "8BIMmul ");
  EXPECT_EQ(record[signature + 8], 128);  // ceiling(0.5 x 255)
  EXPECT_NE(layer->description().find("Layer named 'ab' (opacity: 0.500000)"), std::string::npos);
}

TEST(WriterGroupRecords, FolderCarriesTheGroupAndDividerTheMarker) {
  auto opening = std::make_shared<RWPSDGroupOpeningLayer>("Group", 0.5f, true);
  opening->setBlendMode("scrn");
  RWPSDGroupClosingLayer closing;
  closing.setGroupOpeningLayer(opening);
  auto channels = closing.layerChannels();
  ASSERT_TRUE(channels);
  ASSERT_EQ(channels->size(), 4u);
  for (const Bytes& channel : *channels) EXPECT_EQ(channel, (Bytes{0, 0}));

  Bytes folder;
  closing.writeLayerInformationOn(folder, *channels);
  EXPECT_EQ(Bytes(folder.begin(), folder.begin() + 16), Bytes(16, 0));  // zero bounds
  const std::size_t signature = 16 + 2 + 24;
  EXPECT_EQ(std::string(folder.begin() + signature, folder.begin() + signature + 8), "8BIMscrn");
  EXPECT_EQ(folder[signature + 8], 128);
  const Bytes folderExtra = closing.extraLayerInformation();
  // mask 4, ranges 4, name "Group" in 8 bytes, then the 'lsct' block.
  EXPECT_EQ(Bytes(folderExtra.begin() + 16, folderExtra.begin() + 40),
            (Bytes{'8', 'B', 'I', 'M', 'l', 's', 'c', 't', 0,   0,   0,   12,
                   0,   0,   0,   1,   '8', 'B', 'I', 'M', 's', 'c', 'r', 'n'}));

  const Bytes dividerExtra = opening->extraLayerInformation();
  EXPECT_EQ(opening->name(), "Group");
  ASSERT_EQ(dividerExtra.size(), 8u + 16u + 16u + 44u);
  EXPECT_EQ(dividerExtra[8], 14);
  EXPECT_EQ(std::string(dividerExtra.begin() + 9, dividerExtra.begin() + 23), "</Layer group>");
  EXPECT_EQ(Bytes(dividerExtra.begin() + 24, dividerExtra.begin() + 40),
            (Bytes{'8', 'B', 'I', 'M', 'l', 's', 'c', 't', 0, 0, 0, 4, 0, 0, 0, 3}));
}

}  // namespace
}  // namespace velumar

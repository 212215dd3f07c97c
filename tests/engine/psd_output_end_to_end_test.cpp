// PSD outputs through the real driver and dispatcher: a JPEG as one layer,
// a layered PSD rebuilt (also resized), several inputs stacked as the
// layers of one file, and layer records that never reach the next file.
// The files are read back with our reader and with psd-tools.

#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "driver_test_files.h"
#include "engine/imported_image.h"
#include "engine_test_images.h"
#include "platform/imageio/image_source.h"
#include "psd/kd_psd.h"
#include "psd/psd_loader.h"
#include "support/test_support.h"

namespace velumar {
namespace {

struct Bounds {
  std::int32_t left, top, width, height;
  bool operator==(const Bounds&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Bounds& b) {
  return out << b.left << "," << b.top << " " << b.width << "x" << b.height;
}

// Where a layer's pixels are in the document: the bounding box of its
// samples with alpha above 0. Our writer stores every layer at the
// document's size; other programs store a layer's own rectangle.
Bounds contentBounds(const KDPSDLayer& layer) {
  if (!layer.image) return {0, 0, 0, 0};
  const KDPSDBitmap& bitmap = *layer.image;
  std::int32_t left = bitmap.width, top = bitmap.height, right = -1, bottom = -1;
  for (std::int32_t y = 0; y < bitmap.height; ++y) {
    for (std::int32_t x = 0; x < bitmap.width; ++x) {
      if (bitmap.row(y)[std::size_t(x) * 4 + 3] == 0) continue;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return {0, 0, 0, 0};
  return {layer.left + left, layer.top + top, right - left + 1, bottom - top + 1};
}

// The leaf layers of a document by name, with where their pixels are.
void collectLeaves(const std::vector<std::shared_ptr<KDPSDLayer>>& layers,
                   std::map<std::string, Bounds>& out) {
  for (const auto& layer : layers) {
    if (layer->isGroup) {
      collectLeaves(layer->layers, out);
    } else {
      out[layer->layerName.value_or("")] = contentBounds(*layer);
    }
  }
}

std::map<std::string, Bounds> leavesOf(const std::string& path) {
  std::map<std::string, Bounds> leaves;
  auto document = KDPSD::imageWithContetsOfURL(path);
  if (document && document->baseLayerGroup) collectLeaves(document->baseLayerGroup->layers, leaves);
  return leaves;
}

// psd-tools' view of a file: "WxH" then one line per layer in its
// depth-first order: kind|name|left,top|WxH|opacity, the rectangle being
// that of the layer's pixels for pixel layers. "" when it cannot run.
std::string psdToolsListing(const std::string& path) {
  static const char* script =
      "import sys\n"
      "from psd_tools import PSDImage\n"
      "p = PSDImage.open(sys.argv[1])\n"
      "print('%dx%d' % (p.width, p.height))\n"
      "for l in p.descendants():\n"
      "    x, y, w, h = l.left, l.top, l.width, l.height\n"
      "    if l.kind == 'pixel':\n"
      "        b = l.topil().getbbox()\n"
      "        x, y, w, h = l.left + b[0], l.top + b[1], b[2] - b[0], b[3] - b[1]\n"
      "    print('%s|%s|%d,%d|%dx%d|%d' % (l.kind, l.name, x, y, w, h, l.opacity))\n"
      "c = p.composite()\n"
      "print('composite %dx%d' % c.size)\n";
  auto result = testsupport::runCommand({"/usr/bin/python3", "-c", script, path});
  if (result.exitCode != 0) return "";
  return result.output;
}

bool hasPsdTools() {
  return testsupport::runCommand({"/usr/bin/python3", "-c", "import psd_tools"}).exitCode == 0;
}

class PSDOutputEndToEnd : public ::testing::Test {
 protected:
  std::shared_ptr<raster::ImageSet> convert(const std::string& path, ImageModifyInfo info) {
    fileType = -1;
    return engine.resizePixelSizeForURL(path, info, &fileType, nullptr);
  }
  bool save(const raster::ImageSet& image, std::int64_t code, const std::string& path,
            std::int64_t sourceType) {
    return engine.saveImage(image, code, path, sourceType, 1.0, 0, false, false, false, false);
  }
  static ImageModifyInfo output(std::int64_t code) {
    ImageModifyInfo info;
    info.conversionType = code;
    return info;
  }

  ImportedImage engine;
  std::int64_t fileType = -1;
  testsupport::TempDir dir;
};

TEST_F(PSDOutputEndToEnd, AJPEGBecomesOneLayerFile) {
  const std::string jpeg =
      drivertest::writeImages(dir, "photo.jpg", "public.jpeg", {drivertest::quadrantImage(64, 48)});
  ASSERT_FALSE(jpeg.empty());
  auto image = convert(jpeg, output(ConversionType::PSD));
  ASSERT_TRUE(image);
  const std::string path = dir.file("photo.psd");
  ASSERT_TRUE(save(*image, ConversionType::PSD, path, fileType));
  auto source = imageio::ImageSource::open(path);
  ASSERT_TRUE(source);
  auto decoded = source->createImage(0);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width(), 64);
  EXPECT_EQ(decoded->height(), 48);
  EXPECT_EQ(testimages::cornerColours(decoded, 2), "RGBW");
  EXPECT_EQ(engine.urlsArray, std::vector<std::string>{path});
  if (!hasPsdTools()) GTEST_SKIP() << "psd-tools missing";
  const std::string listing = psdToolsListing(path);
  EXPECT_EQ(listing.rfind("64x48\n", 0), 0u) << listing;
  EXPECT_NE(listing.find("composite 64x48"), std::string::npos) << listing;
}

TEST_F(PSDOutputEndToEnd, ALayeredPSDIsRebuiltWithItsGroups) {
  const std::string source = (testsupport::testDataDir() / "psd" / "gimp_groups.psd").string();
  auto image = convert(source, output(ConversionType::PSD));
  ASSERT_TRUE(image);
  ASSERT_EQ(fileType, FileType::PSD);
  const std::string path = dir.file("rebuilt.psd");
  ASSERT_TRUE(save(*image, ConversionType::PSD, path, fileType));
  EXPECT_TRUE(engine.psdInfoArray.empty());

  auto written = KDPSD::imageWithContetsOfURL(path);
  ASSERT_TRUE(written && written->baseLayerGroup);
  EXPECT_EQ(written->width, 24u);  // the canvas, not the largest layer
  EXPECT_EQ(written->height, 16u);
  EXPECT_EQ(leavesOf(path), leavesOf(source));
  bool foundGroup = false;
  for (const auto& layer : written->baseLayerGroup->layers) {
    if (!layer->isGroup) continue;
    foundGroup = true;
    EXPECT_EQ(layer->layerName.value_or(""), "Group one");
    EXPECT_EQ(layer->layers.size(), 2u);
  }
  EXPECT_TRUE(foundGroup);

  if (!hasPsdTools()) GTEST_SKIP() << "psd-tools missing";
  const std::string listing = psdToolsListing(path);
  EXPECT_EQ(listing.rfind("24x16\n", 0), 0u) << listing;
  EXPECT_NE(listing.find("group|Group one|"), std::string::npos) << listing;
  EXPECT_NE(listing.find("|Inner A|3,2|8x6|"), std::string::npos) << listing;
  EXPECT_NE(listing.find("composite 24x16"), std::string::npos) << listing;
}

struct ResizeCase {
  const char* name;
  const char* fixture;  // in tests/data/psd
  std::int64_t unit;    // 0 factor, 1 pixels
  double factor;        // for unit 0
  raster::Size fixed;   // for unit 1
  std::int64_t scaleType;
  double canvasFactor;  // what the canvas, and so every layer, is scaled by
};

void PrintTo(const ResizeCase& c, std::ostream* out) {
  *out << c.name;
}

class PSDOutputResize : public PSDOutputEndToEnd, public ::testing::WithParamInterface<ResizeCase> {};

TEST_P(PSDOutputResize, EveryLayerFollowsTheCanvas) {
  const ResizeCase& c = GetParam();
  const std::string source = (testsupport::testDataDir() / "psd" / c.fixture).string();
  ImageModifyInfo info = output(ConversionType::PSD);
  info.doImageResize = true;
  info.resizeConversionType = c.unit;
  info.rFactorW = info.rFactorH = c.factor;
  info.fixedSizeW = c.fixed.width;
  info.fixedSizeH = c.fixed.height;
  info.resizeScaleType = c.scaleType;
  auto image = convert(source, info);
  ASSERT_TRUE(image);
  const std::string path = dir.file("resized.psd");
  ASSERT_TRUE(save(*image, ConversionType::PSD, path, fileType));

  auto original = KDPSD::imageWithContetsOfURL(source);
  auto written = KDPSD::imageWithContetsOfURL(path);
  ASSERT_TRUE(original && written);
  auto scaled = [&](std::int32_t v) { return std::int32_t(std::round(v * c.canvasFactor)); };
  EXPECT_EQ(std::int32_t(written->width), scaled(std::int32_t(original->width)));
  EXPECT_EQ(std::int32_t(written->height), scaled(std::int32_t(original->height)));
  const auto before = leavesOf(source), after = leavesOf(path);
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [name, b] : before) {
    ASSERT_TRUE(after.count(name)) << name;
    const Bounds expected{scaled(b.left), scaled(b.top), std::max(1, scaled(b.width)),
                          std::max(1, scaled(b.height))};
    EXPECT_EQ(after.at(name), expected) << "layer " << name;
  }
}

// gimp_groups.psd is 24 x 16 with a group, layers_rle.psd 16 x 12; both
// have layers smaller than the canvas, offset inside it.
INSTANTIATE_TEST_SUITE_P(
    Sizes, PSDOutputResize,
    ::testing::Values(ResizeCase{"half_groups", "gimp_groups.psd", 0, 0.5, {0, 0}, 0, 0.5},
                      ResizeCase{"half", "layers_rle.psd", 0, 0.5, {0, 0}, 0, 0.5},
                      ResizeCase{"double", "layers_rle.psd", 0, 2.0, {0, 0}, 1, 2.0},
                      ResizeCase{"fit_inside_pixels", "gimp_groups.psd", 1, 1, {12, 100}, 4, 0.5},
                      ResizeCase{"fit_width_pixels", "layers_rle.psd", 1, 1, {8, 0}, 2, 0.5},
                      ResizeCase{"fixed_pixels", "gimp_groups.psd", 1, 1, {48, 32}, 0, 2.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PSDOutputEndToEnd, SeveralInputsBecomeTheLayersOfOneFile) {
  // The batch converts each file, drops a layered source's composite and
  // hands the collected representations to the dispatcher as one image.
  const std::string png =
      drivertest::writeImages(dir, "a.png", "public.png", {drivertest::quadrantImage(30, 20)});
  const std::string jpeg =
      drivertest::writeImages(dir, "b.jpg", "public.jpeg", {drivertest::quadrantImage(20, 40)});
  const std::string layered = (testsupport::testDataDir() / "psd" / "layers_rle.psd").string();
  ASSERT_FALSE(png.empty() || jpeg.empty());
  raster::ImageSet collected;
  for (const std::string& input : {png, layered, jpeg}) {
    auto image = convert(input, output(ConversionType::PSDLayered));
    ASSERT_TRUE(image) << input;
    auto reps = image->representations();
    if (!engine.psdInfoArray.empty() && engine.psdInfoArray.back().get("Has Flattened Image"))
      reps.pop_back();
    for (const auto& rep : reps) collected.addRepresentation(rep);
  }
  ASSERT_EQ(collected.representations().size(), 5u);  // 1 + 3 layers + 1
  const std::string path = dir.file("Layers.psd");
  ASSERT_TRUE(save(collected, ConversionType::PSDLayered, path, FileType::PSD));

  auto written = KDPSD::imageWithContetsOfURL(path);
  ASSERT_TRUE(written && written->baseLayerGroup);
  EXPECT_EQ(written->width, 30u);
  EXPECT_EQ(written->height, 40u);
  const auto& layers = written->baseLayerGroup->layers;  // top-most first
  ASSERT_EQ(layers.size(), 5u);
  for (std::size_t i = 0; i < layers.size(); ++i)
    EXPECT_EQ(layers[i]->layerName.value_or(""), "Layer " + std::to_string(4 - i));
  EXPECT_EQ(contentBounds(*layers[0]), (Bounds{0, 0, 30, 20}));  // the first file on top
  EXPECT_EQ(contentBounds(*layers[4]), (Bounds{0, 0, 20, 40}));  // the last at the bottom
  auto loaded = loadLayeredPSD(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->representations.size(), 5u);

  if (!hasPsdTools()) GTEST_SKIP() << "psd-tools missing";
  const std::string listing = psdToolsListing(path);
  EXPECT_EQ(listing.rfind("30x40\n", 0), 0u) << listing;
  EXPECT_NE(listing.find("pixel|Layer 4|0,0|30x20|255"), std::string::npos) << listing;
  EXPECT_NE(listing.find("pixel|Layer 0|0,0|20x40|255"), std::string::npos) << listing;
}

TEST_F(PSDOutputEndToEnd, ALayeredSourceLeavesNothingForTheNextFile) {
  // A layered PSD converted (its file never written), then a two-page TIFF:
  // the TIFF's pages are written as plain layers, none of them taken for
  // a composite or named after the PSD's layers.
  const std::string layered = (testsupport::testDataDir() / "psd" / "layers_rle.psd").string();
  ASSERT_TRUE(convert(layered, output(ConversionType::PSDLayered)));
  ASSERT_FALSE(engine.psdInfoArray.empty());
  const std::string tiff = drivertest::writeImages(
      dir, "pages.tiff", "public.tiff", {drivertest::quadrantImage(12, 10), drivertest::quadrantImage(6, 4)});
  ASSERT_FALSE(tiff.empty());
  auto image = convert(tiff, output(ConversionType::PSDLayered));
  ASSERT_TRUE(image);
  ASSERT_EQ(image->representations().size(), 2u);
  EXPECT_TRUE(engine.psdInfoArray.empty());
  const std::string path = dir.file("pages.psd");
  ASSERT_TRUE(save(*image, ConversionType::PSDLayered, path, fileType));
  auto written = KDPSD::imageWithContetsOfURL(path);
  ASSERT_TRUE(written && written->baseLayerGroup);
  EXPECT_EQ(written->width, 12u);
  const auto& layers = written->baseLayerGroup->layers;
  ASSERT_EQ(layers.size(), 2u);
  EXPECT_EQ(layers[0]->layerName.value_or(""), "Layer 1");
  EXPECT_EQ(layers[1]->layerName.value_or(""), "Layer 0");
}

TEST_F(PSDOutputEndToEnd, ALayeredSourceLastInABatchDoesNotNameTheCollection) {
  // JPEG first, then a layered PSD of three layers: the collection has as
  // many representations as the PSD's records, but they are not its layers.
  const std::string jpeg =
      drivertest::writeImages(dir, "b.jpg", "public.jpeg", {drivertest::quadrantImage(20, 20)});
  ASSERT_FALSE(jpeg.empty());
  raster::ImageSet collected;
  for (const std::string& input : {jpeg, (testsupport::testDataDir() / "psd" / "layers_rle.psd").string()}) {
    auto image = convert(input, output(ConversionType::PSDLayered));
    ASSERT_TRUE(image);
    auto reps = image->representations();
    if (!engine.psdInfoArray.empty() && engine.psdInfoArray.back().get("Has Flattened Image"))
      reps.pop_back();
    for (const auto& rep : reps) collected.addRepresentation(rep);
  }
  ASSERT_EQ(collected.representations().size(), engine.psdInfoArray.size());
  const std::string path = dir.file("batch.psd");
  ASSERT_TRUE(save(collected, ConversionType::PSDLayered, path, FileType::PSD));
  auto written = KDPSD::imageWithContetsOfURL(path);
  ASSERT_TRUE(written && written->baseLayerGroup);
  const auto& layers = written->baseLayerGroup->layers;
  ASSERT_EQ(layers.size(), 4u);
  for (std::size_t i = 0; i < layers.size(); ++i)
    EXPECT_EQ(layers[i]->layerName.value_or(""), "Layer " + std::to_string(3 - i));
}

}  // namespace
}  // namespace velumar

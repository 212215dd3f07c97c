// The engine's layered PSD output: documents, profiles, layers and groups
// rebuilt from a layered source, and whole files read back.

#include <gtest/gtest.h>

#include "engine/imported_image.h"
#include "engine/profile.h"
#include "platform/foundation/files.h"
#include "platform/imageio/image_source.h"
#include "psd/kd_psd.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/psd_loader.h"
#include "psd/rw_psd_writer.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using foundation::Dictionary;
using foundation::Value;

BitmapRepRef solidRep(std::int64_t width, std::int64_t height, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                      raster::ColorSpaceRef space = raster::ColorSpace::sRGB()) {
  std::vector<std::uint8_t> pixels(std::size_t(width * height) * 4);
  for (std::size_t i = 0; i < pixels.size(); i += 4)
    pixels[i] = r, pixels[i + 1] = g, pixels[i + 2] = b, pixels[i + 3] = 255;
  return raster::BitmapImageRep::withImage(
      raster::Image::make(width, height, raster::PixelFormat::rgba8(), std::move(space), std::move(pixels)));
}

std::unique_ptr<KDPSD> readBack(RWPSDWriter& writer) {
  auto bytes = writer.createPSDData();
  EXPECT_FALSE(bytes.empty());
  return KDPSD::imageWithData(std::move(bytes));
}

std::string nameOf(const std::shared_ptr<KDPSDLayer>& layer) {
  return layer->layerName.value_or("<none>");
}

TEST(PSDOutput, BlendCodesBecomeKeys) {
  for (std::string_view key : kRWPSDBlendModeKeys) {
    std::uint32_t code = 0;
    for (char c : key) code = code << 8 | std::uint8_t(c);
    EXPECT_EQ(ImportedImage::stringForBlendMode(code), key);
  }
  EXPECT_EQ(ImportedImage::stringForBlendMode(1852797549), "norm");
  EXPECT_EQ(ImportedImage::stringForBlendMode(1885434739), "pass");
  EXPECT_EQ(ImportedImage::stringForBlendMode(0), "norm");
  EXPECT_EQ(ImportedImage::stringForBlendMode(fourCharCode("abcd")), "norm");
}

TEST(PSDOutput, DocumentOfOneBitmapTakesItsDpi) {
  ImportedImage engine;
  for (auto [pixels, points, dpi] :
       {std::tuple{3000, 1000.0, 216.0f}, {2000, 1000.0, 144.0f}, {50, 50.0, 72.0f}}) {
    auto rep = solidRep(pixels, 1, 0, 0, 0);
    rep->setSize({points, 1});
    auto writer = engine.createPSDWriterForBmpRep(rep);
    ASSERT_TRUE(writer);
    EXPECT_EQ(writer->documentSize(), (raster::Size{double(pixels), 1}));
    EXPECT_EQ(writer->documentResolution().hResolution, dpi);
    EXPECT_EQ(writer->documentResolutionUnit(), 1);
    EXPECT_TRUE(writer->hasTransparentLayers());
  }
}

TEST(PSDOutput, ProfileFollowsTheBitmapsColourSpace) {
  ImportedImage engine;
  struct Case {
    raster::ColorSpaceRef space;
    int choice;
  } cases[] = {{raster::ColorSpace::named(color::NamedProfile::AdobeRGB1998), 3},
               {raster::ColorSpace::sRGB(), 2},
               {raster::ColorSpace::genericRGB(), 1}};
  for (const Case& c : cases) {
    auto rep = solidRep(2, 2, 1, 2, 3, c.space);
    auto writer = engine.createPSDWriterForBmpRep(rep);
    EXPECT_EQ(writer->colorProfile(), c.choice) << c.space->name();
    EXPECT_EQ(writer->genericProfile(), nullptr);
  }
  // An installed RGB profile of the same name becomes the generic profile.
  auto generic = Profile::profileWithGenericRGB();
  ASSERT_TRUE(generic);
  engine.profilesRGB = {generic};
  auto writer = engine.createPSDWriterForBmpRep(solidRep(2, 2, 1, 2, 3, raster::ColorSpace::genericRGB()));
  EXPECT_EQ(writer->colorProfile(), 4);
  EXPECT_EQ(writer->genericProfile(), generic->ref());
  // An installed profile chosen in the menu is used when it is an RGB one.
  engine.filteredColorSpace = 8;
  engine.profiles = {generic};
  writer = engine.createPSDWriterForBmpRep(solidRep(2, 2, 1, 2, 3));
  EXPECT_EQ(writer->colorProfile(), 4);
  engine.profilesRGB.clear();
  writer = engine.createPSDWriterForBmpRep(solidRep(2, 2, 1, 2, 3));
  EXPECT_EQ(writer->colorProfile(), 1);
  EXPECT_EQ(writer->genericProfile(), nullptr);
}

TEST(PSDOutput, ABatchStacksEveryImageAsALayer) {
  ImportedImage engine;
  raster::ImageSet image;
  image.addRepresentation(solidRep(10, 4, 255, 0, 0));
  image.addRepresentation(solidRep(3, 20, 0, 255, 0));
  image.addRepresentation(solidRep(5, 5, 0, 0, 255));
  EXPECT_EQ(ImportedImage::verifyPSDMaxContentRectForImage(image), (raster::Size{10, 20}));
  EXPECT_EQ(ImportedImage::verifyPSDMaxContentRectForImage(raster::ImageSet()), (raster::Size{0, 0}));
  auto writer = engine.createPSDWriterForImage(image, image.largestRepresentation());
  EXPECT_EQ(writer->documentSize(), (raster::Size{10, 20}));
  engine.drawPSDLayersWithPSDWriter(*writer, image);
  auto document = readBack(*writer);
  ASSERT_TRUE(document);
  const auto& layers = document->baseLayerGroup->layers;
  ASSERT_EQ(layers.size(), 3u);
  EXPECT_EQ(nameOf(layers[0]), "Layer 2");  // the first image, on top
  EXPECT_EQ(nameOf(layers[2]), "Layer 0");  // the last image, at the bottom
  for (const auto& layer : layers) {
    EXPECT_EQ(layer->opacity, 255);
    EXPECT_EQ(layer->blendMode, fourCharCode("norm"));
  }
  // Everything was drawn into the composite: red over green over blue.
  const auto& composite = *document->compositeLayer->image;
  EXPECT_EQ(composite.row(0)[0], 255);
  EXPECT_EQ(composite.row(10)[1], 255);
}

// A source file with layers A (top), B and C (bottom), a group G holding X
// (above) and Y, and a one-layer group S; every layer is smaller than the
// canvas.
std::string writeLayeredSource(const testsupport::TempDir& dir) {
  RWPSDWriter source({40, 30});
  source.setColorProfile(2);
  auto add = [&](const char* name, std::uint8_t r, raster::Point offset, float opacity, const char* blend) {
    const auto rep = solidRep(6, 5, r, 100, 50);
    source.addLayerWithCGImage(rep->image(), name, opacity, offset, blend, true);
  };
  add("C", 10, {1, 2}, 1.0f, "norm");
  source.setCurrentGroupPath({{1, "S", 1.0f, "scrn", true}});
  add("Alone", 20, {3, 3}, 1.0f, "norm");
  source.setCurrentGroupPath({{2, "G", 0.5f, "mul ", true}});
  add("Y", 30, {5, 4}, 1.0f, "norm");
  add("X", 40, {7, 5}, 0.25f, "diff");
  source.setCurrentGroupPath({});
  add("B", 50, {9, 6}, 1.0f, "lite");
  add("A", 60, {20, 10}, 1.0f, "norm");
  const std::string path = dir.file("source.psd");
  EXPECT_TRUE(foundation::writeFileAtomically(path, source.createPSDData()));
  return path;
}

raster::ImageSet imageSetOf(const PSDLayeredImage& loaded) {
  raster::ImageSet image;
  for (const auto& layerImage : loaded.representations)
    image.addRepresentation(raster::BitmapImageRep::withImage(layerImage));
  return image;
}

TEST(PSDOutput, LayeredSourceIsRebuiltWithItsGroups) {
  testsupport::TempDir dir;
  auto loaded = loadLayeredPSD(writeLayeredSource(dir));
  ASSERT_TRUE(loaded);
  ASSERT_TRUE(appendFlattenedImage(*loaded));
  ImportedImage engine;
  engine.psdInfoArray = loaded->psdInfoArray;
  engine.psdCanvasSize = {double(loaded->width), double(loaded->height)};
  const raster::ImageSet image = imageSetOf(*loaded);
  auto writer = engine.createPSDWriterForImage(image, image.largestRepresentation());
  EXPECT_EQ(writer->documentSize(), (raster::Size{40, 30}));  // the canvas, not the largest layer
  engine.drawPSDLayersWithPSDWriter(*writer, image);
  auto document = readBack(*writer);
  ASSERT_TRUE(document);

  const auto& top = document->baseLayerGroup->layers;
  std::vector<std::string> names;
  for (const auto& layer : top) names.push_back(nameOf(layer));
  ASSERT_EQ(names, (std::vector<std::string>{"A", "B", "G", "S", "C"}));
  EXPECT_EQ(top[1]->blendMode, fourCharCode("lite"));
  ASSERT_TRUE(top[2]->isGroup);
  EXPECT_EQ(top[2]->opacity, 128);
  EXPECT_EQ(top[2]->blendMode, fourCharCode("mul "));
  ASSERT_EQ(top[2]->layers.size(), 2u);
  EXPECT_EQ(nameOf(top[2]->layers[0]), "X");
  EXPECT_EQ(top[2]->layers[0]->opacity, 64);
  EXPECT_EQ(top[2]->layers[0]->blendMode, fourCharCode("diff"));
  EXPECT_EQ(nameOf(top[2]->layers[1]), "Y");
  ASSERT_TRUE(top[3]->isGroup);  // the one-layer group closes after its layer
  ASSERT_EQ(top[3]->layers.size(), 1u);
  EXPECT_EQ(nameOf(top[3]->layers[0]), "Alone");
  EXPECT_EQ(top[3]->blendMode, fourCharCode("scrn"));
  EXPECT_FALSE(top[4]->isGroup);

  // A sits at (20, 10) as in the source.
  const auto& a = *top[0];
  const auto& pixels = *a.image;
  EXPECT_EQ(pixels.row(10 - a.top)[std::size_t(20 - a.left) * 4 + 3], 255);
  EXPECT_EQ(pixels.row(9 - a.top)[std::size_t(20 - a.left) * 4 + 3], 0);
  // The composite is the source's own. (Colour is compared where the
  // composite is opaque or clear: the reader hands the stored, white-matted
  // colour of partly transparent composite pixels on as it stands.)
  const auto& composite = *document->compositeLayer->image;
  const auto sourceDocument = KDPSD::imageWithContetsOfURL(dir.file("source.psd"));
  ASSERT_TRUE(sourceDocument && sourceDocument->compositeLayer && sourceDocument->compositeLayer->image);
  const auto& sourceComposite = *sourceDocument->compositeLayer->image;
  ASSERT_EQ(composite.pixels.size(), sourceComposite.pixels.size());
  for (std::size_t i = 0; i < composite.pixels.size(); i += 4) {
    const std::uint8_t alpha = sourceComposite.pixels[i + 3];
    ASSERT_EQ(composite.pixels[i + 3], alpha) << "pixel " << i / 4;
    if (alpha != 0 && alpha != 255) continue;
    for (std::size_t c = 0; c < 3; ++c)
      ASSERT_EQ(composite.pixels[i + c], sourceComposite.pixels[i + c]) << "pixel " << i / 4;
  }
}

Value groupRecord(std::int64_t id, const char* name, std::int64_t opacity, const char* blend) {
  std::uint32_t code = 0;
  for (int i = 0; i < 4; ++i) code = code << 8 | std::uint8_t(blend[i]);
  return Value(Dictionary{{"Group ID", Value(id)},
                          {"Group Name", Value(name)},
                          {"Group Opacity", Value(opacity)},
                          {"Blend Mode", Value(std::int64_t(code))}});
}

TEST(PSDOutput, GroupPathsRebuildNestedGroups) {
  // Top-most first: "Inner leaf" in Outer/Inner, "Outer leaf" in Outer.
  // Outer holds Inner before any layer of its own reaches the writer.
  ImportedImage engine;
  const Value outer = groupRecord(1, "Outer", 128, "mul "), inner = groupRecord(2, "Inner", 255, "pass");
  engine.psdInfoArray = {
      Value(Dictionary{
          {"Layer Name", Value("Outer leaf")},
          {"Layer Info Dictionary", Value(Dictionary{{"Group Path", Value(foundation::Array{outer})}})}}),
      Value(Dictionary{{"Layer Name", Value("Inner leaf")},
                       {"Layer Info Dictionary",
                        Value(Dictionary{{"Group Path", Value(foundation::Array{outer, inner})}})}}),
  };
  raster::ImageSet image;
  image.addRepresentation(solidRep(4, 4, 255, 0, 0));
  image.addRepresentation(solidRep(4, 4, 0, 255, 0));
  auto writer = engine.createPSDWriterForImage(image, image.largestRepresentation());
  engine.drawPSDLayersWithPSDWriter(*writer, image);
  auto document = readBack(*writer);
  ASSERT_TRUE(document);
  const auto& top = document->baseLayerGroup->layers;
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(nameOf(top[0]), "Outer");
  EXPECT_EQ(top[0]->opacity, 128);
  EXPECT_EQ(top[0]->blendMode, fourCharCode("mul "));
  ASSERT_EQ(top[0]->layers.size(), 2u);
  EXPECT_EQ(nameOf(top[0]->layers[0]), "Outer leaf");
  EXPECT_EQ(nameOf(top[0]->layers[1]), "Inner");
  EXPECT_EQ(top[0]->layers[1]->blendMode, fourCharCode("pass"));
  ASSERT_EQ(top[0]->layers[1]->layers.size(), 1u);
  EXPECT_EQ(nameOf(top[0]->layers[1]->layers[0]), "Inner leaf");
}

TEST(PSDOutput, AResizedCanvasMovesTheLayersByTheSameFactor) {
  ImportedImage engine;
  engine.psdCanvasSize = {20, 10};
  engine.psdInfoArray = {Value(Dictionary{{"Layer Name", Value("Moved")},
                                          {"Offset", Value(foundation::Array{Value(5.0), Value(3.0)})}}),
                         Value(Dictionary{{"Has Flattened Image", Value(true)}})};
  raster::ImageSet image;
  image.addRepresentation(solidRep(4, 4, 255, 0, 0));  // the layer, rendered at twice its size
  image.addRepresentation(solidRep(40, 20, 0, 0, 0));  // the composite, rendered at twice the canvas
  auto writer = engine.createPSDWriterForImage(image, image.largestRepresentation());
  EXPECT_EQ(writer->documentSize(), (raster::Size{40, 20}));
  engine.drawPSDLayersWithPSDWriter(*writer, image);
  ASSERT_EQ(writer->layers().size(), 1u);
  EXPECT_EQ(writer->layers()[0]->offset(), (raster::Point{10, 6}));
}

TEST(PSDOutput, AJPEGBecomesOneLayer) {
  testsupport::TempDir dir;
  const std::string jpeg = dir.file("photo.jpg");
  const auto made =
      testsupport::runCommand({"/usr/bin/convert", "-size", "64x48", "gradient:red-blue", jpeg});
  if (made.exitCode != 0) GTEST_SKIP() << "ImageMagick could not make a JPEG: " << made.output;
  auto source = imageio::ImageSource::open(jpeg);
  ASSERT_TRUE(source);
  auto rep = raster::BitmapImageRep::withImage(source->createImage(0));
  ASSERT_TRUE(rep);
  ImportedImage engine;
  auto writer = engine.createPSDWriterForBmpRep(rep);
  ImportedImage::drawPSDSingleLayerWithPSDWriter(*writer, rep);
  const std::string output = dir.file("photo.psd");
  ASSERT_TRUE(foundation::writeFileAtomically(output, writer->createPSDData()));
  // One-layer files go to the flat decoder, which reads the composite.
  auto written = imageio::ImageSource::open(output);
  ASSERT_TRUE(written);
  auto decoded = written->createImage(0);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width(), 64);
  EXPECT_EQ(decoded->height(), 48);
  auto sample = [&](const raster::ImageRef& image, std::int64_t x, std::int64_t y, int c) {
    const int bytes = image->format().bytesPerPixel();
    return int(image->row(y)[std::size_t(x * bytes + c)]);
  };
  const raster::ImageRef& original = rep->image();
  for (auto [x, y] : {std::pair{0, 0}, {63, 0}, {0, 47}, {31, 24}}) {
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(sample(decoded, x, y, c), sample(original, x, y, c), 1) << x << "," << y;
  }
  // The layer itself, as ImageMagick lists it after the composite.
  const auto listed = testsupport::runCommand({"/usr/bin/identify", output});
  EXPECT_NE(listed.output.find(output + "[1] PSD 64x48"), std::string::npos) << listed.output;
}

}  // namespace
}  // namespace velumar

// The preview render without a window: rescaled settings and the cap,
// drawing in place, the icon look, which settings change pixels, the
// full-size output size, the overrides, what the preview shows against the
// main draw, and hostile sources and settings.

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <cstring>

#include "engine/imported_image.h"
#include "engine_test_images.h"
#include "filters/cifiltering.h"
#include "platform/ci/centripetal_curve.h"

namespace velumar {
namespace {

using testimages::Pixels8;
using testimages::pixels8;

std::shared_ptr<raster::ImageSet> imageOf(const BitmapRepRef& rep) {
  if (!rep) return std::make_shared<raster::ImageSet>();
  return std::make_shared<raster::ImageSet>(raster::ImageSet::withRepresentation(rep));
}

std::shared_ptr<raster::ImageSet> redImage(std::int64_t width, std::int64_t height) {
  return imageOf(raster::BitmapImageRep::withImage(testimages::solidImage(width, height, {255, 0, 0})));
}

// A smooth colourful photo stand-in of the given size in 8-bit sRGB.
BitmapRepRef gradientRep(std::int64_t width, std::int64_t height) {
  auto context =
      raster::BitmapContext::create(width, height, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  std::uint8_t* row = context->mutableData();
  for (std::int64_t y = 0; y < height; ++y, row += context->bytesPerRow())
    for (std::int64_t x = 0; x < width; ++x) {
      const double u = double(x) / double(width), v = double(y) / double(height);
      row[x * 4 + 0] = std::uint8_t(40 + 200 * u);
      row[x * 4 + 1] = std::uint8_t(30 + 180 * v);
      row[x * 4 + 2] = std::uint8_t(128 + 100 * std::sin(6 * u + 4 * v));
      row[x * 4 + 3] = 255;
    }
  return raster::BitmapImageRep::withImage(context->makeImage());
}

// Default settings changed by change.
template <typename Change>
ImageModifyInfo with(Change change) {
  ImageModifyInfo info;
  change(info);
  return info;
}

BitmapRepRef repOf(const std::shared_ptr<raster::ImageSet>& image) {
  return image && !image->isEmpty() ? image->representations().front() : nullptr;
}

TEST(Preview, CapScalesTheTargetAndTheUnrotatedSidesAlike) {
  ImportedImage engine;
  engine.setImagePreviewOriginalSize({4000, 3000});
  ImageModifyInfo info;
  info.resizeScaleType = 15;
  info.rotationAngle = 180;
  ImageModifyInfo local = engine.previewSettingsForInfo(info, {4000, 3000});
  const auto size = engine.previewTargetSize(local, {4000, 3000}, 72);
  ASSERT_TRUE(size);
  const double k = std::sqrt(float(3145728.0 / 12000000.0));
  EXPECT_NEAR(size->width, 4000 * k, 1e-6);
  EXPECT_NEAR(size->height, 3000 * k, 1e-6);
  EXPECT_NEAR(local.unrotatedWidth, 4000 * k, 1e-6);
  EXPECT_NEAR(local.unrotatedHeight, 3000 * k, 1e-6);

  const auto preview = engine.resizePixelSizeForImage(redImage(4000, 3000), nullptr, nullptr, 72, info);
  ASSERT_TRUE(preview);
  // Each side rounded up in single precision: 2048.0000973 and 1536.0000730.
  EXPECT_EQ(repOf(preview)->pixelsWide(), std::int64_t(std::ceil(float(4000 * k))));
  EXPECT_EQ(repOf(preview)->pixelsHigh(), std::int64_t(std::ceil(float(3000 * k))));
  EXPECT_EQ(repOf(preview)->bitsPerSample(), 8);
}

TEST(Preview, DrawsInPlaceWhileTheSizeStays) {
  ImportedImage engine;
  engine.setImagePreviewOriginalSize({400, 300});
  const auto source = imageOf(gradientRep(400, 300));
  ImageModifyInfo info;
  info.doImageResize = true;
  info.rFactorW = info.rFactorH = 0.5;
  const auto first = engine.resizePixelSizeForImage(source, nullptr, nullptr, 72, info);
  ASSERT_TRUE(first);
  const BitmapRepRef firstRep = repOf(first);
  EXPECT_EQ(firstRep->pixelsWide(), 200);
  const raster::ImageRef firstPixels = firstRep->image();
  const auto second = engine.resizePixelSizeForImage(source, first, nullptr, 72, info);
  EXPECT_EQ(second, first);
  EXPECT_EQ(repOf(second), firstRep);
  EXPECT_EQ(pixels8(firstRep->image()).rgba, pixels8(firstPixels).rgba);

  // Another size: a new bitmap, the old one untouched.
  info.rFactorW = info.rFactorH = 0.25;
  const auto third = engine.resizePixelSizeForImage(source, first, nullptr, 72, info);
  ASSERT_TRUE(third);
  EXPECT_NE(third, first);
  EXPECT_EQ(repOf(third)->pixelsWide(), 100);
  EXPECT_EQ(firstRep->image(), second->representations().front()->image());
  EXPECT_EQ(firstRep->pixelsWide(), 200);

  // A context image of the same size in another layout is left alone too.
  info.rFactorW = info.rFactorH = 0.5;
  const auto gray = imageOf(
      testimages::quadrantRep(200, 150, {8, 1, raster::AlphaInfo::None}, raster::ColorSpace::genericGray()));
  const raster::ImageRef grayPixels = repOf(gray)->image();
  const auto fourth = engine.resizePixelSizeForImage(source, gray, nullptr, 72, info);
  ASSERT_TRUE(fourth);
  EXPECT_NE(fourth, gray);
  EXPECT_EQ(repOf(gray)->image(), grayPixels);
  EXPECT_EQ(repOf(fourth)->pixelFormat(), raster::PixelFormat::rgba8());
}

TEST(Preview, IconLookShadowAndCorners) {
  ImportedImage engine;
  ImageModifyInfo shadow;
  shadow.shadowICNS = true;
  engine.setImagePreviewOriginalSize({1024, 1024});
  const Pixels8 shadowed = pixels8(
      repOf(engine.resizePixelSizeForImage(redImage(1024, 1024), nullptr, nullptr, 72, shadow))->image());
  ASSERT_EQ(shadowed.width, 1024);
  EXPECT_EQ(shadowed.at(10, 10), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(shadowed.at(1013, 1013), (std::array<int, 4>{255, 0, 0, 255}));
  for (int d : {2, 5}) {
    EXPECT_GT(shadowed.at(1014 + d, 512)[3], shadowed.at(9 - d, 512)[3] + 5) << d;
    EXPECT_GT(shadowed.at(512, 1014 + d)[3], shadowed.at(512, 9 - d)[3] + 20) << d;
  }

  ImageModifyInfo rounded;
  rounded.roundedCornersICNS = true;
  engine.setImagePreviewOriginalSize({512, 256});
  const Pixels8 corners = pixels8(
      repOf(engine.resizePixelSizeForImage(redImage(512, 256), nullptr, nullptr, 72, rounded))->image());
  ASSERT_EQ(corners.width, 512);
  // Radii 128 × 64: (30, 10) lies outside that corner (inside a 64 × 64 one),
  // (60, 20) and (128, 1) inside.
  EXPECT_EQ(corners.at(30, 10)[3], 0);
  EXPECT_EQ(corners.at(481, 245)[3], 0);
  EXPECT_EQ(corners.at(60, 20)[3], 255);
  EXPECT_EQ(corners.at(128, 1)[3], 255);
  EXPECT_EQ(corners.at(256, 128)[3], 255);
}

TEST(Preview, WhichSettingsChangeThePixels) {
  const struct {
    const char* what;
    ImageModifyInfo info;
    bool changes;
  } cases[] = {
      {"nothing", ImageModifyInfo{}, false},
      {"text watermark only", with([](auto& i) { i.addWatermarkText = true; }), false},
      {"crop and rotate, centred, angle 0", with([](auto& i) { i.resizeScaleType = 16; }), false},
      {"crop and rotate, centre moved", with([](auto& i) { i.resizeScaleType = 16, i.cropCenterY = 0.4; }),
       true},
      {"crop and rotate, angle", with([](auto& i) { i.resizeScaleType = 16, i.rotationAngle = 3; }), true},
      {"resize", with([](auto& i) { i.doImageResize = true; }), true},
      {"filter slot 2", with([](auto& i) { i.filterType2 = 57; }), true},
      {"flip", with([](auto& i) { i.resizeScaleType = 8; }), true},
      {"quarter turn", with([](auto& i) { i.resizeScaleType = 14; }), true},
      {"type 15 at angle 0", with([](auto& i) { i.resizeScaleType = 15; }), false},
      {"rotation", with([](auto& i) { i.resizeScaleType = 15, i.rotationAngle = 10; }), true},
      {"isolated faces", with([](auto& i) { i.optionFeatures = i.optionFeaturesIsolateFaces = true; }), true},
      {"features alone", with([](auto& i) { i.optionFeatures = true; }), false},
      {"auto adjust", with([](auto& i) { i.optionAutoAdjust = true; }), true},
      {"composite", with([](auto& i) { i.compositeMode = 15; }), true},
      {"crop, centre moved", with([](auto& i) { i.resizeScaleType = 6, i.cropCenterX = 0.2; }), true},
      {"crop, centred", with([](auto& i) { i.resizeScaleType = 6; }), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ImportedImage::verifyResizeConditionsForImageInfo(c.info), c.changes) << c.what;
}

TEST(Preview, FullSizeOutputUsesTheSourceResolution) {
  ImportedImage engine;
  engine.setImagePreviewOriginalSize({3000, 2000});
  engine.imagePreviewOriginalDpi = 300;
  ImageModifyInfo info;
  info.doImageResize = true;
  info.resizeConversionType = 5;  // points
  info.fixedSizeW = 72;
  info.fixedSizeH = 48;
  const ImageModifyInfo before = info;
  engine.simulateOriginalSizeWithInfo(info);
  // 72 points at 72 / 300 points per pixel.
  EXPECT_EQ(engine.imagePreviewSize(), (raster::Size{300, 200}));
  engine.imagePreviewOriginalDpi = 72;
  engine.simulateOriginalSizeWithInfo(info);
  EXPECT_EQ(engine.imagePreviewSize(), (raster::Size{72, 48}));
  EXPECT_EQ(info, before);
}

TEST(Preview, OverridesLeaveWatermarksCropsAndVetoOut) {
  ImportedImage engine;
  engine.setImagePreviewOriginalSize({400, 300});
  engine.watermarkDrawString = "WWWWWWWW";
  engine.watermarkDrawDate = "kept";
  ImageModifyInfo info;
  info.addWatermarkText = true;
  info.addWatermarkImage = true;
  info.textOrigin = {50, 50};
  info.optionFeatures = true;
  info.optionFeaturesSaveCropFaces = true;
  info.optionFeaturesEyeBlink = true;
  info.drawWithAlpha = true;
  const ImageModifyInfo local = engine.previewSettingsForInfo(info, {400, 300});
  EXPECT_FALSE(local.addWatermarkText || local.addWatermarkImage || local.optionFeatures ||
               local.optionFeaturesSaveCropFaces || local.optionFeaturesEyeBlink || local.drawWithAlpha);
  EXPECT_EQ(local.conversionType, ConversionType::PNG);
  info.optionFeaturesIsolateFaces = true;
  EXPECT_TRUE(engine.previewSettingsForInfo(info, {400, 300}).optionFeatures);

  const auto preview = engine.resizePixelSizeForImage(redImage(400, 300), nullptr, nullptr, 72, info);
  ASSERT_TRUE(preview);
  const Pixels8 pixels = pixels8(repOf(preview)->image());
  for (std::int64_t x = 0; x < pixels.width; x += 7)
    EXPECT_EQ(pixels.at(x, 150), (std::array<int, 4>{255, 0, 0, 255})) << x;
  EXPECT_EQ(engine.watermarkDrawDate, "kept");
  EXPECT_FALSE(engine.exportedDepthImage);
}

TEST(Preview, ShowsWhatTheMainDrawMakesOfTheFullImage) {
  const BitmapRepRef full = gradientRep(4000, 3000);
  auto copyContext =
      raster::BitmapContext::create(1000, 750, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  copyContext->setInterpolationQuality(raster::InterpolationQuality::High);
  copyContext->drawImage(full->image(), raster::Rect(0, 0, 1000, 750));
  const BitmapRepRef copy = raster::BitmapImageRep::withImage(copyContext->makeImage());

  ImportedImage engine;
  FilterInfo colour = engine.ciPhotoFilters->filterInfo0();
  colour.saturationLevel = 1.4;
  colour.sepiaLevel = 0.5;
  engine.ciPhotoFilters->setFilterInfo0(colour);
  engine.ciPhotoFilters->setFilterInfo1(colour);
  // A 2³ lookup table that warms the picture, at 0.7, and a master curve
  // that lifts the middle tones.
  const std::vector<float> cube = {0.1f, 0, 0,    1, 1, 0, 0,    1, 0.1f, 0.9f, 0,    1, 1, 0.9f, 0,    1,
                                   0.1f, 0, 0.8f, 1, 1, 0, 0.8f, 1, 0.1f, 0.9f, 0.8f, 1, 1, 0.9f, 0.8f, 1};
  ci::Data cubeBytes(cube.size() * sizeof(float));
  std::memcpy(cubeBytes.data(), cube.data(), cubeBytes.size());
  const ci::FilterRef lut = ci::Filter::withName("CIColorCube");
  ASSERT_TRUE(lut);
  lut->setDefaults();
  lut->setValue("inputCubeDimension", 2.0);
  lut->setValue("inputCubeData", cubeBytes);
  engine.setLutFilter(lut);
  engine.lutIntensity = 0.7;
  const ci::FilterRef curve = ci::Filter::withName("ToneCurveFilter");
  ASSERT_TRUE(curve);
  const double lifted[5][2] = {{0, 0}, {0.25, 0.32}, {0.5, 0.6}, {0.75, 0.82}, {1, 1}};
  for (std::size_t i = 0; i < 5; ++i)
    curve->setValue(ci::kToneCurvePointKeys[i], ci::Vector{lifted[i][0], lifted[i][1]});
  engine.setToneCurveFilter(curve);

  ImageModifyInfo info;
  info.filterType0 = 57;
  info.filterType1 = 73;
  info.addLUT = true;
  info.addToneCurve = true;
  info.compositeMode = 15;  // multiply the filtered picture over the unfiltered one
  info.compositeModeType = 0;

  engine.setImagePreviewOriginalSize({4000, 3000});
  const auto preview = engine.resizePixelSizeForImage(imageOf(copy), nullptr, nullptr, 72, info);
  ASSERT_TRUE(preview);
  ASSERT_EQ(repOf(preview)->pixelsWide(), 1000);

  const ImageModifyInfo fullSettings = engine.previewSettingsForInfo(info, {4000, 3000});
  const BitmapRepRef drawn = engine.drawInCGContextFromBmpRep(full, nullptr, {4000, 3000}, fullSettings);
  ASSERT_TRUE(drawn);
  auto shrunk =
      raster::BitmapContext::create(1000, 750, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  shrunk->setInterpolationQuality(raster::InterpolationQuality::High);
  shrunk->drawImage(drawn->image(), raster::Rect(0, 0, 1000, 750));

  const Pixels8 ours = pixels8(repOf(preview)->image()), reference = pixels8(shrunk->makeImage());
  ASSERT_EQ(ours.rgba.size(), reference.rgba.size());
  double sum = 0;
  for (std::size_t i = 0; i < ours.rgba.size(); ++i) sum += std::abs(ours.rgba[i] - reference.rgba[i]);
  EXPECT_LE(sum / double(ours.rgba.size()), 2.0);
  // The stages did change the picture.
  const Pixels8 unfiltered = pixels8(copy->image());
  double change = 0;
  for (std::size_t i = 0; i < ours.rgba.size(); ++i) change += std::abs(ours.rgba[i] - unfiltered.rgba[i]);
  EXPECT_GT(change / double(ours.rgba.size()), 10.0);
}

TEST(Preview, ShowsTheOutputProfilesGamut) {
  const color::ProfileRef cmyk = color::IccProfile::named(color::NamedProfile::GenericCMYK);
  if (!cmyk) GTEST_SKIP() << "no CMYK profile installed";
  // Bands of saturated sRGB colours.
  const std::vector<std::array<std::uint8_t, 3>> colours = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                                            {0, 255, 255}, {255, 0, 255}, {255, 255, 0},
                                                            {255, 128, 0}, {40, 200, 90}};
  auto context =
      raster::BitmapContext::create(8 * 8, 16, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  std::uint8_t* row = context->mutableData();
  for (std::int64_t y = 0; y < 16; ++y, row += context->bytesPerRow())
    for (std::int64_t x = 0; x < 64; ++x) {
      const auto& c = colours[std::size_t(x / 8)];
      row[x * 4 + 0] = c[0], row[x * 4 + 1] = c[1], row[x * 4 + 2] = c[2], row[x * 4 + 3] = 255;
    }
  const auto source = imageOf(raster::BitmapImageRep::withImage(context->makeImage()));
  const Pixels8 original = pixels8(repOf(source)->image());

  // lcms2's soft proof of the same pixels through the profile.
  auto* srgb = static_cast<cmsHPROFILE>(color::IccProfile::named(color::NamedProfile::SRGB)->handle());
  auto* proof = static_cast<cmsHPROFILE>(cmyk->handle());
  cmsHTRANSFORM proofing = cmsCreateProofingTransform(
      srgb, TYPE_RGBA_8, srgb, TYPE_RGBA_8, proof, INTENT_RELATIVE_COLORIMETRIC,
      cmsGetHeaderRenderingIntent(proof), cmsFLAGS_SOFTPROOFING | cmsFLAGS_COPY_ALPHA);
  ASSERT_TRUE(proofing);
  std::vector<std::uint8_t> proofed(original.rgba.size());
  cmsDoTransform(proofing, original.rgba.data(), proofed.data(), cmsUInt32Number(original.rgba.size() / 4));
  cmsDeleteTransform(proofing);

  auto meanDifference = [](const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
  };
  ImportedImage engine;
  engine.setImagePreviewOriginalSize({64, 16});
  engine.ciPhotoFilters->setProfile(cmyk);
  const Pixels8 viewed =
      pixels8(repOf(engine.resizePixelSizeForImage(source, nullptr, nullptr, 72, {}))->image());
  EXPECT_LE(meanDifference(viewed.rgba, proofed), 2.0);
  EXPECT_GT(meanDifference(viewed.rgba, original.rgba), 10.0);

  engine.ciPhotoFilters->setProfile(nullptr);
  const Pixels8 plain =
      pixels8(repOf(engine.resizePixelSizeForImage(source, nullptr, nullptr, 72, {}))->image());
  EXPECT_LE(meanDifference(plain.rgba, original.rgba), 0.5);
}

TEST(Preview, EverySourceModelGivesAnEightBitRGBAPreview) {
  const struct {
    const char* what;
    raster::PixelFormat format;
    raster::ColorSpaceRef space;
  } sources[] = {
      {"gray", {8, 1, raster::AlphaInfo::None}, raster::ColorSpace::genericGray()},
      {"cmyk", {8, 4, raster::AlphaInfo::None}, raster::ColorSpace::genericCMYK()},
      {"rgb16", {16, 3, raster::AlphaInfo::PremultipliedLast}, raster::ColorSpace::sRGB()},
      {"float", raster::PixelFormat::rgbaFloat(), raster::ColorSpace::genericRGB()},
  };
  for (const auto& source : sources) {
    SCOPED_TRACE(source.what);
    ImportedImage engine;
    engine.setImagePreviewOriginalSize({64, 48});
    ImageModifyInfo info;
    info.roundedCornersICNS = true;
    const auto preview = engine.resizePixelSizeForImage(
        imageOf(testimages::quadrantRep(64, 48, source.format, source.space)), nullptr, nullptr, 72, info);
    ASSERT_TRUE(preview);
    const BitmapRepRef rep = repOf(preview);
    EXPECT_EQ(rep->bitsPerSample(), 8);
    EXPECT_TRUE(rep->hasAlpha());
    EXPECT_EQ(rep->colorSpace()->model(), raster::ColorModel::RGB);
    const BitmapRepRef original = testimages::quadrantRep(64, 48, source.format, source.space);
    // Float sources may hold colours beyond what 8 bits of their space hold.
    const int tolerance = source.format.isFloat() ? 64 : 3;
    for (auto [x, y] : {std::pair{16, 12}, {48, 12}, {16, 36}, {48, 36}}) {
      const auto expected = testimages::pixelAt(original->image(), x, y);
      const auto seen = testimages::pixelAt(rep->image(), x, y);
      for (int i = 0; i < 4; ++i) EXPECT_NEAR(seen[i], expected[i], tolerance) << x << "," << y;
    }
    EXPECT_EQ(testimages::pixelAt(rep->image(), 0, 0)[3], 0) << "rounded corner";
  }
}

TEST(Preview, HostileSourcesAndSettingsGiveNothingOrAFiniteCappedImage) {
  const double nan = std::nan("");
  const struct {
    const char* what;
    std::shared_ptr<raster::ImageSet> image;
    ImageModifyInfo info;
  } cases[] = {
      {"no image", nullptr, ImageModifyInfo{}},
      {"no representation", std::make_shared<raster::ImageSet>(), ImageModifyInfo{}},
      {"1 x 1", redImage(1, 1), ImageModifyInfo{}},
      {"1 x 100000", redImage(1, 100000), ImageModifyInfo{}},
      {"NaN crop centre", redImage(64, 48),
       with([&](auto& i) { i.resizeScaleType = 16, i.cropCenterX = nan; })},
      {"NaN angle", redImage(64, 48), with([&](auto& i) { i.resizeScaleType = 15, i.rotationAngle = nan; })},
      {"NaN factors", redImage(64, 48), with([&](auto& i) { i.doImageResize = true, i.rFactorW = nan; })},
      {"negative fixed size", redImage(64, 48),
       with([&](auto& i) { i.setFromFixedSize = i.doImageResize = true, i.fixedSizeW = -500; })},
      {"huge fixed size", redImage(64, 48),
       with([&](auto& i) { i.setFromFixedSize = i.doImageResize = true, i.fixedSizeW = 1e300; })},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ImportedImage engine;
    engine.setImagePreviewOriginalSize({64, 48});
    const auto preview = engine.resizePixelSizeForImage(c.image, nullptr, nullptr, 72, c.info);
    if (!preview) continue;
    const BitmapRepRef rep = repOf(preview);
    ASSERT_TRUE(rep);
    EXPECT_LE(rep->pixelsWide() * rep->pixelsHigh(), 3145728 + rep->pixelsWide() + rep->pixelsHigh() + 1);
  }
}

}  // namespace
}  // namespace velumar

// The watermark step on real contexts: picture and text sizes against the
// 1600 × 1200 reference, placement, turns, opacity, date texts, and
// ImageMagick as the independent reference for compositing and text size.

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include <cmath>
#include <ctime>

#include "engine/imported_image.h"
#include "engine_test_images.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/image_source.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using testimages::Pixels8;
using testimages::pixels8;

struct Box {
  std::int64_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // inclusive, rows top-down; empty when x1 < x0
  std::int64_t width() const { return x1 - x0 + 1; }
  std::int64_t height() const { return y1 - y0 + 1; }
  double centerX() const { return (double(x0) + double(x1) + 1) / 2; }
  double centerY() const { return (double(y0) + double(y1) + 1) / 2; }
};

// The bounding box of pixels darker than light in any colour channel.
Box inkBox(const Pixels8& pixels, int light = 200) {
  Box box{pixels.width, pixels.height, -1, -1};
  for (std::int64_t y = 0; y < pixels.height; ++y)
    for (std::int64_t x = 0; x < pixels.width; ++x) {
      const auto p = pixels.at(x, y);
      if (p[0] >= light && p[1] >= light && p[2] >= light) continue;
      box.x0 = std::min(box.x0, x), box.y0 = std::min(box.y0, y);
      box.x1 = std::max(box.x1, x), box.y1 = std::max(box.y1, y);
    }
  return box;
}

struct OutputFormat {
  const char* name;
  raster::PixelFormat format;
  raster::ColorSpaceRef space;
};

std::vector<OutputFormat> outputFormats() {
  return {{"rgba8", raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB()},
          {"rgba16", {16, 3, raster::AlphaInfo::PremultipliedLast}, raster::ColorSpace::sRGB()},
          {"float", raster::PixelFormat::rgbaFloat(), raster::ColorSpace::genericRGB()},
          {"gray", {8, 1, raster::AlphaInfo::None}, raster::ColorSpace::genericGray()},
          {"cmyk", {8, 4, raster::AlphaInfo::None}, raster::ColorSpace::genericCMYK()}};
}

// An opaque white output of the format.
std::unique_ptr<raster::BitmapContext> whiteOutput(std::int64_t width, std::int64_t height,
                                                   const OutputFormat& format) {
  auto context = raster::BitmapContext::create(width, height, format.format, format.space);
  if (!context) return nullptr;
  context->setFillColor(raster::Color::gray(1.0));
  context->fillRect(raster::Rect(0, 0, double(width), double(height)));
  return context;
}

// A 400 × 200 mid-gray picture with a black 40 × 40 mark in its top-left
// corner, so every turn is visible.
std::shared_ptr<raster::ImageSet> markedPicture(std::int64_t width = 400, std::int64_t height = 200) {
  auto rep = ImportedImage::createNewBmpImageRep(width, height, 1.0, true);
  auto context = rep->makeContext();
  context->setFillColor(raster::Color::rgb(0.5, 0.5, 0.5));
  context->fillRect(raster::Rect(0, 0, double(width), double(height)));
  context->setFillColor(raster::Color::rgb(0, 0, 0));
  context->fillRect(raster::Rect(0, double(height) - 40, 40, 40));
  rep->setImage(context->makeImage());
  return std::make_shared<raster::ImageSet>(raster::ImageSet::withRepresentation(rep));
}

bool isMark(const std::array<int, 4>& p) {
  return p[0] < 60 && p[1] < 60 && p[2] < 60;
}

ImageModifyInfo pictureSettings(double size, raster::Point origin, double angle = 0, double opacity = 1) {
  ImageModifyInfo info;
  info.addWatermarkImage = true;
  info.imageSizePercent = size;
  info.imageOrigin = origin;
  info.imageAngle = angle;
  info.imageOpacity = opacity;
  return info;
}

struct PictureCase {
  std::int64_t width, height;
  double f;
  std::size_t format;  // index into outputFormats()
};

std::vector<PictureCase> pictureCases() {
  std::vector<PictureCase> cases;
  for (const PictureCase output :
       {PictureCase{1600, 1200, 1, 0}, {3200, 1200, 1, 0}, {3200, 2400, 2, 0}, {800, 1200, 0.5, 0}})
    for (std::size_t format = 0; format < outputFormats().size(); ++format)
      cases.push_back({output.width, output.height, output.f, format});
  return cases;
}

class WatermarkPicture : public testing::TestWithParam<PictureCase> {};

TEST_P(WatermarkPicture, SizePlacementTurnAndOpacity) {
  const PictureCase& output = GetParam();
  const OutputFormat format = outputFormats()[output.format];
  ImportedImage engine;
  engine.watermarkImage = markedPicture();
  const double w = 200 * output.f, h = 100 * output.f;
  const double cx = double(output.width) / 2, cy = double(output.height) / 2;

  auto upright = whiteOutput(output.width, output.height, format);
  ASSERT_TRUE(upright);
  engine.drawTextAndImageWithContext(upright.get(), pictureSettings(0.5, {50, 50}));
  const Pixels8 drawn = pixels8(upright->makeImage());
  const Box box = inkBox(drawn);
  EXPECT_NEAR(box.width(), w, 1.5);
  EXPECT_NEAR(box.height(), h, 1.5);
  EXPECT_NEAR(box.centerX(), cx, 1);
  EXPECT_NEAR(box.centerY(), cy, 1);
  EXPECT_TRUE(isMark(drawn.at(box.x0 + 2, box.y0 + 2)));

  auto turned = whiteOutput(output.width, output.height, format);
  engine.drawTextAndImageWithContext(turned.get(), pictureSettings(0.5, {50, 50}, 90));
  const Pixels8 turnedPixels = pixels8(turned->makeImage());
  const Box turnedBox = inkBox(turnedPixels);
  EXPECT_NEAR(turnedBox.width(), h, 1.5);
  EXPECT_NEAR(turnedBox.height(), w, 1.5);
  // Clockwise: the top-left mark moves to the top-right.
  EXPECT_TRUE(isMark(turnedPixels.at(turnedBox.x1 - 2, turnedBox.y0 + 2)));
  EXPECT_FALSE(isMark(turnedPixels.at(turnedBox.x0 + 2, turnedBox.y0 + 2)));

  // Centred on the lower-left corner: only the picture's top-right quarter shows.
  auto corner = whiteOutput(output.width, output.height, format);
  engine.drawTextAndImageWithContext(corner.get(), pictureSettings(0.5, {0, 0}));
  const Box cornerBox = inkBox(pixels8(corner->makeImage()));
  EXPECT_EQ(cornerBox.x0, 0);
  EXPECT_EQ(cornerBox.y1, output.height - 1);
  EXPECT_NEAR(cornerBox.width(), w / 2, 1.5);
  EXPECT_NEAR(cornerBox.height(), h / 2, 1.5);

  auto untouched = whiteOutput(output.width, output.height, format);
  const auto before = pixels8(untouched->makeImage()).rgba;
  engine.drawTextAndImageWithContext(untouched.get(), pictureSettings(0.5, {50, 50}, 0, 0));
  EXPECT_EQ(pixels8(untouched->makeImage()).rgba, before);
}

INSTANTIATE_TEST_SUITE_P(Outputs, WatermarkPicture, testing::ValuesIn(pictureCases()),
                         [](const testing::TestParamInfo<PictureCase>& info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) +
                                  "_" + outputFormats()[info.param.format].name;
                         });

bool writePNG(const raster::ImageRef& image, const std::string& path) {
  auto destination = imageio::ImageDestination::create(path, "public.png", 1);
  if (!destination) return false;
  destination->addImage(image, foundation::Value(foundation::Dictionary{}));
  return destination->finalize();
}

raster::ImageRef readImage(const std::string& path) {
  auto source = imageio::ImageSource::open(path);
  return source ? source->createImage(0) : nullptr;
}

TEST(Watermarks, HalfOpaquePictureMatchesImageMagickOver) {
  testsupport::TempDir dir;
  // A colourful output and a picture whose colour and alpha vary.
  auto output = testimages::quadrantRep(1600, 1200)->makeContext();
  auto pictureContext = raster::BitmapContext::create(
      400, 200, raster::PixelFormat{8, 3, raster::AlphaInfo::Last}, raster::ColorSpace::sRGB());
  std::uint8_t* p = pictureContext->mutableData();
  for (std::int64_t y = 0; y < 200; ++y)
    for (std::int64_t x = 0; x < 400; ++x, p += 4) {
      p[0] = std::uint8_t(x * 255 / 399), p[1] = std::uint8_t(y * 255 / 199), p[2] = 128;
      p[3] = std::uint8_t(64 + (x + y) % 192);
    }
  const raster::ImageRef picture = pictureContext->makeImage();
  ASSERT_TRUE(writePNG(output->makeImage(), dir.file("out.png")));
  ASSERT_TRUE(writePNG(picture, dir.file("wm.png")));

  ImportedImage engine;
  engine.watermarkImage = std::make_shared<raster::ImageSet>(
      raster::ImageSet::withRepresentation(raster::BitmapImageRep::withImage(picture)));
  engine.drawTextAndImageWithContext(output.get(), pictureSettings(1, {50, 50}, 0, 0.5));

  const auto result = testsupport::runCommand(
      {"/usr/bin/convert", dir.file("out.png"), "(", dir.file("wm.png"), "-alpha", "set", "-channel", "A",
       "-evaluate", "multiply", "0.5", "+channel", ")", "-geometry", "+600+500", "-compose", "Over",
       "-composite", dir.file("reference.png")});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  const Pixels8 ours = pixels8(output->makeImage());
  const Pixels8 reference = pixels8(readImage(dir.file("reference.png")));
  ASSERT_EQ(ours.rgba.size(), reference.rgba.size());
  int worst = 0;
  for (std::size_t i = 0; i < ours.rgba.size(); ++i)
    worst = std::max(worst, std::abs(ours.rgba[i] - reference.rgba[i]));
  EXPECT_LE(worst, 1);
}

ImageModifyInfo textSettings(double angle = 0, double obliqueness = 0, double opacity = 1) {
  ImageModifyInfo info;
  info.addWatermarkText = true;
  info.textOrigin = {50, 50};
  info.textAngle = angle;
  info.textObliqueness = obliqueness;
  info.textOpacity = opacity;
  return info;
}

std::unique_ptr<ImportedImage> textEngine(const std::string& text) {
  auto engine = std::make_unique<ImportedImage>();
  engine->textFont = TextFont{"DejaVu Sans", false, false, 144};
  engine->textAttributes = textAttributesWithFont(engine->textFont);
  engine->watermarkDrawString = text;
  return engine;
}

Pixels8 textPixels(ImportedImage& engine, std::int64_t width, std::int64_t height,
                   const ImageModifyInfo& info) {
  auto output = whiteOutput(width, height, outputFormats().front());
  engine.drawTextAndImageWithContext(output.get(), info);
  return pixels8(output->makeImage());
}

Box ourTextBox(ImportedImage& engine, std::int64_t width, std::int64_t height, const ImageModifyInfo& info) {
  return inkBox(textPixels(engine, width, height, info));
}

// The mean x of the ink in the top quarter of the ink box minus that in its
// bottom quarter.
double inkLean(const Pixels8& pixels) {
  const Box box = inkBox(pixels);
  auto meanX = [&](std::int64_t y0, std::int64_t y1) {
    double sum = 0, count = 0;
    for (std::int64_t y = y0; y < y1; ++y)
      for (std::int64_t x = box.x0; x <= box.x1; ++x)
        if (pixels.at(x, y)[0] < 128) sum += double(x), count += 1;
    return count > 0 ? sum / count : 0.0;
  };
  const std::int64_t quarter = box.height() / 4;
  return meanX(box.y0, box.y0 + quarter) - meanX(box.y1 + 1 - quarter, box.y1 + 1);
}

TEST(Watermarks, TextSizeAgainstImageMagickAndItsTurnSlantAndOpacity) {
  const struct {
    std::int64_t width, height;
    double points;  // 144 × f
  } outputs[] = {{3200, 1200, 144}, {800, 1200, 72}};
  testsupport::TempDir dir;
  auto engine = textEngine("Velumar");
  for (const auto& output : outputs) {
    SCOPED_TRACE(testing::Message() << output.width << "x" << output.height);
    const std::string size = std::to_string(output.width) + "x" + std::to_string(output.height);
    const auto result =
        testsupport::runCommand({"/usr/bin/convert", "-size", size, "xc:white", "-font", "DejaVu-Sans",
                                 "-pointsize", std::to_string(output.points), "-gravity", "center",
                                 "-annotate", "+0+0", "Velumar", dir.file("im.png")});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const Box reference = inkBox(pixels8(readImage(dir.file("im.png"))));
    const Box ours = ourTextBox(*engine, output.width, output.height, textSettings());
    EXPECT_NEAR(ours.width(), reference.width(), 3);
    EXPECT_NEAR(ours.height(), reference.height(), 3);
    for (const Box& box : {ours, reference}) {
      EXPECT_NEAR(box.centerX(), double(output.width) / 2, 2);
      EXPECT_NEAR(box.centerY(), double(output.height) / 2, 0.1 * output.points);
    }

    const Box turned = ourTextBox(*engine, output.width, output.height, textSettings(90));
    EXPECT_NEAR(turned.width(), ours.height(), 2);
    EXPECT_NEAR(turned.height(), ours.width(), 2);
    // A slant moves the ink of the top rows to the right of the bottom rows'.
    const Pixels8 slanted = textPixels(*engine, output.width, output.height, textSettings(0, 0.3));
    const Pixels8 upright = textPixels(*engine, output.width, output.height, textSettings());
    EXPECT_NEAR(inkBox(slanted).height(), ours.height(), 2);
    EXPECT_GT(inkLean(slanted), inkLean(upright) + 0.2 * double(ours.height()));
    EXPECT_LT(ourTextBox(*engine, output.width, output.height, textSettings(0, 0, 0)).x1, 0);
  }
}

foundation::Date localNoon(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day, tm.tm_hour = 12, tm.tm_isdst = -1;
  return foundation::Date(std::chrono::system_clock::from_time_t(std::mktime(&tm)));
}

TEST(Watermarks, DateTextInEachStyleAndOnlyWithTheTextFlag) {
  UErrorCode status = U_ZERO_ERROR;
  icu::Locale::setDefault(icu::Locale("en_US"), status);
  const struct {
    std::uint64_t style;
    const char* text;
  } styles[] = {
      {1, "7/4/19"}, {2, "Jul 4, 2019"}, {3, "July 4, 2019"}, {4, "Thursday, July 4, 2019"}, {0, ""},
      {7, ""}};
  auto engine = textEngine("user text");
  for (const auto& style : styles) {
    engine->watermarkMetadataDate = localNoon(2019, 7, 4);
    ImageModifyInfo info = textSettings();
    info.addWatermarkDate = true;
    info.dateStyle = style.style;
    const Box box = ourTextBox(*engine, 1600, 1200, info);
    EXPECT_EQ(engine->watermarkDrawDate, style.text);
    EXPECT_EQ(box.x1 >= 0, *style.text != '\0') << "style " << style.style;
  }

  // The date flag alone draws nothing and formats nothing.
  engine->watermarkDrawDate = "";
  ImageModifyInfo dateOnly;
  dateOnly.addWatermarkDate = true;
  EXPECT_LT(ourTextBox(*engine, 1600, 1200, dateOnly).x1, 0);
  EXPECT_EQ(engine->watermarkDrawDate, "");

  // A file without a date after one with a date: the refresh left no date.
  ImageModifyInfo withDate = textSettings();
  withDate.addWatermarkDate = true;
  EXPECT_GE(ourTextBox(*engine, 1600, 1200, withDate).x1, 0);
  engine->watermarkDrawDate = "";
  engine->watermarkMetadataDate.reset();
  EXPECT_LT(ourTextBox(*engine, 1600, 1200, withDate).x1, 0);
}

TEST(Watermarks, HostileSettingsAndPicturesLeaveFinitePixels) {
  const double nan = std::nan("");
  ImportedImage engine;
  engine.watermarkDrawString = std::string(10000, 'W');
  struct Case {
    const char* what;
    std::shared_ptr<raster::ImageSet> picture;
    raster::Size pictureSize;
    ImageModifyInfo info;
  };
  auto both = [](double size, raster::Point origin, double angle, double opacity) {
    ImageModifyInfo info = pictureSettings(size, origin, angle, opacity);
    info.addWatermarkText = true;
    info.textOrigin = origin, info.textAngle = angle, info.textOpacity = opacity;
    return info;
  };
  const Case cases[] = {
      {"0x0 picture", markedPicture(40, 40), {0, 0}, both(1, {50, 50}, 0, 1)},
      {"1x1 picture", markedPicture(1, 1), {1, 1}, both(1, {50, 50}, 0, 1)},
      {"10000x10000 points", markedPicture(50, 50), {10000, 10000}, both(1, {50, 50}, 30, 1)},
      {"NaN angle", markedPicture(), {400, 200}, both(1, {50, 50}, nan, 1)},
      {"NaN origin", markedPicture(), {400, 200}, both(1, {nan, nan}, 0, 1)},
      {"NaN size and opacity", markedPicture(), {400, 200}, both(nan, {50, 50}, 0, nan)},
      {"negative size, opacity 7", markedPicture(), {400, 200}, both(-1, {50, 50}, 0, 7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.picture->setSize(c.pictureSize);
    engine.watermarkImage = c.picture;
    auto output = whiteOutput(800, 600, outputFormats()[2]);
    engine.drawTextAndImageWithContext(output.get(), c.info);
    EXPECT_EQ(testimages::nonFiniteCount(output->makeImage()), 0);
  }
  engine.drawTextAndImageWithContext(nullptr, both(1, {50, 50}, 0, 1));
}

}  // namespace
}  // namespace velumar

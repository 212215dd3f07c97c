#include "preview/preview_picture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/imported_image.h"
#include "platform/imageio/pdf_document.h"
#include "platform/raster/color_space.h"
#include "support/test_support.h"

namespace velumar {
namespace {

std::string makeImage(const testsupport::TempDir& dir, const std::string& name, const std::string& size,
                      std::vector<std::string> extra = {}) {
  const std::string path = dir.file(name);
  std::vector<std::string> argv = {"/usr/bin/convert", "-size", size, "gradient:red-blue"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  argv.push_back(path);
  const auto result = testsupport::runCommand(argv);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  return path;
}

TEST(PreviewPicture, KeepsAtMostTheCapAndReportsTheFilesSize) {
  testsupport::TempDir dir;
  const struct {
    std::string name, size;
    std::vector<std::string> extra;
    int keptWidth, keptHeight;
    double pixelWidth, pixelHeight, dpi;
  } cases[] = {
      {"big.jpg", "4000x3000", {}, 2048, 1536, 4000, 3000, 72},
      {"cap.png", "2048x1536", {}, 2048, 1536, 2048, 1536, 72},
      {"over.png", "2049x1536", {}, 2048, 1535, 2049, 1536, 72},
      {"print.png", "3000x300", {"-units", "PixelsPerInch", "-density", "300"}, 3000, 300, 3000, 300, 300},
  };
  for (const auto& c : cases) {
    const auto picture = loadPreviewPicture(makeImage(dir, c.name, c.size, c.extra));
    ASSERT_TRUE(picture) << c.name;
    EXPECT_EQ(picture->image.width(), c.keptWidth) << c.name;
    EXPECT_EQ(picture->image.height(), c.keptHeight) << c.name;
    EXPECT_EQ(picture->pixelSize.width, c.pixelWidth) << c.name;
    EXPECT_EQ(picture->pixelSize.height, c.pixelHeight) << c.name;
    EXPECT_EQ(picture->dpi, c.dpi) << c.name;
    EXPECT_EQ(picture->image.format(), QImage::Format_RGBA8888_Premultiplied);
    // The gradient runs red (top) to blue (bottom): the picture is upright.
    const QColor top = picture->image.pixelColor(c.keptWidth / 2, 1);
    const QColor bottom = picture->image.pixelColor(c.keptWidth / 2, c.keptHeight - 2);
    EXPECT_GT(top.red(), 240) << c.name;
    EXPECT_GT(bottom.blue(), 240) << c.name;
  }
}

TEST(PreviewPicture, RefusesWhatCannotBeShown) {
  testsupport::TempDir dir;
  const std::string wide = makeImage(dir, "wide.png", "12000x10");
  const std::string truncated = dir.file("truncated.jpg");
  {
    std::ifstream in(makeImage(dir, "whole.jpg", "300x200"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::ofstream(truncated, std::ios::binary) << bytes.substr(0, 300);
  }
  const std::string garbage = dir.file("garbage.png");
  std::ofstream(garbage) << "\x89PNG\r\n\x1a\n not really";
  for (const std::string& path : {wide, truncated, garbage, dir.file("missing.jpg"), dir.path().string()})
    EXPECT_FALSE(loadPreviewPicture(path)) << path;
}

TEST(PreviewPicture, PdfPagesAreDrawnAtTheSizeOfTheirLargestImage) {
  testsupport::TempDir dir;
  // A 288 × 144-point page holding a 1200 × 600 picture (300 dpi), red
  // over blue.
  std::vector<std::uint8_t> pixels(1200 * 600 * 4, 0);
  for (std::size_t i = 0; i < pixels.size(); i += 4) {
    const bool top = i < pixels.size() / 2;
    pixels[i] = top ? 255 : 0, pixels[i + 2] = top ? 0 : 255, pixels[i + 3] = 255;
  }
  imageio::Frame frame;
  frame.image = raster::Image::make(1200, 600, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(),
                                    std::move(pixels));
  foundation::Dictionary dpi;
  dpi.set("DPIWidth", 300.0);
  dpi.set("DPIHeight", 300.0);
  frame.properties = std::move(dpi);
  const std::string pdf = dir.file("page.pdf");
  ASSERT_TRUE(imageio::writeImagePdf(pdf, {frame}));
  ImportedImage engine;
  const auto sized = loadPreviewPicture(pdf, &engine);
  ASSERT_TRUE(sized);
  EXPECT_EQ(sized->pixelSize.width, 1200);
  EXPECT_EQ(sized->pixelSize.height, 600);
  EXPECT_EQ(sized->dpi, 300);
  EXPECT_EQ(sized->image.size(), QSize(1200, 600));
  EXPECT_GT(sized->image.pixelColor(10, 10).red(), 240);  // upright: red on top
  EXPECT_GT(sized->image.pixelColor(10, 590).blue(), 240);
  const auto pageOnly = loadPreviewPicture(pdf);
  ASSERT_TRUE(pageOnly);
  EXPECT_EQ(pageOnly->image.size(), QSize(288, 144));
  EXPECT_EQ(pageOnly->dpi, 72);
}

TEST(PreviewPicture, PicturesInMemoryAreCappedToo) {
  QImage large(4000, 3000, QImage::Format_ARGB32);
  large.fill(Qt::green);
  const PreviewPicture picture = previewPictureFromImage(large);
  EXPECT_EQ(picture.image.size(), QSize(2048, 1536));
  EXPECT_EQ(picture.pixelSize.width, 4000);
  EXPECT_GT(picture.image.pixelColor(1000, 700).green(), 250);
  EXPECT_TRUE(previewPictureFromImage(QImage()).image.isNull());
}

}  // namespace
}  // namespace velumar

// A semi-transparent picture through the engine into a layered PSD, and
// that PSD through the engine into a PSD again: the composite keeps its
// colour (the matte against white goes in once and comes out once), read
// with our decoder and with psd-tools.

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "driver_test_files.h"
#include "engine/imported_image.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/pixel_convert.h"
#include "support/test_support.h"

namespace velumar {
namespace {

// Straight 8-bit RGBA, translucent everywhere: orange at 96 on the left,
// dark blue at 160 on the right.
constexpr std::uint8_t kLeft[4] = {230, 120, 40, 96};
constexpr std::uint8_t kRight[4] = {20, 40, 110, 160};

raster::ImageRef translucentPicture(std::int64_t width, std::int64_t height) {
  raster::PixelFormat format;
  format.alpha = raster::AlphaInfo::Last;
  std::vector<std::uint8_t> pixels(std::size_t(width * height) * 4);
  for (std::int64_t y = 0; y < height; ++y)
    for (std::int64_t x = 0; x < width; ++x)
      std::memcpy(&pixels[std::size_t(y * width + x) * 4], x < width / 2 ? kLeft : kRight, 4);
  return raster::Image::make(width, height, format, raster::ColorSpace::sRGB(), std::move(pixels),
                             std::size_t(width) * 4);
}

// Premultiplied colour and alpha of pixel (x, y) on the 0..255 scale.
std::vector<double> premultipliedAt(const raster::Image& image, std::int64_t x, std::int64_t y) {
  std::vector<float> row(std::size_t(image.width()) * 4);
  imageio::exportRow(image, y, imageio::RowRequest{32, true}, reinterpret_cast<std::uint8_t*>(row.data()));
  const float* p = &row[std::size_t(x) * 4];
  return {p[0] * p[3] * 255.0, p[1] * p[3] * 255.0, p[2] * p[3] * 255.0, p[3] * 255.0};
}

std::vector<double> premultiplied(const std::uint8_t* straight) {
  const double a = straight[3] / 255.0;
  return {straight[0] * a, straight[1] * a, straight[2] * a, double(straight[3])};
}

// psd-tools' composite pixel (x, y), premultiplied on the 0..255 scale.
std::vector<double> psdToolsAt(const std::string& path, int x, int y) {
  static const char* script =
      "import sys\n"
      "from psd_tools import PSDImage\n"
      "d = PSDImage.open(sys.argv[1]).numpy()\n"
      "px = d[int(sys.argv[3]), int(sys.argv[2])]\n"
      "print(' '.join('%.4f' % (v * 255) for v in list(px[:3] * px[3]) + [px[3]]))\n";
  const auto result =
      testsupport::runCommand({"/usr/bin/python3", "-c", script, path, std::to_string(x), std::to_string(y)});
  std::vector<double> out;
  if (result.exitCode != 0) {
    ADD_FAILURE() << result.output;
    return out;
  }
  std::istringstream in(result.output);
  for (double v; in >> v;) out.push_back(v);
  return out;
}

void expectWithinOneLevel(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1.0) << "component " << i;
}

// The composite of a file read with our decoder and with psd-tools.
void expectCompositeKeepsItsColour(const std::string& path) {
  auto source = imageio::ImageSource::open(path);
  ASSERT_TRUE(source);
  auto composite = source->createImage(0);
  ASSERT_TRUE(composite);
  expectWithinOneLevel(premultipliedAt(*composite, 2, 3), premultiplied(kLeft));
  expectWithinOneLevel(premultipliedAt(*composite, 13, 5), premultiplied(kRight));
  if (testsupport::runCommand({"/usr/bin/python3", "-c", "import psd_tools"}).exitCode != 0) return;
  expectWithinOneLevel(psdToolsAt(path, 2, 3), premultiplied(kLeft));
  expectWithinOneLevel(psdToolsAt(path, 13, 5), premultiplied(kRight));
}

TEST(PsdMatteEndToEnd, ATranslucentCompositeKeepsItsColourFromPSDToPSD) {
  testsupport::TempDir dir;
  const std::string top =
      drivertest::writeImages(dir, "translucent.png", "public.png", {translucentPicture(16, 8)});
  // A second layer, transparent where the checked pixels are.
  raster::ImageRef below = translucentPicture(16, 8);
  std::vector<std::uint8_t> clear(16 * 8 * 4, 0);
  clear[3] = 255;
  below = raster::Image::make(16, 8, below->format(), below->colorSpace(), std::move(clear), 16 * 4);
  const std::string bottom = drivertest::writeImages(dir, "clear.png", "public.png", {below});
  ASSERT_FALSE(top.empty() || bottom.empty());

  // The two pictures as the layers of one file, as a batch collects them.
  ImportedImage engine;
  ImageModifyInfo layeredInfo;
  layeredInfo.conversionType = ConversionType::PSDLayered;
  raster::ImageSet collected;
  for (const std::string& input : {top, bottom}) {
    std::int64_t fileType = -1;
    auto image = engine.resizePixelSizeForURL(input, layeredInfo, &fileType, nullptr);
    ASSERT_TRUE(image);
    for (const auto& rep : image->representations()) collected.addRepresentation(rep);
  }
  const std::string layered = dir.file("layered.psd");
  ASSERT_TRUE(engine.saveImage(collected, ConversionType::PSDLayered, layered, FileType::PSD, 1.0, 0, false,
                               false, false, false));
  {
    SCOPED_TRACE("layered source");
    expectCompositeKeepsItsColour(layered);
  }

  // That file through the engine into a PSD again.
  ImageModifyInfo info;
  info.conversionType = ConversionType::PSD;
  std::int64_t fileType = -1;
  auto image = engine.resizePixelSizeForURL(layered, info, &fileType, nullptr);
  ASSERT_TRUE(image);
  ASSERT_EQ(fileType, FileType::PSD);
  const std::string again = dir.file("again.psd");
  ASSERT_TRUE(
      engine.saveImage(*image, ConversionType::PSD, again, fileType, 1.0, 0, false, false, false, false));
  SCOPED_TRACE("converted");
  expectCompositeKeepsItsColour(again);
}

}  // namespace
}  // namespace velumar

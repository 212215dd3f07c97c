// The stored composite as the loader hands it out: colour matted against
// white is taken back to its own colour, straight colour (as ImageMagick
// stores it) is left alone.

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>

#include "psd/psd_loader.h"
#include "psd/rw_psd_writer.h"
#include "psd/writer_test_images.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using writertest::RGBA;

// Pixels that matter for a matte: half, most and little transparent,
// dark and light colours, opaque and clear.
const std::array<RGBA, 8> kPixels = {RGBA{200, 100, 50, 128},  RGBA{10, 250, 90, 200}, RGBA{0, 0, 0, 180},
                                     RGBA{255, 255, 255, 140}, RGBA{30, 60, 90, 255},  RGBA{90, 30, 60, 0},
                                     RGBA{250, 5, 128, 230},   RGBA{120, 120, 120, 64}};

raster::ImageRef sampleImage() {
  return writertest::makeImage(4, 2, [](int x, int y) { return kPixels[std::size_t(y * 4 + x)]; });
}

// Pixel (x, y) of a premultiplied RGBA8 image.
std::array<int, 4> premultipliedAt(const raster::ImageRef& image, int x, int y) {
  const std::uint8_t* p = image->row(y) + std::size_t(x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

std::string writeOurFile(const testsupport::TempDir& dir) {
  RWPSDWriter writer({4, 2}, 72.0f, 1);
  writer.setColorProfile(2);  // sRGB, as the pixels are
  writer.addLayerWithCGImage(sampleImage(), "Translucent", 1.0f, {0, 0});
  // A second layer that adds nothing, so the file is read as layered.
  writer.addLayerWithCGImage(writertest::solidImage(1, 1, {0, 0, 0, 255}), "Clear", 0.0f, {0, 0});
  const std::vector<std::uint8_t> bytes = writer.createPSDData();
  const std::string path = dir.file("ours.psd");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bytes.empty() ? "" : path;
}

TEST(ReaderComposite, OurMattedCompositeReadsBackAsWritten) {
  testsupport::TempDir dir;
  const std::string path = writeOurFile(dir);
  ASSERT_FALSE(path.empty());
  auto loaded = loadLayeredPSD(path);
  ASSERT_TRUE(loaded && loaded->composite);
  ASSERT_EQ(loaded->composite->width(), 4);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      const RGBA original = kPixels[std::size_t(y * 4 + x)];
      const auto read = premultipliedAt(loaded->composite, x, y);
      ASSERT_EQ(read[3], original.a) << x << "," << y;
      const std::array<int, 3> colour{original.r, original.g, original.b};
      for (int c = 0; c < 3; ++c) {
        // Premultiplied within one level everywhere; the straight colour too
        // where the alpha leaves enough precision for it.
        EXPECT_NEAR(read[std::size_t(c)], (colour[std::size_t(c)] * original.a + 127) / 255, 1)
            << x << "," << y << " component " << c;
        if (original.a >= 128) {
          const double straight = read[std::size_t(c)] * 255.0 / original.a;
          EXPECT_NEAR(straight, colour[std::size_t(c)], 1.0) << x << "," << y << " component " << c;
        }
      }
    }
  }
}

TEST(ReaderComposite, PsdToolsRemovesTheSameMatte) {
  testsupport::TempDir dir;
  const std::string path = writeOurFile(dir);
  ASSERT_FALSE(path.empty());
  const char* script =
      "import sys\n"
      "from psd_tools import PSDImage\n"
      "im = PSDImage.open(sys.argv[1]).topil()\n"
      "print(' '.join('%d,%d,%d,%d' % im.getpixel((x, 0)) for x in range(4)))\n";
  const auto result = testsupport::runCommand({"/usr/bin/python3", "-c", script, path});
  if (result.exitCode != 0) GTEST_SKIP() << "psd-tools cannot run: " << result.output;
  // The first row, straight colour; alpha 0 has no colour to compare.
  std::istringstream row(result.output);
  for (int x = 0; x < 4; ++x) {
    int r = 0, g = 0, b = 0, a = 0;
    char comma = 0;
    row >> r >> comma >> g >> comma >> b >> comma >> a;
    const RGBA original = kPixels[std::size_t(x)];
    EXPECT_EQ(a, original.a) << x;
    EXPECT_NEAR(r, original.r, 1) << x;
    EXPECT_NEAR(g, original.g, 1) << x;
    EXPECT_NEAR(b, original.b, 1) << x;
  }
}

TEST(ReaderComposite, StraightCompositeOfImageMagickIsLeftAlone) {
  testsupport::TempDir dir;
  const std::string path = dir.file("magick.psd");
  // ImageMagick stores the composite's colour unmatted.
  // clang-format off
  const auto made = testsupport::runCommand({"/usr/bin/convert",
      "-size", "8x6", "xc:rgba(200,100,50,0.5)",
      "(", "-size", "8x6", "xc:rgba(200,100,50,0.5)", "-set", "label", "Half", ")",
      "(", "-size", "4x4", "xc:#10e020", "-set", "label", "Green", "-repage", "+2+1", ")",
      "-depth", "8", "-type", "TrueColorAlpha", path});
  // clang-format on
  if (made.exitCode != 0) GTEST_SKIP() << "ImageMagick could not write the PSD: " << made.output;
  auto loaded = loadLayeredPSD(path);
  ASSERT_TRUE(loaded && loaded->composite);
  const auto read = premultipliedAt(loaded->composite, 7, 5);
  ASSERT_EQ(read[3], 128);
  EXPECT_NEAR(read[0] * 255.0 / 128, 200, 1);
  EXPECT_NEAR(read[1] * 255.0 / 128, 100, 1);
  EXPECT_NEAR(read[2] * 255.0 / 128, 50, 1);
}

TEST(ReaderComposite, OpaqueCompositeIsUnchanged) {
  auto loaded = loadLayeredPSD((testsupport::testDataDir() / "psd" / "layers_zip.psd").string());
  ASSERT_TRUE(loaded && loaded->composite);
  // The ImageMagick fixture's composite is the opaque #fedcba background.
  EXPECT_EQ(premultipliedAt(loaded->composite, 0, 0), (std::array<int, 4>{0xfe, 0xdc, 0xba, 255}));
}

}  // namespace
}  // namespace velumar

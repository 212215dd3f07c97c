// The generated resource images: the committed files are what the generator
// makes today, each decodes at its size with our reader and ImageMagick, and
// each is found in the build tree and in an installed prefix.

#include "tools/resource_images/resource_images.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/foundation/files.h"
#include "platform/imageio/image_source.h"
#include "support/test_support.h"

namespace resourceimages {
namespace {

namespace fs = std::filesystem;

const fs::path kCommitted = fs::path(VELUMAR_SOURCE_DIR) / "resources";

bool isSvg(const ResourceImage& image) {
  return fs::path(image.path).extension() == ".svg";
}

std::string fileBytes(const fs::path& path) {
  std::ifstream stream(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

// Decoded pixel rows, without row padding; empty when the file does not decode.
std::string decodedPixels(const fs::path& path) {
  auto source = imageio::ImageSource::open(path.string());
  auto image = source ? source->createImage(0) : nullptr;
  if (!image) return {};
  std::string pixels;
  const std::size_t rowBytes = std::size_t(image->width()) * image->format().bytesPerPixel();
  for (std::int64_t y = 0; y < image->height(); ++y)
    pixels.append(reinterpret_cast<const char*>(image->row(y)), rowBytes);
  return pixels;
}

TEST(ResourceImages, CommittedFilesAreWhatTheGeneratorMakesToday) {
  testsupport::TempDir dir;
  ASSERT_TRUE(writeResourceImages(dir.path().string()));
  for (const auto& image : resourceImages()) {
    SCOPED_TRACE(image.path);
    const fs::path fresh = dir.path() / image.path, committed = kCommitted / image.path;
    ASSERT_TRUE(fs::exists(committed)) << "run velumar_make_resource_images resources and commit the result";
    if (isSvg(image)) {
      EXPECT_EQ(fileBytes(fresh), fileBytes(committed));
    } else {
      const std::string pixels = decodedPixels(fresh);
      EXPECT_FALSE(pixels.empty());
      EXPECT_TRUE(pixels == decodedPixels(committed)) << "pixels differ: regenerate and commit";
    }
  }
}

TEST(ResourceImages, EachDecodesAtItsSizeInSrgbWithOurReaderAndImageMagick) {
  for (const auto& image : resourceImages()) {
    SCOPED_TRACE(image.path);
    const fs::path path = kCommitted / image.path;
    if (isSvg(image)) {
      const auto parsed = testsupport::runCommand(
          {"/usr/bin/python3", "-c",
           "import sys, xml.etree.ElementTree as t; r = t.parse(sys.argv[1]).getroot(); "
           "print(r.tag, r.get('width'), r.get('height'))",
           path.string()});
      EXPECT_EQ(parsed.output, "{http://www.w3.org/2000/svg}svg " + std::to_string(image.width) + " " +
                                   std::to_string(image.height) + "\n");
      continue;
    }
    auto source = imageio::ImageSource::open(path.string());
    auto decoded = source ? source->createImage(0) : nullptr;
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width(), image.width);
    EXPECT_EQ(decoded->height(), image.height);
    EXPECT_EQ(decoded->format().hasAlpha(), image.hasAlpha);
    EXPECT_EQ(decoded->colorSpace()->model(), raster::ColorModel::RGB);
    const auto identified =
        testsupport::runCommand({"/usr/bin/identify", "-format", "%w %h %[colorspace] %A", path.string()});
    EXPECT_EQ(identified.output, std::to_string(image.width) + " " + std::to_string(image.height) + " sRGB " +
                                     (image.hasAlpha ? "True" : "False"));
  }
}

TEST(ResourceImages, FoundInTheBuildTreeAndInAnInstalledPrefix) {
  testsupport::TempDir prefix;
  const auto installed =
      testsupport::runCommand({VELUMAR_CMAKE, "--install", VELUMAR_BINARY_DIR, "--component", "resources",
                               "--prefix", prefix.path().string()});
  ASSERT_EQ(installed.exitCode, 0) << installed.output;
  for (const auto& image : resourceImages()) {
    SCOPED_TRACE(image.path);
    EXPECT_TRUE(fs::equivalent(foundation::bundleResourcePath(image.path), kCommitted / image.path));
    EXPECT_EQ(fileBytes(prefix.path() / "share/velumar" / image.path), fileBytes(kCommitted / image.path));
  }
  const fs::path theme = prefix.path() / "share/icons/hicolor";
  EXPECT_TRUE(fs::exists(theme / "scalable/apps/velumar.svg"));
  EXPECT_TRUE(fs::exists(theme / "512x512/apps/velumar.png"));
  if (!fs::exists("/usr/bin/gtk-update-icon-cache")) GTEST_SKIP() << "no gtk-update-icon-cache";
  // Building the theme's cache reads every icon; validating checks the result.
  for (const char* step : {"--force", "--validate"}) {
    const auto cache = testsupport::runCommand(
        {"/usr/bin/gtk-update-icon-cache", step, "--ignore-theme-index", theme.string()});
    EXPECT_EQ(cache.exitCode, 0) << step << ": " << cache.output;
  }
}

}  // namespace
}  // namespace resourceimages

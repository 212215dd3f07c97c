// Layered PSDs read as one flat picture: files saved without a merged image
// (a white placeholder stands where it belongs) give their layers merged,
// files with a real merged image give that; both as psd-tools and
// ImageMagick see them, within one 8-bit level.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/foundation/failure_cause.h"
#include "platform/imageio/image_source.h"
#include "support/test_support.h"

namespace {

constexpr int kWidth = 37, kHeight = 29;

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Straight RGBA8 of a decoded image (gray repeated into red, green, blue).
std::vector<std::uint8_t> straightRgba8(const raster::Image& image) {
  const raster::PixelFormat& format = image.format();
  const int colours = image.colorSpace()->model() == raster::ColorModel::Gray ? 1 : 3;
  const int stride = format.componentsPerPixel();
  std::vector<std::uint8_t> out;
  for (std::int64_t y = 0; y < image.height(); ++y) {
    const std::uint8_t* row = image.row(y);
    for (std::int64_t x = 0; x < image.width(); ++x) {
      auto sample = [&](int c) {
        const std::size_t at = std::size_t(x * stride + c);
        return format.bitsPerComponent == 16 ? reinterpret_cast<const std::uint16_t*>(row)[at] / 65535.0
                                             : row[at] / 255.0;
      };
      const double alpha = format.hasAlpha() ? sample(colours) : 1.0;
      for (int c = 0; c < 3; ++c) {
        double v = sample(colours == 1 ? 0 : c);
        if (format.isPremultiplied()) v = alpha > 0 ? v / alpha : 0;
        out.push_back(std::uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)));
      }
      out.push_back(std::uint8_t(std::lround(alpha * 255)));
    }
  }
  return out;
}

// The largest difference of alpha, and of colour where there is any alpha,
// over pixels of `samples` samples with alpha last.
int largestDifference(const std::vector<std::uint8_t>& ours, const std::vector<std::uint8_t>& theirs,
                      std::size_t samples) {
  if (ours.size() != theirs.size()) return 256;
  int worst = 0;
  for (std::size_t i = 0; i < ours.size(); i += samples) {
    for (std::size_t c = 0; c < samples; ++c) {
      if (c + 1 < samples && (ours[i + samples - 1] == 0 || theirs[i + samples - 1] == 0)) continue;
      worst = std::max(worst, std::abs(int(ours[i + c]) - int(theirs[i + c])));
    }
  }
  return worst;
}

// Straight CMYKA8 of a decoded CMYK image (ink, then alpha).
std::vector<std::uint8_t> straightCmyka8(const raster::Image& image) {
  std::vector<std::uint8_t> out;
  for (std::int64_t y = 0; y < image.height(); ++y) {
    const std::uint8_t* row = image.row(y);
    out.insert(out.end(), row, row + image.width() * 5);
  }
  return out;
}

TEST(PsdMergedLayers, LayeredFilesMatchIndependentReaders) {
  struct Case {
    const char* kind;
    bool psdToolsExact;  // psd-tools takes a real merged image's matte out at 8 bits
    bool magick;  // ImageMagick merges groups as plain layers
  };
  const Case cases[] = {
      {"rgb16-one", true, true},          {"gray16-one", true, true}, {"rgb16-several", true, true},
      {"rgb16-merged", false, true},      {"rgb8-one", true, true},   {"group-hidden", true, false},
      {"group-half", true, false},        {"names", true, false},     {"cmyk8", true, true},
      {"group-nested-half", true, false}, {"above-top", true, false}, {"extra-channel", true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    const bool cmyk = std::string(c.kind) == "cmyk8";
    testsupport::TempDir dir;
    const std::string psd = dir.file("in.psd");
    const auto made = testsupport::runCommand(
        {"/usr/bin/python3", std::string(VELUMAR_SOURCE_DIR) + "/tests/platform/imageio/psd_layered_sample.py",
         c.kind, psd, dir.file("psd_tools.raw")});
    if (made.exitCode != 0) GTEST_SKIP() << "psd-tools cannot run: " << made.output;
    const auto magick = testsupport::runCommand(
        {"/usr/bin/convert", psd + "[0]", "-depth", "8", (cmyk ? "CMYKA:" : "RGBA:") + dir.file("magick.raw")});
    ASSERT_EQ(magick.exitCode, 0) << magick.output;

    auto source = imageio::ImageSource::open(psd);
    ASSERT_TRUE(source);
    raster::ImageRef image = source->createImage(0);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width(), kWidth);
    ASSERT_EQ(image->height(), kHeight);
    const std::vector<std::uint8_t> ours = cmyk ? straightCmyka8(*image) : straightRgba8(*image);
    if (c.magick) {
      EXPECT_LE(largestDifference(ours, readBytes(dir.file("magick.raw")), cmyk ? 5 : 4), 1);
    }
    if (c.psdToolsExact) {
      EXPECT_LE(largestDifference(ours, readBytes(dir.file("psd_tools.raw")), cmyk ? 5 : 4), 1);
    }
  }
}

// A placeholder composite whose layers are damaged or missing gives no
// picture and a cause, never the white placeholder.
TEST(PsdMergedLayers, PlaceholderWithoutUsableLayersFails) {
  testsupport::TempDir dir;
  const std::string psd = dir.file("in.psd");
  const auto made = testsupport::runCommand(
      {"/usr/bin/python3", std::string(VELUMAR_SOURCE_DIR) + "/tests/platform/imageio/psd_layered_sample.py",
       "rgb16-one", psd, dir.file("psd_tools.raw")});
  if (made.exitCode != 0) GTEST_SKIP() << "psd-tools cannot run: " << made.output;
  std::vector<std::uint8_t> bytes = readBytes(psd);
  // Channel data overwritten after the records, or a layer count of 0.
  const std::array<std::string, 2> damage = {"damaged channels", "no layers"};
  for (const std::string& how : damage) {
    SCOPED_TRACE(how);
    std::vector<std::uint8_t> broken = bytes;
    const auto lr16 = std::search(broken.begin(), broken.end(), std::begin("Lr16"), std::end("Lr16") - 1);
    ASSERT_NE(lr16, broken.end());
    const std::size_t body = std::size_t(lr16 - broken.begin()) + 8;
    if (how == "no layers") {
      broken[body] = broken[body + 1] = 0;
    } else {
      const std::size_t length = std::size_t(broken[body - 2]) << 8 | broken[body - 1];
      std::fill(broken.begin() + std::ptrdiff_t(body + length / 3), broken.begin() + std::ptrdiff_t(body + length),
                0xff);
    }
    const std::string path = dir.file("broken.psd");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(broken.data()), std::streamsize(broken.size()));
    foundation::clearFailure();
    auto source = imageio::ImageSource::open(path);
    if (source) {
      EXPECT_FALSE(source->createImage(0));
    }
    EXPECT_TRUE(foundation::lastFailure());
  }
}

}  // namespace

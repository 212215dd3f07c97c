// The lookup-image filters: the generated images against ImageMagick's
// HaLD lookup, the identity image, the one-entry cache, and images or files
// that break the layout.

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "filters/lookup_image.h"
#include "platform/foundation/files.h"
#include "reference_tools.h"

using filtertest::Pixels;
using velumar::CIFiltering;
using velumar::FilterInfo;

namespace {

const Pixels kColours = filtertest::colourGrid({0.0, 0.13, 0.31, 0.5, 0.62, 0.87, 1.0});

TEST(LookupImages, TheIdentityImageKeepsColoursWithinEightBitRounding) {
  const Pixels out = filtertest::renderType(kColours, 13, FilterInfo{});
  EXPECT_LE(filtertest::largestDifference(out, kColours, true), 1.0f / 255.0f);
}

TEST(LookupImages, AgreeWithImageMagicksHaldLookupOfTheSameImage) {
  testsupport::TempDir dir;
  // The tiles rearranged into HaLD order (red fastest, then green, then blue).
  std::ofstream(dir.file("hald.py"))
      << "import sys, numpy as np\nfrom PIL import Image\n"
         "a = np.asarray(Image.open(sys.argv[1]).convert('RGB')).astype(np.uint16)\n"
         "t = a.reshape(8, 64, 8, 64, 3).transpose(0, 2, 1, 3, 4).reshape(512, 512, 3)\n"
         "v = (t * 257).astype('>u2')\n"
         "open(sys.argv[2], 'wb').write(b'P6\\n512 512\\n65535\\n' + v.tobytes())\n";
  for (std::int64_t type : {14, 15, 27, 36, 38, 51}) {
    const std::string name = CIFiltering::lookupImageName(type);
    const std::string path = foundation::bundleResourcePath(name);
    ASSERT_EQ(testsupport::runCommand({"/usr/bin/python3", dir.file("hald.py"), path, dir.file("hald.ppm")})
                  .exitCode,
              0)
        << name;
    std::optional<Pixels> expected =
        filtertest::imageMagick(kColours, {dir.file("hald.ppm"), "-interpolate", "bilinear", "-hald-clut"});
    ASSERT_TRUE(expected);
    EXPECT_LE(filtertest::largestDifference(filtertest::renderType(kColours, type, FilterInfo{}), *expected),
              filtertest::kReferenceTolerance)
        << name;
  }
}

TEST(LookupImages, OneEntryCache) {
  auto context =
      raster::BitmapContext::create(4, 4, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  CIFiltering engine;
  engine.createNewCIContextWithCGContext(context.get(), true);
  engine.ciFilterWithCGContext(context.get(), 37, FilterInfo{});
  EXPECT_TRUE(engine.lookups().empty());                          // the cross polynomial reads no image
  engine.ciFilterWithCGContext(context.get(), 18, FilterInfo{});  // lookup3.png
  engine.ciFilterWithCGContext(context.get(), 19, FilterInfo{});  // lookup4.png
  ASSERT_EQ(engine.lookups().size(), 1u);
  EXPECT_EQ(engine.lookups()[0].name, "lookup4.png");
  const auto converted = engine.lookups()[0].cube;
  engine.ciFilterWithCGContext(context.get(), 19, FilterInfo{});
  EXPECT_EQ(engine.lookups()[0].cube, converted);  // not converted again
  engine.clearLookups();
  EXPECT_TRUE(engine.lookups().empty());
}

TEST(LookupImages, EveryLookupTypeFindsItsImage) {
  CIFiltering engine;
  int found = 0;
  for (std::int64_t type = 13; type <= 51; ++type) {
    const std::string name = CIFiltering::lookupImageName(type);
    if (name.empty()) continue;
    EXPECT_TRUE(engine.setupColorFilterForImageName(name)) << name;
    ++found;
  }
  EXPECT_EQ(found, 38);
}

raster::ImageRef blank(std::int64_t width, std::int64_t height) {
  return raster::Image::make(width, height, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(),
                             std::vector<std::uint8_t>(std::size_t(width * height * 4), 255));
}

TEST(LookupImages, OnlyExactlySixtyFourWholeTilesMakeACube) {
  struct Case {
    std::int64_t width, height;
    bool accepted;
  };
  for (const Case& c :
       {Case{512, 512, true}, Case{4096, 64, true}, Case{256, 1024, true}, Case{576, 512, false},
        Case{500, 512, false}, Case{512, 520, false}, Case{64, 64, false}, Case{1024, 1024, false}}) {
    EXPECT_EQ(velumar::lookupCubeFromImage(blank(c.width, c.height)) != nullptr, c.accepted)
        << c.width << "x" << c.height;
  }
}

TEST(LookupImages, DamagedFilesFailCleanly) {
  const std::string original = foundation::bundleResourcePath("lookup7.png");
  const std::optional<foundation::Data> bytes = foundation::readFile(original);
  ASSERT_TRUE(bytes);
  testsupport::TempDir dir;
  const std::string path = dir.file("damaged.png");
  const auto attempt = [&](const foundation::Data& data) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    auto cube = velumar::lookupCubeFromFile(path);
    if (cube) {
      EXPECT_EQ(cube->size(), std::size_t(64 * 64 * 64 * 16));
    }
  };
  for (std::size_t length : {std::size_t(0), std::size_t(8), std::size_t(33), std::size_t(100),
                             bytes->size() / 2, bytes->size() - 1}) {
    attempt(foundation::Data(bytes->begin(), bytes->begin() + std::ptrdiff_t(length)));
  }
  std::mt19937 random(11);
  for (int round = 0; round < 30; ++round) {
    foundation::Data flipped = *bytes;
    for (int k = 0; k < 4; ++k) flipped[random() % flipped.size()] ^= std::uint8_t(1u << (random() % 8));
    attempt(flipped);
  }
  EXPECT_FALSE(velumar::lookupCubeFromFile(dir.file("missing.png")));
}

}  // namespace

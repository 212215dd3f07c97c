// The icon writers: ICNS entries as outside readers list them, the icon-set
// folders' names and sizes, the master's geometry with corners and shadow,
// folder naming and partial failures.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/imported_image.h"
#include "engine_test_images.h"
#include "platform/imageio/image_source.h"
#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;
using testimages::Pixels8;
using testimages::pixels8;

// An opaque red source of the given pixel size.
BitmapRepRef redSource(std::int64_t width, std::int64_t height) {
  auto rep = raster::BitmapImageRep::withImage(testimages::solidImage(width, height, {255, 0, 0}));
  return rep;
}

Pixels8 readPixels(const std::string& path, std::size_t index = 0) {
  auto source = imageio::ImageSource::open(path);
  return source ? pixels8(source->createImage(index)) : Pixels8{};
}

std::string tool(const std::vector<std::string>& argv) {
  const auto result = testsupport::runCommand(argv);
  return result.exitCode == 0 ? result.output : std::string("failed: ") + result.output;
}

TEST(IconSets, IcnsHoldsTenEntriesInOrderForEveryReader) {
  testsupport::TempDir dir;
  const std::string path = dir.file("photo.icns");
  ImportedImage engine;
  ASSERT_TRUE(engine.saveIcnsFromImageRep(redSource(300, 200), path, false, false));
  EXPECT_EQ(engine.urlsArray, std::vector<std::string>{path});

  const std::vector<std::pair<int, double>> entries = {{1024, 144}, {512, 72}, {512, 144}, {256, 72},
                                                       {256, 144},  {128, 72}, {64, 144},  {32, 72},
                                                       {32, 144},   {16, 72}};
  auto source = imageio::ImageSource::open(path);
  ASSERT_TRUE(source);
  ASSERT_EQ(source->count(), entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    auto image = source->createImage(i);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), entries[i].first);
    EXPECT_EQ(image->height(), entries[i].first);
    const foundation::Value properties = source->properties(i);
    const foundation::Value* dpi = properties.get("DPIWidth");
    EXPECT_EQ(dpi ? dpi->doubleOr(0) : 0, entries[i].second);
  }

  // icns2png lists the entries in file order by their types (it does not
  // know every newer type's size).
  const std::string listing = tool({"icns2png", "-l", path});
  std::size_t at = 0;
  for (const char* type : {"'ic10' 1024x1024", "'ic09' 512x512", "'ic14'", "'ic08' 256x256", "'ic13'",
                           "'ic07'", "'ic12'", "'icp5'", "'ic11'", "'icp4'"}) {
    at = listing.find(type, at);
    ASSERT_NE(at, std::string::npos) << type << " in\n" << listing;
  }
  EXPECT_NE(listing.find("10 elements total"), std::string::npos) << listing;
  // Pillow names them by point size and scale.
  const std::string pillow = tool({"/usr/bin/python3", "-c",
                                   "import sys; from PIL import Image\n"
                                   "im = Image.open(sys.argv[1]); print(sorted(im.info['sizes']))",
                                   path});
  EXPECT_EQ(pillow,
            "[(16, 16, 1), (16, 16, 2), (32, 32, 1), (32, 32, 2), (128, 128, 1), (128, 128, 2), (256, 256, "
            "1), (256, 256, 2), "
            "(512, 512, 1), (512, 512, 2)]\n");
}

struct FolderKind {
  const char* suffix;
  std::vector<std::pair<std::string, int>> files;
};

const FolderKind kXcode{"_Xcode Iconset",
                        {{"osx_512x512@2x.png", 1024},
                         {"osx_512x512.png", 512},
                         {"osx_256x256@2x.png", 512},
                         {"osx_256x256.png", 256},
                         {"osx_128x128@2x.png", 256},
                         {"osx_128x128.png", 128},
                         {"osx_32x32@2x.png", 64},
                         {"osx_32x32.png", 32},
                         {"osx_16x16@2x.png", 32},
                         {"osx_16x16.png", 16}}};

const FolderKind kIOS{"_iOS Icons",
                      {{"ios_512x512@2x.png", 1024}, {"ios_512x512.png", 512},  {"ios_83.5x83.5@2x.png", 167},
                       {"ios_76x76@2x.png", 152},    {"ios_76x76.png", 76},     {"ios_72x72@2x.png", 144},
                       {"ios_72x72.png", 72},        {"ios_60x60@2x.png", 120}, {"ios_60x60.png", 60},
                       {"ios_57x57@2x.png", 114},    {"ios_57x57.png", 57},     {"ios_50x50@2x.png", 100},
                       {"ios_50x50.png", 50},        {"ios_40x40@2x.png", 80},  {"ios_40x40.png", 40},
                       {"ios_29x29@2x.png", 58},     {"ios_29x29.png", 29},     {"ios_60x60@3x.png", 180},
                       {"ios_40x40@3x.png", 120},    {"ios_29x29@3x.png", 87}}};

TEST(IconSets, FoldersHoldEveryNameAtItsSizeAsSquareRGBA) {
  for (const FolderKind* kind : {&kXcode, &kIOS}) {
    SCOPED_TRACE(kind->suffix);
    testsupport::TempDir dir;
    ImportedImage engine;
    const bool written = kind == &kXcode
                             ? engine.saveXcodeIconsetFromImageRep(redSource(2000, 1000),
                                                                   dir.file("photo.png"), false, false, false)
                             : engine.saveIOSIconsetFromImageRep(redSource(2000, 1000), dir.file("photo.png"),
                                                                 false, false, false);
    ASSERT_TRUE(written);
    const std::string folder = dir.file(std::string("photo") + kind->suffix);
    EXPECT_EQ(engine.urlsArray, std::vector<std::string>{folder});
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) count += entry.is_regular_file();
    EXPECT_EQ(count, kind->files.size());
    for (const auto& [name, pixels] : kind->files) {
      const std::string described =
          tool({"/usr/bin/identify", "-format", "%w %h %[channels] %[colorspace]", folder + "/" + name});
      const std::string size = std::to_string(pixels);
      EXPECT_EQ(described, size + " " + size + " srgba sRGB") << name;
      // The 2:1 source leaves transparent bands above and below in every size.
      const Pixels8 icon = readPixels(folder + "/" + name);
      ASSERT_EQ(icon.width, pixels);
      EXPECT_EQ(icon.at(pixels / 2, 0)[3], 0) << name;
      EXPECT_EQ(icon.at(pixels / 2, pixels - 1)[3], 0) << name;
      EXPECT_EQ(icon.at(pixels / 2, pixels / 2)[3], 255) << name;
    }
  }
}

// The master of an Xcode icon set written from source.
Pixels8 master(const BitmapRepRef& source, bool rounded, bool shadow) {
  testsupport::TempDir dir;
  ImportedImage engine;
  if (!engine.saveXcodeIconsetFromImageRep(source, dir.file("m.png"), false, rounded, shadow)) return {};
  return readPixels(dir.file("m_Xcode Iconset/osx_512x512@2x.png"));
}

TEST(IconSets, MasterGeometryBandsCornersAndShadow) {
  // 2000 × 1000 → 1024 × 512 at y 256.
  const Pixels8 banded = master(redSource(2000, 1000), false, false);
  ASSERT_EQ(banded.width, 1024);
  for (std::int64_t x : {0, 512, 1023}) {
    EXPECT_EQ(banded.at(x, 255)[3], 0);
    EXPECT_EQ(banded.at(x, 256), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(banded.at(x, 767), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(banded.at(x, 768)[3], 0);
  }

  // Corners of radius 256: the corner pixels are clear, the edges' middles are not.
  const Pixels8 rounded = master(redSource(500, 500), true, false);
  ASSERT_EQ(rounded.width, 1024);
  for (auto [x, y] : {std::pair{3, 3}, {1020, 3}, {3, 1020}, {1020, 1020}, {60, 60}})
    EXPECT_EQ(rounded.at(x, y)[3], 0);
  for (auto [x, y] : {std::pair{0, 512}, {512, 0}, {80, 80}}) EXPECT_EQ(rounded.at(x, y)[3], 255);

  // Shadow without corners: content in (10, 10, 1004, 1004), shadow right and below.
  const Pixels8 shadowed = master(redSource(500, 500), false, true);
  ASSERT_EQ(shadowed.width, 1024);
  EXPECT_EQ(shadowed.at(10, 10), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(shadowed.at(1013, 1013), (std::array<int, 4>{255, 0, 0, 255}));
  for (int d : {2, 5, 8}) {
    const auto left = shadowed.at(9 - d, 512), right = shadowed.at(1014 + d, 512);
    const auto above = shadowed.at(512, 9 - d), below = shadowed.at(512, 1014 + d);
    EXPECT_GT(right[3], left[3] + 5) << d;
    EXPECT_GT(below[3], above[3] + 20) << d;
    EXPECT_EQ(right[0], 0) << "the shadow is black";
  }
}

TEST(IconSets, FolderNamesOverwriteAndPartialFailures) {
  testsupport::TempDir dir;
  const std::string path = dir.file("photo.png");
  const std::string folder = dir.file("photo_Xcode Iconset");
  ImportedImage engine;
  ASSERT_TRUE(engine.saveXcodeIconsetFromImageRep(redSource(64, 64), path, false, false, false));
  ASSERT_TRUE(engine.saveXcodeIconsetFromImageRep(redSource(64, 64), path, false, false, false));
  EXPECT_TRUE(fs::is_directory(folder + " 2"));
  fs::remove(folder + "/osx_16x16.png");
  ASSERT_TRUE(engine.saveXcodeIconsetFromImageRep(redSource(64, 64), path, true, false, false));
  EXPECT_TRUE(fs::exists(folder + "/osx_16x16.png"));
  EXPECT_FALSE(fs::exists(folder + " 3"));
  EXPECT_EQ(engine.urlsArray, (std::vector<std::string>{folder, folder + " 2", folder}));

  // A regular file in the folder's place: nothing is drawn or written.
  testsupport::TempDir other;
  std::ofstream(other.file("photo_Xcode Iconset")) << "not a folder";
  ImportedImage blocked;
  EXPECT_FALSE(
      blocked.saveXcodeIconsetFromImageRep(redSource(64, 64), other.file("photo.png"), true, false, false));
  EXPECT_TRUE(fs::is_regular_file(other.file("photo_Xcode Iconset")));
  EXPECT_TRUE(blocked.urlsArray.empty());

  // One file that cannot be written: the others are, the folder is not recorded.
  testsupport::TempDir partial;
  fs::create_directories(partial.file("photo_Xcode Iconset/osx_512x512.png"));
  ImportedImage failing;
  EXPECT_FALSE(
      failing.saveXcodeIconsetFromImageRep(redSource(64, 64), partial.file("photo.png"), true, false, false));
  EXPECT_TRUE(failing.urlsArray.empty());
  EXPECT_TRUE(fs::is_directory(partial.file("photo_Xcode Iconset/osx_512x512.png")));
  EXPECT_TRUE(fs::is_regular_file(partial.file("photo_Xcode Iconset/osx_512x512@2x.png")));
  EXPECT_TRUE(fs::is_regular_file(partial.file("photo_Xcode Iconset/osx_16x16.png")));
}

TEST(IconSets, TwoXFolderHoldsTheSourceSizeAndItsHalf) {
  const struct {
    std::int64_t width, height;
    bool written;
    std::int64_t halfWidth, halfHeight;  // 0: no half-size file
  } cases[] = {{1001, 601, true, 500, 300}, {1, 40, false, 0, 0}, {40, 1, false, 0, 0}, {2, 2, true, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    testsupport::TempDir dir;
    ImportedImage engine;
    EXPECT_EQ(engine.saveXcode2XSetFromImageRep(redSource(c.width, c.height), dir.file("photo.jpg"), false,
                                                true, true),
              c.written);
    EXPECT_EQ(engine.urlsArray.size(), c.written ? 1u : 0u);
    const std::string folder = dir.file("photo_Xcode @2X");
    const Pixels8 twoX = readPixels(folder + "/photo@2x.png");
    EXPECT_EQ(twoX.width, c.width);
    EXPECT_EQ(twoX.height, c.height);
    const Pixels8 half = readPixels(folder + "/photo.png");
    EXPECT_EQ(half.width, c.halfWidth);
    EXPECT_EQ(half.height, c.halfHeight);
  }
}

TEST(IconSets, TheOutputDispatcherWritesEachKind) {
  const struct {
    std::int64_t code;
    const char* written;
  } kinds[] = {{ConversionType::ICNS, "photo.icns"},
               {ConversionType::IOSIconSet, "photo_iOS Icons"},
               {ConversionType::XcodeIconSet, "photo_Xcode Iconset"},
               {ConversionType::Xcode2xFolder, "photo_Xcode @2X"}};
  for (const auto& kind : kinds) {
    testsupport::TempDir dir;
    ImportedImage engine;
    const std::string path = dir.file(kind.code == ConversionType::ICNS ? "photo.icns" : "photo.png");
    EXPECT_TRUE(engine.saveImage(raster::ImageSet::withRepresentation(redSource(40, 30)), kind.code, path, 1,
                                 1, 0, false, false, true, true))
        << kind.written;
    EXPECT_EQ(engine.urlsArray, std::vector<std::string>{dir.file(kind.written)});
  }
}

TEST(IconSets, ExtremeSourcesGiveFullIconFiles) {
  for (auto [width, height] : {std::pair<std::int64_t, std::int64_t>{1, 1}, {1, 10000}, {10000, 10000}}) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    testsupport::TempDir dir;
    ImportedImage engine;
    ASSERT_TRUE(engine.saveIcnsFromImageRep(redSource(width, height), dir.file("x.icns"), true, true));
    const Pixels8 big = readPixels(dir.file("x.icns"));
    EXPECT_EQ(big.width, 1024);
  }
  ImportedImage engine;
  testsupport::TempDir dir;
  EXPECT_FALSE(engine.saveIcnsFromImageRep(nullptr, dir.file("none.icns"), false, false));
  EXPECT_FALSE(engine.saveIOSIconsetFromImageRep(nullptr, dir.file("none.png"), false, false, false));
  EXPECT_FALSE(fs::exists(dir.file("none_iOS Icons")));
}

}  // namespace
}  // namespace velumar

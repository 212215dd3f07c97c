#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "doc_codecs_support.h"
#include "platform/foundation/log.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/metadata.h"
#include "support/test_support.h"

using foundation::Dictionary;
using foundation::Value;
using namespace doctest;

namespace {

std::string exiftool(const std::string& path, const std::vector<std::string>& tags) {
  std::vector<std::string> argv = {"exiftool", "-s", "-s", "-s", "-n"};
  for (const auto& t : tags) argv.push_back("-" + t);
  argv.push_back(path);
  return testsupport::runCommand(argv).output;
}

bool haveTools() {
  return testsupport::runCommand({"exiftool", "-ver"}).exitCode == 0 &&
         testsupport::runCommand({"/usr/bin/convert", "-version"}).exitCode == 0;
}

// A small picture with camera metadata written by exiftool: rotated by 90
// degrees, a date, a camera, a position, keywords and an XMP copy of the
// orientation.
std::string makeTaggedJpeg(const testsupport::TempDir& dir) {
  const std::string path = dir.file("tagged.jpg");
  if (testsupport::runCommand({"/usr/bin/convert", "-size", "64x48", "gradient:red-blue", path}).exitCode !=
      0)
    return {};
  auto tagged = testsupport::runCommand({"exiftool",
                                         "-q",
                                         "-overwrite_original",
                                         "-n",
                                         "-Orientation=6",
                                         "-XMP-tiff:Orientation=6",
                                         "-DateTimeOriginal=2019:07:04 18:30:00",
                                         "-Make=Testmaker",
                                         "-Model=T1",
                                         "-ExposureTime=0.004",
                                         "-FNumber=5.6",
                                         "-ISO=200",
                                         "-GPSLatitude=48.8584",
                                         "-GPSLatitudeRef=N",
                                         "-GPSLongitude=2.2945",
                                         "-GPSLongitudeRef=E",
                                         "-IPTC:Keywords=tower",
                                         "-IPTC:Keywords=paris",
                                         "-ExifImageWidth=64",
                                         "-ExifImageHeight=48",
                                         path});
  return tagged.exitCode == 0 ? path : std::string();
}

}  // namespace

TEST(Metadata, ReadsARealCameraPhoto) {
  const auto root = testsupport::fetchDebianPackageFiles("plasma-workspace-wallpapers");
  const auto photo = root / "usr/share/wallpapers/ColorfulCups/contents/screenshot.jpg";
  if (root.empty() || !std::filesystem::exists(photo)) GTEST_SKIP() << "wallpaper package unavailable";

  Value props(Dictionary{});
  ASSERT_TRUE(imageio::readMetadata(photo.string(), props));
  EXPECT_EQ(at(props, {"{Exif}", "DateTimeOriginal"}).stringOr(""), "2014:04:29 14:25:26");
  EXPECT_EQ(at(props, {"{TIFF}", "Make"}).stringOr(""), "SONY");
  EXPECT_EQ(at(props, {"{TIFF}", "Model"}).stringOr(""), "NEX-3N");
  EXPECT_DOUBLE_EQ(at(props, {"{Exif}", "ExposureTime"}).doubleOr(0), 0.0015625);
  EXPECT_DOUBLE_EQ(at(props, {"{Exif}", "FNumber"}).doubleOr(0), 8.0);
  ASSERT_TRUE(props.get({"{Exif}", "ISOSpeedRatings"}));
  ASSERT_TRUE(at(props, {"{Exif}", "ISOSpeedRatings"}).isArray());
  EXPECT_EQ(at(props, {"{Exif}", "ISOSpeedRatings"}).asArray()->at(0).intOr(0), 400);
  EXPECT_NEAR(at(props, {"{GPS}", "Latitude"}).doubleOr(0), 56.1559950833, 1e-6);
  EXPECT_EQ(at(props, {"{GPS}", "LatitudeRef"}).stringOr(""), "N");
  EXPECT_NEAR(at(props, {"{GPS}", "Longitude"}).doubleOr(0), 10.2082047833, 1e-6);
  EXPECT_EQ(at(props, {"{GPS}", "LongitudeRef"}).stringOr(""), "E");
  EXPECT_EQ(at(props, {"Orientation"}).intOr(0), 1);
  ASSERT_TRUE(props.get({imageio::kRawMetadataKey, "Exif"}));
  EXPECT_TRUE(at(props, {imageio::kRawMetadataKey, "Exif"}).isData());
}

// The writer's part: everything kept, orientation reset, pixel dimensions
// replaced, in every format that takes metadata.
TEST(Metadata, WrittenBackWithOrientationResetAndNewDimensions) {
  if (!haveTools()) GTEST_SKIP() << "exiftool or ImageMagick missing";
  testsupport::TempDir dir;
  const std::string source = makeTaggedJpeg(dir);
  ASSERT_FALSE(source.empty());
  Value props(Dictionary{});
  ASSERT_TRUE(imageio::readMetadata(source, props));
  EXPECT_EQ(at(props, {"Orientation"}).intOr(0), 6);
  EXPECT_EQ(at(props, {"{IPTC}", "Keywords"}).asArray()->size(), 2u);

  // What the writers do to the record.
  Dictionary& d = *props.asDictionary();
  d.set("Orientation", 1);
  d.set("DPIWidth", 144.0);
  d.set("DPIHeight", 144.0);
  d["{TIFF}"].asDictionary()->set("Orientation", 1);
  d["{TIFF}"].asDictionary()->set("XResolution", 144.0);
  d["{TIFF}"].asDictionary()->set("YResolution", 144.0);
  d["{TIFF}"].asDictionary()->set("ResolutionUnit", 2);
  d["{Exif}"].asDictionary()->set("PixelXDimension", 30);
  d["{Exif}"].asDictionary()->set("PixelYDimension", 20);

  struct Case {
    const char* type;
    const char* extension;
  };
  const Case cases[] = {{"public.jpeg", "jpg"},
                        {"public.png", "png"},
                        {"public.tiff", "tif"},
                        {"org.webmproject.webp", "webp"},
                        {"com.adobe.photoshop-image", "psd"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    const std::string out = dir.file(std::string("out.") + c.extension);
    ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "30x20", "xc:green", out}).exitCode, 0);
    ASSERT_TRUE(imageio::writeMetadata(out, c.type, {imageio::Frame{nullptr, props, std::nullopt}}));

    Value back(Dictionary{});
    ASSERT_TRUE(imageio::readMetadata(out, back));
    EXPECT_EQ(at(back, {"Orientation"}).intOr(0), 1);
    EXPECT_EQ(at(back, {"{Exif}", "DateTimeOriginal"}).stringOr(""), "2019:07:04 18:30:00");
    EXPECT_EQ(at(back, {"{TIFF}", "Make"}).stringOr(""), "Testmaker");
    EXPECT_EQ(at(back, {"{Exif}", "PixelXDimension"}).intOr(0), 30);
    EXPECT_EQ(at(back, {"{Exif}", "PixelYDimension"}).intOr(0), 20);
    // A TIFF's resolution belongs to its encoder, which writes it from the DPI.
    if (std::string(c.type) != "public.tiff") {
      EXPECT_DOUBLE_EQ(at(back, {"{TIFF}", "XResolution"}).doubleOr(0), 144.0);
    }
    EXPECT_NEAR(at(back, {"{GPS}", "Latitude"}).doubleOr(0), 48.8584, 1e-4);
    // Another reader agrees, XMP included.
    const std::string seen =
        exiftool(out, {"EXIF:Orientation", "XMP-tiff:Orientation", "ImageWidth", "Make"});
    EXPECT_EQ(seen, "1\n1\n30\nTestmaker\n");
    if (std::string(c.type) == "public.jpeg" || std::string(c.type) == "public.tiff") {
      EXPECT_EQ(exiftool(out, {"IPTC:Keywords"}), "tower, paris\n");
    }
  }
}

TEST(Metadata, KeysTheFrameDropsAreRemoved) {
  if (!haveTools()) GTEST_SKIP() << "exiftool or ImageMagick missing";
  testsupport::TempDir dir;
  const std::string source = makeTaggedJpeg(dir);
  ASSERT_FALSE(source.empty());
  Value props(Dictionary{});
  ASSERT_TRUE(imageio::readMetadata(source, props));
  props.asDictionary()->erase("{GPS}");
  props.asDictionary()->erase("{IPTC}");
  const std::string out = dir.file("out.jpg");
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "8x8", "xc:green", out}).exitCode, 0);
  ASSERT_TRUE(imageio::writeMetadata(out, "public.jpeg", {imageio::Frame{nullptr, props, std::nullopt}}));
  Value back(Dictionary{});
  ASSERT_TRUE(imageio::readMetadata(out, back));
  EXPECT_FALSE(back.get({"{GPS}", "Latitude"}));
  EXPECT_FALSE(back.get("{IPTC}"));
  EXPECT_EQ(at(back, {"{TIFF}", "Make"}).stringOr(""), "Testmaker");
}

TEST(Metadata, NothingToWriteLeavesTheFileAlone) {
  testsupport::TempDir dir;
  const std::string out = dir.file("plain.jpg");
  if (testsupport::runCommand({"/usr/bin/convert", "-size", "8x8", "xc:green", out}).exitCode != 0)
    GTEST_SKIP() << "ImageMagick missing";
  const auto before = readAll(out);
  const Value props(Dictionary{{"DPIWidth", 72.0}, {"DPIHeight", 72.0}});
  EXPECT_TRUE(imageio::writeMetadata(out, "public.jpeg", {imageio::Frame{nullptr, props, std::nullopt}}));
  EXPECT_TRUE(
      imageio::writeMetadata(out, "com.compuserve.gif", {imageio::Frame{nullptr, props, std::nullopt}}));
  EXPECT_EQ(readAll(out), before);
}

// The resolution of a JPEG as exiftool reads it: JFIF where the encoder
// writes that header (gray, RGB), Exif where it does not (CMYK), and the
// Photoshop resolution resource beside an IPTC record.
TEST(Metadata, JpegResolutionReadsBackForEveryColourModel) {
  if (!haveTools()) GTEST_SKIP() << "exiftool or ImageMagick missing";
  testsupport::TempDir dir;
  const struct {
    const char* name;
    int components;
    bool iptc;
    const char* expected;  // JFIF x, y; Exif x, y, unit; Photoshop x, y
  } cases[] = {
      {"gray", 1, false, "300 150 - - - - -"},
      {"rgb", 3, false, "300 150 - - - - -"},
      {"cmyk", 4, false, "- - 300 150 2 - -"},
      {"rgb with iptc", 3, true, "300 150 - - - 300 150"},
      {"cmyk with iptc", 4, true, "- - 300 150 2 300 150"},
  };
  const std::vector<std::string> tags = {"f", "JFIF:XResolution",     "JFIF:YResolution",      "EXIF:XResolution",
                                         "EXIF:YResolution",     "EXIF:ResolutionUnit",   "Photoshop:XResolution",
                                         "Photoshop:YResolution"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = dir.file(std::string(c.name) + ".jpg");
    Dictionary props{{"DPIWidth", 300.0}, {"DPIHeight", 150.0}};
    if (c.iptc) props.set("{IPTC}", Value(Dictionary{{"Keywords", Value(foundation::Array{Value("tower")})}}));
    auto destination = imageio::ImageDestination::create(out, "public.jpeg", 1);
    ASSERT_TRUE(destination);
    destination->addImage(makeImage(24, 16, c.components, 8, false), Value(props));
    ASSERT_TRUE(destination->finalize());
    // -f prints "-" for a missing tag.
    std::string seen = exiftool(out, tags);
    std::replace(seen.begin(), seen.end(), '\n', ' ');
    EXPECT_EQ(seen, std::string(c.expected) + " ");
    if (c.iptc) {
      EXPECT_EQ(exiftool(out, {"IPTC:Keywords"}), "tower\n");
    }
    // Our reader finds it too, in JFIF or in Exif.
    auto source = imageio::ImageSource::open(out);
    ASSERT_TRUE(source);
    EXPECT_DOUBLE_EQ(at(source->properties(0), {"DPIWidth"}).doubleOr(0), 300.0);
    EXPECT_DOUBLE_EQ(at(source->properties(0), {"DPIHeight"}).doubleOr(0), 150.0);
  }
}

// Garbage where metadata should be: no crash, what can be kept is kept.
TEST(Metadata, MalformedBlocksFailCleanly) {
  testsupport::TempDir dir;
  const std::string out = dir.file("plain.jpg");
  if (testsupport::runCommand({"/usr/bin/convert", "-size", "8x8", "xc:green", out}).exitCode != 0)
    GTEST_SKIP() << "ImageMagick missing";

  std::uint32_t seed = 99;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return std::uint8_t(seed >> 24);
  };
  for (int round = 0; round < 40; ++round) {
    foundation::Data garbage(std::size_t(8 + round * 37));
    for (auto& b : garbage) b = next();
    if (round % 2 == 0) {
      // A plausible TIFF header in front of nonsense.
      const std::uint8_t header[] = {'I', 'I', 42, 0, 8, 0, 0, 0};
      std::copy(std::begin(header), std::end(header), garbage.begin());
    }
    Dictionary raw{{"Exif", garbage}, {"IPTC", garbage}, {"XMP", garbage}};
    Value props(Dictionary{{imageio::kRawMetadataKey, Value(raw)}, {"Orientation", 1}});
    imageio::exifBlockForProperties(props);
    imageio::writeMetadata(out, "public.jpeg", {imageio::Frame{nullptr, props, std::nullopt}});
    Value back(Dictionary{});
    imageio::readMetadata(out, back);
  }

  // Byte flips inside the Exif segment of a tagged file.
  if (!haveTools()) return;
  const std::string tagged = makeTaggedJpeg(dir);
  ASSERT_FALSE(tagged.empty());
  const auto original = readAll(tagged);
  for (int i = 0; i < 200; ++i) {
    auto bytes = original;
    const std::size_t at = 20 + (std::size_t(i) * 7919) % std::min<std::size_t>(bytes.size() - 20, 1500);
    bytes[at] ^= std::uint8_t(1u << (i % 8));
    writeAll(dir.file("flipped.jpg"), bytes);
    Value back(Dictionary{});
    imageio::readMetadata(dir.file("flipped.jpg"), back);
    imageio::writeMetadata(out, "public.jpeg", {imageio::Frame{nullptr, back, std::nullopt}});
  }
  EXPECT_FALSE(imageio::readMetadata(dir.file("missing.jpg"), *std::make_unique<Value>(Dictionary{})));
}

// exiv2 rewrites a TIFF's first directory; the other pages must survive.
TEST(Metadata, MultiPageTiffKeepsItsPages) {
  if (!haveTools()) GTEST_SKIP() << "exiftool or ImageMagick missing";
  testsupport::TempDir dir;
  const std::string source = makeTaggedJpeg(dir);
  ASSERT_FALSE(source.empty());
  Value props(Dictionary{});
  ASSERT_TRUE(imageio::readMetadata(source, props));
  const std::string tiff = dir.file("pages.tif");
  ASSERT_EQ(
      testsupport::runCommand({"/usr/bin/convert", "-size", "20x20", "xc:red", "xc:green", "xc:blue", tiff})
          .exitCode,
      0);
  const imageio::Frame frame{nullptr, props, std::nullopt};
  ASSERT_TRUE(imageio::writeMetadata(tiff, "public.tiff", {frame, frame, frame}));
  const auto info = testsupport::runCommand({"tiffinfo", tiff});
  // Count the image directories (tiffinfo also lists the Exif and GPS ones).
  std::size_t pages = 0;
  for (std::size_t at = info.output.find("Image Width:"); at != std::string::npos;
       at = info.output.find("Image Width:", at + 1))
    ++pages;
  EXPECT_EQ(pages, 3u);
  EXPECT_EQ(exiftool(tiff, {"Make"}), "Testmaker\n");
  // And the pixels still decode.
  auto pagesSource = imageio::ImageSource::open(tiff);
  ASSERT_TRUE(pagesSource);
  ASSERT_EQ(pagesSource->count(), 3u);
  EXPECT_TRUE(pagesSource->createImage(2));
}

namespace {

// Standard error of this process while fn runs.
std::string capturedStderr(const std::function<void()>& fn) {
  testsupport::TempDir dir;
  const std::string file = dir.file("stderr");
  std::fflush(stderr);
  const int saved = ::dup(2);
  const int target = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(target, 2);
  ::close(target);
  fn();
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

// exiv2's complaints about ordinary camera files (duplicate XMP nodes and
// the like) are debug detail: reading the metadata of the wallpaper
// packages' photos prints nothing at the default log level.
TEST(Metadata, CameraPhotosPrintNothingAtTheDefaultLogLevel) {
  ASSERT_FALSE(foundation::debugLogging());
  std::vector<std::filesystem::path> photos;
  for (const char* package : {"plasma-workspace-wallpapers", "mate-backgrounds"}) {
    const auto root = testsupport::fetchDebianPackageFiles(package);
    if (root.empty()) continue;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
      if (entry.path().extension() == ".jpg") photos.push_back(entry.path());
  }
  if (photos.empty()) GTEST_SKIP() << "wallpaper packages unavailable";
  std::size_t read = 0;
  const std::string printed = capturedStderr([&] {
    for (const auto& photo : photos) {
      Value props(Dictionary{});
      if (!imageio::readMetadata(photo.string(), props)) continue;
      ++read;
    }
  });
  EXPECT_GT(read, photos.size() / 2);
  EXPECT_EQ(printed, "");
}

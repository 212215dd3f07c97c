// Type detection: extension table, magic bytes when the extension is
// missing or unknown, and the readable-image probe.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/imageio/type_detection.h"
#include "raster_codecs_test_support.h"
#include "support/test_support.h"

namespace {

struct ExtensionCase {
  const char* extension;
  const char* type;
};

void PrintTo(const ExtensionCase& c, std::ostream* os) {
  *os << '"' << c.extension << '"';
}

class DetectionByExtension : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(DetectionByExtension, MapsCaseInsensitively) {
  EXPECT_EQ(imageio::typeForExtension(GetParam().extension), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DetectionByExtension,
    ::testing::Values(ExtensionCase{"jpg", "public.jpeg"}, ExtensionCase{"JPEG", "public.jpeg"},
                      ExtensionCase{"jpe", "public.jpeg"}, ExtensionCase{"png", "public.png"},
                      ExtensionCase{"Tif", "public.tiff"}, ExtensionCase{"tiff", "public.tiff"},
                      ExtensionCase{"gif", "com.compuserve.gif"}, ExtensionCase{"bmp", "com.microsoft.bmp"},
                      ExtensionCase{"webp", "org.webmproject.webp"}, ExtensionCase{"txt", ""},
                      ExtensionCase{"", ""}));

TEST(Detection, PreferredExtensionsAreTheCanonicalOnes) {
  EXPECT_EQ(imageio::preferredExtension("public.jpeg"), "jpg");
  EXPECT_EQ(imageio::preferredExtension("public.png"), "png");
  EXPECT_EQ(imageio::preferredExtension("public.tiff"), "tiff");
  EXPECT_EQ(imageio::preferredExtension("com.compuserve.gif"), "gif");
  EXPECT_EQ(imageio::preferredExtension("com.microsoft.bmp"), "bmp");
  EXPECT_EQ(imageio::preferredExtension("no.such.type"), "");
}

struct ContentCase {
  const char* type;
};

void PrintTo(const ContentCase& c, std::ostream* os) {
  *os << c.type;
}

class DetectionByContents : public ::testing::TestWithParam<ContentCase> {};

// A file of each format, named without an extension and with an unknown
// one, is recognised by its bytes and opens.
TEST_P(DetectionByContents, MagicBytesDecideWithoutAUsefulExtension) {
  testsupport::TempDir dir;
  const std::string type = GetParam().type;
  auto image = rastertest::makeImage(12, 9, 3, 8, false);
  ASSERT_TRUE(rastertest::writeImage(dir.file("noext"), type, image));
  std::filesystem::copy_file(dir.file("noext"), dir.file("picture.dat"));
  for (const char* name : {"noext", "picture.dat"}) {
    const std::string path = dir.file(name);
    EXPECT_EQ(imageio::typeFromContents(path), type) << name;
    EXPECT_EQ(imageio::typeOfFile(path), type) << name;
    EXPECT_TRUE(imageio::isReadableImage(path)) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, DetectionByContents,
                         ::testing::Values(ContentCase{"public.jpeg"}, ContentCase{"public.png"},
                                           ContentCase{"public.tiff"}, ContentCase{"com.compuserve.gif"},
                                           ContentCase{"com.microsoft.bmp"},
                                           ContentCase{"org.webmproject.webp"}));

TEST(Detection, WrongExtensionNamesTheTypeButTheContentsAreRead) {
  testsupport::TempDir dir;
  auto image = rastertest::makeImage(12, 9, 3, 8, false);
  ASSERT_TRUE(rastertest::writeImage(dir.file("real"), "public.png", image));
  std::filesystem::rename(dir.file("real"), dir.file("photo.jpg"));
  // The name says JPEG, as the platform's file-type lookup would.
  EXPECT_EQ(imageio::typeOfFile(dir.file("photo.jpg")), "public.jpeg");
  auto source = imageio::ImageSource::open(dir.file("photo.jpg"));
  ASSERT_TRUE(source);
  EXPECT_EQ(source->type(), "public.png");
  EXPECT_TRUE(source->createImage(0));
}

TEST(Detection, TextAndEmptyFilesAreNotImages) {
  testsupport::TempDir dir;
  rastertest::writeBytes(dir.file("notes.txt"), {'h', 'e', 'l', 'l', 'o', '\n', 'B', 'M'});
  rastertest::writeBytes(dir.file("notes"),
                         {'G', 'I', 'F', ' ', 'i', 's', ' ', 'a', ' ', 'w', 'o', 'r', 'd'});
  rastertest::writeBytes(dir.file("empty.png"), {});
  for (const char* name : {"notes.txt", "notes"}) {
    EXPECT_EQ(imageio::typeOfFile(dir.file(name)), "") << name;
    EXPECT_FALSE(imageio::isReadableImage(dir.file(name))) << name;
  }
  EXPECT_EQ(imageio::typeFromContents(dir.file("empty.png")), "");
  EXPECT_FALSE(imageio::isReadableImage(dir.file("empty.png")));
  EXPECT_FALSE(imageio::isReadableImage(dir.file("missing.png")));
  EXPECT_FALSE(imageio::isReadableImage(dir.path().string()));
}

TEST(Detection, RasterTypesAreReadableAndWritable) {
  const auto readable = imageio::readableTypes();
  const auto writable = imageio::writableTypes();
  for (const char* type : {"public.jpeg", "public.png", "public.tiff", "com.compuserve.gif",
                           "com.microsoft.bmp", "org.webmproject.webp"}) {
    EXPECT_NE(std::find(readable.begin(), readable.end(), type), readable.end()) << type;
    EXPECT_NE(std::find(writable.begin(), writable.end(), type), writable.end()) << type;
    EXPECT_TRUE(imageio::ImageDestination::canWrite(type)) << type;
  }
  EXPECT_FALSE(imageio::ImageDestination::canWrite("public.plain-text"));
}

}  // namespace

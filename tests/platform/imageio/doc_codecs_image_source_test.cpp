#include <gtest/gtest.h>

#include "doc_codecs_support.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/image_source.h"
#include "support/test_support.h"

using namespace doctest;

namespace {

foundation::Value dpi(double value) {
  return foundation::Value(foundation::Dictionary{{"DPIWidth", value}, {"DPIHeight", value}});
}

}  // namespace

// The document formats through the public source and destination: written,
// detected, counted and decoded (at full and reduced size).
TEST(DocCodecsImageSource, DocumentFormatsRoundTrip) {
  struct Case {
    const char* type;
    const char* name;
    std::size_t images;
    std::int64_t width;  // of image 0 as decoded at full size
  };
  const Case cases[] = {
      {"com.adobe.photoshop-image", "out.psd", 1, 120},
      {"com.apple.icns", "out.icns", 2, 64},
      {"com.adobe.pdf", "out.pdf", 2, 60},  // 120 pixels at 144 dpi: 60 points
      {"public.heic", "out.heic", 2, 120},
  };
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    const std::string path = dir.file(c.name);
    auto destination = imageio::ImageDestination::create(path, c.type, c.images);
    ASSERT_TRUE(destination);
    if (std::string(c.type) == "com.apple.icns") {
      destination->addImage(makeImage(64, 64, 3, 8, true), dpi(144));
      destination->addImage(makeImage(32, 32, 3, 8, true), dpi(72));
    } else {
      for (std::size_t i = 0; i < c.images; ++i)
        destination->addImage(makeImage(120, 80, 3, 8, true), dpi(144));
    }
    ASSERT_TRUE(destination->finalize());

    auto source = imageio::ImageSource::open(path);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->type(), c.type);
    EXPECT_EQ(source->count(), c.images);
    auto full = source->createImage(0);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->width(), c.width);
    auto reduced = source->createImage(0, imageio::DecodeOptions{16, true});
    ASSERT_TRUE(reduced);
    EXPECT_EQ(std::max(reduced->width(), reduced->height()), 16);
  }
}

// Metadata kept by a source reaches a PSD written through the destination,
// with the orientation reset.
TEST(DocCodecsImageSource, PsdCarriesKeptMetadata) {
  testsupport::TempDir dir;
  const std::string jpeg = dir.file("tagged.jpg");
  if (testsupport::runCommand({"/usr/bin/convert", "-size", "40x30", "xc:orange", jpeg}).exitCode != 0 ||
      testsupport::runCommand({"exiftool", "-q", "-overwrite_original", "-n", "-Orientation=3",
                               "-Make=Psdmaker", "-DateTimeOriginal=2021:05:06 07:08:09", jpeg})
              .exitCode != 0)
    GTEST_SKIP() << "ImageMagick or exiftool missing";
  auto source = imageio::ImageSource::open(jpeg);
  if (!source) GTEST_SKIP() << "JPEG decoding not available";
  foundation::Value props = source->properties(0);
  ASSERT_EQ(at(props, {"Orientation"}).intOr(0), 3);
  props.asDictionary()->set("Orientation", 1);
  (*props.asDictionary())["{TIFF}"].asDictionary()->set("Orientation", 1);

  const std::string psd = dir.file("out.psd");
  auto destination = imageio::ImageDestination::create(psd, "com.adobe.photoshop-image", 1);
  ASSERT_TRUE(destination);
  destination->addImage(makeImage(40, 30, 3, 8, false), props);
  ASSERT_TRUE(destination->finalize());

  auto back = imageio::ImageSource::open(psd);
  ASSERT_TRUE(back);
  const auto read = back->properties(0);
  EXPECT_EQ(at(read, {"{TIFF}", "Make"}).stringOr(""), "Psdmaker");
  EXPECT_EQ(at(read, {"{Exif}", "DateTimeOriginal"}).stringOr(""), "2021:05:06 07:08:09");
  EXPECT_EQ(at(read, {"Orientation"}).intOr(0), 1);
  ASSERT_TRUE(back->createImage(0));
}

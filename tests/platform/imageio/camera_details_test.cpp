#include <gtest/gtest.h>

#include "platform/imageio/image_destination.h"
#include "platform/imageio/image_source.h"
#include "support/test_support.h"

namespace imageio {
namespace {

TEST(CameraDetails, AuxiliaryTagsAndFloatSamplesAreReported) {
  const testsupport::TempDir dir;
  const std::string jpeg = dir.file("camera.jpg");
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "16x16", "xc:gray", jpeg}).exitCode, 0);
  const auto tagged =
      testsupport::runCommand({"exiftool", "-q", "-overwrite_original", "-XMP-aux:SerialNumber=0815X",
                               "-XMP-aux:Lens=Test 35mm", "-XMP-aux:ImageNumber=77", jpeg});
  ASSERT_EQ(tagged.exitCode, 0) << tagged.output;
  const auto source = ImageSource::open(jpeg);
  ASSERT_TRUE(source);
  const foundation::Value properties = source->properties(0);
  ASSERT_TRUE(properties.get("{ExifAux}"));
  EXPECT_EQ(properties.get({"{ExifAux}", "SerialNumber"})->stringOr(""), "0815X");
  EXPECT_EQ(properties.get({"{ExifAux}", "LensModel"})->stringOr(""), "Test 35mm");
  EXPECT_EQ(properties.get({"{ExifAux}", "ImageNumber"})->intOr(0), 77);

  const std::string plain = dir.file("plain.jpg");
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "16x16", "xc:gray", plain}).exitCode, 0);
  EXPECT_FALSE(ImageSource::open(plain)->properties(0).get("{ExifAux}"));

  const std::string floats = dir.file("float.tif");
  auto destination = ImageDestination::create(floats, "public.tiff", 1);
  destination->addImage(
      raster::Image::make(8, 8, raster::PixelFormat{32, 3, raster::AlphaInfo::None},
                          raster::ColorSpace::sRGB(), std::vector<std::uint8_t>(8 * 8 * 12)),
      foundation::Value(foundation::Dictionary{}));
  ASSERT_TRUE(destination->finalize());
  const auto floatSource = ImageSource::open(floats);
  ASSERT_TRUE(floatSource);
  EXPECT_TRUE(floatSource->properties(0).get("IsFloat") &&
              floatSource->properties(0).get("IsFloat")->boolOr(false));
  EXPECT_FALSE(ImageSource::open(plain)->properties(0).get("IsFloat"));
}

}  // namespace
}  // namespace imageio

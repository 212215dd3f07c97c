// Multi-page TIFF with metadata: the first page takes the full metadata
// overlay, every page keeps its own text tags, resolution and orientation,
// and no page is lost.

#include <gtest/gtest.h>

#include "raster_codecs_test_support.h"
#include "support/test_support.h"

namespace {

using foundation::Dictionary;
using foundation::Value;

struct PageTags {
  const char* make;
  const char* model;
  const char* dateTime;
  const char* artist;
  const char* software;
  const char* description;
  double dpi;
  int orientation;
};

Value pageProperties(const PageTags& tags) {
  return Value(Dictionary{{"DPIWidth", tags.dpi},
                          {"DPIHeight", tags.dpi},
                          {"Orientation", tags.orientation},
                          {"{TIFF}", Dictionary{{"Make", tags.make},
                                                {"Model", tags.model},
                                                {"DateTime", tags.dateTime},
                                                {"Artist", tags.artist},
                                                {"Software", tags.software},
                                                {"ImageDescription", tags.description}}}});
}

// Page counts: two pages take the first page's Exif too; exiv2 cannot
// rewrite five pages without dropping some, so those keep every page and
// its own tags but not the first page's Exif.
class TiffPagesMetadata : public testing::TestWithParam<std::size_t> {};

TEST_P(TiffPagesMetadata, EveryPageKeepsItsOwnTextTagsAndLayout) {
  std::vector<PageTags> tags = {
      {"First Maker", "Model A", "2020:01:02 03:04:05", "Ann", "Tool 1", "cover", 144, 1},
      {"Second Maker", "Model B", "2021:06:07 08:09:10", "Ben", "Tool 2", "inside", 300, 6},
      {"Third Maker", "Model C", "2022:11:12 13:14:15", "Cy", "Tool 3", "back", 72, 3},
      {"Fourth Maker", "Model D", "2023:01:01 00:00:01", "Di", "Tool 4", "fourth", 96, 8},
      {"Fifth Maker", "Model E", "2024:02:29 23:59:59", "Ed", "Tool 5", "fifth", 200, 2}};
  tags.resize(GetParam());
  std::vector<raster::ImageRef> pages;
  std::vector<Value> properties;
  for (std::size_t i = 0; i < tags.size(); ++i) {
    pages.push_back(rastertest::makeImage(16 + std::int64_t(i), 10, i % 2 ? 1 : 3, 8, false));
    properties.push_back(pageProperties(tags[i]));
  }
  // Exif beyond the text tags makes the metadata writer rewrite the file.
  properties[0].asDictionary()->set("{Exif}", Dictionary{{"DateTimeOriginal", "2019:05:06 07:08:09"}});

  testsupport::TempDir dir;
  const std::string path = dir.file("pages.tiff");
  ASSERT_TRUE(rastertest::writeFrames(path, "public.tiff", pages, properties));
  auto source = imageio::ImageSource::open(path);
  ASSERT_TRUE(source);
  ASSERT_EQ(source->count(), tags.size());
  if (tags.size() == 2) {
    EXPECT_EQ(rastertest::at(source->properties(0), {"{Exif}", "DateTimeOriginal"}).stringOr(""),
              "2019:05:06 07:08:09");
  }
  for (std::size_t i = 0; i < tags.size(); ++i) {
    SCOPED_TRACE(i);
    const Value props = source->properties(i);
    EXPECT_EQ(rastertest::at(props, {"{TIFF}", "Make"}).stringOr(""), tags[i].make);
    EXPECT_EQ(rastertest::at(props, {"{TIFF}", "Model"}).stringOr(""), tags[i].model);
    EXPECT_EQ(rastertest::at(props, {"{TIFF}", "DateTime"}).stringOr(""), tags[i].dateTime);
    EXPECT_EQ(rastertest::at(props, {"{TIFF}", "Artist"}).stringOr(""), tags[i].artist);
    EXPECT_EQ(rastertest::at(props, {"{TIFF}", "Software"}).stringOr(""), tags[i].software);
    EXPECT_EQ(rastertest::at(props, {"{TIFF}", "ImageDescription"}).stringOr(""), tags[i].description);
    EXPECT_NEAR(rastertest::at(props, "DPIWidth").doubleOr(0), tags[i].dpi, 1e-3);
    EXPECT_EQ(rastertest::at(props, {"{TIFF}", "Orientation"}).intOr(0), tags[i].orientation);
    auto decoded = source->createImage(i, imageio::DecodeOptions{});
    ASSERT_TRUE(decoded);
    const int bits = 8;
    const bool alpha = false;
    imageio::DecodeOptions stored;
    stored.applyOrientation = false;
    auto unrotated = source->createImage(i, stored);
    ASSERT_TRUE(unrotated);
    EXPECT_EQ(rastertest::samplesOf(*pages[i], bits, alpha), rastertest::samplesOf(*unrotated, bits, alpha));
  }
}

INSTANTIATE_TEST_SUITE_P(PageCounts, TiffPagesMetadata,
                         testing::Values(std::size_t(2), std::size_t(4), std::size_t(5)));

TEST(TiffPagesMetadataPlain, PagesWithoutTextTagsStayWithoutThem) {
  std::vector<raster::ImageRef> pages = {rastertest::makeImage(8, 8, 3, 8, false),
                                         rastertest::makeImage(8, 8, 3, 8, false)};
  std::vector<Value> properties = {
      Value(Dictionary{{"{TIFF}", Dictionary{{"Make", "Only First"}, {"DateTime", ""}}}}),
      Value(Dictionary{})};
  testsupport::TempDir dir;
  const std::string path = dir.file("pages.tiff");
  ASSERT_TRUE(rastertest::writeFrames(path, "public.tiff", pages, properties));
  auto source = imageio::ImageSource::open(path);
  ASSERT_TRUE(source);
  ASSERT_EQ(source->count(), 2u);
  EXPECT_EQ(rastertest::at(source->properties(0), {"{TIFF}", "Make"}).stringOr(""), "Only First");
  // An empty text is no tag, and the second page has none of its own.
  const std::string codecDateTime =
      rastertest::at(source->properties(1), {"{TIFF}", "DateTime"}).stringOr("");
  EXPECT_TRUE(codecDateTime.empty()) << codecDateTime;
}

}  // namespace

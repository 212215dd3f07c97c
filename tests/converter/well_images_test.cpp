#include "converter/well_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "filters/application_filters.h"
#include "filters/cifiltering.h"
#include "support/test_support.h"

using namespace velumar;
using testsupport::runCommand;
using testsupport::TempDir;

namespace {

std::string made(const TempDir& dir, const std::string& name, std::vector<std::string> arguments) {
  const std::string path = dir.file(name);
  std::vector<std::string> argv{"/usr/bin/convert"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  argv.push_back(path);
  EXPECT_EQ(runCommand(argv).exitCode, 0) << name;
  return path;
}

}  // namespace

TEST(WellImages, LoadsWhatConversionsTakeWithinTheLimits) {
  TempDir dir;
  ImportedImage engine;
  const std::string png = made(dir, "alpha.png", {"-size", "40x30", "xc:rgba(255,0,0,0.5)"});
  const std::string jpeg = made(dir, "plain.jpg", {"-size", "40x30", "xc:blue"});
  // 1200 pixels at 7.2 dpi measure 12,000 points.
  const std::string wide =
      made(dir, "wide.png", {"-size", "1200x80", "xc:white", "-units", "PixelsPerInch", "-density", "7.2"});
  const std::string text = dir.file("notes.png");
  std::ofstream(text) << "not an image";

  struct Row {
    std::string path;
    bool loads;
    bool alpha;
  };
  for (const Row& row : {Row{png, true, true}, Row{jpeg, true, false}, Row{wide, false, false},
                         Row{text, false, false}, Row{dir.file("missing.png"), false, false}}) {
    SCOPED_TRACE(row.path);
    const std::optional<WellPicture> picture = loadWellPicture(row.path);
    ASSERT_EQ(picture.has_value(), row.loads);
    if (!picture) continue;
    EXPECT_EQ(picture->originalImageHasAlpha, row.alpha);
    const auto& rep = picture->fullSizeImage->representations().front();
    EXPECT_EQ(rep->pixelsWide(), 40);
    EXPECT_EQ(rep->pixelsHigh(), 30);
    EXPECT_EQ(rep->size().width, 40);
    EXPECT_EQ(rep->bitsPerSample(), 8);
  }
  EXPECT_TRUE(isWellImageFile(engine, png));
  EXPECT_TRUE(isWellImageFile(engine, wide));  // the type test passes, the loader refuses
  EXPECT_FALSE(isWellImageFile(engine, text));
}

TEST(WellImages, ThumbnailsKeepTheWellsAreaAndProportions) {
  TempDir dir;
  const auto picture = loadWellPicture(made(dir, "p.png", {"-size", "400x300", "xc:green"}));
  ASSERT_TRUE(picture);
  const auto example = exampleThumbnail(*picture->fullSizeImage, {60, 60});
  ASSERT_TRUE(example);
  EXPECT_EQ(example->representations().front()->pixelsWide(), 139);
  EXPECT_EQ(example->representations().front()->pixelsHigh(), 104);
  const auto well = wellThumbnail(*picture->fullSizeImage, {200, 200});
  ASSERT_TRUE(well);
  ASSERT_EQ(well->representations().size(), 2u);
  EXPECT_EQ(well->representations()[0]->pixelsWide(), 2 * well->representations()[1]->pixelsWide());
  EXPECT_EQ(well->size().width, double(well->representations()[1]->pixelsWide()));
}

TEST(WellImages, TheExampleIsTheFilterEnginesRunOnTheThumbnail) {
  registerApplicationFilters();
  TempDir dir;
  const auto picture = loadWellPicture(made(dir, "p.png", {"-size", "64x48", "gradient:red-blue"}));
  ASSERT_TRUE(picture);
  const auto thumbnail = exampleThumbnail(*picture->fullSizeImage, {30, 30});
  ASSERT_TRUE(thumbnail);
  CIFiltering filters;

  const auto copy = filteredExample(*thumbnail, filters, 0, 0, 0);
  EXPECT_EQ(copy->representations().front()->image(), thumbnail->representations().front()->image());

  FilterInfo sepia;
  sepia.sepiaLevel = 1;
  filters.setFilterInfo2(sepia);
  const auto filtered = filteredExample(*thumbnail, filters, 0, 0, 73);
  // The same run by hand.
  auto context = thumbnail->representations().front()->makeContext();
  filters.createNewCIContextWithCGContext(context.get(), true);
  filters.concat3FiltersWithCGContext(context.get(), 0, 0, 73);
  filters.drawCIImageWithCGContext(context.get(), false);
  filters.resetCIContext();
  const raster::ImageRef expected = context->makeImage();
  const raster::ImageRef got = filtered->representations().front()->image();
  ASSERT_EQ(got->height(), expected->height());
  for (std::int64_t y = 0; y < got->height(); ++y)
    ASSERT_EQ(0, std::memcmp(got->row(y), expected->row(y), std::size_t(got->width()) * 4)) << y;
  EXPECT_NE(0, std::memcmp(got->row(0), thumbnail->representations().front()->image()->row(0), 4));
}

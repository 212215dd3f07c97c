// Bitmap representations and image sets.

#include <gtest/gtest.h>

#include "platform/raster/bitmap_image_rep.h"
#include "platform/raster/image_set.h"
#include "raster_test_helpers.h"

using namespace raster;

namespace {

TEST(BitmapImageRep, DescribesItsLayout) {
  struct Case {
    PixelFormat format;
    ColorSpaceRef space;
    int bits, samples;
    bool alpha;
    unsigned flags;
  } cases[] = {
      {PixelFormat::rgba8(), ColorSpace::sRGB(), 8, 4, true, 0},
      {{8, 3, AlphaInfo::PremultipliedFirst}, ColorSpace::sRGB(), 8, 4, true, BitmapFormatAlphaFirst},
      {{8, 3, AlphaInfo::Last}, ColorSpace::sRGB(), 8, 4, true, BitmapFormatAlphaNonpremultiplied},
      {{8, 3, AlphaInfo::NoneSkipLast}, ColorSpace::sRGB(), 8, 3, false, 0},
      {{5, 3, AlphaInfo::NoneSkipFirst}, ColorSpace::sRGB(), 5, 3, false, BitmapFormatAlphaFirst},
      {PixelFormat::rgbaFloat(), ColorSpace::sRGB(), 32, 4, true, BitmapFormatFloatingPointSamples},
      {{16, 1, AlphaInfo::None}, ColorSpace::genericGray(), 16, 1, false, 0},
  };
  for (const Case& c : cases) {
    auto rep = BitmapImageRep::create(10, 5, c.format, c.space);
    ASSERT_TRUE(rep) << c.bits;
    EXPECT_EQ(rep->pixelsWide(), 10);
    EXPECT_EQ(rep->pixelsHigh(), 5);
    EXPECT_EQ(rep->size(), (Size{10, 5}));
    EXPECT_EQ(rep->bitsPerSample(), c.bits);
    EXPECT_EQ(rep->samplesPerPixel(), c.samples);
    EXPECT_EQ(rep->hasAlpha(), c.alpha);
    EXPECT_EQ(rep->bitmapFormat(), c.flags);
  }
  EXPECT_FALSE(
      BitmapImageRep::create(10, 5, {8, 1, AlphaInfo::PremultipliedLast}, ColorSpace::genericGray()));
  EXPECT_FALSE(BitmapImageRep::withImage(nullptr));
}

TEST(BitmapImageRep, DrawsInPlaceAndRetags) {
  auto rep = BitmapImageRep::create(4, 4, PixelFormat::rgba8(), ColorSpace::sRGB());
  rep->setSize({2, 2});
  auto context = rep->makeContext();
  ASSERT_TRUE(context);
  const double red[4] = {1, 0, 0, 1};
  context->setFillColor(red, 4);
  context->fillRect(Rect(0, 0, 2, 4));
  ImageRef before = rep->image();
  rep->setImage(context->makeImage());
  EXPECT_EQ(before->row(0)[3], 0) << "the old image is untouched";
  EXPECT_EQ(rep->image()->row(0)[0], 255);
  EXPECT_EQ(rep->size(), (Size{2, 2}));

  auto adobe = rep->retagged(ColorSpace::named(color::NamedProfile::AdobeRGB1998));
  ASSERT_TRUE(adobe);
  EXPECT_EQ(adobe->image()->data(), rep->image()->data());
  EXPECT_EQ(adobe->size(), rep->size());
  EXPECT_FALSE(rep->retagged(ColorSpace::genericGray()));
}

TEST(ImageSet, KeepsOrderAndFindsTheLargest) {
  auto small = BitmapImageRep::create(16, 16, PixelFormat::rgba8(), ColorSpace::sRGB());
  auto big = BitmapImageRep::create(32, 32, PixelFormat::rgba8(), ColorSpace::sRGB());
  ImageSet set = ImageSet::withRepresentation(small);
  set.addRepresentation(big);
  set.addRepresentation(nullptr);
  ASSERT_EQ(set.representations().size(), 2u);
  EXPECT_EQ(set.representations()[0], small);
  EXPECT_EQ(set.size(), (Size{16, 16}));
  EXPECT_EQ(set.largestRepresentation(), big);
  set.removeRepresentation(big);
  EXPECT_EQ(set.largestRepresentation(), small);
}

}  // namespace

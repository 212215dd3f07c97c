// The deferred chain: steps build the graph without rendering, the draw
// renders once and clears it, and a missing context turns steps off.

#include <gtest/gtest.h>

#include "filtering_test_support.h"
#include "filters/cifiltering.h"

using filtertest::pixelAt;
using filtertest::positionColor;

namespace {

// A filter that sets red to r and keeps the rest.
ci::FilterRef redFilter(double r) {
  ci::FilterRef f = ci::Filter::withName("CIColorMatrix");
  f->setDefaults();
  f->setValue("inputRVector", ci::Vector{0, 0, 0, 0});
  f->setValue("inputBiasVector", ci::Vector{r, 0, 0, 0});
  return f;
}

// A filter that copies red into green.
ci::FilterRef redIntoGreen() {
  ci::FilterRef f = ci::Filter::withName("CIColorMatrix");
  f->setDefaults();
  f->setValue("inputGVector", ci::Vector{1, 0, 0, 0});
  return f;
}

struct Fixture {
  std::unique_ptr<raster::BitmapContext> context = filtertest::rgbaContext(4, 3);
  velumar::CIFiltering engine;
  Fixture() { context->drawImage(filtertest::positionBitmap(4, 3), raster::Rect(0, 0, 4, 3)); }
};

TEST(Chain, DrawWithNothingPendingKeepsThePixelsEvenWhenClearing) {
  Fixture f;
  f.engine.createNewCIContextWithCGContext(f.context.get(), true);
  f.engine.drawCIImageWithCGContext(f.context.get(), true);
  EXPECT_EQ(pixelAt(*f.context, 2, 1), positionColor(2, 1));
}

TEST(Chain, StepsChainWithoutRenderingUntilTheDraw) {
  Fixture f;
  f.engine.createNewCIContextWithCGContext(f.context.get(), true);
  f.engine.applyCIFilter(redFilter(1.0), f.context.get());
  ci::ImageRef first = f.engine.ciImage();
  ASSERT_TRUE(first);
  f.engine.applyCIFilter(redIntoGreen(), f.context.get());
  ci::ImageRef second = f.engine.ciImage();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->inputs().at(0), first);
  EXPECT_EQ(pixelAt(*f.context, 2, 1), positionColor(2, 1));  // nothing rendered yet
  f.engine.drawCIImageWithCGContext(f.context.get(), false);
  EXPECT_EQ(f.engine.ciImage(), nullptr);
  EXPECT_EQ(pixelAt(*f.context, 2, 1), (filtertest::Rgba8{255, 255, 200, 255}));

  // A step after a draw starts from the drawn pixels.
  f.engine.applyCIFilter(redFilter(0.0), f.context.get());
  f.engine.drawCIImageWithCGContext(f.context.get(), false);
  EXPECT_TRUE(filtertest::near(pixelAt(*f.context, 0, 0), {0, 255, 200, 255}));
}

TEST(Chain, ContextCreationDiscardsThePendingImage) {
  Fixture f;
  f.engine.createNewCIContextWithCGContext(f.context.get(), true);
  f.engine.applyCIFilter(redFilter(1.0), f.context.get());
  f.engine.setFacesRectArray(std::vector<raster::Rect>{raster::Rect(0, 0, 1, 1)});
  f.engine.createNewCIContextWithCGContext(f.context.get(), false);
  EXPECT_EQ(f.engine.ciImage(), nullptr);
  EXPECT_FALSE(f.engine.facesRectArray().has_value());
  EXPECT_TRUE(f.engine.ciContext());

  // The returning variant leaves the stored context but clears the pending image.
  ci::ContextRef stored = f.engine.ciContext();
  f.engine.applyCIFilter(redFilter(1.0), f.context.get());
  ci::ContextRef returned = f.engine.ciContextWithCGContext(f.context.get(), true);
  EXPECT_TRUE(returned);
  EXPECT_NE(returned, stored);
  EXPECT_EQ(f.engine.ciContext(), stored);
  EXPECT_EQ(f.engine.ciImage(), nullptr);
}

TEST(Chain, StepsWithoutAContextDoNothing) {
  Fixture f;
  f.engine.applyCIFilter(redFilter(1.0), f.context.get());  // never created
  EXPECT_EQ(f.engine.ciImage(), nullptr);
  f.engine.createNewCIContextWithCGContext(f.context.get(), true);
  f.engine.resetCIContext();
  f.engine.applyCIFilter(redFilter(1.0), f.context.get());
  f.engine.applyCIFilterFiniteExtent(redFilter(1.0), f.context.get());
  EXPECT_EQ(f.engine.ciImage(), nullptr);
  EXPECT_EQ(f.engine.ciContext(), nullptr);
}

TEST(Chain, PendingImageWithoutContextClearsWhenAskedAndDrawsNothing) {
  for (bool clear : {true, false}) {
    Fixture f;
    f.engine.setCiImage(ci::Image::constantColor(ci::Color::white()));
    f.engine.drawCIImageWithCGContext(f.context.get(), clear);
    EXPECT_EQ(f.engine.ciImage(), nullptr);
    EXPECT_EQ(pixelAt(*f.context, 1, 1), (clear ? filtertest::Rgba8{0, 0, 0, 0} : positionColor(1, 1)));
  }
}

TEST(Chain, GpuAndCpuPathsLandTheSameRectangle) {
  std::vector<std::uint8_t> results[2];
  for (bool gpu : {true, false}) {
    Fixture f;
    f.engine.setFilterUsesGPUForRendering(gpu);
    f.engine.createNewCIContextWithCGContext(f.context.get(), true);
    // A pending image larger than the context, offset: exactly R lands.
    ci::ImageRef big = ci::Image::withBitmap(filtertest::positionBitmap(6, 5));
    f.engine.setCiImage(big->transformed(raster::AffineTransform::translation(-1, -1)));
    f.engine.drawCIImageWithCGContext(f.context.get(), true);
    EXPECT_EQ(pixelAt(*f.context, 0, 0), positionColor(1, 1));
    results[gpu ? 0 : 1].assign(f.context->data(), f.context->data() + f.context->bytesPerRow() * 3);
  }
  EXPECT_EQ(results[0], results[1]);
}

TEST(Chain, FiniteExtentStepCutsThePendingImageToTheContext) {
  Fixture f;
  f.engine.createNewCIContextWithCGContext(f.context.get(), true);
  f.engine.setCiImage(ci::Image::constantColor(ci::Color::white()));
  ci::FilterRef identity = ci::Filter::withName("CIAffineTransform");
  identity->setDefaults();
  f.engine.applyCIFilterFiniteExtent(identity, f.context.get());
  ASSERT_TRUE(f.engine.ciImage());
  EXPECT_EQ(f.engine.ciImage()->extent(), raster::Rect(0, 0, 4, 3));
  // A snapshot is used as it is.
  f.engine.drawCIImageWithCGContext(f.context.get(), false);
  f.engine.applyCIFilterFiniteExtent(identity, f.context.get());
  EXPECT_EQ(f.engine.ciImage()->extent(), raster::Rect(0, 0, 4, 3));
}

TEST(Chain, FilterWithoutOutputLeavesNothingPending) {
  Fixture f;
  f.engine.createNewCIContextWithCGContext(f.context.get(), true);
  f.engine.applyCIFilter(redFilter(1.0), f.context.get());
  ci::FilterRef over = ci::Filter::withName("CISourceOverCompositing");  // no background: no output
  f.engine.applyCIFilter(over, f.context.get());
  EXPECT_EQ(f.engine.ciImage(), nullptr);
}

}  // namespace

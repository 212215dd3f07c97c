#include "preview/preview_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velumar {
namespace {

TEST(PreviewGeometry, DrawingRectFitsCentresAndRoundsTheOrigin) {
  const struct {
    raster::Size bounds, pixels;
    double scale;
    raster::Rect expected;
    double ratio;
  } cases[] = {
      {{800, 600}, {400, 300}, 1, {0, 0, 800, 600}, 2},        // small images are enlarged
      {{800, 600}, {4000, 1000}, 1, {0, 200, 800, 200}, 0.2},  // wide: letterboxed
      {{801, 600}, {300, 300}, 1, {101, 0, 600, 600}, 2},      // 100.5 rounds away from zero
      {{800, 600}, {1600, 1200}, 2, {0, 0, 800, 600}, 1},      // pixels at double density
      {{100, 100}, {0, 10}, 1, {0, 0, 0, 0}, 0},               // empty picture
  };
  for (const auto& c : cases) {
    double ratio = -1;
    const raster::Rect rect = drawingRectForImage(c.bounds, c.pixels, c.scale, &ratio);
    EXPECT_EQ(rect, c.expected) << c.pixels.width << "x" << c.pixels.height;
    EXPECT_DOUBLE_EQ(ratio, c.ratio);
  }
}

TEST(PreviewGeometry, PicturesAreCappedAtTheSameAreaAsTheRender) {
  const struct {
    raster::Size pixels, kept;
  } cases[] = {
      {{4000, 3000}, {2048, 1536}}, {{2048, 1536}, {2048, 1536}},  // exactly the cap
      {{2049, 1536}, {2048, 1535}},                                // one column more
      {{12000, 10}, {12000, 10}},   {{100, 100}, {100, 100}},
  };
  for (const auto& c : cases) {
    const raster::Size kept = cappedPreviewPixelSize(c.pixels);
    EXPECT_EQ(kept.width, c.kept.width) << c.pixels.width;
    EXPECT_EQ(kept.height, c.kept.height) << c.pixels.width;
    EXPECT_LE(kept.width * kept.height, kPreviewPixelCap);
  }
}

TEST(PreviewGeometry, DpiFromPixelsPerPoint) {
  EXPECT_EQ(representationDpi(3000, 720), 300);
  EXPECT_EQ(representationDpi(640, 640), 72);
  EXPECT_EQ(representationDpi(640, 0), 72);  // a zero-width representation
  EXPECT_EQ(representationDpi(NAN, 10), 72);
}

TEST(PreviewGeometry, CropFrameFollowsThePointAndClipsToThePicture) {
  const raster::Rect drawn(100, 50, 1000, 1000);
  const struct {
    raster::Point percent;
    raster::Size crop;
    double scale;
    std::optional<raster::Rect> expected;
  } cases[] = {
      {{50, 50}, {200, 100}, 1, raster::Rect(500, 500, 200, 100)},
      {{50, 50}, {400, 200}, 2, raster::Rect(500, 500, 200, 100)},  // pixels at double density
      {{0, 0}, {200, 200}, 1, raster::Rect(100, 50, 100, 100)},     // half over the corner
      {{-50, 50}, {200, 200}, 1, std::nullopt},                     // entirely off the picture
      {{50, 50}, {5000, 5000}, 1, drawn},                           // larger than the picture
      {{50, 50}, {0, 0}, 1, std::nullopt},                          // no crop size
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cropFrameRect(drawn, 1.0, c.percent, c.crop, c.scale), c.expected) << c.percent.x;
  }
  EXPECT_FLOAT_EQ(cropLineScale(drawn), 1.0f);
  EXPECT_FLOAT_EQ(cropLineScale({0, 0, 500, 500}), 0.5f);
  const raster::Point point = cropPointForLocation({1100, 50}, drawn);
  EXPECT_DOUBLE_EQ(point.x, 100);
  EXPECT_DOUBLE_EQ(point.y, 0);
  EXPECT_DOUBLE_EQ(cropPointForLocation({0, 1550}, drawn).y, 150);  // beyond: not clamped
}

TEST(PreviewGeometry, WindowFitting) {
  WindowFitting base;
  base.frame = {400, 300, 800, 600};  // centre (800, 600)
  base.visibleScreen = {0, 0, 1920, 1200};
  base.minimumSize = {300, 200};
  base.imageSize = {800, 600};
  const auto fitted = [&](auto change) {
    WindowFitting fitting = base;
    change(fitting);
    return fittedWindowFrame(fitting);
  };
  // The content plus 6 a side, centred where the window was.
  EXPECT_EQ(fitted([](WindowFitting&) {}), raster::Rect(397, 297, 806, 606));
  // Large pictures: at most 1600 × 1200 of content, here shrunk to the screen.
  EXPECT_EQ(fitted([](WindowFitting& f) { f.imageSize = {4000, 3000}; }), raster::Rect(1, 0, 1598, 1200));
  // Never beyond the screen; shrunk by the smaller ratio.
  EXPECT_EQ(fitted([](WindowFitting& f) {
              f.imageSize = {4000, 3000};
              f.visibleScreen = {0, 0, 1000, 1000};
            }),
            raster::Rect(0, 224.5, 1000, 751));
  // Near the right edge: moved back inside.
  EXPECT_EQ(fitted([](WindowFitting& f) {
              f.frame = {1700, 300, 200, 200};
            }),
            raster::Rect(1114, 97, 806, 606));
  // Tiny pictures still get the minimum size.
  EXPECT_EQ(fitted([](WindowFitting& f) { f.imageSize = {20, 20}; }), raster::Rect(650, 500, 300, 200));
  // Double density: 1024 × 768 points of content at most.
  EXPECT_EQ(fitted([](WindowFitting& f) {
              f.imageSize = {4096, 3072};
              f.backingScale = 2;
            }),
            raster::Rect(285, 213, 1030, 774));
  // Zoomed, or already fitted and meant to stay: the window keeps its frame.
  EXPECT_FALSE(fitted([](WindowFitting& f) { f.zoomed = true; }));
  EXPECT_FALSE(fitted([](WindowFitting& f) { f.fittedOnce = f.remainsSameSize = true; }));
  EXPECT_TRUE(fitted([](WindowFitting& f) { f.remainsSameSize = true; }));
}

}  // namespace
}  // namespace velumar

#include "converter/well_geometry.h"

#include <gtest/gtest.h>

#include "converter/tone_curve_geometry.h"

using namespace velumar;

TEST(WellGeometry, ThumbnailSizes) {
  EXPECT_EQ(exampleThumbnailSize({60, 60}, {4000, 3000}), (PixelSize{139, 104}));
  EXPECT_EQ(exampleThumbnailSize({60, 60}, {0, 3000}), (PixelSize{}));
  EXPECT_EQ(wellThumbnailSize({200, 200}, {200, 200}), (PixelSize{200, 200}));
  EXPECT_EQ(wellThumbnailSize({100, 100}, {400, 100}), (PixelSize{200, 50}));
}

TEST(WellGeometry, ExampleRectHugsTheScaledPicture) {
  const raster::Rect wide = exampleImageRect({60, 60}, {139, 104}, 1.0);
  EXPECT_EQ(wide.size.width, 60);
  EXPECT_EQ(wide.size.height, 45);
  EXPECT_EQ(wide.origin.y, 8);  // (60 - 44.9) / 2 rounded
  const raster::Rect doubled = exampleImageRect({60, 60}, {139, 104}, 2.0);
  EXPECT_EQ(doubled.size.width, 60);
  EXPECT_EQ(exampleImageRect({60, 60}, {0, 0}, 1.0).size.width, 0);
}

TEST(WellGeometry, PictureLimits) {
  EXPECT_TRUE(acceptsWellPicture({7200, 480}, {30000, 2000}));
  EXPECT_FALSE(acceptsWellPicture({12000, 800}, {12000, 800}));
  EXPECT_FALSE(acceptsWellPicture({7200, 7200}, {30000, 30000}));  // 900 megapixels
  EXPECT_TRUE(acceptsWellPicture({10000, 10000}, {10000, 10000}));
  EXPECT_FALSE(acceptsWellPicture({0, 10}, {0, 10}));
}

namespace {
const CurvePoints kDiagonal{{{0, 0}, {0.25, 0.25}, {0.5, 0.5}, {0.75, 0.75}, {1, 1}}};
constexpr raster::Size kView{100, 100};
}  // namespace

TEST(ToneCurveGeometry, TheLowerIndexWinsAHit) {
  CurvePoints close = kDiagonal;
  close[1] = {0.3, 0.3};
  close[2] = {0.35, 0.35};
  EXPECT_EQ(curvePointHit(close, {33, 33}, kView, 5), 1u);
  EXPECT_EQ(curvePointHit(kDiagonal, {15, 15}, kView, 5), 1u);            // lower edge inside
  EXPECT_EQ(curvePointHit(kDiagonal, {35, 35}, kView, 5), std::nullopt);  // upper edge outside
  EXPECT_EQ(curvePointHit(kDiagonal, {60, 10}, kView, 5), std::nullopt);
}

TEST(ToneCurveGeometry, MovesKeepKnobsInsideAndApart) {
  struct Row {
    std::size_t point;
    raster::Point to;
    bool accepted;
  };
  const Row rows[] = {
      {2, {0.5, 0.9}, true},   {2, {0.5, 0.96}, false}, {2, {0.5, 0.04}, false},
      {2, {0.35, 0.5}, true},  {2, {0.34, 0.5}, false}, {0, {0.05, 0.2}, true},
      {0, {0.04, 0.2}, false}, {4, {0.95, 0.5}, true},  {4, {0.96, 0.5}, false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(acceptsCurveMove(kDiagonal, row.point, row.to, kView, 5), row.accepted)
        << row.point << " " << row.to.x << "," << row.to.y;
}

TEST(ToneCurveGeometry, CornerKnobsMoveInwards) {
  EXPECT_EQ(curveKnobCentre(kDiagonal, 0, kView, 5), (raster::Point{5, 5}));
  EXPECT_EQ(curveKnobCentre(kDiagonal, 4, kView, 5), (raster::Point{95, 95}));
  EXPECT_EQ(curveKnobCentre(kDiagonal, 2, kView, 5), (raster::Point{50, 50}));
}

TEST(ToneCurveGeometry, ViewPointsAreTheNormalisedCurve) {
  const CurvePoints shown = curveViewPoints({{0.9, 2}, {0.1, 0.1}, {0.5, 0.5}, {0.3, 0.3}, {0.7, -1}});
  EXPECT_EQ(shown[0], (raster::Point{0.1, 0.1}));
  EXPECT_EQ(shown[4], (raster::Point{0.9, 1}));
  EXPECT_EQ(shown[3], (raster::Point{0.7, 0}));
  EXPECT_EQ(curveViewPoints({{0.5, 0.5}}), kDiagonal);
  const CurveDrawing drawing = curveDrawing(kDiagonal, kView);
  ASSERT_TRUE(drawing.path);
  EXPECT_EQ(drawing.path->segments.size(), 4u);
  EXPECT_EQ(drawing.path->start, (CurvePoint{0, 0}));
}

// Target sizes, fitting, crops, rotations, output size rules and limits.

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <limits>

#include "engine/imported_image.h"
#include "param_names.h"

namespace velumar {
namespace {

using raster::Size;

ImageModifyInfo defaults() {
  return ImageModifyInfo{};
}

// ---- Target size from the size settings -----------------------------------

struct ResizeCase {
  const char* name;
  std::int64_t unit;
  double fixedW, fixedH;
  bool modifyDpi;
  double dpi;
  double pointsPerPixel;
  Size expected;

  friend void PrintTo(const ResizeCase& c, std::ostream* os) { *os << c.name; }
};

class ResizeSizeTest : public testing::TestWithParam<ResizeCase> {};

TEST_P(ResizeSizeTest, ComputesTheSidesInPixels) {
  const ResizeCase& c = GetParam();
  ImageModifyInfo info = defaults();
  info.resizeConversionType = c.unit;
  info.fixedSizeW = c.fixedW;
  info.fixedSizeH = c.fixedH;
  info.modifyImageDpi = c.modifyDpi;
  info.dpi = c.dpi;
  Size s = ImportedImage::verifyResizeSizeFromPixelSize({1000, 500}, c.pointsPerPixel, info);
  // Exact, not just close: the single-precision unit constants show.
  EXPECT_EQ(s.width, c.expected.width) << c.name;
  EXPECT_EQ(s.height, c.expected.height) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Units, ResizeSizeTest,
    testing::Values(
        ResizeCase{"pixels, zero height keeps the source", 1, 800, 0, false, 72, 1, {800, 500}},
        ResizeCase{"pixels ignore the resolution", 1, 800, 300, true, 300, 0.24, {800, 300}},
        ResizeCase{"inches at dpi", 2, 2, 1, true, 300, 1, {600, 300}},
        ResizeCase{"inches at the source's resolution", 2, 2, 0, false, 72, 0.24, {600, 500}},
        ResizeCase{"centimetres at dpi", 3, 2.54, 0, true, 300, 1, {300.000004505548, 500}},
        ResizeCase{"centimetres at 72 dpi source", 3, 2.54, 0, false, 72, 1, {72.00000108133152, 500}},
        ResizeCase{"millimetres at dpi", 4, 25.4, 0, true, 300, 1, {300.000004505548, 500}},
        ResizeCase{"millimetres at 144 dpi source", 4, 10, 0, false, 72, 0.5, {56.692914237268916, 500}},
        ResizeCase{"points at dpi", 5, 72, 36, true, 144, 1, {144, 72}},
        ResizeCase{"points at 144 dpi source", 5, 72, 0, false, 72, 0.5, {144, 500}},
        ResizeCase{"unknown unit keeps the source", 9, 10, 10, false, 72, 1, {1000, 500}}),
    testing_names::ByNameMember());

TEST(ResizeSize, FactorUsesTheFactorsAndNotTheFixedSizes) {
  ImageModifyInfo info = defaults();
  info.resizeConversionType = 0;
  info.rFactorW = 0.5;
  info.rFactorH = 0.25;
  info.fixedSizeW = 7;
  Size s = ImportedImage::verifyResizeSizeFromPixelSize({1000, 500}, 1, info);
  EXPECT_EQ(s, (Size{500, 125}));
}

// ---- Fitting and limits -------------------------------------------------------

struct FitCase {
  const char* name;
  std::int64_t scaleType;
  std::int64_t conversionType;
  Size target;
  Size source;
  Size expected;
  std::int64_t expectedScaleType;

  friend void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }
};

class FitTest : public testing::TestWithParam<FitCase> {};

TEST_P(FitTest, AdjustsTheTarget) {
  const FitCase& c = GetParam();
  ImportedImage engine;
  ImageModifyInfo info = defaults();
  info.resizeScaleType = c.scaleType;
  info.conversionType = c.conversionType;
  Size s = c.target;
  engine.verifyPixelAvailabilityForSize(s, c.source, info);
  EXPECT_NEAR(s.width, c.expected.width, 1e-9) << c.name;
  EXPECT_NEAR(s.height, c.expected.height, 1e-9) << c.name;
  EXPECT_EQ(info.resizeScaleType, c.expectedScaleType) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FitTest,
    testing::Values(
        FitCase{"plain scale", 0, 0, {640, 480}, {1280, 960}, {640, 480}, 0},
        FitCase{
            "limit applies to the target, not the source", 0, 0, {20000, 500}, {20000, 500}, {20000, 500}, 0},
        FitCase{"only the wide side falls back", 1, 0, {12000, 300}, {1200, 900}, {1200, 300}, 0},
        FitCase{"only the high side falls back", 8, 0, {300, 10001}, {1200, 900}, {300, 900}, 0},
        FitCase{"10000 is allowed", 8, 0, {10000, 10000}, {1200, 900}, {10000, 10000}, 8},
        FitCase{"zero side falls back", 9, 1, {0, 200}, {640, 480}, {640, 200}, 0},
        FitCase{"negative side falls back", 0, 1, {-5, 200}, {640, 480}, {640, 200}, 0},
        FitCase{"fit width never enlarges", 2, 0, {800, 0}, {600, 400}, {600, 400}, 2},
        FitCase{"fit width shrinks", 2, 0, {800, 0}, {1200, 800}, {800, 533.3333333333333}, 2},
        FitCase{"fit height never enlarges", 3, 0, {0, 500}, {600, 400}, {600, 400}, 3},
        FitCase{"fit height shrinks", 3, 0, {0, 200}, {1000, 500}, {400, 200}, 3},
        FitCase{"fit inside, both larger", 4, 0, {2000, 1000}, {1000, 500}, {1000, 500}, 4},
        FitCase{"fit inside by the smaller factor", 4, 0, {500, 500}, {1000, 500}, {500, 250}, 4},
        FitCase{"fit inside, one side larger", 4, 0, {2000, 250}, {1000, 500}, {500, 250}, 4},
        FitCase{"longer side, landscape", 5, 0, {500, 9999}, {1000, 500}, {500, 250}, 5},
        FitCase{"longer side, portrait", 5, 0, {123, 500}, {500, 1000}, {250, 500}, 5},
        FitCase{"longer side may enlarge", 5, 0, {2000, 1}, {1000, 500}, {2000, 1000}, 5},
        FitCase{"longer side of a square source is its width", 5, 0, {300, 200}, {1000, 1000}, {300, 300}, 5},
        FitCase{"turn by 90 swaps", 10, 0, {800, 600}, {800, 600}, {600, 800}, 10},
        FitCase{"turn by 270 swaps", 11, 0, {800, 600}, {800, 600}, {600, 800}, 11},
        FitCase{"turn by 180 keeps", 12, 0, {800, 600}, {800, 600}, {800, 600}, 12},
        FitCase{"turn by 90 flipped swaps", 13, 0, {800, 600}, {800, 600}, {600, 800}, 13},
        FitCase{"turn by 270 flipped swaps", 14, 0, {800, 600}, {800, 600}, {600, 800}, 14},
        FitCase{"flip keeps", 8, 0, {800, 600}, {800, 600}, {800, 600}, 8},
        FitCase{"free rotation by 0 is no transform", 15, 0, {800, 600}, {800, 600}, {800, 600}, 0},
        FitCase{"2x TIFF is left to the draw's rounding like every output",
                0,
                7,
                {101.2, 77},
                {200, 200},
                {101.2, 77},
                0},
        FitCase{"@2x doubles the ceiling", 0, 11, {64, 63.5}, {200, 200}, {128, 128}, 0},
        FitCase{"@2x beyond the limit falls back", 0, 11, {6000, 64}, {200, 200}, {200, 128}, 0},
        FitCase{"icons never below the source", 0, 5, {512, 512}, {1024, 1024}, {1024, 1024}, 0},
        FitCase{"icon sets never below the source", 1, 9, {512, 512}, {1024, 1024}, {1024, 1024}, 0},
        FitCase{"icons may grow", 1, 10, {2048, 2048}, {1024, 1024}, {2048, 2048}, 1},
        FitCase{"icons: other scale types are left", 2, 5, {512, 0}, {1024, 1024}, {512, 512}, 2},
        // 4099 x 4097 = 16793603 rounds to 16793604 in single precision, which
        // is not less than the source's 4098 x 4098.
        FitCase{"icon pixel count is single precision", 0, 5, {4099, 4097}, {4098, 4098}, {4099, 4097}, 0},
        FitCase{"icon count compares ceilings", 0, 5, {1023.2, 1024}, {1024, 1024}, {1023.2, 1024}, 0}),
    testing_names::ByNameMember());

TEST(FitLimits, NonNumbersFallBackToTheSource) {
  ImportedImage engine;
  ImageModifyInfo info = defaults();
  info.resizeScaleType = 9;
  Size s{std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
  engine.verifyPixelAvailabilityForSize(s, {640, 480}, info);
  EXPECT_EQ(s, (Size{640, 480}));
  EXPECT_EQ(info.resizeScaleType, 0);
}

TEST(FitLimits, OutputRulesClearResizeBeforeCrop) {
  ImportedImage engine;
  for (std::int64_t ct : {0, 5, 7, 11, 12}) {
    ImageModifyInfo info = defaults();
    info.conversionType = ct;
    info.resizeBeforeCrop = true;
    Size s{100, 100};
    engine.verifyPixelAvailabilityForSize(s, {100, 100}, info);
    EXPECT_FALSE(info.resizeBeforeCrop) << ct;
  }
}

// ---- Crops and rotations ---------------------------------------------------------

struct CropCase {
  const char* name;
  std::int64_t scaleType;
  double centerX, centerY, angle;
  Size target, source;
  double expectedX, expectedY;
  Size expected;
  std::int64_t expectedScaleType;

  friend void PrintTo(const CropCase& c, std::ostream* os) { *os << c.name; }
};

// 800 x 600 turned by 45 degrees spans this on each side.
const double kTurned = 1400 * M_SQRT1_2;

class CropTest : public testing::TestWithParam<CropCase> {};

TEST_P(CropTest, PlacesAndClipsTheCrop) {
  const CropCase& c = GetParam();
  ImportedImage engine;
  ImageModifyInfo info = defaults();
  info.resizeScaleType = c.scaleType;
  info.cropCenterX = c.centerX;
  info.cropCenterY = c.centerY;
  info.rotationAngle = c.angle;
  Size s = c.target;
  engine.verifyPixelAvailabilityForSize(s, c.source, info);
  EXPECT_EQ(info.cropCenterX, c.expectedX) << c.name;
  EXPECT_EQ(info.cropCenterY, c.expectedY) << c.name;
  EXPECT_NEAR(s.width, c.expected.width, 1e-9) << c.name;
  EXPECT_NEAR(s.height, c.expected.height, 1e-9) << c.name;
  EXPECT_EQ(info.resizeScaleType, c.expectedScaleType) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Crops, CropTest,
    testing::Values(
        CropCase{"centred crop", 6, 0.5, 0.5, 0, {400, 300}, {1000, 800}, 300, 250, {400, 300}, 6},
        CropCase{"clipped at the right", 6, 0.9, 0.5, 0, {400, 300}, {1000, 800}, 700, 250, {300, 300}, 6},
        CropCase{"crop clipped at the origin", 6, 0.0, 0.0, 0, {400, 300}, {1000, 800}, 0, 0, {200, 150}, 6},
        CropCase{"halves round away from zero", 6, 0.5, 0.5, 0, {50, 50}, {101, 101}, 26, 26, {50, 50}, 6},
        CropCase{"wholly outside: everything", 6, 3, 3, 0, {50, 50}, {100, 100}, 0, 0, {100, 100}, 0},
        CropCase{"whole-image crop is none", 6, 0.5, 0.5, 0, {100, 100}, {100, 100}, 0, 0, {100, 100}, 0},
        CropCase{"crop larger than the image", 6, 0.5, 0.5, 0, {300, 300}, {100, 100}, 0, 0, {100, 100}, 0},
        CropCase{"crop and rotate by 0", 16, 0.5, 0.5, 0, {400, 200}, {800, 600}, 200, 200, {400, 200}, 16},
        CropCase{"crop and rotate by 90", 16, 0.5, 0.5, 90, {400, 200}, {800, 600}, 200, 200, {200, 400}, 16},
        CropCase{"whole-image crop and rotate", 16, 0.5, 0.5, 0, {800, 600}, {800, 600}, 0, 0, {800, 600}, 0},
        CropCase{"rotated outside", 16, -2, 0.5, 45, {100, 100}, {800, 600}, 0, 0, {kTurned, kTurned}, 16}),
    testing_names::ByNameMember());

TEST(Crop, CropAndRotateRecordsTheUnrotatedSizes) {
  ImportedImage engine;
  ImageModifyInfo info = defaults();
  info.resizeScaleType = 16;
  info.rotationAngle = 30;
  Size s{100, 50};
  engine.verifyPixelAvailabilityForSize(s, {1000, 1000}, info);
  EXPECT_EQ(info.unrotatedWidth, 100);
  EXPECT_EQ(info.unrotatedHeight, 50);
  EXPECT_EQ(info.cropAndRotateCropSize, (Size{100, 50}));
  const double rad = 30 * M_PI / 180;
  EXPECT_NEAR(s.width, 100 * std::cos(rad) + 50 * std::sin(rad), 1e-9);
  EXPECT_NEAR(s.height, 100 * std::sin(rad) + 50 * std::cos(rad), 1e-9);
}

TEST(Crop, FreeRotationRecordsTheUnrotatedSize) {
  ImportedImage engine;
  ImageModifyInfo info = defaults();
  info.resizeScaleType = 15;
  info.rotationAngle = -30;
  Size s{100, 50};
  engine.verifyPixelAvailabilityForSize(s, {100, 50}, info);
  EXPECT_EQ(info.unrotatedWidth, 100);
  EXPECT_EQ(info.unrotatedHeight, 50);
  EXPECT_NEAR(s.width, 111.60254037844386, 1e-9);
  EXPECT_NEAR(s.height, 93.30127018922192, 1e-9);
  EXPECT_EQ(info.resizeScaleType, 15);
}

TEST(Crop, PreviewRecordsTheRequestedCropSize) {
  ImportedImage engine;
  for (std::int64_t scaleType : {6, 16}) {
    ImageModifyInfo info = defaults();
    info.resizeScaleType = scaleType;
    engine.setCropOriginalSize({});
    engine.updateCropSizeForPreview = false;
    Size s{40, 30};
    engine.verifyPixelAvailabilityForSize(s, {100, 100}, info);
    EXPECT_EQ(engine.cropOriginalSize(), (Size{})) << scaleType;
    engine.updateCropSizeForPreview = true;
    info = defaults();
    info.resizeScaleType = scaleType;
    s = {40, 30};
    engine.verifyPixelAvailabilityForSize(s, {100, 100}, info);
    EXPECT_EQ(engine.cropOriginalSize(), (Size{40, 30})) << scaleType;
  }
}

TEST(Crop, At2xTheCropIsDoubledAndScaledFirst) {
  ImportedImage engine;
  ImageModifyInfo info = defaults();
  info.conversionType = ConversionType::Xcode2xFolder;
  info.resizeScaleType = 6;
  Size s{100, 60};
  engine.verifyPixelAvailabilityForSize(s, {200, 200}, info);
  EXPECT_EQ(s, (Size{200, 120}));
  EXPECT_EQ(info.cropCenterX, 100);
  EXPECT_EQ(info.cropCenterY, 140);
  EXPECT_TRUE(info.resizeBeforeCrop);

  info = defaults();
  info.conversionType = ConversionType::Xcode2xFolder;
  info.resizeScaleType = 16;
  info.rotationAngle = 0.0;
  info.cropCenterX = 0.25;
  s = {40, 40};
  engine.verifyPixelAvailabilityForSize(s, {200, 100}, info);
  EXPECT_EQ(s, (Size{80, 80}));
  EXPECT_EQ(info.cropCenterX, 60);
  EXPECT_EQ(info.cropCenterY, 60);
  EXPECT_EQ(info.unrotatedWidth, 80);
  EXPECT_EQ(info.unrotatedHeight, 80);
  EXPECT_EQ(info.cropAndRotateCropSize, (Size{80, 80}));
  EXPECT_TRUE(info.resizeBeforeCrop);

  // Without a crop nothing but the size doubles.
  info = defaults();
  info.conversionType = ConversionType::Xcode2xFolder;
  info.resizeScaleType = 8;
  s = {40, 40};
  engine.verifyPixelAvailabilityForSize(s, {200, 100}, info);
  EXPECT_EQ(info.cropCenterX, 0.5);
  EXPECT_FALSE(info.resizeBeforeCrop);
}

// ---- Unit conversion ---------------------------------------------------------------

struct UnitCase {
  std::int64_t from, to;
  double value, dpi, expected;

  friend void PrintTo(const UnitCase& c, std::ostream* os) {
    *os << c.from << " to " << c.to << " of " << c.value << " at " << c.dpi;
  }
};

class ConvertFormatTest : public testing::TestWithParam<UnitCase> {};

TEST_P(ConvertFormatTest, Converts) {
  const UnitCase& c = GetParam();
  EXPECT_EQ(ImportedImage::convertFormat(c.from, c.to, c.value, c.dpi), c.expected)
      << c.from << " -> " << c.to << " of " << c.value << " at " << c.dpi;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConvertFormatTest,
    testing::Values(UnitCase{2, 1, 2, 72, 144}, UnitCase{1, 1, 5, 300, -1},
                    UnitCase{1, 2, 10, 300, 10.0 / 300}, UnitCase{1, 3, 10, 300, 0.08466666539510091},
                    UnitCase{1, 4, 10, 300, 0.8466666539510092}, UnitCase{1, 5, 10, 300, 2.4},
                    UnitCase{2, 1, 2.0001, 300, 601}, UnitCase{2, 3, 2, 300, 5.079999923706055},
                    UnitCase{2, 4, 2, 300, 50.79999923706055}, UnitCase{2, 5, 2, 0, 144},
                    UnitCase{2, 2, 2, 300, -1},
                    // 300.0000045 in double, 300 in single precision.
                    UnitCase{3, 1, 2.54, 300, 300}, UnitCase{3, 2, 2.54, 0, 1.0000000150184933},
                    UnitCase{3, 4, 2.5, 0, 25}, UnitCase{3, 5, 2.54, 0, 72.00000108133152},
                    UnitCase{4, 1, 25.4, 300, 300}, UnitCase{4, 2, 25.4, 0, 1.0000000150184933},
                    UnitCase{4, 3, 25, 0, 2.5}, UnitCase{4, 5, 25.4, 0, 72.00000108133152},
                    UnitCase{5, 1, 7, 300, 30}, UnitCase{5, 2, 36, 0, 0.5},
                    UnitCase{5, 3, 7, 0, 0.246944440735711}, UnitCase{5, 4, 7, 0, 2.46944440735711},
                    // Pixels need a resolution above 1, both ways.
                    UnitCase{1, 2, 10, 1, -1}, UnitCase{2, 1, 10, 1, -1}, UnitCase{5, 1, 10, 0.5, -1},
                    // Factors and unknown units are not converted.
                    UnitCase{0, 1, 10, 300, -1}, UnitCase{2, 0, 10, 300, -1}, UnitCase{6, 2, 10, 300, -1},
                    UnitCase{2, -1, 10, 300, -1}),
    [](const testing::TestParamInfo<UnitCase>& info) {
      return testing_names::paramName(
          info.index, "from " + std::to_string(info.param.from) + " to " + std::to_string(info.param.to));
    });

}  // namespace
}  // namespace velumar

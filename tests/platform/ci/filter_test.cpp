// Filters by name: unknown names give nothing, registered ones are made by
// their constructor, defaults reset parameters, and the built-ins compute
// what their names promise.

#include <gtest/gtest.h>

#include "graph_test_support.h"
#include "platform/ci/filter.h"

using citest::imageOf;
using citest::render;

namespace {

TEST(Filter, UnknownNameYieldsNoFilter) {
  EXPECT_EQ(ci::Filter::withName("CINoSuchFilter"), nullptr);
  EXPECT_EQ(ci::Filter::withName(""), nullptr);
}

class InvertFilter final : public ci::Filter {
 public:
  explicit InvertFilter(const std::string& name) : Filter(name) {}
  ci::ImageRef outputImage() const override {
    ci::ImageRef in = image(ci::kInputImageKey);
    if (!in) return nullptr;
    return ci::Image::kernel({in}, in->extent(), [](const ci::KernelRow& row) {
      for (std::int64_t i = 0; i < row.count * 4; i += 4) {
        const float* p = row.inputs[0] + i;
        row.output[i] = p[3] - p[0], row.output[i + 1] = p[3] - p[1], row.output[i + 2] = p[3] - p[2];
        row.output[i + 3] = p[3];
      }
    });
  }
};

TEST(Filter, RegisteredFilterIsMadeByItsConstructor) {
  EXPECT_EQ(ci::Filter::withName("TestInvert"), nullptr);
  foundation::Dictionary attributes{{"CIAttributeFilterDisplayName", foundation::Value("Invert")}};
  ci::registerFilterName(
      "TestInvert", [](const std::string& name) { return std::make_shared<InvertFilter>(name); }, attributes);
  ci::FilterRef filter = ci::Filter::withName("TestInvert");
  ASSERT_TRUE(filter);
  EXPECT_EQ(filter->name(), "TestInvert");
  EXPECT_EQ(ci::filterAttributes("TestInvert"), attributes);
  filter->setValue(ci::kInputImageKey, imageOf(2, 2, [](auto, auto) {
                     return citest::Pixel{0.25f, 0, 1, 1};
                   }));
  auto out = render(filter->outputImage(), {0, 0, 2, 2});
  EXPECT_EQ(out.at(1, 1), (citest::Pixel{0.75f, 1, 0, 1}));
  EXPECT_EQ(filter->valueForKey(ci::kOutputImageKey).image() != nullptr, true);
}

TEST(Filter, SingleValuesAreKeptExactlyAndDefaultsRestoreParameters) {
  ci::FilterRef lanczos = ci::Filter::withName("CILanczosScaleTransform");
  ASSERT_TRUE(lanczos);
  lanczos->setDefaults();
  EXPECT_EQ(lanczos->number("inputScale"), 1.0);
  lanczos->setValue("inputScale", 0.8f);
  EXPECT_EQ(lanczos->number("inputScale"), double(0.8f));
  EXPECT_NE(lanczos->number("inputScale"), 0.8);
  ci::ImageRef input = imageOf(4, 4, citest::coordinatePixel);
  lanczos->setValue(ci::kInputImageKey, input);
  lanczos->setDefaults();
  EXPECT_EQ(lanczos->number("inputScale"), 1.0);
  EXPECT_EQ(lanczos->image(ci::kInputImageKey), input);  // the input survives
}

TEST(Filter, MissingInputYieldsNoOutput) {
  for (const char* name : {"CIAffineTransform", "CIAffineClamp", "CICrop", "CILanczosScaleTransform",
                           "CIStretchCrop", "CIColorClamp", "CIColorMatrix", "CISourceOverCompositing"}) {
    ci::FilterRef filter = ci::Filter::withName(name);
    ASSERT_TRUE(filter) << name;
    filter->setDefaults();
    EXPECT_EQ(filter->outputImage(), nullptr) << name;
  }
}

TEST(Filter, ColorMatrixAndClampWorkOnStraightColour) {
  ci::ImageRef input = imageOf(1, 1, [](auto, auto) { return citest::Pixel{0.2f, 0.1f, 0.05f, 0.5f}; });
  ci::FilterRef matrix = ci::Filter::withName("CIColorMatrix");
  matrix->setDefaults();
  matrix->setValue(ci::kInputImageKey, input);
  matrix->setValue("inputRVector", ci::Vector{0, 0, 2, 0});  // r' = 2b
  matrix->setValue("inputBiasVector", ci::Vector{0, 0.1, 0, 0});
  auto out = render(matrix->outputImage(), {0, 0, 1, 1});
  // straight (0.4, 0.2, 0.1, 0.5) → (0.2, 0.3, 0.1, 0.5) → premultiplied
  EXPECT_NEAR(out.at(0, 0)[0], 0.1f, 1e-6);
  EXPECT_NEAR(out.at(0, 0)[1], 0.15f, 1e-6);
  EXPECT_NEAR(out.at(0, 0)[2], 0.05f, 1e-6);
  EXPECT_NEAR(out.at(0, 0)[3], 0.5f, 1e-6);

  ci::FilterRef clamp = ci::Filter::withName("CIColorClamp");
  clamp->setDefaults();
  clamp->setValue(ci::kInputImageKey, input);
  clamp->setValue("inputMaxComponents", ci::Vector{0.3, 1, 1, 1});
  out = render(clamp->outputImage(), {0, 0, 1, 1});
  EXPECT_NEAR(out.at(0, 0)[0], 0.15f, 1e-6);  // straight 0.4 clamped to 0.3
  EXPECT_NEAR(out.at(0, 0)[1], 0.1f, 1e-6);
}

TEST(Filter, AffineClampWithIdentityExtendsTheEdges) {
  ci::FilterRef clamp = ci::Filter::withName("CIAffineClamp");
  clamp->setDefaults();
  clamp->setValue(ci::kInputImageKey, imageOf(2, 2, citest::coordinatePixel));
  ci::ImageRef out = clamp->outputImage();
  EXPECT_TRUE(ci::isInfinite(out->extent()));
  EXPECT_EQ(render(out, {-5, 5, 1, 1}).at(-5, 5), citest::coordinatePixel(0, 1));
}

TEST(Filter, AffineTransformTakesTheTransformAsGiven) {
  ci::FilterRef affine = ci::Filter::withName("CIAffineTransform");
  affine->setDefaults();
  affine->setValue(ci::kInputImageKey, imageOf(4, 2, citest::coordinatePixel));
  // Scale applied after a translation: (x + 1) · 2.
  affine->setValue("inputTransform",
                   raster::AffineTransform::scaling(2, 2).concat(raster::AffineTransform::translation(1, 0)));
  EXPECT_EQ(affine->outputImage()->extent(), raster::Rect(2, 0, 8, 4));
}

TEST(Filter, CropAndSourceOver) {
  ci::ImageRef image = imageOf(6, 6, citest::coordinatePixel);
  ci::FilterRef crop = ci::Filter::withName("CICrop");
  crop->setDefaults();
  crop->setValue(ci::kInputImageKey, image);
  EXPECT_EQ(crop->outputImage()->extent(), image->extent());  // the default rectangle is infinite
  crop->setValue("inputRectangle", ci::Vector{1, 2, 3, 2});
  EXPECT_EQ(crop->outputImage()->extent(), raster::Rect(1, 2, 3, 2));

  ci::FilterRef over = ci::Filter::withName("CISourceOverCompositing");
  over->setDefaults();
  over->setValue(ci::kInputImageKey, crop->outputImage());
  over->setValue(ci::kInputBackgroundImageKey, ci::Image::constantColor(ci::Color::white()));
  ci::ImageRef out = over->outputImage();
  EXPECT_TRUE(ci::isInfinite(out->extent()));
  auto pixels = render(out, {0, 0, 6, 6});
  EXPECT_EQ(pixels.at(0, 0), (citest::Pixel{1, 1, 1, 1}));
  EXPECT_EQ(pixels.at(2, 3), citest::coordinatePixel(2, 3));
}

TEST(Filter, StretchCropFillsTheTargetSize) {
  ci::ImageRef wide = imageOf(40, 10, [](auto, auto) { return citest::Pixel{0.5f, 0.5f, 0.5f, 1}; });
  struct Case {
    double crop, stretch;
  } cases[] = {{0, 0}, {1, 0}, {0.25, 0.25}, {0.5, 1}};
  for (const auto& c : cases) {
    ci::FilterRef filter = ci::Filter::withName("CIStretchCrop");
    filter->setDefaults();
    filter->setValue(ci::kInputImageKey, wide);
    filter->setValue("inputSize", ci::Vector{20, 20});
    filter->setValue("inputCropAmount", c.crop);
    filter->setValue("inputCenterStretchAmount", c.stretch);
    ci::ImageRef out = filter->outputImage();
    ASSERT_TRUE(out);
    EXPECT_EQ(out->extent(), raster::Rect(0, 0, 20, 20));
    auto pixels = render(out, {0, 0, 20, 20});
    for (std::int64_t y = 0; y < 20; ++y) {
      for (std::int64_t x = 0; x < 20; ++x) ASSERT_NEAR(pixels.at(x, y)[3], 1.0f, 1e-5) << x << "," << y;
    }
  }
}

TEST(Filter, StretchCropWithFullCropKeepsTheCentre) {
  // Columns numbered: a full crop of 40 × 10 to 10 × 10 keeps columns 15..24 unscaled.
  ci::ImageRef wide = imageOf(40, 10, [](std::int64_t x, auto) {
    return citest::Pixel{float(x) / 40, 0, 0, 1};
  });
  ci::FilterRef filter = ci::Filter::withName("CIStretchCrop");
  filter->setDefaults();
  filter->setValue(ci::kInputImageKey, wide);
  filter->setValue("inputSize", ci::Vector{10, 10});
  filter->setValue("inputCropAmount", 1.0);
  filter->setValue("inputCenterStretchAmount", 0.0);
  auto pixels = render(filter->outputImage(), {0, 0, 10, 10});
  EXPECT_NEAR(pixels.at(0, 5)[0], 15.0f / 40, 1e-6);
  EXPECT_NEAR(pixels.at(9, 5)[0], 24.0f / 40, 1e-6);
}

}  // namespace

// The automatic adjustment and face stage of the filter engine on real
// photos: scikit-image's astronaut (one face), its painted closed-eye
// variant, and the coffee cup (no face).

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "filters/cifiltering.h"
#include "platform/raster/row_order.h"
#include "support/face_photos.h"

namespace velumar {
namespace {

using Rgba = std::array<int, 4>;

struct Rendered {
  std::optional<bool> verdict;
  std::optional<std::vector<raster::Rect>> faces;
  bool pending = false;  // whether the stage left a pending image
  facetest::Photo pixels;
  std::size_t crops = 0;
  raster::Rect firstCrop;
};

std::unique_ptr<raster::BitmapContext> contextOf(const facetest::Photo& photo) {
  auto context = raster::BitmapContext::create(photo.width, photo.height, raster::PixelFormat::rgba8(),
                                               raster::ColorSpace::sRGB());
  context->setBlendMode(raster::BlendMode::Copy);
  context->drawImage(photo.image(), raster::Rect(0, 0, double(photo.width), double(photo.height)));
  context->setBlendMode(raster::BlendMode::Normal);
  return context;
}

Rendered run(const facetest::Photo& photo, const FaceOptions& options) {
  CIFiltering engine;
  auto context = contextOf(photo);
  engine.createNewCIContextWithCGContext(context.get(), true);
  Rendered r;
  r.verdict = engine.autoAdjustFilterWithContext(context.get(), options);
  r.faces = engine.facesRectArray();
  r.pending = bool(engine.ciImage());
  engine.drawCIImageWithCGContext(context.get(), true);
  r.pixels = photo;
  for (std::int64_t y = 0; y < photo.height; ++y)
    std::copy_n(context->data() + std::size_t(y) * context->bytesPerRow(), photo.width * 4,
                r.pixels.rgba.begin() + std::ptrdiff_t(y * photo.width * 4));
  r.crops = engine.cropFacesArray.size();
  if (r.crops)
    r.firstCrop = raster::Rect(0, 0, double(engine.cropFacesArray[0]->pixelsWide()),
                               double(engine.cropFacesArray[0]->pixelsHigh()));
  return r;
}

Rgba at(const facetest::Photo& photo, double x, double yUp) {
  const std::uint8_t* p = photo.at(std::int64_t(x), raster::topDownRow(std::int64_t(yUp), photo.height));
  return {p[0], p[1], p[2], p[3]};
}

int difference(const Rgba& a, const Rgba& b) {
  int worst = 0;
  for (std::size_t c = 0; c < 4; ++c) worst = std::max(worst, std::abs(a[c] - b[c]));
  return worst;
}

class FaceStage : public ::testing::Test {
 protected:
  void SetUp() override {
    photo_ = facetest::skimagePhoto("astronaut.png");
    if (photo_.width == 0) GTEST_SKIP() << "needs python3-skimage";
    CIFiltering engine;
    const auto features = engine.ciDetector().featuresInImage(ci::Image::withBitmap(photo_.image()), true);
    ASSERT_EQ(features.size(), 1u);
    face_ = features[0];
    centre_ = {face_.bounds.origin.x + face_.bounds.size.width / 2,
               face_.bounds.origin.y + face_.bounds.size.height / 2};
    radius_ = std::min(face_.bounds.size.width, face_.bounds.size.height) / 1.5;
  }
  static FaceOptions faces(bool isolate = true) {
    FaceOptions o;
    o.optionFeatures = true;
    o.optionFeaturesIsolateFaces = isolate;
    return o;
  }
  // Points well inside the face disc and well outside it.
  std::vector<raster::Point> inside() const {
    return {centre_, {centre_.x - radius_ / 3, centre_.y}, {centre_.x, centre_.y + radius_ / 3}};
  }
  std::vector<raster::Point> outside() const {
    return {{20, 20}, {500, 40}, {centre_.x + radius_ + 30, centre_.y}, {60, 480}};
  }

  facetest::Photo photo_;
  ci::FaceFeature face_;
  raster::Point centre_;
  double radius_ = 0;
};

TEST_F(FaceStage, EntryFlagsOffOrFeaturesWithoutDetectionLeaveTheImage) {
  FaceOptions off = faces();
  off.optionFeatures = false;
  off.optionEnhance = off.optionRedEye = off.optionFeaturesBlurFaces = true;
  FaceOptions noDetection = faces(false);
  noDetection.optionFeaturesBlurFaces = noDetection.optionFeaturesFrameFaces = true;
  for (const FaceOptions& options : {off, noDetection}) {
    const Rendered r = run(photo_, options);
    EXPECT_FALSE(r.verdict);
    EXPECT_FALSE(r.faces);
    EXPECT_FALSE(r.pending);
    EXPECT_EQ(r.crops, 0u);
  }
}

TEST_F(FaceStage, EachEffectChangesWhereItShould) {
  const struct {
    const char* name;
    bool FaceOptions::*flag;
    bool changesInside, changesOutside;
  } cases[] = {
      {"isolate", nullptr, false, true},  // white outside
      {"blur", &FaceOptions::optionFeaturesBlurFaces, true, false},
      {"pixellate", &FaceOptions::optionFeaturesPixelateFaces, true, false},
      {"frames", &FaceOptions::optionFeaturesFrameFaces, false, false},
      {"background blur", &FaceOptions::optionFeaturesBlurBackgroundFaces, false, true},
  };
  for (const auto& c : cases) {
    FaceOptions options = faces();
    if (c.flag) options.*c.flag = true;
    const Rendered r = run(photo_, options);
    EXPECT_FALSE(r.verdict) << c.name;
    EXPECT_TRUE(r.pending || !c.flag) << c.name;
    int worstInside = 0, worstOutside = 0;
    for (const raster::Point& p : inside())
      worstInside = std::max(worstInside, difference(at(r.pixels, p.x, p.y), at(photo_, p.x, p.y)));
    for (const raster::Point& p : outside())
      worstOutside = std::max(worstOutside, difference(at(r.pixels, p.x, p.y), at(photo_, p.x, p.y)));
    EXPECT_EQ(worstInside > 2, c.changesInside) << c.name << " " << worstInside;
    EXPECT_EQ(worstOutside > 2, c.changesOutside) << c.name << " " << worstOutside;
    EXPECT_EQ(r.faces.has_value(), c.flag == &FaceOptions::optionFeaturesFrameFaces) << c.name;
    if (!c.flag) {
      for (const raster::Point& p : outside()) EXPECT_EQ(at(r.pixels, p.x, p.y), (Rgba{255, 255, 255, 255}));
    }
  }
}

TEST_F(FaceStage, BackgroundIsTheTestedGaussianOutsideTheDiscs) {
  FaceOptions options = faces();
  options.optionFeaturesBlurBackgroundFaces = true;
  const Rendered r = run(photo_, options);
  // The reference: the whole photo through the same blur, E / 500.
  CIFiltering engine;
  auto context = contextOf(photo_);
  engine.createNewCIContextWithCGContext(context.get(), true);
  const ci::ImageRef input = ci::Image::withBitmap(photo_.image());
  const ci::ImageRef nothing = ci::Image::constantColor(ci::Color::clear())->cropped(input->extent());
  engine.setCiImage(engine.blurBackGroundWithInputImage(input, input->extent(), input, nothing));
  engine.drawCIImageWithCGContext(context.get(), true);
  int worst = 0;
  for (std::int64_t y = 0; y < photo_.height; y += 3) {
    for (std::int64_t x = 0; x < photo_.width; x += 3) {
      if (std::hypot(x + 0.5 - centre_.x, raster::yUpRow(y, photo_.height) + 0.5 - centre_.y) < radius_ + 2)
        continue;
      const std::uint8_t* ours = r.pixels.at(x, y);
      const std::uint8_t* reference = context->data() + std::size_t(y) * context->bytesPerRow() + x * 4;
      for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(ours[c] - reference[c]));
    }
  }
  EXPECT_LE(worst, 1);
}

// Inside the discs' solid centre the faces are the whole photo blurred by
// E / 100 or pixellated in cells of E / 60, E the longer side.
TEST_F(FaceStage, BlurAndPixellateInsideAreTheWholeImageFilters) {
  const double longer = double(std::max(photo_.width, photo_.height));
  const struct {
    bool FaceOptions::*flag;
    const char* filter;
    const char* key;
    double value;
  } cases[] = {{&FaceOptions::optionFeaturesBlurFaces, "CIGaussianBlur", "inputRadius", longer / 100},
               {&FaceOptions::optionFeaturesPixelateFaces, "CIPixellate", "inputScale", longer / 60}};
  for (const auto& c : cases) {
    FaceOptions options = faces();
    options.*c.flag = true;
    const Rendered r = run(photo_, options);
    CIFiltering engine;
    auto context = contextOf(photo_);
    engine.createNewCIContextWithCGContext(context.get(), true);
    const ci::ImageRef input = ci::Image::withBitmap(photo_.image());
    ci::FilterRef filter = ci::Filter::withName(c.filter);
    filter->setValue(c.key, c.value);
    filter->setValue(ci::kInputImageKey, input->clampedToExtent());
    engine.setCiImage(filter->outputImage()->cropped(input->extent()));
    engine.drawCIImageWithCGContext(context.get(), true);
    int worst = 0;
    for (std::int64_t y = 0; y < photo_.height; ++y) {
      for (std::int64_t x = 0; x < photo_.width; ++x) {
        if (std::hypot(x + 0.5 - centre_.x, raster::yUpRow(y, photo_.height) + 0.5 - centre_.y) >
            radius_ * 0.6)
          continue;
        const std::uint8_t* ours = r.pixels.at(x, y);
        const std::uint8_t* reference = context->data() + std::size_t(y) * context->bytesPerRow() + x * 4;
        for (int k = 0; k < 4; ++k) worst = std::max(worst, std::abs(ours[k] - reference[k]));
      }
    }
    EXPECT_LE(worst, 1) << c.filter;
  }
}

TEST_F(FaceStage, VignetteDarkensAroundTheFaceOnly) {
  FaceOptions options = faces();
  options.optionFeaturesVignetteFaces = true;
  const Rendered r = run(photo_, options);
  EXPECT_LE(difference(at(r.pixels, centre_.x, centre_.y), at(photo_, centre_.x, centre_.y)), 2);
  double before = 0, after = 0;
  for (const raster::Point& p : {raster::Point{10, 10}, {500, 20}, {20, 500}, {500, 500}}) {
    for (int c = 0; c < 3; ++c) {
      before += at(photo_, p.x, p.y)[std::size_t(c)];
      after += at(r.pixels, p.x, p.y)[std::size_t(c)];
    }
  }
  EXPECT_LT(after, 0.9 * before);
}

TEST_F(FaceStage, CropsAndBiggerBounds) {
  FaceOptions options = faces();
  options.optionFeaturesSaveCropFaces = true;
  options.optionFeaturesFrameFaces = true;
  Rendered r = run(photo_, options);
  ASSERT_EQ(r.crops, 1u);
  EXPECT_NEAR(r.firstCrop.size.width, face_.bounds.size.width, 1);
  ASSERT_TRUE(r.faces && r.faces->size() == 1);
  options.optionFeaturesBiggerBoundsFaces = true;
  r = run(photo_, options);
  ASSERT_TRUE(r.faces && r.faces->size() == 1);
  EXPECT_NEAR((*r.faces)[0].size.width, face_.bounds.size.width * 1.4, 1e-9);
  EXPECT_NEAR((*r.faces)[0].origin.x, face_.bounds.origin.x - face_.bounds.size.width / 5, 1e-9);
  options.allowFaceCrops = false;
  EXPECT_EQ(run(photo_, options).crops, 0u);
}

TEST_F(FaceStage, ClosedEyesRejectTheImageAndTouchNothing) {
  if (!face_.leftEye) GTEST_SKIP() << "needs libdlib-data";
  const facetest::Photo closed = facetest::withEyesShut(photo_, face_, true, true);
  FaceOptions options = faces();
  options.optionFeaturesEyeBlink = true;
  options.optionFeaturesFrameFaces = true;
  options.optionAutoAdjust = options.optionEnhance = true;

  CIFiltering engine;
  auto context = contextOf(closed);
  engine.createNewCIContextWithCGContext(context.get(), true);
  const ci::ImageRef pending = ci::Image::withBitmap(closed.image());
  engine.setCiImage(pending);
  EXPECT_EQ(engine.autoAdjustFilterWithContext(context.get(), options), std::optional<bool>(false));
  EXPECT_EQ(engine.ciImage(), pending);
  EXPECT_FALSE(engine.facesRectArray());

  // The open-eyed original goes on, framed.
  const Rendered open = run(photo_, options);
  EXPECT_FALSE(open.verdict);
  EXPECT_TRUE(open.faces);
}

TEST(FaceStageNoFace, IsolateOnACoffeeCupAdjustsTheWholeImageOnly) {
  const facetest::Photo coffee = facetest::skimagePhoto("coffee.png");
  if (coffee.width == 0) GTEST_SKIP() << "needs python3-skimage";
  FaceOptions options;
  options.optionFeatures = options.optionFeaturesIsolateFaces = options.optionFeaturesFrameFaces = true;
  options.optionFeaturesBlurFaces = options.optionFeaturesSaveCropFaces = true;
  Rendered r = run(coffee, options);
  EXPECT_FALSE(r.faces);
  EXPECT_FALSE(r.pending);
  EXPECT_EQ(r.crops, 0u);
  options.optionAutoAdjust = options.optionEnhance = true;
  r = run(coffee, options);
  EXPECT_FALSE(r.faces);
  EXPECT_TRUE(r.pending);
}

TEST(FaceStageBadInput, TinyAndStripImagesAndNoContext) {
  FaceOptions options;
  options.optionAutoAdjust = options.optionEnhance = options.optionRedEye = true;
  options.optionFeatures = options.optionFeaturesIsolateFaces = options.optionFeaturesEyeBlink = true;
  options.optionFeaturesBlurFaces = options.optionFeaturesVignetteFaces = true;
  for (auto [w, h] : {std::pair<std::int64_t, std::int64_t>{1, 1}, {10000, 1}, {1, 3000}}) {
    facetest::Photo strip{w, h, std::vector<std::uint8_t>(std::size_t(w * h * 4), 200)};
    EXPECT_FALSE(run(strip, options).verdict) << w << "x" << h;
  }
  CIFiltering engine;
  auto context =
      raster::BitmapContext::create(8, 8, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  EXPECT_FALSE(engine.autoAdjustFilterWithContext(context.get(), options));  // no filter context
  EXPECT_FALSE(engine.ciImage());
  engine.createNewCIContextWithCGContext(context.get(), true);
  EXPECT_FALSE(engine.autoAdjustFilterWithContext(nullptr, options));
  EXPECT_EQ(engine.vignetteFacesWithInputImage(nullptr, {raster::Rect(0, 0, 4, 4)}), nullptr);
  const ci::ImageRef image = ci::Image::constantColor(ci::Color::black())->cropped(raster::Rect(0, 0, 8, 8));
  EXPECT_EQ(engine.vignetteFacesWithInputImage(image, {}), image);
  EXPECT_EQ(engine.blurBackGroundWithInputImage(image, image->extent(), image, nullptr), image);
}

}  // namespace
}  // namespace velumar

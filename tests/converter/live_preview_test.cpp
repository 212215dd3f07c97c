// The live preview off the main thread: how requests are merged and
// scheduled while a render runs, which renders are skipped or dropped, what
// reaches the view, and that the worker's result is pixel for pixel the
// engine's own preview render.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "converter/headless_live_preview_target.h"
#include "converter/live_preview_renderer.h"
#include "converter/live_preview_request.h"
#include "converter/main_loop_pump.h"
#include "converter/window_test_kit.h"
#include "engine/imported_image.h"
#include "filters/cifiltering.h"
#include "platform/foundation/main_loop.h"

namespace velumar {
namespace {

using convertertest::pumpUntil;

// A colourful stand-in of a photo in 8-bit sRGB: rings around a point, a
// diagonal ramp and a soft falloff.
std::shared_ptr<raster::ImageSet> photo(std::int64_t width, std::int64_t height) {
  auto context =
      raster::BitmapContext::create(width, height, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  for (std::int64_t y = 0; y < height; ++y) {
    std::uint8_t* pixel = context->mutableData() + std::size_t(y) * context->bytesPerRow();
    for (std::int64_t x = 0; x < width; ++x, pixel += 4) {
      const double r =
          std::hypot(double(x) - double(width) / 2, double(y) - double(height) / 3) / double(width);
      pixel[0] = std::uint8_t(255 * std::clamp(1.2 - r, 0.0, 1.0));
      pixel[1] = std::uint8_t((x * 7 + y * 3) % 256);
      pixel[2] = std::uint8_t(90 + 80 * std::cos(9 * r));
      pixel[3] = 255;
    }
  }
  return std::make_shared<raster::ImageSet>(
      raster::ImageSet::withRepresentation(raster::BitmapImageRep::withImage(context->makeImage())));
}

raster::ImageRef pixelsOf(const std::shared_ptr<raster::ImageSet>& image) {
  return image && !image->isEmpty() ? image->representations().front()->image() : nullptr;
}

bool samePixels(const raster::ImageRef& a, const raster::ImageRef& b) {
  if (!a || !b || a->width() != b->width() || a->height() != b->height() || !(a->format() == b->format()))
    return false;
  const std::size_t rowBytes = std::size_t(a->width()) * std::size_t(a->format().bytesPerPixel());
  for (std::int64_t y = 0; y < a->height(); ++y)
    if (std::memcmp(a->row(y), b->row(y), rowBytes) != 0) return false;
  return true;
}

// Our own main loop, for the tests that need no widgets: its hand-offs
// between threads are visible to the thread sanitizer (Qt's are not).
class OwnMainLoop {
 public:
  OwnMainLoop() : previous_(foundation::MainLoop::installed()) { foundation::MainLoop::install(&loop_); }
  ~OwnMainLoop() { foundation::MainLoop::install(previous_); }
  // Runs the loop until done() or three seconds passed; answers done().
  bool runUntil(const std::function<bool()>& done) { return loop_.runUntil(done, 3.0); }
  void runFor(double seconds) { loop_.runUntil({}, seconds); }
  void runPending() { loop_.runPending(); }

 private:
  foundation::PlainMainLoop loop_;
  foundation::MainLoop* previous_;
};

// A renderer on a headless view showing a 320 × 240 copy of a 1280 × 960
// file, whose jobs carry the settings change() makes.
struct Scheduling {
  OwnMainLoop main;
  HeadlessLivePreviewTarget target;
  std::function<void(ImageModifyInfo&)> change = [](ImageModifyInfo&) {};
  LivePreviewRenderer renderer{[this](LivePreviewTarget& view, bool) {
    LivePreviewJob job;
    job.source = view.rawImageBackup();
    job.imageURLSize = view.imageURLSize();
    job.info.filterType0 = 57;
    change(job.info);
    return std::optional<LivePreviewJob>(job);
  }};

  Scheduling() {
    target.show(photo(320, 240), {1280, 960});
    renderer.setTarget(&target);
  }
  bool settle() {
    return main.runUntil([this] { return renderer.isIdle(); });
  }
};

TEST(LivePreviewScheduling, RequestsWhileARenderRunsEndInOneRenderOfTheLastSettings) {
  Scheduling s;
  s.renderer.holdWorker(true);
  s.renderer.requestRender();
  ASSERT_TRUE(s.main.runUntil([&] { return s.renderer.rendersStarted() == 1; }));
  for (int step = 1; step <= 10; ++step) {
    s.change = [step](ImageModifyInfo& info) { info.rFactorW = info.rFactorH = 0.05 * step; };
    s.renderer.requestRender();
    s.main.runPending();
  }
  EXPECT_EQ(s.renderer.rendersStarted(), 1u);
  s.renderer.holdWorker(false);
  ASSERT_TRUE(s.settle());
  EXPECT_EQ(s.renderer.rendersStarted(), 2u);
  EXPECT_EQ(s.renderer.resultsInstalled(), 2u);
  EXPECT_DOUBLE_EQ(s.renderer.lastStartedJob()->info.rFactorW, 0.5);
}

TEST(LivePreviewScheduling, RequestsOfOnePassMakeOneRender) {
  Scheduling s;
  for (int i = 0; i < 25; ++i) s.renderer.requestRender();
  ASSERT_TRUE(s.settle());
  EXPECT_EQ(s.renderer.rendersStarted(), 1u);
}

TEST(LivePreviewScheduling, NothingIsRequestedForThePlaceholderOrWithoutAnImage) {
  for (const bool placeholder : {true, false}) {
    Scheduling s;
    s.target.originalImage = placeholder;
    if (!placeholder) s.target.source = nullptr;
    s.renderer.requestRender();
    EXPECT_TRUE(s.renderer.isIdle());
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(s.renderer.rendersStarted(), 0u);
    EXPECT_EQ(s.target.displays, 0);
  }
}

TEST(LivePreviewScheduling, ARenderYieldingNothingKeepsTheImagesAndStillRedisplays) {
  Scheduling s;
  // A size in pixels that rounds to none.
  s.change = [](ImageModifyInfo& info) {
    info.doImageResize = true;
    info.resizeConversionType = 1;
    info.fixedSizeW = info.fixedSizeH = 1e-300;
  };
  const auto shown = photo(8, 8), raw = photo(8, 8);
  s.target.shown = shown;
  s.target.raw = raw;
  s.renderer.requestRender();
  ASSERT_TRUE(s.settle());
  EXPECT_EQ(s.renderer.resultsInstalled(), 1u);
  EXPECT_EQ(s.target.displays, 1);
  EXPECT_EQ(s.target.shown, shown);
  EXPECT_EQ(s.target.raw, raw);
  EXPECT_TRUE(s.target.drawImageOnly);
}

TEST(LivePreviewScheduling, WhatReachesTheViewDependsOnTheShownImagesSize) {
  struct Case {
    raster::Size shownSize;
    int imageSets;
  };
  // Filter 57 keeps the 320 × 240 copy's size.
  for (const Case& c : {Case{{320, 240}, 0}, Case{{100, 240}, 1}, Case{{320, 100}, 1}}) {
    Scheduling s;
    s.target.shown = std::make_shared<raster::ImageSet>(c.shownSize);
    s.renderer.requestRender();
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(s.target.imageSets, c.imageSets) << c.shownSize.width << " x " << c.shownSize.height;
    EXPECT_EQ(s.target.rawImageSets, 1);
    ASSERT_TRUE(s.target.raw);
    EXPECT_EQ(s.target.raw->size(), (raster::Size{320, 240}));
    EXPECT_FALSE(s.target.drawImageOnly);
    EXPECT_EQ(s.target.previewSize, (raster::Size{1280, 960}));
    EXPECT_EQ(s.target.cropSize, (raster::Size{320, 240}));
    EXPECT_EQ(s.target.displays, 1);
    // The view's image never shares a representation with the worker.
    if (c.imageSets) {
      EXPECT_NE(s.target.shown->representations().front(), s.target.raw->representations().front());
    }
  }
}

TEST(LivePreviewScheduling, AResultForAnImageNoLongerShownIsDropped) {
  struct Case {
    const char* name;
    std::function<void(HeadlessLivePreviewTarget&)> meanwhile;
  };
  const Case cases[] = {
      {"another image",
       [](HeadlessLivePreviewTarget& t) {
         t.show(photo(200, 100), {200, 100});
       }},
      {"placeholder", [](HeadlessLivePreviewTarget& t) { t.originalImage = true; }},
  };
  for (const Case& c : cases) {
    Scheduling s;
    s.renderer.holdWorker(true);
    s.renderer.requestRender();
    ASSERT_TRUE(s.main.runUntil([&] { return s.renderer.rendersStarted() == 1; }));
    c.meanwhile(s.target);
    s.renderer.holdWorker(false);
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(s.renderer.resultsInstalled(), 0u) << c.name;
    EXPECT_EQ(s.target.raw, nullptr) << c.name;
    EXPECT_EQ(s.target.displays, 0) << c.name;
  }
}

TEST(LivePreviewScheduling, ARendererDestroyedMidRenderInstallsNothing) {
  OwnMainLoop main;
  HeadlessLivePreviewTarget target;
  target.show(photo(320, 240), {320, 240});
  {
    LivePreviewRenderer renderer([](LivePreviewTarget& view, bool) {
      LivePreviewJob job;
      job.source = view.rawImageBackup();
      job.info.filterType0 = 57;
      return std::optional<LivePreviewJob>(job);
    });
    renderer.setTarget(&target);
    // Held, so the render is still running when the renderer goes, however
    // fast the machine.
    renderer.holdWorker(true);
    renderer.requestRender();
    ASSERT_TRUE(main.runUntil([&] { return renderer.rendersStarted() == 1; }));
  }
  main.runFor(0.1);
  EXPECT_EQ(target.displays, 0);
}

// ---- Equality with the engine's own preview render ------------------------

struct EngineInputs {
  const char* name;
  std::function<void(ImageModifyInfo&, FilterInfo&)> settings;
  std::function<void(ImportedImage&, std::vector<ci::FilterRef>&)> engine;
};

ci::FilterRef invertingCube() {
  constexpr int n = 4;
  ci::Data cube(std::size_t(n * n * n) * 4 * sizeof(float));
  float* entry = reinterpret_cast<float*>(cube.data());
  for (int b = 0; b < n; ++b)
    for (int g = 0; g < n; ++g)
      for (int r = 0; r < n; ++r, entry += 4) {
        entry[0] = 1.0f - float(r) / (n - 1);
        entry[1] = float(g) / (n - 1);
        entry[2] = 1.0f - float(b) / (n - 1);
        entry[3] = 1.0f;
      }
  ci::FilterRef filter = ci::Filter::withName("CIColorCube");
  filter->setValue("inputCubeDimension", double(n));
  filter->setValue("inputCubeData", cube);
  return filter;
}

TEST(LivePreviewEquality, TheInstalledPreviewIsTheEnginesDirectRender) {
  OwnMainLoop main;
  const EngineInputs cases[] = {
      {"filter 57",
       [](ImageModifyInfo& info, FilterInfo& slot) {
         info.filterType0 = 57;
         slot.saturationLevel = 1.4;
       },
       {}},
      {"crop and rotate",
       [](ImageModifyInfo& info, FilterInfo&) {
         info.resizeScaleType = 16;
         info.rotationAngle = 0.3;
         info.cropCenterX = 0.4;
         info.cropCenterY = 0.6;
         info.doImageResize = true;
         info.rFactorW = info.rFactorH = 0.5;
       },
       {}},
      {"lookup table", [](ImageModifyInfo& info, FilterInfo&) { info.addLUT = true; },
       [](ImportedImage& engine, std::vector<ci::FilterRef>& keep) {
         keep.push_back(invertingCube());
         engine.setLutFilter(keep.back());
         engine.lutIntensity = 0.75;
       }},
      {"tone curve", [](ImageModifyInfo& info, FilterInfo&) { info.addToneCurve = true; },
       [](ImportedImage& engine, std::vector<ci::FilterRef>& keep) {
         keep.push_back(ci::Filter::withName("ToneCurveFilter"));
         keep.back()->setValue("inputPoint1", ci::Vector{0.25, 0.4});
         keep.back()->setValue("inputPoint3", ci::Vector{0.75, 0.9});
         engine.setToneCurveFilter(keep.back());
       }},
  };
  const auto source = photo(400, 300);
  const raster::Size fileSize{1600, 1200};
  for (const EngineInputs& c : cases) {
    // The window's engine holds the inputs; the job copies them.
    ImportedImage window;
    std::vector<ci::FilterRef> keep;
    ImageModifyInfo info;
    FilterInfo slot;
    c.settings(info, slot);
    window.ciPhotoFilters->setFilterInfo0(slot);
    if (c.engine) c.engine(window, keep);

    ImportedImage direct;
    direct.ciPhotoFilters->setFilterInfo0(slot);
    if (c.engine) c.engine(direct, keep);
    direct.setImagePreviewOriginalSize(fileSize);
    direct.imagePreviewOriginalDpi = 72;
    direct.setImagePreviewSize(fileSize);
    direct.updateCropSizeForPreview = true;
    const raster::ImageRef expected =
        pixelsOf(direct.resizePixelSizeForImage(source, nullptr, nullptr, 72, info));
    ASSERT_TRUE(expected) << c.name;

    HeadlessLivePreviewTarget target;
    target.show(source, fileSize);
    LivePreviewRenderer renderer([&](LivePreviewTarget& view, bool) {
      LivePreviewJob job;
      job.source = view.rawImageBackup();
      job.imageURLSize = view.imageURLSize();
      job.info = info;
      job.takeEngineInputs(window);
      return std::optional<LivePreviewJob>(job);
    });
    renderer.setTarget(&target);
    // The third render draws in place into the worker's back buffer.
    for (int round = 1; round <= 3; ++round) {
      renderer.requestRender();
      ASSERT_TRUE(main.runUntil([&] { return renderer.isIdle(); }));
      EXPECT_TRUE(samePixels(pixelsOf(target.raw), expected)) << c.name << ", render " << round;
    }
    EXPECT_EQ(target.previewSize, direct.imagePreviewSize()) << c.name;
  }
}

// ---- Jobs from the converter's controls -------------------------------------

class LivePreviewFromControls : public convertertest::WindowTest {
 protected:
  void SetUp() override {
    target_.show(photo(64, 48), {64, 48});
    view().setLivePreviewTarget(&target_);
  }
  void TearDown() override { view().setLivePreviewTarget(nullptr); }
  bool settle() {
    return pumpUntil([this] { return view().livePreview().isIdle(); });
  }
  HeadlessLivePreviewTarget target_;
};

TEST_F(LivePreviewFromControls, NeutralSettingsRenderOnlyWhenForced) {
  ASSERT_FALSE(livePreviewChangesImage(model(), view().readCurrentPresetValues(), *view().importedImage()));
  view().updateImagePreviewForImage(true);
  ASSERT_TRUE(settle());
  EXPECT_EQ(view().livePreview().rendersStarted(), 0u);
  EXPECT_EQ(target_.displays, 0);
  view().refreshLivePreview();
  ASSERT_TRUE(settle());
  EXPECT_EQ(view().livePreview().rendersStarted(), 1u);
  EXPECT_EQ(target_.displays, 1);
}

TEST_F(LivePreviewFromControls, EachImageChangingControlCountsAsAChange) {
  const std::function<void(ConverterControls&)> changes[] = {
      [](ConverterControls& c) { c.filterTypePopUp1.selectedIndex = 4; },
      [](ConverterControls& c) { c.tinyPlanetCheck.set(true); },
      [](ConverterControls& c) { c.toneCurveBlueCheck.set(true); },
      [](ConverterControls& c) { c.autoAdjustCheck.set(true); },
      [](ConverterControls& c) {
        c.featuresCheck.set(true);
        c.isolateFacesCheck.set(true);
      },
      [](ConverterControls& c) { c.roundedCornersCheck.set(true); },
      [](ConverterControls& c) { c.shadowCheck.set(true); },
  };
  // Each border side alone; the icon looks where the format takes them.
  for (TextField ConverterControls::*side :
       {&ConverterControls::topBorderTextField, &ConverterControls::leftBorderTextField,
        &ConverterControls::bottomBorderTextField, &ConverterControls::rightBorderTextField}) {
    ConverterControls saved = model();
    model().addBorderCheck.set(true);
    (model().*side).text = "5%";
    EXPECT_TRUE(livePreviewChangesImage(model(), view().readCurrentPresetValues(), *view().importedImage()));
    model() = saved;
  }
  view().setButtonFormatFrom(ConversionType::ICNS);
  for (const auto& change : changes) {
    ConverterControls saved = model();
    change(model());
    EXPECT_TRUE(livePreviewChangesImage(model(), view().readCurrentPresetValues(), *view().importedImage()));
    model() = saved;
  }
  view().setButtonFormatFrom(ConversionType::JPEG);
  // An output profile.
  view().form().updateColorSpaceProfileForIndex(3);
  EXPECT_TRUE(livePreviewChangesImage(model(), view().readCurrentPresetValues(), *view().importedImage()));
  view().form().updateColorSpaceProfileForIndex(0);
}

TEST_F(LivePreviewFromControls, AFieldBeingEditedKeepsItsTextAndCountsAtItsCommittedValue) {
  type("resizeWTextField", "50 %");
  auto* field = widget<QLineEdit>("resizeWTextField");
  field->setText(QStringLiteral("12"));  // typed, not yet committed
  view().refreshLivePreview();
  ASSERT_TRUE(settle());
  EXPECT_EQ(field->text(), "12");
  ASSERT_TRUE(view().livePreview().lastStartedJob());
  EXPECT_EQ(view().livePreview().lastStartedJob()->info.rFactorW, 0.5);
}

TEST_F(LivePreviewFromControls, NoRenderWhileABatchRuns) {
  view().state().isProcessingImages = true;
  view().refreshLivePreview();
  ASSERT_TRUE(settle());
  view().state().isProcessingImages = false;
  EXPECT_EQ(view().livePreview().rendersStarted(), 0u);
}

}  // namespace
}  // namespace velumar

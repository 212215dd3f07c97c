// The live preview in the preview window's real view: a setting changed in
// the converter shows there as the engine's own render of the view's
// picture, and the held-down button shows the unprocessed picture.

#include <gtest/gtest.h>

#include <QTest>
#include <cstring>

#include "converter/direct_preview_render.h"
#include "converter/main_loop_pump.h"
#include "converter/preview_live_preview_target.h"
#include "converter/window_test_kit.h"
#include "engine/imported_image.h"
#include "filters/cifiltering.h"
#include "platform/ui/hold_down_button.h"
#include "preview/preview_image_view.h"
#include "preview/preview_picture.h"

namespace velumar {
namespace {

using convertertest::pumpUntil;

// A picture with some structure: a diagonal ramp under a disc.
QImage picture(int width, int height) {
  QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool disc =
          (x - width / 2) * (x - width / 2) + (y - height / 2) * (y - height / 2) < height * height / 9;
      image.setPixelColor(x, y,
                          disc ? QColor(200, 60, 40) : QColor((x * 255) / width, (y * 255) / height, 128));
    }
  return image;
}

bool samePixels(const QImage& shown, const raster::ImageRef& expected) {
  if (!expected || shown.width() != expected->width() || shown.height() != expected->height()) return false;
  const QImage rgba = shown.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
  for (int y = 0; y < rgba.height(); ++y)
    if (std::memcmp(rgba.constScanLine(y), expected->row(y), std::size_t(rgba.width()) * 4) != 0)
      return false;
  return true;
}

class PreviewLivePreview : public convertertest::WindowTest {
 protected:
  void SetUp() override {
    preview_.resize(500, 400);
    preview_.showPicture(previewPictureFromImage(picture(300, 200)), "/nonexistent/picture.png", false);
    view().setPreviewImageView(&preview_);
  }
  void TearDown() override { view().setPreviewImageView(nullptr); }
  bool settle() {
    return pumpUntil([this] { return view().livePreview().isIdle(); });
  }

  PreviewImageView preview_;
};

TEST_F(PreviewLivePreview, ASettingChangedShowsTheEnginesRenderOfTheShownPicture) {
  FilterInfo slot;
  slot.saturationLevel = 1.6;
  slot.contrastLevel = 1.2;
  view().importedImage()->ciPhotoFilters->setFilterInfo0(slot);
  model().filterTypePopUp0.selectedIndex = 57;
  view().refreshLivePreview();
  ASSERT_TRUE(settle());

  const convertertest::DirectPreview direct =
      convertertest::directPreviewRender(preview_, slot, view().readCurrentPresetValues());
  const auto& expected = direct.image;
  ASSERT_TRUE(expected);
  EXPECT_TRUE(samePixels(preview_.shownImage(), expected->representations().front()->image()));
  EXPECT_FALSE(samePixels(preview_.rawImageBackup(), expected->representations().front()->image()));
  EXPECT_FALSE(preview_.drawImageOnly());
  EXPECT_EQ(preview_.imageURLPreviewSize(), direct.imagePreviewSize);
}

TEST_F(PreviewLivePreview, ARenderForAPictureReplacedMeanwhileIsDroppedForTheNewOnes) {
  model().filterTypePopUp0.selectedIndex = 57;
  view().livePreview().holdWorker(true);
  view().refreshLivePreview();
  ASSERT_TRUE(pumpUntil([&] { return view().livePreview().rendersStarted() == 1; }));
  // The new picture asks for its own render, which waits.
  preview_.showPicture(previewPictureFromImage(picture(120, 90)), "/nonexistent/other.png", false);
  view().livePreview().holdWorker(false);
  ASSERT_TRUE(settle());
  EXPECT_EQ(view().livePreview().rendersStarted(), 2u);
  EXPECT_EQ(view().livePreview().resultsInstalled(), 1u);
  EXPECT_EQ(preview_.shownImage().size(), QSize(120, 90));
}

TEST_F(PreviewLivePreview, TheHoldDownButtonShowsTheUnprocessedPictureWhileHeld) {
  ui::CustomHoldDownButton button(QStringLiteral("Original"));
  button.resize(80, 30);
  button.setPreview(view().holdDownPreview());
  QTest::mousePress(&button, Qt::LeftButton);
  EXPECT_TRUE(preview_.showOriginalImage());
  QTest::mouseRelease(&button, Qt::LeftButton);
  EXPECT_FALSE(preview_.showOriginalImage());
}

TEST_F(PreviewLivePreview, ANewlyShownPictureIsRenderedOnlyWhenASettingChangesIt) {
  struct Case {
    std::int64_t filterType;
    std::uint64_t renders;
  };
  for (const Case& c : {Case{0, 0}, Case{57, 1}}) {
    LivePreviewRenderer& renderer = view().livePreview();
    const std::uint64_t before = renderer.rendersStarted();
    model().filterTypePopUp0.selectedIndex = c.filterType;
    preview_.showPicture(previewPictureFromImage(picture(160, 120)), "/nonexistent/next.png", false);
    ASSERT_TRUE(settle());
    EXPECT_EQ(renderer.rendersStarted() - before, c.renders) << c.filterType;
  }
}

TEST_F(PreviewLivePreview, ThePlaceholderAsksForNothing) {
  preview_.resetOriginalImage();
  view().refreshLivePreview();
  ASSERT_TRUE(settle());
  EXPECT_EQ(view().livePreview().rendersStarted(), 0u);
}

}  // namespace
}  // namespace velumar

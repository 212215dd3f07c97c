// Every converter control that changes the picture asks the live preview
// for exactly one render (or hands the watermarks to the preview view), as
// a user drives it.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <functional>

#include "converter/headless_live_preview_target.h"
#include "converter/image_wells.h"
#include "converter/main_loop_pump.h"
#include "converter/modify_controls.h"
#include "converter/window_test_kit.h"
#include "platform/ui/color_well.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/double_dial.h"
#include "platform/ui/double_slider.h"
#include "preview/preview_image_view.h"

namespace velumar {
namespace {

class ControlsRender : public convertertest::WindowTest {
 public:
  // The user's ways, for the table's rows.
  using WindowTest::pick;
  using WindowTest::type;
  using WindowTest::view;
  using WindowTest::widget;
  void click(const char* name) { widget<QAbstractButton>(name)->click(); }
  void slide(const char* name, double value) {
    if (auto* dial = view().findChild<ui::DoubleDial*>(QString::fromUtf8(name)))
      emit dial->valueEdited(value);
    else
      emit widget<ui::DoubleSlider>(name)->valueEdited(value);
  }

 protected:
  void SetUp() override {
    QImage picture(64, 48, QImage::Format_ARGB32);
    picture.fill(Qt::darkCyan);
    target_.show(imageSetOf(picture), {64, 48});
    view().setLivePreviewTarget(&target_);
  }
  void TearDown() override { view().setLivePreviewTarget(nullptr); }
  std::uint64_t settledRenders() {
    EXPECT_TRUE(convertertest::pumpUntil([this] { return view().livePreview().isIdle(); }));
    return view().livePreview().rendersStarted();
  }
  HeadlessLivePreviewTarget target_;
};

TEST_F(ControlsRender, EachImageChangingWidgetRendersOnce) {
  using Drive = std::function<void(ControlsRender&)>;
  const struct Row {
    const char* name;
    Drive prepare;
    Drive drive;
  } rows[] = {
      {"scale method", {}, [](ControlsRender& t) { t.pick("resizeScalePopUp", 2); }},
      {"unit", {}, [](ControlsRender& t) { t.pick("resizeFormatsPopUp", 1); }},
      {"width", {}, [](ControlsRender& t) { t.type("resizeWTextField", "50%"); }},
      {"height", {}, [](ControlsRender& t) { t.type("resizeHTextField", "40%"); }},
      {"aspect", {}, [](ControlsRender& t) { t.click("aspectRatioCheck"); }},
      {"turn left", {}, [](ControlsRender& t) { t.click("rotateLeftButton"); }},
      {"turn right", {}, [](ControlsRender& t) { t.click("rotateRightButton"); }},
      {"dpi check", {}, [](ControlsRender& t) { t.click("dpiCheck"); }},
      {"dpi", {}, [](ControlsRender& t) { t.type("dpiTextField", "300"); }},
      {"colour space", {}, [](ControlsRender& t) { t.pick("colorSpacePopUp", 3); }},
      {"crop x", {}, [](ControlsRender& t) { t.type("cropCenterXTextField", "-20"); }},
      {"crop y", {}, [](ControlsRender& t) { t.type("cropCenterYTextField", "10"); }},
      {"angle slider", {}, [](ControlsRender& t) { t.slide("imageTransformAngleSlider", 100); }},
      {"angle field", {}, [](ControlsRender& t) { t.type("imageTransformAngleTextField", "45"); }},
      {"stretch", {}, [](ControlsRender& t) { t.slide("stretchAndCropStretchSlider", 0.2); }},
      {"crop", {}, [](ControlsRender& t) { t.slide("stretchAndCropCropSlider", 0.8); }},
      {"border", {}, [](ControlsRender& t) { t.click("addBorderCheck"); }},
      {"border top", {}, [](ControlsRender& t) { t.type("topBorderTextField", "10%"); }},
      {"border left", {}, [](ControlsRender& t) { t.type("leftBorderTextField", "10%"); }},
      {"border bottom", {}, [](ControlsRender& t) { t.type("bottomBorderTextField", "10%"); }},
      {"border right", {}, [](ControlsRender& t) { t.type("rightBorderTextField", "10%"); }},
      {"border opacity", {}, [](ControlsRender& t) { t.slide("borderOpacitySlider", 0.5); }},
      {"border colour",
       {},
       [](ControlsRender& t) { emit t.widget<ui::ColorWell>("borderColorWell")->colorChosen(Qt::red); }},
      {"border ratio", {}, [](ControlsRender& t) { t.click("borderPreserveRatioCheck"); }},
      {"rounded corners", [](ControlsRender& t) { t.view().setButtonFormatFrom(ConversionType::ICNS); },
       [](ControlsRender& t) { t.click("roundedCornersCheck"); }},
      {"shadow", [](ControlsRender& t) { t.view().setButtonFormatFrom(ConversionType::ICNS); },
       [](ControlsRender& t) { t.click("shadowCheck"); }},
      // sRGB chosen for JPEG; icons take no colour space, so the preview
      // loses its profile.
      {"format dropping the profile", [](ControlsRender& t) { t.pick("colorSpacePopUp", 3); },
       [](ControlsRender& t) { t.view().formatButton(ConversionType::ICNS)->click(); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view().applyDefaultPreset();
    if (row.prepare) row.prepare(*this);
    const std::uint64_t before = settledRenders();
    row.drive(*this);
    EXPECT_EQ(settledRenders(), before + 1);
  }
}

TEST_F(ControlsRender, AForcedAndAnUnforcedRequestInOnePassRenderTheLastSettingsOnce) {
  pick("filterTypePopUp0", 57);
  const std::uint64_t before = settledRenders();
  // A newly shown picture asks with the image test, the user's switching
  // the last filter off without it: the preview must lose the filter.
  view().updateImagePreviewForImage(true);
  pick("filterTypePopUp0", 0);
  EXPECT_EQ(settledRenders(), before + 1);
  ASSERT_TRUE(view().livePreview().lastStartedJob());
  EXPECT_EQ(view().livePreview().lastStartedJob()->info.filterType0, 0);
  EXPECT_TRUE(view().livePreview().lastStartedJob()->clearPreviewContext);  // the new picture's
}

TEST_F(ControlsRender, TheWatermarkAnglesReachThePreviewView) {
  PreviewImageView preview;
  preview.show();
  view().modifyControls().setPreviewView(&preview);
  model().addWatermarkTextCheck.set(true);
  model().addWatermarkImageCheck.set(true);
  const struct {
    const char* name;
    std::function<void(ControlsRender&)> drive;
    std::function<double(const ImageModifyInfo&)> angle;
    double expected;
  } rows[] = {
      {"text slider", [](ControlsRender& t) { t.slide("angleTextSlider", 300); },
       [](const ImageModifyInfo& i) { return i.textAngle; }, 30},
      {"text field", [](ControlsRender& t) { t.type("angleTextTextField", "45°"); },
       [](const ImageModifyInfo& i) { return i.textAngle; }, 45},
      {"image slider", [](ControlsRender& t) { t.slide("angleImageSlider", 0); },
       [](const ImageModifyInfo& i) { return i.imageAngle; }, 90},
      {"image field", [](ControlsRender& t) { t.type("angleImageTextField", "120"); },
       [](const ImageModifyInfo& i) { return i.imageAngle; }, 120},
  };
  for (const auto& row : rows) {
    row.drive(*this);
    EXPECT_EQ(row.angle(preview.previewInfo()), row.expected) << row.name;
  }
  view().modifyControls().setPreviewView(nullptr);
}

}  // namespace
}  // namespace velumar

// The custom-drawn views and buttons: their fills by pixel, the pressed
// button, the hold-down button's effect on the preview, the menu button's
// pop-up place and the dimming buttons.

#include <gtest/gtest.h>

#include <QMenu>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <functional>
#include <memory>

#include "platform/ui/custom_button.h"
#include "platform/ui/custom_scroller.h"
#include "platform/ui/custom_views.h"
#include "platform/ui/hold_down_button.h"
#include "platform/ui/menu_button_view.h"
#include "platform/ui/view_alpha.h"

namespace {

// The view drawn over a transparent image.
QImage drawn(QWidget& view) {
  QImage image(view.size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

// Colour components and alpha on a 0..255 scale, straight alpha.
testing::AssertionResult near(QRgb pixel, std::array<double, 4> expected, int tolerance = 2) {
  const int got[4] = {qRed(pixel), qGreen(pixel), qBlue(pixel), qAlpha(pixel)};
  for (int i = 0; i < 4; ++i)
    if (std::abs(got[i] - int(std::lround(expected[std::size_t(i)] * 255))) > tolerance)
      return testing::AssertionFailure()
             << "got " << got[0] << ", " << got[1] << ", " << got[2] << ", " << got[3];
  return testing::AssertionSuccess();
}

TEST(CustomViews, FillsByPixel) {
  struct Probe {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make;
    QPoint at;
    std::array<double, 4> rgba;
  };
  const auto make = [](auto* view) { return std::unique_ptr<QWidget>(view); };
  const Probe probes[] = {
      {"process preview",
       [&] { return make(new ui::CustomProcessPreviewView); },
       {50, 30},
       {0.18, 0.17, 0.18, 1}},
      {"panel", [&] { return make(new ui::PanelBackgroundView); }, {50, 30}, {0.163, 0.163, 0.163, 1}},
      {"sheet centre", [&] { return make(new ui::CustomSheetView); }, {50, 30}, {0, 0, 0, 0.9}},
      {"sheet's rounded corner", [&] { return make(new ui::CustomSheetView); }, {0, 0}, {0, 0, 0, 0}},
      {"process sheet's square top",
       [&] { return make(new ui::CustomProcessSheetView); },
       {0, 0},
       {0, 0, 0, 0.9}},
      {"process sheet's round bottom",
       [&] { return make(new ui::CustomProcessSheetView); },
       {0, 59},
       {0, 0, 0, 0}},
      {"buttons bar", [&] { return make(new ui::CustomButtonsView); }, {50, 30}, {1, 1, 1, 0.8}},
      {"dark background top",
       [&] { return make(new ui::DarkBackgroundView); },
       {50, 2},
       {0.192, 0.192, 0.192, 0.9}},
      {"dark background bottom", [&] { return make(new ui::DarkBackgroundView); }, {50, 57}, {0, 0, 0, 0.9}},
      {"line", [&] { return make(new ui::CustomLineView); }, {50, 30}, {0, 0.62, 0.89, 0.8}},
      {"beside the line", [&] { return make(new ui::CustomLineView); }, {45, 30}, {0, 0, 0, 0}},
  };
  for (const Probe& probe : probes) {
    std::unique_ptr<QWidget> view = probe.make();
    view->resize(100, 60);
    EXPECT_TRUE(near(drawn(*view).pixel(probe.at), probe.rgba, 6)) << probe.name;
  }
}

TEST(CustomButton, PressedOrOnFillsBlueElseDarkAtItsAlpha) {
  // At rest the half-transparent body shows its own shadow (black) through.
  struct Case {
    bool down, checked;
    std::array<double, 4> rgba;
  };
  for (const Case& c : {Case{true, false, {0, 0.59, 0.886, 1}}, Case{false, true, {0, 0.59, 0.886, 1}},
                        Case{false, false, {0.096, 0.096, 0.096, 1}}}) {
    ui::CustomButton button;  // no name: body only
    button.resize(button.sizeHint());
    button.setCheckable(true);
    button.setChecked(c.checked);
    button.setDown(c.down);
    // The body's middle, (40, 20) y up in a 40-point-high button.
    EXPECT_TRUE(near(drawn(button).pixel(40, 20), c.rgba, 3)) << c.down << c.checked;
  }
}

class FakePreview : public ui::HoldDownPreview {
 public:
  bool empty = false;
  std::vector<bool> shown;
  bool isOriginalImage() const override { return empty; }
  void setShowOriginalImage(bool show) override { shown.push_back(show); }
};

TEST(CustomHoldDownButton, ShowsTheOriginalWhileHeldAndEndsOff) {
  for (const bool empty : {false, true}) {
    FakePreview preview;
    preview.empty = empty;
    ui::CustomHoldDownButton button(QStringLiteral("Original"));
    button.setCheckable(true);
    button.setPreview(&preview);
    button.resize(80, 30);
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_EQ(preview.shown, empty ? std::vector<bool>{} : std::vector<bool>{true});
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(preview.shown, empty ? std::vector<bool>{} : (std::vector<bool>{true, false}));
    EXPECT_FALSE(button.isChecked());
  }
}

TEST(MenuButtonView, PopsItsMenuAtItsBottomLeft) {
  QWidget window;
  window.resize(200, 100);
  auto* button = new ui::MenuButtonView(QStringLiteral("Menu"), &window);
  button->setGeometry(20, 10, 80, 30);
  QMenu menu;
  menu.addAction(QStringLiteral("One"));
  button->setPopUpMenu(&menu);
  window.show();
  QTest::mousePress(button, Qt::LeftButton);
  ASSERT_TRUE(menu.isVisible());
  EXPECT_EQ(menu.pos(), button->mapToGlobal(QPoint(0, button->height())));
  menu.hide();
}

TEST(DimmingButton, HalfWhilePressedElseEightTenths) {
  ui::CustomButton button(QStringLiteral("Dim"));
  button.resize(button.sizeHint());
  ui::dimWhilePressed(&button);
  EXPECT_DOUBLE_EQ(ui::viewAlpha(&button), double(0.8f));
  QTest::mousePress(&button, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(ui::viewAlpha(&button), 0.5);
  QTest::mouseRelease(&button, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(ui::viewAlpha(&button), double(0.8f));
}

// The knob-only scroller: its knob is drawn where the knob is, and
// nothing else (no track), wherever the knob stands.
TEST(CustomViews, TheScrollerDrawsItsKnobOnly) {
  struct Scroller : ui::CustomScroller {
    using CustomScroller::CustomScroller;
    QRect knob() {
      QStyleOptionSlider option;
      initStyleOption(&option);
      return style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    }
  };
  const struct {
    Qt::Orientation orientation;
    int value;
  } rows[] = {{Qt::Vertical, 0}, {Qt::Vertical, 100}, {Qt::Horizontal, 50}};
  for (const auto& row : rows) {
    Scroller scroller(row.orientation);
    scroller.resize(row.orientation == Qt::Vertical ? QSize(16, 200) : QSize(200, 16));
    scroller.setRange(0, 100);
    scroller.setPageStep(25);
    scroller.setValue(row.value);
    const QRect knob = scroller.knob();
    ASSERT_FALSE(knob.isEmpty());
    const QImage image = drawn(scroller);
    EXPECT_GT(qAlpha(image.pixel(knob.center())), 0) << row.value;
    int outside = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) outside += !knob.contains(x, y) && qAlpha(image.pixel(x, y)) != 0;
    EXPECT_EQ(outside, 0) << row.value;
  }
}

}  // namespace

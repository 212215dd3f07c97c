#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "window_test_kit.h"

namespace velumar {
namespace {

class ResizeControlsTest : public convertertest::WindowTest {
 protected:
  QString width() { return widget<QLineEdit>("resizeWTextField")->text(); }
  QString height() { return widget<QLineEdit>("resizeHTextField")->text(); }
};

TEST_F(ResizeControlsTest, UnitChangesConvertBothFields) {
  pick("resizeFormatsPopUp", 1);  // percent to pixels: no pixel size to derive
  EXPECT_EQ(width(), "Original");
  EXPECT_EQ(widget<QLineEdit>("resizeWTextField")->selectedText(), "Original");  // ready to be typed over
  EXPECT_EQ(height(), "Original");
  EXPECT_FALSE(widget<QCheckBox>("aspectRatioCheck")->isEnabled());
  type("resizeWTextField", "600");
  pick("resizeFormatsPopUp", 2);  // no resolution: inches unknown
  EXPECT_EQ(width(), "Original");

  pick("resizeFormatsPopUp", 1);
  widget<QCheckBox>("dpiCheck")->click();
  type("dpiTextField", "300");
  type("resizeWTextField", "600");
  pick("resizeFormatsPopUp", 2);
  EXPECT_EQ(width(), "2");
  EXPECT_EQ(height(), "Original");
  widget<QLineEdit>("resizeWTextField")->deselect();
  pick("resizeFormatsPopUp", 0);
  EXPECT_EQ(width(), "100%");
  EXPECT_EQ(widget<QLineEdit>("resizeWTextField")->selectedText(), "100%");
  EXPECT_TRUE(widget<QCheckBox>("aspectRatioCheck")->isEnabled());
}

TEST_F(ResizeControlsTest, PercentWithAspectWritesBothFields) {
  type("resizeWTextField", "5%");
  EXPECT_EQ(width(), "10%");
  EXPECT_EQ(height(), "10%");
}

TEST_F(ResizeControlsTest, MethodsEnableTheirControls) {
  pick("resizeScalePopUp", 6);
  EXPECT_TRUE(widget<QLineEdit>("cropCenterXTextField")->isEnabled());
  pick("resizeScalePopUp", 1);
  EXPECT_FALSE(widget<QLineEdit>("cropCenterXTextField")->isEnabled());
  EXPECT_FALSE(widget<QComboBox>("resizeFormatsPopUp")->isEnabled());
  EXPECT_FALSE(widget<QCheckBox>("fixedSizeCheck")->isEnabled());
  EXPECT_EQ(width(), "100%");
}

TEST_F(ResizeControlsTest, QuarterTurns) {
  auto* right = widget<QPushButton>("rotateRightButton");
  auto* left = widget<QPushButton>("rotateLeftButton");
  auto* method = widget<QComboBox>("resizeScalePopUp");
  const struct {
    int from;
    QPushButton* button;
    int to;
  } cases[] = {{0, right, 10}, {10, right, 12}, {12, right, 11}, {11, right, 0}, {6, right, 10},
               {6, left, 11},  {8, right, 13},  {13, left, 8},   {14, left, 9}};
  for (const auto& c : cases) {
    pick("resizeScalePopUp", c.from);
    c.button->click();
    EXPECT_EQ(method->currentIndex(), c.to) << c.from;
    EXPECT_EQ(view().form().controls.resizeScalePopUp.selectedIndex, c.to);
  }
}

}  // namespace
}  // namespace velumar

// What the converter window says: pop-up items a user can read, and no
// label or button cut short by its layout.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTabWidget>
#include <set>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "converter/processing_sheet.h"
#include "converter/progress_indicator.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/pop_up_menu_button.h"
#include "platform/ui/popover.h"

namespace velumar {
namespace {

bool isSeparator(const QComboBox& popUp, int index) {
  return popUp.itemData(index, Qt::AccessibleDescriptionRole).toString() == "separator";
}

class WindowTexts : public ::testing::Test {
 protected:
  ConverterView& view() { return *window_.converterView(); }
  ConverterWindow window_;
};

TEST_F(WindowTexts, PopUpItemsHaveTitlesAndRealSeparators) {
  const QRegularExpression number(QStringLiteral("^\\d+$"));
  auto* composite = view().findChild<QComboBox*>(QStringLiteral("compositePopUp"));
  auto* filters = view().findChild<QComboBox*>(QStringLiteral("filterTypePopUp0"));
  auto* openWith = view().findChild<ui::PopUpMenuButton*>(QStringLiteral("openWithPopUp"));
  ASSERT_TRUE(composite && filters && openWith);

  const struct {
    int code;
    const char* title;  // nullptr: a separator
  } compositeRows[] = {
      {0, "No composite"}, {1, nullptr},  {2, nullptr},     {3, "Addition"}, {6, "Multiply (Compositing)"},
      {11, nullptr},       {12, nullptr}, {15, "Multiply"}, {32, "Subtract"}};
  ASSERT_EQ(composite->count(), 33);
  for (const auto& row : compositeRows) {
    EXPECT_EQ(isSeparator(*composite, row.code), row.title == nullptr) << row.code;
    EXPECT_EQ(composite->itemText(row.code), row.title ? row.title : "") << row.code;
  }
  // A stored code that is a separator reads as no composite.
  PopUp& model = view().form().controls.compositePopUp;
  model.select(11);
  EXPECT_EQ(model.selectedIndex, 0);

  int separators = 0;
  for (int i = 0; i < filters->count(); ++i) {
    EXPECT_NE(filters->itemText(i), QStringLiteral("—")) << i;
    separators += isSeparator(*filters, i);
  }
  EXPECT_GT(separators, 0);

  ASSERT_EQ(openWith->count(), 15);
  EXPECT_EQ(openWith->itemTitle(1), "Default application");
  EXPECT_EQ(openWith->itemTitle(13), "Flickr");
  for (int i = 0; i < openWith->count(); ++i) {
    EXPECT_FALSE(openWith->itemTitle(i).isEmpty()) << i;
    EXPECT_FALSE(number.match(openWith->itemTitle(i)).hasMatch()) << i;
  }
  for (int i = 0; i < composite->count(); ++i)
    EXPECT_FALSE(number.match(composite->itemText(i)).hasMatch()) << i;
}

TEST_F(WindowTexts, TheModelsControlsHaveWidgetsThatWork) {
  window_.show();
  ConverterControls& c = view().form().controls;
  view().form().changeBorderOptions(true);
  view().refreshControls();
  for (const auto& [name, model] : {std::pair{"borderPreserveRatioCheck", &c.borderPreserveRatioCheck},
                                    std::pair{"keepOriginalFileTypeCheck", &c.keepOriginalFileTypeCheck},
                                    std::pair{"cmykAlphaCheck", &c.cmykAlphaCheck}}) {
    auto* box = view().findChild<QCheckBox*>(QString::fromUtf8(name));
    ASSERT_NE(box, nullptr) << name;
    const bool before = model->isOn();
    box->click();
    EXPECT_NE(model->isOn(), before) << name;
  }

  // The font panel button lives with the text watermark; switching that
  // off hides the panel.
  int opened = 0, hidden = 0;
  view().setFontPanelActions([&opened] { ++opened; }, [&hidden] { ++hidden; });
  auto* fontButton = view().findChild<QAbstractButton*>(QStringLiteral("textPanelButton"));
  auto* textCheck = view().findChild<QCheckBox*>(QStringLiteral("addWatermarkTextCheck"));
  ASSERT_TRUE(fontButton && textCheck);
  EXPECT_EQ(fontButton->text(), "Font Panel");
  EXPECT_FALSE(fontButton->isEnabled());
  textCheck->click();
  ASSERT_TRUE(fontButton->isEnabled());
  fontButton->click();
  EXPECT_EQ(opened, 1);
  textCheck->click();
  EXPECT_EQ(hidden, 1);
  EXPECT_FALSE(fontButton->isEnabled());
  view().setFontPanelActions({}, {});

  // The preview buttons (the window's, the Transform and the Watermark
  // page's) bring the preview window back, except during a batch, and
  // spring back.
  QWidget preview;
  view().setPreviewWindows(&preview, nullptr);
  for (const char* name : {"showPreviewMenuButton", "transformPreviewButton", "watermarkPreviewButton"}) {
    auto* button = view().findChild<ui::CustomButton*>(QString::fromUtf8(name));
    ASSERT_NE(button, nullptr) << name;
    EXPECT_EQ(button->text(), "Preview") << name;
    preview.hide();
    view().state().isProcessingImages = true;
    button->click();
    EXPECT_FALSE(preview.isVisible()) << name;
    EXPECT_FALSE(button->isChecked()) << name;
    view().state().isProcessingImages = false;
    button->click();
    EXPECT_TRUE(preview.isVisible()) << name;
    EXPECT_FALSE(button->isChecked()) << name;
  }
  view().setPreviewWindows(nullptr, nullptr);

  // A right click on the drop zone pops the window menu up.
  QMenu menu;
  menu.addAction(QStringLiteral("Show"));
  view().setWindowMenu(&menu);
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20), view().mapToGlobal(QPoint(20, 20)));
  QApplication::sendEvent(&view(), &click);
  EXPECT_TRUE(menu.isVisible());
  menu.close();
  view().setWindowMenu(nullptr);
}

// Each border field is labelled with its side, and no two popover buttons
// share a title, so every button says what it opens.
TEST_F(WindowTexts, FieldsAndButtonsSayWhatTheyAre) {
  const std::pair<const char*, const char*> sides[] = {{"topBorderTextField", "Top"},
                                                       {"leftBorderTextField", "Left"},
                                                       {"bottomBorderTextField", "Bottom"},
                                                       {"rightBorderTextField", "Right"}};
  for (const auto& [field, side] : sides) {
    QString label;
    for (const QLabel* candidate : view().findChildren<QLabel*>())
      if (candidate->buddy() && candidate->buddy()->objectName() == QString::fromUtf8(field))
        label = candidate->text();
    EXPECT_EQ(label.toStdString(), side) << field;
  }
  std::set<QString> titles;
  for (std::size_t id = 0; id < ConverterView::kPopoverCount; ++id) {
    const QAbstractButton* button = view().popover(ConverterView::PopoverId(id))->button();
    EXPECT_TRUE(titles.insert(button->text()).second) << button->text().toStdString();
  }
}

TEST_F(WindowTexts, TheWindowWakesWithTheFaceAndBorderDefaults) {
  const ConverterControls& c = view().form().controls;
  EXPECT_TRUE(c.enhanceCheck.isOn() && !c.enhanceCheck.enabled);
  EXPECT_TRUE(!c.redEyesCheck.isOn() && !c.redEyesCheck.enabled);
  EXPECT_TRUE(c.isolateFacesCheck.isOn() && !c.isolateFacesCheck.enabled);
  EXPECT_TRUE(!c.blurFacesCheck.isOn() && !c.eyeBlinkCheck.enabled);
  EXPECT_FALSE(c.addBorderCheck.isOn());
  EXPECT_EQ(c.leftBorderTextField.text, "0%");
  EXPECT_FALSE(c.leftBorderTextField.enabled);
  EXPECT_EQ(c.borderOpacitySlider.value, 1);
}

// Every shown label and button is at least as large as it asks to be.
void expectNothingClipped(const QWidget& top, const char* where) {
  for (const QWidget* widget : top.findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(&top) ||
        !(qobject_cast<const QLabel*>(widget) || qobject_cast<const QAbstractButton*>(widget)))
      continue;
    const QSize hint = widget->sizeHint();
    EXPECT_GE(widget->width(), hint.width()) << where << ": " << widget->objectName().toStdString();
    EXPECT_GE(widget->height(), hint.height()) << where << ": " << widget->objectName().toStdString();
  }
}

TEST_F(WindowTexts, NoLabelOrButtonIsClipped) {
  window_.show();
  auto* inner = view().findChild<QTabWidget*>(QStringLiteral("Modify"));
  ASSERT_NE(inner, nullptr);
  for (int tab = 0; tab < 3; ++tab) {
    view().showTab(tab);
    for (int page = 0; page < (tab == 1 ? inner->count() : 1); ++page) {
      inner->setCurrentIndex(page);
      QApplication::processEvents();
      expectNothingClipped(view(), qPrintable(QStringLiteral("tab %1.%2").arg(tab).arg(page)));
    }
  }

  ProcessingSheet& sheet = *view().processingSheet();
  ProcessingDisplay display;
  display.removePresetsButtonAndAddProcessButtons(view().state());
  display.setFilesCount(3, 12);
  sheet.showDisplay(display);
  QApplication::processEvents();
  expectNothingClipped(sheet, "processing sheet");
  // The title is not under the bar.
  EXPECT_FALSE(sheet.processingLabel()->geometry().intersects(sheet.progressIndicator()->geometry()));
  display.addPresetsButton(view().state());
  sheet.showDisplay(display);
}

}  // namespace
}  // namespace velumar

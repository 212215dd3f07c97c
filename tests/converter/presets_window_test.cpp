#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "converter/presets_window.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/plain_text.h"
#include "support/test_support.h"
#include "window_test_kit.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

// The window's presets over a private, empty presets folder and the bundled
// built-in presets.
class PresetsWindowTest : public convertertest::WindowTest {
 protected:
  static void SetUpTestSuite() {
    data_ = new testsupport::TempDir;
    setenv("XDG_DATA_HOME", data_->path().c_str(), 1);
  }
  static void TearDownTestSuite() { delete data_; }
  void SetUp() override {
    fs::remove_all(PresetCatalogue::getAppSupportPath());
    presets().catalogue().addPresetsFromFiles();
  }

  PresetsWindow& presets() { return *window_.presetsWindow(); }
  QComboBox* popUp() { return widget<QComboBox>("presetsPopUp"); }
  // Each submenu item as "title" with "*" when on and "-" when disabled.
  static std::vector<std::string> items(const QMenu* menu) {
    std::vector<std::string> out;
    for (const QAction* action : menu->actions())
      out.push_back(action->text().toStdString() + (action->isChecked() ? "*" : "") +
                    (action->isEnabled() ? "" : "-"));
    return out;
  }
  // Answers the next question with the given button.
  static void answerNextQuestion(const QString& button) {
    QTimer::singleShot(0, [button] {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible())
          for (QAbstractButton* candidate : box->buttons())
            if (candidate->text() == button) candidate->click();
    });
  }

  static testsupport::TempDir* data_;
};
testsupport::TempDir* PresetsWindowTest::data_ = nullptr;

TEST_F(PresetsWindowTest, MenusAndPopUpFollowTheChoice) {
  ASSERT_EQ(popUp()->count(), 16);
  EXPECT_EQ(popUp()->currentIndex(), 0);
  EXPECT_EQ(presets().builtInSubmenu()->actions().size(), 16);
  EXPECT_EQ(items(presets().builtInSubmenu())[0], "JPG High Quality*");
  EXPECT_EQ(items(presets().userSubmenu()), std::vector<std::string>{"No presets-"});

  presets().builtInSubmenu()->actions()[2]->trigger();
  EXPECT_EQ(popUp()->currentIndex(), 2);
  EXPECT_EQ(view().state().lastSelectedPresetName, "JPG for Web");
  EXPECT_EQ(items(presets().builtInSubmenu())[2], "JPG for Web*");
  EXPECT_EQ(items(presets().builtInSubmenu())[0], "JPG High Quality");

  pick("presetsPopUp", 8);  // "PDF 300 dpi"
  EXPECT_TRUE(view().formatButton(ConversionType::PDF)->isChecked());
  EXPECT_EQ(items(presets().builtInSubmenu())[8], "PDF 300 dpi*");

  // While a batch runs a submenu choice changes nothing.
  view().state().isProcessingImages = true;
  presets().builtInSubmenu()->actions()[3]->trigger();
  view().state().isProcessingImages = false;
  EXPECT_EQ(popUp()->currentIndex(), 8);
  EXPECT_EQ(items(presets().builtInSubmenu())[3], "JPG 144 dpi");
  EXPECT_EQ(items(presets().builtInSubmenu())[8], "PDF 300 dpi*");
}

TEST_F(PresetsWindowTest, SaveAndDeleteAUserPreset) {
  view().setButtonFormatFrom(ConversionType::PNG);
  widget<QLineEdit>("presetTextField")->setText("Trip/Web & more");
  widget<ui::CustomButton>("savePresetButton")->click();
  const fs::path file = fs::path(PresetCatalogue::getAppSupportPath()) / "Trip Web & more";
  EXPECT_TRUE(fs::is_regular_file(file));
  ASSERT_EQ(popUp()->count(), 17);
  EXPECT_EQ(popUp()->currentIndex(), 16);
  EXPECT_TRUE(popUp()->itemData(16, Qt::FontRole).value<QFont>().bold());
  EXPECT_FALSE(popUp()->itemData(15, Qt::FontRole).isValid());
  EXPECT_EQ(items(presets().userSubmenu()), std::vector<std::string>{"Trip Web && more*"});
  EXPECT_EQ(widget<QLineEdit>("presetTextField")->text(), "");
  EXPECT_TRUE(view().formatButton(ConversionType::PNG)->isChecked());

  // Cancelled: nothing changes.
  answerNextQuestion("Cancel");
  widget<ui::CustomButton>("deleteButton")->click();
  EXPECT_EQ(popUp()->count(), 17);
  EXPECT_TRUE(fs::exists(file));

  answerNextQuestion("Ok");
  widget<ui::CustomButton>("deleteButton")->click();
  EXPECT_FALSE(fs::exists(file));
  ASSERT_EQ(popUp()->count(), 16);
  EXPECT_EQ(popUp()->currentIndex(), 15);
  EXPECT_EQ(items(presets().builtInSubmenu())[15], "Multiple files merged into one TIFF file*");
  EXPECT_EQ(items(presets().userSubmenu()), std::vector<std::string>{"No presets-"});
  EXPECT_EQ(view().state().lastSelectedPresetName, "Multiple files merged into one TIFF file");
}

// A long name: the window says it is cut before and after the save, and
// the pop-up, the submenu and the window stay within the screen.
TEST_F(PresetsWindowTest, ALongNameIsSaidShortenedAndShownElided) {
  window_.show();
  presets().show();
  view().setButtonFormatFrom(ConversionType::PNG);
  auto* field = widget<QLineEdit>("presetTextField");
  auto* note = presets().findChild<QLabel*>("presetNameNote");
  ASSERT_TRUE(note);
  const QString longName(300, QLatin1Char('w'));
  auto* save = widget<ui::CustomButton>("savePresetButton");
  // Each note is laid out whole at once: all its lines, the buttons below.
  const auto laidOut = [&] {
    EXPECT_GE(note->height(), note->heightForWidth(note->width())) << note->text().toStdString();
    EXPECT_GE(save->y(), note->geometry().bottom());
    EXPECT_GE(presets().height(), presets().layout()->totalHeightForWidth(presets().width()));
  };
  field->setText(QString());
  QTest::keyClicks(field, "short");
  EXPECT_FALSE(note->isVisible());
  field->clear();
  QTest::keyClicks(field, longName);
  EXPECT_TRUE(note->isVisible());
  EXPECT_TRUE(note->text().contains("too long"));
  laidOut();
  save->click();
  EXPECT_TRUE(note->isVisible());
  EXPECT_TRUE(note->text().startsWith(QString::fromUtf8("Saved as \u201c")));
  laidOut();
  const int screen = presets().screen()->availableGeometry().width();
  const int current = popUp()->currentIndex();
  EXPECT_EQ(popUp()->itemData(current, Qt::ToolTipRole).toString(),
            ui::plainToolTip(QString(241, QLatin1Char('w'))));
  EXPECT_TRUE(popUp()->itemText(current).contains(QChar(0x2026)));
  EXPECT_LT(popUp()->sizeHint().width(), screen / 2);
  EXPECT_LE(presets().sizeHint().width(), screen / 2);
  EXPECT_LT(presets().userSubmenu()->sizeHint().width(), screen);
  EXPECT_LE(note->sizeHint().width(), screen / 2);
}

TEST_F(PresetsWindowTest, PresetsButtonBringsTheWindowForward) {
  window_.show();
  view().presetsButton()->click();
  EXPECT_TRUE(presets().isVisible());
  EXPECT_FALSE(view().presetsButton()->isChecked());
}

TEST_F(PresetsWindowTest, ClosedAroundASessionAndBroughtBack) {
  window_.show();
  presets().openClosePresetsWindowFrom();
  view().closeAllPopoversOnlyAlpha(true);  // a drag's end keeps side windows
  EXPECT_TRUE(presets().isVisible());

  view().verifyVisibleWindows();
  view().closeAllPopoversOnlyAlpha(false);
  EXPECT_FALSE(presets().isVisible());
  view().restoreVisibleWindows();
  EXPECT_TRUE(presets().isVisible());

  // Into a hidden application nothing comes back, and the record is gone.
  view().verifyVisibleWindows();
  view().closeAllPopoversOnlyAlpha(false);
  window_.hide();
  view().restoreVisibleWindows();
  EXPECT_FALSE(presets().isVisible());
  window_.show();
  view().restoreVisibleWindows();
  EXPECT_FALSE(presets().isVisible());
}

}  // namespace
}  // namespace velumar

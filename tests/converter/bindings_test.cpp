#include <gtest/gtest.h>

#include <unicode/uloc.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStandardItemModel>
#include <QTest>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/double_dial.h"
#include "platform/ui/double_slider.h"
#include "platform/ui/pop_up_menu_button.h"
#include "window_test_kit.h"

namespace velumar {
namespace {

class BindingsTest : public convertertest::WindowTest {
 protected:
  static bool itemEnabled(QComboBox* popUp, int index) {
    return qobject_cast<QStandardItemModel*>(popUp->model())->item(index)->isEnabled();
  }
};

TEST_F(BindingsTest, FormatChangesFallBackToItemZero) {
  auto* colorSpace = widget<QComboBox>("colorSpacePopUp");
  auto* depth = widget<QComboBox>("depthPopUp");
  auto* openWith = widget<ui::PopUpMenuButton>("openWithPopUp");

  view().setButtonFormatFrom(ConversionType::TIFF);  // TIFF takes CMYK and every depth
  pick("colorSpacePopUp", 4);
  pick("depthPopUp", 3);
  EXPECT_NE(view().form().outputProfile, nullptr);
  view().setButtonFormatFrom(ConversionType::PNG);
  EXPECT_EQ(model().colorSpacePopUp.selectedIndex, 0);
  EXPECT_EQ(colorSpace->currentIndex(), 0);
  EXPECT_FALSE(itemEnabled(colorSpace, 4));
  EXPECT_EQ(view().form().outputProfile, nullptr);  // the preview drops the CMYK profile
  EXPECT_EQ(depth->currentIndex(), 0);
  EXPECT_FALSE(itemEnabled(depth, 3));
  EXPECT_TRUE(depth->isEnabled());
  EXPECT_FALSE(widget<ui::DoubleSlider>("jpegSlider")->isEnabled());

  view().setButtonFormatFrom(ConversionType::ICNS);
  EXPECT_FALSE(openWith->isItemEnabled(7));
  EXPECT_FALSE(colorSpace->isEnabled());
  EXPECT_TRUE(widget<QCheckBox>("roundedCornersCheck")->isEnabled());
  for (std::size_t code = 0; code < ConverterView::kFormatCount; ++code)
    EXPECT_EQ(view().formatButton(code)->isChecked(), code == 5);
}

TEST_F(BindingsTest, FieldsShowTheNormalisedText) {
  view().setButtonFormatFrom(ConversionType::JPEG);
  struct Case {
    const char* field;
    QString typed, shown;
  };
  const Case cases[] = {
      {"jpegQualityTextField", "80", "80%"}, {"jpegQualityTextField", "150%", "100%"},
      {"dpiTextField", "20", "36.0"},        {"dpiTextField", "junk", "72.0"},
      {"topBorderTextField", "60%", "50%"},  {"imageTransformAngleTextField", "400", "360°"},
  };
  for (const Case& c : cases) {
    type(c.field, c.typed);
    EXPECT_EQ(widget<QLineEdit>(c.field)->text(), c.shown) << c.field << " " << c.typed.toStdString();
  }
  type("jpegQualityTextField", "80");
  EXPECT_FLOAT_EQ(model().jpegSlider.value, 0.8f);
  EXPECT_NEAR(widget<ui::DoubleSlider>("jpegSlider")->doubleValue(), 0.8, 1e-6);
  type("imageTransformAngleTextField", "400");
  EXPECT_NEAR(widget<ui::DoubleDial>("imageTransformAngleSlider")->doubleValue(), 270, 1e-4);
  pick("resizeScalePopUp", 6);  // crop: the centre fields are on, without a range
  const struct {
    const char* field;
    QString typed;
    double x, y;
  } crops[] = {{"cropCenterXTextField", "-20", 30, 50},
               {"cropCenterXTextField", "-70", -20, 50},
               {"cropCenterYTextField", "75", -20, 125}};
  for (const auto& crop : crops) {
    type(crop.field, crop.typed);
    EXPECT_EQ(widget<QLineEdit>(crop.field)->text(), crop.typed);
    EXPECT_EQ(model().cropPositionView.mousePoint.x, crop.x) << crop.typed.toStdString();
    EXPECT_EQ(model().cropPositionView.mousePoint.y, crop.y) << crop.typed.toStdString();
  }
}

// The fields read and write numbers as a German user types them.
TEST(BindingsGerman, FieldsFollowTheLocale) {
  const std::string before = uloc_getDefault();
  UErrorCode status = U_ZERO_ERROR;
  uloc_setDefault("de_DE", &status);
  ASSERT_TRUE(U_SUCCESS(status));
  {
    ConverterWindow window;
    auto* view = window.converterView();
    view->setButtonFormatFrom(ConversionType::JPEG);
    const struct {
      const char* field;
      QString typed, shown;
    } cases[] = {
        {"dpiTextField", "300,5", "300,5"},
        {"dpiTextField", "1.234,5", "1.234,5"},
        {"jpegQualityTextField", "80", "80\u00a0%"},
        {"topBorderTextField", "12,6", "13\u00a0%"},
        {"imageTransformAngleTextField", "45,25", "45,25°"},
    };
    for (const auto& c : cases) {
      auto* field = view->findChild<QLineEdit*>(QString::fromUtf8(c.field));
      ASSERT_NE(field, nullptr) << c.field;
      field->setText(c.typed);
      emit field->editingFinished();
      EXPECT_EQ(field->text(), c.shown) << c.field << " " << c.typed.toStdString();
    }
    EXPECT_FLOAT_EQ(view->form().controls.jpegSlider.value, 0.8f);
  }
  uloc_setDefault(before.c_str(), &status);
}

TEST_F(BindingsTest, ModelChangesShowWithoutRunningActions) {
  ConverterControls& c = model();
  c.metadataCheck.set(true);
  c.jpegSlider.set(0.25);
  c.prefixTextField = {"trip_", true};
  c.numberSelectPopUp.select(2);
  const bool metadataBefore = view().state().preserveMetadata;
  view().refreshControls();
  EXPECT_TRUE(widget<QCheckBox>("metadataCheck")->isChecked());
  EXPECT_NEAR(widget<ui::DoubleSlider>("jpegSlider")->doubleValue(), 0.25, 1e-7);
  EXPECT_EQ(widget<QLineEdit>("prefixTextField")->text(), "trip_");
  EXPECT_TRUE(widget<QLineEdit>("prefixTextField")->isEnabled());
  EXPECT_EQ(widget<QComboBox>("numberSelectPopUp")->currentIndex(), 2);
  EXPECT_EQ(view().state().preserveMetadata, metadataBefore);  // no action ran
}

TEST_F(BindingsTest, UserEditsReachTheModelAndTheConverter) {
  window_.show();
  QTest::mouseClick(view().tabButton(2), Qt::LeftButton);
  QTest::mouseClick(widget<QCheckBox>("overwriteCheck"), Qt::LeftButton);
  EXPECT_TRUE(model().overwriteCheck.isOn());
  EXPECT_TRUE(view().state().overwriteFiles);

  widget<QCheckBox>("addPrefixCheck")->click();
  EXPECT_TRUE(widget<QLineEdit>("prefixTextField")->isEnabled());
  type("prefixTextField", "");
  EXPECT_EQ(widget<QLineEdit>("prefixTextField")->text(), "");
  EXPECT_EQ(widget<QLineEdit>("prefixTextField")->placeholderText().toStdString(), kPrefixPlaceholder);
  type("prefixTextField", "a/b");
  EXPECT_EQ(view().state().prefixString, "a b");

  view().setButtonFormatFrom(ConversionType::HEIF);
  const ImageModifyInfo info = view().readCurrentPresetValues();
  EXPECT_EQ(info.conversionType, 14);
}

// The rename hints are placeholders: a field left empty names nothing, and
// a click into a field and typing gives exactly the typed text.
TEST_F(BindingsTest, RenameFieldsLeftEmptyAndTypedInto) {
  window_.show();
  QTest::mouseClick(view().tabButton(2), Qt::LeftButton);
  view().setButtonFormatFrom(ConversionType::JPEG);
  pick("numberSelectPopUp", 2);
  type("initialNumberTextField", "7");
  type("zerosTextField", "3");
  struct Field {
    const char *check, *field, *hint;
    std::string ConverterState::*property;
  } const fields[] = {
      {"addPrefixCheck", "prefixTextField", kPrefixPlaceholder, &ConverterState::prefixString},
      {"modifyNameCheck", "nameTextField", kNamePlaceholder, &ConverterState::nameString},
      {"addSuffixCheck", "suffixTextField", kSuffixPlaceholder, &ConverterState::suffixString}};
  const struct {
    QString typed[3];
    QString example;
  } rows[] = {{{"", "", ""}, "filename007.jpg"},
              {{"pre_", "nm", "_suf"}, "pre_nm_suf007.jpg"},
              {{"", "", ""}, "filename007.jpg"}};  // emptied again
  for (const Field& f : fields) widget<QCheckBox>(f.check)->click();
  for (const auto& row : rows) {
    for (int i = 0; i < 3; ++i) {
      QLineEdit* field = widget<QLineEdit>(fields[i].field);
      QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() - 4, field->height() / 2));
      if (row.typed[i].isEmpty()) {
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
      } else {
        QTest::keyClicks(field, row.typed[i]);
      }
      QTest::keyClick(field, Qt::Key_Return);
      EXPECT_EQ(field->text(), row.typed[i]) << fields[i].field;
      EXPECT_EQ(field->placeholderText().toStdString(), fields[i].hint);
      // Empty means none, whether stored as "" or as the hint.
      const std::string stored = view().state().*fields[i].property;
      EXPECT_EQ(stored == fields[i].hint ? "" : stored, row.typed[i].toStdString());
    }
    EXPECT_EQ(widget<QLabel>("resultLabelString")->text(), row.example);
  }
}

TEST_F(BindingsTest, SavingMethodAndNumberingThroughTheirWidgets) {
  auto* askEachTime = widget<QCheckBox>("saveAskEachTimeCheck");
  auto* storeDirectory = widget<QCheckBox>("saveStoreDirectoryCheck");
  auto* asImage = widget<QCheckBox>("saveAsImageCheck");
  storeDirectory->click();
  EXPECT_EQ(view().state().saveWithStoredFileURL, 1);
  EXPECT_FALSE(askEachTime->isChecked());
  storeDirectory->click();  // the chosen method stays chosen
  EXPECT_TRUE(storeDirectory->isChecked());
  asImage->click();
  EXPECT_EQ(view().state().saveWithStoredFileURL, 0);
  EXPECT_TRUE(askEachTime->isChecked());
  EXPECT_FALSE(asImage->isChecked());
  EXPECT_FALSE(storeDirectory->isChecked());

  window_.show();
  QTest::mouseClick(view().tabButton(2), Qt::LeftButton);
  pick("numberSelectPopUp", 1);
  // Chosen, the numbering takes the typing into its first number.
  QTest::qWait(1);
  EXPECT_TRUE(widget<QLineEdit>("initialNumberTextField")->hasFocus());
  EXPECT_EQ(widget<QLineEdit>("initialNumberTextField")->selectedText(), "0");
  type("initialNumberTextField", "7");
  type("zerosTextField", "3");
  EXPECT_EQ(view().state().initialNumber, 7);
  EXPECT_EQ(view().state().zerosNumber, 3);
  pick("numberSelectPopUp", 0);  // numbering off
  EXPECT_EQ(view().state().initialNumber, -1);
  EXPECT_EQ(view().state().zerosNumber, -1);
  EXPECT_FALSE(widget<QLineEdit>("initialNumberTextField")->isEnabled());
}

TEST_F(BindingsTest, OpenWithItemTheFormatForbidsFallsBackToZero) {
  view().setButtonFormatFrom(ConversionType::JPEG);
  model().openWithPopUp.select(7);
  view().refreshControls();
  view().setButtonFormatFrom(ConversionType::ICNS);
  EXPECT_EQ(model().openWithPopUp.selectedIndex, 0);
  EXPECT_EQ(widget<ui::PopUpMenuButton>("openWithPopUp")->selectedIndex(), 0);
}

}  // namespace
}  // namespace velumar

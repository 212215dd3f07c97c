#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/popover.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using P = ConverterView::PopoverId;

class TabsPopoversTest : public ::testing::Test {
 protected:
  void SetUp() override { window_.show(); }
  ConverterView& view() { return *window_.converterView(); }
  // Opens every popover and the curves panel as their buttons do.
  void openAll() {
    for (std::size_t id = 0; id < ConverterView::kPopoverCount; ++id) {
      ui::Popover* shown = view().popover(P(id));
      shown->button()->setEnabled(true);
      if (!shown->isVisible()) shown->button()->click();
      ASSERT_TRUE(shown->isVisible()) << id;
    }
    if (!view().curvesPanel()->isVisible()) view().curvesPanel()->button()->click();
    ASSERT_TRUE(view().curvesPanel()->isVisible());
  }
  std::vector<bool> shown() {
    std::vector<bool> out;
    for (std::size_t id = 0; id < ConverterView::kPopoverCount; ++id) {
      out.push_back(view().popover(P(id))->isVisible());
      EXPECT_EQ(view().popover(P(id))->button()->isChecked(), out.back()) << id;  // button on while shown
    }
    return out;
  }

  ConverterWindow window_;
};

TEST_F(TabsPopoversTest, EachTabClosesThePopoversOfThePagesLeft) {
  // Order: save-to, face, composite, transform, depth, tiny planet, LUT.
  const struct {
    int tab;
    std::vector<bool> open;
  } cases[] = {
      {1, {false, true, true, true, true, true, true}},        // "Modify" keeps the face popover
      {0, {false, false, false, false, false, false, false}},  // "Basic" closes seven
      {2, {true, false, false, false, false, false, false}},   // "File options" keeps save-to
  };
  for (const auto& c : cases) {
    openAll();
    QTest::mouseClick(view().tabButton(c.tab), Qt::LeftButton);
    EXPECT_EQ(shown(), c.open) << c.tab;
    EXPECT_TRUE(view().curvesPanel()->isVisible()) << c.tab;  // no tab switch closes the curves panel
  }
  view().closeAllPopoversOnlyAlpha(true);
  EXPECT_EQ(shown(), std::vector<bool>(ConverterView::kPopoverCount, false));
  EXPECT_FALSE(view().curvesPanel()->isVisible());
  EXPECT_FALSE(view().curvesPanel()->button()->isChecked());
}

// Select... in the open save-to popover: the dialog opens at home, then
// where the last choice was made, and the field shows the choice at once.
TEST_F(TabsPopoversTest, TheChosenFolderShowsInTheOpenPopover) {
  QTest::mouseClick(view().tabButton(2), Qt::LeftButton);
  view().findChild<QCheckBox*>("saveStoreDirectoryCheck")->click();
  ui::Popover* saveTo = view().popover(P::SaveTo);
  saveTo->button()->click();
  ASSERT_TRUE(saveTo->isVisible());
  auto* field = view().findChild<QLineEdit*>("fileURLTextField");
  testsupport::TempDir first, second;
  const struct {
    QString chosen, startsIn;
  } choices[] = {
      {QString::fromStdString(std::filesystem::canonical(first.path()).string()), QDir::homePath()},
      {QString::fromStdString(std::filesystem::canonical(second.path()).string()),
       QString::fromStdString(std::filesystem::canonical(first.path()).string())}};
  for (const auto& choice : choices) {
    QString startedIn;
    // Answers the dialog once it is up.
    std::function<void()> answer = [&] {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible()) {
          startedIn = dialog->directory().absolutePath();
          dialog->setDirectory(choice.chosen);
          static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the choice
          return;
        }
      QTimer::singleShot(20, answer);
    };
    QTimer::singleShot(0, answer);
    view().findChild<QPushButton*>("selectFolderButton")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return field->text() == choice.chosen; }, 5000))
        << field->text().toStdString();
    EXPECT_EQ(startedIn, choice.startsIn);
    EXPECT_TRUE(saveTo->isVisible());
  }
}

// A left click into the folder field asks for the folder once the click
// has been handled, only while the field is enabled (saving into a folder);
// the right button gives the field's context menu instead.
TEST_F(TabsPopoversTest, AClickInTheEnabledFolderFieldOpensTheChooser) {
  QTest::mouseClick(view().tabButton(2), Qt::LeftButton);
  ui::Popover* saveTo = view().popover(P::SaveTo);
  auto* field = view().findChild<QLineEdit*>("fileURLTextField");
  const struct {
    const char* method;
    Qt::MouseButton button;
    bool opens;
  } rows[] = {{"saveStoreDirectoryCheck", Qt::LeftButton, true},
              {"saveAskEachTimeCheck", Qt::LeftButton, false},
              {"saveStoreDirectoryCheck", Qt::RightButton, false},
              {"saveStoreDirectoryCheck", Qt::MiddleButton, false}};
  for (const auto& row : rows) {
    view().findChild<QCheckBox*>(row.method)->click();
    // Asking each time disables the popover's button; the field is shown all the same.
    if (!saveTo->isVisible()) saveTo->showRelativeTo(saveTo->button());
    ASSERT_TRUE(field->isVisible()) << row.method;
    bool clickReturned = false, opened = false, openedAfterClick = false;
    int polls = 0;
    std::function<void()> answer = [&] {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible()) {
          opened = true;
          openedAfterClick = clickReturned;
          dialog->reject();
          return;
        }
      if (++polls < 15) QTimer::singleShot(20, answer);
    };
    QTimer::singleShot(0, answer);
    // A right click goes through the window, as the platform delivers it,
    // for the context menu that follows the press there.
    if (row.button == Qt::RightButton)
      QTest::mouseClick(field->window()->windowHandle(), row.button, {},
                        field->mapTo(field->window(), field->rect().center()));
    else
      QTest::mouseClick(field, row.button);
    clickReturned = true;
    (void)QTest::qWaitFor([&] { return polls >= 15 || opened; }, 2000);
    EXPECT_EQ(field->isEnabled(), row.opens || row.button != Qt::LeftButton) << row.method;
    EXPECT_EQ(opened, row.opens) << row.method << row.button;
    EXPECT_EQ(openedAfterClick, row.opens) << row.method << row.button;
    QMenu* menu = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->isVisible() && qobject_cast<QMenu*>(top)) menu = static_cast<QMenu*>(top);
    EXPECT_EQ(menu != nullptr, row.button == Qt::RightButton) << row.method << row.button;
    if (menu) menu->close();
  }
}

TEST_F(TabsPopoversTest, ClosingAPopoverTurnsItsButtonOff) {
  ui::Popover* face = view().popover(P::FaceOptions);
  face->button()->click();
  view().popover(P::Depth)->button()->click();
  EXPECT_TRUE(face->isVisible());
  face->close();
  EXPECT_FALSE(face->button()->isChecked());
  EXPECT_TRUE(view().popover(P::Depth)->isVisible());
}

TEST_F(TabsPopoversTest, FilterOptionsAndSideWindowsCloseWithThePopovers) {
  QWidget preferences, info, font;
  view().setPreferencesPanel(&preferences);
  view().setInfoWindow(&info);
  view().setFontPanelActions({}, [&font] { font.hide(); });
  FilterSlots& filterSlots = view().form().controls.filterSlots;
  const auto optionsShown = [this] {
    std::vector<bool> out;
    for (int slot = 0; slot < 3; ++slot)
      out.push_back(
          view().findChild<ui::Popover*>(QStringLiteral("optionsPopOver%1").arg(slot))->isVisible());
    return out;
  };
  // What stays open after each step: the three option popovers, then the
  // preferences panel, the information window and the font panel.
  const struct {
    const char* step;
    std::function<void()> run;
    std::vector<bool> options;
    std::vector<bool> windows;
  } rows[] = {
      {"Modify",
       [this] { QTest::mouseClick(view().tabButton(1), Qt::LeftButton); },
       {true, true, true},
       {true, true, true}},
      {"Basic",
       [this] { QTest::mouseClick(view().tabButton(0), Qt::LeftButton); },
       {false, false, false},
       {true, true, true}},
      {"File options",
       [this] { QTest::mouseClick(view().tabButton(2), Qt::LeftButton); },
       {false, false, false},
       {true, true, true}},
      {"only alpha",
       [this] { view().closeAllPopoversOnlyAlpha(true); },
       {false, false, false},
       {false, true, false}},
      {"all",
       [this] { view().closeAllPopoversOnlyAlpha(false); },
       {false, false, false},
       {false, false, false}},
  };
  for (const auto& row : rows) {
    QTest::mouseClick(view().tabButton(1), Qt::LeftButton);
    for (std::size_t slot = 0; slot < 3; ++slot)
      filterSlots.popoverShown[slot] = filterSlots.optionsButtonArray[slot].on = true;
    view().refreshControls();
    for (QWidget* side : {&preferences, &info, &font}) side->show();
    row.run();
    EXPECT_EQ(optionsShown(), row.options) << row.step;
    EXPECT_EQ((std::vector<bool>{preferences.isVisible(), info.isVisible(), font.isVisible()}), row.windows)
        << row.step;
    EXPECT_EQ(filterSlots.optionsButtonArray[0].on, row.options[0]) << row.step;
  }
  view().setFontPanelActions({}, {});
}

TEST_F(TabsPopoversTest, EscapeClosesThePopoverWithTheFocus) {
  QTest::mouseClick(view().tabButton(1), Qt::LeftButton);
  ui::Popover* face = view().popover(P::FaceOptions);
  QTest::mouseClick(face->button(), Qt::LeftButton);
  ASSERT_TRUE(face->isVisible());
  // The popover took the keyboard: the key goes where the user's would.
  ASSERT_TRUE(QTest::qWaitForWindowActive(face));
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  EXPECT_EQ(focus->window(), face);
  QTest::keyClick(focus, Qt::Key_Escape);
  EXPECT_FALSE(face->isVisible());
  EXPECT_FALSE(face->button()->isChecked());
}

}  // namespace
}  // namespace velumar

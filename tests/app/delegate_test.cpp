// The delegate in a running application (offscreen): launch order, files
// from outside, quitting by every route, the preferences panel, the import
// panels, the reset alert and the font panel.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontMetricsF>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/app_delegate.h"
#include "app/font_panel.h"
#include "app/settings_alerts.h"
#include "app/preferences_window.h"
#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "engine/imported_image.h"
#include "platform/foundation/binary_plist_builder.h"
#include "platform/foundation/files.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "presets/converter_form.h"
#include "preview/preview_window.h"
#include "support/test_support.h"

using namespace velumar;
namespace fs = std::filesystem;

namespace {

class DelegateTest : public ::testing::Test {
 protected:
  DelegateTest() {
    delegate_.terminate = [this] { ++quits_; };
    delegate_.stepLog = [this](const char* step) { steps_.emplace_back(step); };
  }
  ~DelegateTest() override { QTest::qWait(150); }  // let delayed work of the test run out

  ConverterView& view() { return delegate_.converterView(); }
  void setProcessing(bool on) { view().state().isProcessingImages = on; }
  QAction* menuItem(QMenu* menu, const QString& title) {
    for (QAction* action : menu->actions())
      if (action->text() == title) return action;
    for (QAction* action : menu->actions())
      if (action->menu())
        if (QAction* found = menuItem(action->menu(), title)) return found;
    return nullptr;
  }
  QAction* menuBarItem(const QString& title) {
    for (QAction* top : delegate_.window().menuBar()->actions())
      if (top->menu())
        if (QAction* found = menuItem(top->menu(), title)) return found;
    return nullptr;
  }
  // Answers the next modal dialog with the button titled answer; records
  // whether one came.
  void answerNextModal(const QString& answer) {
    QTimer::singleShot(50, [this, answer] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      modalText_ = box->text();
      modalOver_ = box->parentWidget();
      for (QAbstractButton* button : box->buttons())
        if (button->text() == answer) button->click();
    });
  }

  testsupport::TempDir dir_;
  foundation::UserDefaults defaults_{dir_.file("settings.plist")};
  AppDelegate delegate_{defaults_, true};
  std::vector<std::string> steps_;
  int quits_ = 0;
  QString modalText_;
  QWidget* modalOver_ = nullptr;
};

}  // namespace

TEST_F(DelegateTest, LaunchRunsItsStepsInOrder) {
  const fs::path tempData = fs::path(foundation::applicationSupportDirectory()) / "TempData";
  fs::create_directories(tempData);
  std::ofstream(tempData / "old.tif") << "x";
  defaults_.set("LastSelectedPreset", "JPG for Web");
  delegate_.launch();
  const std::vector<std::string> expected = {"awakeFromNib",
                                             "setAppSupportDir",
                                             "statusItem",
                                             "setDefaultValues",
                                             "addPresetsFromFiles",
                                             "setAssociatedUserDefaultsKey",
                                             "resetShortcutRegistration",
                                             "showWindow",
                                             "registerGlobalShortcut"};
  EXPECT_EQ(steps_, expected);
  EXPECT_TRUE(fs::is_directory(fs::path(foundation::applicationSupportDirectory()) / "ImagePresets"));
  EXPECT_TRUE(fs::is_empty(tempData));
  EXPECT_FALSE(delegate_.isFirstOpening());
  EXPECT_TRUE(delegate_.window().isVisible());
  // The remembered preset was selected when the presets were loaded.
  EXPECT_EQ(view().state().lastSelectedPresetName, "JPG for Web");
  EXPECT_EQ(delegate_.preferencesPanel().selectedToolbarItem(), "General");
  // Drops on the converter go to the preview list.
  EXPECT_TRUE(view().dragAndDropBehaviorImportToPreview);
  EXPECT_FALSE(delegate_.isShortcutEnabled());  // nothing stored under "KeyShortcut"
}

TEST_F(DelegateTest, QuitIsRefusedWhileProcessingByEveryRoute) {
  delegate_.launch();
  QAction* menuQuit = menuBarItem(QStringLiteral("Quit"));
  QAction* trayQuit = menuItem(delegate_.appMenu(), QStringLiteral("Quit Velumar"));
  ASSERT_TRUE(menuQuit && trayQuit);
  setProcessing(true);
  EXPECT_FALSE(delegate_.applicationShouldTerminate());
  menuQuit->trigger();
  trayQuit->trigger();
  EXPECT_FALSE(delegate_.window().close());  // closing the last window quits
  EXPECT_TRUE(delegate_.window().isVisible());
  EXPECT_EQ(quits_, 0);

  setProcessing(false);
  menuQuit->trigger();
  trayQuit->trigger();
  EXPECT_EQ(quits_, 2);
  EXPECT_TRUE(delegate_.window().close());
}

// The menu bar's keys: the application's commands from whichever of its
// windows is active, the converter's own only from the converter.
TEST_F(DelegateTest, MenuKeysWorkInEveryWindow) {
  delegate_.launch();
  const struct {
    const char* title;
    QKeySequence keys;
    bool everywhere;
  } commands[] = {{"Process Images…", Qt::CTRL | Qt::Key_O, true},
                  {"Preferences…", Qt::CTRL | Qt::Key_Comma, true},
                  {"Quit", Qt::CTRL | Qt::Key_Q, true},
                  {"Watermark Font…", Qt::CTRL | Qt::Key_T, true},
                  {"Hide Velumar", Qt::CTRL | Qt::Key_H, true},
                  {"Undo", Qt::CTRL | Qt::Key_Z, false},
                  {"Redo", Qt::CTRL | Qt::SHIFT | Qt::Key_Z, false}};
  // Each command only counts its keys here: no dialog opens, nothing hides.
  std::map<std::string, int> triggered;
  for (const auto& command : commands) {
    QAction* action = menuBarItem(QString::fromUtf8(command.title));
    ASSERT_TRUE(action) << command.title;
    EXPECT_EQ(action->shortcut(), command.keys) << command.title;
    action->setEnabled(true);
    QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
    QObject::connect(action, &QAction::triggered,
                     [&triggered, title = command.title] { ++triggered[title]; });
  }
  const std::pair<const char*, QWidget*> windows[] = {{"converter", &delegate_.window()},
                                                      {"preview", &delegate_.previewWindow()},
                                                      {"preferences", &delegate_.preferencesPanel()}};
  for (const auto& [name, window] : windows) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << name;
    const bool converter = window == &delegate_.window();
    for (const auto& command : commands) {
      const int before = triggered[command.title];
      QTest::keySequence(window, command.keys);
      EXPECT_EQ(triggered[command.title] - before, command.everywhere || converter ? 1 : 0)
          << command.title << " from the " << name;
    }
  }
}

TEST_F(DelegateTest, TerminationSignalCancelsTheBatchThenQuits) {
  delegate_.launch();
  setProcessing(true);
  delegate_.terminationRequested();
  EXPECT_TRUE(view().state().progressBar.cancelProgress);
  QTest::qWait(200);
  EXPECT_EQ(quits_, 0);  // waits for the batch to end
  setProcessing(false);
  EXPECT_TRUE(QTest::qWaitFor([this] { return quits_ == 1; }, 2000));
}

TEST(DelegateSettingsAlerts, UnreadableAndUnwritableSettingsAreToldOnce) {
  auto alertsNamed = [](const QString& name) {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (widget->objectName() == name && widget->isVisible()) ++count;
    return count;
  };
  testsupport::TempDir dir;
  // Unreadable files, and the cause the alert names.
  std::string manyKeys = "<plist><dict>";
  for (int i = 0; i <= 150000; ++i) manyKeys += "<key>" + std::to_string(i) + "</key><true/>";
  manyKeys += "</dict></plist>";
  // {"Data": [1 MB] * copies}, one megabyte shared: 63 leave no room for the
  // program's keys, 65 expand past what the readers take.
  auto sharedMegabytes = [](std::size_t copies) {
    plisttest::BinaryPlistBuilder largeData;
    const std::uint32_t megabyte = largeData.add(plisttest::BinaryPlistBuilder::data(1 << 20));
    const std::uint32_t top = largeData.add(plisttest::BinaryPlistBuilder::dictionary(
        {largeData.add(plisttest::BinaryPlistBuilder::ascii("Data"))},
        {largeData.add(plisttest::BinaryPlistBuilder::array(std::vector<std::uint32_t>(copies, megabyte)))}));
    return largeData.build(top);
  };
  // A binary file whose trailer states 1,000,001 objects, with room for
  // their one-byte offsets; the objects themselves are never reached.
  constexpr std::size_t kStatedObjects = 1'000'001;
  foundation::Data manyObjects{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
  manyObjects.resize(8 + 2 * kStatedObjects + 6);
  manyObjects.push_back(1);  // offset size
  manyObjects.push_back(1);  // reference size
  plisttest::BinaryPlistBuilder::appendBig(manyObjects, kStatedObjects, 8);
  plisttest::BinaryPlistBuilder::appendBig(manyObjects, 0, 8);  // top object
  plisttest::BinaryPlistBuilder::appendBig(manyObjects, 8 + kStatedObjects, 8);  // offset table
  const struct {
    foundation::Data bytes;
    QString cause;
    std::uintmax_t sparseSize = 0;  // extends the file, without writing, when set
  } unreadable[] = {
      {{'b', 'p', 'l', 'i', 's', 't'}, QStringLiteral("The settings file is damaged.")},
      {foundation::Data(manyKeys.begin(), manyKeys.end()),
       QStringLiteral("The settings file holds more entries than Velumar can read.")},
      {manyObjects, QStringLiteral("The settings file holds more entries than Velumar can read.")},
      {sharedMegabytes(63), QStringLiteral("The settings file is too large to be saved again.")},
      {sharedMegabytes(65), QStringLiteral("The settings file is too large to be read.")},
      {{'<', '?', 'x', 'm', 'l'}, QStringLiteral("The settings file is too large to be read."),
       foundation::kMaxPropertyListBytes + 1},
  };
  for (const auto& file : unreadable) {
    const std::string path = dir.file("velumar.plist");
    ASSERT_TRUE(foundation::writeFileAtomically(path, file.bytes));
    if (file.sparseSize != 0) fs::resize_file(path, file.sparseSize);
    foundation::UserDefaults defaults(path);
    AppDelegate delegate(defaults, true);
    delegate.launch();
    ASSERT_NE(delegate.settingsAlerts().unreadableAlert(), nullptr) << file.cause.toStdString();
    EXPECT_EQ(alertsNamed(QStringLiteral("settingsUnreadableAlert")), 1);
    EXPECT_EQ(delegate.settingsAlerts().unreadableAlert()->text(), QStringLiteral("Your settings could not be read."));
    const QString informative = delegate.settingsAlerts().unreadableAlert()->informativeText();
    EXPECT_TRUE(informative.startsWith(file.cause)) << informative.toStdString();
    EXPECT_TRUE(informative.contains(
        QString::fromStdString(fs::path(*defaults.unreadableFileKeptAs()).filename().string())));
    EXPECT_EQ(delegate.settingsAlerts().notWritableAlert(), nullptr);
    delegate.settingsAlerts().unreadableAlert()->close();
  }
  // A settings folder that cannot be made: one alert at launch, none again.
  ASSERT_TRUE(foundation::writeFileAtomically(dir.file("file"), foundation::Data{'x'}));
  foundation::UserDefaults defaults(dir.file("file") + "/velumar.plist");
  AppDelegate delegate(defaults, true);
  delegate.launch();
  QTest::qWait(50);
  EXPECT_EQ(alertsNamed(QStringLiteral("settingsNotWritableAlert")), 1);
  defaults.set("key", 1);
  EXPECT_FALSE(defaults.synchronize());
  QTest::qWait(50);
  EXPECT_EQ(alertsNamed(QStringLiteral("settingsNotWritableAlert")), 1);
  EXPECT_EQ(delegate.settingsAlerts().unreadableAlert(), nullptr);
  delegate.settingsAlerts().notWritableAlert()->close();

  // Settings too large for a file the readers take: one alert naming that.
  foundation::UserDefaults large(dir.file("large/velumar.plist"));
  AppDelegate largeDelegate(large, true);
  largeDelegate.launch();
  large.set("Large", foundation::Data(foundation::kMaxPropertyListBytes, 1));
  EXPECT_FALSE(large.synchronize());
  EXPECT_FALSE(large.synchronize());
  QTest::qWait(50);
  EXPECT_EQ(alertsNamed(QStringLiteral("settingsNotWritableAlert")), 1);
  ASSERT_NE(largeDelegate.settingsAlerts().notWritableAlert(), nullptr);
  EXPECT_TRUE(largeDelegate.settingsAlerts().notWritableAlert()->informativeText().contains(
      QStringLiteral("too large")));
  largeDelegate.settingsAlerts().notWritableAlert()->close();
}

TEST_F(DelegateTest, OpenedFilesBecomeOneBatch) {
  delegate_.launch();
  const fs::path output = dir_.path() / "out";
  fs::create_directories(output);
  view().state().saveWithStoredFileURL = 1;
  view().state().fileURLForSaving = output.string();
  const fs::path photos = dir_.path() / "photos";
  fs::create_directories(photos);
  for (const char* name : {"a.png", "b.png"})
    testsupport::runCommand({"/usr/bin/convert", "-size", "8x8", "xc:green", (photos / name).string()});
  // Given through a link: the parent folder is the link's, the files are resolved.
  fs::create_directory_symlink(photos, dir_.path() / "link");
  const std::vector<std::string> opened = {(dir_.path() / "link" / "a.png").string(),
                                           (photos / "b.png").string()};

  setProcessing(true);
  delegate_.openFiles(opened);
  EXPECT_FALSE(view().drawForDragAndDrop());
  QTest::qWait(300);
  EXPECT_TRUE(fs::is_empty(output));

  setProcessing(false);
  delegate_.openFiles(opened);
  EXPECT_TRUE(view().drawForDragAndDrop());
  EXPECT_EQ(view().state().globalParentDirectory, (dir_.path() / "link").string());
  EXPECT_TRUE(view().state().isFromOpenWith);
  const auto written = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(output)) names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return written() == std::vector<std::string>{"a", "b"}; }, 20000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !view().state().isProcessingImages; }, 20000));
}

TEST_F(DelegateTest, OpenedItemsWithoutImages) {
  delegate_.launch();
  const fs::path empty = dir_.path() / "empty";
  fs::create_directories(empty);
  std::ofstream(dir_.path() / "notes.txt") << "text";
  struct Case {
    fs::path item;
    bool alert;
  };
  for (const Case& c : {Case{empty, false}, Case{dir_.path() / "notes.txt", true}}) {
    delegate_.openFiles({c.item.string()});
    EXPECT_FALSE(view().drawForDragAndDrop());
    QTest::qWait(250);
    QWidget* sheet = delegate_.window().findChild<QMessageBox*>(QStringLiteral("alertSheet"));
    EXPECT_EQ(sheet != nullptr && sheet->isVisible(), c.alert) << c.item;
    if (sheet) sheet->close();
    QTest::qWait(10);
  }
}

TEST_F(DelegateTest, PreferencesPanel) {
  defaults_.set("CPUGPUBehavior", 2);
  delegate_.launch();
  EXPECT_EQ(delegate_.preferencesPanel().cpuGPUMatrix()->checkedId(), -1);
  PreferencesWindow& panel = delegate_.preferencesPanel();
  panel.showPage(PreferencesWindow::Page::Appearance);
  panel.showPage(PreferencesWindow::Page::Appearance);
  EXPECT_EQ(panel.currentPage(), PreferencesWindow::Page::Appearance);
  EXPECT_EQ(panel.selectedToolbarItem(), "Appearance");
  setProcessing(true);
  delegate_.showHidePreferencesFrom();
  EXPECT_FALSE(panel.isVisible());
  // The reveal check follows the converter while a batch runs.
  panel.showInFinderCheck()->click();
  EXPECT_FALSE(panel.showInFinderCheck()->isChecked());
  EXPECT_FALSE(view().state().showInFinderSavedFiles);
  setProcessing(false);
  delegate_.showHidePreferencesFrom();
  EXPECT_TRUE(panel.isVisible());
  panel.showInFinderCheck()->click();
  EXPECT_TRUE(view().state().showInFinderSavedFiles);
  panel.previewFitsSizeCheck()->click();
  EXPECT_TRUE(delegate_.preferences().windowRemainsSameSize);
  panel.cpuGPUMatrix()->button(1)->click();
  EXPECT_FALSE(view().state().useGPUForRendering);
  delegate_.showHidePreferencesFrom();
  EXPECT_FALSE(panel.isVisible());
}

TEST_F(DelegateTest, ImportPanelKeepsABatchStartedMeanwhile) {
  delegate_.launch();
  int panels = 0;
  bool busyWhileOpen = false;
  delegate_.importPanel = [&](const ImportPanelOptions&) -> std::optional<ImportPanelChoice> {
    ++panels;
    busyWhileOpen = view().state().isProcessingImages;
    return std::nullopt;  // cancelled
  };
  delegate_.importImagesFrom(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return panels == 1; }, 2000));
  EXPECT_TRUE(busyWhileOpen);
  EXPECT_FALSE(view().state().isProcessingImages);

  // A batch starts between the command and the panel: no panel, still busy.
  delegate_.importImagesForPreviewFrom(true);
  setProcessing(true);
  QTest::qWait(250);
  EXPECT_EQ(panels, 1);
  EXPECT_TRUE(view().state().isProcessingImages);
  setProcessing(false);
}

TEST_F(DelegateTest, ImportForPreviewListsTheFoundImages) {
  delegate_.launch();
  const fs::path folder = dir_.path() / "pictures";
  fs::create_directories(folder);
  testsupport::runCommand({"/usr/bin/convert", "-size", "8x8", "xc:red", (folder / "r.png").string()});
  delegate_.importPanel = [&](const ImportPanelOptions& options) -> std::optional<ImportPanelChoice> {
    EXPECT_TRUE(options.forPreview);
    return ImportPanelChoice{{folder.string()}, dir_.path().string(), std::nullopt, false};
  };
  delegate_.importImagesForPreview(true);
  EXPECT_TRUE(delegate_.previewWindow().listedFiles().empty());  // 0.1 s later
  ASSERT_TRUE(QTest::qWaitFor([&] { return !delegate_.previewWindow().listedFiles().empty(); }, 2000));
  EXPECT_EQ(delegate_.previewWindow().listedFiles(), std::vector<std::string>{(folder / "r.png").string()});
  EXPECT_TRUE(delegate_.previewWindow().isVisible());
  // The converter's batch sees the same list.
  EXPECT_EQ(view().previewListedFiles(), delegate_.previewWindow().listedFiles());
}

TEST_F(DelegateTest, ResetAlertEmptiesThePreviewListOnOk) {
  delegate_.launch();
  int resets = 0;
  auto token = foundation::NotificationCenter::defaultCenter().addObserver(
      "resetPreviewImage", [&](const foundation::Notification&) { ++resets; });
  bool listed = true;
  delegate_.previewHasImages = [&] { return listed; };
  // The preview window's own "Clear Preview" asks the same way, and a
  // running conversion refuses it.
  QAction* previewItem = nullptr;
  for (QAction* item : delegate_.previewWindow().optionsMenu()->actions())
    if (item->text() == "Clear Preview") previewItem = item;
  ASSERT_NE(previewItem, nullptr);
  struct Case {
    bool listed;
    bool fromPreview;
    bool processing;
    const char* answer;
    int resets;
    bool asked;
  };
  for (const Case& c : {Case{true, false, false, "Cancel", 0, true}, Case{true, false, false, "Ok", 1, true},
                        Case{false, false, false, "Ok", 0, false}, Case{true, true, false, "Cancel", 0, true},
                        Case{true, true, false, "Ok", 1, true}, Case{true, true, true, "Ok", 0, false}}) {
    listed = c.listed;
    setProcessing(c.processing);
    resets = 0;
    modalText_.clear();
    answerNextModal(QString::fromUtf8(c.answer));
    if (c.fromPreview) {
      previewItem->setEnabled(true);
      previewItem->trigger();
    } else {
      delegate_.resetOriginalPreviewImageFrom();
    }
    EXPECT_EQ(resets, c.resets) << c.answer << c.listed << c.fromPreview;
    EXPECT_EQ(modalText_ == "This will remove all images from preview.", c.asked) << c.answer << c.listed;
    // Over the window whose menu was used.
    if (c.asked) {
      EXPECT_EQ(modalOver_, c.fromPreview ? static_cast<QWidget*>(&delegate_.previewWindow()) : &delegate_.window());
    }
    setProcessing(false);
    QTest::qWait(80);
  }
}

TEST_F(DelegateTest, RefusedFilesAlertCountsAndIsAnsweredWhileTheDestinationSheetIsOpen) {
  delegate_.launch();
  // A batch that asks for its destination: the folder sheet on the converter.
  // The batch waits inside the sheet's own loop, so the checks run from a
  // timer there.
  view().state().saveWithStoredFileURL = 0;
  const std::string image = dir_.file("a.png");
  testsupport::runCommand({"/usr/bin/convert", "-size", "8x8", "xc:blue", image});
  bool checked = false;
  QTimer whileAsking;
  whileAsking.setInterval(50);
  QObject::connect(&whileAsking, &QTimer::timeout, [&] {
    auto* sheet = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!sheet) return;
    whileAsking.stop();
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(delegate_.isProcessing());
    delegate_.refuseFilesDuringConversion({"/a.jpg"});
    delegate_.refuseFilesDuringConversion({"/b.jpg", "/c.jpg"});
    int alerts = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
      alerts += widget->objectName() == "refusedFilesAlert" && widget->isVisible();
    EXPECT_EQ(alerts, 1);
    QMessageBox* alert = delegate_.refusedFilesAlert();
    QAbstractButton* ok = alert ? alert->button(QMessageBox::Ok) : nullptr;
    if (ok) {
      EXPECT_TRUE(alert->informativeText().startsWith("3 items were opened"))
          << alert->informativeText().toStdString();
      // Its Ok button takes a click as the window system delivers it: the
      // sheet does not block the alert.
      QTest::mouseClick(alert->windowHandle(), Qt::LeftButton, {}, ok->mapTo(alert, ok->rect().center()));
      EXPECT_TRUE(QTest::qWaitFor([&] { return delegate_.refusedFilesAlert() == nullptr; }, 2000));
    } else {
      ADD_FAILURE() << "no alert";
    }
    EXPECT_TRUE(sheet->isVisible());
    sheet->reject();
    checked = true;
  });
  whileAsking.start();
  delegate_.openFiles({image});
  EXPECT_TRUE(QTest::qWaitFor([&] { return checked && !delegate_.isProcessing(); }, 10000));
}

TEST_F(DelegateTest, FontPanelShowsAQuarterOfTheWatermarkFont) {
  delegate_.launch();
  ImportedImage& engine = *view().importedImage();
  engine.textFont = TextFont{"DejaVu Sans", false, false, 144};
  engine.textAttributes.pointSize = 144;
  delegate_.openFontPanel();
  QFontDialog* panel = delegate_.fontPanel().fontDialog();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_DOUBLE_EQ(panel->currentFont().pointSizeF(), 36);
  EXPECT_DOUBLE_EQ(engine.textFont.pointSize, 144);  // showing is no choice
  // The sample text shows the font whole, however large.
  const QLabel* sample = delegate_.fontPanel().sample();
  ASSERT_NE(sample, nullptr);
  EXPECT_TRUE(sample->isVisible());
  EXPECT_EQ(sample->font().family(), panel->currentFont().family());
  EXPECT_LE(QFontMetricsF(sample->font()).horizontalAdvance(sample->text()), sample->contentsRect().width());

  struct Case {
    double shown;
    bool underline;
    double real;
  };
  for (const Case& c : {Case{20, false, 80}, Case{9, true, 36}}) {
    QFont chosen = panel->currentFont();
    chosen.setPointSizeF(c.shown);
    chosen.setUnderline(c.underline);
    panel->setCurrentFont(chosen);
    EXPECT_DOUBLE_EQ(engine.textFont.pointSize, c.real);
    EXPECT_DOUBLE_EQ(engine.textAttributes.pointSize, c.real);
    EXPECT_EQ(engine.textAttributes.underline, c.underline);
  }
  // The colour panel sets the text colour; the font stays.
  delegate_.fontPanel().colorDialog()->setCurrentColor(QColor(255, 0, 0));
  ASSERT_TRUE(engine.textAttributes.color.has_value());
  EXPECT_EQ(engine.textAttributes.color->components[0], 1.0);
  EXPECT_EQ(engine.textAttributes.color->components[1], 0.0);
  EXPECT_DOUBLE_EQ(engine.textFont.pointSize, 36);
  // A preset's font shows in the open panel.
  engine.textFont.pointSize = 200;
  view().updateFontPanel(engine.textFont, engine.textAttributes);
  EXPECT_DOUBLE_EQ(panel->currentFont().pointSizeF(), 50);
  EXPECT_DOUBLE_EQ(engine.textFont.pointSize, 200);
}

TEST_F(DelegateTest, WelcomeSheetOnTheConverterWindow) {
  delegate_.launch();
  QAction* welcome = menuBarItem(QStringLiteral("Welcome to Velumar"));
  ASSERT_NE(welcome, nullptr);
  welcome->trigger();
  QDialog* sheet = delegate_.infoWindow();
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
  EXPECT_EQ(sheet->parentWidget(), &delegate_.window());
  // The first-use line, as the converter filled it when it was set up.
  auto* firstUse = sheet->findChild<QLabel*>(QStringLiteral("infoGlobalTextField"));
  ASSERT_NE(firstUse, nullptr);
  QTextDocument shown;
  shown.setHtml(firstUse->text());
  EXPECT_EQ(shown.toPlainText(), "First use configuration:\nUse preferences to set a global shortcut.");
  EXPECT_TRUE(firstUse->isVisible());
  auto* close = sheet->findChild<QPushButton*>();
  ASSERT_NE(close, nullptr);
  close->click();
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_FALSE(close->isChecked());
}

TEST_F(DelegateTest, ImportForProcessingTakesThePanelsFolder) {
  delegate_.launch();
  const fs::path output = dir_.path() / "out";
  fs::create_directories(output);
  view().state().saveWithStoredFileURL = 1;
  view().state().fileURLForSaving = output.string();
  const fs::path picture = dir_.path() / "in" / "p.png";
  fs::create_directories(picture.parent_path());
  testsupport::runCommand({"/usr/bin/convert", "-size", "8x8", "xc:blue", picture.string()});
  struct Case {
    std::optional<std::string> entered, shown;
    bool mediaFolder;
    std::optional<std::string> parent;
  };
  const Case cases[] = {
      {"/entered", "/shown", false, "/entered"},
      {std::nullopt, "/shown", false, "/shown"},
      {"/entered", "/shown", true, std::nullopt},
  };
  for (const Case& c : cases) {
    delegate_.importPanel = [&](const ImportPanelOptions& options) -> std::optional<ImportPanelChoice> {
      EXPECT_FALSE(options.forPreview);
      return ImportPanelChoice{{picture.string()}, c.entered, c.shown, c.mediaFolder};
    };
    delegate_.importImagesForProcessing(false);
    EXPECT_EQ(view().state().globalParentDirectory, c.parent);
    EXPECT_TRUE(view().drawForDragAndDrop());
    EXPECT_TRUE(QTest::qWaitFor([&] { return view().state().isProcessingImages.load(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view().state().isProcessingImages.load(); }, 20000));
  }
  EXPECT_FALSE(fs::is_empty(output));
}

#pragma once
// The application's life: launch in three steps, files opened from outside
// as one conversion batch, focus and hide/unhide, quitting (refused while a
// batch converts), the preferences, the tray icon and the small panels.
// Every effect goes through the converter view; main thread only.

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/import_panel.h"
#include "app/preferences.h"
#include "preview/organized_url.h"
#include "session/folder_scan.h"

class QCheckBox;
class QDialog;
class QMenu;
class QWidget;

namespace foundation {
class UserDefaults;
}

namespace velumar {

class Appearance;
class SettingsAlerts;
class ConverterForm;
class ConverterView;
class ConverterWindow;
class FontPanel;
class PreferencesWindow;
class PresetCatalogue;
class PreviewWindow;
class StatusItem;
class TaskBarHiding;

class AppDelegate : public QObject {
  Q_OBJECT

 public:
  // paletteIsDark: the desktop's own palette is dark (the appearance
  // without the desktop portal).
  explicit AppDelegate(foundation::UserDefaults& defaults, bool paletteIsDark = true,
                       QObject* parent = nullptr);
  ~AppDelegate() override;

  ConverterWindow& window() const { return *window_; }
  SettingsAlerts& settingsAlerts() const { return *settingsAlerts_; }
  ConverterView& converterView() const;
  ConverterForm& form() const;
  // The converter window's preset catalogue.
  PresetCatalogue& catalogue() const;
  PreferencesWindow& preferencesPanel() const { return *preferencesPanel_; }
  PreviewWindow& previewWindow() const { return *previewWindow_; }
  QMenu* appMenu() const { return appMenu_; }
  StatusItem& menuBar() const { return *menuBar_; }
  Appearance& appearance() const { return *appearance_; }
  FontPanel& fontPanel() const { return *fontPanel_; }
  QDialog* infoWindow() const { return infoWindow_; }
  ShellPreferences& preferences() { return preferences_; }
  bool isFirstOpening() const { return preferences_.isFirstOpening; }

  // Each step of launch reports its name here (for tests).
  std::function<void(const char* step)> stepLog;
  // How an import panel is shown (the real file dialog unless replaced).
  ImportPanelRunner importPanel;
  // Whether the preview lists images.
  std::function<bool()> previewHasImages;
  // Ends the event loop (QCoreApplication::quit unless replaced).
  std::function<void()> terminate;

  // ---- Launch -----------------------------------------------------------------
  void launch();
  void awakeFromNib();
  void applicationWillFinishLaunching();
  void applicationDidFinishLaunching();
  void setAppSupportDir();
  const std::optional<std::string>& appDirectory() const { return appDirectory_; }
  // Whether the global shortcut of "KeyShortcut" is registered.
  bool isShortcutEnabled() const;

  // ---- Files from outside ---------------------------------------------------
  void openFiles(const std::vector<std::string>& paths);
  // A later start's files arrived while a conversion runs: they are not
  // opened, and an alert says so (the start may have come from a file
  // manager, without a terminal to read). The alert belongs to no window,
  // so a sheet never blocks it, and further refusals count in the one
  // alert.
  void refuseFilesDuringConversion(const std::vector<std::string>& paths);
  QMessageBox* refusedFilesAlert() const { return refusedAlert_; }

  // ---- Quit -------------------------------------------------------------------
  bool isProcessing() const;
  bool applicationShouldTerminate() const;
  // Writes the preferences, synchronises them and empties "TempData".
  void applicationWillTerminate();
  // The menu's and the tray's Quit: ends the event loop unless processing.
  void quitAppMenuFrom();
  // SIGTERM and friends: a running batch is cancelled between images, then
  // the application quits in order.
  void terminationRequested();
  // The process exits from inside the event loop (the display connection
  // broke): a running batch stops at its next image and is waited for, and
  // the settings are written as at any quit.
  void endAtExit();

  // ---- Focus, hide and unhide ------------------------------------------------
  void applicationWillResignActive();
  void applicationDidResignActive();
  void applicationDidBecomeActive();
  void drawViewForActive();
  void drawViewForDeactive();
  void hideApplication();
  void unhideApplication();
  bool isHidden() const { return hidden_; }
  void showBringToFrontAppFrom();
  void showHideAppFrom();

  // ---- Preferences panel ----------------------------------------------------
  void showHidePreferencesFrom();
  void previewWindowRemainsSameSizeFrom();
  void updateCPUGPURenderingFrom();
  void showInFinderSavedFilesFrom();
  void hideExtensionSavedFilesFrom();

  // ---- Sheets and panels ------------------------------------------------------
  void beginSheetForFirstOpenFrom();
  void closeSheetFrom();
  // The import commands: after 0.1 s, the images or folder panel.
  void importImagesFrom(bool folder);
  void importImagesForPreviewFrom(bool folder);
  void importImagesForProcessing(bool folder);
  void importImagesForPreview(bool folder);
  // Hands the images found for the preview to its list, with the image
  // files the scan could not take.
  void addFileUrlsToPreviewView(const std::string& firstPath, const OrganizedURLList& urls,
                                const std::vector<std::string>& unreadableImages);
  // Asks "This will remove all images from preview." over the window whose
  // menu was used (the converter by default) and empties the list.
  void resetOriginalPreviewImageFrom(QWidget* over = nullptr);
  void openFontPanel();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void step(const char* name) const;
  // Scans items into one batch (or resets the drop zone and, unless only
  // image-less folders were given, says so).
  void convertItems(const std::vector<std::string>& items, const std::optional<std::string>& parent,
                    bool fromOpenWith);
  SupportedImageCheck supportedImage() const;
  void deferImport(bool folder, bool forPreview);
  void followCheck(QCheckBox* check, bool& member);
  void showPreferenceControls();
  void buildInfoWindow();
  void activateWindow(QWidget* window);
  // Runs the import panel with the converter marked busy meanwhile.
  std::optional<ImportPanelChoice> runImportPanelBusy(const ImportPanelOptions& options);

  foundation::UserDefaults& defaults_;
  std::unique_ptr<ConverterWindow> window_;
  std::unique_ptr<PreferencesWindow> preferencesPanel_;
  std::unique_ptr<PreviewWindow> previewWindow_;
  ShellPreferences preferences_;
  Appearance* appearance_ = nullptr;
  QMenu* appMenu_ = nullptr;
  StatusItem* menuBar_ = nullptr;
  TaskBarHiding* taskBarHiding_ = nullptr;  // while "DockState" is 1
  FontPanel* fontPanel_ = nullptr;
  QDialog* infoWindow_ = nullptr;
  std::optional<std::string> appDirectory_;
  bool hidden_ = false;
  std::vector<QPointer<QWidget>> hiddenWindows_;
  bool terminating_ = false;
  SettingsAlerts* settingsAlerts_ = nullptr;
  QPointer<QMessageBox> refusedAlert_;
  std::size_t refusedItems_ = 0;
};

}  // namespace velumar

#include "app/app_delegate.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QFontDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <atomic>
#include <filesystem>

#include "app/app_menus.h"
#include "app/appearance.h"
#include "app/font_panel.h"
#include "app/launch_steps.h"
#include "app/open_dialogs.h"
#include "app/preferences_window.h"
#include "app/settings_alerts.h"
#include "app/status_item.h"
#include "app/task_bar_entry.h"
#include "app/window_wiring.h"
#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "converter/presets_window.h"
#include "engine/imported_image.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"
#include "platform/ui/custom_views.h"
#include "presets/converter_form.h"
#include "presets/preset_catalogue.h"
#include "preview/preview_import.h"
#include "preview/preview_window.h"
#include "session/folder_scan.h"
#include "session/processing_queues.h"
#include "shortcut/key_shortcut_view.h"

namespace velumar {

namespace fs = std::filesystem;

namespace {

constexpr double kDeferDelay = 0.1;
// How often a quit by signal looks whether the cancelled batch has ended.
constexpr int kTerminationPollMs = 50;

// The file a path names, with symbolic links resolved where it exists.
std::string resolvedPath(const std::string& path) {
  std::error_code error;
  const fs::path canonical = fs::canonical(path, error);
  return error ? fs::path(path).lexically_normal().string() : canonical.string();
}

}  // namespace

AppDelegate::AppDelegate(foundation::UserDefaults& defaults, bool paletteIsDark, QObject* parent)
    : QObject(parent),
      defaults_(defaults),
      window_(std::make_unique<ConverterWindow>()),
      preferencesPanel_(std::make_unique<PreferencesWindow>()),
      previewWindow_(std::make_unique<PreviewWindow>()) {
  // Closing the preview leaves the application running.
  previewWindow_->setAttribute(Qt::WA_QuitOnClose, false);
  connectConverterToPreview(*window_, *previewWindow_);
  connectLibraryWindows(*window_, *previewWindow_);
  importPanel = [this](const ImportPanelOptions& options) {
    return runImportPanel(window_.get(), options, defaults_);
  };
  terminate = [] { QCoreApplication::quit(); };
  previewHasImages = [this] { return !previewWindow_->listedFiles().empty(); };
  // The preview's own "Clear Preview" asks and is refused like the converter's.
  previewWindow_->setClearRequest([this] { resetOriginalPreviewImageFrom(previewWindow_.get()); });
  appearance_ = new Appearance(paletteIsDark, this);
  settingsAlerts_ = new SettingsAlerts(defaults_, this);
  fontPanel_ = new FontPanel(form(), window_.get());
  converterView().setFontPanelUpdater(
      [this](const TextFont&, const raster::TextAttributes&) { fontPanel_->updateFontPanel(); });
  appMenu_ = buildAppMenu(*this, window_.get());
  buildMenuBar(*this, *window_);
  buildInfoWindow();
  converterView().setFontPanelActions(
      [this] { openFontPanel(); },
      [this] {
        for (QWidget* panel : {static_cast<QWidget*>(fontPanel_->fontDialog()),
                               static_cast<QWidget*>(fontPanel_->colorDialog())})
          if (panel && panel->isVisible()) panel->hide();
      });
  converterView().setPreferencesPanel(preferencesPanel_.get());
  converterView().setWindowMenu(appMenu_);
  window_->installEventFilter(this);
  PreferencesWindow& panel = *preferencesPanel_;
  connect(panel.previewFitsSizeCheck(), &QCheckBox::clicked, this,
          &AppDelegate::previewWindowRemainsSameSizeFrom);
  connect(panel.showInFinderCheck(), &QCheckBox::clicked, this, &AppDelegate::showInFinderSavedFilesFrom);
  connect(panel.hideExtensionCheck(), &QCheckBox::clicked, this, &AppDelegate::hideExtensionSavedFilesFrom);
  connect(panel.cpuGPUMatrix(), &QButtonGroup::idClicked, this, &AppDelegate::updateCPUGPURenderingFrom);
  connect(panel.dockStatePopUp(), &QComboBox::currentIndexChanged, this,
          [this](int index) { preferences_.dockState = index; });
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) {
      applicationDidBecomeActive();
    } else if (state == Qt::ApplicationInactive) {
      applicationWillResignActive();
      applicationDidResignActive();
    }
  });
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
    // The session manager may only be refused while it lets us interact.
    if (!applicationShouldTerminate() && manager.allowsInteraction()) {
      foundation::log("Logout refused: a batch is converting");
      manager.cancel();
    }
  });
}

AppDelegate::~AppDelegate() {
  delete refusedAlert_;
  unregisterGlobalShortcut();
}

ConverterView& AppDelegate::converterView() const {
  return *window_->converterView();
}

PresetCatalogue& AppDelegate::catalogue() const {
  return window_->presetsWindow()->catalogue();
}

ConverterForm& AppDelegate::form() const {
  return converterView().form();
}

void AppDelegate::step(const char* name) const {
  if (stepLog) stepLog(name);
}

// ---- Launch ---------------------------------------------------------------------

void AppDelegate::launch() {
  awakeFromNib();
  applicationWillFinishLaunching();
  applicationDidFinishLaunching();
}

void AppDelegate::awakeFromNib() {
  step("awakeFromNib");
  bool importToPreview = false;
  readAppearancePreferences(lookupIn(defaults_), preferences_, form(), importToPreview);
  // "DockState" 1 keeps every window out of the task bar from the first one.
  if (preferences_.dockState == 1 && canHideFromTaskBar()) taskBarHiding_ = new TaskBarHiding(this);
  previewWindow_->setWindowRemainsSameSize(preferences_.windowRemainsSameSize);
  // Drops go to the preview list only once there is a preview to take them.
  converterView().dragAndDropBehaviorImportToPreview =
      importToPreview && converterView().hasPreviewImporter();
  showPreferenceControls();
  setAppSupportDir();
  preferencesPanel_->showPage(PreferencesWindow::Page::General);
  step("statusItem");
  menuBar_ = new StatusItem(appMenu_, *appearance_, this);
  menuBar_->setPrimaryAction([this] { showBringToFrontAppFrom(); });
}

void AppDelegate::setAppSupportDir() {
  step("setAppSupportDir");
  const fs::path folder = fs::path(foundation::applicationSupportDirectory()) / "ImagePresets";
  std::error_code error;
  if (fs::is_directory(folder, error)) return;
  if (fs::create_directories(folder, error) && !error) appDirectory_ = folder.string();
}

void AppDelegate::applicationWillFinishLaunching() {
  step("setDefaultValues");
  setDefaultValues(lookupIn(defaults_), preferences_, form());
  // The presets load (selecting the remembered one) and "TempData" empties.
  step("addPresetsFromFiles");
  loadPresetsAtLaunch(*window_, defaults_);
  converterView().refreshControls();
}

void AppDelegate::applicationDidFinishLaunching() {
  step("setAssociatedUserDefaultsKey");
  preferencesPanel_->shortcutView()->setAssociatedUserDefaultsKey(
      QString::fromUtf8(kGlobalShortcutDefaultsKey));
  step("resetShortcutRegistration");
  unregisterGlobalShortcut();
  step("showWindow");
  activateWindow(window_.get());
  preferences_.isFirstOpening = false;
  step("registerGlobalShortcut");
  // The shortcut calls the converter up at the mouse, or hides it when shown.
  registerGlobalShortcut([this] { window_->hideShowWindowRelativeToMouse(); }, defaults_);
  settingsAlerts_->checkAtLaunch();
}

bool AppDelegate::isShortcutEnabled() const {
  return isGlobalShortcutRegistered();
}

void AppDelegate::showPreferenceControls() {
  PreferencesWindow& panel = *preferencesPanel_;
  const ConverterState& state = form().state();
  panel.previewFitsSizeCheck()->setChecked(!preferences_.windowRemainsSameSize);
  panel.showInFinderCheck()->setChecked(state.showInFinderSavedFiles);
  panel.hideExtensionCheck()->setChecked(state.hideExtensionSavedFiles);
  // A stored row the matrix lacks selects none (and still renders on the processor).
  QButtonGroup* cpuGPU = panel.cpuGPUMatrix();
  cpuGPU->setExclusive(false);
  for (QAbstractButton* row : cpuGPU->buttons()) row->setChecked(cpuGPU->id(row) == preferences_.cpuGPURow);
  cpuGPU->setExclusive(true);
  // Shows where drops go; the choice is fixed at launch.
  panel.dragAndDropBehaviorMatrix()
      ->button(converterView().dragAndDropBehaviorImportToPreview ? 1 : 0)
      ->setChecked(true);
  panel.dockStatePopUp()->setCurrentIndex(int(preferences_.dockState));
}

// ---- Files from outside -----------------------------------------------------

void AppDelegate::openFiles(const std::vector<std::string>& paths) {
  if (isProcessing() || paths.empty()) return;
  std::vector<std::string> chosen;
  chosen.reserve(paths.size());
  for (const std::string& path : paths) chosen.push_back(resolvedPath(path));
  // The folder of the first path as it was given, links unresolved.
  convertItems(chosen, fs::path(paths.front()).parent_path().string(), true);
}

void AppDelegate::refuseFilesDuringConversion(const std::vector<std::string>& paths) {
  if (!refusedAlert_) {
    refusedItems_ = 0;
    refusedAlert_ = new QMessageBox(QMessageBox::Warning, QStringLiteral("Velumar"),
                                    QStringLiteral("The files were not opened."), QMessageBox::Ok);
    refusedAlert_->setObjectName(QStringLiteral("refusedFilesAlert"));
    refusedAlert_->setAttribute(Qt::WA_DeleteOnClose);
    refusedAlert_->setWindowModality(Qt::NonModal);
  }
  refusedItems_ += paths.size();
  refusedAlert_->setInformativeText(
      QStringLiteral("%1 opened while a conversion is running. Open them again when it has finished.")
          .arg(refusedItems_ == 1 ? QStringLiteral("1 item was")
                                  : QStringLiteral("%1 items were").arg(qulonglong(refusedItems_))));
  activateWindow(refusedAlert_);
}

SupportedImageCheck AppDelegate::supportedImage() const {
  return [engine = converterView().importedImage()](const std::string& path) {
    return engine->verifyFileTypeFromURL(path).has_value();
  };
}

void AppDelegate::convertItems(const std::vector<std::string>& items,
                               const std::optional<std::string>& parent, bool fromOpenWith) {
  ConverterView& view = converterView();
  const FolderScanResult scan =
      findRecursiveDirectoryForArray(items, view.state().searchInSubFolders != 0, supportedImage());
  if (scan.files.empty()) {
    view.drawNoDragAndDrop();
    if (!scan.scannedFolderLeftNothing) view.notifyCantProcessImageAfterDragging();
    return;
  }
  view.drawDragAndDrop();
  view.state().globalParentDirectory = parent;
  view.state().removeURLCachesWhenDone = true;
  if (fromOpenWith) view.state().isFromOpenWith = true;
  ConversionRequest request;
  request.sources = scan.files;
  view.postRequest(std::move(request));
}

// ---- Quit -------------------------------------------------------------------------

bool AppDelegate::isProcessing() const {
  return converterView().state().isProcessingImages || converterView().isRequestPending();
}

bool AppDelegate::applicationShouldTerminate() const {
  return !isProcessing();
}

void AppDelegate::applicationWillTerminate() {
  settingsAlerts_->stop();
  writePreferences(storeIn(defaults_), preferences_, form());
  defaults_.synchronize();
  catalogue().clearTempDirectory();
  converterView().setAcceptDrops(false);
}

void AppDelegate::quitAppMenuFrom() {
  if (applicationShouldTerminate()) terminate();
}

void AppDelegate::terminationRequested() {
  if (terminating_) return;
  terminating_ = true;
  settingsAlerts_->stop();
  converterView().state().progressBar.cancelProgress = true;
  // A dialog waiting for an answer (the destination folder, an alert) is
  // cancelled, now and whenever one opens until the batch has ended. The
  // batch notices the cancel after its current image and ends on the main
  // thread, which must keep running meanwhile.
  closeOpenDialogsAsCancelled();
  auto* poll = new QTimer(this);
  connect(poll, &QTimer::timeout, this, [this, poll] {
    closeOpenDialogsAsCancelled();
    if (isProcessing()) {
      converterView().state().progressBar.cancelProgress = true;
      return;
    }
    poll->stop();
    terminate();
  });
  poll->start(kTerminationPollMs);
}

void AppDelegate::endAtExit() {
  foundation::MainLoop::close();
  converterView().state().progressBar.cancelProgress = true;
  // The hot key went with the display; only the batch is waited for.
  ProcessingQueues::shared().joinAll();
  applicationWillTerminate();
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
  // Closing the converter window quits, so it is refused while processing.
  if (watched == window_.get() && event->type() == QEvent::Close && !terminating_ && isProcessing()) {
    event->ignore();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

// ---- Focus, hide and unhide -----------------------------------------------------

void AppDelegate::applicationWillResignActive() {
  ConverterView& view = converterView();
  view.closeAllPopoversOnlyAlpha(true);
  if (isProcessing()) view.closeImageViewFromApplication();
}

void AppDelegate::applicationDidResignActive() {
  drawViewForDeactive();
}

void AppDelegate::applicationDidBecomeActive() {
  drawViewForActive();
}

void AppDelegate::drawViewForDeactive() {
  ConverterView& view = converterView();
  if (view.drawForDragAndDrop()) {
    view.setDrawForDeactive(true);
  } else if (!view.drawForDeactive()) {
    view.setDrawForDeactive(true);
    view.closeAllPopoversOnlyAlpha(true);
  }
}

void AppDelegate::drawViewForActive() {
  ConverterView& view = converterView();
  if (view.drawForDragAndDrop() || view.drawForDeactive()) view.setDrawForDeactive(false);
}

void AppDelegate::activateWindow(QWidget* window) {
  if (window->isMinimized()) window->showNormal();
  window->show();
  window->raise();
  window->activateWindow();
  // A refused-files alert still open stays above whatever came forward.
  if (refusedAlert_ && refusedAlert_ != window && refusedAlert_->isVisible()) {
    refusedAlert_->raise();
    refusedAlert_->activateWindow();
  }
}

void AppDelegate::hideApplication() {
  if (hidden_) return;
  ConverterView& view = converterView();
  view.closeAllPopoversOnlyAlpha(false);
  if (isProcessing()) view.closeImageViewFromApplication();
  hidden_ = true;
  hiddenWindows_.clear();
  // Without a tray nothing could show a hidden window again: minimise.
  const bool minimise = !menuBar_ || !menuBar_->isShown();
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible() || top->isMinimized() || qobject_cast<QMenu*>(top) != nullptr) continue;
    // A window the window manager does not manage is no window of ours: the
    // tray icon of an XEmbed tray is one, and it stays to bring them back
    // (once hidden, it would never show again: only a tray maps it).
    if (top->windowFlags().testFlag(Qt::BypassWindowManagerHint)) continue;
    hiddenWindows_.emplace_back(top);
    if (minimise)
      top->showMinimized();
    else
      top->hide();
  }
}

void AppDelegate::unhideApplication() {
  if (!hidden_) return;
  hidden_ = false;
  for (const QPointer<QWidget>& top : hiddenWindows_) {
    if (!top) continue;
    if (top->isMinimized()) top->showNormal();
    top->show();
  }
  hiddenWindows_.clear();
  activateWindow(window_.get());
}

void AppDelegate::showBringToFrontAppFrom() {
  if (window_->isVisible() && !window_->isMinimized() && !hidden_) {
    activateWindow(window_.get());
  } else if (hidden_) {
    unhideApplication();
  } else {
    activateWindow(window_.get());
  }
}

void AppDelegate::showHideAppFrom() {
  if (isProcessing()) return;
  if (window_->isVisible() && !window_->isMinimized() && !hidden_) {
    hideApplication();
  } else if (hidden_) {
    unhideApplication();
  } else {
    activateWindow(window_.get());
  }
}

// ---- Preferences panel --------------------------------------------------------

void AppDelegate::showHidePreferencesFrom() {
  if (isProcessing()) return;
  if (preferencesPanel_->isVisible()) {
    preferencesPanel_->hide();
  } else {
    activateWindow(preferencesPanel_.get());
  }
}

void AppDelegate::previewWindowRemainsSameSizeFrom() {
  preferences_.windowRemainsSameSize = !preferencesPanel_->previewFitsSizeCheck()->isChecked();
  previewWindow_->setWindowRemainsSameSize(preferences_.windowRemainsSameSize);
}

void AppDelegate::updateCPUGPURenderingFrom() {
  preferences_.cpuGPURow = preferencesPanel_->cpuGPUMatrix()->checkedId();
  updateCPUGPUFilterRendering(form(), preferences_.cpuGPURow != 1);
}

void AppDelegate::showInFinderSavedFilesFrom() {
  followCheck(preferencesPanel_->showInFinderCheck(), form().state().showInFinderSavedFiles);
}

void AppDelegate::hideExtensionSavedFilesFrom() {
  followCheck(preferencesPanel_->hideExtensionCheck(), form().state().hideExtensionSavedFiles);
}

void AppDelegate::followCheck(QCheckBox* check, bool& member) {
  // A running batch reads the member: the check goes back to it.
  if (isProcessing()) {
    check->setChecked(member);
  } else {
    member = check->isChecked();
  }
}

// ---- Sheets and panels ----------------------------------------------------------

void AppDelegate::buildInfoWindow() {
  infoWindow_ = new QDialog(window_.get());
  infoWindow_->setObjectName(QStringLiteral("infoWindow"));
  infoWindow_->setWindowTitle(QStringLiteral("Welcome to Velumar"));
  infoWindow_->setWindowModality(Qt::WindowModal);
  auto* layout = new QVBoxLayout(infoWindow_);
  auto* text = new QLabel(QStringLiteral("Drop images or folders on the converter window: they are listed in "
                                         "the preview window, where Convert All (or the converter's Process "
                                         "commands) converts them with the current settings.\n\nFiles you "
                                         "open with Velumar from your file manager are converted at once, "
                                         "without being listed.\n\nChoose the output format below the drop "
                                         "zone and the options in the tabs."),
                          infoWindow_);
  text->setWordWrap(true);
  layout->addWidget(text);
  // The first-use line the converter filled when it was set up: white on a
  // dark panel, centred, in the label font, 6 points between its lines.
  auto* firstUsePanel = new ui::DarkBackgroundView(infoWindow_);
  auto* firstUseLayout = new QVBoxLayout(firstUsePanel);
  firstUseLayout->setContentsMargins(12, 10, 12, 10);
  auto* firstUse = new QLabel(firstUsePanel);
  firstUse->setObjectName(QStringLiteral("infoGlobalTextField"));
  firstUse->setAlignment(Qt::AlignCenter);
  firstUse->setWordWrap(true);
  firstUse->setTextFormat(Qt::RichText);
  const QString lines =
      QString::fromStdString(form().controls.infoGlobalTextField.text).toHtmlEscaped().replace('\n', "<br>");
  firstUse->setText(
      QStringLiteral("<p style=\"-qt-line-height-type: line-distance; line-height: 6px;\">%1</p>")
          .arg(lines));
  QPalette white = firstUse->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  firstUse->setPalette(white);
  firstUseLayout->addWidget(firstUse);
  layout->addWidget(firstUsePanel);
  auto* close = new QPushButton(QStringLiteral("Close"), infoWindow_);
  close->setCheckable(true);
  connect(close, &QPushButton::clicked, this, &AppDelegate::closeSheetFrom);
  layout->addWidget(close);
}

void AppDelegate::beginSheetForFirstOpenFrom() {
  infoWindow_->open();
}

void AppDelegate::closeSheetFrom() {
  if (auto* sender = qobject_cast<QAbstractButton*>(QObject::sender())) sender->setChecked(false);
  infoWindow_->close();
}

void AppDelegate::importImagesFrom(bool folder) {
  deferImport(folder, false);
}

void AppDelegate::importImagesForPreviewFrom(bool folder) {
  if (auto* sender = qobject_cast<QAbstractButton*>(QObject::sender())) sender->setChecked(false);
  deferImport(folder, true);
}

void AppDelegate::deferImport(bool folder, bool forPreview) {
  if (isProcessing()) return;
  activateWindow(window_.get());
  foundation::MainLoop::postAfter(kDeferDelay, [self = QPointer<AppDelegate>(this), folder, forPreview] {
    if (!self) return;
    if (forPreview) {
      self->importImagesForPreview(folder);
    } else {
      self->importImagesForProcessing(folder);
    }
  });
}

std::optional<ImportPanelChoice> AppDelegate::runImportPanelBusy(const ImportPanelOptions& options) {
  // A batch may have started since the command was given: no panel then,
  // and the busy mark stays the batch's.
  std::atomic<bool>& busy = converterView().state().isProcessingImages;
  if (busy || converterView().isRequestPending()) return std::nullopt;
  busy = true;
  std::optional<ImportPanelChoice> choice = importPanel(options);
  busy = false;
  return choice;
}

void AppDelegate::importImagesForProcessing(bool folder) {
  const std::optional<ImportPanelChoice> choice = runImportPanelBusy({false, folder});
  if (!choice) return;
  std::optional<std::string> parent;
  if (!choice->mediaFolder) parent = choice->openPanelURL ? choice->openPanelURL : choice->directoryURL;
  convertItems(choice->paths, parent, false);
}

void AppDelegate::importImagesForPreview(bool folder) {
  const std::optional<ImportPanelChoice> choice = runImportPanelBusy({true, folder});
  if (!choice) return;
  // The folder the items came from; the empty string for items without one.
  bool mediaFolder = choice->mediaFolder;
  std::string firstPath;
  if (!mediaFolder) {
    const std::optional<std::string>& folderPath =
        choice->openPanelURL ? choice->openPanelURL : choice->directoryURL;
    if (folderPath)
      firstPath = *folderPath;
    else
      mediaFolder = true;
  }
  // Image files the scan could not take go along, to be counted as files
  // that cannot be shown.
  const PreviewScan scan = scanForPreview(choice->paths, converterView().state().searchInSubFolders != 0,
                                          mediaFolder, firstPath, supportedImage());
  if (scan.entries.empty() && scan.unreadableImages.empty()) return;
  foundation::MainLoop::postAfter(kDeferDelay, [self = QPointer<AppDelegate>(this), firstPath, scan] {
    if (self) self->addFileUrlsToPreviewView(firstPath, scan.entries, scan.unreadableImages);
  });
}

void AppDelegate::addFileUrlsToPreviewView(const std::string& firstPath, const OrganizedURLList& urls,
                                           const std::vector<std::string>& unreadableImages) {
  if (!previewWindow_->isVisible()) converterView().updatePreviewViewAndUpdateText(true, true, false);
  foundation::Array paths;
  for (const OrganizedURLRef& url : urls) paths.push_back(url->path);
  foundation::Array details{firstPath, std::move(paths)};
  if (!unreadableImages.empty())
    details.push_back(foundation::Array(unreadableImages.begin(), unreadableImages.end()));
  foundation::NotificationCenter::defaultCenter().post("multipleImageViewDragAndDrop", nullptr,
                                                       std::move(details), urls);
}

void AppDelegate::resetOriginalPreviewImageFrom(QWidget* over) {
  if (auto* sender = qobject_cast<QAbstractButton*>(QObject::sender())) sender->setChecked(false);
  if (isProcessing() || !previewHasImages()) return;
  QMessageBox alert(QMessageBox::Warning, QStringLiteral("Velumar"),
                    QStringLiteral("This will remove all images from preview."), QMessageBox::NoButton,
                    over ? over : window_.get());
  alert.setObjectName(QStringLiteral("resetAlert"));
  alert.setInformativeText(QStringLiteral("Continue?"));
  alert.addButton(QStringLiteral("Ok"), QMessageBox::AcceptRole);
  QAbstractButton* cancel = alert.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  alert.exec();
  if (alert.clickedButton() == cancel) return;
  foundation::NotificationCenter::defaultCenter().post("resetPreviewImage");
}

void AppDelegate::openFontPanel() {
  if (auto* sender = qobject_cast<QAbstractButton*>(QObject::sender())) sender->setChecked(false);
  fontPanel_->openFontPanel(window_->frameGeometry().topLeft());
}

}  // namespace velumar

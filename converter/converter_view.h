#pragma once
// The view that fills the converter window: the drop zone, the fifteen
// output-format buttons and the option tabs. Drops become one conversion
// request (or an import into the preview). It is the session's
// ProcessingView; steps that belong to windows not built yet are recorded
// and do nothing. Its option widgets show the controls model (form()) and
// write the user's edits into it.

#include <QIcon>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "converter/control_binder.h"
#include "converter/live_preview_renderer.h"
#include "converter/preview_live_preview_target.h"
#include "platform/foundation/notification_center.h"
#include "presets/converter_form.h"
#include "presets/converter_window_services.h"
#include "presets/headless_window_services.h"
#include "session/conversion_request.h"
#include "session/processing_display.h"
#include "session/processing_view.h"

class QAbstractButton;
class QAction;
class QMenu;
class QMimeData;
class QStackedWidget;

namespace ui {
class CustomButton;
class Popover;
class PopUpMenuButton;
}  // namespace ui

namespace velumar {

class ModifyControls;
class DropZoneWidget;
class PreviewImageView;
class ProcessingSheet;
class PreviewLink;

class ConverterView : public QWidget, public ProcessingView, public ConverterWindowServices {
  Q_OBJECT

 public:
  static constexpr std::size_t kFormatCount = kOutputFormatCount;
  using RequestHandler = std::function<void(const ConversionRequest&)>;
  // Imports files into the preview list; answers whether it listed any.
  using PreviewImporter =
      std::function<bool(const std::vector<std::string>& paths, const std::optional<std::string>& firstPath)>;

  explicit ConverterView(QWidget* parent = nullptr);
  ~ConverterView() override;

  // The view as the session holds it: expires when the view is destroyed.
  std::weak_ptr<ProcessingView> processingView() const { return self_; }

  // Where a drop's request goes (the batch loop unless set otherwise), and
  // the preview import.
  void setRequestHandler(RequestHandler handler) { requestHandler_ = std::move(handler); }
  void setPreviewImporter(PreviewImporter importer) { previewImporter_ = std::move(importer); }
  bool hasPreviewImporter() const { return bool(previewImporter_); }
  // The application's watermark font panel, shown the font a preset brings.
  using FontPanelUpdater =
      std::function<void(const TextFont& font, const raster::TextAttributes& attributes)>;
  void setFontPanelUpdater(FontPanelUpdater updater) { fontPanelUpdater_ = std::move(updater); }
  // Opening and hiding the application's font panel ("Font Panel" button,
  // a text watermark switched off, popovers closing).
  void setFontPanelActions(std::function<void()> open, std::function<void()> hide) {
    fontPanelOpener_ = std::move(open);
    fontPanelHider_ = std::move(hide);
  }
  void openFontPanel() const;
  void hideFontPanel() const;
  // The preferences panel and the image-information window, closed with
  // the popovers.
  void setPreferencesPanel(QWidget* panel) { preferencesPanel_ = panel; }
  void setInfoWindow(QWidget* window) { infoWindow_ = window; }
  // The menu a right click on the drop zone pops up (not owned).
  void setWindowMenu(QMenu* menu);
  bool dragAndDropBehaviorImportToPreview = false;

  // ---- Drop zone -------------------------------------------------------------
  // The drop of a drag carrying mime; fromInsideApp when it was dragged out
  // of one of this application's windows.
  bool performDragOperation(const QMimeData& mime, bool fromInsideApp);
  void drawDragAndDrop();
  void drawNoDragAndDrop();
  bool drawForDragAndDrop() const { return state_.drawForDragAndDrop; }
  // The drop zone dimmed while another program has the focus.
  void setDrawForDeactive(bool deactive);
  bool drawForDeactive() const { return state_.drawForDeactive; }
  // A request made by a drop waits 0.1 seconds before it is handed on.
  bool isRequestPending() const { return requestPending_; }
  // Hands a request to the session after a short delay; pending till then.
  void postRequest(ConversionRequest request);
  // The alert for a drop that carried nothing convertible, 0.1 s later.
  void notifyCantProcessImageAfterDragging();

  // ---- Controls model ------------------------------------------------------------
  ConverterForm& form() { return *form_; }
  // Shows the model in every widget (after a preset was applied to it).
  void refreshControls() const { binder_.refresh(); }
  // Binds widgets outside the view (the presets window) with the others.
  ControlBinder& binder() { return binder_; }
  // Applies a preset of the catalogue, or the default preset, and shows it.
  bool applyPreset(std::size_t position);
  bool applyDefaultPreset();
  // The filter and effect controls of the Modify tab.
  ModifyControls& modifyControls() const { return *modify_; }
  // The Edit menu's Undo and Redo follow the filter values' stacks.
  void setUndoActions(QAction* undo, QAction* redo);

  // ---- Output formats ------------------------------------------------------------
  void setButtonFormatFrom(std::size_t code);
  ui::CustomButton* formatButton(std::size_t code) const { return buttonsArray_[code]; }
  // The three tab buttons: "Basic", "Modify", "File options".
  ui::CustomButton* tabButton(int index) const { return tabButtons_[std::size_t(index)]; }
  // "Presets": brings the presets window forward.
  ui::CustomButton* presetsButton() const { return presetsButton_; }
  // "Preview": brings the preview window forward.
  ui::CustomButton* showPreviewMenuButton() const { return showPreviewMenuButton_; }
  // Shows the preview window and makes it key; nothing while a batch runs.
  void openClosePreviewWithActivationFrom();
  // The preview window with the watermarks handed over first when it was
  // hidden, made key and brought forward.
  void makeKeyPreviewAfterActivation();
  // The Transform page's "Preview": the button springs back, the preview
  // is rendered again and its window comes forward (made key only when it
  // was hidden). Nothing while a batch runs.
  void updateImagePreviewTransformFrom(QAbstractButton* sender);
  // The Watermark page's "Preview": the button springs back and, unless a
  // batch runs, the preview window is made key.
  void openCloseWatermarkPreviewFrom(QAbstractButton* sender);
  // The presets side window, closed around a session and brought back after.
  void setPresetsWindow(QWidget* window) { presetsWindow_ = window; }
  // The preview window and its files window: the files window closes
  // around a session too; both come back after it when they were shown.
  void setPreviewWindows(QWidget* preview, QWidget* files) {
    previewWindow_ = preview;
    filesWindow_ = files;
  }
  // The preview window as a session uses it.
  void setPreviewLink(std::shared_ptr<PreviewLink> link) { previewLink_ = std::move(link); }
  int currentTab() const;
  // Switches the option tabs as their buttons do, closing the popovers
  // that belong to the pages left.
  void showTab(int index);

  // ---- Popovers --------------------------------------------------------------------
  enum class PopoverId { SaveTo, FaceOptions, CompositeOptions, TransformOptions, Depth, TinyPlanet, LUT };
  static constexpr std::size_t kPopoverCount = 7;
  ui::Popover* popover(PopoverId id) const { return popovers_[std::size_t(id)]; }
  // The floating curves panel, a tool window of its own.
  ui::Popover* curvesPanel() const { return curvesPanel_; }
  // Closes the three filter slots' option popovers.
  void closeAllOptionsPopovers();

  // ---- Live preview ------------------------------------------------------------
  // Every control that changes the processed image asks for a render here
  // (refreshLivePreview does the same); a newly shown image asks with
  // controlFilterValues YES. Returns at once; see LivePreviewRenderer.
  void updateImagePreviewForImage(bool controlFilterValues = false);
  LivePreviewRenderer& livePreview() { return *livePreview_; }
  // The view the preview is shown in (not owned).
  void setLivePreviewTarget(LivePreviewTarget* target);
  // The preview window's view as that target (not owned; nullptr detaches);
  // each picture it newly shows is rendered when a setting changes it.
  void setPreviewImageView(PreviewImageView* view);
  // That view for a hold-down button (nullptr while there is none).
  ui::HoldDownPreview* holdDownPreview() const;

  // ---- Open With -------------------------------------------------------------------
  // The user picked an application of the last item's submenu.
  void selectApplicationFrom(std::int64_t tag);

  // ---- Processing display ------------------------------------------------------
  const ProcessingDisplay& processingDisplay() const { return display_; }
  // The sheet shown over the window while a batch runs (made on first use).
  ProcessingSheet* processingSheet();

  // ---- ProcessingView ------------------------------------------------------------
  ConverterState& state() override { return state_; }
  std::shared_ptr<ImportedImage> importedImage() override { return engine_; }
  ImageModifyInfo readCurrentPresetValues() override;
  RenameInfo setupRenameInfo() override;
  void removePresetsButtonFromViewMultipleFiles(bool multipleFiles) override;
  void addPresetsButtonFromView() override;
  void startProgressBar() override;
  void updateProgressBarWithCurrentImageCount(std::int64_t current, std::int64_t total) override;
  void stopProgressBar() override;
  void showFilesCount(std::int64_t current, std::int64_t total) override;
  void openImageViewWithImage(const std::shared_ptr<const raster::ImageSet>& image) override;
  void closeImageView() override;
  // The application deactivates or hides during a run: the image popover
  // closes and the user's request for images ends.
  void closeImageViewFromApplication();
  void activateAppWindow() override;
  void verifyVisibleWindows() override;
  void restoreVisibleWindows() override;
  void closeAllPopoversOnlyAlpha(bool onlyAlpha) override;
  void showAlertSheet(const std::string& message, const std::string& informativeText) override;
  std::optional<std::string> chooseDestinationFolder(const FolderChooserTexts& texts) override;
  void hideApplication() override;
  bool isApplicationHidden() override;
  bool isConverterWindowVisible() override;
  void setPreviewCanAcceptImages(bool accept) override;
  std::optional<std::string> previewShownFile() override;
  std::vector<std::string> previewListedFiles() override;

  // ---- ConverterWindowServices ----------------------------------------------------
  // The filter slots, Open With applications, watermark preview, font panel
  // and live preview are built later; until then their steps are those of
  // the headless services.
  void updateFilterValuesForPreset(ConverterControls& controls, const ImageInfo& preset) override;
  void changeFilterToExampleImageFrom(ConverterControls& controls) override;
  void addArrayValuesToFilterValuesAndUpdateUndo(ConverterControls& controls, bool undo) override;
  void updateApplicationsForOpenWithMenu() override;
  void updatePreviewViewAndUpdateText(bool updateText, bool updateImage, bool controlVisible) override;
  void updateFontPanel(const TextFont& font, const raster::TextAttributes& attributes) override;
  void refreshLivePreview() override;
  std::string exampleName() override;
  bool confirm(const std::string& message, const std::string& informativeText) override;
  std::shared_ptr<raster::ImageSet> loadImage(const std::string& path) override;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void buildLayout();
  QWidget* buildFormatButtons();
  QWidget* buildTabs();
  QWidget* buildBasicPage();
  QWidget* buildModifyPage();
  QWidget* buildFileOptionsPage();
  // A toggle button and its popover around content, placed on a page.
  ui::CustomButton* makePopover(PopoverId id, const char* title, QWidget* content);
  void closePopovers(std::initializer_list<PopoverId> ids);
  void deliverRequest(ConversionRequest request);
  // The presets and preview buttons as the processing display says.
  void showDisplayButtons();
  std::unique_ptr<LivePreviewRenderer> makeLivePreviewRenderer();
  // The fixed Open With items named after the programs they start, and
  // their icons shown.
  void titleOpenWithItems();
  void showOpenWithIcons() const;

  std::shared_ptr<ProcessingView> self_;
  ConverterState state_;
  std::shared_ptr<ImportedImage> engine_;
  RequestHandler requestHandler_;
  PreviewImporter previewImporter_;
  FontPanelUpdater fontPanelUpdater_;
  std::function<void()> fontPanelOpener_;
  std::function<void()> fontPanelHider_;
  QPointer<QWidget> preferencesPanel_;
  QPointer<QWidget> infoWindow_;
  bool infoWindowIsVisible_ = false;
  QPointer<QObject> windowMenu_;
  std::shared_ptr<PreviewLink> previewLink_;
  bool requestPending_ = false;
  HeadlessWindowServices laterServices_;
  std::unique_ptr<ConverterForm> form_;
  ControlBinder binder_;
  std::unique_ptr<PreviewLivePreviewTarget> previewTarget_;
  std::unique_ptr<LivePreviewRenderer> livePreview_ = makeLivePreviewRenderer();
  // Declared after the renderer, so it stops first.
  foundation::ObserverToken newPreviewImageObserver_;

  DropZoneWidget* dropZone_ = nullptr;
  ProcessingDisplay display_;
  ProcessingSheet* processingSheet_ = nullptr;
  std::array<ui::CustomButton*, kFormatCount> buttonsArray_{};
  std::array<ui::CustomButton*, 3> tabButtons_{};
  ui::CustomButton* presetsButton_ = nullptr;
  ui::CustomButton* showPreviewMenuButton_ = nullptr;
  QPointer<QWidget> presetsWindow_;
  bool presetsWindowIsVisible_ = false;
  QPointer<QWidget> previewWindow_;
  QPointer<QWidget> filesWindow_;
  bool previewWindowIsVisible_ = false;
  bool filesWindowIsVisible_ = false;
  QStackedWidget* tabs_ = nullptr;
  std::array<ui::Popover*, kPopoverCount> popovers_{};
  ui::Popover* curvesPanel_ = nullptr;
  ui::PopUpMenuButton* openWithButton_ = nullptr;
  std::vector<std::string> openWithFixedTitles_;
  std::map<int, QIcon> openWithIcons_;
  std::unique_ptr<ModifyControls> modify_;
};

}  // namespace velumar

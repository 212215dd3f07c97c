#include "app/window_wiring.h"

#include <QPointer>
#include <memory>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "converter/modify_controls.h"
#include "converter/presets_window.h"
#include "converter/preview_link.h"
#include "platform/foundation/user_defaults.h"
#include "preview/crop_picker_link.h"
#include "preview/image_browser_controller.h"
#include "preview/image_info_window.h"
#include "preview/preview_command_actions.h"
#include "preview/preview_commands.h"
#include "preview/preview_commands_session_link.h"
#include "preview/preview_image_view.h"
#include "preview/preview_window.h"

namespace velumar {
namespace {

class PreviewWindowLink final : public PreviewLink {
 public:
  explicit PreviewWindowLink(PreviewWindow& preview) : preview_(&preview) {}

  void setProcessing(bool running) override {
    if (preview_) preview_->setProcessing(running);
  }
  std::optional<std::string> shownFile() const override {
    return preview_ ? preview_->shownFile() : std::nullopt;
  }
  std::vector<std::string> listedFiles() const override {
    return preview_ ? preview_->listedFiles() : std::vector<std::string>();
  }

 private:
  QPointer<PreviewWindow> preview_;
};

// The crop picker as the preview sees it: the converter's resize method and
// the crop point of its controls, which the session reads.
class ConverterCropPicker final : public CropPickerLink {
 public:
  explicit ConverterCropPicker(ConverterView& view) : view_(&view) {}

  int resizeMethod() const override {
    return view_ ? int(view_->form().controls.resizeScalePopUp.selectedIndex) : -1;
  }
  raster::Point mousePoint() const override { return view_ ? picker().mousePoint : raster::Point{50, 50}; }
  void setMousePoint(raster::Point point) override {
    if (view_) picker().mousePoint = point;
  }
  bool viewIsMovingMouse() const override { return view_ && picker().viewIsMovingMouse; }
  void setViewIsMovingMouse(bool moving) override {
    if (view_) picker().viewIsMovingMouse = moving;
  }
  // The crop-centre fields show the point once the drag is released.
  void setNeedsDisplay() override {
    if (view_ && !picker().viewIsMovingMouse) view_->refreshControls();
  }

 private:
  PositionPicker& picker() const { return view_->form().controls.cropPositionView; }

  QPointer<ConverterView> view_;
};

// The windows and commands that hang off the preview window; the commands
// go first, as they use the other two.
class LibraryWindows final : public QObject {
 public:
  explicit LibraryWindows(PreviewWindow& preview)
      : browser(std::make_unique<ImageBrowserController>(preview.list())),
        info(std::make_unique<ImageInfoWindow>()),
        commands(std::make_unique<PreviewCommands>(preview.list(), &preview)) {}

  std::unique_ptr<ImageBrowserController> browser;
  std::unique_ptr<ImageInfoWindow> info;
  std::unique_ptr<PreviewCommands> commands;
};

}  // namespace

void connectConverterToPreview(ConverterWindow& converter, PreviewWindow& preview) {
  ConverterView& view = *converter.converterView();
  // The view owns the importer, so the view outlives every call of it.
  view.setPreviewImporter(
      [&view, window = QPointer<PreviewWindow>(&preview)](const std::vector<std::string>& paths,
                                                          const std::optional<std::string>& firstPath) {
        return window && window->importPaths(paths, firstPath, view.state().searchInSubFolders != 0);
      });
  view.setPreviewLink(std::make_shared<PreviewWindowLink>(preview));
  view.setPreviewWindows(&preview, preview.filesWindow());
  preview.setCropPicker(std::make_shared<ConverterCropPicker>(view));
  // The preview draws the watermarks the Modify tab sets; the example image
  // follows the picture it shows.
  view.modifyControls().setPreviewView(preview.previewView());
  // The live preview renders the picture the preview shows, and lets go of
  // the view when the preview window goes first.
  view.setPreviewImageView(preview.previewView());
  QObject::connect(preview.previewView(), &QObject::destroyed, &view,
                   [&view] { view.setPreviewImageView(nullptr); });
}

void connectLibraryWindows(ConverterWindow& converter, PreviewWindow& preview) {
  ConverterView& view = *converter.converterView();
  auto windows = std::make_unique<LibraryWindows>(preview);
  windows->browser->setWindowTitle(QObject::tr("Library"));
  windows->browser->setDropImporter(
      [window = QPointer<PreviewWindow>(&preview)](const std::vector<std::string>& paths) {
        return window && window->importDroppedPaths(paths);
      });

  PreviewCommands& commands = *windows->commands;
  commands.setInfoWindow(windows->info.get());
  // The image-information window "Info" opens closes around a batch with
  // the other side windows.
  view.setInfoWindow(windows->info.get());
  // Under the placeholder of a file that cannot be shown it shows no file.
  QObject::connect(preview.previewView(), &PreviewImageView::pictureUnavailable, windows->info.get(),
                   [info = windows->info.get()] { info->updateImageInfoValuesWithDictionary(nullptr); });
  commands.setSelectionSources([&preview] { return preview.selectedTableRows(); },
                               [&preview] { return preview.selectedOutlineFolders(); });
  commands.setLink(std::make_shared<SessionCommandsLink>(
      view.processingView().lock(),
      [converterView = QPointer<ConverterView>(&view)] {
        if (converterView) converterView->drawDragAndDrop();
      },
      [window = QPointer<PreviewWindow>(&preview)] {
        if (!window) return;
        window->show();
        window->raise();
        window->activateWindow();
      }));
  addPreviewCommandActions(preview, commands, *windows->browser);
  preview.keepCompanion(std::move(windows));
}

void loadPresetsAtLaunch(ConverterWindow& converter, const foundation::UserDefaults& defaults) {
  converter.converterView()->state().lastSelectedPresetName = defaults.stringForKey("LastSelectedPreset");
  PresetCatalogue& catalogue = converter.presetsWindow()->catalogue();
  catalogue.addPresetsFromFiles();
  catalogue.clearTempDirectory();
}

}  // namespace velumar

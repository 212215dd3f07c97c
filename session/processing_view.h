#pragma once
// What a session asks of the converter window: its state, its engine, the
// settings and rename switches read from the controls, and the user-interface
// steps of a run. The window implements it; HeadlessConverter drives tests
// and benchmarks. Every user-interface operation is called on the main thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/image_modify_info.h"
#include "platform/raster/image_set.h"
#include "session/converter_state.h"
#include "session/rename_info.h"

namespace velumar {

class ImportedImage;

// The destination folder chooser: folders only, one at a time, may create
// folders, hidden files hidden.
struct FolderChooserTexts {
  std::string title = "Destination Folder";
  std::string message = "Select destination folder.";
  std::string prompt = "Choose";
};

class ProcessingView {
 public:
  virtual ~ProcessingView() = default;

  virtual ConverterState& state() = 0;
  virtual std::shared_ptr<ImportedImage> importedImage() = 0;
  // A fresh settings record read from the option controls.
  virtual ImageModifyInfo readCurrentPresetValues() = 0;
  // The rename switches read from the rename controls.
  virtual RenameInfo setupRenameInfo() = 0;

  // ---- Processing-state display --------------------------------------------
  virtual void removePresetsButtonFromViewMultipleFiles(bool multipleFiles) = 0;
  virtual void addPresetsButtonFromView() = 0;
  virtual void startProgressBar() = 0;
  virtual void updateProgressBarWithCurrentImageCount(std::int64_t current, std::int64_t total) = 0;
  virtual void stopProgressBar() = 0;
  // The files counter shows "current / total" (a request shows "1 / N").
  virtual void showFilesCount(std::int64_t current, std::int64_t total) = 0;

  // ---- Window steps of a run -------------------------------------------------
  // Shows a converted image while the live-preview option is on.
  virtual void openImageViewWithImage(const std::shared_ptr<const raster::ImageSet>& image) = 0;
  // Empties the image popover's view.
  virtual void closeImageView() = 0;
  virtual void activateAppWindow() = 0;
  // Records which side panels are visible / brings the recorded ones back.
  virtual void verifyVisibleWindows() = 0;
  virtual void restoreVisibleWindows() = 0;
  virtual void closeAllPopoversOnlyAlpha(bool onlyAlpha) = 0;
  // A non-blocking alert sheet on the converter window with one button.
  virtual void showAlertSheet(const std::string& message, const std::string& informativeText) = 0;
  // Asks for a destination folder; nothing when the user cancels.
  virtual std::optional<std::string> chooseDestinationFolder(const FolderChooserTexts& texts) = 0;
  virtual void hideApplication() = 0;
  virtual bool isApplicationHidden() = 0;
  virtual bool isConverterWindowVisible() = 0;

  // ---- The preview window, as far as a session uses it ----------------------
  // Whether the preview takes new images (not while a session runs).
  virtual void setPreviewCanAcceptImages(bool accept) = 0;
  // The file the preview shows now, and the files of its list in order.
  virtual std::optional<std::string> previewShownFile() = 0;
  virtual std::vector<std::string> previewListedFiles() = 0;
};

}  // namespace velumar

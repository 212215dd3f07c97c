#pragma once
// A converter without a window: fixed settings and rename switches, a
// scripted folder chooser, and a record of every user-interface step in
// the order it ran (e.g. "counter 2 / 5"). A step run off the main thread
// is recorded with the prefix "off-main: ".

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "session/processing_display.h"
#include "session/processing_view.h"

namespace velumar {

class HeadlessConverter : public ProcessingView {
 public:
  HeadlessConverter(const ImageModifyInfo& settings = {}, const RenameInfo& renameInfo = {});
  ~HeadlessConverter() override;

  void setSettings(const ImageModifyInfo& settings);
  void setRenameInfo(const RenameInfo& renameInfo);
  // Answers for the next folder choosers, in order; nothing = cancel. With
  // no scripted answer left the chooser is cancelled.
  void scriptFolderChoice(std::optional<std::string> answer);

  // What the preview shows and lists.
  void setPreviewFiles(std::optional<std::string> shown, std::vector<std::string> listed);

  // Whether the application counts as hidden and the window as visible.
  void setApplicationHidden(bool hidden, bool windowVisible);
  // The display model the display operations drive (main thread).
  ProcessingDisplay& display() { return display_; }

  // The steps recorded so far, and forgetting them.
  std::vector<std::string> steps() const;
  // The progress bar's value at each counter update.
  std::vector<double> barValues() const;
  void clearSteps();

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

 protected:
  void record(const std::string& step);

 private:
  ConverterState state_;
  ProcessingDisplay display_;
  std::shared_ptr<ImportedImage> engine_;
  mutable std::mutex lock_;
  ImageModifyInfo settings_;
  RenameInfo renameInfo_;
  std::deque<std::optional<std::string>> folderChoices_;
  std::vector<std::string> steps_;
  std::vector<double> barValues_;
  std::optional<std::string> previewShown_;
  std::vector<std::string> previewListed_;
  bool applicationHidden_ = false;
  bool windowVisible_ = true;
};

}  // namespace velumar

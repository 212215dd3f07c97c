#include "session/processing_display.h"

#include <fmt/format.h>

namespace velumar {

namespace {
constexpr raster::Point kProcessingLabelOneFile{64, 76};
constexpr raster::Point kProcessingLabelSeveralFiles{64, 126};
constexpr raster::Point kFilesCountLabelOrigin{30, 100};
constexpr double kDimmedAlpha = 0.5;
}  // namespace

void ProcessingDisplay::hidePresetControls() {
  for (DisplayButton* button : {&presetsButton, &previewMenuButton, &quitButton}) {
    button->enabled = false;
    button->hidden = true;
  }
}

void ProcessingDisplay::removePresetsButton(ConverterState& state) {
  hidePresetControls();
  processingLabel = {false, kProcessingLabelOneFile};
  state.openPreviewFromThread = false;
  sheetShown = true;
}

void ProcessingDisplay::removePresetsButtonAndAddProcessButtons(ConverterState& state) {
  hidePresetControls();
  cancelButton = {true, false, 0, 1.0};
  const bool imageButtonEnabled = !state.renameIgnoreProcessing;
  imageButton = {imageButtonEnabled, false, 0, imageButtonEnabled ? 1.0 : kDimmedAlpha};
  processingLabel = {false, kProcessingLabelSeveralFiles};
  filesCountLabel = {false, kFilesCountLabelOrigin};
  state.openPreviewFromThread = false;
  sheetShown = true;
}

void ProcessingDisplay::addPresetsButton(ConverterState& state) {
  sheetShown = false;
  presetsButton = previewMenuButton = DisplayButton{};
  cancelButton = {false, true, 0, 1.0};
  imageButton = {false, true, 0, 1.0};
  imagePopoverShown = false;
  processingLabel.hidden = true;
  filesCountLabel.hidden = true;
  quitButton = DisplayButton{};
  state.openPreviewFromThread = false;
}

void ProcessingDisplay::startProgressBar(ConverterState& state) {
  state.drawTextString = false;
  state.progressBar.start(true);
}

void ProcessingDisplay::updateProgressBar(ConverterState& state, std::int64_t current, std::int64_t total) {
  state.progressBar.updatePBOscilatorStatus();
  setFilesCount(current, total);
}

void ProcessingDisplay::stopProgressBar(ConverterState& state) {
  state.progressBar.start(false);
  state.drawTextString = true;
}

void ProcessingDisplay::setFilesCount(std::int64_t current, std::int64_t total) {
  filesCountText = fmt::format("{} / {}", current, total);
}

}  // namespace velumar

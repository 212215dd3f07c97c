#include "session/headless_converter.h"

#include <fmt/format.h>

#include "engine/imported_image.h"
#include "platform/foundation/main_loop.h"

namespace velumar {

HeadlessConverter::HeadlessConverter(const ImageModifyInfo& settings, const RenameInfo& renameInfo)
    : engine_(std::make_shared<ImportedImage>()), settings_(settings), renameInfo_(renameInfo) {}

HeadlessConverter::~HeadlessConverter() = default;

void HeadlessConverter::setSettings(const ImageModifyInfo& settings) {
  std::lock_guard guard(lock_);
  settings_ = settings;
}

void HeadlessConverter::setRenameInfo(const RenameInfo& renameInfo) {
  std::lock_guard guard(lock_);
  renameInfo_ = renameInfo;
}

void HeadlessConverter::scriptFolderChoice(std::optional<std::string> answer) {
  std::lock_guard guard(lock_);
  folderChoices_.push_back(std::move(answer));
}

std::vector<std::string> HeadlessConverter::steps() const {
  std::lock_guard guard(lock_);
  return steps_;
}

void HeadlessConverter::clearSteps() {
  std::lock_guard guard(lock_);
  steps_.clear();
  barValues_.clear();
}

std::vector<double> HeadlessConverter::barValues() const {
  std::lock_guard guard(lock_);
  return barValues_;
}

void HeadlessConverter::record(const std::string& step) {
  std::lock_guard guard(lock_);
  steps_.push_back(foundation::MainLoop::isMainThread() ? step : "off-main: " + step);
}

ImageModifyInfo HeadlessConverter::readCurrentPresetValues() {
  std::lock_guard guard(lock_);
  return settings_;
}

RenameInfo HeadlessConverter::setupRenameInfo() {
  std::lock_guard guard(lock_);
  return renameInfo_;
}

void HeadlessConverter::removePresetsButtonFromViewMultipleFiles(bool multipleFiles) {
  if (multipleFiles)
    display_.removePresetsButtonAndAddProcessButtons(state_);
  else
    display_.removePresetsButton(state_);
  record(multipleFiles ? "removePresetsButton multiple" : "removePresetsButton single");
}

void HeadlessConverter::addPresetsButtonFromView() {
  display_.addPresetsButton(state_);
  record("addPresetsButton");
}

void HeadlessConverter::startProgressBar() {
  display_.startProgressBar(state_);
  record("startProgressBar");
}

void HeadlessConverter::updateProgressBarWithCurrentImageCount(std::int64_t current, std::int64_t total) {
  display_.updateProgressBar(state_, current, total);
  {
    std::lock_guard guard(lock_);
    barValues_.push_back(state_.progressBar.barValue());
  }
  record(fmt::format("counter {} / {}", current, total));
}

void HeadlessConverter::stopProgressBar() {
  display_.stopProgressBar(state_);
  record("stopProgressBar");
}

void HeadlessConverter::showFilesCount(std::int64_t current, std::int64_t total) {
  display_.setFilesCount(current, total);
  record("filesCount " + display_.filesCountText);
}

void HeadlessConverter::closeImageView() {
  display_.imagePopoverShown = false;
  record("closeImageView");
}

void HeadlessConverter::openImageViewWithImage(const std::shared_ptr<const raster::ImageSet>& image) {
  if (!image || !state_.openPreviewFromThread) return;
  display_.imagePopoverShown = true;
  record("livePreview");
}

void HeadlessConverter::activateAppWindow() {
  record("activateAppWindow");
}
void HeadlessConverter::verifyVisibleWindows() {
  record("verifyVisibleWindows");
}
void HeadlessConverter::restoreVisibleWindows() {
  record("restoreVisibleWindows");
}

void HeadlessConverter::closeAllPopoversOnlyAlpha(bool onlyAlpha) {
  record(onlyAlpha ? "closeAllPopovers onlyAlpha" : "closeAllPopovers");
}

void HeadlessConverter::showAlertSheet(const std::string& message, const std::string& informativeText) {
  record(fmt::format("alert {} | {}", message, informativeText));
}

std::optional<std::string> HeadlessConverter::chooseDestinationFolder(const FolderChooserTexts& texts) {
  record(fmt::format("chooseFolder {} | {} | {}", texts.title, texts.message, texts.prompt));
  std::lock_guard guard(lock_);
  if (folderChoices_.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(folderChoices_.front());
  folderChoices_.pop_front();
  return answer;
}

void HeadlessConverter::hideApplication() {
  record("hideApplication");
}

void HeadlessConverter::setPreviewFiles(std::optional<std::string> shown, std::vector<std::string> listed) {
  std::lock_guard guard(lock_);
  previewShown_ = std::move(shown);
  previewListed_ = std::move(listed);
}

void HeadlessConverter::setApplicationHidden(bool hidden, bool windowVisible) {
  std::lock_guard guard(lock_);
  applicationHidden_ = hidden;
  windowVisible_ = windowVisible;
}

bool HeadlessConverter::isApplicationHidden() {
  std::lock_guard guard(lock_);
  return applicationHidden_;
}

bool HeadlessConverter::isConverterWindowVisible() {
  std::lock_guard guard(lock_);
  return windowVisible_;
}

void HeadlessConverter::setPreviewCanAcceptImages(bool accept) {
  record(accept ? "previewAcceptsImages" : "previewRefusesImages");
}

std::optional<std::string> HeadlessConverter::previewShownFile() {
  std::lock_guard guard(lock_);
  return previewShown_;
}

std::vector<std::string> HeadlessConverter::previewListedFiles() {
  std::lock_guard guard(lock_);
  return previewListed_;
}

}  // namespace velumar

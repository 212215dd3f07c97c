#include "preview/preview_commands_session_link.h"

#include "engine/imported_image.h"
#include "session/converter_state.h"

namespace velumar {

SessionCommandsLink::SessionCommandsLink(std::shared_ptr<ProcessingView> view,
                                         std::function<void()> redrawDropZone,
                                         std::function<void()> activatePreview)
    : view_(std::move(view)),
      redrawDropZone_(std::move(redrawDropZone)),
      activatePreview_(std::move(activatePreview)) {}

bool SessionCommandsLink::isProcessingImages() const {
  return view_->state().isProcessingImages.load();
}

void SessionCommandsLink::drawDragAndDrop() {
  view_->state().drawForDragAndDrop = true;
  if (redrawDropZone_) redrawDropZone_();
}

void SessionCommandsLink::activateAppWindowWithPreviewView() {
  if (activatePreview_) activatePreview_();
}

void SessionCommandsLink::setGlobalParentDirectory(std::optional<std::string> folder) {
  view_->state().globalParentDirectory = std::move(folder);
}

void SessionCommandsLink::setRemoveURLCachesWhenDone(bool remove) {
  view_->state().removeURLCachesWhenDone = remove;
}

void SessionCommandsLink::postRequest(const ConversionRequest& request) {
  postConversionRequest(view_, request);
}

std::vector<std::string> SessionCommandsLink::runRequest(const ConversionRequest& request) {
  processNewImageAfterDragging(view_, request);
  const std::shared_ptr<ImportedImage> engine = view_->importedImage();
  if (!engine) return {};
  std::vector<std::string> written = std::move(engine->urlsArray);
  engine->urlsArray.clear();
  return written;
}

std::vector<raster::BitmapImageRepRef> SessionCommandsLink::processNewImageForURL(const std::string& path) {
  return velumar::processNewImageForURL(*view_, path);
}

std::string SessionCommandsLink::tempDataPath() const {
  return tempDataDirectory();
}

}  // namespace velumar

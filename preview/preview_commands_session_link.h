#pragma once
// The commands' link to the converter through the batch session: the
// converter's state, the session's request entry point and one-image
// render. The application makes one with the converter view.

#include <functional>
#include <memory>

#include "preview/preview_commands_link.h"
#include "session/processing_view.h"

namespace velumar {

class SessionCommandsLink : public PreviewCommandsLink {
 public:
  // redrawDropZone and activatePreview: the converter's drop-zone redraw
  // and bringing the application and the preview window forward.
  SessionCommandsLink(std::shared_ptr<ProcessingView> view, std::function<void()> redrawDropZone,
                      std::function<void()> activatePreview);

  bool isProcessingImages() const override;
  void drawDragAndDrop() override;
  void activateAppWindowWithPreviewView() override;
  void setGlobalParentDirectory(std::optional<std::string> folder) override;
  void setRemoveURLCachesWhenDone(bool remove) override;
  void postRequest(const ConversionRequest& request) override;
  std::vector<std::string> runRequest(const ConversionRequest& request) override;
  std::vector<raster::BitmapImageRepRef> processNewImageForURL(const std::string& path) override;
  std::string tempDataPath() const override;

 private:
  std::shared_ptr<ProcessingView> view_;
  std::function<void()> redrawDropZone_;
  std::function<void()> activatePreview_;
};

}  // namespace velumar

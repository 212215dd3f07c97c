#pragma once
// What the preview window's commands need of the converter: its
// processing state, the batch session's request entry point and the
// one-image render. The application connects the two windows through this
// interface (SessionCommandsLink is the ready implementation), so the
// preview does not depend on the converter.

#include <optional>
#include <string>
#include <vector>

#include "platform/raster/bitmap_image_rep.h"
#include "session/conversion_request.h"

namespace velumar {

class PreviewCommandsLink {
 public:
  virtual ~PreviewCommandsLink() = default;
  virtual bool isProcessingImages() const = 0;
  // The drop zone is drawn highlighted while the batch runs.
  virtual void drawDragAndDrop() = 0;
  // Brings the application and the preview window to the front.
  virtual void activateAppWindowWithPreviewView() = 0;
  virtual void setGlobalParentDirectory(std::optional<std::string> folder) = 0;
  virtual void setRemoveURLCachesWhenDone(bool remove) = 0;
  // A batch request, handed to the session on the next pass of the main loop.
  virtual void postRequest(const ConversionRequest& request) = 0;
  // Runs a request to its end and answers the files it wrote (the engine's
  // list of written files is emptied).
  virtual std::vector<std::string> runRequest(const ConversionRequest& request) = 0;
  // One image rendered with the current settings and not saved.
  virtual std::vector<raster::BitmapImageRepRef> processNewImageForURL(const std::string& path) = 0;
  // The folder one-image jobs write into ("TempData").
  virtual std::string tempDataPath() const = 0;
};

}  // namespace velumar

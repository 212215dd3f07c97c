// The drop zone: which drags are taken, and a drop made into one request.
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <filesystem>

#include "converter/converter_view.h"
#include "converter/drop_zone_widget.h"
#include "engine/imported_image.h"
#include "platform/foundation/main_loop.h"
#include "platform/ui/uri_list.h"
#include "session/folder_scan.h"

namespace velumar {

namespace {

constexpr double kRequestDelay = 0.1;
const QString kUriListType = QStringLiteral("text/uri-list");

}  // namespace

void ConverterView::drawDragAndDrop() {
  state_.drawForDragAndDrop = true;
  dropZone_->setHighlighted(true);
}

void ConverterView::drawNoDragAndDrop() {
  state_.drawForDragAndDrop = false;
  dropZone_->setHighlighted(false);
  if (state_.drawForDeactive) closeAllPopoversOnlyAlpha(true);
}

void ConverterView::setWindowMenu(QMenu* menu) {
  windowMenu_ = menu;
}

void ConverterView::contextMenuEvent(QContextMenuEvent* event) {
  // The window menu, except while a batch runs.
  auto* menu = qobject_cast<QMenu*>(windowMenu_.data());
  if (state_.isProcessingImages || !menu) return;
  menu->popup(event->globalPos());
  event->accept();
}

void ConverterView::setDrawForDeactive(bool deactive) {
  state_.drawForDeactive = deactive;
  dropZone_->setDimmed(deactive);
}

void ConverterView::dragEnterEvent(QDragEnterEvent* event) {
  if (state_.isProcessingImages || requestPending_ || !event->mimeData()->hasFormat(kUriListType)) {
    event->ignore();
    return;
  }
  drawDragAndDrop();
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void ConverterView::dragLeaveEvent(QDragLeaveEvent* event) {
  if (!state_.isProcessingImages && state_.drawForDragAndDrop) drawNoDragAndDrop();
  event->accept();
}

void ConverterView::dropEvent(QDropEvent* event) {
  const bool accepted = performDragOperation(*event->mimeData(), event->source() != nullptr);
  if (accepted) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void ConverterView::notifyCantProcessImageAfterDragging() {
  foundation::MainLoop::postAfter(kRequestDelay, [weak = processingView()] {
    if (auto view = weak.lock()) velumar::notifyCantProcessImageAfterDragging(*view);
  });
}

bool ConverterView::performDragOperation(const QMimeData& mime, bool fromInsideApp) {
  // A running session, or one about to start, takes no new files.
  if (state_.isProcessingImages || requestPending_) return false;
  if (!mime.hasFormat(kUriListType)) {
    drawNoDragAndDrop();
    notifyCantProcessImageAfterDragging();
    return false;
  }
  const std::vector<std::string> paths = ui::localPathsFromUriList(mime.data(kUriListType));
  if (paths.empty()) {
    drawNoDragAndDrop();
    notifyCantProcessImageAfterDragging();
    return false;
  }
  // Where the files came from, for keeping their hierarchy; not for files
  // dragged out of our own windows.
  std::optional<std::string> firstPath;
  if (!fromInsideApp) firstPath = std::filesystem::path(paths.front()).parent_path().string();

  if (dragAndDropBehaviorImportToPreview) {
    const bool imported = previewImporter_ && previewImporter_(paths, firstPath);
    drawNoDragAndDrop();
    if (!imported) notifyCantProcessImageAfterDragging();
    return imported;
  }

  const FolderScanResult scan = findRecursiveDirectoryForArray(
      paths, state_.searchInSubFolders != 0,
      [this](const std::string& path) { return engine_->verifyFileTypeFromURL(path).has_value(); });
  if (scan.files.empty()) {
    drawNoDragAndDrop();
    if (!scan.scannedFolderLeftNothing) notifyCantProcessImageAfterDragging();
    return false;
  }
  state_.globalParentDirectory = firstPath;
  state_.removeURLCachesWhenDone = true;
  ConversionRequest request;
  request.sources = scan.files;
  request.ignoreBookmark = false;
  request.ignoreAlerts = false;
  request.setupMode = 1;
  request.tempPath.clear();
  request.asyncQueue = true;
  // Handed on after the drag session has ended; the highlight stays until
  // the session takes over.
  postRequest(std::move(request));
  return true;
}

void ConverterView::postRequest(ConversionRequest request) {
  // Pending until delivered, so that nothing else starts or is taken in
  // between: a later start's files are refused instead of dropped.
  requestPending_ = true;
  QPointer<ConverterView> self(this);
  foundation::MainLoop::postAfter(kRequestDelay, [self, request = std::move(request)]() mutable {
    if (self) self->deliverRequest(std::move(request));
  });
}

void ConverterView::deliverRequest(ConversionRequest request) {
  requestPending_ = false;
  if (requestHandler_) {
    requestHandler_(request);
    return;
  }
  processNewImageAfterDragging(self_, request);
}

}  // namespace velumar

// Files reaching the preview list: drops and pastes on the window, and the
// imports the converter and the import panel send.

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <any>

#include "engine/imported_image.h"
#include "platform/foundation/log.h"
#include "platform/foundation/main_loop.h"
#include "platform/ui/uri_list.h"
#include "preview/preview_import.h"
#include "preview/preview_window.h"

namespace velumar {
namespace {

constexpr const char* kUriListType = "text/uri-list";
// Drops and pastes are merged after their event was handled.
constexpr double kMergeDelay = double(0.1f);

std::vector<std::string> droppedPaths(const QMimeData* mime) {
  if (!mime || !mime->hasFormat(kUriListType)) return {};
  return ui::localPathsFromUriList(mime->data(kUriListType));
}

bool carriesCopyMarker(const QMimeData* mime) {
  if (!mime) return false;
  if (mime->hasFormat(kCopyMarkerMimeType)) return true;
  return mime->hasText() && mime->text().split('\n').contains(kCopyMarkerString);
}

}  // namespace

bool PreviewWindow::isSupportedImage(const std::string& path) {
  return detection_->verifyFileTypeFromURL(path).has_value();
}

bool PreviewWindow::importPaths(const std::vector<std::string>& paths,
                                const std::optional<std::string>& firstPath, bool searchSubfolders) {
  // Imports during a background sort wait inside the list for the new order.
  const bool mediaFolder = !firstPath.has_value();
  PreviewScan scan = scanForPreview(paths, searchSubfolders, mediaFolder, firstPath.value_or(std::string()),
                                    [this](const std::string& path) { return isSupportedImage(path); });
  if (scan.entries.empty() && scan.unreadableImages.empty()) return false;
  // Files found is the answer: listed ones are dropped silently by the
  // merge, and image files that cannot be shown are said so.
  if (!list_->verifyDuplicateImageUrlsWithUrlsArray(
          firstPath.value_or(std::string()), std::move(scan.entries), std::move(scan.unreadableImages)))
    foundation::log("Preview: the imported files added nothing to the list");
  bringForward();
  return true;
}

bool PreviewWindow::importSentEntries(const foundation::Notification& notification) {
  const foundation::Array* details = notification.userInfo.asArray();
  const auto* entries = std::any_cast<OrganizedURLList>(&notification.payload);
  if (!details || details->size() < 2 || !(*details)[0].isString() || !entries) {
    foundation::log("Preview: images sent without their first path and entries are ignored");
    return false;
  }
  // Image files the sender's scan could not take, when it names them.
  std::vector<std::string> unreadable;
  if (details->size() > 2 && (*details)[2].asArray())
    for (const foundation::Value& path : *(*details)[2].asArray())
      if (path.asString()) unreadable.push_back(*path.asString());
  // Files that are all listed already add nothing, and still bring the
  // window forward.
  if (!list_->verifyDuplicateImageUrlsWithUrlsArray(*(*details)[0].asString(), *entries,
                                                    std::move(unreadable)))
    foundation::log("Preview: the sent files added nothing to the list");
  bringForward();
  return true;
}

void PreviewWindow::bringForward() {
  // Images sent from another window bring the preview forward.
  show();
  raise();
  activateWindow();
}

bool PreviewWindow::importDroppedPaths(const std::vector<std::string>& paths) {
  const std::int64_t target = list_->firstIndexOfImageBrowser();
  list_->setFirstIndexOfImageBrowser(-1);
  if (!list_->canAcceptImages() || paths.empty()) return false;
  const std::string first = firstOriginalPath(paths, false);
  PreviewScan scan = scanForPreview(paths, true, false, first,
                                    [this](const std::string& path) { return isSupportedImage(path); });
  if (scan.entries.empty() && scan.unreadableImages.empty()) return false;
  foundation::MainLoop::postAfter(
      kMergeDelay, [window = QPointer<PreviewWindow>(this), first, scan = std::move(scan), target]() mutable {
        if (!window) return;
        window->list_->setFirstIndexOfImageBrowser(target);
        if (!window->list_->verifyDuplicateImageUrlsWithUrlsArray(first, std::move(scan.entries),
                                                                  std::move(scan.unreadableImages)))
          foundation::log("Preview: the dropped files added nothing to the list");
      });
  return true;
}

bool PreviewWindow::pasteFromClipboard() {
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  if (!list_->canAcceptImages() || carriesCopyMarker(mime)) {
    list_->setFirstIndexOfImageBrowser(-1);
    return false;
  }
  return importDroppedPaths(droppedPaths(mime));
}

// Copies of files from other applications only, while the list takes them.
static void answerDrag(QDragMoveEvent* event, bool accepting) {
  if (accepting && !event->source() && event->mimeData()->hasFormat(kUriListType)) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void PreviewWindow::dragEnterEvent(QDragEnterEvent* event) {
  answerDrag(event, list_->canAcceptImages());
}

void PreviewWindow::dragMoveEvent(QDragMoveEvent* event) {
  answerDrag(event, list_->canAcceptImages());
}

void PreviewWindow::dropEvent(QDropEvent* event) {
  if (importDroppedPaths(droppedPaths(event->mimeData()))) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace velumar

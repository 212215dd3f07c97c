#include "preview/preview_commands.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "engine/open_with_target.h"
#include "platform/desktop/applications.h"
#include "platform/desktop/file_manager.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/ui/menu_name.h"
#include "platform/ui/menu_title.h"
#include "preview/image_info_window.h"
#include "preview/library_roots.h"
#include "preview/printing_print_job.h"

namespace velumar {

namespace {

// Commands sent by a push button leave it switched off.
void switchOff(QObject* sender) {
  if (auto* button = qobject_cast<QAbstractButton*>(sender); button != nullptr && button->isCheckable())
    button->setChecked(false);
}

bool isReadableFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error) && ::access(path.c_str(), R_OK) == 0;
}

// A small window-modal sheet on the preview window, painted before the
// caller blocks the main thread.
std::unique_ptr<QDialog> beginSheet(QWidget* window) {
  auto sheet = std::make_unique<QDialog>(window);
  sheet->setWindowModality(Qt::WindowModal);
  auto* layout = new QVBoxLayout(sheet.get());
  layout->addWidget(new QLabel(QObject::tr("Converting the image…"), sheet.get()));
  sheet->show();
  sheet->repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return sheet;
}

}  // namespace

PreviewCommands::PreviewCommands(PreviewList& list, QWidget* previewWindow)
    : list_(list), previewWindow_(previewWindow) {
  // A print's pictures were rendered in memory; what the job left in the
  // temporary folder goes when the print ends, printed or cancelled.
  printEnded_ = foundation::NotificationCenter::defaultCenter().addObserver(
      "printObjectDidFinishPrintOperation", [this](const foundation::Notification&) {
        if (link_) clearTemDirectoryForPath(link_->tempDataPath());
      });
}

PreviewCommands::~PreviewCommands() = default;

void PreviewCommands::setSelectionSources(SelectedRows rows, SelectedFolders folders) {
  selectedRows_ = std::move(rows);
  selectedFolders_ = std::move(folders);
}

ConversionRequest PreviewCommands::batchRequest(const OrganizedURLList& entries) {
  ConversionRequest request;
  for (const OrganizedURLRef& entry : entries) {
    if (entry) request.sources.push_back(entry->sourceFile());
  }
  request.ignoreBookmark = false;
  request.ignoreAlerts = false;
  request.setupMode = 1;
  request.tempPath.clear();
  request.asyncQueue = true;
  return request;
}

std::optional<std::string> PreviewCommands::commonRoot(const OrganizedURLList& entries) {
  if (std::any_of(entries.begin(), entries.end(),
                  [](const OrganizedURLRef& e) { return e && e->mediaFolder; }))
    return std::nullopt;
  std::string root = verifyFileUrlsRootPathForPreviewArray(entries);
  if (root.empty()) return std::nullopt;
  return root;
}

OrganizedURLList PreviewCommands::entriesUnderFolders(
    const std::vector<std::shared_ptr<LibraryFolder>>& folders) {
  OrganizedURLList entries;
  for (const auto& folder : folders) {
    if (!folder || folder->children.empty()) continue;
    for (const auto& leaf : folder->children) {
      if (!leaf) continue;
      if (OrganizedURLRef entry = leaf->pathOrganizedURL.lock()) entries.push_back(std::move(entry));
    }
  }
  return entries;
}

std::string PreviewCommands::keptFilesFolder(const char* name) {
  return foundation::applicationSupportDirectory() + "/" + name;
}

bool PreviewCommands::refused() const {
  return !link_ || link_->isProcessingImages();
}

bool PreviewCommands::runBatch(const OrganizedURLList& entries, std::optional<std::string> root) {
  if (entries.empty()) return false;
  link_->drawDragAndDrop();
  link_->setGlobalParentDirectory(std::move(root));
  link_->setRemoveURLCachesWhenDone(false);
  link_->postRequest(batchRequest(entries));
  return true;
}

bool PreviewCommands::processPreviewImagesFrom(QObject* sender) {
  switchOff(sender);
  if (refused() || list_.imageFileUrls().empty()) return false;
  const auto& global = list_.imageFileGlobalPath();
  std::optional<std::string> root;
  if (global && !global->empty()) root = *global;
  return runBatch(list_.imageFileUrls(), root);
}

bool PreviewCommands::processPreviewImagesInRangeFrom(QObject* sender) {
  switchOff(sender);
  if (refused() || list_.isOriginalImage() || !selectedRows_) return false;
  std::vector<std::size_t> rows = selectedRows_();
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  OrganizedURLList entries;
  for (const std::size_t row : rows) {
    if (row < list_.imageFileUrls().size()) entries.push_back(list_.imageFileUrls()[row]);
  }
  return runBatch(entries, commonRoot(entries));
}

bool PreviewCommands::processPreviewImagesInRangePathFrom() {
  if (refused() || list_.isOriginalImage() || list_.libraryTree().empty() || !selectedFolders_) return false;
  const OrganizedURLList entries = entriesUnderFolders(selectedFolders_());
  return runBatch(entries, commonRoot(entries));
}

bool PreviewCommands::removePreviewImagesInRangePathFrom() {
  if (refused() || list_.isOriginalImage() || list_.libraryTree().empty() || !selectedFolders_) return false;
  std::vector<std::size_t> positions;
  const OrganizedURLList& listed = list_.imageFileUrls();
  for (const OrganizedURLRef& entry : entriesUnderFolders(selectedFolders_())) {
    const auto found =
        std::find_if(listed.begin(), listed.end(), [&](const OrganizedURLRef& e) { return *e == *entry; });
    if (found != listed.end()) positions.push_back(std::size_t(found - listed.begin()));
  }
  if (positions.empty()) return false;
  return list_.removeSelectedItemsWithIndexSet(positions, true);
}

bool PreviewCommands::openPreviewImagesInRangePathFrom() {
  if (!selectedFolders_) return false;
  std::vector<std::string> folders;
  for (const auto& folder : selectedFolders_()) {
    if (folder && !folder->children.empty() && isReadableFolder(folder->pathValueURL))
      folders.push_back(folder->pathValueURL);
  }
  for (const std::string& folder : folders) desktop::showItemsInFileManager({folder});
  return !folders.empty();
}

std::vector<std::string> PreviewCommands::processPreviewImage(const char* keptFolder) {
  if (refused()) return {};
  const std::size_t current = list_.imagesIndexSet().imageCount;
  if (current >= list_.imageFileUrls().size()) return {};
  const OrganizedURLRef entry = list_.imageFileUrls()[current];
  link_->drawDragAndDrop();
  link_->setRemoveURLCachesWhenDone(false);
  ConversionRequest request;
  request.sources.push_back(entry->sourceFile());
  request.ignoreBookmark = true;
  request.ignoreAlerts = true;
  request.setupMode = 0;
  request.tempPath = link_->tempDataPath();
  request.asyncQueue = false;
  std::vector<std::string> written;
  {
    const std::unique_ptr<QDialog> sheet = beginSheet(previewWindow_);
    written = link_->runRequest(request);
    sheet->close();
  }
  if (written.empty()) return {};
  // The results move out of the temporary folder, which the next job,
  // print or quit empties, into their own folder emptied only by the next
  // copy (or share): pasting later still finds them.
  const std::string folder = keptFilesFolder(keptFolder);
  std::error_code error;
  std::filesystem::remove_all(folder, error);
  std::filesystem::create_directories(folder, error);
  std::vector<std::string> kept;
  for (const std::string& file : written) {
    const std::string target = folder + "/" + std::filesystem::path(file).filename().string();
    std::filesystem::copy_file(file, target, std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
      foundation::log("Preview: cannot keep {}: {}", file, error.message());
      continue;
    }
    kept.push_back(target);
  }
  return kept;
}

bool PreviewCommands::copyPreviewImageForApplication() {
  if (refused() || list_.imageFileUrls().empty() || list_.isOriginalImage()) return false;
  link_->activateAppWindowWithPreviewView();
  const std::vector<std::string> files = processPreviewImage("Copied");
  if (files.empty()) return false;
  auto* mime = new QMimeData();
  QList<QUrl> urls;
  QByteArray gnome("copy");
  for (const std::string& file : files) {
    const QUrl url = QUrl::fromLocalFile(QFile::decodeName(file.c_str()));
    urls.push_back(url);
    gnome += "\n" + url.toEncoded();
  }
  mime->setUrls(urls);
  // setUrls also offers the paths as plain text, which would hide the
  // files from applications that prefer text: only the file types stay.
  mime->removeFormat("text/plain");
  mime->setData("x-special/gnome-copied-files", gnome);
  mime->setData(kCopyMarkerMimeType, kCopyMarkerString);
  QApplication::clipboard()->setMimeData(mime);
  return true;
}

bool PreviewCommands::sharePreviewImageFrom(QWidget* sender) {
  // Never offers the files of a running session, nor anything without a shown image.
  if (refused() || list_.imageFileUrls().empty() || list_.isOriginalImage()) return false;
  const std::vector<std::string> files = processPreviewImage("Shared");
  if (files.empty()) return false;
  shareMenu_ = std::make_unique<QMenu>();
  for (const desktop::Application& application :
       desktop::applicationsForContentType(desktop::contentTypeForFile(files.front()))) {
    if (isThisApplication(application)) continue;  // it would convert the shared file again
    const std::string name = ui::menuName(application.displayName());
    if (name.empty()) continue;
    shareMenu_->addAction(ui::menuTitle(QString::fromStdString(name)),
                          [application, files] { application.launch(files); });
  }
  shareMenu_->addAction(QObject::tr("E-mail…"), [files] {
    std::vector<std::string> argv = {"xdg-email"};
    for (const std::string& file : files) {
      argv.push_back("--attach");
      argv.push_back(file);
    }
    if (!desktop::spawnProgram(argv)) foundation::log("Preview: the mail program could not be started");
  });
  const QPoint at = sender != nullptr ? sender->mapToGlobal(QPoint(sender->width(), 0)) : QCursor::pos();
  shareMenu_->popup(at);
  return true;
}

bool PreviewCommands::printPreviewImage(QObject* sender) {
  switchOff(sender);
  if (refused() || list_.imageFileUrls().empty()) return false;
  const std::size_t current = list_.imagesIndexSet().imageCount;
  if (current >= list_.imageFileUrls().size()) return false;
  const OrganizedURLRef entry = list_.imageFileUrls()[current];
  link_->activateAppWindowWithPreviewView();
  std::vector<raster::BitmapImageRepRef> representations;
  {
    const std::unique_ptr<QDialog> sheet = beginSheet(previewWindow_);
    representations = link_->processNewImageForURL(entry->path);
    sheet->close();
  }
  if (representations.empty()) return false;
  return PreviewPrinter::shared().printImageWithPrintInfo(entry->fileName(), representations, previewWindow_);
}

bool PreviewCommands::openCloseInfoImageWindowFrom(QObject* sender) {
  switchOff(sender);
  if (refused() || infoWindow_ == nullptr) return false;
  infoWindow_->bringForward();
  return true;
}

}  // namespace velumar

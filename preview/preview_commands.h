#pragma once
// The preview window's commands on the imported images: convert all of
// them, the rows selected in the files table or the files under the
// folders selected in the library outline; remove or reveal those folders;
// copy, share or print the shown image converted with the current
// settings; bring up the image-info window. Conversions go to the batch
// session through PreviewCommandsLink. Main thread only.

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/notification_center.h"
#include "preview/copy_marker.h"
#include "preview/library_tree.h"
#include "preview/preview_commands_link.h"
#include "preview/preview_list.h"

class QMenu;
class QWidget;

namespace velumar {

class ImageInfoWindow;

class PreviewCommands {
 public:
  // The rows selected in the files table, and the folders selected in the
  // library outline (selection order).
  using SelectedRows = std::function<std::vector<std::size_t>()>;
  using SelectedFolders = std::function<std::vector<std::shared_ptr<LibraryFolder>>()>;

  PreviewCommands(PreviewList& list, QWidget* previewWindow);
  ~PreviewCommands();

  void setLink(std::shared_ptr<PreviewCommandsLink> link) { link_ = std::move(link); }
  void setSelectionSources(SelectedRows rows, SelectedFolders folders);
  void setInfoWindow(ImageInfoWindow* window) { infoWindow_ = window; }

  // Each answers whether it did something; sender buttons are switched off.
  bool processPreviewImagesFrom(QObject* sender = nullptr);
  bool processPreviewImagesInRangeFrom(QObject* sender = nullptr);
  bool processPreviewImagesInRangePathFrom();
  bool removePreviewImagesInRangePathFrom();
  bool openPreviewImagesInRangePathFrom();
  bool copyPreviewImageForApplication();
  // Converts the shown image and offers it in a menu at the sender: the
  // applications that open its type and "E-mail…".
  bool sharePreviewImageFrom(QWidget* sender);
  bool printPreviewImage(QObject* sender = nullptr);
  bool openCloseInfoImageWindowFrom(QObject* sender = nullptr);

  // The batch request of entries: [entries, NO, NO, 1, "", YES].
  static ConversionRequest batchRequest(const OrganizedURLList& entries);
  // The common root of chosen entries: none when one came from a photo
  // library or nothing is shared.
  static std::optional<std::string> commonRoot(const OrganizedURLList& entries);
  // The entries under the folders, in order (entries no longer listed are skipped).
  static OrganizedURLList entriesUnderFolders(const std::vector<std::shared_ptr<LibraryFolder>>& folders);

  // Where copied and shared files are kept until the next copy or share.
  static std::string keptFilesFolder(const char* name);
  // The share menu last shown (for tests).
  QMenu* shareMenu() const { return shareMenu_.get(); }

 private:
  bool runBatch(const OrganizedURLList& entries, std::optional<std::string> root);
  // The one-image job behind a sheet on the preview window: the files
  // written, moved into the kept folder of that name.
  std::vector<std::string> processPreviewImage(const char* keptFolder);
  bool refused() const;

  PreviewList& list_;
  QWidget* previewWindow_;
  std::shared_ptr<PreviewCommandsLink> link_;
  SelectedRows selectedRows_;
  SelectedFolders selectedFolders_;
  ImageInfoWindow* infoWindow_ = nullptr;
  std::unique_ptr<QMenu> shareMenu_;
  foundation::ObserverToken printEnded_;
};

}  // namespace velumar

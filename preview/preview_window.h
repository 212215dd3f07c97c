#pragma once
// The preview window: the preview view with its labels and overlays, the
// path bar, the library outline and the files window with its table, all
// following one PreviewList. Files dropped or pasted on it are listed; the
// converter and the import panel send theirs through importPaths. The
// application creates one window, wires the converter to it (importer, crop
// picker, session block) and shows it.

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/notification_center.h"
#include "preview/copy_marker.h"
#include "preview/crop_picker_link.h"
#include "preview/library_tree.h"
#include "preview/list_sorting.h"
#include "preview/preview_list.h"

class QAction;
class QLabel;
class QMenu;
class QMessageBox;
class QTableView;
class QTreeView;

namespace ui {
class CustomHoldDownButton;
class ElidedLabel;
class PathControl;
}  // namespace ui

namespace velumar {

class FilesTableModel;
class ImportedImage;
class LibraryOutlineModel;
class PreviewImageView;
class SortingSheet;

class PreviewWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit PreviewWindow(QWidget* parent = nullptr);
  ~PreviewWindow() override;

  PreviewList& list() { return *list_; }
  PreviewImageView* previewView() const { return view_; }
  ui::PathControl* pathControl() const { return pathControl_; }
  ui::CustomHoldDownButton* holdDownButton() const { return holdDownButton_; }
  QTreeView* outlineView() const { return outline_; }
  QTableView* filesTable() const { return table_; }
  QWidget* filesWindow() const { return filesWindow_; }
  QLabel* countLabel() const { return countLabel_; }
  ui::ElidedLabel* infoLabel() const { return infoLabel_; }
  QLabel* sizeLabel() const { return sizeLabel_; }
  QMenu* optionsMenu() const { return optionsMenu_; }
  // The files window's context menu: the same items as optionsMenu.
  QMenu* optionsInFilesWindowMenu() const { return filesMenu_; }
  SortingSheet* sortingSheet() const { return sortingSheet_; }
  // "Save preview files (n)": titled with the list's length, on while the
  // list has entries. The commands connect what it runs; the application
  // puts it in its File menu.
  QAction* previewFilesMenuItem() const { return previewFilesMenuItem_; }

  // ---- For the application and the converter ------------------------------------
  // Files and folders sent by the converter or the import panel: folders
  // are scanned (their subfolders when asked), the entries merged at once.
  // firstPath is the folder of the first item; none marks photo-library
  // items. Answers whether the scan found image files: listed ones are
  // dropped silently, those that cannot be shown are said so when nothing
  // is added; then the window comes forward.
  bool importPaths(const std::vector<std::string>& paths, const std::optional<std::string>& firstPath,
                   bool searchSubfolders);
  // The entries the import panel scanned, sent as "multipleImageViewDragAndDrop":
  // [first original path, paths] with the entries as payload; merged at once.
  // A third element may list the image files the scan could not take.
  bool importSentEntries(const foundation::Notification& notification);
  // Dropped or pasted files and folders: scanned with their subfolders and
  // merged 0.1 seconds later. Answers whether an import was scheduled.
  bool importDroppedPaths(const std::vector<std::string>& paths);
  // Lists the local files on the clipboard, unless this application put them there.
  bool pasteFromClipboard();
  // A conversion runs: the list refuses changes until it ends.
  void setProcessing(bool running);
  std::optional<std::string> shownFile() const;
  std::vector<std::string> listedFiles() const;
  void setCropPicker(std::shared_ptr<CropPickerLink> picker);
  // What "Clear Preview" asks for: the application's confirmation, refused
  // while a conversion runs (it posts "resetPreviewImage"). Without one the
  // list is emptied at once.
  void setClearRequest(std::function<void()> request) { clearRequest_ = std::move(request); }
  // The "PreviewFitsSize" preference: later pictures keep the window's size.
  void setWindowRemainsSameSize(bool remains) { windowRemainsSameSize_ = remains; }
  // Windows and commands that read the list: destroyed with this window,
  // before the list.
  void keepCompanion(std::unique_ptr<QObject> companion);
  // The files table's selected rows, ascending, and the library outline's
  // selected folder rows, in selection order.
  std::vector<std::size_t> selectedTableRows() const;
  std::vector<std::shared_ptr<LibraryFolder>> selectedOutlineFolders() const;

  // ---- Commands ------------------------------------------------------------------
  bool sortBy(SortOrder order);
  bool setAscendingOrder(bool ascending);
  bool showNext();
  bool showPrevious();
  bool removeSelectedFiles();
  void resetPreview();
  void openFilesWindow();
  void selectAllFiles();
  void showInFileManager();
  // The path bar's double click: a folder opens in the file manager, a file
  // in its default application (unless that is this application).
  void openPathComponent(const std::string& path);

 signals:
  // The list, its selection or the shown image changed (menus follow).
  void listRefreshed();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildWidgets();
  void buildMenus();
  void observeList();
  bool showEntry(const OrganizedURL& entry);
  bool isSupportedImage(const std::string& path);
  void bringForward();
  // The list changed as a whole or its selection moved.
  void refreshAll();
  void refreshSelection();
  void refreshBlockedState();
  // The view shows the current entry (or its cannot-show placeholder), and
  // the placeholder once the list is empty.
  void refreshPicture();
  void fitWindowToPicture();
  // One alert (reused while open) saying why an import into the filled
  // list added nothing.
  void alertUnshownImport(const UnshownImport& import);
  // Two-way selection between the list and the table and outline.
  void tableSelectionChanged();
  void outlineSelectionChanged();
  void selectInTable();
  void selectInOutline();

  std::unique_ptr<PreviewList> list_;
  std::unique_ptr<ImportedImage> detection_;
  PreviewImageView* view_ = nullptr;
  ui::PathControl* pathControl_ = nullptr;
  ui::CustomHoldDownButton* holdDownButton_ = nullptr;
  QTreeView* outline_ = nullptr;
  LibraryOutlineModel* outlineModel_ = nullptr;
  QWidget* filesWindow_ = nullptr;
  QTableView* table_ = nullptr;
  FilesTableModel* tableModel_ = nullptr;
  QLabel* countLabel_ = nullptr;
  ui::ElidedLabel* infoLabel_ = nullptr;
  QLabel* sizeLabel_ = nullptr;
  QWidget* processView_ = nullptr;
  QWidget* imageInfoView_ = nullptr;
  QMenu* optionsMenu_ = nullptr;
  QMenu* filesMenu_ = nullptr;
  QAction* previewFilesMenuItem_ = nullptr;
  std::function<void()> clearRequest_;
  QAction* ascendingAction_ = nullptr;
  QAction* descendingAction_ = nullptr;
  SortingSheet* sortingSheet_ = nullptr;
  std::vector<foundation::ObserverToken> observers_;
  // Why each file that failed to show since the last shown one failed.
  std::map<std::string, QString> failedShows_;
  QPointer<QMessageBox> unshownAlert_;
  std::vector<std::unique_ptr<QObject>> companions_;
  bool revealOverlays_ = true;
  bool previewFitsSizeFirstImage_ = false;
  bool windowRemainsSameSize_ = false;
  // Re-entrancy guards: a selection set from the list is not sent back.
  bool syncingTable_ = false;
  bool syncingOutline_ = false;
};

}  // namespace velumar

#include "preview/preview_window.h"

#include <QActionGroup>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <any>
#include <filesystem>
#include <iterator>

#include "engine/imported_image.h"
#include "engine/open_with_target.h"
#include "platform/desktop/applications.h"
#include "platform/desktop/file_manager.h"
#include "platform/foundation/main_loop.h"
#include "platform/ui/custom_scroller.h"
#include "platform/ui/elided_label.h"
#include "platform/ui/hold_down_button.h"
#include "platform/ui/path_control.h"
#include "platform/ui/plain_text.h"
#include "preview/files_table_model.h"
#include "preview/image_info_dictionary.h"
#include "preview/launcher_badge.h"
#include "preview/library_outline_model.h"
#include "preview/preview_geometry.h"
#include "preview/preview_image_view.h"
#include "preview/sorting_sheet.h"

namespace velumar {
namespace {

const char* const kWindowTitle = "Velumar";

QString displayed(const std::string& bytes) {
  return QFile::decodeName(QByteArray::fromStdString(bytes));
}

}  // namespace

PreviewWindow::PreviewWindow(QWidget* parent)
    : QMainWindow(parent),
      list_(std::make_unique<PreviewList>([this](const OrganizedURL& entry) { return showEntry(entry); })),
      detection_(std::make_unique<ImportedImage>()) {
  setObjectName("previewWindow");
  setWindowTitle(kWindowTitle);
  setAcceptDrops(true);
  buildWidgets();
  buildMenus();
  observeList();
  refreshAll();
  resize(900, 700);
}

// The list goes before the child widgets: nothing may read it afterwards.
PreviewWindow::~PreviewWindow() {
  companions_.clear();
  observers_.clear();
  syncingTable_ = syncingOutline_ = true;
  tableModel_->setEntries(nullptr);
  view_->setCanAcceptImages({});
}

void PreviewWindow::buildWidgets() {
  view_ = new PreviewImageView;
  view_->setCanAcceptImages([this] { return list_->canAcceptImages(); });
  view_->setInformationBuilder(imageInformationForFile);
  view_->setAcceptDrops(false);  // the window takes the drops

  // Overlays over the picture: stepping on the left, the labels on the right.
  processView_ = new QWidget(view_);
  auto* process = new QHBoxLayout(processView_);
  auto* previous = new QToolButton;
  previous->setArrowType(Qt::LeftArrow);
  previous->setToolTip(tr("Previous image"));
  auto* next = new QToolButton;
  next->setArrowType(Qt::RightArrow);
  next->setToolTip(tr("Next image"));
  connect(previous, &QToolButton::clicked, this, [this] { showPrevious(); });
  connect(next, &QToolButton::clicked, this, [this] { showNext(); });
  countLabel_ = new QLabel;
  countLabel_->setObjectName("labelImageCount");
  // Held down, the view shows the unprocessed picture.
  holdDownButton_ = new ui::CustomHoldDownButton(tr("Original"));
  holdDownButton_->setObjectName("holdDownButton");
  holdDownButton_->setToolTip(tr("Hold to show the original image"));
  holdDownButton_->setPreview(view_);
  process->addWidget(previous);
  process->addWidget(countLabel_);
  process->addWidget(next);
  process->addWidget(holdDownButton_);
  imageInfoView_ = new QWidget(view_);
  auto* info = new QHBoxLayout(imageInfoView_);
  // The type comes from the file's own extension, of any length: elided.
  infoLabel_ = new ui::ElidedLabel(tr("Info"));
  infoLabel_->setObjectName("labelInfoImage");
  sizeLabel_ = new QLabel(tr("Width x Height"));
  sizeLabel_->setObjectName("labelImageSize");
  info->addWidget(infoLabel_);
  info->addWidget(sizeLabel_);
  auto* overlays = new QVBoxLayout(view_);
  overlays->addStretch();
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(processView_);
  bottom->addStretch();
  bottom->addWidget(imageInfoView_);
  overlays->addLayout(bottom);
  view_->setOverlayViews(processView_, imageInfoView_);
  connect(view_, &PreviewImageView::imageSizeLabelChanged, sizeLabel_, &QLabel::setText);
  connect(view_, &PreviewImageView::imageInfoLabelChanged, infoLabel_, &ui::ElidedLabel::setFullText);
  connect(view_, &PreviewImageView::pictureChanged, this, &PreviewWindow::fitWindowToPicture);

  pathControl_ = new ui::PathControl;
  pathControl_->setObjectName("pathControl");
  connect(pathControl_, &ui::PathControl::componentDoubleClicked, this,
          [this](const QByteArray& path) { openPathComponent(path.toStdString()); });

  outline_ = new QTreeView;
  outline_->setObjectName("outlineLibraryView");
  outlineModel_ = new LibraryOutlineModel(outline_);
  outline_->setModel(outlineModel_);
  outline_->setHeaderHidden(true);
  outline_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  outline_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  outline_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(outline_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &PreviewWindow::outlineSelectionChanged);

  auto* right = new QWidget;
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->addWidget(view_, 1);
  rightLayout->addWidget(pathControl_);
  auto* splitter = new QSplitter;
  splitter->addWidget(outline_);
  splitter->addWidget(right);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({220, 680});
  setCentralWidget(splitter);

  // The files window: the list as a table of names.
  filesWindow_ = new QWidget(this, Qt::Tool);
  filesWindow_->setObjectName("urlsListWindow");
  filesWindow_->setWindowTitle(tr("Files"));
  table_ = new QTableView(filesWindow_);
  table_->setObjectName("urlsTableView");
  tableModel_ = new FilesTableModel(table_);
  tableModel_->setEntries(&list_->imageFileUrls());
  table_->setModel(tableModel_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setTextElideMode(Qt::ElideRight);
  table_->setVerticalScrollBar(new ui::CustomScroller(Qt::Vertical));
  table_->setHorizontalScrollBar(new ui::CustomScroller(Qt::Horizontal));
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setStyleSheet("QHeaderView::section { background-color: rgba(0, 158, 227, 204); color: white; }");
  auto* filesLayout = new QVBoxLayout(filesWindow_);
  filesLayout->setContentsMargins(0, 0, 0, 0);
  filesLayout->addWidget(table_);
  filesWindow_->resize(320, 480);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &PreviewWindow::tableSelectionChanged);

  sortingSheet_ = new SortingSheet(this);
}

void PreviewWindow::buildMenus() {
  optionsMenu_ = new QMenu(tr("Image"), this);
  optionsMenu_->setObjectName("optionsMenu");
  const auto add = [this](QMenu* menu, const QString& title, QKeySequence keys, auto slot) {
    QAction* action = menu->addAction(title, this, slot);
    action->setShortcut(keys);
    addAction(action);
    return action;
  };
  // The first item is the one that works on an empty list.
  add(optionsMenu_, tr("Paste"), QKeySequence::Paste, [this] { pasteFromClipboard(); });
  optionsMenu_->addSeparator();
  add(optionsMenu_, tr("Previous Image"), QKeySequence(Qt::Key_Left), [this] { showPrevious(); });
  add(optionsMenu_, tr("Next Image"), QKeySequence(Qt::Key_Right), [this] { showNext(); });
  add(optionsMenu_, tr("Show Files"), QKeySequence(), [this] { openFilesWindow(); });
  add(optionsMenu_, tr("Show in File Manager"), QKeySequence(), [this] { showInFileManager(); });
  add(optionsMenu_, tr("Select All"), QKeySequence::SelectAll, [this] { selectAllFiles(); });
  add(optionsMenu_, tr("Remove Selected"), QKeySequence::Delete, [this] { removeSelectedFiles(); });
  add(optionsMenu_, tr("Clear Preview"), QKeySequence(), [this] {
    if (clearRequest_)
      clearRequest_();
    else
      resetPreview();
  });
  QMenu* sortMenu = optionsMenu_->addMenu(tr("Sort By"));
  const struct {
    const char* title;
    SortOrder order;
  } sorts[] = {{"Name", SortOrder::Name},
               {"Date Taken", SortOrder::ExifDate},
               {"Date Modified", SortOrder::ModificationDate},
               {"Date Created", SortOrder::CreationDate},
               {"Format", SortOrder::Format},
               {"File Size", SortOrder::FileSize},
               {"Pixel Dimensions", SortOrder::PixelDimensions}};
  for (const auto& sort : sorts)
    sortMenu->addAction(tr(sort.title), this, [this, order = sort.order] { sortBy(order); });
  sortMenu->addSeparator();
  auto* direction = new QActionGroup(this);
  ascendingAction_ = sortMenu->addAction(tr("Ascending"), this, [this] { setAscendingOrder(true); });
  descendingAction_ = sortMenu->addAction(tr("Descending"), this, [this] { setAscendingOrder(false); });
  for (QAction* action : {ascendingAction_, descendingAction_}) {
    action->setCheckable(true);
    direction->addAction(action);
  }
  ascendingAction_->setChecked(true);

  previewFilesMenuItem_ = new QAction(this);
  previewFilesMenuItem_->setObjectName("previewFilesMenuItem");

  menuBar()->addMenu(optionsMenu_);
  view_->setContextMenu(optionsMenu_);
  // The files window's menu shares the items, so they are enabled alike.
  filesMenu_ = new QMenu(this);
  filesMenu_->setObjectName("optionsInFilesWindowMenu");
  filesMenu_->addActions(optionsMenu_->actions());
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(table_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    filesWindow_->activateWindow();
    table_->setFocus();
    filesMenu_->popup(table_->viewport()->mapToGlobal(at));
  });
  connect(outline_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    activateWindow();
    outline_->setFocus();
    optionsMenu_->popup(outline_->viewport()->mapToGlobal(at));
  });
}

void PreviewWindow::observeList() {
  auto& center = foundation::NotificationCenter::defaultCenter();
  // Every change of the entries, whoever made it (this window, the grid, a sort).
  observers_.push_back(center.addObserver("previewListDidChange", list_.get(),
                                          [this](const foundation::Notification&) { refreshAll(); }));
  observers_.push_back(center.addObserver("updateBrowserViewIndexSet", list_.get(),
                                          [this](const foundation::Notification&) { refreshSelection(); }));
  // From the application and the session.
  observers_.push_back(
      center.addObserver("previewImportNotShown", list_.get(), [this](const foundation::Notification& sent) {
        if (const auto* import = std::any_cast<UnshownImport>(&sent.payload)) alertUnshownImport(*import);
      }));
  observers_.push_back(
      center.addObserver("resetPreviewImage", [this](const foundation::Notification&) { resetPreview(); }));
  observers_.push_back(
      center.addObserver("multipleImageViewDragAndDrop",
                         [this](const foundation::Notification& sent) { importSentEntries(sent); }));
  observers_.push_back(
      center.addObserver("updatePreviewAfterOverwrite", [this](const foundation::Notification&) {
        const auto& selection = list_->imagesIndexSet();
        if (selection.imageCount < list_->imageFileUrls().size())
          showEntry(*list_->imageFileUrls()[selection.imageCount]);
      }));
}

bool PreviewWindow::showEntry(const OrganizedURL& entry) {
  const bool shown = view_->showFile(entry.path, revealOverlays_);
  if (shown)
    failedShows_.clear();
  else
    failedShows_[entry.path] = view_->unavailableText();
  return shown;
}

void PreviewWindow::alertUnshownImport(const UnshownImport& import) {
  if (import.paths.empty()) return;
  // Images are what the user imported; files taken only for what they
  // hold (fonts that read as PostScript) are not counted, unless nothing
  // else came.
  std::vector<std::string> images;
  std::copy_if(import.paths.begin(), import.paths.end(), std::back_inserter(images),
               [](const std::string& path) { return ImportedImage::isImageFile(path).has_value(); });
  if (images.empty()) images = import.paths;
  // The first file whose loading said why is named with its cause.
  const auto named = std::find_if(images.begin(), images.end(),
                                  [this](const std::string& path) { return failedShows_.count(path) != 0; });
  QString text = named != images.end()
                     ? failedShows_[*named]
                     : tr("Cannot show \u201c%1\u201d.")
                           .arg(displayed(std::filesystem::path(images.front()).filename().string()));
  if (images.size() == 2)
    text += tr("\nThe other file cannot be shown either.");
  else if (images.size() > 2)
    text += tr("\nThe other %1 files cannot be shown either.").arg(qulonglong(images.size() - 1));
  const QString title = images.size() > 1 ? tr("None of the imported images can be shown.")
                                          : tr("The imported image cannot be shown.");
  if (!unshownAlert_) {
    unshownAlert_ = new QMessageBox(QMessageBox::Warning, title, title, QMessageBox::Ok, this);
    unshownAlert_->setObjectName("unshownImportAlert");
    unshownAlert_->setAttribute(Qt::WA_DeleteOnClose);
    unshownAlert_->setWindowModality(Qt::WindowModal);
  }
  ui::setPlainTexts(*unshownAlert_, title, text);  // the text names files
  // Opened once the import has brought the window forward.
  QTimer::singleShot(0, unshownAlert_.data(), [alert = unshownAlert_] {
    if (alert && !alert->isVisible()) alert->open();
  });
}

// ---- Refreshing the views ---------------------------------------------------------------

void PreviewWindow::refreshAll() {
  refreshPicture();
  tableModel_->reload();
  outlineModel_->setTree(list_->libraryTree());
  const std::size_t count = list_->imageFileUrls().size();
  setLauncherBadge(count ? std::optional<std::int64_t>(count) : std::nullopt);
  previewFilesMenuItem_->setText(tr("Save preview files (%1)").arg(qint64(count)));
  previewFilesMenuItem_->setEnabled(count > 0);
  // An empty list leaves only the first item of the menu on.
  const QList<QAction*> items = optionsMenu_->actions();
  for (QAction* item : items) item->setEnabled(!list_->imageFileUrls().empty() || item == items.front());
  refreshSelection();
  refreshBlockedState();
  emit listRefreshed();
}

void PreviewWindow::refreshPicture() {
  const OrganizedURLList& entries = list_->imageFileUrls();
  const std::size_t current = list_->imagesIndexSet().imageCount;
  if (entries.empty()) {
    if (view_->isOriginalImage() && !view_->displayedFile()) return;
    view_->resetOriginalImage();
    infoLabel_->setFullText(tr("Info"));
    sizeLabel_->setText(tr("Width x Height"));
    previewFitsSizeFirstImage_ = false;
    filesWindow_->hide();
    return;
  }
  if (current < entries.size() && view_->displayedFile() != entries[current]->path)
    showEntry(*entries[current]);
}

void PreviewWindow::refreshSelection() {
  const OrganizedURLList& entries = list_->imageFileUrls();
  const std::size_t current = list_->imagesIndexSet().imageCount;
  if (list_->needsUpdatePreviewAfterMouseUp()) {
    // The title, count and path bar follow once the new current entry is shown.
  } else if (entries.empty() || current >= entries.size()) {
    countLabel_->setText("1 / 1");
    setWindowTitle(kWindowTitle);
    pathControl_->setPath("/", true);
    pathControl_->setVisible(false);
  } else {
    const OrganizedURL& entry = *entries[current];
    countLabel_->setText(QStringLiteral("%1 / %2").arg(current + 1).arg(entries.size()));
    setWindowTitle(displayed(entry.fileName()));
    pathControl_->setPath(QByteArray::fromStdString(entry.path), false);
    pathControl_->setVisible(true);
  }
  selectInTable();
  selectInOutline();
}

void PreviewWindow::refreshBlockedState() {
  if (sortingSheet_->isVisible()) {
    // The list unblocks right after it announced the new order.
    if (!list_->canAcceptImages())
      return void(QTimer::singleShot(0, this, [this] { refreshBlockedState(); }));
    sortingSheet_->hide();
  }
  ascendingAction_->setChecked(list_->ascendingOrder());
  descendingAction_->setChecked(!list_->ascendingOrder());
}

void PreviewWindow::fitWindowToPicture() {
  if (view_->isOriginalImage()) {
    view_->setDrawImageOnly(true);
    return;
  }
  // The picture's share of the window is measured on a laid-out window.
  if (QLayout* layout = this->layout()) layout->activate();
  const QScreen* screen = this->screen();
  const QRect frame = frameGeometry();
  WindowFitting fitting;
  fitting.frame = {double(frame.x()), double(frame.y()), double(frame.width()), double(frame.height())};
  if (screen) {
    const QRect visible = screen->availableGeometry();
    fitting.visibleScreen = {double(visible.x()), double(visible.y()), double(visible.width()),
                             double(visible.height())};
  }
  const QImage& picture = view_->shownImage();
  fitting.imageSize = {double(picture.width()), double(picture.height())};
  // The overlay strip's band counts as window furniture: the picture fills the area above it.
  const QSize area = view_->pictureAreaSize();
  fitting.decoration = {double(frame.width() - area.width()), double(frame.height() - area.height())};
  const QSize minimum = minimumSizeHint().expandedTo(minimumSize());
  fitting.minimumSize = {double(minimum.width()), double(minimum.height())};
  fitting.backingScale = view_->pixelScaling();
  fitting.fittedOnce = previewFitsSizeFirstImage_;
  fitting.remainsSameSize = windowRemainsSameSize_;
  fitting.zoomed = isMaximized() || isFullScreen();
  const std::optional<raster::Rect> fitted = fittedWindowFrame(fitting);
  if (!fitted) return;
  view_->setDrawImageOnly(true);
  previewFitsSizeFirstImage_ = true;
  const QSize decoration = frame.size() - size();
  move(int(fitted->origin.x), int(fitted->origin.y));
  resize(int(fitted->size.width) - decoration.width(), int(fitted->size.height) - decoration.height());
}

// ---- Commands ------------------------------------------------------------------------------

bool PreviewWindow::sortBy(SortOrder order) {
  if (!list_->sortBy(order)) return false;
  if (!list_->canAcceptImages()) sortingSheet_->open();
  return true;
}

bool PreviewWindow::setAscendingOrder(bool ascending) {
  const bool changed = list_->setAscendingOrder(ascending);
  refreshBlockedState();
  return changed;
}

bool PreviewWindow::showNext() {
  revealOverlays_ = false;
  const bool moved = list_->progressUpImageUrl();
  revealOverlays_ = true;
  return moved;
}

bool PreviewWindow::showPrevious() {
  revealOverlays_ = false;
  const bool moved = list_->progressDownImageUrl();
  revealOverlays_ = true;
  return moved;
}

bool PreviewWindow::removeSelectedFiles() {
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows())
    rows.push_back(std::size_t(index.row()));
  if (rows.empty()) rows = list_->imagesIndexSet().indexSet;
  // The list's change notification refreshes the window.
  return list_->removeSelectedItemsWithIndexSet(rows, true);
}

void PreviewWindow::resetPreview() {
  list_->resetOriginalImage();
  refreshAll();
}

void PreviewWindow::openFilesWindow() {
  if (!list_->canAcceptImages()) return;
  if (list_->imageFileUrls().empty()) {
    auto* alert = new QMessageBox(QMessageBox::Information, tr("Start adding images."),
                                  tr("Start adding images."), QMessageBox::Ok, this);
    alert->setInformativeText(tr("Drag and drop images / folders into Preview Window or import from menu."));
    alert->setObjectName("emptyListAlert");
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->open();
    return;
  }
  filesWindow_->show();
  filesWindow_->raise();
  filesWindow_->activateWindow();
}

void PreviewWindow::selectAllFiles() {
  if (list_->canAcceptImages()) table_->selectAll();
}

void PreviewWindow::showInFileManager() {
  const auto& entries = list_->imageFileUrls();
  const std::size_t current = list_->imagesIndexSet().imageCount;
  if (current < entries.size()) desktop::showItemsInFileManager({entries[current]->path});
}

void PreviewWindow::openPathComponent(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error) return;
  if (std::filesystem::is_directory(status)) {
    if (QFileInfo(displayed(path)).isReadable())
      if (const desktop::Application browser = desktop::defaultApplicationForContentType("inode/directory");
          browser && !isThisApplication(browser))
        browser.launch({path});
    return;
  }
  if (!std::filesystem::is_regular_file(status)) return;
  const desktop::Application application =
      desktop::defaultApplicationForContentType(desktop::contentTypeForFile(path));
  if (application && !isThisApplication(application))
    application.launch({path});
}

void PreviewWindow::setProcessing(bool running) {
  list_->setBlocked(PreviewList::Block::Session, running);
}

std::optional<std::string> PreviewWindow::shownFile() const {
  return view_->previewURL();
}

std::vector<std::string> PreviewWindow::listedFiles() const {
  std::vector<std::string> paths;
  for (const auto& entry : list_->imageFileUrls()) paths.push_back(entry->path);
  return paths;
}

void PreviewWindow::setCropPicker(std::shared_ptr<CropPickerLink> picker) {
  view_->setCropPicker(std::move(picker));
}

}  // namespace velumar

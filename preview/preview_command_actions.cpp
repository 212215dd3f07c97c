#include "preview/preview_command_actions.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include "preview/image_browser_controller.h"
#include "preview/preview_commands.h"
#include "preview/preview_image_view.h"
#include "preview/preview_window.h"

namespace velumar {
namespace {

QAction* addItem(QMenu* menu, const char* name, const QString& title, QKeySequence keys,
                 std::function<void()> run) {
  QAction* action = menu->addAction(title);
  action->setObjectName(name);
  action->setShortcut(keys);
  QObject::connect(action, &QAction::triggered, menu, [run = std::move(run)] { run(); });
  return action;
}

QToolButton* addButton(QToolBar* bar, const char* name, const QString& title, const QString& tip) {
  auto* button = new QToolButton(bar);
  button->setObjectName(name);
  button->setText(title);
  button->setToolTip(tip);
  bar->addWidget(button);
  return button;
}

}  // namespace

void showLibraryWindow(ImageBrowserController& library) {
  library.show();
  library.raise();
  library.activateWindow();
}

QToolBar* addPreviewCommandActions(PreviewWindow& preview, PreviewCommands& commands,
                                   ImageBrowserController& library) {
  PreviewCommands* run = &commands;
  ImageBrowserController* grid = &library;

  // The Image menu: its items follow the list (off while it is empty), and
  // their shortcuts work anywhere in the preview window.
  QMenu* menu = preview.optionsMenu();
  menu->addSeparator();
  const std::vector<QAction*> items = {
      addItem(menu, "convertAllMenuItem", QObject::tr("Convert All Images"),
              QKeySequence(Qt::CTRL | Qt::Key_R), [run] { run->processPreviewImagesFrom(); }),
      addItem(menu, "convertSelectedMenuItem", QObject::tr("Convert Selected Images"),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
              [run] { run->processPreviewImagesInRangeFrom(); }),
      addItem(menu, "convertFoldersMenuItem", QObject::tr("Convert Images in Selected Folders"),
              QKeySequence(), [run] { run->processPreviewImagesInRangePathFrom(); }),
      addItem(menu, "removeFoldersMenuItem", QObject::tr("Remove Images in Selected Folders"), QKeySequence(),
              [run] { run->removePreviewImagesInRangePathFrom(); }),
      addItem(menu, "revealFoldersMenuItem", QObject::tr("Show Selected Folders in File Manager"),
              QKeySequence(), [run] { run->openPreviewImagesInRangePathFrom(); }),
      addItem(menu, "copyConvertedMenuItem", QObject::tr("Copy Converted Image"),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
              [run] { run->copyPreviewImageForApplication(); }),
      addItem(menu, "printMenuItem", QObject::tr("Print…"), QKeySequence::Print,
              [run] { run->printPreviewImage(); }),
      addItem(menu, "imageInfoMenuItem", QObject::tr("Image Info"), QKeySequence(Qt::CTRL | Qt::Key_I),
              [run] { run->openCloseInfoImageWindowFrom(); }),
      addItem(menu, "showLibraryMenuItem", QObject::tr("Show Library"), QKeySequence(Qt::CTRL | Qt::Key_L),
              [grid] { showLibraryWindow(*grid); }),
      addItem(menu, "largePreviewMenuItem", QObject::tr("Large Preview"), QKeySequence(Qt::CTRL | Qt::Key_Y),
              [grid] { grid->largePreviewFrom(); }),
  };
  for (QAction* item : items) preview.addAction(item);
  QObject::connect(preview.previewFilesMenuItem(), &QAction::triggered, &preview,
                   [run] { run->processPreviewImagesFrom(); });

  // The tool bar: buttons act once per press (they are not toggles).
  auto* bar = new QToolBar(QObject::tr("Commands"), &preview);
  bar->setObjectName("previewCommandBar");
  bar->setMovable(false);
  QToolButton* convert = addButton(bar, "convertAllButton", QObject::tr("Convert All"),
                                   QObject::tr("Convert every listed image with the current settings"));
  QObject::connect(convert, &QToolButton::clicked, convert,
                   [run, convert] { run->processPreviewImagesFrom(convert); });
  // Share offers its menu as soon as the button goes down.
  QToolButton* share = addButton(bar, "shareButton", QObject::tr("Share"),
                                 QObject::tr("Convert the shown image and open or send the result"));
  QObject::connect(share, &QToolButton::pressed, share, [run, share] { run->sharePreviewImageFrom(share); });
  QToolButton* info =
      addButton(bar, "imageInfoButton", QObject::tr("Info"), QObject::tr("Show the image information"));
  QObject::connect(info, &QToolButton::clicked, info,
                   [run, info] { run->openCloseInfoImageWindowFrom(info); });
  QToolButton* libraryButton = addButton(bar, "showLibraryButton", QObject::tr("Library"),
                                         QObject::tr("Show the listed images as a grid"));
  QObject::connect(libraryButton, &QToolButton::clicked, libraryButton, [grid] { showLibraryWindow(*grid); });
  preview.addToolBar(Qt::TopToolBarArea, bar);

  // Share works on the shown image: its button is on only while an entry is shown.
  const auto followList = [&preview, share] { share->setEnabled(preview.shownFile().has_value()); };
  QObject::connect(preview.previewView(), &PreviewImageView::pictureChanged, share, followList);
  QObject::connect(&preview, &PreviewWindow::listRefreshed, share, followList);
  followList();

  // The grid's menus: the selected cells, and the whole list.
  auto* cellMenu = new QMenu(&library);
  cellMenu->setObjectName("optionsCellImageBrowserMenu");
  addItem(cellMenu, "gridConvertSelectedMenuItem", QObject::tr("Convert Selected Images"), QKeySequence(),
          [run] { run->processPreviewImagesInRangeFrom(); });
  addItem(cellMenu, "gridCopyConvertedMenuItem", QObject::tr("Copy Converted Image"), QKeySequence(),
          [run] { run->copyPreviewImageForApplication(); });
  addItem(cellMenu, "gridPrintMenuItem", QObject::tr("Print…"), QKeySequence(),
          [run] { run->printPreviewImage(); });
  addItem(cellMenu, "gridImageInfoMenuItem", QObject::tr("Image Info"), QKeySequence(),
          [run] { run->openCloseInfoImageWindowFrom(); });
  addItem(cellMenu, "gridLargePreviewMenuItem", QObject::tr("Large Preview"), QKeySequence(),
          [grid] { grid->largePreviewFrom(); });
  auto* backgroundMenu = new QMenu(&library);
  backgroundMenu->setObjectName("optionsImageBrowserMenu");
  addItem(backgroundMenu, "gridConvertAllMenuItem", QObject::tr("Convert All Images"), QKeySequence(),
          [run] { run->processPreviewImagesFrom(); });
  library.setMenus(cellMenu, backgroundMenu);
  return bar;
}

}  // namespace velumar

#include "app/app_menus.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "app/app_delegate.h"
#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "preview/preview_window.h"

namespace velumar {

namespace {

// The delegate's commands belong to the whole application: their keys work
// from whichever of its windows is active, as long as no modal dialog is up.
template <typename Slot>
QAction* addCommand(QMenu* menu, const char* title, AppDelegate& delegate, Slot slot,
                    QKeySequence shortcut = {}) {
  QAction* action = menu->addAction(QString::fromUtf8(title));
  action->setShortcut(shortcut);
  action->setShortcutContext(Qt::ApplicationShortcut);
  QObject::connect(action, &QAction::triggered, &delegate, [&delegate, slot] { slot(delegate); });
  return action;
}

void addImportCommands(QMenu* menu, AppDelegate& delegate) {
  addCommand(
      menu, "Process Images…", delegate, [](AppDelegate& d) { d.importImagesFrom(false); },
      QKeySequence::Open);
  addCommand(menu, "Process Folder…", delegate, [](AppDelegate& d) { d.importImagesFrom(true); });
  menu->addSeparator();
  addCommand(menu, "Import Images to Preview…", delegate,
             [](AppDelegate& d) { d.importImagesForPreviewFrom(false); });
  addCommand(menu, "Import Folder to Preview…", delegate,
             [](AppDelegate& d) { d.importImagesForPreviewFrom(true); });
}

}  // namespace

QMenu* buildAppMenu(AppDelegate& delegate, QWidget* parent) {
  auto* menu = new QMenu(parent);
  menu->setObjectName(QStringLiteral("appMenu"));
  addCommand(menu, "Show Velumar", delegate, [](AppDelegate& d) { d.showBringToFrontAppFrom(); });
  addCommand(menu, "Hide or Show Velumar", delegate, [](AppDelegate& d) { d.showHideAppFrom(); });
  menu->addSeparator();
  addImportCommands(menu, delegate);
  menu->addSeparator();
  addCommand(menu, "Preferences…", delegate, [](AppDelegate& d) { d.showHidePreferencesFrom(); });
  menu->addSeparator();
  addCommand(menu, "Quit Velumar", delegate, [](AppDelegate& d) { d.quitAppMenuFrom(); });
  return menu;
}

void buildMenuBar(AppDelegate& delegate, ConverterWindow& window) {
  QMenuBar* bar = window.menuBar();
  QMenu* file = new QMenu(QStringLiteral("&File"), bar);
  bar->insertMenu(bar->actions().value(0), file);
  addImportCommands(file, delegate);
  file->addSeparator();
  // Converts every listed image; titled with how many there are.
  file->addAction(delegate.previewWindow().previewFilesMenuItem());
  addCommand(file, "Remove All Images from Preview…", delegate,
             [](AppDelegate& d) { d.resetOriginalPreviewImageFrom(); });
  file->addSeparator();
  // Written out: Qt's standard keys for these two are empty on some of
  // its platforms (Preferences everywhere but one, Quit offscreen).
  addCommand(
      file, "Preferences…", delegate, [](AppDelegate& d) { d.showHidePreferencesFrom(); },
      QKeySequence(Qt::CTRL | Qt::Key_Comma));
  addCommand(
      file, "Quit", delegate, [](AppDelegate& d) { d.quitAppMenuFrom(); },
      QKeySequence(Qt::CTRL | Qt::Key_Q));

  QMenu* format = bar->addMenu(QStringLiteral("F&ormat"));
  addCommand(
      format, "Watermark Font…", delegate, [](AppDelegate& d) { d.openFontPanel(); },
      QKeySequence(Qt::CTRL | Qt::Key_T));

  QMenu* windowMenu = bar->addMenu(QStringLiteral("&Window"));
  addCommand(windowMenu, "Bring Converter to Front", delegate,
             [](AppDelegate& d) { d.showBringToFrontAppFrom(); });
  addCommand(windowMenu, "Show Preview", delegate,
             [](AppDelegate& d) { d.converterView().openClosePreviewWithActivationFrom(); });
  addCommand(
      windowMenu, "Hide Velumar", delegate, [](AppDelegate& d) { d.showHideAppFrom(); },
      QKeySequence(Qt::CTRL | Qt::Key_H));

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  addCommand(help, "Welcome to Velumar", delegate, [](AppDelegate& d) { d.beginSheetForFirstOpenFrom(); });
}

}  // namespace velumar

#include "converter/converter_window.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenuBar>
#include <QScreen>

#include "converter/converter_view.h"
#include "converter/presets_window.h"
#include "converter/window_placement.h"

namespace velumar {

ConverterWindow::ConverterWindow(QWidget* parent)
    : QMainWindow(parent), view_(new ConverterView(this)), presets_(new PresetsWindow(*view_, view_)) {
  setWindowTitle(QStringLiteral("Velumar"));
  setCentralWidget(view_);
  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  undo_ = edit->addAction(QStringLiteral("Undo"));
  undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  redo_ = edit->addAction(QStringLiteral("Redo"));
  redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  // Off until the filter values have something to undo or redo.
  undo_->setEnabled(false);
  redo_->setEnabled(false);
  presets_->fillMenu(menuBar()->addMenu(QStringLiteral("&Presets")));
  resize(620, 640);
  // Undo and Redo follow the filter values' stacks.
  view_->setUndoActions(undo_, redo_);
}

void ConverterWindow::hideShowWindowRelativeToMouse() {
  if (view_->isConverterWindowVisible() && !view_->isApplicationHidden()) {
    view_->hideApplication();
    return;
  }
  if (!canPlaceWindowsAtTheMouse()) {
    view_->activateAppWindow();
    return;
  }
  QList<QRect> screens;
  for (const QScreen* screen : QGuiApplication::screens()) screens << screen->availableGeometry();
  // Moved while transparent, so it is not seen where it was.
  setWindowOpacity(0.0);
  view_->activateAppWindow();
  if (isMinimized()) showNormal();
  move(windowOriginNearMouse(QCursor::pos(), frameGeometry().size(), screens));
  setWindowOpacity(1.0);
}

}  // namespace velumar

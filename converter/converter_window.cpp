#include "converter/converter_window.h"

#include <QAction>
#include <QKeySequence>
#include <QMenuBar>

#include "converter/converter_view.h"
#include "converter/modify_controls.h"

namespace velumar {

ConverterWindow::ConverterWindow(QWidget* parent) : QMainWindow(parent), view_(new ConverterView(this)) {
  setWindowTitle(QStringLiteral("Velumar"));
  setCentralWidget(view_);
  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  undo_ = edit->addAction(QStringLiteral("Undo"));
  undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  redo_ = edit->addAction(QStringLiteral("Redo"));
  redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  // They follow the filter values' undo and redo stacks.
  view_->modifyControls().setUndoActions(undo_, redo_);
  resize(620, 640);
}

}  // namespace velumar

#include "converter/converter_window.h"

#include <QAction>
#include <QKeySequence>
#include <QMenuBar>

#include "converter/converter_view.h"

namespace velumar {

ConverterWindow::ConverterWindow(QWidget* parent) : QMainWindow(parent), view_(new ConverterView(this)) {
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
  resize(620, 640);
  // Undo and Redo follow the filter values' stacks.
  view_->setUndoActions(undo_, redo_);
}

}  // namespace velumar

#pragma once
// The converter window: an ordinary main window around the converter view,
// with the Edit menu's Undo and Redo.

#include <QMainWindow>

class QAction;

namespace velumar {

class ConverterView;

class ConverterWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit ConverterWindow(QWidget* parent = nullptr);

  ConverterView* converterView() const { return view_; }
  QAction* undoMenuItem() const { return undo_; }
  QAction* redoMenuItem() const { return redo_; }

 private:
  ConverterView* view_;
  QAction* undo_;
  QAction* redo_;
};

}  // namespace velumar

#pragma once
// The converter window: an ordinary main window around the converter view,
// with the Edit menu's Undo and Redo and the Presets menu.

#include <QMainWindow>

class QAction;

namespace velumar {

class ConverterView;
class PresetsWindow;

class ConverterWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit ConverterWindow(QWidget* parent = nullptr);

  ConverterView* converterView() const { return view_; }
  PresetsWindow* presetsWindow() const { return presets_; }
  QAction* undoMenuItem() const { return undo_; }
  QAction* redoMenuItem() const { return redo_; }

  // Hides the application when the window is shown; otherwise brings the
  // window forward, on X11 with its lower-right corner at the mouse.
  void hideShowWindowRelativeToMouse();

 private:
  ConverterView* view_;
  PresetsWindow* presets_;
  QAction* undo_;
  QAction* redo_;
};

}  // namespace velumar

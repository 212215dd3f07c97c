#pragma once
// A frameless, translucent window that the user moves by dragging its
// background (through the window system, so it works under Wayland too).
// It takes the keyboard focus like any other window.

#include <QWidget>

namespace velumar {

class CustomWindow : public QWidget {
  Q_OBJECT

 public:
  explicit CustomWindow(QWidget* parent = nullptr);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace velumar

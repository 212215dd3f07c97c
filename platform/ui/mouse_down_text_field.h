#pragma once
// A text field that stands for a choice made elsewhere (the output folder):
// a left click into the enabled field asks for the choice on the next pass
// of the event loop, once the click itself has been handled. A disabled
// field takes no clicks; a right click gives the field's context menu.

#include <QLineEdit>

namespace ui {

class MouseDownTextField : public QLineEdit {
  Q_OBJECT

 public:
  using QLineEdit::QLineEdit;

 signals:
  void clickedToChoose();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace ui

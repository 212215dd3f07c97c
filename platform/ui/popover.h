#pragma once
// A panel shown beside its button: a frameless tool window at the button's
// right edge (its left edge when there is no room on the right). Several
// can be open at once, and the user works with other controls while one is
// open; it closes only when asked to, when its button is toggled off, or
// by Escape while it has the focus (it takes the focus when it opens).

#include <QFrame>
#include <QPointer>

class QAbstractButton;

namespace ui {

class Popover : public QFrame {
  Q_OBJECT

 public:
  explicit Popover(QWidget* content, QWidget* parent = nullptr);

  // Ties the popover to a checkable button: checking it shows the popover
  // beside it, unchecking closes it, and closing turns the button off.
  void attachToButton(QAbstractButton* button);
  QAbstractButton* button() const { return button_; }

  // Shows the popover beside anchor's right edge, or its left edge when the
  // screen has no room on the right, and gives it the keyboard focus.
  void showRelativeTo(QWidget* anchor);

 signals:
  void closed();

 protected:
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QPointer<QAbstractButton> button_;
};

}  // namespace ui

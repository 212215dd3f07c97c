#pragma once
// A panel shown beside its button: a frameless tool window at the button's
// right edge (its left edge when there is no room on the right). Several
// can be open at once, and the user works with other controls while one is
// open; it closes when asked to, when its button is toggled off, by Escape
// while it has the focus (it takes the focus when it opens), and when the
// window of its parent widget is hidden or minimised.
//
// It belongs to that window: the window manager is told it is transient
// for it (so it stays above it, and goes behind other windows, is
// minimised and changes desktop only with it) and keeps it out of the task
// bar and the pager.

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
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Ties the popover's window to the window of its parent widget, which may
  // have changed since it was made.
  void attachToOwnerWindow();

  QPointer<QAbstractButton> button_;
  QPointer<QWidget> owner_;
};

// The window a dialog asked for by `widget` belongs to: the popover that has
// the focus when the request comes from it or from the window behind it,
// else widget's window. A window manager may give a new dialog the focus
// only while the window it belongs to has it (icewm does): a dialog of the
// window behind a focused popover would show without the keyboard.
QWidget* dialogParent(QWidget* widget);

}  // namespace ui

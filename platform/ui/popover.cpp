#include "platform/ui/popover.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QWindow>

#include "platform/ui/task_bar_skip.h"

namespace ui {

Popover::Popover(QWidget* content, QWidget* parent) : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint) {
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  if (content) layout->addWidget(content);
}

void Popover::attachToButton(QAbstractButton* button) {
  button_ = button;
  if (!button) return;
  button->setCheckable(true);
  connect(button, &QAbstractButton::toggled, this, [this](bool on) {
    if (on && !isVisible()) {
      showRelativeTo(button_);
    } else if (!on && isVisible()) {
      hide();
    }
  });
}

void Popover::showRelativeTo(QWidget* anchor) {
  adjustSize();
  QPoint position;
  if (anchor) {
    const QPoint topRight = anchor->mapToGlobal(QPoint(anchor->width(), 0));
    position = topRight + QPoint(4, (anchor->height() - height()) / 2);
    const QScreen* screen = anchor->screen();
    if (screen && position.x() + width() > screen->availableGeometry().right()) {
      position.setX(anchor->mapToGlobal(QPoint(0, 0)).x() - width() - 4);
    }
    if (screen) {
      const QRect area = screen->availableGeometry();
      position.setY(std::clamp(position.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
  }
  move(position);
  show();
  raise();
  // The popover takes the keyboard, so Escape closes it at once.
  activateWindow();
  setFocus(Qt::PopupFocusReason);
}

void Popover::attachToOwnerWindow() {
  QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
  if (owner != owner_) {
    if (owner_) owner_->removeEventFilter(this);
    owner_ = owner;
    if (owner_) owner_->installEventFilter(this);
  }
  QWindow* window = windowHandle();
  if (!window) return;
  if (owner_ && owner_->windowHandle()) window->setTransientParent(owner_->windowHandle());
  keepOutOfTaskBar(*window);
}

bool Popover::eventFilter(QObject* watched, QEvent* event) {
  // A hidden or minimised window takes its popovers along.
  if (watched == owner_ && event->type() == QEvent::Hide && isVisible()) close();
  return QFrame::eventFilter(watched, event);
}

void Popover::showEvent(QShowEvent* event) {
  // Before the window is mapped, when the window manager reads its hints.
  if (!event->spontaneous()) attachToOwnerWindow();
  QFrame::showEvent(event);
}

void Popover::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    event->accept();
    return;
  }
  QFrame::keyPressEvent(event);
}

void Popover::hideEvent(QHideEvent* event) {
  QFrame::hideEvent(event);
  if (button_ && button_->isChecked()) {
    const QSignalBlocker blocker(button_);
    button_->setChecked(false);
    button_->update();
  }
  emit closed();
}

QWidget* dialogParent(QWidget* widget) {
  QWidget* window = widget ? widget->window() : nullptr;
  auto* popover = qobject_cast<Popover*>(QApplication::activeWindow());
  if (popover && window &&
      (popover == window || (popover->parentWidget() && popover->parentWidget()->window() == window)))
    return popover;
  return window;
}

}  // namespace ui

#pragma once
// Key presses as the window system delivers them to the recorder: with the
// physical key's scan code (evdev + 8), a shortcut override first.

#include <QApplication>
#include <QKeyEvent>

namespace recorder_keys {

// Sends the override and the press; true when the press was consumed.
inline bool press(QObject* target, Qt::Key key, Qt::KeyboardModifiers modifiers, int evdev) {
  QKeyEvent override(QEvent::ShortcutOverride, key, modifiers, quint32(evdev + 8), 0, 0);
  override.ignore();
  QApplication::sendEvent(target, &override);
  QKeyEvent event(QEvent::KeyPress, key, modifiers, quint32(evdev + 8), 0, 0);
  event.ignore();
  return QApplication::sendEvent(target, &event) && event.isAccepted();
}

inline void release(QObject* target, Qt::Key key, Qt::KeyboardModifiers modifiers, int evdev) {
  QKeyEvent event(QEvent::KeyRelease, key, modifiers, quint32(evdev + 8), 0, 0);
  QApplication::sendEvent(target, &event);
}

}  // namespace recorder_keys

#pragma once
// The shortcut recorder: a push button split into the shortcut area, which
// shows the shortcut or a prompt, and a narrow hint area at its right end
// with an erase or cancel glyph. Clicking records the next valid, free
// combination; only one recorder records at a time in the application.

#include <QPointer>
#include <QWidget>

#include <optional>

#include "shortcut/key_shortcut.h"

class QKeyEvent;

namespace shortcut {

class KeyShortcutDefaultsObserver;

class KeyShortcutView : public QWidget {
  Q_OBJECT

 public:
  explicit KeyShortcutView(QWidget* parent = nullptr);
  ~KeyShortcutView() override;

  const std::optional<KeyShortcut>& shortcutValue() const { return shortcutValue_; }
  void setShortcutValue(std::optional<KeyShortcut> value);

  bool isRecording() const { return recording_; }
  void setRecording(bool recording);

  const QString& shortcutPlaceholder() const { return placeholder_; }
  void setShortcutPlaceholder(const QString& placeholder);

  // 0 round rect, 1 textured, 2 rounded: the width of the hint area.
  int appearance() const { return appearance_; }
  void setAppearance(int appearance);
  double hintWidth() const;

  bool isHinting() const { return hinting_; }
  void setHinting(bool hinting);

  QRect shortcutRect() const;
  QRect hintRect() const;
  // What the view shows now in its shortcut area and its hint area.
  QString shortcutText() const;
  QString hintText() const;

  // The tool tip at a point of the view: what a click there does, or that
  // global shortcuts are not available here.
  QString toolTipAt(QPoint position) const;

  // Ties the view to a user-defaults key (empty detaches, restoring the
  // shortcut the view had before).
  QString associatedUserDefaultsKey() const;
  void setAssociatedUserDefaultsKey(const QString& key);

  QSize sizeHint() const override;

 signals:
  void shortcutValueChanged();
  // A combination that cannot be a shortcut was pressed (and beeped at).
  void invalidCombination();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  friend class RecorderKeyMonitor;
  // A key event while recording; true when it was consumed.
  bool handleRecordingKey(QKeyEvent* event);
  void showTakenAlert(const KeyShortcut& shortcut, const QString& message);

  std::optional<KeyShortcut> shortcutValue_;
  QString placeholder_;
  bool recording_ = false;
  bool hinting_ = false;
  int appearance_ = 0;
  std::unique_ptr<KeyShortcutDefaultsObserver> defaultsObserver_;
};

}  // namespace shortcut

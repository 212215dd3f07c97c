#include "shortcut/key_shortcut_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolTip>

#include "shortcut/hot_key_backend.h"
#include "shortcut/key_shortcut_defaults_observer.h"
#include "shortcut/recorder_key_monitor.h"

namespace shortcut {

namespace {

const QString kEraseGlyph = QStringLiteral("\u232B");
const QString kCancelGlyph = QStringLiteral("\u238B");

bool isModifierKey(int key) {
  switch (key) {
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Shift:
      return true;
    default:
      return false;
  }
}

}  // namespace

KeyShortcutView::KeyShortcutView(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  QFont small = font();
  small.setPointSizeF(11);
  setFont(small);
}

KeyShortcutView::~KeyShortcutView() {
  defaultsObserver_.reset();
  if (recording_) {
    RecorderKeyMonitor::instance().setKeyMonitoring(false);
    RecorderKeyMonitor::instance().setResignObserving(false);
  }
}

QSize KeyShortcutView::sizeHint() const {
  return {160, 24};
}

void KeyShortcutView::setShortcutValue(std::optional<KeyShortcut> value) {
  shortcutValue_ = std::move(value);
  update();
  emit shortcutValueChanged();
}

void KeyShortcutView::setShortcutPlaceholder(const QString& placeholder) {
  placeholder_ = placeholder;
  update();
}

void KeyShortcutView::setRecording(bool recording) {
  if (recording) {
    KeyShortcutView* other = RecorderKeyMonitor::recordingView();
    if (other != nullptr && other != this) other->setRecording(false);
    RecorderKeyMonitor::setRecordingView(this);
    if (!isEnabled()) return;
  }
  if (recording == recording_) return;
  recording_ = recording;
  placeholder_.clear();
  RecorderKeyMonitor::instance().setKeyMonitoring(recording);
  RecorderKeyMonitor::instance().setResignObserving(recording);
  update();
}

void KeyShortcutView::setAppearance(int appearance) {
  if (appearance == appearance_) return;
  appearance_ = appearance;
  update();
}

double KeyShortcutView::hintWidth() const {
  switch (appearance_) {
    case 1:
      return 25.0;
    case 2:
      return 26.0;
    default:
      return 23.0;
  }
}

void KeyShortcutView::setHinting(bool hinting) {
  if (hinting == hinting_) return;
  hinting_ = hinting;
  update();
}

QRect KeyShortcutView::hintRect() const {
  const int width = static_cast<int>(hintWidth());
  return QRect(rect().right() - width + 1, 0, width, height());
}

QRect KeyShortcutView::shortcutRect() const {
  return QRect(0, 0, std::max(0, this->width() - hintRect().width()), height());
}

QString KeyShortcutView::shortcutText() const {
  if (!recording_) {
    return shortcutValue_ ? QString::fromStdString(shortcutValue_->description()) : tr("Record Shortcut");
  }
  if (hinting_) return shortcutValue_ ? tr("Use Old Shortcut") : tr("Cancel");
  if (!placeholder_.isEmpty()) return placeholder_;
  return shortcutValue_ ? tr("Type New Shortcut") : tr("Type Shortcut");
}

QString KeyShortcutView::hintText() const {
  if (recording_) return kCancelGlyph;
  return shortcutValue_ ? kEraseGlyph : QString();
}

void KeyShortcutView::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  option.initFrom(this);
  option.state |= recording_ ? (QStyle::State_On | QStyle::State_Sunken) : QStyle::State_Raised;
  painter.drawControl(QStyle::CE_PushButtonBevel, option);
  const QPalette::ColorRole role = QPalette::ButtonText;
  if (!recording_ && !shortcutValue_) {
    painter.drawItemText(rect(), Qt::AlignCenter, palette(), isEnabled(), shortcutText(), role);
    return;
  }
  painter.drawItemText(hintRect(), Qt::AlignCenter, palette(), isEnabled(), hintText(), role);
  painter.drawItemText(shortcutRect(), Qt::AlignCenter, palette(), isEnabled(), shortcutText(), role);
}

void KeyShortcutView::mousePressEvent(QMouseEvent* event) {
  if (!isEnabled() || event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  const QPoint position = event->position().toPoint();
  if (recording_) {
    if (hintRect().contains(position)) setRecording(false);
  } else if (shortcutValue_ && !shortcutRect().contains(position)) {
    setShortcutValue(std::nullopt);
  } else {
    setRecording(true);
  }
}

void KeyShortcutView::mouseMoveEvent(QMouseEvent* event) {
  setHinting(isEnabled() && hintRect().contains(event->position().toPoint()));
  QWidget::mouseMoveEvent(event);
}

void KeyShortcutView::leaveEvent(QEvent* event) {
  setHinting(false);
  QWidget::leaveEvent(event);
}

bool KeyShortcutView::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = toolTipAt(help->pos());
    if (tip.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), tip, this);
    }
    return true;
  }
  return QWidget::event(event);
}

QString KeyShortcutView::toolTipAt(QPoint position) const {
  const QString notice = globalShortcutsNotice();
  if (!notice.isEmpty()) return notice;
  if (!shortcutValue_ || recording_ || !isEnabled()) return {};
  return hintRect().contains(position) ? tr("Delete shortcut") : tr("Click to record new shortcut");
}

void KeyShortcutView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) {
    setRecording(false);
    setHinting(false);
    update();
  }
  QWidget::changeEvent(event);
}

bool KeyShortcutView::handleRecordingKey(QKeyEvent* event) {
  const KeyShortcut pressed = KeyShortcut::fromEvent(*event);
  if (event->type() == QEvent::KeyRelease) {
    // Qt reports a modifier key's event with the modifiers held after it.
    if (isModifierKey(event->key()))
      setShortcutPlaceholder(QString::fromStdString(pressed.modifierFlagsString()));
    return true;
  }
  if (event->type() == QEvent::ShortcutOverride) {
    // Closing and quitting go on; every other shortcut is kept from menus.
    if (pressed.shouldBypass()) {
      setRecording(false);
      return false;
    }
    event->accept();
    return true;
  }
  event->accept();
  if (pressed.keyCode() == keys::kDelete || pressed.keyCode() == keys::kForwardDelete) {
    setShortcutValue(std::nullopt);
    setRecording(false);
    return true;
  }
  if (pressed.keyCode() == keys::kEscape) {
    setRecording(false);
    return true;
  }
  if (pressed.shouldBypass()) {
    setRecording(false);
    return false;
  }
  if (pressed.keyCodeString().empty()) {
    setShortcutPlaceholder(QString::fromStdString(pressed.modifierFlagsString()));
    return true;
  }
  if (!pressed.isValid()) {
    QApplication::beep();
    emit invalidCombination();
    return true;
  }
  QString message;
  if (pressed.isTakenError(&message)) {
    showTakenAlert(pressed, message);
    return true;
  }
  setShortcutValue(pressed);
  setRecording(false);
  return true;
}

void KeyShortcutView::showTakenAlert(const KeyShortcut& shortcut, const QString& message) {
  RecorderKeyMonitor& monitor = RecorderKeyMonitor::instance();
  monitor.setKeyMonitoring(false);
  monitor.setResignObserving(false);
  QMessageBox alert(window());
  alert.setIcon(QMessageBox::Critical);
  alert.setText(
      tr("The key combination %1 cannot be used").arg(QString::fromStdString(shortcut.description())));
  alert.setInformativeText(message);
  alert.setStandardButtons(QMessageBox::Ok);
  alert.exec();
  setShortcutPlaceholder({});
  if (recording_) {
    monitor.setResignObserving(true);
    monitor.setKeyMonitoring(true);
  }
}

QString KeyShortcutView::associatedUserDefaultsKey() const {
  return defaultsObserver_ ? defaultsObserver_->userDefaultsKey() : QString();
}

void KeyShortcutView::setAssociatedUserDefaultsKey(const QString& key) {
  defaultsObserver_.reset();
  if (!key.isEmpty()) defaultsObserver_ = std::make_unique<KeyShortcutDefaultsObserver>(*this, key);
}

}  // namespace shortcut

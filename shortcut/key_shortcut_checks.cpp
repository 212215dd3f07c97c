// Whether a shortcut may be used: validity, the keys recording lets through,
// and conflicts with menus and other programs' global shortcuts.
#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include "shortcut/key_shortcut.h"
#include "shortcut/x11_key_grabs.h"

namespace shortcut {

namespace {

bool allowsOption = false;

// F1 to F20 work without modifiers.
constexpr std::uint16_t kFunctionKeys[] = {64,  79,  80,  90,  96,  97,  98,  99,  100, 101,
                                           103, 105, 106, 107, 109, 111, 113, 118, 120, 122};

struct QtKeyRow {
  std::uint16_t keyCode;
  Qt::Key key;
};

// Keys whose Qt key is not the character they type.
constexpr QtKeyRow kQtKeys[] = {
    {36, Qt::Key_Return}, {48, Qt::Key_Tab},     {49, Qt::Key_Space},     {51, Qt::Key_Backspace},
    {53, Qt::Key_Escape}, {76, Qt::Key_Enter},   {114, Qt::Key_Insert},   {115, Qt::Key_Home},
    {119, Qt::Key_End},   {116, Qt::Key_PageUp}, {121, Qt::Key_PageDown}, {117, Qt::Key_Delete},
    {123, Qt::Key_Left},  {124, Qt::Key_Right},  {125, Qt::Key_Down},     {126, Qt::Key_Up},
    {122, Qt::Key_F1},    {120, Qt::Key_F2},     {99, Qt::Key_F3},        {118, Qt::Key_F4},
    {96, Qt::Key_F5},     {97, Qt::Key_F6},      {98, Qt::Key_F7},        {100, Qt::Key_F8},
    {101, Qt::Key_F9},    {109, Qt::Key_F10},    {103, Qt::Key_F11},      {111, Qt::Key_F12},
    {105, Qt::Key_F13},   {107, Qt::Key_F14},    {113, Qt::Key_F15},      {106, Qt::Key_F16},
    {64, Qt::Key_F17},    {79, Qt::Key_F18},     {80, Qt::Key_F19},       {90, Qt::Key_F20},
};

// The shortcut as Qt names it in menus, or nothing for keys without one.
std::optional<QKeyCombination> qtCombination(const KeyShortcut& shortcut) {
  std::optional<Qt::Key> key;
  for (const QtKeyRow& row : kQtKeys)
    if (row.keyCode == shortcut.keyCode()) key = row.key;
  if (!key) {
    const QString text = QString::fromStdString(shortcut.keyCodeString());
    if (text.size() != 1) return std::nullopt;
    key = static_cast<Qt::Key>(text.at(0).toUpper().unicode());
  }
  Qt::KeyboardModifiers qtModifiers;
  const std::uint64_t flags = shortcut.modifierFlags();
  if (flags & modifiers::kCommand) qtModifiers |= Qt::ControlModifier;
  if (flags & modifiers::kOption) qtModifiers |= Qt::AltModifier;
  if (flags & modifiers::kControl) qtModifiers |= Qt::MetaModifier;
  if (flags & modifiers::kShift) qtModifiers |= Qt::ShiftModifier;
  return QKeyCombination(qtModifiers, *key);
}

const QAction* actionUsing(const QList<QAction*>& actions, QKeyCombination combination) {
  for (const QAction* action : actions) {
    if (action->menu() != nullptr) {
      if (const QAction* hit = actionUsing(action->menu()->actions(), combination)) return hit;
    }
    for (const QKeySequence& sequence : action->shortcuts()) {
      if (sequence.isEmpty()) continue;
      const QKeyCombination first = sequence[0];
      if (first.key() == combination.key() &&
          (first.keyboardModifiers() & ~Qt::KeypadModifier) == combination.keyboardModifiers())
        return action;
    }
  }
  return nullptr;
}

std::vector<const QMenuBar*> applicationMenuBars() {
  std::vector<const QMenuBar*> bars;
  for (const QWidget* window : QApplication::topLevelWidgets())
    for (const QMenuBar* bar : window->findChildren<QMenuBar*>()) bars.push_back(bar);
  return bars;
}

}  // namespace

bool KeyShortcut::allowsAnyHotkeyWithOptionModifier() {
  return allowsOption;
}
void KeyShortcut::setAllowsAnyHotkeyWithOptionModifier(bool allows) {
  allowsOption = allows;
}

bool KeyShortcut::shouldBypass() const {
  if (modifierFlags_ != modifiers::kCommand) return false;
  const std::string key = keyCodeString();
  return key == "W" || key == "Q";
}

bool KeyShortcut::isValid() const {
  for (std::uint16_t functionKey : kFunctionKeys)
    if (keyCode_ == functionKey) return true;
  if (modifierFlags_ == 0) return false;
  if (modifierFlags_ & (modifiers::kCommand | modifiers::kControl)) return true;
  if (!(modifierFlags_ & modifiers::kOption)) return false;
  return keyCode_ == keys::kSpace || keyCode_ == keys::kEscape || allowsOption;
}

bool KeyShortcut::isTakenInMenus(const std::vector<const QMenuBar*>& menuBars, QString* error) const {
  const auto combination = qtCombination(*this);
  if (!combination) return false;
  for (const QMenuBar* bar : menuBars) {
    const QAction* action = actionUsing(bar->actions(), *combination);
    if (action == nullptr) continue;
    if (error != nullptr) {
      *error =
          QStringLiteral("This shortcut cannot be used because it is already used by the menu item ‘%1’.")
              .arg(QString(action->text()).remove(QLatin1Char('&')));
    }
    return true;
  }
  return false;
}

bool KeyShortcut::isTakenError(QString* error) const {
  const auto grab = x11::grabFor(*this);
  if (grab && x11::isGrabbedElsewhere(*grab)) {
    if (error != nullptr) {
      *error = QStringLiteral(
          "This combination cannot be used because it is already used by a system-wide keyboard shortcut.\n"
          "If you really want to use this key combination, most shortcuts can be changed in your desktop's "
          "keyboard settings.");
    }
    return true;
  }
  return isTakenInMenus(applicationMenuBars(), error);
}

}  // namespace shortcut

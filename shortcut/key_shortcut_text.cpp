// The texts of a shortcut: modifier names and the key's name.
#include <QString>

#include "shortcut/key_shortcut.h"
#include "shortcut/keyboard_layout.h"

namespace shortcut {

namespace {

struct FixedText {
  std::uint16_t keyCode;
  const char* text;
};

// Keys whose text does not come from the layout.
constexpr FixedText kFixedTexts[] = {
    {36, "\u21A9"},  {48, "\u21E5"},  {49, "Space"},   {51, "\u232B"},  {53, "\u238B"},  {64, "F17"},
    {79, "F18"},     {80, "F19"},     {65, "."},       {67, "*"},       {69, "+"},       {75, "/"},
    {81, "="},       {71, "\u2327"},  {76, "\u2305"},  {78, "\u2013"},  {82, "0"},       {83, "1"},
    {84, "2"},       {85, "3"},       {86, "4"},       {87, "5"},       {88, "6"},       {89, "7"},
    {91, "8"},       {92, "9"},       {122, "F1"},     {120, "F2"},     {99, "F3"},      {118, "F4"},
    {96, "F5"},      {97, "F6"},      {98, "F7"},      {100, "F8"},     {101, "F9"},     {109, "F10"},
    {103, "F11"},    {111, "F12"},    {105, "F13"},    {107, "F14"},    {113, "F15"},    {106, "F16"},
    {114, "?"},      {115, "\u2196"}, {119, "\u2198"}, {116, "\u21DE"}, {121, "\u21DF"}, {117, "\u2326"},
    {123, "\u2190"}, {124, "\u2192"}, {125, "\u2193"}, {126, "\u2191"},
};

// Letters, digits, punctuation and symbols only: control characters and
// white space name no key.
bool isPrintable(const QString& text) {
  for (const QChar c : text) {
    if (!(c.isLetterOrNumber() || c.isPunct() || c.isSymbol() || c.isMark())) return false;
  }
  return !text.isEmpty();
}

const char* fixedText(std::uint64_t keyCode) {
  for (const FixedText& fixed : kFixedTexts)
    if (fixed.keyCode == keyCode) return fixed.text;
  return nullptr;
}

}  // namespace

std::string KeyShortcut::modifierFlagsString() const {
  std::string text;
  if (modifierFlags_ & modifiers::kCommand) text += "Ctrl+";
  if (modifierFlags_ & modifiers::kOption) text += "Alt+";
  if (modifierFlags_ & modifiers::kShift) text += "Shift+";
  if (modifierFlags_ & modifiers::kControl) text += "Super+";
  return text;
}

std::string KeyShortcut::keyCodeString() const {
  if (!hasKey()) return {};
  if (const char* text = fixedText(keyCode_)) return text;
  auto layout = KeyboardLayout::current();
  return keyCodeString(layout.get());
}

std::string KeyShortcut::keyCodeString(const KeyboardLayout* layout) const {
  if (!hasKey()) return {};
  if (const char* text = fixedText(keyCode_)) return text;
  const auto evdev = evdevForKeyCode(keyCode_);
  if (!evdev || layout == nullptr) return {};
  const QString text = QString::fromStdString(layout->text(*evdev));
  if (!isPrintable(text)) return {};
  return text.toUpper().toStdString();
}

}  // namespace shortcut

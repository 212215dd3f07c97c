#include "shortcut/key_shortcut.h"

#include <QKeyEvent>

#include <limits>
#include <mutex>

#include "platform/foundation/keyed_archive.h"
#include "platform/foundation/log.h"

namespace shortcut {

namespace {

const std::vector<std::string> kShortcutClasses{"KeyShortcut", "NSObject"};
const std::vector<std::string> kDictionaryClasses{"NSDictionary", "NSObject"};

}  // namespace

KeyShortcut::KeyShortcut(std::uint64_t keyCode, std::uint64_t modifierFlags)
    : keyCode_(keyCode), modifierFlags_(modifierFlags & modifiers::kMask) {}

std::uint64_t KeyShortcut::flagsFromQt(int qtModifiers) {
  std::uint64_t flags = 0;
  if (qtModifiers & Qt::ControlModifier) flags |= modifiers::kCommand;
  if (qtModifiers & Qt::AltModifier) flags |= modifiers::kOption;
  if (qtModifiers & Qt::MetaModifier) flags |= modifiers::kControl;
  if (qtModifiers & Qt::ShiftModifier) flags |= modifiers::kShift;
  return flags;
}

KeyShortcut KeyShortcut::fromEvent(const QKeyEvent& event) {
  const int evdev = static_cast<int>(event.nativeScanCode()) - 8;
  const auto keyCode = keyCodeForEvdev(evdev);
  return KeyShortcut(keyCode ? *keyCode : kNoKeyCode, flagsFromQt(event.modifiers().toInt()));
}

foundation::Data KeyShortcut::data() const {
  // No key is stored as -1.
  const std::int64_t storedKey = hasKey() ? static_cast<std::int64_t>(keyCode_) : -1;
  foundation::ArchivedObject object{
      kShortcutClasses,
      {{"KeyCode", storedKey}, {"ModifierFlags", static_cast<std::int64_t>(modifierFlags_)}}};
  return foundation::keyedArchive(object).value_or(foundation::Data());
}

foundation::Data KeyShortcut::emptyData() {
  foundation::ArchivedObject object{kDictionaryClasses,
                                    {{"NS.keys", foundation::Array()}, {"NS.objects", foundation::Array()}}};
  return foundation::keyedArchive(object).value_or(foundation::Data());
}

namespace {

std::optional<KeyShortcut> decoded(const foundation::Data& data) {
  auto object = foundation::readKeyedArchive(data);
  if (!object) return std::nullopt;
  if (object->className() != "KeyShortcut") return std::nullopt;  // the empty dictionary among others
  const foundation::Value* keyCode = object->fields.find("KeyCode");
  const foundation::Value* flags = object->fields.find("ModifierFlags");
  if (keyCode == nullptr || !keyCode->isInteger()) {
    foundation::log("Shortcut: stored key code is not an integer");
    return std::nullopt;
  }
  // Read as unsigned and capped at the largest signed value, so -1 is no key.
  const auto unsignedKey = static_cast<std::uint64_t>(*keyCode->toInt());
  const std::uint64_t key = std::min<std::uint64_t>(unsignedKey, kNoKeyCode);
  const std::uint64_t modifierFlags =
      flags != nullptr && flags->isInteger() ? static_cast<std::uint64_t>(*flags->toInt()) : 0;
  return KeyShortcut(key, modifierFlags);
}

}  // namespace

std::optional<KeyShortcut> KeyShortcut::fromData(const foundation::Data& data) {
  // The stored value is asked for by every observer of the defaults at each
  // change of any key; the last answer is kept so one value is decoded once
  // (and a damaged one logged once).
  static std::mutex mutex;
  static foundation::Data lastData;
  static std::optional<KeyShortcut> lastShortcut;
  static bool known = false;
  std::lock_guard lock(mutex);
  if (!known || data != lastData) {
    lastShortcut = decoded(data);
    lastData = data;
    known = true;
  }
  return lastShortcut;
}

}  // namespace shortcut

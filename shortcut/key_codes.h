#pragma once
// The stored key codes of shortcuts and the physical keys they stand for.
// Shortcuts keep the other platform's virtual key numbers, so stored values
// stay portable; the physical key is the Linux evdev code (X11 key code - 8).

#include <cstdint>
#include <optional>
#include <span>

namespace shortcut {

// The key code that means "no key".
inline constexpr std::uint64_t kNoKeyCode = 9223372036854775807ull;

struct KeyCodeRow {
  std::uint16_t keyCode;  // stored number
  std::uint16_t evdev;    // Linux input event code
};

// Every mapped key, once each way.
std::span<const KeyCodeRow> keyCodeTable();

std::optional<std::uint16_t> keyCodeForEvdev(int evdev);
std::optional<int> evdevForKeyCode(std::uint64_t keyCode);

// Key codes of keys the shortcut code treats specially.
namespace keys {
inline constexpr std::uint16_t kReturn = 36, kTab = 48, kSpace = 49, kDelete = 51, kEscape = 53,
                               kForwardDelete = 117;
}

}  // namespace shortcut

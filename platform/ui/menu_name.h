#pragma once
// Desktop-entry names as the Open With and Share menus show them: one
// plain line of modest width, whatever the entry holds.

#include <string>

namespace ui {

// name without the characters that set text direction; controls (a tab
// would open the menu's shortcut column) and line and paragraph breaks
// made spaces, runs of spaces one and none at either end. A name of more
// than 60 characters keeps its first 30 and last 29 around an ellipsis, so
// a version appended after it stays in view.
std::string menuName(const std::string& name);

}  // namespace ui

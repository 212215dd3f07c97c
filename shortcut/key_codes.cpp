#include "shortcut/key_codes.h"

namespace shortcut {

namespace {

// {stored key code, evdev code}; one row per physical key.
constexpr KeyCodeRow kTable[] = {
    // Letters, digits and punctuation of the main block.
    {0, 30},
    {1, 31},
    {2, 32},
    {3, 33},
    {4, 35},
    {5, 34},
    {6, 44},
    {7, 45},
    {8, 46},
    {9, 47},
    {10, 86},
    {11, 48},
    {12, 16},
    {13, 17},
    {14, 18},
    {15, 19},
    {16, 21},
    {17, 20},
    {18, 2},
    {19, 3},
    {20, 4},
    {21, 5},
    {22, 7},
    {23, 6},
    {24, 13},
    {25, 10},
    {26, 8},
    {27, 12},
    {28, 9},
    {29, 11},
    {30, 27},
    {31, 24},
    {32, 22},
    {33, 26},
    {34, 23},
    {35, 25},
    {37, 38},
    {38, 36},
    {39, 40},
    {40, 37},
    {41, 39},
    {42, 43},
    {43, 51},
    {44, 53},
    {45, 49},
    {46, 50},
    {47, 52},
    {50, 41},
    // Return (Enter), Tab, Space, Delete (Backspace), Escape.
    {36, 28},
    {48, 15},
    {49, 57},
    {51, 14},
    {53, 1},
    // Modifier keys by role: Ctrl, Shift, Caps Lock, Alt, Super; left then right.
    {55, 29},
    {54, 97},
    {56, 42},
    {60, 54},
    {57, 58},
    {58, 56},
    {61, 100},
    {59, 125},
    {62, 126},
    // Keypad: decimal, multiply, plus, clear (Num Lock), divide, enter, minus, equals, 0-9.
    {65, 83},
    {67, 55},
    {69, 78},
    {71, 69},
    {75, 98},
    {76, 96},
    {78, 74},
    {81, 117},
    {82, 82},
    {83, 79},
    {84, 80},
    {85, 81},
    {86, 75},
    {87, 76},
    {88, 77},
    {89, 71},
    {91, 72},
    {92, 73},
    // F1 to F20.
    {122, 59},
    {120, 60},
    {99, 61},
    {118, 62},
    {96, 63},
    {97, 64},
    {98, 65},
    {100, 66},
    {101, 67},
    {109, 68},
    {103, 87},
    {111, 88},
    {105, 183},
    {107, 184},
    {113, 185},
    {106, 186},
    {64, 187},
    {79, 188},
    {80, 189},
    {90, 190},
    // Help (Insert), Home, Page Up, Forward Delete (Delete), End, Page Down, arrows.
    {114, 110},
    {115, 102},
    {116, 104},
    {117, 111},
    {119, 107},
    {121, 109},
    {123, 105},
    {124, 106},
    {125, 108},
    {126, 103},
};

}  // namespace

std::span<const KeyCodeRow> keyCodeTable() {
  return kTable;
}

std::optional<std::uint16_t> keyCodeForEvdev(int evdev) {
  for (const KeyCodeRow& row : keyCodeTable())
    if (row.evdev == evdev) return row.keyCode;
  return std::nullopt;
}

std::optional<int> evdevForKeyCode(std::uint64_t keyCode) {
  for (const KeyCodeRow& row : keyCodeTable())
    if (row.keyCode == keyCode) return row.evdev;
  return std::nullopt;
}

}  // namespace shortcut

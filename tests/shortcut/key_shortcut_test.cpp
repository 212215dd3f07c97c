#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

#include <set>
#include <vector>

#include "shortcut/key_shortcut.h"
#include "shortcut/keyboard_layout.h"

using namespace shortcut;
namespace m = shortcut::modifiers;

TEST(KeyCodes, TableMapsEveryRowBothWaysOnce) {
  std::set<int> keyCodes, evdevs;
  for (const KeyCodeRow& row : keyCodeTable()) {
    EXPECT_TRUE(keyCodes.insert(row.keyCode).second) << row.keyCode;
    EXPECT_TRUE(evdevs.insert(row.evdev).second) << row.evdev;
    EXPECT_EQ(keyCodeForEvdev(row.evdev), row.keyCode);
    EXPECT_EQ(evdevForKeyCode(row.keyCode), row.evdev);
  }
  EXPECT_FALSE(keyCodeForEvdev(KEY_MUTE));
  EXPECT_FALSE(evdevForKeyCode(kNoKeyCode));
}

TEST(KeyCodes, PhysicalKeysHaveTheirStoredNumbers) {
  const std::pair<int, int> expected[] = {
      {0, KEY_A},         {1, KEY_S},          {2, KEY_D},           {3, KEY_F},
      {4, KEY_H},         {5, KEY_G},          {6, KEY_Z},           {7, KEY_X},
      {8, KEY_C},         {9, KEY_V},          {10, KEY_102ND},      {11, KEY_B},
      {12, KEY_Q},        {13, KEY_W},         {14, KEY_E},          {15, KEY_R},
      {16, KEY_Y},        {17, KEY_T},         {18, KEY_1},          {19, KEY_2},
      {20, KEY_3},        {21, KEY_4},         {22, KEY_6},          {23, KEY_5},
      {24, KEY_EQUAL},    {25, KEY_9},         {26, KEY_7},          {27, KEY_MINUS},
      {28, KEY_8},        {29, KEY_0},         {30, KEY_RIGHTBRACE}, {31, KEY_O},
      {32, KEY_U},        {33, KEY_LEFTBRACE}, {34, KEY_I},          {35, KEY_P},
      {36, KEY_ENTER},    {37, KEY_L},         {38, KEY_J},          {39, KEY_APOSTROPHE},
      {40, KEY_K},        {41, KEY_SEMICOLON}, {42, KEY_BACKSLASH},  {43, KEY_COMMA},
      {44, KEY_SLASH},    {45, KEY_N},         {46, KEY_M},          {47, KEY_DOT},
      {48, KEY_TAB},      {49, KEY_SPACE},     {50, KEY_GRAVE},      {51, KEY_BACKSPACE},
      {53, KEY_ESC},      {55, KEY_LEFTCTRL},  {56, KEY_LEFTSHIFT},  {58, KEY_LEFTALT},
      {59, KEY_LEFTMETA}, {71, KEY_NUMLOCK},   {76, KEY_KPENTER},    {82, KEY_KP0},
      {92, KEY_KP9},      {114, KEY_INSERT},   {117, KEY_DELETE},    {122, KEY_F1},
      {120, KEY_F2},      {99, KEY_F3},        {118, KEY_F4},        {96, KEY_F5},
      {111, KEY_F12},     {105, KEY_F13},      {90, KEY_F20},        {115, KEY_HOME},
      {119, KEY_END},     {116, KEY_PAGEUP},   {121, KEY_PAGEDOWN},  {123, KEY_LEFT},
      {124, KEY_RIGHT},   {125, KEY_DOWN},     {126, KEY_UP},
  };
  for (auto [keyCode, evdev] : expected) EXPECT_EQ(evdevForKeyCode(keyCode), evdev) << keyCode;
}

TEST(KeyShortcut, ModifiersAreMaskedAndNamedInFixedOrder) {
  constexpr std::uint64_t capsLock = 0x10000, function = 0x800000;
  EXPECT_EQ(KeyShortcut(0, m::kMask | capsLock | function).modifierFlags(), m::kMask);
  KeyShortcut value(96, 0);
  value.setModifierFlags(m::kControl | capsLock);
  EXPECT_EQ(value.modifierFlags(), m::kControl);

  const struct {
    std::uint64_t flags;
    const char* text;
  } rows[] = {
      {0, ""},
      {m::kShift | m::kCommand, "Ctrl+Shift+"},
      {m::kControl | m::kShift | m::kOption | m::kCommand, "Ctrl+Alt+Shift+Super+"},
      {m::kControl | m::kOption, "Alt+Super+"},
  };
  for (const auto& row : rows) EXPECT_EQ(KeyShortcut(96, row.flags).modifierFlagsString(), row.text);
  EXPECT_EQ(KeyShortcut(96, m::kShift | m::kCommand).description(), "Ctrl+Shift+F5");
}

TEST(KeyShortcut, EventsGiveThePhysicalKeyAndQtModifiers) {
  QKeyEvent event(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier,
                  KEY_K + 8, 0, 0, "k");
  EXPECT_EQ(KeyShortcut::fromEvent(event), KeyShortcut(40, m::kCommand | m::kOption | m::kControl));
  QKeyEvent unknown(QEvent::KeyPress, Qt::Key_VolumeMute, Qt::ShiftModifier, KEY_MUTE + 8, 0, 0);
  EXPECT_FALSE(KeyShortcut::fromEvent(unknown).hasKey());
}

TEST(KeyShortcut, KeyTextsOfFixedKeysAndLayouts) {
  auto us = KeyboardLayout::named("us");
  auto de = KeyboardLayout::named("de");
  ASSERT_TRUE(us && de);
  const struct {
    std::uint64_t keyCode;
    const char* us;
    const char* de;
  } rows[] = {
      {0, "A", "A"},
      {16, "Y", "Z"},
      {6, "Z", "Y"},
      {41, ";", "Ö"},
      {27, "-", "SS"},
      {36, "\u21A9", "\u21A9"},
      {49, "Space", "Space"},
      {122, "F1", "F1"},
      {80, "F19", "F19"},
      {78, "\u2013", "\u2013"},
      {117, "\u2326", "\u2326"},
      {126, "\u2191", "\u2191"},
      {55, "", ""},
      {kNoKeyCode, "", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(KeyShortcut(row.keyCode, 0).keyCodeString(us.get()), row.us) << row.keyCode;
    EXPECT_EQ(KeyShortcut(row.keyCode, 0).keyCodeString(de.get()), row.de) << row.keyCode;
  }
}

// Every key with a fixed text, whatever the layout (none, German): key
// codes and texts as the keys are named, in groups, so a swapped pair
// (F5/F6, Page Up/Page Down) fails.
TEST(KeyShortcut, EveryFixedKeyTextInAnyLayout) {
  const struct {
    const char* keys;
    std::vector<std::uint64_t> keyCodes;
    std::vector<const char*> texts;
  } groups[] = {
      {"Return", {36}, {"\u21A9"}},
      {"Tab", {48}, {"\u21E5"}},
      {"Space", {49}, {"Space"}},
      {"Delete", {51}, {"\u232B"}},
      {"Escape", {53}, {"\u238B"}},
      {"F17 to F19", {64, 79, 80}, {"F17", "F18", "F19"}},
      {"keypad decimal, multiply, plus, divide, equals", {65, 67, 69, 75, 81}, {".", "*", "+", "/", "="}},
      {"keypad Clear", {71}, {"\u2327"}},
      {"keypad Enter", {76}, {"\u2305"}},
      {"keypad minus", {78}, {"\u2013"}},
      {"keypad 0 to 9",
       {82, 83, 84, 85, 86, 87, 88, 89, 91, 92},
       {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
      {"F1 to F16",
       {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111, 105, 107, 113, 106},
       {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12", "F13", "F14", "F15", "F16"}},
      {"Help", {114}, {"?"}},
      {"Home, End", {115, 119}, {"\u2196", "\u2198"}},
      {"Page Up, Page Down", {116, 121}, {"\u21DE", "\u21DF"}},
      {"Forward Delete", {117}, {"\u2326"}},
      {"Left, Right, Down, Up", {123, 124, 125, 126}, {"\u2190", "\u2192", "\u2193", "\u2191"}},
  };
  auto german = KeyboardLayout::named("de");
  ASSERT_TRUE(german);
  std::size_t keys = 0;
  for (const auto& group : groups) {
    ASSERT_EQ(group.keyCodes.size(), group.texts.size()) << group.keys;
    for (std::size_t i = 0; i < group.keyCodes.size(); ++i, ++keys) {
      const KeyShortcut key(group.keyCodes[i], 0);
      EXPECT_EQ(key.keyCodeString(nullptr), group.texts[i]) << group.keys << ", key code " << group.keyCodes[i];
      EXPECT_EQ(key.keyCodeString(german.get()), group.texts[i]) << group.keys << ", key code " << group.keyCodes[i];
    }
  }
  EXPECT_EQ(keys, 52u);
}

TEST(KeyShortcut, ValidityAndBypass) {
  const struct {
    std::uint64_t keyCode, flags;
    bool valid, bypass;
  } rows[] = {
      {0, m::kShift, false, false},                // Shift-A
      {49, m::kOption, true, false},               // Alt-Space
      {53, m::kOption | m::kShift, true, false},   // Alt-Shift-Escape
      {0, m::kOption, false, false},               // Alt-A
      {105, 0, true, false},                       // F13 alone
      {0, 0, false, false},                        // A alone
      {0, m::kCommand, true, false},               // Ctrl-A
      {0, m::kControl, true, false},               // Super-A
      {13, m::kCommand, true, true},               // Ctrl-W
      {12, m::kCommand, true, true},               // Ctrl-Q
      {13, m::kCommand | m::kShift, true, false},  // Ctrl-Shift-W
  };
  for (const auto& row : rows) {
    KeyShortcut value(row.keyCode, row.flags);
    EXPECT_EQ(value.isValid(), row.valid) << value.description();
    EXPECT_EQ(value.shouldBypass(), row.bypass) << value.description();
  }
  KeyShortcut::setAllowsAnyHotkeyWithOptionModifier(true);
  EXPECT_TRUE(KeyShortcut(0, m::kOption).isValid());
  KeyShortcut::setAllowsAnyHotkeyWithOptionModifier(false);
}

TEST(KeyShortcut, MenuItemsTakeTheirShortcuts) {
  QMenuBar bar;
  QMenu* file = bar.addMenu("&File");
  file->addAction("&Save")->setShortcut(QKeySequence("Ctrl+S"));
  file->addAction("Save As")->setShortcut(QKeySequence("Ctrl+Shift+S"));
  QMenu* sub = file->addMenu("Export");
  sub->addAction("As &PNG")->setShortcut(QKeySequence("Ctrl+Alt+E"));
  sub->addAction("Next")->setShortcut(QKeySequence(Qt::Key_F5));
  const std::vector<const QMenuBar*> bars{&bar};

  const struct {
    std::uint64_t keyCode, flags;
    const char* item;  // nullptr: free
  } rows[] = {
      {1, m::kCommand, "Save"},   {1, m::kCommand | m::kShift, "Save As"},
      {1, m::kOption, nullptr},   {14, m::kCommand | m::kOption, "As PNG"},
      {14, m::kCommand, nullptr}, {96, 0, "Next"},
      {96, m::kShift, nullptr},
  };
  for (const auto& row : rows) {
    QString error;
    KeyShortcut value(row.keyCode, row.flags);
    EXPECT_EQ(value.isTakenInMenus(bars, &error), row.item != nullptr) << value.description();
    if (row.item) {
      EXPECT_EQ(error,
                QString("This shortcut cannot be used because it is already used by the menu item ‘%1’.")
                    .arg(row.item));
    }
  }
}

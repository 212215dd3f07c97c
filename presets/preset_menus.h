#pragma once
// The three lists the preset catalogue is shown in: the presets pop-up, the
// submenu of built-in presets and the submenu of user presets. Pop-up item i
// always stands for catalogue position i; built-in submenu item i for
// position i (below 16), user submenu item k for position 16 + k. Titles are
// never merged, so equal names stay separate items. The converter window
// binds a combo box and two menus to this model.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velumar {

// The number of built-in presets: the fixed boundary between the lists.
inline constexpr std::size_t kBuiltInPresetCount = 16;
// The one item of an empty user submenu.
inline constexpr const char* kNoPresetsTitle = "No presets";

struct PresetPopUpItem {
  std::string title;
  bool bold = false;  // user presets: the bold system font of 11 points

  bool operator==(const PresetPopUpItem&) const = default;
};

struct PresetMenuItem {
  std::string title;
  bool enabled = true;
  bool on = false;
  bool hasAction = true;  // false only for "No presets"

  bool operator==(const PresetMenuItem&) const = default;
};

class PresetMenus {
 public:
  std::vector<PresetPopUpItem> popUpItems;
  std::int64_t selectedIndex = -1;  // -1: no item selected
  std::vector<PresetMenuItem> builtInItems;
  std::vector<PresetMenuItem> userItems;

  // Called after every change the catalogue makes, so a bound view can follow.
  std::function<void()> changed;

  void removeAllItems();
  // Appends a preset: a pop-up item (bold for a user preset) and an item of
  // the matching submenu.
  void appendPreset(const std::string& title, bool isSystemPreset);
  // Adds the disabled "No presets" item when the user submenu is empty.
  void addNoPresetsItemWhenEmpty();
  // Every item of both submenus off.
  void setAllOff();
  // Selects pop-up item position and puts its submenu item (and no other)
  // on; a user item only when it exists and is enabled.
  void selectPosition(std::size_t position);
  // The title of the selected pop-up item, if any.
  std::optional<std::string> selectedTitle() const;

  void notifyChanged() const {
    if (changed) changed();
  }
};

}  // namespace velumar

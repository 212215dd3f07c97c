#include "presets/preset_menus.h"

namespace velumar {

void PresetMenus::removeAllItems() {
  popUpItems.clear();
  builtInItems.clear();
  userItems.clear();
  selectedIndex = -1;
}

void PresetMenus::appendPreset(const std::string& title, bool isSystemPreset) {
  popUpItems.push_back({title, !isSystemPreset});
  (isSystemPreset ? builtInItems : userItems).push_back({title});
}

void PresetMenus::addNoPresetsItemWhenEmpty() {
  if (popUpItems.size() > kBuiltInPresetCount && !userItems.empty()) return;
  userItems.push_back({kNoPresetsTitle, false, false, false});
}

void PresetMenus::setAllOff() {
  for (PresetMenuItem& item : builtInItems) item.on = false;
  for (PresetMenuItem& item : userItems) item.on = false;
}

void PresetMenus::selectPosition(std::size_t position) {
  setAllOff();
  selectedIndex = position < popUpItems.size() ? std::int64_t(position) : -1;
  if (position < kBuiltInPresetCount) {
    if (position < builtInItems.size()) builtInItems[position].on = true;
    return;
  }
  const std::size_t user = position - kBuiltInPresetCount;
  if (user < userItems.size() && userItems[user].enabled) userItems[user].on = true;
}

std::optional<std::string> PresetMenus::selectedTitle() const {
  if (selectedIndex < 0 || std::size_t(selectedIndex) >= popUpItems.size()) return std::nullopt;
  return popUpItems[std::size_t(selectedIndex)].title;
}

}  // namespace velumar

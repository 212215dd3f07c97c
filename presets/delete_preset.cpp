#include <filesystem>
#include <system_error>

#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "presets/preset_file.h"
#include "presets/user_presets.h"

namespace velumar {

namespace fs = std::filesystem;

namespace {

// The canonical form of path, or empty when it cannot be formed.
fs::path canonicalPath(const fs::path& path) {
  std::error_code error;
  fs::path out = fs::weakly_canonical(path, error);
  return error ? fs::path() : out;
}

bool isInside(const fs::path& path, const fs::path& folder) {
  const fs::path file = canonicalPath(path), root = canonicalPath(folder);
  if (file.empty() || root.empty()) return false;
  const auto [end, _] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
  return end == root.end() && file != root;
}

}  // namespace

void removeCompositeAndWatermarkImagesForDictionary(const std::optional<foundation::Value>& dictionary,
                                                    const std::string& presetName,
                                                    const std::string& folder) {
  if (!dictionary) return;
  const std::pair<const char*, const char*> copies[] = {{"Composite Image", "Composite Image URL"},
                                                        {"Watermark Image", "Watermark Image URL"}};
  for (const auto& [flagKey, urlKey] : copies) {
    if (!presetBoolean(dictionary->get(flagKey)).value_or(false)) continue;
    const foundation::Value* url = dictionary->get(urlKey);
    if (!url || !url->asString()) continue;
    const fs::path target = canonicalPath(*url->asString());
    const std::string kind = std::string(flagKey) == "Composite Image" ? "_composite" : "_watermark";
    bool ours = false;
    for (const char* extension : {".png", ".jpg"})
      ours = ours ||
             (!target.empty() && target == canonicalPath(fs::path(folder) / (presetName + kind + extension)));
    if (!ours) {
      foundation::log("Preset: {} is not an image copy of {}; left in place", *url->asString(), presetName);
      continue;
    }
    std::error_code error;
    fs::remove(target, error);
  }
}

bool deletePresetFrom(ConverterForm& form, PresetCatalogue& catalogue) {
  form.controls.deleteButton.on = false;
  if (form.state().isProcessingImages.load()) return false;
  PresetMenus& menus = catalogue.menus();
  auto& presets = form.engine().presetsArray;
  const std::int64_t selected = menus.selectedIndex;
  if (menus.popUpItems.size() < 2 || selected < 0 || std::size_t(selected) >= presets.size()) return false;
  const std::size_t p = std::size_t(selected);
  // The built-in positions are fixed: deleting one would shift every user
  // preset against the boundary.
  if (p < kBuiltInPresetCount || !presets[p] || !presets[p]->canDeletePreset) return false;
  const std::string title = menus.popUpItems[p].title;
  if (!form.services().confirm("Are you sure you want to delete this preset?",
                               "Preset name: \"" + title + "\""))
    return false;

  const std::string folder = PresetCatalogue::getAppSupportPath();
  const fs::path path = presets[p]->presetFilePath;
  std::error_code error;
  if (path.empty() || !isInside(path, folder) || !fs::is_regular_file(fs::symlink_status(path, error))) {
    if (!path.empty())
      foundation::log("Preset: {} is not a preset file of {}; nothing deleted", path.string(), folder);
    return false;
  }
  removeCompositeAndWatermarkImagesForDictionary(foundation::readPropertyList(path.string()),
                                                 presets[p]->imageInfoName, folder);
  fs::remove(path, error);

  presets.erase(presets.begin() + std::ptrdiff_t(p));
  menus.popUpItems.erase(menus.popUpItems.begin() + std::ptrdiff_t(p));
  const std::size_t user = p - kBuiltInPresetCount;
  if (user < menus.userItems.size()) menus.userItems.erase(menus.userItems.begin() + std::ptrdiff_t(user));
  menus.addNoPresetsItemWhenEmpty();
  const std::size_t position = p - 1;
  menus.selectPosition(position);
  form.state().lastSelectedPresetName = menus.popUpItems[position].title;
  menus.notifyChanged();
  form.setPopOverViewFromPreset(position);
  return true;
}

}  // namespace velumar

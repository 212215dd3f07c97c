#include "presets/preset_catalogue.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/foundation/files.h"
#include "platform/foundation/locale_compare.h"
#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "session/conversion_request.h"

namespace velumar {

namespace fs = std::filesystem;

const std::array<std::string_view, kBuiltInPresetCount> kBuiltInPresetNames{
    "JPG High Quality",
    "JPG Medium Quality",
    "JPG for Web",
    "JPG 144 dpi",
    "Enhance image",
    "Color controls",
    "Face detector",
    "TIFF CMYK",
    "PDF 300 dpi",
    "Icon with rounded corners",
    "File with low-res and high-res representations",
    "Folder with original image + @2x image",
    "Xcode iconset - 16, 32, 128, 256, 512 + @2x versions",
    "iOS app icons - iPhone, iPad, iPad Mini + Retina versions",
    "Multiple images as layers of multi-layered PSD file",
    "Multiple files merged into one TIFF file",
};

namespace {

// "<application support>/<name>", made a folder when nothing or something
// else is there.
std::string applicationSupportFolder(const char* name) {
  const fs::path folder = fs::path(foundation::applicationSupportDirectory()) / name;
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    fs::create_directories(folder, error);
    if (error) foundation::log("Cannot create {}: {}", folder.string(), error.message());
  }
  return folder.string();
}

}  // namespace

PresetCatalogue::PresetCatalogue(ImportedImage& engine, ConverterState& state, PresetControlsTarget& controls,
                                 std::string systemPresetFolder)
    : engine_(engine),
      state_(state),
      controls_(controls),
      systemPresetFolder_(systemPresetFolder.empty() ? foundation::bundleResourcePath("presets")
                                                     : std::move(systemPresetFolder)) {}

std::string PresetCatalogue::getAppSupportPath() {
  return applicationSupportFolder("ImagePresets");
}

std::string PresetCatalogue::getTempDataPath() {
  return applicationSupportFolder("TempData");
}

void PresetCatalogue::addSystemPresets() {
  for (std::string_view name : kBuiltInPresetNames) {
    const std::string path = (fs::path(systemPresetFolder_) / name).string();
    const std::optional<foundation::Value> dictionary = foundation::readPropertyList(path);
    if (dictionary) {
      setupPresetValuesWithDictionary(dictionary, path, true);
      continue;
    }
    // The boundary of 16 must hold: keep the position with a new preset.
    foundation::log("Preset: built-in preset {} is missing or unreadable; its defaults are used", path);
    auto preset = std::make_shared<ImageInfo>();
    preset->imageInfoName = std::string(name);
    preset->canDeletePreset = false;
    engine_.presetsArray.push_back(preset);
    menus_.appendPreset(preset->imageInfoName, true);
  }
}

void PresetCatalogue::addPresetsFromFiles() {
  const std::string folder = getAppSupportPath();
  // The array and the lists are rebuilt together, so position i stays item i.
  engine_.presetsArray.clear();
  menus_.removeAllItems();
  addSystemPresets();
  // Listed by file name as a file manager orders them: the folder's own
  // order differs between file systems and machines.
  std::vector<fs::path> files;
  foundation::enumerateFiles(folder, true, [&](const fs::path& file) { files.push_back(file); }, true);
  std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
    return foundation::compareFileNames(a.filename().string(), b.filename().string()) < 0;
  });
  for (const fs::path& file : files)
    setupPresetValuesWithDictionary(foundation::readPropertyList(file.string()), file.string(), false);
  for (PresetMenuItem& item : menus_.builtInItems) item.enabled = true;
  for (PresetMenuItem& item : menus_.userItems) item.enabled = true;
  menus_.setAllOff();
  menus_.addNoPresetsItemWhenEmpty();

  const std::size_t count = menus_.popUpItems.size();
  if (count == 0) {
    menus_.selectedIndex = -1;
    state_.lastSelectedPresetName.reset();
    controls_.setDefaultPreset();
    menus_.notifyChanged();
    return;
  }
  std::size_t position = 0;
  if (state_.lastSelectedPresetName) {
    std::optional<std::size_t> candidate;
    for (std::size_t i = 0; i < count; ++i)
      if (foundation::localizedEqual(menus_.popUpItems[i].title, *state_.lastSelectedPresetName))
        candidate = i;
    if (candidate)
      position = *candidate;
    else
      state_.lastSelectedPresetName.reset();
  }
  menus_.selectPosition(position);
  menus_.notifyChanged();
  controls_.setPopOverViewFromPreset(position);
}

bool PresetCatalogue::selectAndApply(std::size_t position) {
  // Applying replaces engine inputs a running batch reads.
  if (state_.isProcessingImages.load() || position >= menus_.popUpItems.size()) return false;
  menus_.selectPosition(position);
  state_.lastSelectedPresetName = menus_.popUpItems[position].title;
  menus_.notifyChanged();
  controls_.setPopOverViewFromPreset(position);
  return true;
}

bool PresetCatalogue::updateCurrentPresetFrom(std::int64_t position) {
  if (position < 0) return false;
  return selectAndApply(std::size_t(position));
}

bool PresetCatalogue::changePresetSubmenuFrom(std::size_t builtInItem) {
  if (builtInItem >= menus_.builtInItems.size() || !menus_.builtInItems[builtInItem].hasAction) return false;
  return selectAndApply(builtInItem);
}

bool PresetCatalogue::changeCustomPresetSubmenuFrom(std::size_t userItem) {
  if (userItem >= menus_.userItems.size() || !menus_.userItems[userItem].hasAction) return false;
  return selectAndApply(kBuiltInPresetCount + userItem);
}

void PresetCatalogue::memorizeSavingMethodToPresetFrom(int checkState) {
  state_.loadFileOptionsFromPreset = checkState == 1;
  if (state_.loadFileOptionsFromPreset) updateCurrentPresetFrom(menus_.selectedIndex);
}

void PresetCatalogue::clearTempDirectory() {
  clearTemDirectoryForPath(getTempDataPath());
}

}  // namespace velumar

#include "app/preferences.h"

#include "app/preference_conversions.h"
#include "filters/cifiltering.h"
#include "platform/foundation/locale_compare.h"
#include "presets/converter_form.h"

namespace velumar {

namespace {

using foundation::Value;

bool readBool(const PreferenceLookup& lookup, const char* key, bool absent) {
  return preferenceBool(lookup(key)).value_or(absent);
}

std::int64_t readInteger(const PreferenceLookup& lookup, const char* key, std::int64_t absent) {
  return preferenceInteger(lookup(key)).value_or(absent);
}

void readSavingType(std::int64_t savingType, ConverterForm& form) {
  const bool stored = savingType == 1;
  form.state().saveWithStoredFileURL = stored ? 1 : 0;
  form.setSavingMethodControls(stored);
}

const std::string* appFullPath(const foundation::Dictionary& entry) {
  const Value* path = entry.find("AppFullPath");
  return path ? path->asString() : nullptr;
}

// "OpenWith" and "OpenWithAppID": item 14 stays only while the stored
// application is still one of its submenu's items.
void readOpenWith(const std::optional<Value>& openWithValue, const std::optional<Value>& appIDValue,
                  ConverterForm& form) {
  ConverterControls& c = form.controls;
  ImportedImage& engine = form.engine();
  const std::int64_t openWith = preferenceInteger(openWithValue).value_or(0);
  c.openWithPopUp.select(openWith);
  engine.openWithAppID = {};
  const auto fallBack = [&] {
    c.openWithPopUp.select(0);
    engine.openWithAppID = {};
  };
  if (!openWithValue || !appIDValue) {
    if (openWith == kOpenWithOtherApplicationItem) fallBack();
    return;
  }
  if (openWith != kOpenWithOtherApplicationItem) return;
  const foundation::Dictionary* stored = appIDValue->asDictionary();
  if (stored == nullptr || stored->empty()) return fallBack();
  form.services().updateApplicationsForOpenWithMenu();
  if (c.openWithApplications.empty()) return fallBack();
  const std::string* storedPath = appFullPath(*stored);
  bool matched = false;
  for (ApplicationMenuItem& item : c.openWithApplications) {
    const auto entry = engine.appIDInfoArray.find(item.tag);
    const std::string* entryPath =
        entry == engine.appIDInfoArray.end() ? nullptr : appFullPath(entry->second);
    item.on = storedPath && entryPath && foundation::localizedEqual(*storedPath, *entryPath);
    matched = matched || item.on;
  }
  if (!matched) return fallBack();
  engine.openWithAppID = *stored;
}

}  // namespace

PreferenceLookup lookupIn(const foundation::UserDefaults& defaults) {
  return [&defaults](const std::string& key) { return defaults.object(key); };
}

PreferenceStore storeIn(foundation::UserDefaults& defaults) {
  return [&defaults](const std::string& key, Value value) { defaults.set(key, std::move(value)); };
}

void updateCPUGPUFilterRendering(ConverterForm& form, bool useGPU) {
  form.state().useGPUForRendering = useGPU;
  if (form.engine().ciPhotoFilters) form.engine().ciPhotoFilters->setFilterUsesGPUForRendering(useGPU);
}

void readAppearancePreferences(const PreferenceLookup& lookup, ShellPreferences& shell, ConverterForm& form,
                               bool& importToPreview) {
  ConverterState& state = form.state();
  shell.windowRemainsSameSize = readBool(lookup, "PreviewFitsSize", false);
  state.showInFinderSavedFiles = readBool(lookup, "ShowInFinder", false);
  state.hideExtensionSavedFiles = readBool(lookup, "HideExtension", false);
  shell.bubbleView = 0;
  importToPreview = true;
  shell.dragAndDropRow = 1;
  shell.cpuGPURow = readInteger(lookup, "CPUGPUBehavior", 0);
  updateCPUGPUFilterRendering(form, shell.cpuGPURow == 0);
  state.openWithHide = false;
  shell.dockState = readInteger(lookup, "DockState", 0) == 1 ? 1 : 0;
}

void setDefaultValues(const PreferenceLookup& lookup, ShellPreferences& shell, ConverterForm& form) {
  ConverterState& state = form.state();
  ConverterControls& c = form.controls;
  shell.isFirstOpening = readBool(lookup, "First Start", true);
  state.isGlobalPermissionSet = readBool(lookup, "GlobalPermission", false);
  const std::optional<Value> lastPreset = lookup("LastSelectedPreset");
  state.lastSelectedPresetName =
      lastPreset && lastPreset->asString() ? std::optional(*lastPreset->asString()) : std::nullopt;
  const std::optional<Value> filePath = lookup("FilePath");
  state.fileURLForSaving =
      filePath && filePath->asString() ? *filePath->asString() : std::string(kOutputFolderPlaceholder);
  c.fileURLTextField.text = state.fileURLForSaving;
  state.overwriteFiles = readBool(lookup, "OverwriteFiles", false);
  c.overwriteCheck.set(state.overwriteFiles);
  state.maintainHierarchy = readBool(lookup, "MaintainHierarchy", true);
  c.maintainHierarchyCheck.set(state.maintainHierarchy);
  state.renameIgnoreProcessing = readBool(lookup, "RenameIgnore", false);
  c.renameIgnoreCheck.set(state.renameIgnoreProcessing);
  state.preserveMetadata = readBool(lookup, "PreserveMetadata", false);
  c.metadataCheck.set(state.preserveMetadata);
  state.loadFileOptionsFromPreset = readBool(lookup, "LoadFileOptionsFromPreset", true);
  c.memorizeToPresetCheck.set(state.loadFileOptionsFromPreset);
  state.searchInSubFolders = readBool(lookup, "SearchSubFolders", true) ? 1 : 0;
  c.searchSubFoldersCheck.set(state.searchInSubFolders != 0);
  const std::optional<Value> openWith = lookup("OpenWith");
  const std::optional<Value> openWithAppID = lookup("OpenWithAppID");
  readOpenWith(openWith, openWithAppID, form);
  readSavingType(readInteger(lookup, "SavingType", 0), form);
  c.dateSelectPopUp.select(readInteger(lookup, "Name Date", 0));
}

void writePreferences(const PreferenceStore& store, const ShellPreferences& shell, ConverterForm& form) {
  const ConverterState& state = form.state();
  const ConverterControls& c = form.controls;
  const std::int64_t openWith = c.openWithPopUp.selectedIndex;
  store("PreviewFitsSize", shell.windowRemainsSameSize);
  store("ShowInFinder", state.showInFinderSavedFiles);
  store("HideExtension", state.hideExtensionSavedFiles);
  store("First Start", shell.isFirstOpening);
  store("GlobalPermission", state.isGlobalPermissionSet);
  store("Appearance", shell.bubbleView);
  store("DragAndDropBehavior", shell.dragAndDropRow);
  store("CPUGPUBehavior", shell.cpuGPURow);
  store("OpenWithHide", state.openWithHide);
  store("LastSelectedPreset", state.lastSelectedPresetName ? Value(*state.lastSelectedPresetName) : Value());
  store("FilePath", state.fileURLForSaving);
  store("LoadFileOptionsFromPreset", state.loadFileOptionsFromPreset);
  store("SavingType", state.saveWithStoredFileURL);
  store("SearchSubFolders", std::int64_t(state.searchInSubFolders != 0 ? 1 : 0));
  store("OverwriteFiles", state.overwriteFiles);
  store("MaintainHierarchy", state.maintainHierarchy);
  store("RenameIgnore", state.renameIgnoreProcessing);
  store("PreserveMetadata", state.preserveMetadata);
  store("OpenWith", openWith);
  store("OpenWithAppID",
        openWith == kOpenWithOtherApplicationItem ? form.engine().openWithAppID : foundation::Dictionary());
  store("Name Date", c.dateSelectPopUp.selectedIndex);
  store("DockState", shell.dockState);
  store("WindowLevel", std::int64_t(shell.alwaysOnTop ? 1 : 0));
}

}  // namespace velumar

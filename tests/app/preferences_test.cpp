// The preferences: how stored values are read (numbers and numeric strings),
// what a first launch shows, the special keys, and the order of reads and
// writes.
#include <gtest/gtest.h>

#include <map>

#include "app/preference_conversions.h"
#include "app/preferences.h"
#include "engine/imported_image.h"
#include "filters/cifiltering.h"
#include "presets/converter_form.h"
#include "presets/headless_window_services.h"

using namespace velumar;
using foundation::Value;

namespace {

// The Open With submenu as the desktop would list it: applications by path.
struct ListedApplications : HeadlessWindowServices {
  std::vector<std::string> paths;
  ConverterForm* form = nullptr;
  void updateApplicationsForOpenWithMenu() override {
    form->controls.openWithApplications.clear();
    form->engine().appIDInfoArray.clear();
    std::int64_t tag = 1;
    for (const std::string& path : paths) {
      form->controls.openWithApplications.push_back({path, tag, false});
      form->engine().appIDInfoArray[tag++] = foundation::Dictionary{{"AppFullPath", Value(path)}};
    }
  }
};

struct Shell {
  ImportedImage engine;
  ConverterState state;
  ListedApplications services;
  ConverterForm form{state, engine, services};
  ShellPreferences shell;
  std::map<std::string, Value> stored;
  std::vector<std::string> reads;

  Shell() { services.form = &form; }

  PreferenceLookup lookup() {
    return [this](const std::string& key) -> std::optional<Value> {
      reads.push_back(key);
      const auto found = stored.find(key);
      if (found == stored.end()) return std::nullopt;
      return found->second;
    };
  }
  void launch() {
    bool importToPreview = false;
    readAppearancePreferences(lookup(), shell, form, importToPreview);
    setDefaultValues(lookup(), shell, form);
  }
  // The keys and values a quit writes, in order.
  std::vector<std::pair<std::string, Value>> quit() {
    std::vector<std::pair<std::string, Value>> written;
    writePreferences([&written](const std::string& key, Value value) { written.emplace_back(key, value); },
                     shell, form);
    return written;
  }
};

}  // namespace

TEST(PreferenceConversions, NumbersAndNumericStrings) {
  struct Case {
    Value stored;
    std::optional<bool> flag;
    std::optional<std::int64_t> number;
  };
  const Case cases[] = {
      {Value(true), true, 1},
      {Value(false), false, 0},
      {Value(2), true, 2},
      {Value(0), false, 0},
      {Value(2.9), true, 2},
      {Value("YES"), true, std::nullopt},
      {Value("  yes"), true, std::nullopt},
      {Value("true"), true, std::nullopt},
      {Value("NO"), false, std::nullopt},
      {Value("0"), false, 0},
      {Value(" 12abc"), true, 12},
      {Value("-3"), false, -3},
      {Value("+4"), false, 4},
      {Value(""), false, std::nullopt},
      {Value("99999999999999999999"), true, std::nullopt},
      {Value(1e300), true, std::nullopt},
      {Value(foundation::Data{1, 2}), std::nullopt, std::nullopt},
      {Value(foundation::Array{}), std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(preferenceBool(c.stored), c.flag) << c.stored.debugString();
    EXPECT_EQ(preferenceInteger(c.stored), c.number) << c.stored.debugString();
  }
  EXPECT_EQ(preferenceBool(std::nullopt), std::nullopt);
}

TEST(Preferences, FirstLaunchWithEmptyDefaults) {
  Shell s;
  s.launch();
  const ConverterControls& c = s.form.controls;
  EXPECT_FALSE(s.shell.windowRemainsSameSize);  // the preview window resizes: check on
  EXPECT_FALSE(s.state.showInFinderSavedFiles);
  EXPECT_FALSE(s.state.hideExtensionSavedFiles);
  EXPECT_TRUE(s.state.useGPUForRendering);
  EXPECT_TRUE(s.engine.ciPhotoFilters->filterUsesGPUForRendering());
  EXPECT_EQ(s.shell.dockState, 0);
  EXPECT_TRUE(s.shell.isFirstOpening);
  EXPECT_EQ(s.state.fileURLForSaving, "Click to select...");
  EXPECT_EQ(c.fileURLTextField.text, "Click to select...");
  EXPECT_FALSE(c.fileURLTextField.enabled);
  EXPECT_FALSE(c.popOverSaveToButton.enabled);
  EXPECT_TRUE(c.saveAskEachTimeCheck.isOn());
  EXPECT_FALSE(c.saveStoreDirectoryCheck.isOn());
  EXPECT_EQ(s.state.saveWithStoredFileURL, 0);
  EXPECT_FALSE(c.overwriteCheck.isOn());
  EXPECT_TRUE(c.maintainHierarchyCheck.isOn());
  EXPECT_FALSE(c.renameIgnoreCheck.isOn());
  EXPECT_FALSE(c.metadataCheck.isOn());
  EXPECT_TRUE(c.memorizeToPresetCheck.isOn());
  EXPECT_TRUE(c.searchSubFoldersCheck.isOn());
  EXPECT_EQ(s.state.searchInSubFolders, 1);
  EXPECT_EQ(c.openWithPopUp.selectedIndex, 0);
  EXPECT_EQ(c.dateSelectPopUp.selectedIndex, 0);
  EXPECT_FALSE(s.state.lastSelectedPresetName.has_value());
}

TEST(Preferences, ReadOrder) {
  Shell s;
  s.launch();
  const std::vector<std::string> expected = {"PreviewFitsSize",   "ShowInFinder",
                                             "HideExtension",     "CPUGPUBehavior",
                                             "DockState",         "First Start",
                                             "GlobalPermission",  "LastSelectedPreset",
                                             "FilePath",          "OverwriteFiles",
                                             "MaintainHierarchy", "RenameIgnore",
                                             "PreserveMetadata",  "LoadFileOptionsFromPreset",
                                             "SearchSubFolders",  "OpenWith",
                                             "OpenWithAppID",     "SavingType",
                                             "Name Date"};
  EXPECT_EQ(s.reads, expected);
}

TEST(Preferences, SavingType) {
  struct Case {
    Value stored;
    bool storedFolder;
  };
  for (const Case& c : {Case{Value(1), true}, Case{Value("1"), true}, Case{Value(2), false},
                        Case{Value(-1), false}, Case{Value(0), false}}) {
    Shell s;
    s.stored["SavingType"] = c.stored;
    s.launch();
    const ConverterControls& controls = s.form.controls;
    SCOPED_TRACE(c.stored.debugString());
    EXPECT_EQ(s.state.saveWithStoredFileURL, c.storedFolder ? 1 : 0);
    EXPECT_EQ(controls.saveStoreDirectoryCheck.isOn(), c.storedFolder);
    EXPECT_EQ(controls.saveAskEachTimeCheck.isOn(), !c.storedFolder);
    EXPECT_FALSE(controls.saveAsImageCheck.isOn());
    EXPECT_EQ(controls.popOverSaveToButton.alpha, c.storedFolder ? 1.0 : 0.5);
    EXPECT_EQ(controls.fileURLTextField.enabled, c.storedFolder);
  }
}

TEST(Preferences, CPUGPUBehavior) {
  struct Case {
    Value stored;
    std::int64_t row;
    bool gpu;
  };
  for (const Case& c : {Case{Value(0), 0, true}, Case{Value(1), 1, false}, Case{Value(2), 2, false},
                        Case{Value("1"), 1, false}}) {
    Shell s;
    s.stored["CPUGPUBehavior"] = c.stored;
    s.launch();
    EXPECT_EQ(s.shell.cpuGPURow, c.row);
    EXPECT_EQ(s.state.useGPUForRendering, c.gpu);
    EXPECT_EQ(s.engine.ciPhotoFilters->filterUsesGPUForRendering(), c.gpu);
  }
}

TEST(Preferences, OpenWithAnotherApplication) {
  const foundation::Dictionary chosen{{"AppDisplayName", Value("Viewer")},
                                      {"AppFullPath", Value("/usr/share/applications/viewer.desktop")}};
  struct Case {
    const char* what;
    std::optional<Value> openWith;
    std::optional<Value> appID;
    std::vector<std::string> listed;
    std::int64_t item;
    std::vector<bool> on;
  };
  const std::string viewer = "/usr/share/applications/viewer.desktop";
  const Case cases[] = {
      {"listed twice", Value(14), Value(chosen), {viewer, "/b.desktop", viewer}, 14, {true, false, true}},
      {"no longer listed", Value(14), Value(chosen), {"/b.desktop"}, 0, {false}},
      {"nothing listed", Value(14), Value(chosen), {}, 0, {}},
      {"no application stored", Value(14), std::nullopt, {viewer}, 0, {}},
      {"empty application", Value(14), Value(foundation::Dictionary{}), {viewer}, 0, {}},
      {"another item", Value(3), Value(chosen), {viewer}, 3, {}},
  };
  for (const Case& c : cases) {
    Shell s;
    s.services.paths = c.listed;
    if (c.openWith) s.stored["OpenWith"] = *c.openWith;
    if (c.appID) s.stored["OpenWithAppID"] = *c.appID;
    s.launch();
    SCOPED_TRACE(c.what);
    EXPECT_EQ(s.form.controls.openWithPopUp.selectedIndex, c.item);
    EXPECT_EQ(s.engine.openWithAppID.empty(), c.item != 14);
    std::vector<bool> on;
    for (const ApplicationMenuItem& item : s.form.controls.openWithApplications) on.push_back(item.on);
    if (!c.on.empty()) {
      EXPECT_EQ(on, c.on);
    }
    // A quit writes the application only with item 14.
    for (const auto& [key, value] : s.quit())
      if (key == "OpenWithAppID") {
        EXPECT_EQ(value == Value(chosen), c.item == 14);
      }
  }
}

TEST(Preferences, WriteOrderAndTypes) {
  Shell s;
  s.stored["SearchSubFolders"] = Value(true);
  s.stored["LastSelectedPreset"] = Value("JPG for Web");
  s.launch();
  s.state.lastSelectedPresetName.reset();
  const auto written = s.quit();
  std::vector<std::string> keys;
  for (const auto& entry : written) keys.push_back(entry.first);
  const std::vector<std::string> expected = {"PreviewFitsSize",
                                             "ShowInFinder",
                                             "HideExtension",
                                             "First Start",
                                             "GlobalPermission",
                                             "Appearance",
                                             "DragAndDropBehavior",
                                             "CPUGPUBehavior",
                                             "OpenWithHide",
                                             "LastSelectedPreset",
                                             "FilePath",
                                             "LoadFileOptionsFromPreset",
                                             "SavingType",
                                             "SearchSubFolders",
                                             "OverwriteFiles",
                                             "MaintainHierarchy",
                                             "RenameIgnore",
                                             "PreserveMetadata",
                                             "OpenWith",
                                             "OpenWithAppID",
                                             "Name Date",
                                             "DockState",
                                             "WindowLevel"};
  EXPECT_EQ(keys, expected);
  const std::map<std::string, Value> values(written.begin(), written.end());
  EXPECT_TRUE(values.at("LastSelectedPreset").isNull());  // no name removes the key
  EXPECT_TRUE(values.at("SearchSubFolders").isInteger());
  EXPECT_EQ(values.at("SearchSubFolders"), Value(1));
  EXPECT_TRUE(values.at("MaintainHierarchy").isBool());
  EXPECT_EQ(values.at("DragAndDropBehavior"), Value(1));

  // The integer comes back as the flag.
  Shell again;
  again.stored = values;
  again.stored["SearchSubFolders"] = Value(0);
  again.launch();
  EXPECT_EQ(again.state.searchInSubFolders, 0);
  EXPECT_FALSE(again.form.controls.searchSubFoldersCheck.isOn());
}

TEST(Preferences, RoundTripThroughUserDefaults) {
  const std::string path = testing::TempDir() + "/round_trip_defaults.plist";
  std::remove(path.c_str());
  {
    foundation::UserDefaults defaults(path);
    Shell s;
    s.launch();
    s.state.fileURLForSaving = "/srv/out";
    s.state.saveWithStoredFileURL = 1;
    s.form.controls.dateSelectPopUp.select(2);
    s.shell.isFirstOpening = false;  // as launch leaves it
    writePreferences(storeIn(defaults), s.shell, s.form);
    ASSERT_TRUE(defaults.synchronize());
  }
  foundation::UserDefaults reread(path);
  Shell s;
  bool importToPreview = false;
  readAppearancePreferences(lookupIn(reread), s.shell, s.form, importToPreview);
  setDefaultValues(lookupIn(reread), s.shell, s.form);
  EXPECT_EQ(s.state.fileURLForSaving, "/srv/out");
  EXPECT_EQ(s.state.saveWithStoredFileURL, 1);
  EXPECT_FALSE(s.shell.isFirstOpening);
  EXPECT_TRUE(importToPreview);
}

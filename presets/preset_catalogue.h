#pragma once
// The catalogue of presets: the 16 built-in presets from the application's
// resources, then every preset file of the user's "ImagePresets" folder.
// It keeps the engine's presetsArray and the three menu lists in step,
// remembers the chosen preset by name and hands the choice to the
// converter's controls. Main thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/image_info.h"
#include "engine/imported_image.h"
#include "platform/foundation/value.h"
#include "presets/preset_menus.h"
#include "session/converter_state.h"

namespace velumar {

// The built-in presets' names, which are also their resource file names, in
// catalogue order.
extern const std::array<std::string_view, kBuiltInPresetCount> kBuiltInPresetNames;

// What the catalogue asks of the converter's option controls.
class PresetControlsTarget {
 public:
  virtual ~PresetControlsTarget() = default;
  // Writes the preset at catalogue position into the controls; false when
  // refused.
  virtual bool setPopOverViewFromPreset(std::size_t position) = 0;
  // Resets the controls to the default preset; false when refused.
  virtual bool setDefaultPreset() = 0;
};

class PresetCatalogue {
 public:
  // systemPresetFolder holds the built-in files; by default the bundled
  // "presets" resource folder.
  PresetCatalogue(ImportedImage& engine, ConverterState& state, PresetControlsTarget& controls,
                  std::string systemPresetFolder = {});

  // "<application support>/ImagePresets" and ".../TempData", created when
  // missing (a failure is logged, the path is answered all the same).
  static std::string getAppSupportPath();
  static std::string getTempDataPath();

  // Appends the 16 built-in presets. A missing or unreadable file keeps its
  // position: its name is added with a new preset's values, not deletable.
  void addSystemPresets();
  // Rebuilds presetsArray and the lists together: built-in presets,
  // then every file below "ImagePresets", hidden ones included, folder links
  // not followed; then re-selects the remembered preset and applies it.
  void addPresetsFromFiles();
  // Turns one file's dictionary into a preset at the end of the catalogue;
  // no dictionary adds nothing.
  void setupPresetValuesWithDictionary(const std::optional<foundation::Value>& dictionary,
                                       const std::string& path, bool isSystemPreset);

  // The selection actions: the pop-up (position = selected item), an item of
  // the built-in submenu and an item of the user submenu. Each selects the
  // preset everywhere, remembers its name and applies it. Refused (false)
  // while a batch runs, for an item out of range and for "No presets".
  bool updateCurrentPresetFrom(std::int64_t position);
  bool changePresetSubmenuFrom(std::size_t builtInItem);
  bool changeCustomPresetSubmenuFrom(std::size_t userItem);
  // The "memorize file options" check box: on (1) makes presets carry the
  // file options and applies the selected preset again; any other state
  // turns that off.
  void memorizeSavingMethodToPresetFrom(int checkState);
  // Empties "TempData"; the folder stays.
  void clearTempDirectory();

  PresetMenus& menus() { return menus_; }
  const PresetMenus& menus() const { return menus_; }
  const std::string& systemPresetFolder() const { return systemPresetFolder_; }

 private:
  bool selectAndApply(std::size_t position);

  ImportedImage& engine_;
  ConverterState& state_;
  PresetControlsTarget& controls_;
  std::string systemPresetFolder_;
  PresetMenus menus_;
};

}  // namespace velumar

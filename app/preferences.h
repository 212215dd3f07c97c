#pragma once
// The application's preferences in the user defaults: read at launch into
// the converter and the shell, written back together at quit. No defaults
// are registered: a missing key means its default. Reads and writes go
// through two functions, so callers see (and tests log) their order.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/user_defaults.h"
#include "platform/foundation/value.h"

namespace velumar {

class ConverterForm;

using PreferenceLookup = std::function<std::optional<foundation::Value>(const std::string& key)>;
// A null value removes the key.
using PreferenceStore = std::function<void(const std::string& key, foundation::Value value)>;

PreferenceLookup lookupIn(const foundation::UserDefaults& defaults);
PreferenceStore storeIn(foundation::UserDefaults& defaults);

// What the shell itself keeps: the preferences window's controls and the
// preview window's size behaviour.
struct ShellPreferences {
  bool windowRemainsSameSize = false;  // the preview window keeps its size
  std::int64_t cpuGPURow = 0;          // 0 graphics processor, 1 processor
  std::int64_t dockState = 0;          // 1: no task-bar entry of its own
  std::int64_t dragAndDropRow = 1;     // written, never read
  std::int64_t bubbleView = 0;         // written, never read
  bool alwaysOnTop = false;            // written as "WindowLevel"
  bool isFirstOpening = false;
};

// The converter's "Open With" item for another application.
inline constexpr std::int64_t kOpenWithOtherApplicationItem = 14;

// Launch step 1: "PreviewFitsSize", "ShowInFinder", "HideExtension",
// "CPUGPUBehavior", "DockState", with the fixed settings between them.
// importToPreview receives the drop behaviour to give the converter.
void readAppearancePreferences(const PreferenceLookup& lookup, ShellPreferences& shell, ConverterForm& form,
                               bool& importToPreview);
// Launch step 2: the file preferences, from "First Start" to "Name Date".
void setDefaultValues(const PreferenceLookup& lookup, ShellPreferences& shell, ConverterForm& form);
// Quit: every key in its order (the caller synchronises).
void writePreferences(const PreferenceStore& store, const ShellPreferences& shell, ConverterForm& form);

// The filter engine renders on the graphics processor (or not).
void updateCPUGPUFilterRendering(ConverterForm& form, bool useGPU);

}  // namespace velumar

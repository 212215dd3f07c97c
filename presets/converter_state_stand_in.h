#pragma once
// The converter properties the preset catalogue reads and sets.

#include <atomic>
#include <optional>
#include <string>

namespace velumar {

struct ConverterState {
  std::atomic<bool> isProcessingImages{false};
  std::optional<std::string> lastSelectedPresetName;
  bool loadFileOptionsFromPreset = false;
};

}  // namespace velumar

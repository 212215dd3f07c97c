#pragma once
// The rename switches taken from the rename controls and the rename texts
// and numbers they apply.

#include <cstdint>
#include <string>

namespace velumar {

// Placeholder texts the rename and output-folder fields keep as values;
// each means "none" wherever it is compared.
inline constexpr const char* kNamePlaceholder = "Keep original...";
inline constexpr const char* kPrefixPlaceholder = "Add prefix...";
inline constexpr const char* kSuffixPlaceholder = "Add suffix...";
inline constexpr const char* kOutputFolderPlaceholder = "Click to select...";

// Which rename controls are enabled and which pop-up items are selected.
struct RenameInfo {
  bool nameTextFieldEnabled = false;
  bool prefixTextFieldEnabled = false;
  bool suffixTextFieldEnabled = false;
  std::int64_t numberPopUpIndex = 0;  // 0 none, 1 before the name, 2+ after it
  bool initialNumberTextFieldEnabled = false;
  bool zerosTextFieldEnabled = false;
  std::int64_t datePopUpIndex = 0;  // 0 none, 1 before, 2 after, 3+ instead of the name
  bool operator==(const RenameInfo&) const = default;
};

// The committed rename texts and numbers (placeholders mean none).
struct RenameValues {
  std::string nameString = kNamePlaceholder;
  std::string prefixString = kPrefixPlaceholder;
  std::string suffixString = kSuffixPlaceholder;
  std::int64_t initialNumber = -1;  // negative: numbering off
  std::int64_t zerosNumber = -1;    // digits to pad to; only 1 to 9 pad
  bool operator==(const RenameValues&) const = default;
};

}  // namespace velumar

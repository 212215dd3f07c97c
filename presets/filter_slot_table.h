#pragma once
// The filter slots' option controls: for each filter type, which controls
// its popover shows (labels, ranges, starting values), which FilterInfo
// fields they feed and which fields get fixed values; and the operations
// that lay a slot out for its type, read its controls back into a record,
// empty it, and put stored values into the controls. Headless: they work on
// the controls model; the window only shows it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "filters/filter_info.h"
#include "platform/foundation/value.h"
#include "presets/converter_controls.h"

namespace velumar {

class CIFiltering;

using FilterField = double FilterInfo::*;

struct SlotSlider {
  const char* label;
  double minValue, maxValue, start;
  FilterField field;
};

struct SlotColor {
  const char* label;
  std::array<FilterField, 4> fields;  // red, green, blue, alpha
};

struct SlotFixed {
  FilterField field;
  double value;
};

struct FilterSlotRow {
  SlotLayout layout = SlotLayout::None;
  std::vector<SlotSlider> sliders;  // the angle layout's one dial is here too
  std::vector<SlotColor> colors;
  std::vector<SlotFixed> fixed;
};

class FilterSlotTable {
 public:
  static constexpr std::int64_t kTypeCount = 112;
  // The row of a type; types without options (and any other number) get
  // the empty row.
  static const FilterSlotRow& row(std::int64_t type);
  // Whether the filter engine renders something for the type.
  static bool hasOperation(std::int64_t type);
  // The filter pop-up's title for the type; types without an operation are
  // section headers.
  static std::string title(std::int64_t type);
};

// The filter pop-ups' items: one per type, headers disabled.
void setFilterTypeItems(PopUp& popUp);

// Lays the slot out for the type its pop-up selects (setSliderValue: the
// type's starting values, white and black wells) or keeps the values, then
// reads the slot's controls into a fresh default record with the type's
// fixed values, rewriting the slot's text fields. A type without options
// empties the slot and closes its popover. Slots other than 0 to 2 give
// the defaults and change nothing.
FilterInfo updateSliderValuesForArrayIndex(ConverterControls& controls, std::size_t slot,
                                           bool setSliderValue);

// Hides and disables the slot's controls and empties its labels and fields.
void resetViewForIndex(ConverterControls& controls, std::size_t slot);

// Puts stored values into the option controls by position: a finite number
// into a slider (clamped to its range), a colour dictionary into a well.
// Strings, other kinds, non-finite numbers and missing entries leave their
// control as it is; entries past the 18th are ignored.
void updateSliderValuesWithArray(ConverterControls& controls, const foundation::Array& values);

// The record the engine renders the slot with.
void storeSlotRecord(CIFiltering& filters, std::size_t slot, const FilterInfo& record);

// The option fields' number text (up to two fraction digits).
std::string optionFieldText(double value);
// The number typed into an option field; nullopt when it is none.
std::optional<double> parseOptionField(const std::string& text);

}  // namespace velumar

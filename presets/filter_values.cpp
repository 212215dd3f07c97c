#include "presets/filter_values.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "filters/cifiltering.h"
#include "presets/filter_slot_table.h"

namespace velumar {

FilterSnapshot filterValuesSnapshot(const ConverterControls& controls) {
  FilterSnapshot values;
  for (const OptionControl& control : controls.optionsSliderArray) {
    if (!control.enabled) {
      values.emplace_back("");
    } else if (control.kind == OptionControl::Kind::ColorWell) {
      const auto& c = control.color.rgba;
      values.emplace_back(foundation::Dictionary{{"redComponent", double(float(c[0]))},
                                                 {"greenComponent", double(float(c[1]))},
                                                 {"blueComponent", double(float(c[2]))},
                                                 {"alphaComponent", double(float(c[3]))}});
    } else {
      values.emplace_back(double(control.slider.value));
    }
  }
  return values;
}

void FilterValues::layOutSlot(std::size_t slot, bool setSliderValue) {
  const FilterInfo record = updateSliderValuesForArrayIndex(form_.controls, slot, setSliderValue);
  if (form_.engine().ciPhotoFilters) storeSlotRecord(*form_.engine().ciPhotoFilters, slot, record);
}

void FilterValues::announceUndoState() const {
  if (undoStateChanged) undoStateChanged();
}

void FilterValues::clearStacks() {
  stacks_.clear();
  announceUndoState();
}

void FilterValues::changeFilterTypeForSlot(std::size_t slot) {
  clearStacks();
  layOutSlot(slot, true);
  addArrayValuesToFilterValuesAndUpdateUndo(false);
  if (filtersChanged) filtersChanged();
}

void FilterValues::changeFilterToExampleImage() {
  for (std::size_t slot = 0; slot < kFilterSlotCount; ++slot) layOutSlot(slot, false);
  if (filtersChanged) filtersChanged();
}

void FilterValues::updateSliderValue(bool gestureEnds) {
  changeFilterToExampleImage();
  if (gestureEnds) addArrayValuesToFilterValuesAndUpdateUndo(true);
}

bool FilterValues::updateTextFieldValue(std::size_t field, const std::string& text) {
  const std::optional<double> typed = parseOptionField(text);
  if (!typed || !std::isfinite(*typed) || field >= kOptionFieldCount) return false;
  const std::size_t control = form_.controls.filterSlots.connectedTextFieldArray[field];
  if (control >= kOptionControlCount) return false;
  OptionControl& target = form_.controls.optionsSliderArray[control];
  if (target.kind == OptionControl::Kind::ColorWell || !target.enabled) return false;
  double value = *typed;
  if (control > 8) value *= std::numbers::pi / 180;
  Slider& slider = target.slider;
  slider.value = float(std::max(std::min(value, double(slider.maxValue)), double(slider.minValue)));
  updateSliderValue(true);
  return true;
}

void FilterValues::restore(const FilterSnapshot& snapshot) {
  updateSliderValuesWithArray(form_.controls, snapshot);
  announceUndoState();
  changeFilterToExampleImage();
}

bool FilterValues::step(std::optional<FilterSnapshot> (FilterUndoStacks::*move)()) {
  if (processing()) return false;
  const std::optional<FilterSnapshot> snapshot = (stacks_.*move)();
  if (snapshot) {
    restore(*snapshot);
  } else {
    announceUndoState();
  }
  return snapshot.has_value();
}

bool FilterValues::undo() {
  return step(&FilterUndoStacks::undo);
}

bool FilterValues::redo() {
  return step(&FilterUndoStacks::redo);
}

void FilterValues::updateFilterValuesForPreset(const ImageInfo& preset) {
  clearStacks();
  for (std::size_t slot = 0; slot < kFilterSlotCount; ++slot) layOutSlot(slot, true);
  updateSliderValuesWithArray(form_.controls, preset.filterValues);
  changeFilterToExampleImage();
  addArrayValuesToFilterValuesAndUpdateUndo(false);
}

void FilterValues::addArrayValuesToFilterValuesAndUpdateUndo(bool undo) {
  FilterSnapshot snapshot = filterValuesSnapshot(form_.controls);
  if (!undo) {
    stacks_.setCurrent(std::move(snapshot));
    return;
  }
  stacks_.record(std::move(snapshot));
  announceUndoState();
}

}  // namespace velumar

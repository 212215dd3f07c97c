#pragma once
// The filter option values as the user edits them: a filter type chosen in
// a slot, option controls moved or typed into, undo and redo, and a
// preset's stored values. Each change reaches the filter engine's slot
// records at once and is announced through filtersChanged (the window
// filters its example image and asks for a live preview); each finished
// edit is one undo step. Headless; main thread only.

#include <cstddef>
#include <functional>
#include <string>

#include "engine/image_info.h"
#include "presets/converter_form.h"
#include "presets/filter_undo_stacks.h"

namespace velumar {

// One entry per option control: an enabled slider's value, an enabled
// well's colour as a dictionary of components, "" for a disabled control.
FilterSnapshot filterValuesSnapshot(const ConverterControls& controls);

class FilterValues {
 public:
  explicit FilterValues(ConverterForm& form) : form_(form) {}

  // The slot records changed: refresh the example image and the preview.
  std::function<void()> filtersChanged;
  // Whether undo or redo became possible or impossible.
  std::function<void()> undoStateChanged;

  // The slot's filter pop-up chose a type: both stacks empty, the slot laid
  // out with the type's starting values.
  void changeFilterTypeForSlot(std::size_t slot);
  // The three slots re-read from their controls into the engine, then
  // filtersChanged.
  void changeFilterToExampleImage();
  // An option control moved. While a gesture runs the engine and the
  // example follow; the gesture's end is one undo step.
  void updateSliderValue(bool gestureEnds = true);
  // A value typed into option field j: parsed (degrees for a dial), clamped
  // to the connected control's range; false when nothing was set.
  bool updateTextFieldValue(std::size_t field, const std::string& text);
  // Nothing while a batch runs or with an empty stack.
  bool undo();
  bool redo();
  // Both stacks empty, the slots laid out for their types, the stored
  // values put into the controls and re-read.
  void updateFilterValuesForPreset(const ImageInfo& preset);
  // The current values become the current snapshot; with undo, the
  // previous one becomes an undo step.
  void addArrayValuesToFilterValuesAndUpdateUndo(bool undo);

  bool canUndo() const { return stacks_.canUndo() && !processing(); }
  bool canRedo() const { return stacks_.canRedo() && !processing(); }
  const FilterUndoStacks& stacks() const { return stacks_; }

 private:
  bool processing() const { return form_.state().isProcessingImages.load(); }
  void layOutSlot(std::size_t slot, bool setSliderValue);
  void restore(const FilterSnapshot& snapshot);
  bool step(std::optional<FilterSnapshot> (FilterUndoStacks::*move)());
  void clearStacks();
  void announceUndoState() const;

  ConverterForm& form_;
  FilterUndoStacks stacks_;
};

}  // namespace velumar

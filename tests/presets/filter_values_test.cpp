#include "presets/filter_values.h"

#include <gtest/gtest.h>

#include <numbers>

#include "filters/cifiltering.h"
#include "presets/filter_slot_table.h"
#include "presets/headless_window_services.h"

using namespace velumar;

namespace {

struct Values {
  ImportedImage engine;
  ConverterState state;
  HeadlessWindowServices services;
  ConverterForm form{state, engine, services};
  FilterValues values{form};
  int refreshes = 0;

  Values() {
    values.filtersChanged = [this] { ++refreshes; };
    form.controls.filterTypePopUp0.selectedIndex = 57;  // three sliders in slot 0
    values.changeFilterTypeForSlot(0);
  }
  float slider(std::size_t i) { return form.controls.optionsSliderArray[i].slider.value; }
  void change(float value) {
    form.controls.optionsSliderArray[0].slider.value = value;
    values.updateSliderValue();
  }
};

}  // namespace

TEST(FilterUndoStacks, ThirteenthChangeOverwritesTheNewestEntry) {
  FilterUndoStacks stacks;
  stacks.setCurrent({0.0});
  for (int i = 1; i <= 13; ++i) stacks.record({double(i)});
  EXPECT_EQ(stacks.undoCount(), 12u);
  // Before the 13th change, then before the 11th: the state before the
  // 12th was overwritten.
  const double expected[] = {12, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
  for (double want : expected) {
    const auto snapshot = stacks.undo();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ((*snapshot)[0], foundation::Value(want));
  }
  EXPECT_FALSE(stacks.undo());
  EXPECT_EQ(stacks.redoCount(), 12u);
  ASSERT_TRUE(stacks.redo());
  EXPECT_EQ(stacks.current()[0], foundation::Value(1.0));
  stacks.record({99.0});
  EXPECT_FALSE(stacks.canRedo());
}

TEST(FilterValues, UndoAfterThirteenChangesReturnsBeforeTheThirteenthThenTheEleventh) {
  Values v;
  for (int i = 1; i <= 13; ++i) v.change(0.1f * float(i));
  EXPECT_TRUE(v.values.undo());
  EXPECT_EQ(v.slider(0), 0.1f * 12);
  EXPECT_TRUE(v.values.undo());
  EXPECT_EQ(v.slider(0), 0.1f * 10);
  EXPECT_EQ(v.engine.ciPhotoFilters->filterInfo0().saturationLevel, double(0.1f * 10));
  EXPECT_TRUE(v.values.redo());
  EXPECT_EQ(v.slider(0), 0.1f * 12);
}

TEST(FilterValues, TypeChangeAndPresetLoadClearBothStacks) {
  Values v;
  v.change(0.5f);
  v.change(0.7f);
  v.values.undo();
  ASSERT_TRUE(v.values.canUndo());
  ASSERT_TRUE(v.values.canRedo());
  v.form.controls.filterTypePopUp1.selectedIndex = 73;
  v.values.changeFilterTypeForSlot(1);
  EXPECT_FALSE(v.values.canUndo());
  EXPECT_FALSE(v.values.canRedo());

  v.change(0.9f);
  ImageInfo preset;
  preset.filterValues = foundation::Array(kOptionControlCount, foundation::Value(""));
  preset.filterValues[0] = 1.25;
  v.values.updateFilterValuesForPreset(preset);
  EXPECT_FALSE(v.values.canUndo());
  EXPECT_EQ(v.slider(0), 1.25f);
  EXPECT_EQ(v.engine.ciPhotoFilters->filterInfo0().saturationLevel, 1.25);
  EXPECT_EQ(v.values.stacks().current()[0], foundation::Value(1.25));
}

TEST(FilterValues, UndoLeavesAControlDisabledInTheSnapshot) {
  Values v;
  v.form.controls.optionsSliderArray[1].enabled = false;
  v.values.addArrayValuesToFilterValuesAndUpdateUndo(false);
  v.form.controls.optionsSliderArray[1].enabled = true;
  v.form.controls.optionsSliderArray[1].slider.value = 0.25f;
  v.change(1.5f);
  v.values.undo();
  EXPECT_EQ(v.slider(0), 1.0f);
  EXPECT_EQ(v.slider(1), 0.25f);
}

TEST(FilterValues, TypedValues) {
  struct Row {
    std::int64_t type;
    std::size_t field;
    std::string text;
    std::size_t control;
    float expected;
    bool set;
  };
  const Row rows[] = {
      {80, 0, "90", 9, float(std::numbers::pi / 2), true},
      {57, 0, "1.5", 0, 1.5f, true},
      {57, 0, "7", 0, 2.0f, true},  // beyond the range: its end
      {57, 1, "-3", 1, -0.5f, true},
      {57, 0, "abc", 0, 1.0f, false},
      {57, 0, "", 0, 1.0f, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Values v;
    v.form.controls.filterTypePopUp0.selectedIndex = row.type;
    v.values.changeFilterTypeForSlot(0);
    EXPECT_EQ(v.values.updateTextFieldValue(row.field, row.text), row.set);
    EXPECT_EQ(v.slider(row.control), row.expected);
    EXPECT_EQ(v.values.canUndo(), row.set);
  }
}

TEST(FilterValues, NothingWhileProcessing) {
  Values v;
  v.change(0.5f);
  v.state.isProcessingImages = true;
  EXPECT_FALSE(v.values.canUndo());
  EXPECT_FALSE(v.values.undo());
  EXPECT_EQ(v.slider(0), 0.5f);
  v.state.isProcessingImages = false;
  EXPECT_TRUE(v.values.undo());
}

TEST(FilterValues, OneDragIsOneStep) {
  Values v;
  const int before = v.refreshes;
  for (float value : {0.2f, 0.4f, 0.6f, 0.8f}) {
    v.form.controls.optionsSliderArray[0].slider.value = value;
    v.values.updateSliderValue(false);
    EXPECT_EQ(v.engine.ciPhotoFilters->filterInfo0().saturationLevel, double(value));
  }
  v.values.updateSliderValue(true);
  EXPECT_EQ(v.refreshes - before, 5);
  EXPECT_EQ(v.values.stacks().undoCount(), 1u);
  v.values.undo();
  EXPECT_EQ(v.slider(0), 1.0f);
}

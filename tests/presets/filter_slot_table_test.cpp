#include "presets/filter_slot_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace velumar;

namespace {

PopUp& popUp(ConverterControls& c, std::size_t slot) {
  PopUp* popUps[] = {&c.filterTypePopUp0, &c.filterTypePopUp1, &c.filterTypePopUp2};
  return *popUps[slot];
}

FilterInfo choose(ConverterControls& c, std::size_t slot, std::int64_t type) {
  popUp(c, slot).selectedIndex = type;
  return updateSliderValuesForArrayIndex(c, slot, true);
}

}  // namespace

TEST(FilterSlotTable, PopUpItemsAreTheTypesWithHeadersDisabled) {
  ConverterControls c;
  ASSERT_EQ(c.filterTypePopUp1.items.size(), 112u);
  for (std::int64_t type : {1, 2, 11, 12, 55, 56, 77, 78, 88, 89, 101, 102})
    EXPECT_FALSE(c.filterTypePopUp1.items[std::size_t(type)].enabled) << type;
  for (std::int64_t type : {0, 3, 10, 13, 37, 54, 57, 58, 76, 79, 87, 90, 100, 103, 111}) {
    EXPECT_TRUE(c.filterTypePopUp1.items[std::size_t(type)].enabled) << type;
    EXPECT_FALSE(c.filterTypePopUp1.items[std::size_t(type)].title.empty()) << type;
  }
}

// Each row: the type, the slot, the controls it must show, and the fields
// its starting values must reach.
TEST(FilterSlotTable, LayoutsShowTheirControlsAndFeedTheirFields) {
  struct Row {
    std::int64_t type;
    std::size_t slot;
    std::vector<std::size_t> controls;
    std::vector<std::pair<double FilterInfo::*, double>> fields;
    std::vector<std::string> labels;  // labels 3i, 3i+1, 3i+2
  };
  using F = FilterInfo;
  const Row rows[] = {
      {57,
       0,
       {0, 1, 2},
       {{&F::saturationLevel, 1}, {&F::brightnessLevel, 0}},
       {"Saturation", "Brightness", "Contrast"}},
      {59, 1, {4}, {{&F::saturationLevel, double(0.4f)}}, {"", "Saturation", ""}},
      {74, 2, {6, 7}, {{&F::temperatureLevel, 10000}, {&F::tintLevel, 6500}}, {"Temperature", "Level", ""}},
      {80, 1, {10}, {{&F::straightenAngle, double(float(std::numbers::pi / 2))}}, {"", "Angle", ""}},
      {67, 0, {12}, {{&F::cColorRed, 1}, {&F::cColorAlpha, 1}}, {"", "Color:", ""}},
      {68,
       2,
       {7, 14},
       {{&F::colorMonochromeIntensity, 1}, {&F::cColorGreen, 1}},
       {"Color:", "Intensity", ""}},
      {69,
       1,
       {13, 16},
       {{&F::cColorRed, 1}, {&F::cColorRedFC, 0}, {&F::cColorAlphaFC, 1}},
       {"Color 0:", "Color 1:", ""}},
      {54,
       0,
       {0, 1, 2},
       {{&F::hdrRadius, 24}, {&F::hdrBins, 96}, {&F::hdrSaturation, 0.800000011920929}},
       {"Radius", "Intensity", "Contrast"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type);
    ConverterControls c;
    const FilterInfo record = choose(c, row.slot, row.type);
    for (std::size_t i = 0; i < kOptionControlCount; ++i) {
      const bool used = std::find(row.controls.begin(), row.controls.end(), i) != row.controls.end();
      EXPECT_EQ(c.optionsSliderArray[i].enabled, used) << i;
      EXPECT_EQ(c.optionsSliderArray[i].hidden, !used) << i;
    }
    for (const auto& [field, value] : row.fields) EXPECT_EQ(record.*field, value);
    for (std::size_t k = 0; k < 3; ++k)
      EXPECT_EQ(c.filterSlots.optionsLabelArray[3 * row.slot + k], row.labels[k]);
    const ToggleButton& button = c.filterSlots.optionsButtonArray[row.slot];
    EXPECT_TRUE(button.enabled);
    EXPECT_EQ(button.alpha, 1.0);
  }
}

TEST(FilterSlotTable, ChangingTypeFeedsTheNewFieldsAndFixedValues) {
  ConverterControls c;
  choose(c, 0, 52);
  const FilterInfo record = choose(c, 0, 53);
  EXPECT_EQ(c.filterSlots.optionsLabelArray[0], "Saturation");
  EXPECT_EQ(c.optionsSliderArray[0].slider.value, 1.0f);
  EXPECT_EQ(record.hdrRadius, 16);
  c.optionsSliderArray[0].slider.value = -1.5f;
  EXPECT_EQ(updateSliderValuesForArrayIndex(c, 0, false).hdrSaturation, -1.5);
}

TEST(FilterSlotTable, TextFieldsShowTheValueAsTheLayoutReadsIt) {
  ConverterControls c;
  choose(c, 1, 74);
  c.optionsSliderArray[3].slider.value = 6500.7f;
  c.optionsSliderArray[4].slider.value = 999.5f;
  updateSliderValuesForArrayIndex(c, 1, false);
  EXPECT_EQ(c.filterSlots.optionsTextFieldArray[3].text, optionFieldText(6500));
  EXPECT_EQ(c.filterSlots.optionsTextFieldArray[4].text, optionFieldText(999.5));
  EXPECT_NE(optionFieldText(999.5), optionFieldText(999));

  choose(c, 2, 80);
  EXPECT_EQ(c.filterSlots.optionsTextFieldArray[6].text, "90");
  EXPECT_EQ(c.filterSlots.connectedTextFieldArray[6], 11u);
}

TEST(FilterSlotTable, ColourLayoutsStartWhiteAndBlack) {
  ConverterControls c;
  for (std::int64_t type : {67, 68, 69}) {
    c.optionsSliderArray[12].color.rgba = c.optionsSliderArray[15].color.rgba = {0.3, 0.3, 0.3, 0.3};
    choose(c, 0, type);
    EXPECT_EQ(c.optionsSliderArray[12].color.rgba, (std::array<double, 4>{1, 1, 1, 1})) << type;
    if (type == 69) {
      EXPECT_EQ(c.optionsSliderArray[15].color.rgba, (std::array<double, 4>{0, 0, 0, 1}));
    }
  }
}

TEST(FilterSlotTable, TypesWithoutOptionsEmptyTheSlotAndCloseItsPopover) {
  for (std::int64_t type : {0, 1, 5, 12, 58, 90, 92, 112, -1}) {
    ConverterControls c;
    choose(c, 1, 57);
    c.filterSlots.popoverShown[1] = true;
    c.filterSlots.optionsButtonArray[1].on = true;
    const FilterInfo record = choose(c, 1, type);
    EXPECT_FALSE(c.filterSlots.popoverShown[1]) << type;
    const ToggleButton& button = c.filterSlots.optionsButtonArray[1];
    EXPECT_FALSE(button.on);
    EXPECT_FALSE(button.enabled);
    EXPECT_EQ(button.alpha, 0.5);
    for (std::size_t i : {3, 4, 5, 10, 13, 16}) EXPECT_FALSE(c.optionsSliderArray[i].enabled) << i;
    EXPECT_TRUE(c.filterSlots.optionsTextFieldArray[3].text.empty());
    EXPECT_EQ(record, FilterInfo{});
  }
}

TEST(FilterSlotTable, ReReadingResetsFieldsTheTypeDoesNotFeed) {
  ConverterControls c;
  choose(c, 0, 57);
  c.optionsSliderArray[0].slider.value = 1.75f;
  EXPECT_EQ(updateSliderValuesForArrayIndex(c, 0, false).saturationLevel, 1.75);
  const FilterInfo record = choose(c, 0, 65);
  EXPECT_EQ(record.saturationLevel, FilterInfo{}.saturationLevel);
  EXPECT_EQ(record.gammaLevel, 1.25);
}

TEST(FilterSlotTable, StoredValuesEnterTheControlsOrLeaveThem) {
  ConverterControls c;
  choose(c, 0, 57);
  choose(c, 1, 68);
  const foundation::Dictionary red{
      {"redComponent", 1.0}, {"greenComponent", 0.0}, {"blueComponent", 0.0}, {"alphaComponent", 1.0}};
  foundation::Array values(kOptionControlCount, foundation::Value(""));
  values[0] = 1.5;                                       // set
  values[1] = 7.0;                                       // clamped to 0.5
  values[2] = std::numeric_limits<double>::quiet_NaN();  // refused
  values[4] = foundation::Value("0.2");                  // a string leaves it
  values[13] = red;                                      // colour set
  values[12] = 0.5;                                      // wrong kind for a well
  updateSliderValuesWithArray(c, values);
  EXPECT_EQ(c.optionsSliderArray[0].slider.value, 1.5f);
  EXPECT_EQ(c.optionsSliderArray[1].slider.value, 0.5f);
  EXPECT_EQ(c.optionsSliderArray[2].slider.value, 1.0f);
  EXPECT_EQ(c.optionsSliderArray[4].slider.value, 1.0f);
  EXPECT_EQ(c.optionsSliderArray[13].color.rgba, (std::array<double, 4>{1, 0, 0, 1}));
  EXPECT_EQ(c.optionsSliderArray[12].color.rgba, (std::array<double, 4>{1, 1, 1, 1}));

  // A short list leaves the rest; extra entries are ignored.
  updateSliderValuesWithArray(c, foundation::Array{0.25});
  EXPECT_EQ(c.optionsSliderArray[0].slider.value, 0.25f);
  EXPECT_EQ(c.optionsSliderArray[1].slider.value, 0.5f);
  foundation::Array longer(30, foundation::Value(0.75));
  updateSliderValuesWithArray(c, longer);
  EXPECT_EQ(c.optionsSliderArray[0].slider.value, 0.75f);
}

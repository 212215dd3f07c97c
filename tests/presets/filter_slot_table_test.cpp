#include "presets/filter_slot_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

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

// Every slider of every type: range, starting value and the field it feeds,
// read from a freshly laid-out slot 0 (sliders at 0 to 2 in order, or the
// one slider at 1; the dial at 9).
TEST(FilterSlotTable, EverySliderHasItsRangeStartAndField) {
  using F = FilterInfo;
  struct Slider {
    double minValue, maxValue, start;
    double FilterInfo::*field;
  };
  struct Row {
    std::vector<std::int64_t> types;
    std::vector<Slider> sliders;
  };
  const double pi = std::numbers::pi;
  const Row cube{{}, {{-1, 2, 1, &F::colorCubeLevel0}, {-1, 1, 0, &F::colorCubeLevel1}, {-1, 1, 0, &F::colorCubeLevel2}}};
  std::vector<Row> rows = {
      {{52}, {{8, 32, 16, &F::hdrRadius}, {64, 512, 320, &F::hdrBins}, {1, 20, 3, &F::hdrClipLimit}}},
      {{53}, {{-2, 2, 1, &F::hdrSaturation}, {64, 512, 320, &F::hdrBins}, {1, 20, 3, &F::hdrClipLimit}}},
      {{54}, {{8, 32, 24, &F::hdrRadius}, {64, 512, 96, &F::hdrBins}, {1, 20, 10, &F::hdrClipLimit}}},
      {{57}, {{0, 2, 1, &F::saturationLevel}, {-0.5, 0.5, 0, &F::brightnessLevel}, {0, 2, 1, &F::contrastLevel}}},
      {{59}, {{0, 2, 0.4, &F::saturationLevel}}},
      {{60}, {{0, 2, 1.5, &F::saturationLevel}}},
      {{61}, {{0.5, 2, 0.8, &F::contrastLevel}}},
      {{62}, {{0.5, 2, 1.3, &F::contrastLevel}}},
      {{63}, {{-2, 2, -1, &F::exposureLevel}}},
      {{64}, {{-2, 2, 1, &F::exposureLevel}}},
      {{65}, {{0, 1.9, 1.25, &F::gammaLevel}}},
      {{66}, {{0, 2 * pi, 0, &F::hueAngle}}},
      {{68}, {{0, 1, 1, &F::colorMonochromeIntensity}}},
      {{70}, {{-1, 2, 1, &F::HSHighLightAmount}, {-1, 1, -0.5, &F::HSShadowAmount}}},
      {{71}, {{-1, 2, 1, &F::HSHighLightAmount}, {-1, 1, 0.5, &F::HSShadowAmount}}},
      {{72}, {{-1, 1, 0.8, &F::vibranceLevel}}},
      {{73}, {{0, 1, 1, &F::sepiaLevel}}},
      {{74}, {{2500, 11000, 10000, &F::temperatureLevel}, {2500, 11000, 6500, &F::tintLevel}}},
      {{75}, {{2500, 11000, 3000, &F::temperatureLevel}, {2500, 11000, 6500, &F::tintLevel}}},
      {{76}, {{2, 60, 31, &F::hdrGaussRadius}, {1, 15, 8, &F::hdrUnsharpMaskRadius}, {0.1, 1, 0.55, &F::hdrUnsharpMaskIntensity}}},
      {{79}, {{0, 2 * pi, 0, &F::straightenAngle}}},
      {{80}, {{0, 2 * pi, pi / 2, &F::straightenAngle}}},
      {{81}, {{0, 2 * pi, pi, &F::straightenAngle}}},
      {{82}, {{0, 1, 0.4, &F::sharpenLuminanceLevel}}},
      {{83}, {{1, 10, 2.5, &F::unsharpMaskRadius}, {0.1, 1, 0.5, &F::unsharpMaskIntensity}}},
      {{84}, {{1, 10, 4, &F::blurLevel}}},
      {{85}, {{1, 20, 2, &F::blurLevel}}},
      {{86}, {{2, 30, 4, &F::zoomBlurLevel}}},
      {{87}, {{0, 0.1, 0.02, &F::noiseReductionLevel}, {0, 1, 0.4, &F::noiseReductionSharpness}}},
      {{93}, {{0.1, 2, 1, &F::edgesLevel}}},
      {{94}, {{1, 40, 10, &F::crystallizeRadius}}},
      {{95}, {{1, 15, 10, &F::gloomRadius}, {0, 2, 1, &F::gloomIntensity}}},
      {{96}, {{1, 15, 8, &F::pixellateScale}}},
      {{97}, {{0.1, 2, 1, &F::vignetteRadius}, {0, 10, 2, &F::vignetteIntensity}}},
      {{98}, {{2, 15, 10, &F::tiltShiftRadius}, {0.55, 1, 0.75, &F::tiltShiftDistance}}},
      {{99}, {{0.1, 1, 0.1, &F::noiseIntensity}}},
      {{100}, {{0.1, 1, 1, &F::oldPhotoIntensity}, {0.1, 1, 0.3, &F::oldPhotoNoise}}},
      {{103}, {{0, 360, 0, &F::hslHueLevel}, {0, 2, 1, &F::hslSaturationLevel}, {0.1, 2, 1, &F::hslLuminosityLevel}}},
      {{104}, {{0, 360, 0, &F::hsvHueLevel}, {0, 2, 1, &F::hsvSaturationLevel}, {0.1, 2, 1, &F::hsvValueLevel}}},
      {{105}, {{0, 2, 1, &F::labSaturationLevel}, {0.1, 2, 1, &F::labLuminosityLevel}}},
      {{106}, {{0, 2, 1, &F::hsvSaturationLevel}, {0.1, 2, 1, &F::hsvValueLevel}, {0.5, 2, 1, &F::hsvContrastLevel}}},
      {{107}, {{0, 2, 1, &F::cMatrixRed}, {0, 2, 1, &F::cMatrixGreen}, {0, 2, 1, &F::cMatrixBlue}}},
      {{108}, {{-1, 2, 1, &F::PSHighLightAmount}, {-1, 1, 0, &F::PSShadowAmount}, {0, 10, 0, &F::PSRadiusAmount}}},
      {{109}, {{0, 2, 1, &F::lSaturationShadows}, {0, 2, 1, &F::lSaturationMidtones}, {0, 2, 1, &F::lSaturationHighlights}}},
      {{110}, {{0, 2, 1, &F::lExposureShadows}, {0, 2, 1, &F::lExposureMidtones}, {0, 2, 1, &F::lExposureHighlights}}},
      {{111}, {{0, 1, 1, &F::colorAllIntensity}}},
  };
  for (std::int64_t type = 13; type <= 51; ++type) rows.push_back({{type}, cube.sliders});
  std::size_t checked = 0;
  for (const Row& row : rows) {
    for (const std::int64_t type : row.types) {
      SCOPED_TRACE(type);
      const SlotLayout layout = FilterSlotTable::row(type).layout;
      ConverterControls c;
      const FilterInfo record = choose(c, 0, type);
      ASSERT_EQ(FilterSlotTable::row(type).sliders.size(), row.sliders.size());
      for (std::size_t k = 0; k < row.sliders.size(); ++k) {
        const Slider& s = row.sliders[k];
        const std::size_t index = layout == SlotLayout::Angle ? 9 : row.sliders.size() == 1 ? 1 : k;
        const auto& slider = c.optionsSliderArray[index].slider;
        EXPECT_EQ(slider.minValue, float(s.minValue)) << "slider " << k;
        EXPECT_EQ(slider.maxValue, float(s.maxValue)) << "slider " << k;
        EXPECT_EQ(slider.value, float(s.start)) << "slider " << k;
        EXPECT_EQ(record.*s.field, double(float(s.start))) << "slider " << k;
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, 39u * 3 + 81u);
}

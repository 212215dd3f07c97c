#include "presets/filter_slot_table.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "filters/cifiltering.h"
#include "platform/foundation/number_formatter.h"

namespace velumar {

namespace {

using F = FilterInfo;
using L = SlotLayout;

constexpr double kTwoPi = 2 * std::numbers::pi;

// Starting values the sliders hold as single precision.
constexpr double single(double value) {
  return double(float(value));
}

FilterSlotRow three(SlotSlider a, SlotSlider b, SlotSlider c, std::vector<SlotFixed> fixed = {}) {
  return {L::ThreeSliders, {a, b, c}, {}, std::move(fixed)};
}
FilterSlotRow two(SlotSlider a, SlotSlider b) {
  return {L::TwoSliders, {a, b}, {}, {}};
}
FilterSlotRow one(SlotSlider a) {
  return {L::OneSlider, {a}, {}, {}};
}
FilterSlotRow angle(double start, FilterField field) {
  return {L::Angle, {{"Angle", 0, kTwoPi, start, field}}, {}, {}};
}

constexpr std::array<FilterField, 4> kColor{&F::cColorRed, &F::cColorGreen, &F::cColorBlue, &F::cColorAlpha};
constexpr std::array<FilterField, 4> kFalseColor{&F::cColorRedFC, &F::cColorGreenFC, &F::cColorBlueFC,
                                                 &F::cColorAlphaFC};

std::array<FilterSlotRow, FilterSlotTable::kTypeCount> makeTable() {
  std::array<FilterSlotRow, FilterSlotTable::kTypeCount> t;
  for (std::int64_t type = 13; type <= 51; ++type)
    t[type] = three({"Highlights", -1, 2, 1, &F::colorCubeLevel0}, {"Shadows", -1, 1, 0, &F::colorCubeLevel1},
                    {"Vibrance", -1, 1, 0, &F::colorCubeLevel2});
  t[52] = three({"Radius", 8, 32, 16, &F::hdrRadius}, {"Intensity", 64, 512, 320, &F::hdrBins},
                {"Contrast", 1, 20, 3, &F::hdrClipLimit}, {{&F::hdrSaturation, 0}});
  t[53] = three({"Saturation", -2, 2, 1, &F::hdrSaturation}, {"Intensity", 64, 512, 320, &F::hdrBins},
                {"Contrast", 1, 20, 3, &F::hdrClipLimit}, {{&F::hdrRadius, 16}});
  t[54] = three({"Radius", 8, 32, 24, &F::hdrRadius}, {"Intensity", 64, 512, 96, &F::hdrBins},
                {"Contrast", 1, 20, 10, &F::hdrClipLimit}, {{&F::hdrSaturation, single(0.8)}});
  t[57] = three({"Saturation", 0, 2, 1, &F::saturationLevel},
                {"Brightness", -0.5, 0.5, 0, &F::brightnessLevel}, {"Contrast", 0, 2, 1, &F::contrastLevel});
  t[59] = one({"Saturation", 0, 2, single(0.4), &F::saturationLevel});
  t[60] = one({"Saturation", 0, 2, 1.5, &F::saturationLevel});
  t[61] = one({"Contrast", 0.5, 2, single(0.8), &F::contrastLevel});
  t[62] = one({"Contrast", 0.5, 2, single(1.3), &F::contrastLevel});
  t[63] = one({"Exposure", -2, 2, -1, &F::exposureLevel});
  t[64] = one({"Exposure", -2, 2, 1, &F::exposureLevel});
  t[65] = one({"Gamma", 0, single(1.9), 1.25, &F::gammaLevel});
  t[66] = angle(0, &F::hueAngle);
  t[67] = {L::Color, {}, {{"Color:", kColor}}, {}};
  t[68] = {
      L::ColorAndSlider, {{"Intensity", 0, 1, 1, &F::colorMonochromeIntensity}}, {{"Color:", kColor}}, {}};
  t[69] = {L::TwoColors, {}, {{"Color 0:", kColor}, {"Color 1:", kFalseColor}}, {}};
  t[70] = two({"Highlight", -1, 2, 1, &F::HSHighLightAmount}, {"Shadow", -1, 1, -0.5, &F::HSShadowAmount});
  t[71] = two({"Highlight", -1, 2, 1, &F::HSHighLightAmount}, {"Shadow", -1, 1, 0.5, &F::HSShadowAmount});
  t[72] = one({"Vibrance", -1, 1, single(0.8), &F::vibranceLevel});
  t[73] = one({"Intensity", 0, 1, 1, &F::sepiaLevel});
  t[74] = two({"Temperature", 2500, 11000, 10000, &F::temperatureLevel},
              {"Level", 2500, 11000, 6500, &F::tintLevel});
  t[75] = two({"Temperature", 2500, 11000, 3000, &F::temperatureLevel},
              {"Level", 2500, 11000, 6500, &F::tintLevel});
  t[76] = three({"Radius", 2, 60, 31, &F::hdrGaussRadius}, {"Sharpness", 1, 15, 8, &F::hdrUnsharpMaskRadius},
                {"Intensity", single(0.1), 1, single(0.55), &F::hdrUnsharpMaskIntensity});
  t[79] = angle(0, &F::straightenAngle);
  t[80] = angle(std::numbers::pi / 2, &F::straightenAngle);
  t[81] = angle(std::numbers::pi, &F::straightenAngle);
  t[82] = one({"Sharpness", 0, 1, single(0.4), &F::sharpenLuminanceLevel});
  t[83] = two({"Radius", 1, 10, 2.5, &F::unsharpMaskRadius},
              {"Intensity", single(0.1), 1, 0.5, &F::unsharpMaskIntensity});
  t[84] = one({"Blur", 1, 10, 4, &F::blurLevel});
  t[85] = one({"Blur", 1, 20, 2, &F::blurLevel});
  t[86] = one({"Intensity", 2, 30, 4, &F::zoomBlurLevel});
  t[87] = two({"Level", 0, single(0.1), single(0.02), &F::noiseReductionLevel},
              {"Sharpness", 0, 1, single(0.4), &F::noiseReductionSharpness});
  t[93] = one({"Intensity", single(0.1), 2, 1, &F::edgesLevel});
  t[94] = one({"Radius", 1, 40, 10, &F::crystallizeRadius});
  t[95] = two({"Radius", 1, 15, 10, &F::gloomRadius}, {"Intensity", 0, 2, 1, &F::gloomIntensity});
  t[96] = one({"Scale", 1, 15, 8, &F::pixellateScale});
  t[97] =
      two({"Radius", single(0.1), 2, 1, &F::vignetteRadius}, {"Intensity", 0, 10, 2, &F::vignetteIntensity});
  t[98] = two({"Blur", 2, 15, 10, &F::tiltShiftRadius}, {"Radius", 0.55, 1, 0.75, &F::tiltShiftDistance});
  t[99] = one({"Intensity", single(0.1), 1, single(0.1), &F::noiseIntensity});
  t[100] = two({"Intensity", single(0.1), 1, 1, &F::oldPhotoIntensity},
               {"Noise", single(0.1), 1, single(0.3), &F::oldPhotoNoise});
  t[103] = three({"Hue", 0, 360, 0, &F::hslHueLevel}, {"Saturation", 0, 2, 1, &F::hslSaturationLevel},
                 {"Lightness", single(0.1), 2, 1, &F::hslLuminosityLevel});
  t[104] = three({"Hue", 0, 360, 0, &F::hsvHueLevel}, {"Saturation", 0, 2, 1, &F::hsvSaturationLevel},
                 {"Value", single(0.1), 2, 1, &F::hsvValueLevel});
  t[105] = two({"Saturation", 0, 2, 1, &F::labSaturationLevel},
               {"Lightness", single(0.1), 2, 1, &F::labLuminosityLevel});
  t[106] =
      three({"Saturation", 0, 2, 1, &F::hsvSaturationLevel}, {"Value", single(0.1), 2, 1, &F::hsvValueLevel},
            {"Contrast", 0.5, 2, 1, &F::hsvContrastLevel});
  t[107] = three({"Red", 0, 2, 1, &F::cMatrixRed}, {"Green", 0, 2, 1, &F::cMatrixGreen},
                 {"Blue", 0, 2, 1, &F::cMatrixBlue});
  t[108] = three({"Highlight", -1, 2, 1, &F::PSHighLightAmount}, {"Shadow", -1, 1, 0, &F::PSShadowAmount},
                 {"Radius", 0, 10, 0, &F::PSRadiusAmount});
  t[109] = three({"Shadows", 0, 2, 1, &F::lSaturationShadows}, {"Midtones", 0, 2, 1, &F::lSaturationMidtones},
                 {"Highlights", 0, 2, 1, &F::lSaturationHighlights});
  t[110] = three({"Shadows", 0, 2, 1, &F::lExposureShadows}, {"Midtones", 0, 2, 1, &F::lExposureMidtones},
                 {"Highlights", 0, 2, 1, &F::lExposureHighlights});
  t[111] = {L::ColorAndSlider, {{"Intensity", 0, 1, 1, &F::colorAllIntensity}}, {{"Color:", kColor}}, {}};
  return t;
}

const std::array<FilterSlotRow, FilterSlotTable::kTypeCount>& table() {
  static const auto rows = makeTable();
  return rows;
}

// Titles of the types that render something; the rest are headers.
std::string namedTitle(std::int64_t type) {
  static const char* photo[] = {"Chrome", "Fade", "Instant", "Mono", "Noir", "Process", "Tonal", "Transfer"};
  if (type >= 3 && type <= 10) return photo[type - 3];
  if (type == 13 || type == 14) return "Base look " + std::to_string(type - 12);
  if (type == 37) return "Cross process";
  if (type >= 15 && type <= 51) return "Look " + std::to_string(type - 14 - (type > 37 ? 1 : 0));
  switch (type) {
    case 52:
      return "Local contrast";
    case 53:
      return "Local contrast and saturation";
    case 54:
      return "Strong local contrast";
    case 57:
      return "Saturation, brightness, contrast";
    case 58:
      return "Black and white";
    case 59:
      return "Low saturation";
    case 60:
      return "High saturation";
    case 61:
      return "Low contrast";
    case 62:
      return "High contrast";
    case 63:
      return "Low exposure";
    case 64:
      return "High exposure";
    case 65:
      return "Gamma";
    case 66:
      return "Hue";
    case 67:
      return "White point";
    case 68:
      return "Monochrome";
    case 69:
      return "False colour";
    case 70:
      return "Darker shadows";
    case 71:
      return "Brighter shadows";
    case 72:
      return "Vibrance";
    case 73:
      return "Sepia";
    case 74:
      return "Warm";
    case 75:
      return "Cold";
    case 76:
      return "HDR look";
    case 79:
      return "Straighten";
    case 80:
      return "Straighten horizontally";
    case 81:
      return "Straighten vertically";
    case 82:
      return "Sharpen";
    case 83:
      return "Unsharp mask";
    case 84:
      return "Box blur";
    case 85:
      return "Gaussian blur";
    case 86:
      return "Zoom blur";
    case 87:
      return "Noise reduction";
    case 90:
      return "Invert colours";
    case 91:
      return "Maximum component";
    case 92:
      return "Minimum component";
    case 93:
      return "Edges";
    case 94:
      return "Crystallise";
    case 95:
      return "Gloom";
    case 96:
      return "Pixellate";
    case 97:
      return "Vignette";
    case 98:
      return "Tilt shift";
    case 99:
      return "Noise";
    case 100:
      return "Old photo";
    case 103:
      return "HSL";
    case 104:
      return "HSV";
    case 105:
      return "Lab";
    case 106:
      return "HSV contrast";
    case 107:
      return "Colour matrix";
    case 108:
      return "Shadows and highlights";
    case 109:
      return "Saturation by tone";
    case 110:
      return "Exposure by tone";
    case 111:
      return "Colour wash";
    default:
      return "";
  }
}

std::string headerTitle(std::int64_t type) {
  switch (type) {
    case 2:
      return "Photo effects";
    case 12:
      return "Looks";
    case 56:
      return "Colour and tone";
    case 78:
      return "Geometry and detail";
    case 89:
      return "Stylise";
    case 102:
      return "Colour models";
    default:
      return "—";
  }
}

std::size_t index(std::size_t slot, std::size_t k) {
  return 3 * slot + k;
}

// The linear sliders, text fields and labels a layout uses, by k of 3i+k.
std::vector<std::size_t> sliderRows(SlotLayout layout) {
  switch (layout) {
    case L::OneSlider:
    case L::ColorAndSlider:
      return {1};
    case L::TwoSliders:
      return {0, 1};
    case L::ThreeSliders:
      return {0, 1, 2};
    default:
      return {};
  }
}

void setColor(OptionControl& well, const std::array<double, 4>& rgba) {
  well.color.rgba = rgba;
}

void show(OptionControl& control) {
  control.enabled = true;
  control.hidden = false;
}

void showField(OptionTextField& field, double value) {
  field.text = optionFieldText(value);
  field.enabled = true;
  field.hidden = false;
}

void layOut(ConverterControls& c, std::size_t slot, const FilterSlotRow& row) {
  FilterSlots& s = c.filterSlots;
  resetViewForIndex(c, slot);
  if (row.layout == L::Angle) {
    const SlotSlider& given = row.sliders.front();
    OptionControl& dial = c.optionsSliderArray[9 + slot];
    show(dial);
    dial.slider = {float(given.start), float(given.minValue), float(given.maxValue), true, false};
    s.optionsLabelArray[index(slot, 1)] = given.label;
    showField(s.optionsTextFieldArray[index(slot, 0)], double(dial.slider.value) * 180 / std::numbers::pi);
    s.connectedTextFieldArray[index(slot, 0)] = 9 + slot;
  } else {
    const std::vector<std::size_t> rows = sliderRows(row.layout);
    for (std::size_t n = 0; n < rows.size(); ++n) {
      const SlotSlider& given = row.sliders[n];
      const std::size_t at = index(slot, rows[n]);
      OptionControl& slider = c.optionsSliderArray[at];
      show(slider);
      slider.slider = {float(given.start), float(given.minValue), float(given.maxValue), true, false};
      s.optionsLabelArray[at] = given.label;
      showField(s.optionsTextFieldArray[at], given.start);
      s.connectedTextFieldArray[at] = at;
    }
    if (!row.colors.empty()) {
      const bool single = row.layout == L::Color;
      OptionControl& first = c.optionsSliderArray[12 + slot];
      show(first);
      setColor(first, {1, 1, 1, 1});
      s.optionsLabelArray[index(slot, single ? 1 : 0)] = row.colors[0].label;
      if (row.colors.size() > 1) {
        OptionControl& second = c.optionsSliderArray[15 + slot];
        show(second);
        setColor(second, {0, 0, 0, 1});
        s.optionsLabelArray[index(slot, 1)] = row.colors[1].label;
      }
    }
  }
  s.optionsButtonArray[slot].enabled = true;
  s.optionsButtonArray[slot].alpha = 1.0;
}

void readBack(ConverterControls& c, std::size_t slot, const FilterSlotRow& row, FilterInfo& record) {
  FilterSlots& s = c.filterSlots;
  if (row.layout == L::Angle) {
    const float value = c.optionsSliderArray[9 + slot].slider.value;
    record.*row.sliders.front().field = double(value);
    s.optionsTextFieldArray[index(slot, 0)].text = optionFieldText(double(value) * 180 / std::numbers::pi);
  } else {
    const std::vector<std::size_t> rows = sliderRows(row.layout);
    for (std::size_t n = 0; n < rows.size(); ++n) {
      const std::size_t at = index(slot, rows[n]);
      const double value = double(c.optionsSliderArray[at].slider.value);
      record.*row.sliders[n].field = value;
      // Temperatures are shown as whole kelvins.
      const bool whole = row.layout == L::TwoSliders && value >= 1000;
      s.optionsTextFieldArray[at].text = optionFieldText(whole ? std::trunc(value) : value);
    }
    for (std::size_t n = 0; n < row.colors.size(); ++n) {
      const auto& rgba = c.optionsSliderArray[(n == 0 ? 12 : 15) + slot].color.rgba;
      for (std::size_t k = 0; k < 4; ++k) record.*row.colors[n].fields[k] = rgba[k];
    }
  }
  for (const SlotFixed& fixed : row.fixed) record.*fixed.field = fixed.value;
}

foundation::NumberFormatter& optionFormatter() {
  thread_local foundation::NumberFormatter formatter(foundation::NumberFormatter::Style::Decimal, 0, 2, 0.01);
  return formatter;
}

bool finiteNumber(const foundation::Value& value, double& out) {
  if (!value.isNumber()) return false;
  out = value.doubleOr(0);
  return std::isfinite(out);
}

}  // namespace

const FilterSlotRow& FilterSlotTable::row(std::int64_t type) {
  static const FilterSlotRow none;
  return type >= 0 && type < kTypeCount ? table()[std::size_t(type)] : none;
}

bool FilterSlotTable::hasOperation(std::int64_t type) {
  return (type >= 3 && type <= 10) || (type >= 13 && type <= 54) || (type >= 57 && type <= 76) ||
         (type >= 79 && type <= 87) || (type >= 90 && type <= 100) || (type >= 103 && type <= 111);
}

std::string FilterSlotTable::title(std::int64_t type) {
  if (type == 0) return "No filter";
  if (type < 0 || type >= kTypeCount) return "";
  return hasOperation(type) ? namedTitle(type) : headerTitle(type);
}

void setFilterTypeItems(PopUp& popUp) {
  popUp.items.clear();
  for (std::int64_t type = 0; type < FilterSlotTable::kTypeCount; ++type) {
    const bool selectable = type == 0 || FilterSlotTable::hasOperation(type);
    std::string title = FilterSlotTable::title(type);
    // Types without an operation are group headers, or separators where
    // the group has no name.
    const bool separator = !selectable && title == "—";
    popUp.items.push_back({separator ? std::string() : std::move(title), selectable, false, separator});
  }
  popUp.selectedIndex = 0;
}

void resetViewForIndex(ConverterControls& c, std::size_t slot) {
  if (slot >= kFilterSlotCount) return;
  for (std::size_t at : {index(slot, 0), index(slot, 1), index(slot, 2), 9 + slot, 12 + slot, 15 + slot}) {
    c.optionsSliderArray[at].enabled = false;
    c.optionsSliderArray[at].hidden = true;
  }
  for (std::size_t k = 0; k < 3; ++k) {
    c.filterSlots.optionsLabelArray[index(slot, k)].clear();
    c.filterSlots.optionsTextFieldArray[index(slot, k)] = {};
  }
}

FilterInfo updateSliderValuesForArrayIndex(ConverterControls& c, std::size_t slot, bool setSliderValue) {
  FilterInfo record;
  CIFiltering::initialValuesForFilterInfo(&record);
  if (slot >= kFilterSlotCount) return record;
  const PopUp* popUps[] = {&c.filterTypePopUp0, &c.filterTypePopUp1, &c.filterTypePopUp2};
  const FilterSlotRow& row = FilterSlotTable::row(popUps[slot]->selectedIndex);
  FilterSlots& s = c.filterSlots;
  s.layout[slot] = row.layout;
  if (row.layout == L::None) {
    s.popoverShown[slot] = false;
    s.optionsButtonArray[slot] = {false, false, 0.5};
    resetViewForIndex(c, slot);
    return record;
  }
  if (setSliderValue) layOut(c, slot, row);
  readBack(c, slot, row, record);
  return record;
}

void updateSliderValuesWithArray(ConverterControls& c, const foundation::Array& values) {
  static const char* keys[] = {"redComponent", "greenComponent", "blueComponent", "alphaComponent"};
  for (std::size_t i = 0; i < kOptionControlCount && i < values.size(); ++i) {
    OptionControl& control = c.optionsSliderArray[i];
    const foundation::Value& value = values[i];
    if (control.kind == OptionControl::Kind::ColorWell) {
      std::array<double, 4> rgba{};
      bool whole = value.isDictionary();
      for (std::size_t k = 0; whole && k < 4; ++k) {
        const foundation::Value* component = value.get(keys[k]);
        whole = component && finiteNumber(*component, rgba[k]);
        if (whole) rgba[k] = std::clamp(double(float(rgba[k])), 0.0, 1.0);
      }
      if (whole) control.color.rgba = rgba;
    } else if (double number = 0; finiteNumber(value, number)) {
      Slider& slider = control.slider;
      slider.value = std::clamp(float(number), slider.minValue, slider.maxValue);
    }
  }
}

void storeSlotRecord(CIFiltering& filters, std::size_t slot, const FilterInfo& record) {
  if (slot == 0) filters.setFilterInfo0(record);
  if (slot == 1) filters.setFilterInfo1(record);
  if (slot == 2) filters.setFilterInfo2(record);
}

std::string optionFieldText(double value) {
  return optionFormatter().format(value);
}

std::optional<double> parseOptionField(const std::string& text) {
  return optionFormatter().parse(text);
}

}  // namespace velumar

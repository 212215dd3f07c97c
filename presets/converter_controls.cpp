#include "presets/converter_controls.h"

#include <initializer_list>

#include "presets/filter_slot_table.h"
#include "session/rename_info.h"

namespace velumar {

namespace {

void setItems(PopUp& popUp, std::initializer_list<const char*> titles) {
  popUp.items.clear();
  for (const char* title : titles) popUp.items.push_back({title});
  popUp.selectedIndex = 0;
}

// The composite modes by code; codes without a blend of their own (the
// empty titles) are separators.
// clang-format off
constexpr const char* kCompositeTitles[] = {
    "No composite", "", "", "Addition", "Maximum", "Minimum", "Multiply (Compositing)", "Source Atop",
    "Source In", "Source Out", "Source Over", "", "", "Darken", "Lighten", "Multiply", "Difference",
    "Exclusion", "Color Burn", "Color Dodge", "Overlay", "Screen", "Hard Light", "Soft Light", "Color",
    "Saturation", "Hue", "Luminosity", "Divide", "Linear Burn", "Linear Dodge", "Pin Light", "Subtract"};
// clang-format on

void setCompositeItems(PopUp& popUp) {
  popUp.items.clear();
  for (const char* title : kCompositeTitles) {
    const bool separator = *title == '\0';
    popUp.items.push_back({title, !separator, false, separator});
  }
  popUp.selectedIndex = 0;
}

}  // namespace

void PopUp::select(std::int64_t index) {
  const bool selectable = index >= 0 && index < count() && !items[std::size_t(index)].separator;
  selectedIndex = selectable ? index : (items.empty() ? -1 : 0);
}

void setColorSpaceItems(PopUp& popUp, const std::vector<std::string>& profileDescriptions) {
  setItems(popUp, {"Keep the source's colour space", "Adobe RGB (1998)", "Generic RGB", "sRGB",
                   "Generic CMYK", "Generic CMYK with alpha", "Generic Gray", "Gray Gamma 2.2"});
  for (const std::string& description : profileDescriptions) popUp.items.push_back({description});
}

ConverterControls::ConverterControls() {
  buttonsArray[ConversionType::JPEG].on = true;
  for (std::size_t i = 0; i < kOptionControlCount; ++i) {
    optionsSliderArray[i].kind = i < 9    ? OptionControl::Kind::Slider
                                 : i < 12 ? OptionControl::Kind::CircularSlider
                                          : OptionControl::Kind::ColorWell;
  }
  setItems(resizeFormatsPopUp, {"Percent", "Pixels", "Inches", "Centimeters", "Millimeters", "Points"});
  setItems(resizeScalePopUp,
           {"Scale", "Lanczos scale", "Fit", "Fill", "Fit width", "Fit height", "Crop", "Stretch and crop",
            "Flip horizontally", "Flip vertically", "Rotate 90°", "Rotate 270°", "Rotate 180°",
            "Rotate 90° and flip", "Rotate 270° and flip", "Rotate", "Crop and rotate"});
  setColorSpaceItems(colorSpacePopUp, {});
  setItems(depthPopUp, {"Source depth", "8 bits", "16 bits", "32 bits float"});
  setItems(alphaPopUp, {"As source", "Without alpha", "With alpha"});
  setItems(tiffCompressionPopUp, {"No compression", "LZW", "PackBits"});
  setCompositeItems(compositePopUp);
  setItems(dateSelectPopUp,
           {"No date", "Date before the name", "Date after the name", "Date instead of the name"});
  setItems(numberSelectPopUp, {"No number", "Number before the name", "Number after the name"});
  setItems(watermarkDatePopUp, {"Short", "Medium", "Long", "Full"});
  // What each Open With code does with the written files.
  setItems(openWithPopUp,
           {"None", "Default application", "Preview", "Photos", "Aperture", "Mail", "Photoshop", "Lightroom",
            "Pixelmator", "Intensify", "Tonality", "Facebook", "Twitter", "Flickr", "Other application"});
  for (PopUp* slot : {&filterTypePopUp0, &filterTypePopUp1, &filterTypePopUp2}) setFilterTypeItems(*slot);

  prefixTextField = {kPrefixPlaceholder, false};
  nameTextField = {kNamePlaceholder, false};
  suffixTextField = {kSuffixPlaceholder, false};
  initialNumberTextField = {"0", false};
  zerosTextField = {"0", false};
  fileURLTextField = {kOutputFolderPlaceholder, false};
  saveAskEachTimeCheck.set(true);
  aspectRatioCheck.set(true);
  compositeTypeFilteredCheck.set(true);
  jpegSlider.value = 1;
  dpiTextField = {"72.0", false};
  resizeWTextField.text = resizeHTextField.text = "100%";
  for (Slider* angle : {&angleImageSlider, &angleTextSlider, &imageTransformAngleSlider}) {
    angle->maxValue = 360;
    angle->value = 270;
  }
  for (Slider* one : {&borderOpacitySlider, &compositeOpacitySlider, &compositePercentSlider,
                      &imageOpacitySlider, &imageSizePercentSlider, &opacityTextSlider, &lutIntensitySlider})
    one->value = 1;
  stretchAndCropCropSlider.value = stretchAndCropStretchSlider.value = 0.5f;
  // Ranges of the Modify tab's sliders (0 to 1 unless set here).
  const std::pair<Slider*, std::pair<float, float>> ranges[] = {
      {&depthSlopeSlider, {0.5f, 20}},      {&depthBlurBackgroundSlider, {0, 50}},
      {&tinyPlanetScaleSlider, {0.01f, 1}}, {&tinyPlanetFactorSlider, {0.1f, 10}},
      {&tinyPlanetAngleSlider, {0, 360}},   {&imageSizePercentSlider, {0.1f, 4}},
      {&compositePercentSlider, {0.1f, 4}}, {&obliquenessTextSlider, {-0.5f, 0.5f}}};
  for (const auto& [slider, range] : ranges) {
    slider->minValue = range.first;
    slider->maxValue = range.second;
  }
  depthSlopeSlider.value = 4;
  depthFocalPointSlider.value = 0.75f;
  depthWidthSlider.value = 0.1f;
  tinyPlanetScaleSlider.value = 0.05f;
  tinyPlanetFactorSlider.value = 1.5f;
}

}  // namespace velumar

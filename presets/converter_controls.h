#pragma once
// The converter window's option controls as plain values: one member per
// control the presets apply, default, read back and rename. The window binds
// a widget to each member and adds no rules; the rules run on this model, so
// they are tested without a window.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_type_codes.h"
#include "platform/foundation/value.h"
#include "platform/raster/geometry.h"
#include "platform/raster/image_set.h"

namespace velumar {

enum class CheckState { Off, On, Mixed };

struct CheckBox {
  CheckState state = CheckState::Off;
  bool enabled = true;
  bool hidden = false;
  double alpha = 1.0;

  bool isOn() const { return state == CheckState::On; }
  void set(bool on) { state = on ? CheckState::On : CheckState::Off; }
};

struct TextField {
  std::string text;
  bool enabled = true;
};

struct Slider {
  float value = 0;
  float minValue = 0;
  float maxValue = 1;
  bool enabled = true;
  bool hidden = false;

  void set(double v) { value = float(v); }
};

struct PopUpItem {
  std::string title;
  bool enabled = true;
  bool on = false;
  // A menu separator: keeps its index, is never selected.
  bool separator = false;
};

struct PopUp {
  std::int64_t selectedIndex = 0;  // -1: no item
  std::vector<PopUpItem> items;
  bool enabled = true;

  // Selects item index, or item 0 when index is out of range or a separator.
  void select(std::int64_t index);
  std::int64_t count() const { return std::int64_t(items.size()); }
};

// A colour in sRGB components with alpha.
struct ColorWell {
  std::array<double, 4> rgba{1, 1, 1, 1};
  bool enabled = true;
  bool hidden = false;
};

struct PositionPicker {
  raster::Point mousePoint{50, 50};  // percent on each axis
  double alpha = 1.0;
  bool mouseEvents = true;
  // A drag picks the point, here or in the preview, and is not released yet.
  bool viewIsMovingMouse = false;
};

// The composite and watermark drop wells.
struct ImageWell {
  std::shared_ptr<raster::ImageSet> fullSizeImage;
  bool originalImageHasAlpha = false;
  double alpha = 1.0;
  bool acceptsDrops = true;

  bool hasFullSizeImage() const { return fullSizeImage != nullptr; }
  void resetOriginalImage() {
    fullSizeImage.reset();
    originalImageHasAlpha = false;
  }
};

struct LUTWell {
  std::int64_t cubeSize = 0;
  std::optional<foundation::Data> cubeData;
  std::string cubeURL;

  void resetOriginalImage() { *this = LUTWell(); }
};

struct CurveEditor {
  std::vector<raster::Point> percentPoints{{0, 0}, {0.25, 0.25}, {0.5, 0.5}, {0.75, 0.75}, {1, 1}};
};

// An item of the submenu of Open With item 14: one application, found again
// by its tag in the engine's appIDInfoArray.
struct ApplicationMenuItem {
  std::string title;
  std::int64_t tag = 0;
  bool on = false;
};

struct ToggleButton {
  bool on = false;
  bool enabled = true;
  double alpha = 1.0;
};

// One of the 18 filter option controls: a linear or circular slider or a
// colour well, by its position.
struct OptionControl {
  enum class Kind { Slider, CircularSlider, ColorWell };
  Kind kind = Kind::Slider;
  Slider slider;
  ColorWell color;
  bool enabled = false;
  bool hidden = true;
};

inline constexpr std::size_t kOutputFormatCount = std::size_t(ConversionType::Count);
inline constexpr std::size_t kFilterSlotCount = 3;
inline constexpr std::size_t kOptionFieldCount = 9;

// How a filter slot's popover arranges its controls.
enum class SlotLayout { None, OneSlider, TwoSliders, ThreeSliders, Angle, Color, ColorAndSlider, TwoColors };

struct OptionTextField {
  std::string text;
  bool enabled = false;
  bool hidden = true;
};

// The three filter slots besides their 18 option controls: labels and text
// fields (entry 3i+k belongs to slot i), the control each text field edits,
// the Options toggle buttons and whether each slot's popover is shown.
struct FilterSlots {
  std::array<std::string, kOptionFieldCount> optionsLabelArray;
  std::array<OptionTextField, kOptionFieldCount> optionsTextFieldArray;
  std::array<std::size_t, kOptionFieldCount> connectedTextFieldArray{0, 1, 2, 3, 4, 5, 6, 7, 8};
  std::array<ToggleButton, kFilterSlotCount> optionsButtonArray{
      {{false, false, 0.5}, {false, false, 0.5}, {false, false, 0.5}}};
  std::array<bool, kFilterSlotCount> popoverShown{};
  std::array<SlotLayout, kFilterSlotCount> layout{};
};

// The icon outputs (ICNS, iOS and Xcode icon sets, @2x folder): rounded
// corners and shadow apply, the colour space does not.
inline bool isIconOutput(std::int64_t conversionType) {
  return conversionType == ConversionType::ICNS || conversionType == ConversionType::IOSIconSet ||
         conversionType == ConversionType::XcodeIconSet || conversionType == ConversionType::Xcode2xFolder;
}
inline constexpr std::size_t kOptionControlCount = 18;

struct ConverterControls {
  // The model with the window's pop-up items and initial states.
  ConverterControls();

  std::array<ToggleButton, kOutputFormatCount> buttonsArray;  // conversion-code order
  std::array<OptionControl, kOptionControlCount> optionsSliderArray;
  FilterSlots filterSlots;

  CheckBox addBorderCheck, addPrefixCheck, addSuffixCheck, addWatermarkDateCheck, addWatermarkImageCheck,
      addWatermarkTextCheck, aspectRatioCheck, autoAdjustCheck, autoAdjustFacesCheck, biggerBoundsFacesCheck,
      blurBackgroundFacesCheck, blurFacesCheck, borderPreserveRatioCheck, cmykAlphaCheck,
      compositeTypeFilteredCheck, compositeTypeImageCheck, depthCompositingCheck, depthEnableCheck,
      depthExportCheck, depthInvertCheck, dpiCheck, enhanceCheck, eyeBlinkCheck, featuresCheck,
      fixedSizeCheck, frameFacesCheck, isolateFacesCheck, keepOriginalFileTypeCheck, maintainHierarchyCheck,
      memorizeToPresetCheck, metadataCheck, modifyNameCheck, overwriteCheck, pixelateFacesCheck, redEyesCheck,
      renameIgnoreCheck, roundedCornersCheck, saveAsImageCheck, saveAskEachTimeCheck, saveCropFacesCheck,
      saveStoreDirectoryCheck, searchSubFoldersCheck, shadowCheck, tinyPlanetCheck, tinyPlanetInvertCheck,
      toneCurveCheck, toneCurveRedCheck, toneCurveGreenCheck, toneCurveBlueCheck, vignetteFacesCheck;

  PopUp alphaPopUp, colorSpacePopUp, compositePopUp, dateSelectPopUp, depthPopUp, filterTypePopUp0,
      filterTypePopUp1, filterTypePopUp2, numberSelectPopUp, openWithPopUp, resizeFormatsPopUp,
      resizeScalePopUp, tiffCompressionPopUp, watermarkDatePopUp;

  TextField angleImageTextField, angleTextTextField, bottomBorderTextField, cropCenterXTextField,
      cropCenterYTextField, dpiTextField, fileURLTextField, imageTransformAngleTextField,
      initialNumberTextField, jpegQualityTextField, leftBorderTextField, nameTextField, prefixTextField,
      presetTextField, resizeHTextField, resizeWTextField, resultLabelString, rightBorderTextField,
      suffixTextField, topBorderTextField, watermarkTextField, zerosTextField, infoGlobalTextField;

  Slider angleImageSlider, angleTextSlider, borderOpacitySlider, compositeOpacitySlider,
      compositePercentSlider, depthBlackBackgroundSlider, depthBlurBackgroundSlider, depthFocalPointSlider,
      depthIntensitySlider, depthSlopeSlider, depthWidthSlider, imageOpacitySlider, imageSizePercentSlider,
      imageTransformAngleSlider, jpegSlider, lutIntensitySlider, obliquenessTextSlider, opacityTextSlider,
      stretchAndCropCropSlider, stretchAndCropStretchSlider, tinyPlanetAngleSlider, tinyPlanetFactorSlider,
      tinyPlanetFusionSlider, tinyPlanetScaleSlider;

  std::vector<ApplicationMenuItem> openWithApplications;  // submenu of openWithPopUp item 14
  ColorWell borderColorWell;
  ToggleButton popOverCompositeOptionsButton, popOverSaveToButton, savePresetButton, deleteButton;
  bool compositeOptionsPopoverShown = false;
  bool saveToPopoverShown = false;

  PositionPicker cropPositionView, compositePositionView, mousePositionViewText, mousePositionViewImage;
  ImageWell compositeDragAndDropView, watermarkImageView;
  LUTWell lutView;
  CurveEditor curveView, redCurveView, greenCurveView, blueCurveView;
};

// The colour-space pop-up's items: the source's space, the seven named
// spaces, then one item per installed profile titled with its description.
void setColorSpaceItems(PopUp& popUp, const std::vector<std::string>& profileDescriptions);

}  // namespace velumar

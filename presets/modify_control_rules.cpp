#include "presets/modify_control_rules.h"

#include <cmath>

#include "engine/image_info.h"
#include "presets/filter_slot_table.h"

namespace velumar {

namespace {

constexpr CheckBox ConverterControls::*kFaceEffects[] = {
    &ConverterControls::autoAdjustFacesCheck,     &ConverterControls::biggerBoundsFacesCheck,
    &ConverterControls::blurFacesCheck,           &ConverterControls::pixelateFacesCheck,
    &ConverterControls::frameFacesCheck,          &ConverterControls::vignetteFacesCheck,
    &ConverterControls::blurBackgroundFacesCheck, &ConverterControls::saveCropFacesCheck};

void enableFaceEffects(ConverterControls& c, bool enabled) {
  for (CheckBox ConverterControls::*effect : kFaceEffects) (c.*effect).enabled = enabled;
}

// Keeps one of a pair on: the box just turned off goes back on when its
// partner is off too.
void keepOneOn(CheckBox& sender, const CheckBox& partner) {
  if (!sender.isOn() && !partner.isOn()) sender.set(true);
}

}  // namespace

bool verifyAdjustCheckFrom(ConverterControls& c, AdjustCheck sender) {
  switch (sender) {
    case AdjustCheck::AutoAdjust: {
      const bool on = c.autoAdjustCheck.isOn();
      c.enhanceCheck.enabled = c.redEyesCheck.enabled = on;
      if (on && !c.enhanceCheck.isOn() && !c.redEyesCheck.isOn()) c.enhanceCheck.set(true);
      break;
    }
    case AdjustCheck::Features: {
      const bool on = c.featuresCheck.isOn();
      c.isolateFacesCheck.enabled = c.eyeBlinkCheck.enabled = on;
      if (on && !c.isolateFacesCheck.isOn() && !c.eyeBlinkCheck.isOn()) c.isolateFacesCheck.set(true);
      enableFaceEffects(c, on && c.isolateFacesCheck.isOn());
      break;
    }
    case AdjustCheck::Enhance:
      keepOneOn(c.enhanceCheck, c.redEyesCheck);
      break;
    case AdjustCheck::RedEyes:
      keepOneOn(c.redEyesCheck, c.enhanceCheck);
      break;
    case AdjustCheck::EyeBlink:
      keepOneOn(c.eyeBlinkCheck, c.isolateFacesCheck);
      break;
    case AdjustCheck::IsolateFaces:
      keepOneOn(c.isolateFacesCheck, c.eyeBlinkCheck);
      enableFaceEffects(c, c.isolateFacesCheck.isOn());
      break;
    case AdjustCheck::FaceEffect:
      break;
  }
  return sender != AdjustCheck::EyeBlink;
}

void modifyCompositeStateFrom(ConverterControls& c) {
  const bool composite = c.compositePopUp.selectedIndex > 0;
  ToggleButton& button = c.popOverCompositeOptionsButton;
  button.enabled = composite;
  button.alpha = composite ? 1.0 : 0.5;
  if (!composite) {
    button.on = false;
    c.compositeOptionsPopoverShown = false;
  }
}

void updateCropImageForPosition(ConverterControls& c, const foundation::NumberFormatter& formatter) {
  const raster::Point point = c.cropPositionView.mousePoint;
  c.cropCenterXTextField.text = formatter.format(point.x - 50);
  c.cropCenterYTextField.text = formatter.format(point.y - 50);
}

double watermarkAngleFromSlider(float sliderValue) {
  const float angle = sliderValue + 90.0f;
  return double(angle >= 360.0f ? angle - 360.0f : angle);
}

std::uint64_t watermarkDateStyle(const ConverterControls& c) {
  const std::int64_t index = c.watermarkDatePopUp.selectedIndex;
  return c.addWatermarkDateCheck.isOn() && index >= 0 && index <= 3 ? std::uint64_t(index + 1) : 1;
}

ImageModifyInfo watermarkPreviewSettings(const ConverterControls& c) {
  ImageModifyInfo r = ImageInfo().imageModifyInfo();
  r.addWatermarkText = c.addWatermarkTextCheck.isOn();
  r.addWatermarkDate = r.addWatermarkText && c.addWatermarkDateCheck.isOn();
  r.dateStyle = r.addWatermarkText ? watermarkDateStyle(c) : 1;
  if (r.addWatermarkText) {
    r.textAngle = watermarkAngleFromSlider(c.angleTextSlider.value);
    r.textObliqueness = double(c.obliquenessTextSlider.value);
    r.textOrigin = c.mousePositionViewText.mousePoint;
    r.textOpacity = double(c.opacityTextSlider.value);
  }
  r.addWatermarkImage = c.addWatermarkImageCheck.isOn();
  if (r.addWatermarkImage) {
    r.imageAngle = watermarkAngleFromSlider(c.angleImageSlider.value);
    r.imageOrigin = c.mousePositionViewImage.mousePoint;
    r.imageSizePercent = double(c.imageSizePercentSlider.value);
    r.imageOpacity = double(c.imageOpacitySlider.value);
  }
  return r;
}

bool typedSliderValue(Slider& slider, const std::string& text) {
  const std::optional<double> typed = parseOptionField(text);
  if (!typed || !std::isfinite(*typed)) return false;
  const double value = double(float(*typed));
  if (value > double(slider.maxValue) || value < double(slider.minValue)) return false;
  slider.value = float(value);
  return true;
}

void resetDepthState(ConverterControls& c) {
  c.depthSlopeSlider.set(4);
  c.depthWidthSlider.set(0.1);
  c.depthFocalPointSlider.set(0.75);
  c.depthInvertCheck.set(false);
  c.depthCompositingCheck.set(false);
  c.depthBlurBackgroundSlider.set(0);
  c.depthBlackBackgroundSlider.set(0);
}

void resetTinyPlanetState(ConverterControls& c) {
  c.tinyPlanetInvertCheck.set(false);
  c.tinyPlanetScaleSlider.set(0.05);
  c.tinyPlanetFactorSlider.set(1.5);
  c.tinyPlanetAngleSlider.set(0);
  c.tinyPlanetFusionSlider.set(0);
}

}  // namespace velumar

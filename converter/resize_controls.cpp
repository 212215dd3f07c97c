#include "converter/resize_controls.h"

#include "engine/imported_image.h"
#include "presets/converter_form.h"

namespace velumar {

namespace {

constexpr const char* kOriginal = "Original";
constexpr std::int64_t kKeepSize = 1;
enum Unit : std::int64_t { kPercent = 0, kPixels = 1 };

void showFullFactor(ConverterForm& form) {
  const std::string full = form.percentText(1.0);
  form.controls.resizeWTextField.text = full;
  form.controls.resizeHTextField.text = full;
}

// Index 1 keeps the size: percent only, factor 100 %, aspect kept.
void holdKeepSize(ConverterForm& form, ConverterState& state) {
  ConverterControls& c = form.controls;
  c.resizeFormatsPopUp.enabled = false;
  c.resizeFormatsPopUp.select(kPercent);
  state.lastSelectedFormat = kPercent;
  c.aspectRatioCheck.enabled = true;
  c.aspectRatioCheck.set(true);
  c.fixedSizeCheck.set(false);
  c.fixedSizeCheck.enabled = false;
  showFullFactor(form);
}

// A size field's text in the new unit; "Original" stays.
void convertField(ConverterForm& form, TextField& field, std::int64_t from, std::int64_t to, double dpi) {
  if (field.text == kOriginal) return;
  const std::optional<double> value = form.decimalFormatter().parse(field.text);
  const double converted = value ? ImportedImage::convertFormat(from, to, *value, dpi) : 0;
  if (!(converted > 0)) {
    field.text = kOriginal;
  } else {
    field.text = to == kPixels ? form.integerText(converted) : form.decimalText(converted);
  }
}

void turnTo(ConverterForm& form, ConverterState& state, std::int64_t index) {
  form.controls.resizeScalePopUp.select(index);
  resizeScaleMethodFrom(form, state);
}

}  // namespace

void resizeScaleMethodFrom(ConverterForm& form, ConverterState& state) {
  ConverterControls& c = form.controls;
  const std::int64_t method = c.resizeScalePopUp.selectedIndex;
  if (method == kKeepSize) {
    holdKeepSize(form, state);
  } else {
    c.fixedSizeCheck.enabled = true;
    if (!c.fixedSizeCheck.isOn()) {
      c.resizeFormatsPopUp.enabled = true;
      if (!c.aspectRatioCheck.enabled && state.lastSelectedFormat == kPercent)
        c.aspectRatioCheck.enabled = true;
    }
  }
  form.cropImageEnable(method == 6 || method == 16);
  form.stretchAndCropSlidersEnable(method == 7);
  form.enableImageTransformAngle(method == 15 || method == 16);
}

bool selectResizeFormatFrom(ConverterForm& form, ConverterState& state) {
  ConverterControls& c = form.controls;
  const std::int64_t to = c.resizeFormatsPopUp.selectedIndex;
  const std::int64_t from = state.lastSelectedFormat;
  if (to == from) return false;
  if (c.resizeScalePopUp.selectedIndex == kKeepSize) {
    holdKeepSize(form, state);
    return false;
  }
  if (to == kPercent) {
    showFullFactor(form);
    c.aspectRatioCheck.enabled = true;
    state.lastSelectedFormat = kPercent;
    return true;
  }
  c.aspectRatioCheck.enabled = false;
  form.readResizeFactorWithSender(c.resizeWTextField);
  form.readResizeFactorWithSender(c.resizeHTextField);
  double dpi = 0;
  if (c.dpiCheck.isOn()) dpi = form.decimalFormatter().parse(c.dpiTextField.text).value_or(0);
  convertField(form, c.resizeWTextField, from, to, dpi);
  convertField(form, c.resizeHTextField, from, to, dpi);
  state.lastSelectedFormat = to;
  return true;
}

void modifyAspectRatioFrom(ConverterForm& form) {
  ConverterControls& c = form.controls;
  if (c.aspectRatioCheck.isOn()) {
    showFullFactor(form);
  } else if (c.resizeScalePopUp.selectedIndex == kKeepSize) {
    c.aspectRatioCheck.set(true);
  }
}

void rotateRightFrom(ConverterForm& form, ConverterState& state) {
  switch (form.controls.resizeScalePopUp.selectedIndex) {
    case 8:
      return turnTo(form, state, 13);
    case 9:
      return turnTo(form, state, 14);
    case 10:
      return turnTo(form, state, 12);
    case 11:
      return turnTo(form, state, 0);
    case 12:
      return turnTo(form, state, 11);
    case 13:
      return turnTo(form, state, 9);
    case 14:
      return turnTo(form, state, 8);
    default:
      return turnTo(form, state, 10);
  }
}

void rotateLeftFrom(ConverterForm& form, ConverterState& state) {
  switch (form.controls.resizeScalePopUp.selectedIndex) {
    case 8:
      return turnTo(form, state, 14);
    case 9:
      return turnTo(form, state, 13);
    case 10:
      return turnTo(form, state, 0);
    case 11:
      return turnTo(form, state, 12);
    case 12:
      return turnTo(form, state, 10);
    case 13:
      return turnTo(form, state, 8);
    case 14:
      return turnTo(form, state, 9);
    default:
      return turnTo(form, state, 11);
  }
}

}  // namespace velumar

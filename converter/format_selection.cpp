#include "converter/format_selection.h"

#include "converter/open_with_applications.h"
#include "engine/imported_image.h"
#include "filters/cifiltering.h"
#include "presets/converter_form.h"

namespace velumar {

namespace {

bool usesTiffCompression(std::int64_t code) {
  return code == ConversionType::TIFF || code == ConversionType::TIFF2x ||
         code == ConversionType::TIFFMultiple;
}
bool usesDepthAndAlpha(std::int64_t code) {
  return code == ConversionType::PNG || usesTiffCompression(code);
}

}  // namespace

bool setButtonFormatFrom(ConverterForm& form, ConverterState& state, std::int64_t code) {
  ConverterControls& c = form.controls;
  if (code < 0 || code >= std::int64_t(kOutputFormatCount)) code = 0;
  for (ToggleButton& button : c.buttonsArray) button.on = false;
  c.buttonsArray[std::size_t(code)].on = true;
  const std::int64_t previous = state.globalConversionFormat;
  state.globalConversionFormat = code;
  const bool iconOptionsBefore = c.roundedCornersCheck.enabled || c.shadowCheck.enabled;
  const color::ProfileRef profileBefore = form.engine().ciPhotoFilters->currentProfile();

  c.jpegSlider.enabled = c.jpegQualityTextField.enabled = code == ConversionType::JPEG;
  c.tiffCompressionPopUp.enabled = usesTiffCompression(code);
  c.colorSpacePopUp.enabled = !isIconOutput(code);
  c.roundedCornersCheck.enabled = c.shadowCheck.enabled = isIconOutput(code);
  c.depthPopUp.enabled = c.alphaPopUp.enabled = usesDepthAndAlpha(code);

  form.enableColorSpaceItemsForIndexButton(code);
  form.enableSharingForIndexButton(code);
  disableUnavailableOpenWithItems(c.openWithPopUp, form.engine());
  form.updateDepthStateForIndex(code);
  // The preview's profile follows the item the output will use: none when
  // the format takes no colour space.
  form.updateColorSpaceProfileForIndex(c.colorSpacePopUp.enabled ? c.colorSpacePopUp.selectedIndex : 0);
  form.updateExampleLabel();

  const bool iconOptionChecked = c.roundedCornersCheck.isOn() || c.shadowCheck.isOn();
  if (form.engine().ciPhotoFilters->currentProfile() != profileBefore) return true;
  return iconOptionChecked && (iconOptionsBefore || isIconOutput(code)) && code != previous;
}

}  // namespace velumar

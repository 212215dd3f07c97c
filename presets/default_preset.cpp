#include "presets/converter_form.h"

namespace velumar {

bool ConverterForm::setDefaultPreset() {
  if (state_.isProcessingImages.load()) return false;
  ConverterControls& c = controls;
  for (ToggleButton& button : c.buttonsArray) button.on = false;
  c.buttonsArray[ConversionType::JPEG].on = true;
  state_.globalConversionFormat = ConversionType::JPEG;
  c.jpegSlider.enabled = c.jpegQualityTextField.enabled = true;
  c.tiffCompressionPopUp.enabled = false;
  c.jpegSlider.set(1.0);
  c.jpegQualityTextField.text = percentText(1);
  c.tiffCompressionPopUp.select(0);
  c.fixedSizeCheck.enabled = true;
  c.fixedSizeCheck.set(false);
  c.aspectRatioCheck.enabled = true;
  c.aspectRatioCheck.set(true);
  c.resizeWTextField.text = c.resizeHTextField.text = percentText(1);
  c.resizeFormatsPopUp.enabled = true;
  c.resizeFormatsPopUp.select(0);
  state_.lastSelectedFormat = 0;
  c.dpiCheck.set(false);
  c.dpiTextField = {dpiText(72), false};
  c.resizeScalePopUp.select(0);
  c.colorSpacePopUp.enabled = true;
  c.colorSpacePopUp.select(0);
  updateColorSpaceProfileForIndex(0);
  enableColorSpaceItemsForIndexButton(ConversionType::JPEG);
  enableSharingForIndexButton(ConversionType::JPEG);
  c.depthPopUp.select(0);
  c.alphaPopUp.select(0);
  updateDepthStateForIndex(ConversionType::JPEG);
  c.filterTypePopUp0.select(0);
  c.filterTypePopUp1.select(0);
  c.filterTypePopUp2.select(0);
  services_.changeFilterToExampleImageFrom(c);
  services_.addArrayValuesToFilterValuesAndUpdateUndo(c, false);
  c.roundedCornersCheck.set(false);
  c.shadowCheck.set(false);
  c.roundedCornersCheck.enabled = c.shadowCheck.enabled = false;
  c.presetTextField.text.clear();

  // The user's saving method stays; only a value other than 0 and 1 becomes 0.
  if (state_.saveWithStoredFileURL != 1) state_.saveWithStoredFileURL = 0;
  setSavingMethodControls(state_.saveWithStoredFileURL == 1);
  c.fileURLTextField.text = state_.fileURLForSaving;
  c.searchSubFoldersCheck.set(state_.searchInSubFolders != 0);
  c.memorizeToPresetCheck.set(state_.loadFileOptionsFromPreset);
  c.dateSelectPopUp.select(0);
  updateExampleLabel();

  engine_.setCompositeImageOrigin({50, 50});
  engine_.compositeImageOpacity = 1.0;
  engine_.compositeImageSize = 1.0;
  engine_.compositeCIInputImage = nullptr;
  engine_.setLutFilter(nullptr);
  engine_.lutIntensity = 1.0;
  engine_.setToneCurveFilter(nullptr);
  engine_.setRedCurveFilter(nullptr);
  engine_.setGreenCurveFilter(nullptr);
  engine_.setBlueCurveFilter(nullptr);
  for (CheckBox* check :
       {&c.toneCurveCheck, &c.toneCurveRedCheck, &c.toneCurveGreenCheck, &c.toneCurveBlueCheck})
    check->set(false);
  for (const ci::FilterRef& filter : {toneCurveFilter, redCurveFilter, greenCurveFilter, blueCurveFilter})
    if (filter) filter->setDefaults();
  c.compositePositionView.mousePoint = {50, 50};
  compositeImageEnable(false);
  c.cropPositionView.mousePoint = {50, 50};
  c.cropCenterXTextField.text = c.cropCenterYTextField.text = decimalText(0);
  cropImageEnable(false);
  c.stretchAndCropStretchSlider.set(0.5);
  c.stretchAndCropCropSlider.set(0.5);
  stretchAndCropSlidersEnable(false);
  c.imageTransformAngleSlider.set(angleSliderValue(0));
  c.imageTransformAngleTextField.text = angleText(0);
  // The default method turns nothing: the angle does not apply.
  enableImageTransformAngle(false);
  c.addWatermarkTextCheck.set(false);
  c.addWatermarkDateCheck.set(false);
  c.addWatermarkImageCheck.set(false);
  c.watermarkDatePopUp.select(0);
  c.angleTextSlider.set(angleSliderValue(0));
  c.angleImageSlider.set(angleSliderValue(0));
  c.angleTextTextField.text = c.angleImageTextField.text = angleText(0);
  c.obliquenessTextSlider.set(0);
  for (Slider* one : {&c.opacityTextSlider, &c.imageSizePercentSlider, &c.imageOpacitySlider}) one->set(1.0);
  c.mousePositionViewText.mousePoint = c.mousePositionViewImage.mousePoint = {50, 50};
  c.watermarkTextField.text.clear();
  c.watermarkImageView.resetOriginalImage();
  engine_.resetTextAttributes();
  watermarkTextEnable(false);
  watermarkImageEnable(false);
  services_.updateFontPanel(engine_.textFont, engine_.textAttributes);
  services_.updatePreviewViewAndUpdateText(true, true, true);
  return true;
}

}  // namespace velumar

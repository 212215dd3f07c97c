#include <cmath>

#include "filters/cube_file.h"
#include "platform/foundation/locale_compare.h"
#include "presets/converter_form.h"
#include "presets/preset_file.h"
#include "session/rename_info.h"

namespace velumar {

namespace {

bool isTIFFOutput(std::int64_t code) {
  return code == ConversionType::TIFF || code == ConversionType::TIFF2x ||
         code == ConversionType::TIFFMultiple;
}

// The preset's rename text in its field and check box.
void applyRenameText(TextField& field, CheckBox& check, const std::string& text, const char* placeholder) {
  const bool used = !text.empty() && text != placeholder;
  field.text = used ? text : placeholder;
  field.enabled = used;
  check.set(used);
}

}  // namespace

bool ConverterForm::setPopOverViewFromPreset(std::size_t position) {
  if (state_.isProcessingImages.load() || position >= engine_.presetsArray.size() ||
      !engine_.presetsArray[position])
    return false;
  const ImageInfo& preset = *engine_.presetsArray[position];
  const ImageModifyInfo r = preset.imageModifyInfo();
  ConverterControls& c = controls;
  // An index out of range selects the first button and item.
  const std::int64_t code =
      r.conversionType >= 0 && r.conversionType < std::int64_t(kOutputFormatCount) ? r.conversionType : 0;
  state_.globalConversionFormat = code;

  for (ToggleButton& button : c.buttonsArray) button.on = false;
  c.buttonsArray[std::size_t(code)].on = true;

  c.jpegSlider.enabled = c.jpegQualityTextField.enabled = code == ConversionType::JPEG;
  c.tiffCompressionPopUp.enabled = isTIFFOutput(code);
  c.roundedCornersCheck.enabled = c.shadowCheck.enabled = isIconOutput(code);
  c.roundedCornersCheck.set(isIconOutput(code) && r.roundedCornersICNS);
  c.shadowCheck.set(isIconOutput(code) && r.shadowICNS);
  c.depthPopUp.enabled = c.alphaPopUp.enabled = code == ConversionType::PNG || isTIFFOutput(code);
  c.depthPopUp.select(std::int64_t(r.imageDepth));
  c.alphaPopUp.select(std::int64_t(r.imageTransparency));
  updateDepthStateForIndex(code);

  c.addBorderCheck.set(r.addBorder);
  c.borderPreserveRatioCheck.set(r.addBorder && r.preserveBorderRatio);
  c.topBorderTextField.text = percentText(r.addBorder ? r.topBorderSize : 0);
  c.bottomBorderTextField.text = percentText(r.addBorder ? r.bottomBorderSize : 0);
  c.leftBorderTextField.text = percentText(r.addBorder ? r.leftBorderSize : 0);
  c.rightBorderTextField.text = percentText(r.addBorder ? r.rightBorderSize : 0);
  c.borderOpacitySlider.set(r.addBorder ? r.borderOpacity : 1.0);
  c.borderColorWell.rgba =
      r.addBorder ? std::array<double, 4>{r.borderColorR, r.borderColorG, r.borderColorB, r.borderColorA}
                  : std::array<double, 4>{1, 1, 1, 1};
  changeBorderOptions(r.addBorder);

  c.compositePopUp.select(r.compositeMode);
  c.keepOriginalFileTypeCheck.set(r.keepOriginalFileTypeIfPossible);
  c.jpegSlider.set(r.jpegCompressionFactor);
  c.jpegQualityTextField.text = percentText(c.jpegSlider.value);
  c.tiffCompressionPopUp.select(r.doTiffCompression == 1 || r.doTiffCompression == 2 ? r.doTiffCompression
                                                                                     : 0);
  applySize(r);

  c.dpiCheck.set(r.modifyImageDpi);
  c.dpiTextField.enabled = c.dpiCheck.isOn();
  c.dpiTextField.text = dpiText(r.dpi);
  if (r.searchSubFolders >= 0 && state_.loadFileOptionsFromPreset) {
    state_.searchInSubFolders = r.searchSubFolders;
    c.searchSubFoldersCheck.set(r.searchSubFolders != 0);
  }
  c.cmykAlphaCheck.set(r.preserveCMYKAlpha);

  c.colorSpacePopUp.enabled = !isIconOutput(code);
  c.colorSpacePopUp.select(isIconOutput(code) ? 0 : r.colorSpace);
  enableColorSpaceItemsForIndexButton(code);
  updateColorSpaceProfileForIndex(c.colorSpacePopUp.selectedIndex);
  enableSharingForIndexButton(code);

  c.filterTypePopUp0.select(r.filterType0);
  c.filterTypePopUp1.select(r.filterType1);
  c.filterTypePopUp2.select(r.filterType2);
  c.resizeScalePopUp.select(r.resizeScaleType);

  c.autoAdjustCheck.set(r.optionAutoAdjust);
  c.enhanceCheck.set(!r.optionAutoAdjust || r.optionEnhance);
  c.redEyesCheck.set(r.optionAutoAdjust && r.optionRedEye);
  c.enhanceCheck.enabled = c.redEyesCheck.enabled = r.optionAutoAdjust;

  const bool features = r.optionFeatures, isolate = features && r.optionFeaturesIsolateFaces;
  c.featuresCheck.set(features);
  c.isolateFacesCheck.set(!features || r.optionFeaturesIsolateFaces);
  const std::pair<CheckBox*, bool> faceEffects[] = {
      {&c.autoAdjustFacesCheck, r.optionFeaturesAutoAdjustFaces},
      {&c.biggerBoundsFacesCheck, r.optionFeaturesBiggerBoundsFaces},
      {&c.blurFacesCheck, r.optionFeaturesBlurFaces},
      {&c.pixelateFacesCheck, r.optionFeaturesPixelateFaces},
      {&c.frameFacesCheck, r.optionFeaturesFrameFaces},
      {&c.vignetteFacesCheck, r.optionFeaturesVignetteFaces},
      {&c.blurBackgroundFacesCheck, r.optionFeaturesBlurBackgroundFaces},
      {&c.saveCropFacesCheck, r.optionFeaturesSaveCropFaces}};
  for (const auto& [check, on] : faceEffects) {
    check->set(isolate && on);
    check->enabled = isolate;
  }
  c.eyeBlinkCheck.set(features && r.optionFeaturesEyeBlink);
  c.isolateFacesCheck.enabled = c.eyeBlinkCheck.enabled = features;

  c.presetTextField.text.clear();
  if (state_.loadFileOptionsFromPreset && preset.presetSavingMethod != -2) applyFileOptions(preset, r);
  updateExampleLabel();

  engine_.setCompositeImageOrigin(r.compositeOrigin);
  engine_.compositeImageOpacity = r.compositeOpacity;
  engine_.compositeImageSize = r.compositeSizePercent;
  c.compositePositionView.mousePoint = r.compositeOrigin;
  c.compositeOpacitySlider.set(r.compositeOpacity);
  c.compositePercentSlider.set(r.compositeSizePercent);
  const bool overImage = r.compositeModeType != 0;
  c.compositeTypeFilteredCheck.set(!overImage);
  c.compositeTypeImageCheck.set(overImage);
  compositeImageEnable(overImage);
  std::shared_ptr<raster::ImageSet> composite =
      overImage && preset.compositePresetURL ? services_.loadImage(*preset.compositePresetURL) : nullptr;
  // A copy that no longer loads leaves no earlier image behind.
  c.compositeDragAndDropView.resetOriginalImage();
  engine_.compositeCIInputImage = nullptr;
  if (composite) {
    c.compositeDragAndDropView.fullSizeImage = composite;
    c.compositeDragAndDropView.originalImageHasAlpha = r.compositeOriginalAlpha;
    updateCompositeImageWithImage(composite);
  }
  const bool compositeOn = c.compositePopUp.selectedIndex != 0;
  c.popOverCompositeOptionsButton = {compositeOn && c.popOverCompositeOptionsButton.on, compositeOn,
                                     compositeOn ? 1.0 : 0.5};
  if (!compositeOn) c.compositeOptionsPopoverShown = false;

  const bool crops = r.resizeScaleType == 6 || r.resizeScaleType == 16;
  c.cropPositionView.mousePoint =
      crops ? raster::Point{r.cropCenterX * 100, r.cropCenterY * 100} : raster::Point{50, 50};
  c.cropCenterXTextField.text = decimalText(crops ? r.cropCenterX * 100 - 50 : 0);
  c.cropCenterYTextField.text = decimalText(crops ? r.cropCenterY * 100 - 50 : 0);
  cropImageEnable(crops);
  const bool stretches = r.resizeScaleType == 7;
  c.stretchAndCropStretchSlider.set(stretches ? r.stretchAndCropStretch : 0.5);
  c.stretchAndCropCropSlider.set(stretches ? r.stretchAndCropCrop : 0.5);
  stretchAndCropSlidersEnable(stretches);
  const bool rotates = r.resizeScaleType == 15 || r.resizeScaleType == 16;
  enableImageTransformAngle(rotates);
  c.imageTransformAngleSlider.set(angleSliderValue(rotates ? r.rotationAngle : 0));
  c.imageTransformAngleTextField.text = angleText(rotates ? r.rotationAngle : 0);

  applyWatermarks(preset, r);
  services_.updateFontPanel(engine_.textFont, engine_.textAttributes);

  c.depthEnableCheck.set(r.wantsMixWithDepthData);
  c.depthCompositingCheck.set(r.wantsDepthBeforeCompositing);
  c.depthExportCheck.set(r.wantsDepthExport);
  c.depthInvertCheck.set(r.depthInvert);
  c.depthFocalPointSlider.set(r.depthFocalPoint);
  c.depthSlopeSlider.set(r.depthSlope);
  c.depthWidthSlider.set(r.depthWidth);
  c.depthBlurBackgroundSlider.set(r.depthBlurBackground);
  c.depthBlackBackgroundSlider.set(r.depthBlackBackground);
  c.tinyPlanetCheck.set(r.wantsTinyPlanet);
  c.tinyPlanetInvertCheck.set(r.tinyPlanetInvert);
  c.tinyPlanetScaleSlider.set(r.tinyPlanetScale);
  c.tinyPlanetFactorSlider.set(r.tinyPlanetFactor);
  c.tinyPlanetAngleSlider.set(r.tinyPlanetAngle);
  c.tinyPlanetFusionSlider.set(r.tinyPlanetFusion);

  c.lutIntensitySlider.set(r.lutIntensity);
  engine_.lutIntensity = r.lutIntensity;
  c.lutView.resetOriginalImage();
  if (r.addLUT && preset.lutArray) {
    const foundation::Array& lut = *preset.lutArray;
    const std::int64_t size = lut.size() > 0 ? lut[0].intOr(0) : 0;
    // The well holds only a cube the filter can take.
    if (lut.size() > 1 && lut[1].asData() && isWholeCube(size, lut[1].asData()->size())) {
      c.lutView.cubeSize = size;
      c.lutView.cubeData = *lut[1].asData();
      c.lutView.cubeURL = lut.size() > 2 ? lut[2].stringOr("") : "";
    }
  }
  // The colour-cube filter needs [size, data, path]; a cube without a path
  // is still applied.
  std::optional<foundation::Array> lut = r.addLUT ? preset.lutArray : std::nullopt;
  if (lut && lut->size() == 2) lut->push_back(foundation::Value(""));
  updateLUTWithArray(lut);
  applyCurves(preset, r);

  services_.updatePreviewViewAndUpdateText(true, true, true);
  services_.updateFilterValuesForPreset(c, preset);
  return true;
}

void ConverterForm::applySize(const ImageModifyInfo& r) {
  ConverterControls& c = controls;
  auto sizeText = [&](double size, bool integral) {
    return size == 0 ? std::string("Original") : integral ? integerText(size) : decimalText(size);
  };
  if (r.setFromFixedSize) {
    c.fixedSizeCheck.enabled = true;
    c.fixedSizeCheck.set(true);
    c.aspectRatioCheck.set(false);
    c.aspectRatioCheck.enabled = false;
    c.resizeFormatsPopUp.select(1);
    state_.lastSelectedFormat = 1;
    c.resizeFormatsPopUp.enabled = false;
    c.resizeWTextField.text = sizeText(r.fixedSizeW, true);
    c.resizeHTextField.text = sizeText(r.fixedSizeH, true);
    return;
  }
  c.fixedSizeCheck.set(false);
  c.aspectRatioCheck.enabled = r.resizeConversionType == 0;
  c.aspectRatioCheck.set(r.aspectRatio);
  const bool lanczos = r.resizeScaleType == 1;
  c.resizeFormatsPopUp.enabled = c.fixedSizeCheck.enabled = !lanczos;
  if (lanczos) {
    c.aspectRatioCheck.enabled = true;
    c.aspectRatioCheck.set(true);
  }
  c.resizeFormatsPopUp.select(r.resizeConversionType);
  state_.lastSelectedFormat = c.resizeFormatsPopUp.selectedIndex;
  if (r.resizeConversionType == 0) {
    c.resizeWTextField.text = percentText(r.rFactorW);
    c.resizeHTextField.text = percentText(r.rFactorH);
  } else if (r.resizeConversionType >= 1 && r.resizeConversionType <= 5) {
    const bool pixels = r.resizeConversionType == 1;
    c.resizeWTextField.text = sizeText(r.fixedSizeW, pixels);
    c.resizeHTextField.text = sizeText(r.fixedSizeH, pixels);
  }
}

void ConverterForm::setSavingMethodControls(bool storedFolder) {
  ConverterControls& c = controls;
  c.saveAsImageCheck.set(false);
  c.saveAskEachTimeCheck.set(!storedFolder);
  c.saveStoreDirectoryCheck.set(storedFolder);
  c.popOverSaveToButton.alpha = storedFolder ? 1.0 : 0.5;
  c.popOverSaveToButton.enabled = storedFolder;
  c.fileURLTextField.enabled = storedFolder;
  if (!storedFolder) c.saveToPopoverShown = false;
}

void ConverterForm::applyFileOptions(const ImageInfo& preset, const ImageModifyInfo& r) {
  ConverterControls& c = controls;
  applyOpenWith(preset, r.openWith);
  state_.overwriteFiles = preset.overwriteFiles;
  c.overwriteCheck.set(preset.overwriteFiles);
  state_.maintainHierarchy = preset.maintainHierarchy;
  c.maintainHierarchyCheck.set(preset.maintainHierarchy);
  state_.renameIgnoreProcessing = preset.renameIgnoreProcessing;
  c.renameIgnoreCheck.set(preset.renameIgnoreProcessing);
  state_.preserveMetadata = r.preserveMetadata;
  c.metadataCheck.set(r.preserveMetadata);

  const bool storedFolder = preset.presetSavingMethod == 1;
  setSavingMethodControls(storedFolder);
  state_.saveWithStoredFileURL = storedFolder ? 1 : 0;
  // A stored folder without a path shows the placeholder, never nothing.
  state_.fileURLForSaving = storedFolder && !preset.presetSavingPath.empty()
                                ? preset.presetSavingPath
                                : std::string(kOutputFolderPlaceholder);
  c.fileURLTextField.text = state_.fileURLForSaving;

  applyRenameText(c.prefixTextField, c.addPrefixCheck, preset.prefixFile, kPrefixPlaceholder);
  applyRenameText(c.nameTextField, c.modifyNameCheck, preset.nameFile, kNamePlaceholder);
  applyRenameText(c.suffixTextField, c.addSuffixCheck, preset.suffixFile, kSuffixPlaceholder);
  const bool numbering = preset.initialNumber >= 0;
  c.numberSelectPopUp.select(numbering ? std::int64_t(preset.selectedNumberPopUp) : 0);
  c.initialNumberTextField.text = integerText(numbering ? double(preset.initialNumber) : 0);
  c.zerosTextField.text = integerText(numbering ? double(std::max<std::int64_t>(preset.zerosNumber, 0)) : 0);
  c.initialNumberTextField.enabled = c.zerosTextField.enabled = numbering;
  commitRenameFields();
  c.dateSelectPopUp.select(r.addNameDate);
}

void ConverterForm::applyOpenWith(const ImageInfo& preset, std::int64_t openWith) {
  ConverterControls& c = controls;
  c.openWithPopUp.select(openWith);
  for (ApplicationMenuItem& item : c.openWithApplications) item.on = false;
  if (openWith != 14) {
    engine_.openWithAppID = {};
    return;
  }
  const foundation::Value* wanted = preset.openWithAppID.find("AppFullPath");
  bool matched = false;
  if (wanted && wanted->asString()) {
    if (engine_.openWithAppID.empty()) services_.updateApplicationsForOpenWithMenu();
    for (ApplicationMenuItem& item : c.openWithApplications) {
      const auto entry = engine_.appIDInfoArray.find(item.tag);
      const foundation::Value* path =
          entry != engine_.appIDInfoArray.end() ? entry->second.find("AppFullPath") : nullptr;
      if (path && path->asString() && foundation::localizedEqual(*path->asString(), *wanted->asString())) {
        item.on = true;
        matched = true;
      }
    }
  }
  if (matched) {
    engine_.openWithAppID = preset.openWithAppID;
  } else {
    c.openWithPopUp.select(0);
    engine_.openWithAppID = {};
  }
}

void ConverterForm::applyWatermarks(const ImageInfo& preset, const ImageModifyInfo& r) {
  ConverterControls& c = controls;
  c.addWatermarkTextCheck.set(r.addWatermarkText);
  c.addWatermarkDateCheck.set(r.addWatermarkDate);
  c.addWatermarkImageCheck.set(r.addWatermarkImage);
  if (r.addWatermarkText) {
    watermarkTextEnable(true);
    c.angleTextSlider.set(angleSliderValue(r.textAngle));
    c.angleTextTextField.text = angleText(r.textAngle);
    c.watermarkTextField.text = preset.watermarkPresetText;
    c.obliquenessTextSlider.set(r.textObliqueness);
    c.opacityTextSlider.set(r.textOpacity);
    const bool knownStyle = r.dateStyle >= 1 && r.dateStyle <= 4;
    c.watermarkDatePopUp.select(r.addWatermarkDate && knownStyle ? std::int64_t(r.dateStyle) - 1 : 0);
    c.mousePositionViewText.mousePoint = r.textOrigin;
    engine_.watermarkDrawString = preset.watermarkPresetText;
    engine_.textAttributes = preset.watermarkTextAttributes;
    const raster::TextAttributes& a = preset.watermarkTextAttributes;
    engine_.textFont = TextFont{a.fontFamily, a.bold, a.italic, a.pointSize};
  } else {
    // A date watermark exists only with the text watermark.
    c.addWatermarkDateCheck.set(false);
    watermarkTextEnable(false);
    c.angleTextSlider.set(angleSliderValue(0));
    c.angleTextTextField.text = angleText(0);
    c.watermarkTextField.text.clear();
    c.obliquenessTextSlider.set(0);
    c.opacityTextSlider.set(1);
    c.watermarkDatePopUp.select(0);
    c.mousePositionViewText.mousePoint = {50, 50};
    engine_.resetTextAttributes();
  }
  c.watermarkImageView.resetOriginalImage();
  if (r.addWatermarkImage) {
    watermarkImageEnable(true);
    c.angleImageSlider.set(angleSliderValue(r.imageAngle));
    c.angleImageTextField.text = angleText(r.imageAngle);
    c.imageOpacitySlider.set(r.imageOpacity);
    c.imageSizePercentSlider.set(r.imageSizePercent);
    c.mousePositionViewImage.mousePoint = r.imageOrigin;
    if (preset.watermarkPresetURL) {
      c.watermarkImageView.fullSizeImage = services_.loadImage(*preset.watermarkPresetURL);
      c.watermarkImageView.originalImageHasAlpha =
          c.watermarkImageView.fullSizeImage && r.watermarkOriginalAlpha;
    }
  } else {
    watermarkImageEnable(false);
    c.angleImageSlider.set(angleSliderValue(0));
    c.angleImageTextField.text = angleText(0);
    c.imageOpacitySlider.set(1);
    c.imageSizePercentSlider.set(1);
    c.mousePositionViewImage.mousePoint = {50, 50};
  }
}

void ConverterForm::applyCurves(const ImageInfo& preset, const ImageModifyInfo& r) {
  ConverterControls& c = controls;
  const struct {
    const std::optional<std::vector<raster::Point>>& points;
    ci::FilterRef& filter;
    CurveEditor& editor;
    CheckBox& check;
    bool on;
    void (ImportedImage::*setEngineFilter)(const ci::FilterRef&);
  } curves[] = {
      {preset.toneCurvePoints, toneCurveFilter, c.curveView, c.toneCurveCheck, r.addToneCurve,
       &ImportedImage::setToneCurveFilter},
      {preset.toneCurvePointsRed, redCurveFilter, c.redCurveView, c.toneCurveRedCheck, r.addToneCurveRed,
       &ImportedImage::setRedCurveFilter},
      {preset.toneCurvePointsGreen, greenCurveFilter, c.greenCurveView, c.toneCurveGreenCheck,
       r.addToneCurveGreen, &ImportedImage::setGreenCurveFilter},
      {preset.toneCurvePointsBlue, blueCurveFilter, c.blueCurveView, c.toneCurveBlueCheck, r.addToneCurveBlue,
       &ImportedImage::setBlueCurveFilter},
  };
  for (const auto& curve : curves) {
    const bool five = curve.points && curve.points->size() == 5;
    curve.editor.percentPoints = five ? *curve.points : diagonalCurvePoints();
    if (curve.filter) {
      curve.filter->setDefaults();
      if (five) {
        for (std::size_t i = 0; i < 5; ++i)
          curve.filter->setValue("inputPoint" + std::to_string(i),
                                 ci::Vector{(*curve.points)[i].x, (*curve.points)[i].y});
      }
    }
  }
  for (const auto& curve : curves) {
    curve.check.set(curve.on);
    (engine_.*curve.setEngineFilter)(curve.on ? curve.filter : nullptr);
  }
}

bool ConverterForm::compositeModeFrom(CompositeTypeBox sender) {
  if (state_.isProcessingImages.load()) return false;
  ConverterControls& c = controls;
  CheckBox& clicked =
      sender == CompositeTypeBox::Filtered ? c.compositeTypeFilteredCheck : c.compositeTypeImageCheck;
  CheckBox& other =
      sender == CompositeTypeBox::Filtered ? c.compositeTypeImageCheck : c.compositeTypeFilteredCheck;
  if (!other.isOn()) {
    clicked.set(true);
    return true;
  }
  other.set(false);
  clicked.set(true);
  compositeImageEnable(sender == CompositeTypeBox::Image);
  services_.refreshLivePreview();
  return true;
}

}  // namespace velumar

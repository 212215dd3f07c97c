#include <cmath>

#include "engine/color_space_menu.h"
#include "presets/converter_form.h"
#include "presets/filter_values.h"

namespace velumar {

namespace {

// A slider's single-precision value, widened.
double valueOf(const Slider& slider) {
  return double(slider.value);
}

}  // namespace

void ConverterForm::readSize(ImageModifyInfo& r) {
  ConverterControls& c = controls;
  const bool fixed = c.fixedSizeCheck.state != CheckState::Off;
  const std::int64_t unit = fixed ? 1 : c.resizeFormatsPopUp.selectedIndex;
  r.resizeConversionType = unit;
  r.fixedSizeW = r.fixedSizeH = 0;
  r.rFactorW = r.rFactorH = 1;
  r.doImageResize = false;
  r.aspectRatio = false;
  if (unit >= 1 && unit <= 5) {
    const foundation::NumberFormatter& reader = unit == 1 ? integer_ : decimal_;
    auto side = [&](const TextField& field) {
      if (field.text == "Original") return 0.0;
      return double(float(reader.parse(field.text).value_or(0)));
    };
    r.fixedSizeW = side(c.resizeWTextField);
    r.fixedSizeH = side(c.resizeHTextField);
    r.doImageResize = r.fixedSizeW != 0 || r.fixedSizeH != 0;
    r.setFromFixedSize = fixed;
  } else if (unit == 0) {
    const double w = double(float(percent_.parse(c.resizeWTextField.text).value_or(0)));
    const double h = double(float(percent_.parse(c.resizeHTextField.text).value_or(0)));
    r.doImageResize = !(w == 1.0 && h == 1.0);
    if (r.doImageResize) {
      r.rFactorW = w;
      r.rFactorH = h;
    }
    r.aspectRatio = c.aspectRatioCheck.isOn();
    r.setFromFixedSize = false;
  } else {
    r.aspectRatio = true;
  }
}

void ConverterForm::normalizeOptionFields() {
  ConverterControls& c = controls;
  readJpegCompressionFrom(From::Field);
  readResizeFactorWithSender(c.resizeWTextField);
  readResizeFactorWithSender(c.resizeHTextField);
  readDpiWithSender();
  commitRenameFields();
  readTextAngleWithSender(From::Field);
  readImageAngleWithSender(From::Field);
  for (TextField* border :
       {&c.topBorderTextField, &c.bottomBorderTextField, &c.leftBorderTextField, &c.rightBorderTextField})
    readBorderStateWithSender(*border);
  readCropCenterWithSender(c.cropCenterXTextField);
  readCropCenterWithSender(c.cropCenterYTextField);
  readImageTransformAngleWithSender(From::Field);
}

ImageModifyInfo ConverterForm::readCurrentPresetValues() {
  ConverterControls& c = controls;
  // Unset fields hold a new preset's values, not whatever a record held.
  ImageModifyInfo r = ImageInfo().imageModifyInfo();
  std::int64_t code = ConversionType::JPEG;
  for (std::size_t i = 0; i < c.buttonsArray.size(); ++i)
    if (c.buttonsArray[i].on) code = std::int64_t(i);

  normalizeOptionFields();

  r.convert2XImagesInTIFF = code == ConversionType::TIFF2x;
  r.convertMultipleImagesInTIFF = code == ConversionType::TIFFMultiple;
  r.roundedCornersICNS = isIconOutput(code) && c.roundedCornersCheck.isOn();
  r.shadowICNS = isIconOutput(code) && c.shadowCheck.isOn();
  r.keepOriginalFileTypeIfPossible = c.keepOriginalFileTypeCheck.isOn();
  readSize(r);

  r.dpi = double(float(dpi_.parse(c.dpiTextField.text).value_or(0)));
  r.modifyImageDpi = c.dpiCheck.isOn();
  r.onlySetDpi = false;
  r.isForOriginalRep = true;
  r.searchSubFolders = c.searchSubFoldersCheck.isOn() ? 1 : 0;
  r.doTiffCompression = c.tiffCompressionPopUp.selectedIndex;
  r.conversionType = code;
  r.jpegCompressionFactor = valueOf(c.jpegSlider);
  r.preserveMetadata = state_.preserveMetadata;
  r.preserveCMYKAlpha = c.cmykAlphaCheck.isOn();

  r.colorSpace = c.colorSpacePopUp.enabled ? c.colorSpacePopUp.selectedIndex : 0;
  r.colorSpaceModel = selectColorSpaceModelFromColorSpace(r.colorSpace, engine_);
  r.filterType0 = c.filterTypePopUp0.selectedIndex;
  r.filterType1 = c.filterTypePopUp1.selectedIndex;
  r.filterType2 = c.filterTypePopUp2.selectedIndex;
  r.resizeScaleType = c.resizeScalePopUp.selectedIndex;

  const bool autoAdjust = c.autoAdjustCheck.isOn();
  r.optionAutoAdjust = autoAdjust;
  r.optionEnhance = autoAdjust && c.enhanceCheck.isOn();
  r.optionRedEye = autoAdjust && c.redEyesCheck.isOn();
  const bool features = c.featuresCheck.isOn();
  const bool isolate = features && c.isolateFacesCheck.isOn();
  r.optionFeatures = features;
  r.optionFeaturesIsolateFaces = isolate;
  r.optionFeaturesAutoAdjustFaces = isolate && c.autoAdjustFacesCheck.isOn();
  r.optionFeaturesBiggerBoundsFaces = isolate && c.biggerBoundsFacesCheck.isOn();
  r.optionFeaturesBlurFaces = isolate && c.blurFacesCheck.isOn();
  r.optionFeaturesPixelateFaces = isolate && c.pixelateFacesCheck.isOn();
  r.optionFeaturesFrameFaces = isolate && c.frameFacesCheck.isOn();
  r.optionFeaturesVignetteFaces = isolate && c.vignetteFacesCheck.isOn();
  r.optionFeaturesBlurBackgroundFaces = isolate && c.blurBackgroundFacesCheck.isOn();
  r.optionFeaturesSaveCropFaces = isolate && c.saveCropFacesCheck.isOn();
  r.optionFeaturesEyeBlink = features && c.eyeBlinkCheck.isOn();

  r.compositeMode = c.compositePopUp.selectedIndex;
  r.openWith = c.openWithPopUp.selectedIndex;
  r.addNameDate = c.dateSelectPopUp.selectedIndex;
  r.compositeModeType = c.compositeTypeFilteredCheck.isOn() ? 0 : 1;
  r.compositeOpacity = valueOf(c.compositeOpacitySlider);
  r.compositeSizePercent = valueOf(c.compositePercentSlider);
  r.compositeOrigin = c.compositePositionView.mousePoint;

  r.addWatermarkText = c.addWatermarkTextCheck.isOn();
  r.addWatermarkDate = false;
  if (r.addWatermarkText) {
    r.textAngle = angleFromSlider(c.angleTextSlider.value);
    r.textObliqueness = valueOf(c.obliquenessTextSlider);
    r.textOrigin = c.mousePositionViewText.mousePoint;
    r.textOpacity = valueOf(c.opacityTextSlider);
    r.addWatermarkDate = c.addWatermarkDateCheck.isOn();
    const std::int64_t style = c.watermarkDatePopUp.selectedIndex;
    r.dateStyle = r.addWatermarkDate && style >= 0 && style <= 3 ? std::uint64_t(style + 1) : 1;
  }
  r.addWatermarkImage = c.addWatermarkImageCheck.isOn();
  engine_.watermarkImage = nullptr;
  if (r.addWatermarkImage) {
    r.imageAngle = angleFromSlider(c.angleImageSlider.value);
    r.imageOrigin = c.mousePositionViewImage.mousePoint;
    r.imageSizePercent = valueOf(c.imageSizePercentSlider);
    r.imageOpacity = valueOf(c.imageOpacitySlider);
    engine_.watermarkImage = c.watermarkImageView.fullSizeImage;
  }
  r.imageDepth =
      c.depthPopUp.enabled && c.depthPopUp.selectedIndex > 0 ? std::uint64_t(c.depthPopUp.selectedIndex) : 0;
  r.imageTransparency =
      c.alphaPopUp.enabled && c.alphaPopUp.selectedIndex > 0 ? std::uint64_t(c.alphaPopUp.selectedIndex) : 0;

  const std::int64_t scale = r.resizeScaleType;
  const bool crops = scale == 6 || scale == 16;
  r.cropCenterX = crops ? c.cropPositionView.mousePoint.x / 100 : 0.5;
  r.cropCenterY = crops ? c.cropPositionView.mousePoint.y / 100 : 0.5;
  r.stretchAndCropStretch = scale == 7 ? valueOf(c.stretchAndCropStretchSlider) : 0.5;
  r.stretchAndCropCrop = scale == 7 ? valueOf(c.stretchAndCropCropSlider) : 0.5;
  r.rotationAngle = scale == 15 || scale == 16 ? angleFromSlider(c.imageTransformAngleSlider.value) : 0;

  r.addBorder = c.addBorderCheck.isOn();
  r.preserveBorderRatio = r.addBorder && c.borderPreserveRatioCheck.isOn();
  auto border = [&](const TextField& field) {
    return r.addBorder ? double(float(percent_.parse(field.text).value_or(0))) : 0.0;
  };
  r.topBorderSize = border(c.topBorderTextField);
  r.bottomBorderSize = border(c.bottomBorderTextField);
  r.leftBorderSize = border(c.leftBorderTextField);
  r.rightBorderSize = border(c.rightBorderTextField);
  r.borderOpacity = r.addBorder ? valueOf(c.borderOpacitySlider) : 1.0;
  const auto& rgba = c.borderColorWell.rgba;
  r.borderColorR = r.addBorder ? rgba[0] : 1.0;
  r.borderColorG = r.addBorder ? rgba[1] : 1.0;
  r.borderColorB = r.addBorder ? rgba[2] : 1.0;
  r.borderColorA = r.addBorder ? rgba[3] : 1.0;

  r.wantsMixWithDepthData = c.depthEnableCheck.isOn();
  r.wantsDepthBeforeCompositing = c.depthCompositingCheck.isOn();
  r.wantsDepthExport = c.depthExportCheck.isOn();
  r.depthInvert = c.depthInvertCheck.isOn();
  r.depthSlope = valueOf(c.depthSlopeSlider);
  r.depthWidth = valueOf(c.depthWidthSlider);
  r.depthFocalPoint = valueOf(c.depthFocalPointSlider);
  r.depthIntensity = valueOf(c.depthIntensitySlider);
  r.depthBlurBackground = valueOf(c.depthBlurBackgroundSlider);
  r.depthBlackBackground = valueOf(c.depthBlackBackgroundSlider);
  r.wantsTinyPlanet = c.tinyPlanetCheck.isOn();
  r.tinyPlanetInvert = c.tinyPlanetInvertCheck.isOn();
  r.tinyPlanetScale = valueOf(c.tinyPlanetScaleSlider);
  r.tinyPlanetFactor = valueOf(c.tinyPlanetFactorSlider);
  r.tinyPlanetAngle = valueOf(c.tinyPlanetAngleSlider);
  r.tinyPlanetFusion = valueOf(c.tinyPlanetFusionSlider);

  r.lutIntensity = valueOf(c.lutIntensitySlider);
  r.addLUT = lutFilter != nullptr;
  engine_.setLutFilter(lutFilter);
  r.addToneCurve = c.toneCurveCheck.isOn();
  r.addToneCurveRed = c.toneCurveRedCheck.isOn();
  r.addToneCurveGreen = c.toneCurveGreenCheck.isOn();
  r.addToneCurveBlue = c.toneCurveBlueCheck.isOn();
  engine_.setToneCurveFilter(r.addToneCurve ? toneCurveFilter : nullptr);
  engine_.setRedCurveFilter(r.addToneCurveRed ? redCurveFilter : nullptr);
  engine_.setGreenCurveFilter(r.addToneCurveGreen ? greenCurveFilter : nullptr);
  engine_.setBlueCurveFilter(r.addToneCurveBlue ? blueCurveFilter : nullptr);
  return r;
}

RenameInfo ConverterForm::setupRenameInfo() const {
  const ConverterControls& c = controls;
  return RenameInfo{c.nameTextField.enabled,          c.prefixTextField.enabled,
                    c.suffixTextField.enabled,        c.numberSelectPopUp.selectedIndex,
                    c.initialNumberTextField.enabled, c.zerosTextField.enabled,
                    c.dateSelectPopUp.selectedIndex};
}

void ConverterForm::saveFilterValuesToArray(foundation::Array& values) const {
  for (foundation::Value& value : filterValuesSnapshot(controls)) values.push_back(std::move(value));
}

}  // namespace velumar

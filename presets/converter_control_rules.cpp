#include <algorithm>
#include <cmath>
#include <limits>

#include "filters/cifiltering.h"
#include "filters/cube_file.h"
#include "platform/ci/image.h"
#include "platform/foundation/log.h"
#include "presets/color_space_check.h"
#include "presets/converter_form.h"
#include "session/rename_info.h"

namespace velumar {

namespace {

constexpr const char* kOriginal = "Original";
constexpr double kDefaultDpi = 72, kSmallestDpi = 36;
constexpr std::int64_t kLargestZeros = 200;

void setEnabled(std::initializer_list<bool*> flags, bool enabled) {
  for (bool* flag : flags) *flag = enabled;
}

}  // namespace

ConverterForm::ConverterForm(ConverterState& state, ImportedImage& engine, ConverterWindowServices& services)
    : state_(state), engine_(engine), services_(services) {
  std::vector<std::string> descriptions;
  for (const auto& profile : engine_.profiles)
    descriptions.push_back(profile ? profile->description().value_or("") : "");
  setColorSpaceItems(controls.colorSpacePopUp, descriptions);
  toneCurveFilter = ci::Filter::withName("ToneCurveFilter");
  redCurveFilter = ci::Filter::withName("ToneCurveChannelRed");
  greenCurveFilter = ci::Filter::withName("ToneCurveChannelGreen");
  blueCurveFilter = ci::Filter::withName("ToneCurveChannelBlue");
}

double ConverterForm::angleSliderValue(double angle) {
  double value = angle + 270;
  if (value >= 360) value -= 360;
  return value;
}

double ConverterForm::angleFromSlider(double sliderValue) {
  double angle = double(float(sliderValue) + 90.0f);
  if (angle >= 360) angle -= 360;
  return angle;
}

// ---- Field normalisers ------------------------------------------------------

void ConverterForm::readJpegCompressionFrom(From sender) {
  ConverterControls& c = controls;
  if (sender == From::Field) {
    const std::optional<double> read = percent_.parse(c.jpegQualityTextField.text);
    if (read) c.jpegSlider.set(std::clamp(*read, 0.0, 1.0));
  }
  c.jpegQualityTextField.text = percentText(c.jpegSlider.value);
}

void ConverterForm::readResizeFactorWithSender(TextField& sender) {
  ConverterControls& c = controls;
  const std::int64_t unit = state_.lastSelectedFormat;
  if (c.fixedSizeCheck.state != CheckState::Off || unit == 1) {
    const std::optional<double> n = integer_.parse(sender.text);
    sender.text = n && *n >= 1 && *n < 1e15 ? integerText(std::floor(*n)) : kOriginal;
    return;
  }
  if (unit >= 2 && unit <= 5) {
    const std::optional<double> n = decimal_.parse(sender.text);
    sender.text = n && *n > 0 && *n < 1e15 ? decimalText(*n) : kOriginal;
    return;
  }
  const std::optional<double> factor = percent_.parse(sender.text);
  if (!factor) {
    c.resizeWTextField.text = c.resizeHTextField.text = percentText(1);
    return;
  }
  const std::string text = percentText(std::min(std::max(*factor, 0.1), 1e9));
  if (c.aspectRatioCheck.isOn())
    c.resizeWTextField.text = c.resizeHTextField.text = text;
  else
    sender.text = text;
}

void ConverterForm::readDpiWithSender() {
  const std::optional<double> read = dpi_.parse(controls.dpiTextField.text);
  const double dpi = read ? std::min(std::max(*read, kSmallestDpi), 1e6) : kDefaultDpi;
  controls.dpiTextField.text = dpiText(dpi);
}

void ConverterForm::readAngleField(TextField& field, Slider& slider, From sender) {
  if (sender == From::Field) {
    std::string text = field.text;
    if (const auto degree = text.rfind("°"); degree != std::string::npos) text.erase(degree);
    if (const std::optional<double> angle = decimal_.parse(text)) {
      const double clamped = std::clamp(*angle, 0.0, 360.0);
      slider.set(angleSliderValue(clamped));
      field.text = angleText(clamped);
      return;
    }
  }
  field.text = angleText(angleFromSlider(slider.value));
}

void ConverterForm::readTextAngleWithSender(From sender) {
  readAngleField(controls.angleTextTextField, controls.angleTextSlider, sender);
}

void ConverterForm::readImageAngleWithSender(From sender) {
  readAngleField(controls.angleImageTextField, controls.angleImageSlider, sender);
}

void ConverterForm::readImageTransformAngleWithSender(From sender) {
  readAngleField(controls.imageTransformAngleTextField, controls.imageTransformAngleSlider, sender);
}

void ConverterForm::readBorderStateWithSender(TextField& sender) {
  const std::optional<double> read = percent_.parse(sender.text);
  sender.text = percentText(read ? std::clamp(*read, 0.0, 0.5) : 0.0);
}

void ConverterForm::readCropCenterWithSender(TextField& sender) {
  const std::optional<double> read = decimal_.parse(sender.text);
  // No range: the picker keeps points outside the picture too.
  const double offset = read.value_or(0.0);
  sender.text = decimalText(offset);
  raster::Point& point = controls.cropPositionView.mousePoint;
  (&sender == &controls.cropCenterYTextField ? point.y : point.x) = offset + 50;
}

// ---- Enabling -----------------------------------------------------------------

void ConverterForm::changeBorderOptions(bool enabled) {
  ConverterControls& c = controls;
  setEnabled({&c.topBorderTextField.enabled, &c.bottomBorderTextField.enabled, &c.leftBorderTextField.enabled,
              &c.rightBorderTextField.enabled, &c.borderOpacitySlider.enabled, &c.borderColorWell.enabled,
              &c.borderPreserveRatioCheck.enabled},
             enabled);
}

void ConverterForm::compositeImageEnable(bool enabled) {
  ConverterControls& c = controls;
  const double alpha = enabled ? 1.0 : 0.5;
  c.compositePositionView.alpha = c.compositeDragAndDropView.alpha = alpha;
  c.compositePositionView.mouseEvents = c.compositeDragAndDropView.acceptsDrops = enabled;
  c.compositePercentSlider.enabled = enabled;
}

void ConverterForm::cropImageEnable(bool enabled) {
  ConverterControls& c = controls;
  c.cropPositionView.alpha = enabled ? 1.0 : 0.5;
  c.cropPositionView.mouseEvents = enabled;
  c.cropCenterXTextField.enabled = c.cropCenterYTextField.enabled = enabled;
}

void ConverterForm::stretchAndCropSlidersEnable(bool enabled) {
  controls.stretchAndCropStretchSlider.enabled = controls.stretchAndCropCropSlider.enabled = enabled;
}

void ConverterForm::enableImageTransformAngle(bool enabled) {
  controls.imageTransformAngleSlider.enabled = controls.imageTransformAngleTextField.enabled = enabled;
}

void ConverterForm::watermarkTextEnable(bool enabled) {
  ConverterControls& c = controls;
  setEnabled({&c.angleTextSlider.enabled, &c.angleTextTextField.enabled, &c.obliquenessTextSlider.enabled,
              &c.opacityTextSlider.enabled, &c.addWatermarkDateCheck.enabled},
             enabled);
  const bool date = c.addWatermarkDateCheck.isOn();
  c.watermarkDatePopUp.enabled = enabled && date;
  c.watermarkTextField.enabled = enabled && !date;
  c.mousePositionViewText.alpha = enabled ? 1.0 : 0.5;
  c.mousePositionViewText.mouseEvents = enabled;
}

void ConverterForm::watermarkImageEnable(bool enabled) {
  ConverterControls& c = controls;
  setEnabled({&c.angleImageSlider.enabled, &c.angleImageTextField.enabled, &c.imageSizePercentSlider.enabled,
              &c.imageOpacitySlider.enabled},
             enabled);
  c.mousePositionViewImage.alpha = c.watermarkImageView.alpha = enabled ? 1.0 : 0.5;
  c.mousePositionViewImage.mouseEvents = c.watermarkImageView.acceptsDrops = enabled;
}

void ConverterForm::updateDepthStateForIndex(std::int64_t conversionType) {
  PopUp& depth = controls.depthPopUp;
  for (PopUpItem& item : depth.items) item.enabled = true;
  if (conversionType != ConversionType::PNG || depth.items.size() < 4) return;
  depth.items[3].enabled = false;
  if (depth.selectedIndex == 3) depth.selectedIndex = 0;
}

void ConverterForm::enableColorSpaceItemsForIndexButton(std::int64_t conversionType) {
  PopUp& popUp = controls.colorSpacePopUp;
  for (PopUpItem& item : popUp.items) item.enabled = true;
  auto disable = [&](std::size_t index) {
    if (index < popUp.items.size()) popUp.items[index].enabled = false;
  };
  const std::int64_t code = conversionType;
  if (code == ConversionType::JPEG || code == ConversionType::PDF) disable(5);
  if (code == ConversionType::PNG || code == ConversionType::BMP || code == ConversionType::GIF ||
      code == ConversionType::PSD || code == ConversionType::PSDLayered) {
    disable(4);
    disable(5);
    for (std::size_t i = 0; i < engine_.profiles.size(); ++i) {
      const auto& profile = engine_.profiles[i];
      if (profile && profile->spaceType() == color::fourCC("CMYK"))
        disable(std::size_t(kFirstProfileMenuItem) + i);
    }
  }
  const std::int64_t selected = popUp.selectedIndex;
  if (selected < 0 || selected >= popUp.count() || !popUp.items[std::size_t(selected)].enabled)
    popUp.selectedIndex = 0;
}

void ConverterForm::enableSharingForIndexButton(std::int64_t conversionType) {
  PopUp& popUp = controls.openWithPopUp;
  for (PopUpItem& item : popUp.items) item.enabled = true;
  auto disable = [&](std::size_t first, std::size_t last) {
    for (std::size_t i = first; i <= last && i < popUp.items.size(); ++i) popUp.items[i].enabled = false;
  };
  const std::int64_t code = conversionType;
  if (code == ConversionType::TIFF2x) disable(11, 13);
  if ((code >= ConversionType::TIFFMultiple && code <= ConversionType::Xcode2xFolder) ||
      code == ConversionType::PSDLayered)
    disable(8, 13);
  if (code == ConversionType::PDF || code == ConversionType::GIF || code == ConversionType::PSD)
    disable(9, 10);
  if (code == ConversionType::ICNS) disable(7, 10);
  const std::int64_t selected = popUp.selectedIndex;
  if (selected < 0 || selected >= popUp.count() || !popUp.items[std::size_t(selected)].enabled)
    popUp.selectedIndex = 0;
}

void ConverterForm::updateColorSpaceProfileForIndex(std::int64_t item) {
  switch (item) {
    case 1:
      outputProfile = Profile::profileWithAdobeRGB();
      break;
    case 2:
      outputProfile = Profile::profileWithGenericRGB();
      break;
    case 3:
      outputProfile = Profile::profileWithSRGB();
      break;
    case 4:
    case 5:
      outputProfile = Profile::profileWithGenericCMYK();
      break;
    case 6:
      outputProfile = Profile::profileWithGenericGray();
      break;
    case 7:
      outputProfile = Profile::profileWithGrayGamma2_2();
      break;
    default: {
      const std::int64_t index = item - kFirstProfileMenuItem;
      const bool installed = index >= 0 && std::size_t(index) < engine_.profiles.size();
      outputProfile = installed ? engine_.profiles[std::size_t(index)] : nullptr;
    }
  }
  if (engine_.ciPhotoFilters)
    engine_.ciPhotoFilters->setProfile(outputProfile ? outputProfile->ref() : nullptr);
}

bool ConverterForm::updateLUTWithArray(const std::optional<foundation::Array>& lut) {
  if (!lut || lut->size() != 3) {
    lutFilter = nullptr;
    engine_.setLutFilter(nullptr);
    return false;
  }
  const std::int64_t size = (*lut)[0].intOr(0);
  const foundation::Data* data = (*lut)[1].asData();
  if (!data || !isWholeCube(size, data->size())) return false;
  ci::FilterRef filter = ci::Filter::withName("CIColorCube");
  if (!filter) {
    foundation::log("Converter: no colour-cube filter; the lookup table is not applied");
    return false;
  }
  filter->setDefaults();
  filter->setValue("inputCubeDimension", double(size));
  filter->setValue("inputCubeData", ci::Data(data->begin(), data->end()));
  lutFilter = filter;
  engine_.setLutFilter(filter);
  return true;
}

bool ConverterForm::updateCompositeImageWithImage(const std::shared_ptr<raster::ImageSet>& image) {
  if (!image || image->isEmpty() || !image->representations().front()->image()) return false;
  engine_.compositeCIInputImage = ci::Image::withBitmap(image->representations().front()->image());
  return engine_.compositeCIInputImage != nullptr;
}

// ---- Rename controls ---------------------------------------------------------

void ConverterForm::setRenameString(TextField& field, std::string& property, const char* placeholder) {
  if (field.text.empty() || field.text == placeholder) {
    field.text = placeholder;
    property.clear();
  } else {
    std::replace(field.text.begin(), field.text.end(), '/', ' ');
    property = field.text;
  }
  updateExampleLabel();
}

void ConverterForm::setPrefixStringFrom() {
  setRenameString(controls.prefixTextField, state_.prefixString, kPrefixPlaceholder);
}

void ConverterForm::setNameStringFrom() {
  setRenameString(controls.nameTextField, state_.nameString, kNamePlaceholder);
}

void ConverterForm::setSuffixStringFrom() {
  setRenameString(controls.suffixTextField, state_.suffixString, kSuffixPlaceholder);
}

std::int64_t ConverterForm::readRenameNumber(TextField& field, std::int64_t largest) {
  // A number beyond 64 bits cannot be a running number: it reads as 0.
  const std::optional<double> read = integer_.parse(field.text);
  std::int64_t value = 0;
  if (read && *read > 0 && *read < 9.2e18) value = std::min(std::int64_t(*read), largest);
  field.text = integerText(double(value));
  return value;
}

void ConverterForm::setInitialNumberFrom() {
  state_.initialNumber =
      readRenameNumber(controls.initialNumberTextField, std::numeric_limits<std::int64_t>::max());
  updateExampleLabel();
}

void ConverterForm::setZerosFrom() {
  state_.zerosNumber = readRenameNumber(controls.zerosTextField, kLargestZeros);
  updateExampleLabel();
}

void ConverterForm::setInitialPopUpNumberFrom() {
  ConverterControls& c = controls;
  if (c.numberSelectPopUp.selectedIndex <= 0) {
    state_.initialNumber = state_.zerosNumber = -1;
    c.initialNumberTextField.enabled = c.zerosTextField.enabled = false;
  } else {
    setInitialNumberFrom();
    setZerosFrom();
    c.initialNumberTextField.enabled = c.zerosTextField.enabled = true;
  }
  updateExampleLabel();
}

void ConverterForm::commitRenameFields() {
  setPrefixStringFrom();
  setNameStringFrom();
  setSuffixStringFrom();
  setInitialNumberFrom();
  setZerosFrom();
  setInitialPopUpNumberFrom();
}

void ConverterForm::updateExampleLabel() {
  controls.resultLabelString.text = services_.exampleName();
}

}  // namespace velumar

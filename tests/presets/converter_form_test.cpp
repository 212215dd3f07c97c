#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "filters/cifiltering.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/property_list.h"
#include "presets/converter_form.h"
#include "presets/filter_slot_table.h"
#include "presets/headless_window_services.h"
#include "presets/preset_file.h"
#include "presets/preset_loader.h"
#include "presets/presets_test_support.h"
#include "session/headless_converter.h"
#include "session/rename_info.h"
#include "support/test_support.h"

using namespace velumar;
namespace fs = std::filesystem;

namespace {

// A form over an engine with the installed profiles, and a way to apply
// one preset record through it.
struct Form {
  std::unique_ptr<ImportedImage> engine = presets_test::engineWithInstalledProfiles();
  ConverterState state;
  HeadlessWindowServices services;
  ConverterForm form{state, *engine, services};

  bool apply(const std::shared_ptr<ImageInfo>& preset) {
    engine->presetsArray = {preset};
    return form.setPopOverViewFromPreset(0);
  }
  bool apply(const ImageModifyInfo& record) {
    auto preset = std::make_shared<ImageInfo>();
    preset->setImageModifyInfo(record);
    return apply(preset);
  }
  ConverterControls& c() { return form.controls; }
};

ImageModifyInfo fresh() {
  return ImageInfo().imageModifyInfo();
}

// The record with the fields no control carries taken from other, so that
// two records compare on what the controls hold.
ImageModifyInfo carried(ImageModifyInfo r, const ImageModifyInfo& other, bool fileOptions) {
  r.resizeAndConvertOnlyMaxRep = other.resizeAndConvertOnlyMaxRep;
  r.isSourceDestinationGIF = other.isSourceDestinationGIF;
  r.convertMultipleImagesInPSD = other.convertMultipleImagesInPSD;
  r.originalFileType = other.originalFileType;
  r.watermarkOriginalAlpha = other.watermarkOriginalAlpha;
  r.compositeOriginalAlpha = other.compositeOriginalAlpha;
  r.resizeBeforeCrop = other.resizeBeforeCrop;
  r.unrotatedWidth = other.unrotatedWidth;
  r.unrotatedHeight = other.unrotatedHeight;
  r.cropAndRotateCropSize = other.cropAndRotateCropSize;
  r.drawWithAlpha = other.drawWithAlpha;
  r.depthIntensity = other.depthIntensity;
  r.colorSpaceModel = other.colorSpaceModel;
  if (!fileOptions) {
    r.searchSubFolders = other.searchSubFolders;
    r.preserveMetadata = other.preserveMetadata;
    r.openWith = other.openWith;
    r.addNameDate = other.addNameDate;
  }
  return r;
}

std::shared_ptr<ImageInfo> loadCommitted(const ImportedImage& engine, std::string_view name) {
  const fs::path path = fs::path(VELUMAR_SOURCE_DIR) / "resources" / "presets" / name;
  const auto dictionary = foundation::readPropertyList(path.string());
  if (!dictionary || !dictionary->asDictionary()) return nullptr;
  return imageInfoFromPresetDictionary(*dictionary->asDictionary(), path.string(), engine);
}

}  // namespace

TEST(ConverterForm, EachBuiltInAppliesAndReadsBackUnchanged) {
  for (std::string_view name : kBuiltInPresetNames) {
    SCOPED_TRACE(std::string(name));
    Form f;
    const auto preset = loadCommitted(*f.engine, name);
    ASSERT_TRUE(preset);
    ASSERT_TRUE(f.apply(preset));
    const ImageModifyInfo want = preset->imageModifyInfo();
    const ImageModifyInfo got = f.form.readCurrentPresetValues();
    EXPECT_EQ(carried(got, want, false), want);
    EXPECT_EQ(got.colorSpaceModel, want.colorSpaceModel);
    foundation::Array values;
    f.form.saveFilterValuesToArray(values);
    EXPECT_EQ(values, preset->filterValues);
  }
}

// A preset with every carried option away from its default, its gates
// open, and the file options carried too.
TEST(ConverterForm, ARichPresetAppliesAndReadsBackUnchanged) {
  Form f;
  f.state.loadFileOptionsFromPreset = true;
  auto preset = std::make_shared<ImageInfo>();
  ImageModifyInfo r = fresh();
  auto n = [](double x) { return double(float(x)); };
  r.conversionType = ConversionType::TIFF;
  r.doTiffCompression = 2;
  r.imageDepth = 2;
  r.imageTransparency = 1;
  r.doImageResize = true;
  r.resizeConversionType = 3;
  r.fixedSizeW = n(10.5);
  r.fixedSizeH = 0;
  r.aspectRatio = false;
  r.resizeScaleType = 16;
  r.cropCenterX = n(0.25);
  r.cropCenterY = n(0.75);
  r.rotationAngle = 100;
  r.dpi = 150;
  r.modifyImageDpi = true;
  r.keepOriginalFileTypeIfPossible = true;
  r.preserveCMYKAlpha = true;
  r.colorSpace = 4;
  r.filterType0 = 57;
  r.filterType2 = 111;
  r.optionAutoAdjust = r.optionRedEye = true;
  r.optionFeatures = r.optionFeaturesIsolateFaces = r.optionFeaturesBlurFaces = r.optionFeaturesEyeBlink =
      true;
  r.compositeMode = 13;
  r.compositeModeType = 0;
  r.compositeOrigin = {20, 80};
  r.compositeOpacity = n(0.4);
  r.compositeSizePercent = n(0.6);
  r.addWatermarkText = r.addWatermarkDate = true;
  r.dateStyle = 3;
  r.textAngle = 45;
  r.textObliqueness = n(0.2);
  r.textOpacity = n(0.7);
  r.textOrigin = {10, 90};
  r.addWatermarkImage = true;
  r.imageAngle = 300;
  r.imageSizePercent = n(0.3);
  r.imageOpacity = n(0.8);
  r.imageOrigin = {60, 40};
  r.addBorder = r.preserveBorderRatio = true;
  r.topBorderSize = n(0.05);
  r.bottomBorderSize = n(0.1);
  r.leftBorderSize = 0;
  r.rightBorderSize = n(0.5);
  r.borderOpacity = n(0.9);
  r.borderColorR = n(0.2);
  r.borderColorG = n(0.4);
  r.borderColorB = n(0.6);
  r.borderColorA = n(0.8);
  r.wantsMixWithDepthData = r.depthInvert = true;
  r.depthFocalPoint = n(0.3);
  r.depthSlope = n(2.5);
  r.wantsTinyPlanet = true;
  r.tinyPlanetAngle = n(33.5);
  r.lutIntensity = n(0.55);
  r.addLUT = true;
  r.preserveMetadata = true;
  r.searchSubFolders = 1;
  r.openWith = 3;
  r.addNameDate = 2;
  preset->setImageModifyInfo(r);
  preset->presetSavingMethod = 1;
  preset->presetSavingPath = "/home/user/Out";
  preset->prefixFile = "pre_";
  preset->suffixFile = "_s";
  preset->selectedNumberPopUp = 2;
  preset->initialNumber = 7;
  preset->zerosNumber = 3;
  preset->overwriteFiles = true;
  preset->maintainHierarchy = false;
  preset->watermarkPresetText = "© Velumar";
  preset->lutArray = foundation::Array{2, foundation::Data(2 * 2 * 2 * 16, 0), "/home/user/look.cube"};
  preset->filterValues = foundation::Array(kFilterValueCount, foundation::Value(""));
  // Slot 0 (type 57) shows sliders 0 to 2, slot 2 (type 111) slider 7 and
  // well 14.
  preset->filterValues[0] = n(1.25);
  preset->filterValues[1] = n(0.25);
  preset->filterValues[2] = n(1.5);
  preset->filterValues[7] = n(0.5);
  preset->filterValues[14] = foundation::Dictionary{
      {"redComponent", 0.5}, {"greenComponent", 0.25}, {"blueComponent", 1.0}, {"alphaComponent", 1.0}};

  ASSERT_TRUE(f.apply(preset));
  const ImageModifyInfo got = f.form.readCurrentPresetValues();
  EXPECT_EQ(carried(got, r, true), r);
  foundation::Array values;
  f.form.saveFilterValuesToArray(values);
  EXPECT_EQ(values, preset->filterValues);
  EXPECT_EQ(f.state.saveWithStoredFileURL, 1);
  EXPECT_EQ(f.state.fileURLForSaving, "/home/user/Out");
  EXPECT_EQ(f.state.prefixString, "pre_");
  EXPECT_EQ(f.state.nameString, "");
  EXPECT_EQ(f.state.initialNumber, 7);
  EXPECT_EQ(f.state.zerosNumber, 3);
  EXPECT_TRUE(f.state.overwriteFiles);
  EXPECT_FALSE(f.state.maintainHierarchy);
  EXPECT_EQ(f.engine->watermarkDrawString, "© Velumar");
  EXPECT_TRUE(f.engine->lutFilter());
  EXPECT_EQ(f.c().lutView.cubeURL, "/home/user/look.cube");
}

TEST(ConverterForm, ApplyingShowsTheRulesOfEachControl) {
  struct Case {
    const char* name;
    std::function<void(ImageModifyInfo&)> set;
    std::function<void(ConverterControls&)> check;
  };
  const Case cases[] = {
      {"fixed size 0 shows Original in pixels, aspect ratio off and disabled",
       [](ImageModifyInfo& r) {
         r.setFromFixedSize = true;
         r.fixedSizeW = 0;
         r.fixedSizeH = 480;
       },
       [](ConverterControls& c) {
         EXPECT_EQ(c.resizeWTextField.text, "Original");
         EXPECT_EQ(c.resizeHTextField.text, "480");
         EXPECT_EQ(c.resizeFormatsPopUp.selectedIndex, 1);
         EXPECT_FALSE(c.resizeFormatsPopUp.enabled);
         EXPECT_FALSE(c.aspectRatioCheck.isOn());
         EXPECT_FALSE(c.aspectRatioCheck.enabled);
       }},
      {"Lanczos disables the units and forces the aspect ratio",
       [](ImageModifyInfo& r) {
         r.resizeScaleType = 1;
         r.rFactorW = 0.5;
         r.aspectRatio = false;
       },
       [](ConverterControls& c) {
         EXPECT_EQ(c.resizeWTextField.text, "50%");
         EXPECT_FALSE(c.resizeFormatsPopUp.enabled);
         EXPECT_FALSE(c.fixedSizeCheck.enabled);
         EXPECT_TRUE(c.aspectRatioCheck.isOn());
         EXPECT_TRUE(c.aspectRatioCheck.enabled);
       }},
      {"rotation 100 puts the slider at 10",
       [](ImageModifyInfo& r) {
         r.resizeScaleType = 15;
         r.rotationAngle = 100;
       },
       [](ConverterControls& c) {
         EXPECT_EQ(c.imageTransformAngleSlider.value, 10);
         EXPECT_EQ(c.imageTransformAngleTextField.text, "100°");
         EXPECT_TRUE(c.imageTransformAngleSlider.enabled);
       }},
      {"rotation 45 puts the slider at 315",
       [](ImageModifyInfo& r) {
         r.resizeScaleType = 16;
         r.rotationAngle = 45;
       },
       [](ConverterControls& c) { EXPECT_EQ(c.imageTransformAngleSlider.value, 315); }},
      {"a date watermark without text ends with the date check off",
       [](ImageModifyInfo& r) {
         r.addWatermarkDate = true;
         r.dateStyle = 3;
       },
       [](ConverterControls& c) {
         EXPECT_FALSE(c.addWatermarkDateCheck.isOn());
         EXPECT_EQ(c.watermarkDatePopUp.selectedIndex, 0);
       }},
      {"auto adjust off leaves enhance on but disabled; features off leaves isolate on but disabled",
       [](ImageModifyInfo&) {},
       [](ConverterControls& c) {
         EXPECT_TRUE(c.enhanceCheck.isOn());
         EXPECT_FALSE(c.enhanceCheck.enabled);
         EXPECT_TRUE(c.isolateFacesCheck.isOn());
         EXPECT_FALSE(c.isolateFacesCheck.enabled);
       }},
      {"ICNS disables the colour space and selects item 0",
       [](ImageModifyInfo& r) {
         r.conversionType = ConversionType::ICNS;
         r.colorSpace = 3;
       },
       [](ConverterControls& c) {
         EXPECT_FALSE(c.colorSpacePopUp.enabled);
         EXPECT_EQ(c.colorSpacePopUp.selectedIndex, 0);
         EXPECT_TRUE(c.roundedCornersCheck.enabled);
       }},
      {"PNG enables depth but not its item 3",
       [](ImageModifyInfo& r) {
         r.conversionType = ConversionType::PNG;
         r.imageDepth = 3;
       },
       [](ConverterControls& c) {
         EXPECT_TRUE(c.depthPopUp.enabled);
         EXPECT_FALSE(c.depthPopUp.items[3].enabled);
         EXPECT_EQ(c.depthPopUp.selectedIndex, 0);
       }},
      {"a crop centre of (0.25, 0.75) moves the picker and the offset fields",
       [](ImageModifyInfo& r) {
         r.resizeScaleType = 6;
         r.cropCenterX = 0.25;
         r.cropCenterY = 0.75;
       },
       [](ConverterControls& c) {
         EXPECT_EQ(c.cropPositionView.mousePoint, (raster::Point{25, 75}));
         EXPECT_EQ(c.cropCenterXTextField.text, "-25");
         EXPECT_EQ(c.cropCenterYTextField.text, "25");
       }},
      {"an out-of-range code and indexes select the first button and items",
       [](ImageModifyInfo& r) {
         r.conversionType = 99;
         r.compositeMode = 40;
         r.filterType0 = -3;
         r.dateStyle = 9;
         r.addWatermarkText = r.addWatermarkDate = true;
       },
       [](ConverterControls& c) {
         EXPECT_TRUE(c.buttonsArray[ConversionType::JPEG].on);
         EXPECT_EQ(c.compositePopUp.selectedIndex, 0);
         EXPECT_EQ(c.filterTypePopUp0.selectedIndex, 0);
         EXPECT_EQ(c.watermarkDatePopUp.selectedIndex, 0);
       }},
      {"border off shows 0 % and white", [](ImageModifyInfo& r) { r.topBorderSize = 0.3; },
       [](ConverterControls& c) {
         EXPECT_EQ(c.topBorderTextField.text, "0%");
         EXPECT_EQ(c.borderColorWell.rgba, (std::array<double, 4>{1, 1, 1, 1}));
         EXPECT_FALSE(c.topBorderTextField.enabled);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Form f;
    ImageModifyInfo r = fresh();
    c.set(r);
    ASSERT_TRUE(f.apply(r));
    c.check(f.c());
  }
}

TEST(ConverterForm, FileOptionsFollowThePresetOnlyWhenAsked) {
  for (bool load : {false, true}) {
    SCOPED_TRACE(load);
    Form f;
    f.state.loadFileOptionsFromPreset = load;
    f.state.saveWithStoredFileURL = 1;
    f.state.fileURLForSaving = "/home/user/Before";
    auto preset = std::make_shared<ImageInfo>();
    preset->presetSavingMethod = 1;  // a stored folder without a path
    preset->prefixFile = kPrefixPlaceholder;
    preset->nameFile = "new/name";
    ASSERT_TRUE(f.apply(preset));
    if (!load) {
      EXPECT_EQ(f.state.fileURLForSaving, "/home/user/Before");
      EXPECT_EQ(f.state.nameString, kNamePlaceholder);
      continue;
    }
    EXPECT_EQ(f.state.fileURLForSaving, kOutputFolderPlaceholder);
    EXPECT_EQ(f.c().fileURLTextField.text, kOutputFolderPlaceholder);
    EXPECT_EQ(f.c().prefixTextField.text, kPrefixPlaceholder);
    EXPECT_FALSE(f.c().addPrefixCheck.isOn());
    EXPECT_FALSE(f.c().prefixTextField.enabled);
    EXPECT_EQ(f.state.prefixString, "");
    EXPECT_EQ(f.c().nameTextField.text, "new name");  // slashes become spaces
    EXPECT_EQ(f.state.nameString, "new name");
    EXPECT_EQ(f.state.initialNumber, -1);  // numbering off
    EXPECT_EQ(f.form.setupRenameInfo(), (RenameInfo{true, false, false, 0, false, false, 0}));
  }
}

TEST(ConverterForm, ReadingTheControlsFollowsTheTables) {
  struct Case {
    const char* name;
    std::function<void(ConverterControls&, ConverterState&)> set;
    std::function<void(const ImageModifyInfo&)> check;
  };
  const Case cases[] = {
      {"no format button on is JPEG",
       [](ConverterControls& c, ConverterState&) { c.buttonsArray[ConversionType::JPEG].on = false; },
       [](const ImageModifyInfo& r) { EXPECT_EQ(r.conversionType, 0); }},
      {"fixed size with both sides Original",
       [](ConverterControls& c, ConverterState&) {
         c.fixedSizeCheck.state = CheckState::Mixed;  // any state but off counts
         c.resizeWTextField.text = c.resizeHTextField.text = "Original";
       },
       [](const ImageModifyInfo& r) {
         EXPECT_FALSE(r.doImageResize);
         EXPECT_EQ(r.resizeConversionType, 1);
         EXPECT_TRUE(r.setFromFixedSize);
         EXPECT_EQ(r.fixedSizeW, 0);
       }},
      {"percent 50 % by 100 %",
       [](ConverterControls& c, ConverterState&) {
         c.aspectRatioCheck.set(false);
         c.resizeWTextField.text = "50 %";
       },
       [](const ImageModifyInfo& r) {
         EXPECT_TRUE(r.doImageResize);
         EXPECT_EQ(r.rFactorW, 0.5);
         EXPECT_EQ(r.rFactorH, 1);
       }},
      {"centimetres 10 by Original",
       [](ConverterControls& c, ConverterState& state) {
         c.resizeFormatsPopUp.select(3);
         state.lastSelectedFormat = 3;  // as choosing the unit does
         c.resizeWTextField.text = "10";
         c.resizeHTextField.text = "Original";
       },
       [](const ImageModifyInfo& r) {
         EXPECT_TRUE(r.doImageResize);
         EXPECT_EQ(r.fixedSizeW, 10);
         EXPECT_EQ(r.fixedSizeH, 0);
         EXPECT_EQ(r.resizeConversionType, 3);
       }},
      {"angle sliders: 300 → 30, 270 → 0, 0 → 90",
       [](ConverterControls& c, ConverterState&) {
         c.addWatermarkTextCheck.set(true);
         c.angleTextSlider.value = 300;
         c.angleTextTextField.text = "";
         c.addWatermarkImageCheck.set(true);
         c.angleImageSlider.value = 0;
         c.angleImageTextField.text = "";
       },
       [](const ImageModifyInfo& r) {
         EXPECT_EQ(r.textAngle, 30);
         EXPECT_EQ(r.imageAngle, 90);
         EXPECT_EQ(r.rotationAngle, 0);
       }},
      {"colour item 5 is CMYK", [](ConverterControls& c, ConverterState&) { c.colorSpacePopUp.select(5); },
       [](const ImageModifyInfo& r) { EXPECT_EQ(r.colorSpaceModel, 2); }},
      {"auto adjust off drops enhance; features without isolate keep eye blink only",
       [](ConverterControls& c, ConverterState&) {
         c.enhanceCheck.set(true);
         c.featuresCheck.set(true);
         c.isolateFacesCheck.set(false);
         c.blurFacesCheck.set(true);
         c.eyeBlinkCheck.set(true);
       },
       [](const ImageModifyInfo& r) {
         EXPECT_FALSE(r.optionEnhance);
         EXPECT_TRUE(r.optionFeatures);
         EXPECT_FALSE(r.optionFeaturesBlurFaces);
         EXPECT_TRUE(r.optionFeaturesEyeBlink);
       }},
      {"border off is opaque white without sizes",
       [](ConverterControls& c, ConverterState&) {
         c.borderColorWell.rgba = {0, 0, 0, 0.5};
         c.topBorderTextField.text = "20%";
       },
       [](const ImageModifyInfo& r) {
         EXPECT_EQ(r.borderColorR, 1);
         EXPECT_EQ(r.borderColorA, 1);
         EXPECT_EQ(r.borderOpacity, 1);
         EXPECT_EQ(r.topBorderSize, 0);
       }},
      {"date style item 2 is 3; unreadable fields read their defaults",
       [](ConverterControls& c, ConverterState&) {
         c.addWatermarkTextCheck.set(true);
         c.addWatermarkDateCheck.set(true);
         c.watermarkDatePopUp.select(2);
         c.dpiTextField.text = "lots";
         c.jpegQualityTextField.text = "85";
       },
       [](const ImageModifyInfo& r) {
         EXPECT_EQ(r.dateStyle, 3u);
         EXPECT_EQ(r.dpi, 72);
         EXPECT_EQ(r.jpegCompressionFactor, double(0.85f));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Form f;
    c.set(f.c(), f.state);
    c.check(f.form.readCurrentPresetValues());
  }
  Form f;
  foundation::Array values;
  f.form.saveFilterValuesToArray(values);
  EXPECT_EQ(values, foundation::Array(kOptionControlCount, foundation::Value("")));
}

TEST(ConverterForm, RenameNumbersAreBounded) {
  Form f;
  ConverterControls& c = f.c();
  c.numberSelectPopUp.select(1);
  const std::pair<const char*, std::int64_t> initial[] = {
      {"12", 12}, {"", 0}, {"-5", 0}, {"99999999999999999999999", 0}, {"abc", 0}};
  for (const auto& [text, value] : initial) {
    c.initialNumberTextField.text = text;
    f.form.setInitialNumberFrom();
    EXPECT_EQ(f.state.initialNumber, value) << text;
  }
  c.zerosTextField.text = "5000";
  f.form.setZerosFrom();
  EXPECT_EQ(f.state.zerosNumber, 200);
  c.numberSelectPopUp.select(0);
  f.form.setInitialPopUpNumberFrom();
  EXPECT_EQ(f.state.initialNumber, -1);
  EXPECT_FALSE(c.zerosTextField.enabled);
}

TEST(ConverterForm, CompositeTypeBoxesActAsOnePairAndDefaultKeepsTheSavingMethod) {
  Form f;
  ConverterControls& c = f.c();
  ASSERT_TRUE(f.form.compositeModeFrom(ConverterForm::CompositeTypeBox::Filtered));  // already on
  EXPECT_TRUE(c.compositeTypeFilteredCheck.isOn());
  EXPECT_TRUE(f.services.steps.empty());
  c.compositeTypeImageCheck.set(true);
  ASSERT_TRUE(f.form.compositeModeFrom(ConverterForm::CompositeTypeBox::Image));
  EXPECT_FALSE(c.compositeTypeFilteredCheck.isOn());
  EXPECT_TRUE(c.compositePercentSlider.enabled);
  EXPECT_EQ(f.services.steps.back(), "live preview");

  f.state.saveWithStoredFileURL = -1;
  ASSERT_TRUE(f.form.setDefaultPreset());
  EXPECT_EQ(f.state.saveWithStoredFileURL, 0);
  EXPECT_TRUE(c.saveAskEachTimeCheck.isOn());
  EXPECT_FALSE(c.fileURLTextField.enabled);
  EXPECT_EQ(c.resizeWTextField.text, "100%");
  EXPECT_TRUE(c.aspectRatioCheck.isOn());
}

TEST(ConverterForm, ApplyDefaultAndCompositeTypeAreRefusedWhileProcessing) {
  Form f;
  ImageModifyInfo r = fresh();
  r.conversionType = ConversionType::TIFF;
  f.state.isProcessingImages = true;
  EXPECT_FALSE(f.apply(r));
  EXPECT_FALSE(f.form.setDefaultPreset());
  EXPECT_FALSE(f.form.compositeModeFrom(ConverterForm::CompositeTypeBox::Image));
  EXPECT_TRUE(f.c().buttonsArray[ConversionType::JPEG].on);
  EXPECT_TRUE(f.services.steps.empty());
}

TEST(ConverterForm, ImageCopiesLoadIntoTheWellsAndAMissingOneLeavesNothingBehind) {
  testsupport::TempDir folder;
  const std::string png = folder.file("copy.png");
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "8x6", "xc:#ff000080", png}).exitCode, 0);
  Form f;
  auto preset = std::make_shared<ImageInfo>();
  ImageModifyInfo r = fresh();
  r.compositeMode = 3;
  r.compositeModeType = 1;
  r.compositeOriginalAlpha = true;
  r.addWatermarkImage = true;
  r.watermarkOriginalAlpha = true;
  preset->setImageModifyInfo(r);
  preset->compositePresetURL = png;
  preset->watermarkPresetURL = png;
  ASSERT_TRUE(f.apply(preset));
  ASSERT_TRUE(f.c().compositeDragAndDropView.hasFullSizeImage());
  EXPECT_TRUE(f.c().compositeDragAndDropView.originalImageHasAlpha);
  EXPECT_TRUE(f.engine->compositeCIInputImage);
  ASSERT_TRUE(f.c().watermarkImageView.hasFullSizeImage());
  f.form.readCurrentPresetValues();
  EXPECT_EQ(f.engine->watermarkImage, f.c().watermarkImageView.fullSizeImage);

  preset->compositePresetURL = folder.file("gone.png");
  preset->watermarkPresetURL = folder.file("gone.png");
  ASSERT_TRUE(f.apply(preset));
  EXPECT_FALSE(f.c().compositeDragAndDropView.hasFullSizeImage());
  EXPECT_FALSE(f.engine->compositeCIInputImage);
  EXPECT_FALSE(f.c().watermarkImageView.hasFullSizeImage());
  EXPECT_FALSE(f.c().watermarkImageView.originalImageHasAlpha);
}

TEST(ConverterForm, SavingMethodGroupKeepsOneButtonSelected) {
  using B = ConverterForm::SavingButton;
  Form f;
  ConverterControls& c = f.c();
  // Clicking the selected button: it toggled itself off, and comes back.
  c.saveAskEachTimeCheck.set(false);
  f.form.selectSavingMethodFrom(B::AskEachTime);
  EXPECT_TRUE(c.saveAskEachTimeCheck.isOn());
  EXPECT_EQ(f.state.saveWithStoredFileURL, 0);

  c.fileURLTextField.text = "/home/user/Out";
  c.saveStoreDirectoryCheck.set(true);
  f.form.selectSavingMethodFrom(B::StoreDirectory);
  EXPECT_EQ(f.state.saveWithStoredFileURL, 1);
  EXPECT_FALSE(c.saveAskEachTimeCheck.isOn());
  EXPECT_TRUE(c.fileURLTextField.enabled);
  EXPECT_TRUE(c.popOverSaveToButton.enabled);
  EXPECT_EQ(c.fileURLTextField.text, "/home/user/Out");

  // The image button acts as ask-each-time and does not stay on.
  c.saveAsImageCheck.set(true);
  f.form.selectSavingMethodFrom(B::AsImage);
  EXPECT_EQ(f.state.saveWithStoredFileURL, 0);
  EXPECT_TRUE(c.saveAskEachTimeCheck.isOn());
  EXPECT_FALSE(c.saveAsImageCheck.isOn());
  EXPECT_FALSE(c.saveStoreDirectoryCheck.isOn());
  EXPECT_FALSE(c.fileURLTextField.enabled);
  EXPECT_EQ(c.popOverSaveToButton.alpha, 0.5);
}

TEST(ConverterForm, OriginalSizeAndRenameControls) {
  Form f;
  ConverterControls& c = f.c();
  c.resizeScalePopUp.select(1);  // Lanczos: original size turns itself off
  c.fixedSizeCheck.set(true);
  f.form.setFixedSizeFrom();
  EXPECT_FALSE(c.fixedSizeCheck.isOn());
  EXPECT_EQ(c.resizeWTextField.text, "100%");

  c.resizeScalePopUp.select(0);
  c.fixedSizeCheck.set(true);
  f.form.setFixedSizeFrom();
  EXPECT_EQ(c.resizeWTextField.text, "Original");
  EXPECT_EQ(c.resizeFormatsPopUp.selectedIndex, 1);
  EXPECT_FALSE(c.aspectRatioCheck.enabled);
  EXPECT_EQ(f.state.lastSelectedFormat, 1);

  c.addSuffixCheck.set(true);
  f.form.setCheckSuffixFrom();
  EXPECT_TRUE(c.suffixTextField.enabled);
  c.suffixTextField.text = "";
  f.form.setSuffixStringFrom();
  EXPECT_EQ(c.suffixTextField.text, kSuffixPlaceholder);
  EXPECT_EQ(f.state.suffixString, "");
  c.prefixTextField.text = "a/b/";
  f.form.setPrefixStringFrom();
  EXPECT_EQ(f.state.prefixString, "a b ");

  f.form.setParagraphStyleFor();
  EXPECT_EQ(c.infoGlobalTextField.text,
            "First use configuration:\nUse preferences to set a global shortcut.");
}

TEST(ConverterForm, ChoosingTheOutputFolderArrivesOnTheMainThread) {
  auto* loop = dynamic_cast<foundation::PlainMainLoop*>(foundation::MainLoop::installed());
  ASSERT_NE(loop, nullptr);
  testsupport::TempDir folder;
  Form f;
  HeadlessConverter chooser;
  f.form.updateFileURLFrom(&chooser);  // ask each time: nothing is asked
  EXPECT_TRUE(chooser.steps().empty());

  f.state.saveWithStoredFileURL = 1;
  chooser.scriptFolderChoice(folder.path().string());
  f.form.updateFileURLFrom(&chooser);
  const std::string expected = fs::canonical(folder.path()).string();
  EXPECT_TRUE(loop->runUntil([&] { return f.state.fileURLForSaving == expected; }, 10));
  EXPECT_EQ(f.c().fileURLTextField.text, expected);

  chooser.scriptFolderChoice(std::nullopt);  // cancelled: nothing changes
  f.form.updateFileURLFrom(&chooser);
  loop->runUntil([] { return false; }, 0.2);
  EXPECT_EQ(f.state.fileURLForSaving, expected);
}

// Choosing a folder the output cannot go to stores nothing and says why; a
// cancelled choice after it says nothing. Root writes anywhere, so the
// choices run as user nobody then.
TEST(ConverterForm, UnusableOutputFolderIsRefusedWithItsCause) {
  testsupport::TempDir dir;
  const std::string file = dir.file("file.txt"), locked = dir.file("locked");
  std::ofstream(file) << "x";
  fs::create_directory(locked);
  ::chmod(dir.path().c_str(), 0755);
  ::chmod(locked.c_str(), 0555);
  const std::string refused = "alert This folder cannot be the output folder. | ";
  struct Case {
    std::optional<std::string> chosen;
    std::string alert;  // empty: none
  };
  const Case cases[] = {
      {locked, refused + locked + ": The destination folder is read-only."},
      {file + "/out", refused + file + "/out: The destination folder does not exist."},
      {file, refused + file + ": The destination is not a folder."},
      {std::nullopt, ""},
  };
  Form f;
  f.state.saveWithStoredFileURL = 1;
  f.state.fileURLForSaving = "/before";
  const auto check = [&] {
    bool passed = true;
    for (const Case& c : cases) {
      HeadlessConverter chooser;
      chooser.scriptFolderChoice(c.chosen);
      f.form.updateFileURLFrom(&chooser);
      std::string alert;
      for (const std::string& step : chooser.steps())
        if (step.rfind("alert ", 0) == 0) alert = step;
      if (alert != c.alert || f.state.fileURLForSaving != "/before") {
        std::fprintf(stderr, "chose %s: got \"%s\", folder %s\n", c.chosen.value_or("nothing").c_str(),
                     alert.c_str(), f.state.fileURLForSaving.c_str());
        passed = false;
      }
    }
    return passed;
  };
  EXPECT_TRUE(testsupport::checkWithoutWriteAccess(check));
}

// Random presets whose values are in range and whose gated values are set
// only where their gate is open: applying then reading gives them back.
TEST(ConverterForm, RandomInRangePresetsApplyAndReadBackUnchanged) {
  std::mt19937 random(20261207);
  auto pick = [&](int first, int last) { return std::uniform_int_distribution<int>(first, last)(random); };
  auto coin = [&] { return pick(0, 1) == 1; };
  auto unit = [&] { return double(float(pick(0, 1000) / 1000.0)); };
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    ImageModifyInfo r = fresh();
    const std::int64_t code = pick(0, 14);
    r.conversionType = code;
    r.convert2XImagesInTIFF = code == 7;
    r.convertMultipleImagesInTIFF = code == 8;
    r.roundedCornersICNS = isIconOutput(code) && coin();
    r.shadowICNS = isIconOutput(code) && coin();
    r.keepOriginalFileTypeIfPossible = coin();
    r.preserveCMYKAlpha = coin();
    r.doTiffCompression = pick(0, 2);
    r.jpegCompressionFactor = double(float(pick(0, 100) / 100.0));
    r.resizeScaleType = pick(0, 16);
    switch (pick(0, 3)) {
      case 0:  // original size
        r.setFromFixedSize = true;
        r.resizeConversionType = 1;
        r.fixedSizeW = pick(0, 5000);
        r.fixedSizeH = pick(0, 5000);
        r.aspectRatio = false;
        break;
      case 1:  // pixels, inches, centimetres, millimetres, points
        r.resizeConversionType = pick(1, 5);
        r.fixedSizeW = r.resizeConversionType == 1 ? pick(0, 5000) : double(float(pick(0, 50000) / 100.0));
        r.fixedSizeH = r.resizeConversionType == 1 ? pick(0, 5000) : double(float(pick(0, 50000) / 100.0));
        r.aspectRatio = false;
        break;
      default:  // percent
        r.resizeConversionType = 0;
        r.rFactorW = double(float(pick(10, 400) / 100.0));
        r.rFactorH = double(float(pick(10, 400) / 100.0));
        r.aspectRatio = r.resizeScaleType == 1 || coin();
        if (r.aspectRatio) r.rFactorH = r.rFactorW;
        break;
    }
    r.doImageResize = r.resizeConversionType == 0 ? !(r.rFactorW == 1 && r.rFactorH == 1)
                                                  : r.fixedSizeW != 0 || r.fixedSizeH != 0;
    if (r.resizeConversionType == 0 && !r.doImageResize) r.rFactorW = r.rFactorH = 1;
    r.dpi = double(float(pick(360, 10000) / 10.0));
    r.modifyImageDpi = coin();
    const int colours[] = {0, 1, 2, 3, 6, 7};
    r.colorSpace = isIconOutput(code) ? 0 : colours[pick(0, 5)];
    // Menu separators are never selected, so no preset holds one.
    const auto filterType = [&] {
      for (;;)
        if (const int type = pick(0, 111);
            FilterSlotTable::hasOperation(type) || FilterSlotTable::title(type) != "—")
          return type;
    };
    r.filterType0 = filterType();
    r.filterType1 = filterType();
    r.filterType2 = filterType();
    r.optionAutoAdjust = coin();
    r.optionEnhance = r.optionAutoAdjust && coin();
    r.optionRedEye = r.optionAutoAdjust && coin();
    r.optionFeatures = coin();
    r.optionFeaturesIsolateFaces = r.optionFeatures && coin();
    for (bool ImageModifyInfo::*effect :
         {&ImageModifyInfo::optionFeaturesAutoAdjustFaces, &ImageModifyInfo::optionFeaturesBiggerBoundsFaces,
          &ImageModifyInfo::optionFeaturesBlurFaces, &ImageModifyInfo::optionFeaturesPixelateFaces,
          &ImageModifyInfo::optionFeaturesFrameFaces, &ImageModifyInfo::optionFeaturesVignetteFaces,
          &ImageModifyInfo::optionFeaturesBlurBackgroundFaces, &ImageModifyInfo::optionFeaturesSaveCropFaces})
      r.*effect = r.optionFeaturesIsolateFaces && coin();
    r.optionFeaturesEyeBlink = r.optionFeatures && coin();
    const int composites[] = {0, 3, 4, 5, 6, 7, 8, 9, 10, 13, 20, 27, 28, 32};
    r.compositeMode = composites[pick(0, 13)];
    r.compositeModeType = pick(0, 1);
    r.compositeOrigin = {double(pick(0, 100)), double(pick(0, 100))};
    r.compositeOpacity = unit();
    r.compositeSizePercent = unit();
    r.addWatermarkText = coin();
    if (r.addWatermarkText) {
      r.textAngle = pick(0, 359);
      r.textObliqueness = unit();
      r.textOpacity = unit();
      r.textOrigin = {double(pick(0, 100)), double(pick(0, 100))};
      r.addWatermarkDate = coin();
      r.dateStyle = r.addWatermarkDate ? std::uint64_t(pick(1, 4)) : 1;
    }
    r.addWatermarkImage = coin();
    if (r.addWatermarkImage) {
      r.imageAngle = pick(0, 359);
      r.imageSizePercent = unit();
      r.imageOpacity = unit();
      r.imageOrigin = {double(pick(0, 100)), double(pick(0, 100))};
    }
    const bool depthMenus = code == 1 || code == 3 || code == 7 || code == 8;
    r.imageDepth = depthMenus ? std::uint64_t(pick(0, code == 1 ? 2 : 3)) : 0;
    r.imageTransparency = depthMenus ? std::uint64_t(pick(0, 2)) : 0;
    if (r.resizeScaleType == 6 || r.resizeScaleType == 16) {
      r.cropCenterX = pick(0, 100) / 100.0;
      r.cropCenterY = pick(0, 100) / 100.0;
    }
    if (r.resizeScaleType == 7) {
      r.stretchAndCropStretch = unit();
      r.stretchAndCropCrop = unit();
    }
    if (r.resizeScaleType == 15 || r.resizeScaleType == 16) r.rotationAngle = pick(0, 359);
    r.addBorder = coin();
    if (r.addBorder) {
      r.preserveBorderRatio = coin();
      for (double ImageModifyInfo::*size :
           {&ImageModifyInfo::topBorderSize, &ImageModifyInfo::bottomBorderSize,
            &ImageModifyInfo::leftBorderSize, &ImageModifyInfo::rightBorderSize})
        r.*size = double(float(pick(0, 50) / 100.0));
      r.borderOpacity = unit();
      r.borderColorR = unit();
      r.borderColorG = unit();
      r.borderColorB = unit();
      r.borderColorA = unit();
    }
    r.wantsMixWithDepthData = coin();
    r.wantsDepthBeforeCompositing = coin();
    r.wantsDepthExport = coin();
    r.depthInvert = coin();
    r.depthFocalPoint = unit();
    r.depthSlope = double(float(unit() * 8));
    r.depthWidth = unit();
    r.depthBlurBackground = unit();
    r.depthBlackBackground = unit();
    r.wantsTinyPlanet = coin();
    r.tinyPlanetInvert = coin();
    r.tinyPlanetScale = unit();
    r.tinyPlanetFactor = double(float(unit() * 3));
    r.tinyPlanetAngle = pick(0, 360);
    r.tinyPlanetFusion = unit();
    r.lutIntensity = unit();
    r.addToneCurve = coin();
    r.addToneCurveRed = coin();
    r.addToneCurveGreen = coin();
    r.addToneCurveBlue = coin();
    r.preserveMetadata = coin();
    r.searchSubFolders = pick(0, 1);
    r.openWith = pick(0, 6);
    r.addNameDate = pick(0, 3);

    Form f;
    f.state.loadFileOptionsFromPreset = true;
    auto preset = std::make_shared<ImageInfo>();
    preset->setImageModifyInfo(r);
    preset->presetSavingMethod = 0;
    ASSERT_TRUE(f.apply(preset));
    const ImageModifyInfo got = f.form.readCurrentPresetValues();
    ASSERT_EQ(carried(got, r, true), r) << presets_test::differences(carried(got, r, true), r);
  }
}

TEST(ConverterForm, TheColourSpaceItemSetsTheFilterEnginesOutputProfile) {
  Form f;
  ImageModifyInfo r = fresh();
  r.colorSpace = 3;
  ASSERT_TRUE(f.apply(r));
  ASSERT_TRUE(f.form.outputProfile);
  EXPECT_EQ(f.form.outputProfile->ref(), f.engine->ciPhotoFilters->currentProfile());
  EXPECT_TRUE(f.engine->ciPhotoFilters->currentProfile());
  r.colorSpace = 0;
  ASSERT_TRUE(f.apply(r));
  EXPECT_FALSE(f.form.outputProfile);
  EXPECT_FALSE(f.engine->ciPhotoFilters->currentProfile());
}

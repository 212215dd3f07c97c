#include "presets/modify_control_rules.h"

#include <gtest/gtest.h>

using namespace velumar;

TEST(ModifyControlRules, AdjustmentKeepsOneKindOn) {
  ConverterControls c;
  c.enhanceCheck.set(false);
  c.redEyesCheck.set(false);
  c.autoAdjustCheck.set(true);
  EXPECT_TRUE(verifyAdjustCheckFrom(c, AdjustCheck::AutoAdjust));
  EXPECT_TRUE(c.enhanceCheck.isOn());
  EXPECT_TRUE(c.redEyesCheck.enabled);
  c.enhanceCheck.set(false);
  verifyAdjustCheckFrom(c, AdjustCheck::Enhance);
  EXPECT_TRUE(c.enhanceCheck.isOn());
  c.redEyesCheck.set(true);
  c.enhanceCheck.set(false);
  verifyAdjustCheckFrom(c, AdjustCheck::Enhance);
  EXPECT_FALSE(c.enhanceCheck.isOn());
  c.autoAdjustCheck.set(false);
  verifyAdjustCheckFrom(c, AdjustCheck::AutoAdjust);
  EXPECT_FALSE(c.enhanceCheck.enabled);
  EXPECT_FALSE(c.redEyesCheck.enabled);
}

TEST(ModifyControlRules, FacesTurnIsolateOnAndEnableTheEffects) {
  ConverterControls c;
  c.featuresCheck.set(true);
  EXPECT_TRUE(verifyAdjustCheckFrom(c, AdjustCheck::Features));
  EXPECT_TRUE(c.isolateFacesCheck.isOn());
  for (const CheckBox* effect :
       {&c.autoAdjustFacesCheck, &c.biggerBoundsFacesCheck, &c.blurFacesCheck, &c.pixelateFacesCheck,
        &c.frameFacesCheck, &c.vignetteFacesCheck, &c.blurBackgroundFacesCheck, &c.saveCropFacesCheck})
    EXPECT_TRUE(effect->enabled);

  ConverterControls blink;
  blink.eyeBlinkCheck.set(true);
  blink.featuresCheck.set(true);
  verifyAdjustCheckFrom(blink, AdjustCheck::Features);
  EXPECT_FALSE(blink.isolateFacesCheck.isOn());
  EXPECT_FALSE(blink.blurFacesCheck.enabled);
  blink.eyeBlinkCheck.set(false);
  EXPECT_FALSE(verifyAdjustCheckFrom(blink, AdjustCheck::EyeBlink));
  EXPECT_TRUE(blink.eyeBlinkCheck.isOn());

  c.featuresCheck.set(false);
  verifyAdjustCheckFrom(c, AdjustCheck::Features);
  EXPECT_FALSE(c.isolateFacesCheck.enabled);
  EXPECT_FALSE(c.eyeBlinkCheck.enabled);
  EXPECT_FALSE(c.saveCropFacesCheck.enabled);
}

TEST(ModifyControlRules, CompositeNoneClosesAndDimsItsOptions) {
  ConverterControls c;
  c.compositePopUp.selectedIndex = 3;
  modifyCompositeStateFrom(c);
  EXPECT_TRUE(c.popOverCompositeOptionsButton.enabled);
  EXPECT_EQ(c.popOverCompositeOptionsButton.alpha, 1.0);
  c.popOverCompositeOptionsButton.on = c.compositeOptionsPopoverShown = true;
  c.compositePopUp.selectedIndex = 0;
  modifyCompositeStateFrom(c);
  EXPECT_FALSE(c.popOverCompositeOptionsButton.on);
  EXPECT_FALSE(c.compositeOptionsPopoverShown);
  EXPECT_EQ(c.popOverCompositeOptionsButton.alpha, 0.5);
}

TEST(ModifyControlRules, CropPickerWritesOffsetsFromTheCentre) {
  ConverterControls c;
  const foundation::NumberFormatter formatter(foundation::NumberFormatter::Style::Decimal, 0, 2, 0.001);
  updateCropImageForPosition(c, formatter);
  EXPECT_EQ(c.cropCenterXTextField.text, "0");
  EXPECT_EQ(c.cropCenterYTextField.text, "0");
  c.cropPositionView.mousePoint = {30, 80};
  updateCropImageForPosition(c, formatter);
  EXPECT_EQ(c.cropCenterXTextField.text, "-20");
  EXPECT_EQ(c.cropCenterYTextField.text, "30");
}

TEST(ModifyControlRules, WatermarkSettings) {
  EXPECT_EQ(watermarkAngleFromSlider(300), 30);
  EXPECT_EQ(watermarkAngleFromSlider(269), 359);
  ConverterControls c;
  c.addWatermarkTextCheck.set(true);
  c.addWatermarkDateCheck.set(true);
  c.watermarkDatePopUp.selectedIndex = 2;
  c.angleTextSlider.value = 300;
  c.mousePositionViewText.mousePoint = {10, 90};
  ImageModifyInfo r = watermarkPreviewSettings(c);
  EXPECT_EQ(r.dateStyle, 3u);
  EXPECT_TRUE(r.addWatermarkDate);
  EXPECT_EQ(r.textAngle, 30);
  EXPECT_EQ(r.textOrigin, (raster::Point{10, 90}));
  EXPECT_FALSE(r.addWatermarkImage);
  c.addWatermarkDateCheck.set(false);
  EXPECT_EQ(watermarkPreviewSettings(c).dateStyle, 1u);
  c.addWatermarkTextCheck.set(false);
  c.addWatermarkDateCheck.set(true);
  r = watermarkPreviewSettings(c);
  EXPECT_FALSE(r.addWatermarkDate);
  EXPECT_EQ(r.dateStyle, 1u);
}

TEST(ModifyControlRules, TypedDepthValuesStayInRange) {
  struct Row {
    std::string text;
    bool set;
    float value;
  };
  const Row rows[] = {{"20", true, 20},  {"0.5", true, 0.5f}, {"7.25", true, 7.25f}, {"20.5", false, 4},
                      {"0.4", false, 4}, {"abc", false, 4},   {"", false, 4}};
  for (const Row& row : rows) {
    ConverterControls c;
    EXPECT_EQ(typedSliderValue(c.depthSlopeSlider, row.text), row.set) << row.text;
    EXPECT_EQ(c.depthSlopeSlider.value, row.value) << row.text;
  }
}

TEST(ModifyControlRules, ResetsKeepTheSwitches) {
  ConverterControls c;
  c.depthEnableCheck.set(true);
  c.depthInvertCheck.set(true);
  c.depthIntensitySlider.value = 0.3f;
  c.depthSlopeSlider.value = 12;
  resetDepthState(c);
  EXPECT_TRUE(c.depthEnableCheck.isOn());
  EXPECT_FALSE(c.depthInvertCheck.isOn());
  EXPECT_EQ(c.depthIntensitySlider.value, 0.3f);
  EXPECT_EQ(c.depthSlopeSlider.value, 4);
  c.tinyPlanetCheck.set(true);
  c.tinyPlanetScaleSlider.value = 0.5f;
  resetTinyPlanetState(c);
  EXPECT_TRUE(c.tinyPlanetCheck.isOn());
  EXPECT_EQ(c.tinyPlanetScaleSlider.value, 0.05f);
}

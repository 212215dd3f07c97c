#pragma once
// The flags handed to the automatic adjustment and face stage: the
// fourteen option flags of the settings in field order, then whether face
// crops may be collected.

namespace velumar {

struct FaceOptions {
  bool optionAutoAdjust = false;
  bool optionEnhance = false;
  bool optionRedEye = false;
  bool optionFeatures = false;
  bool optionFeaturesIsolateFaces = false;
  bool optionFeaturesAutoAdjustFaces = false;
  bool optionFeaturesBiggerBoundsFaces = false;
  bool optionFeaturesBlurFaces = false;
  bool optionFeaturesPixelateFaces = false;
  bool optionFeaturesFrameFaces = false;
  bool optionFeaturesVignetteFaces = false;
  bool optionFeaturesBlurBackgroundFaces = false;
  bool optionFeaturesSaveCropFaces = false;
  bool optionFeaturesEyeBlink = false;
  bool allowFaceCrops = true;
};

static_assert(sizeof(FaceOptions) == 15, "FaceOptions holds 15 one-byte flags");

}  // namespace velumar

#include "platform/color/linear_profile.h"

#include <lcms2.h>

#include <string>
#include <vector>

#include "platform/color/icc_profile_factory.h"

namespace color {

namespace {

bool curvesLinear(cmsHPROFILE handle, const std::vector<cmsTagSignature>& tags) {
  for (cmsTagSignature tag : tags) {
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(handle, tag));
    if (!curve || !cmsIsToneCurveLinear(curve)) return false;
  }
  return true;
}

// Tables that would take precedence over the colorants and curves.
constexpr cmsTagSignature kTables[] = {cmsSigAToB0Tag, cmsSigAToB1Tag, cmsSigAToB2Tag, cmsSigBToA0Tag,
                                       cmsSigBToA1Tag, cmsSigBToA2Tag, cmsSigDToB0Tag, cmsSigDToB1Tag,
                                       cmsSigDToB2Tag, cmsSigDToB3Tag, cmsSigBToD0Tag, cmsSigBToD1Tag,
                                       cmsSigBToD2Tag, cmsSigBToD3Tag};

}  // namespace

ProfileRef withLinearCurves(const ProfileRef& profile) {
  if (!profile || (profile->model() != Model::RGB && profile->model() != Model::Gray)) return nullptr;
  const bool rgb = profile->model() == Model::RGB;
  static const std::vector<cmsTagSignature> rgbCurves{cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
  static const std::vector<cmsTagSignature> grayCurve{cmsSigGrayTRCTag};
  const std::vector<cmsTagSignature>& curveTags = rgb ? rgbCurves : grayCurve;
  cmsHPROFILE source = static_cast<cmsHPROFILE>(profile->handle());
  for (cmsTagSignature tag : curveTags)
    if (!cmsIsTag(source, tag)) return nullptr;
  if (rgb && (!cmsIsTag(source, cmsSigRedColorantTag) || !cmsIsTag(source, cmsSigGreenColorantTag) ||
              !cmsIsTag(source, cmsSigBlueColorantTag)))
    return nullptr;
  bool tables = false;
  for (cmsTagSignature tag : kTables) tables = tables || cmsIsTag(source, tag);
  if (!tables && curvesLinear(source, curveTags)) return profile;

  installLcmsErrorHandler();
  const std::vector<std::uint8_t>& bytes = profile->data();
  cmsHPROFILE copy = cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size()));
  if (!copy) return nullptr;
  cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
  bool ok = linear != nullptr;
  for (cmsTagSignature tag : curveTags) ok = ok && cmsWriteTag(copy, tag, linear);
  if (linear) cmsFreeToneCurve(linear);
  for (cmsTagSignature tag : kTables)
    if (ok && cmsIsTag(copy, tag)) ok = cmsWriteTag(copy, tag, nullptr);
  if (ok) {
    const std::string description = profile->description() + " (linear)";
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    ok = mlu && cmsMLUsetASCII(mlu, "en", "US", description.c_str()) &&
         cmsWriteTag(copy, cmsSigProfileDescriptionTag, mlu);
    if (mlu) cmsMLUfree(mlu);
  }
  if (!ok) {
    cmsCloseProfile(copy);
    return nullptr;
  }
  return IccProfileFactory::make(copy, {}, {});
}

ProfileRef linearDefault(Model model) {
  if (model != Model::Gray) {
    static const ProfileRef rgb = withLinearCurves(IccProfile::named(NamedProfile::SRGB));
    return rgb;
  }
  static const ProfileRef gray = [] {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.0);
    cmsHPROFILE handle = curve ? cmsCreateGrayProfile(cmsD50_xyY(), curve) : nullptr;
    if (curve) cmsFreeToneCurve(curve);
    if (!handle) return ProfileRef();
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    if (mlu) {
      cmsMLUsetASCII(mlu, "en", "US", "Linear Gray");
      cmsWriteTag(handle, cmsSigProfileDescriptionTag, mlu);
      cmsMLUfree(mlu);
    }
    return IccProfileFactory::make(handle, {}, {});
  }();
  return gray;
}

}  // namespace color

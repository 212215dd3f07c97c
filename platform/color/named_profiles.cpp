// The built-in profiles: made (or found on disk) once, on first use, and
// shared for the life of the process.

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <mutex>

#include "platform/color/icc_profile.h"
#include "platform/color/icc_profile_factory.h"
#include "platform/color/installed_profiles.h"
#include "platform/foundation/ascii_case.h"
#include "platform/foundation/log.h"

namespace color {
namespace {

constexpr cmsCIExyY kD65 = {0.3127, 0.3290, 1.0};

// Gives a made profile its description (and a copyright line).
void describe(cmsHPROFILE profile, const char* description) {
  for (auto [tag, text] : {std::pair{cmsSigProfileDescriptionTag, description},
                           std::pair{cmsSigCopyrightTag, "No copyright, use freely"}}) {
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(mlu, "en", "US", text);
    cmsWriteTag(profile, tag, mlu);
    cmsMLUfree(mlu);
  }
}

// An RGB matrix/shaper profile with one power-law curve for all channels.
cmsHPROFILE makeRGB(const cmsCIExyY& white, const cmsCIExyYTRIPLE& primaries, double gamma,
                    const char* description) {
  cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  if (profile) describe(profile, description);
  return profile;
}

cmsHPROFILE makeGray(double gamma, const char* description) {
  cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
  cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), curve);
  cmsFreeToneCurve(curve);
  if (profile) describe(profile, description);
  return profile;
}

// Gray on the sRGB tone curve, which readers assume for gray without a
// profile.
cmsHPROFILE makeGraySRGB() {
  const double srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
  cmsHPROFILE profile = curve ? cmsCreateGrayProfile(cmsD50_xyY(), curve) : nullptr;
  if (curve) cmsFreeToneCurve(curve);
  if (profile) describe(profile, "Gray sRGB Tone Curve");
  return profile;
}

cmsHPROFILE makeSRGB() {
  cmsHPROFILE profile = cmsCreate_sRGBProfile();
  // The description most sRGB files carry, so that colour spaces compared
  // by name find them the same.
  if (profile) describe(profile, "sRGB IEC61966-2.1");
  return profile;
}

// Bradford adaptation from D65 to the D50 connection space, as a 'chad'
// tag holds it: nine numbers, row by row.
std::array<double, 9> bradfordD65ToD50() {
  const double bradford[3][3] = {
      {0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}};
  const double inverse[3][3] = {{0.9869929, -0.1470543, 0.1599627},
                                {0.4323053, 0.5183603, 0.0492912},
                                {-0.0085287, 0.0400428, 0.9684867}};
  const double source[3] = {0.95047, 1.0, 1.08883};
  const double target[3] = {0.96422, 1.0, 0.82521};
  double coneSource[3], coneTarget[3];
  for (int i = 0; i < 3; ++i) {
    coneSource[i] = coneTarget[i] = 0;
    for (int j = 0; j < 3; ++j) {
      coneSource[i] += bradford[i][j] * source[j];
      coneTarget[i] += bradford[i][j] * target[j];
    }
  }
  std::array<double, 9> result;
  double* out = result.data();
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double sum = 0;
      for (int k = 0; k < 3; ++k) sum += inverse[i][k] * (coneTarget[k] / coneSource[k]) * bradford[k][j];
      out[i * 3 + j] = sum;
    }
  return result;
}

// A version 2.2 display profile with linear curves and fixed colorants
// (the Generic RGB primaries adapted to D50, not sRGB's): ten tags, one
// shared single-entry curve of gamma 1.0. Untagged linear pixels are linear
// sRGB (linearDefault), not this.
cmsHPROFILE makeLinearRGB() {
  cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
  if (!profile) return nullptr;
  cmsSetProfileVersion(profile, 2.2);
  cmsSetDeviceClass(profile, cmsSigDisplayClass);
  cmsSetColorSpace(profile, cmsSigRgbData);
  cmsSetPCS(profile, cmsSigXYZData);
  cmsSetHeaderRenderingIntent(profile, INTENT_PERCEPTUAL);
  const cmsCIEXYZ red = {0.45427, 0.24263, 0.01482};
  const cmsCIEXYZ green = {0.35332, 0.67441, 0.09042};
  const cmsCIEXYZ blue = {0.15662, 0.08336, 0.71953};
  const cmsCIEXYZ white = {0.95047, 1.0, 1.0891};
  std::array<double, 9> adaptation = bradfordD65ToD50();
  cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
  bool written = cmsWriteTag(profile, cmsSigRedColorantTag, &red) &&
                 cmsWriteTag(profile, cmsSigGreenColorantTag, &green) &&
                 cmsWriteTag(profile, cmsSigBlueColorantTag, &blue) &&
                 cmsWriteTag(profile, cmsSigMediaWhitePointTag, &white) &&
                 cmsWriteTag(profile, cmsSigChromaticAdaptationTag, adaptation.data()) &&
                 cmsWriteTag(profile, cmsSigRedTRCTag, linear) &&
                 cmsLinkTag(profile, cmsSigGreenTRCTag, cmsSigRedTRCTag) &&
                 cmsLinkTag(profile, cmsSigBlueTRCTag, cmsSigRedTRCTag);
  cmsFreeToneCurve(linear);
  if (!written) {
    cmsCloseProfile(profile);
    return nullptr;
  }
  describe(profile, "Linear RGB Profile");
  return profile;
}

// Ghostscript's SWOP-coated CMYK profile, else another installed CMYK
// output profile that names SWOP.
ProfileRef findGenericCMYK() {
  const std::string preferred = "/usr/share/color/icc/ghostscript/default_cmyk.icc";
  if (std::filesystem::is_regular_file(preferred))
    if (ProfileRef profile = IccProfile::fromFile(preferred); profile && profile->model() == Model::CMYK)
      return profile;
  for (const InstalledProfile& entry : scanProfileFolders({"/usr/share/color/icc"})) {
    if (entry.dataColorSpace != fourCC("CMYK") || entry.deviceClass != fourCC("prtr")) continue;
    std::string name = foundation::asciiLowercase(entry.description + " " +
                                                  std::filesystem::path(entry.path).filename().string());
    if (name.find("swop") == std::string::npos) continue;
    if (ProfileRef profile = IccProfile::fromFile(entry.path)) return profile;
  }
  foundation::log("no generic CMYK profile installed (package libgs-common)");
  return nullptr;
}

ProfileRef wrap(cmsHPROFILE handle) {
  if (!handle) return nullptr;
  return IccProfileFactory::make(handle, {}, {});
}

ProfileRef makeNamed(NamedProfile which) {
  installLcmsErrorHandler();
  const cmsCIExyYTRIPLE p22 = {{0.630, 0.340, 1.0}, {0.295, 0.605, 1.0}, {0.155, 0.077, 1.0}};
  const cmsCIExyYTRIPLE adobe = {{0.640, 0.330, 1.0}, {0.210, 0.710, 1.0}, {0.150, 0.060, 1.0}};
  switch (which) {
    case NamedProfile::SRGB:
      return wrap(makeSRGB());
    case NamedProfile::GenericRGB:
      return wrap(makeRGB(kD65, p22, 1.8, "Generic RGB Profile"));
    case NamedProfile::AdobeRGB1998:
      return wrap(makeRGB(kD65, adobe, 563.0 / 256.0, "Adobe RGB (1998)"));
    case NamedProfile::GenericGray:
      return wrap(makeGray(1.8, "Generic Gray Profile"));
    case NamedProfile::GrayGamma22:
      return wrap(makeGray(2.2, "Generic Gray Gamma 2.2 Profile"));
    case NamedProfile::GraySRGB:
      return wrap(makeGraySRGB());
    case NamedProfile::LinearRGB:
      return wrap(makeLinearRGB());
    case NamedProfile::GenericCMYK:
      return findGenericCMYK();
  }
  return nullptr;
}

constexpr std::size_t kNamedCount = std::size_t(NamedProfile::GenericCMYK) + 1;

}  // namespace

ProfileRef IccProfile::named(NamedProfile which) {
  static std::array<std::once_flag, kNamedCount> once;
  static std::array<ProfileRef, kNamedCount> profiles;
  std::size_t index = std::size_t(which);
  if (index >= kNamedCount) return nullptr;
  std::call_once(once[index], [&] { profiles[index] = makeNamed(which); });
  return profiles[index];
}

}  // namespace color

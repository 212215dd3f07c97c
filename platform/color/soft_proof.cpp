#include "platform/color/soft_proof.h"

#include <lcms2.h>

#include "platform/foundation/log.h"

namespace color {

std::optional<std::vector<std::uint16_t>> softProofGenericRGB(const IccProfile& profile,
                                                              const std::vector<std::uint16_t>& rgb) {
  const ProfileRef generic = IccProfile::named(NamedProfile::GenericRGB);
  if (!generic || !profile.handle() || rgb.size() % 3 != 0) return std::nullopt;
  auto* proof = static_cast<cmsHPROFILE>(profile.handle());
  auto* working = static_cast<cmsHPROFILE>(generic->handle());
  cmsHTRANSFORM transform = cmsCreateProofingTransform(
      working, TYPE_RGB_16, working, TYPE_RGB_16, proof, INTENT_RELATIVE_COLORIMETRIC,
      cmsGetHeaderRenderingIntent(proof), cmsFLAGS_SOFTPROOFING);
  if (!transform) {
    foundation::log("colour: no soft proof through {}", profile.description());
    return std::nullopt;
  }
  std::vector<std::uint16_t> out(rgb.size());
  cmsDoTransform(transform, rgb.data(), out.data(), cmsUInt32Number(rgb.size() / 3));
  cmsDeleteTransform(transform);
  return out;
}

}  // namespace color

#include "platform/color/sampled_table.h"

#include <lcms2.h>

#include <mutex>

#include "platform/color/icc_profile_factory.h"
#include "platform/foundation/log.h"

namespace color {

std::vector<std::uint16_t> sampleRoundTripTable(const ProfileRef& outer, const ProfileRef& through,
                                                int gridPoints) {
  if (!outer || !through || outer->model() != Model::RGB || gridPoints < 2 || gridPoints > 256) return {};
  installLcmsErrorHandler();
  // Into the connection space, out to through's device space, back into
  // the connection space and out to RGB.
  auto outerHandle = static_cast<cmsHPROFILE>(outer->handle());
  auto throughHandle = static_cast<cmsHPROFILE>(through->handle());
  cmsHPROFILE chain[4] = {outerHandle, throughHandle, throughHandle, outerHandle};
  cmsUInt32Number intent = cmsGetHeaderRenderingIntent(chain[1]);
  // Profile handles are shared; building reads them, so one build at a time.
  // Only gridPoints^3 values are converted: the exact pipeline is cheap.
  static std::mutex buildMutex;
  cmsHTRANSFORM transform;
  {
    std::lock_guard lock(buildMutex);
    transform = cmsCreateMultiprofileTransform(
        chain, 4, TYPE_RGB_16, TYPE_RGB_16, intent,
        cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE | cmsFLAGS_BLACKPOINTCOMPENSATION);
  }
  if (!transform) {
    foundation::log("no round-trip transform through \"{}\"", through->description());
    return {};
  }
  const auto n = std::size_t(gridPoints);
  std::vector<std::uint16_t> input(n * n * n * 3), table(n * n * n * 3);
  auto level = [&](std::size_t i) { return std::uint16_t((i * 65535 + (n - 1) / 2) / (n - 1)); };
  std::size_t at = 0;
  for (std::size_t r = 0; r < n; ++r)
    for (std::size_t g = 0; g < n; ++g)
      for (std::size_t b = 0; b < n; ++b) {
        input[at++] = level(r);
        input[at++] = level(g);
        input[at++] = level(b);
      }
  cmsDoTransform(transform, input.data(), table.data(), cmsUInt32Number(n * n * n));
  cmsDeleteTransform(transform);
  return table;
}

}  // namespace color

// Adaptive histogram equalisation as a catalogue step: the pending image
// is drawn into the context, equalised there, and a snapshot becomes the
// pending image. Settings outside their ranges leave the pending image.

#include <cmath>

#include "filters/cifiltering.h"
#include "filters/clahe.h"

namespace velumar {

namespace {

constexpr double kSmallestDivisions = 2, kLargestDivisions = 512;
constexpr std::int64_t kBinsBase = 576, kDefaultBins = 128, kLargestBins = 65536;

}  // namespace

void CIFiltering::CLAHEFilterWithCGContext(raster::BitmapContext* context, FilterInfo info) {
  if (!context) return;
  // The doubles are range-checked before any conversion to an integer.
  if (!(info.hdrRadius >= kSmallestDivisions && info.hdrRadius < kLargestDivisions + 1)) return;
  if (!(std::fabs(info.hdrBins) < 1e15)) return;
  std::int64_t bins = kBinsBase - std::int64_t(std::trunc(info.hdrBins));
  if (bins == 0) bins = kDefaultBins;
  if (bins < 1 || bins > kLargestBins) return;
  const auto divisions = std::uint32_t(info.hdrRadius);
  double saturation = info.hdrSaturation;
  saturation = std::isnan(saturation) ? 0.0 : std::clamp(saturation, -1e6, 1e6);

  if (ciImage() && ciContext()) {
    const raster::Rect whole(0, 0, double(context->width()), double(context->height()));
    context->clearRect(whole);
    ciContext()->drawImage(ciImage(), whole, whole);
  }
  CLAHE clahe;
  if (ci::ImageRef result = clahe.CLAdaptEqualize(*context, divisions, divisions, std::uint32_t(bins),
                                                  info.hdrClipLimit, saturation)) {
    setCiImage(result);
  }
}

}  // namespace velumar

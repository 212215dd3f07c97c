#pragma once
// The automatic adjustment of an image: an analysis of its pixels and faces
// that answers the filters to apply, in order (each without its input
// image; the caller chains them).
// - Enhance: a levels stretch of lightness that keeps each pixel's
//   chromaticity (a LightnessStretch), black at the 0.5 % percentile of
//   luma but low enough that a flat level covering a few percent of the
//   picture, and all but 0.5 % of the picture's coloured pixels, keep half
//   of their largest channel; white at the 99.5 % percentile of the largest
//   channel; its gain at most kEnhanceMaximumGain; and a midtone curve that
//   lightens a picture the stretch darkened back to its mean luma, as far
//   as the curve's limit lets it; then a mild CIVibrance, the only step
//   that changes saturation.
// - Red eye: one CIRedEyeCorrection per located eye, a disc of half the
//   eye's width around its centre.

#include <optional>
#include <vector>

#include "platform/ci/face_detector.h"
#include "platform/ci/filter.h"

namespace ci {

struct AutoAdjustmentOptions {
  bool enhance = true;
  bool redEye = true;
  // Faces found earlier; without them the analyser looks for faces itself
  // (red eye only). Features without eyes have their eyes located.
  std::optional<std::vector<FaceFeature>> features;
};

inline constexpr double kEnhanceLowPercentile = 0.5, kEnhanceHighPercentile = 99.5;
inline constexpr double kEnhanceVibrance = 0.2;
// A nearly flat picture is stretched no more than this, not to white and
// black: its noise would be blown up with it.
inline constexpr double kEnhanceMaximumGain = 4;
// The levels are taken from a copy at most this many pixels across.
inline constexpr std::int64_t kEnhanceAnalysisSide = 2048;

// detector finds faces when the options bring none (a new one when null).
// An image without a finite extent gets no filters.
std::vector<FilterRef> autoAdjustmentFilters(const ImageRef& image, const AutoAdjustmentOptions& options,
                                             FaceDetector* detector = nullptr);

// The p-th percentile (0..100) of values with linear interpolation between
// neighbouring ranks; values is reordered. 0 for no values.
double percentile(std::vector<float>& values, double p);

}  // namespace ci

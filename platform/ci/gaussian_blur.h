#pragma once
// Gaussian blur of the filter graph, standard deviation sigma in pixels,
// transparent outside the input (clamp the input first to repeat its
// edges instead).
//
// Small sigma uses the exact sampled kernel (4 sigma wide on each side);
// larger sigma a fourth-order recursive Gaussian, whose cost per pixel
// does not depend on sigma; wide blurs run on a reduced copy of the input
// held in memory, so that tiles do not render the input's whole
// neighbourhood each.

#include "platform/ci/image.h"

namespace ci {

// The input unchanged for sigma ≤ 0 or not a number. Sigma is held to the
// diagonal of the input's extent (of the clamped image for a clamp), and
// for other infinite inputs to kMaximumUnboundedBlurSigma.
ImageRef gaussianBlurred(const ImageRef& input, double sigma);

inline constexpr double kMaximumUnboundedBlurSigma = 128;

}  // namespace ci

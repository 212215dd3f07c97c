#pragma once
// Joint bilateral upsampling: a small image (a depth map) brought to the
// size of a guide photograph so that its steps follow the photograph's
// edges. Each output pixel mixes the 2 × 2 small pixels around it with
// bilinear weights, each weight multiplied by
//   exp(−(L(p) − L(q))² / (2 · lumaSigma²)),
// L the guide's Rec. 709 luma at the output pixel p and at the centre of
// the small pixel q (in the guide's coordinates). Where those weights all
// vanish, plain bilinear weights are used. The weights are never negative,
// so the output stays within the small image's range.

#include "platform/ci/image.h"

namespace ci {

// nullptr when either image is missing or infinite or empty. The output
// has the guide's extent.
ImageRef edgePreservingUpsampled(const ImageRef& guide, const ImageRef& small, double lumaSigma);

}  // namespace ci

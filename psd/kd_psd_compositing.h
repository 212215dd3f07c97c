#pragma once
// Flattens a document's layer tree on the CPU: each visible layer is placed
// at its offset, faded by its opacity and layer mask and blended with its
// blend mode. A group is flattened on its own and then laid over what lies
// below with its own blend key and opacity; a 'pass' group blends its
// members straight with what lies below. Hidden layers and groups
// contribute nothing.

#include <cstdint>
#include <vector>

#include "psd/kd_psd.h"
#include "psd/kd_psd_layer.h"

namespace velumar {

// A float canvas of straight RGBA in 0..1, document-sized, rows top-down.
struct KDPSDCanvas {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<float> rgba;
};

// The layer or group flattened onto a clear document-sized canvas (a
// group's own opacity and blend key are left to whoever lays it down).
KDPSDCanvas imageForComposite(const KDPSDLayer& layer, std::int32_t documentWidth,
                              std::int32_t documentHeight);

// The whole document flattened, as straight RGBA8 of the document's size.
KDPSDBitmap compositeImage(const KDPSD& psd);

// Rounds a canvas to straight RGBA8.
KDPSDBitmap bitmapFromCanvas(const KDPSDCanvas& canvas);

}  // namespace velumar

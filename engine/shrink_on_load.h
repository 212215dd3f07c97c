#pragma once
// Decoding a source at the size a conversion needs: libjpeg scales by 1/2,
// 1/4 or 1/8 while decoding and libwebp scales a still image while
// decoding, far faster and smaller than a full decode followed by a
// resample.

#include <cstdint>
#include <string_view>

#include "engine/image_modify_info.h"
#include "platform/raster/geometry.h"

namespace velumar {

// Whether the settings draw the whole source scaled into the target and
// nothing else looks at the source's own pixels (no transform through the
// filter graph, no tiny planet, no automatic adjustment, faces or depth, no
// icon output), so a smaller decode changes nothing but the resampling.
// Filter slots, LUTs, curves, composites, borders and marks work on the
// drawn target and allow it.
bool allowsReducedDecode(const ImageModifyInfo& info, std::string_view sourceType);

// The longer side to decode a source of uprightPixels at for a draw of
// target pixels: the smallest of the 1/2, 1/4 and 1/8 scales that still
// gives at least the target on both sides; 0 (full size) when none does
// or the source has at most a megapixel.
std::int64_t reducedDecodeLongSide(raster::Size uprightPixels, raster::Size target);

}  // namespace velumar

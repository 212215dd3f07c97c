#pragma once
// The depth image a batch session hands to the conversion driver when the
// settings mix in depth data: the file's disparity map, upright, normalised
// to 0..1 and clamped, as a filter-graph image (gray in every colour
// component, opaque).

#include <string>
#include <vector>

#include "platform/ci/image.h"

namespace velumar {

// nullptr when the file cannot be opened or has no usable depth data.
ci::ImageRef getDepthImageWithURL(const std::string& path);

// Maps the finite values linearly onto 0..1 (smallest 0, largest 1), in
// place. Non-finite values, and every value of a map without range, become 0.
void normalizePixelBuffer(std::vector<float>& values);

}  // namespace velumar

#pragma once
// The pixels of one rectangle of an image as interleaved 8-bit RGBA with
// straight (unpremultiplied) colour, the form PSD channels store.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/raster/geometry.h"
#include "platform/raster/image.h"

namespace velumar {

// region is in the image's own pixel space, first row at the top; its origin
// is rounded down and its size truncated. Pixels of the region that lie
// outside the image are zero. Colour is converted into targetSpace when that
// is an RGB space; without one it stays in the image's space when that is RGB
// and is converted to generic RGB otherwise. nullopt when the image is
// missing, the region is empty, or the memory cannot be had.
std::optional<std::vector<std::uint8_t>> RWPSDCopyImageRegion(
    const raster::ImageRef& image, const raster::Rect& region,
    const raster::ColorSpaceRef& targetSpace = nullptr);

}  // namespace velumar

#pragma once
// Colour cubes from lookup images: 64 tiles of 64 × 64 pixels (any
// arrangement of whole tiles, e.g. 8 × 8), tile number (left to right, then
// top to bottom) giving blue, the column inside a tile red and the row from
// the top green. The pixels' 8-bit values are the cube, read without
// colour management.

#include <memory>
#include <string>

#include "platform/ci/filter_value.h"
#include "platform/raster/image.h"

namespace velumar {

inline constexpr int kLookupDimension = 64;

// The cube (64³ entries of four floats), or nullptr (with a log line) for
// an image that is not made of exactly 64 whole tiles.
std::shared_ptr<const ci::Data> lookupCubeFromImage(const raster::ImageRef& image);
// The same for an image file; nullptr when it cannot be decoded.
std::shared_ptr<const ci::Data> lookupCubeFromFile(const std::string& path);

}  // namespace velumar

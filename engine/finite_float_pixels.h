#pragma once
// Float bitmaps may pick up NaN or infinite components from filters that
// divide (unpremultiplying a nearly transparent pixel, a normalisation over
// an empty range). Outputs never carry them: NaN becomes 0, +infinity 1 and
// -infinity 0.

#include <cstddef>
#include <cstdint>

#include "platform/raster/bitmap_context.h"
#include "platform/raster/image.h"

namespace velumar {

// Replaces non-finite components in place; rows are bytesPerRow apart and
// hold floatsPerRow floats each. Answers how many were replaced.
std::int64_t replaceNonFiniteFloats(std::uint8_t* pixels, std::int64_t rows, std::size_t bytesPerRow,
                                    std::size_t floatsPerRow);

// Cleans a float context in place before its image is taken (no-op for
// other formats); logs how many components were replaced, naming the stage.
void keepContextPixelsFinite(raster::BitmapContext& context, const char* stage);

// image itself when it is not float or all its components are finite, else
// a cleaned copy (nullptr only for nullptr).
raster::ImageRef finiteFloatImage(const raster::ImageRef& image);

}  // namespace velumar

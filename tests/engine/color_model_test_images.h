#pragma once
// Pictures for the colour-model conversion tests: RGB, gray and CMYK
// representations whose left half is opaque and whose right half is
// transparent (or opaque too, without alpha), and readers of single pixels.

#include <cstdint>
#include <vector>

#include "engine/imported_image.h"

namespace velumar::colormodeltest {

// width x height, left half opaque mid-gray (RGB 0.5, gray 0.5, CMYK
// 0/0/0/0.5), right half transparent when alpha is set, opaque otherwise.
// 8-bit components; space null picks sRGB, generic gray or generic CMYK.
BitmapRepRef halfTransparentRep(int colorComponents, bool alpha, raster::ColorSpaceRef space = nullptr,
                                std::int64_t width = 8, std::int64_t height = 4);

// The components of pixel (x, y), counted from the top-left, each 0..1 as
// stored (premultiplied colour stays premultiplied).
std::vector<double> componentsAt(const raster::Image& image, std::int64_t x, std::int64_t y);

// The named colour spaces by code.
raster::ColorSpaceRef grayGamma22();
raster::ColorSpaceRef adobeRGB();

}  // namespace velumar::colormodeltest

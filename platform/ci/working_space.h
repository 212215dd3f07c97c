#pragma once
// The graph's working space (generic RGB, premultiplied float RGBA) and the
// conversion of bitmap rows into it.

#include <cstdint>
#include <functional>

#include "platform/color/matrix_shaper.h"
#include "platform/raster/color_space.h"
#include "platform/raster/image.h"

namespace ci {

const raster::ColorSpaceRef& workingColorSpace();

// The working space's matrix to XYZ (D50) and its gamma, for filters that
// work in linear light or a CIE space.
const color::MatrixShaper& workingMatrixShaper();

// Converts count pixels of one memory row of a bitmap into premultiplied
// working-space floats (4 per pixel). Integer premultiplied colour enters
// limited to its alpha; float samples keep values above 1.
using RowConverter = std::function<void(const std::uint8_t* source, float* out, std::int64_t count)>;

// Empty when the bitmap's format or colour cannot be converted.
RowConverter rowConverterToWorkingSpace(const raster::Image& bitmap);

}  // namespace ci

#pragma once
// Separable Gaussian blur of a single float plane, row-parallel.

#include <cstdint>
#include <vector>

namespace raster {

// Blurs width × height floats in place with standard deviation sigma
// (pixels); values beyond the edges count as zero.
void gaussianBlurPlane(std::vector<float>& plane, std::int64_t width, std::int64_t height, double sigma);

}  // namespace raster

#pragma once
// Blending of working-form rows (premultiplied floats, colour then alpha):
// the separable and non-separable blend modes and the Porter-Duff
// operators, weighted by a coverage per pixel.

#include <cstdint>

#include "platform/raster/drawing_types.h"

namespace raster {

// destination[i] = lerp(destination[i], mode(destination[i], alpha · source[i]), coverage[i])
// for count pixels of colors + 1 floats. A null coverage means full
// coverage; a null source uses constantSource for every pixel. Non-separable
// modes need three colour components and fall back to their separable
// neighbour otherwise.
void blendRow(BlendMode mode, int colors, float* destination, const float* source,
              const float* constantSource, const float* coverage, float alpha, std::int64_t count);

}  // namespace raster

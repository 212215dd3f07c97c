#pragma once
// The raster pictures: the example photograph and the bubbles of the empty
// preview.

#include "platform/raster/image.h"

namespace resourceimages {

// An opaque sRGB landscape with smooth sky and ground gradients, a sun, hills,
// fine grain and a chart of saturated, skin and gray patches.
raster::ImageRef exampleScene(int size);
// The example scene made smaller with the raster layer's resampling.
raster::ImageRef scaledScene(const raster::ImageRef& scene, int size);
// Translucent bubbles on a transparent ground.
raster::ImageRef bubbles(int width, int height);

}  // namespace resourceimages

#pragma once
// Input files for the driver tests, written by our own encoders (and by
// ImageMagick for layered PSD) into a temporary folder.

#include <string>
#include <vector>

#include "engine/imported_image.h"
#include "support/test_support.h"

namespace velumar::drivertest {

// Writes images (one per page or frame) as the given type; the path, or ""
// when the encoder refused.
std::string writeImages(const testsupport::TempDir& dir, const std::string& name, const std::string& type,
                        const std::vector<raster::ImageRef>& images);

// A quadrant picture (see engine_test_images.h) in the given format.
raster::ImageRef quadrantImage(std::int64_t width, std::int64_t height,
                               raster::PixelFormat format = raster::PixelFormat::rgba8());

// The first bytes of a file copied to a new file; "" on failure.
std::string truncatedCopy(const testsupport::TempDir& dir, const std::string& source, const std::string& name,
                          double fraction);

// A layered PSD whose composite (width x height) is larger than each of
// its layers; "" when ImageMagick is missing or fails.
std::string layeredPSDWithSmallLayers(const testsupport::TempDir& dir, int width, int height);

// A PSD of one layer (and its composite); "" when ImageMagick fails.
std::string singleLayerPSD(const testsupport::TempDir& dir);

}  // namespace velumar::drivertest

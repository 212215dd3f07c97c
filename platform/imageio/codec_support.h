#pragma once
// Small helpers the codecs share: the common image properties, resolution
// and quality keys of a frame, and the bytes of a file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/value.h"
#include "platform/raster/image.h"

namespace imageio {

// PixelWidth, PixelHeight, Depth, ColorModel, HasAlpha and, when a profile
// is given, ProfileName.
foundation::Dictionary basicProperties(std::int64_t width, std::int64_t height, int depth,
                                       int colorComponents, bool hasAlpha,
                                       const std::vector<std::uint8_t>* iccProfile);

// Sets DPIWidth and DPIHeight.
void setDpi(foundation::Dictionary& properties, double x, double y);

// The resolution a frame asks for: DPIWidth/DPIHeight, else {TIFF}
// X/YResolution with their unit; nullopt when neither is given.
struct Resolution {
  double x = 72, y = 72;
};
std::optional<Resolution> frameResolution(const foundation::Value& properties);

// The Orientation a frame asks for (top level, else {TIFF}); 1 when absent.
int frameOrientation(const foundation::Value& properties);

// The ICC profile bytes of the image's colour space; empty when it has none.
std::vector<std::uint8_t> iccOf(const raster::Image& image);

// path made absolute against the working folder (the libraries and child
// processes behind the codecs want absolute paths); path itself when that
// fails.
std::string absolutePath(const std::string& path);

// The whole file, or nullopt (with a log line) when it cannot be read.
std::optional<std::vector<std::uint8_t>> readFileBytes(const std::string& path);

// Writes bytes to path (no temporary: the destination already writes to one).
bool writeFileBytes(const std::string& path, const std::uint8_t* data, std::size_t size);

}  // namespace imageio

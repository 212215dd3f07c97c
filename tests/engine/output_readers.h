#pragma once
// Whole conversions as the batch session runs them, and our output files
// decoded by other programs (ImageMagick, GraphicsMagick, libvips) the way
// a user's other software sees them.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/imported_image.h"
#include "support/test_support.h"

namespace velumar::outputcheck {

enum class Reader { ImageMagick, GraphicsMagick, Vips, ImageMagickToSRGB };
const char* nameOf(Reader reader);

// The first image of a file as 8-bit RGBA (gray spread, opaque alpha added).
// ImageMagickToSRGB converts through the file's embedded profile into sRGB;
// the others take the samples as stored. Empty when the reader fails.
struct Pixels {
  std::int64_t width = 0, height = 0;
  std::vector<std::uint8_t> rgba;
  bool empty() const { return rgba.empty(); }
  std::array<int, 4> at(std::int64_t x, std::int64_t y) const;
};
Pixels readWith(Reader reader, const std::string& path);

// The largest per-channel difference (alpha included).
int channelDistance(const std::array<int, 4>& a, const std::array<int, 4>& b);

// Runs an ImageMagick command (argv after /usr/bin/convert); false when it
// fails.
bool magick(const std::vector<std::string>& arguments);

// Converts source into output as the batch session does: the driver, then
// the writer for the output type (every frame of a GIF to GIF, both pages
// of a 2x TIFF). False when either step fails.
bool convertFile(const std::string& source, const ImageModifyInfo& settings, const std::string& output);

// The sRGB profile the colour-managed readings aim at.
std::string sRGBProfilePath();

}  // namespace velumar::outputcheck

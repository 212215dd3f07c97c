#pragma once
// Pixel conversion shared by the codecs: the raster formats decoded pixels
// are stored in, colour spaces from embedded profiles, bit-depth expansion,
// and the straight interleaved rows encoders consume.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/raster/image.h"

namespace imageio {

// The format decoders store pixels in: colour components then straight
// alpha; RGB without alpha is padded to four components. bits is 8, 16 or
// 32 (float).
raster::PixelFormat decodedFormat(int bits, int colorComponents, bool alpha, bool premultiplied = false);

// The embedded profile when it is usable and matches the component count,
// else the default space of the model (sRGB, generic gray, generic CMYK).
raster::ColorSpaceRef colorSpaceFor(int colorComponents, const std::vector<std::uint8_t>* iccProfile);

// The "ColorModel" property string of a component count: "Gray", "RGB",
// "CMYK".
const char* colorModelName(int colorComponents);

// Whether a width x height image of bytesPerPixel bytes a pixel is within
// every decoder limit: each side at most raster::kMaxDimension, at most
// pixelLimit pixels and raster::kMaxBytes bytes (64-bit arithmetic).
// Decoders check this when they open a file, before any allocation or row
// loop.
// The most bytes a decoded pixel takes (four 32-bit floats): the bound used
// where the decoded format is not known yet.
inline constexpr std::int64_t kLargestPixelBytes = 16;
bool withinImageLimits(std::int64_t width, std::int64_t height, std::int64_t bytesPerPixel,
                       std::int64_t pixelLimit);

// Rows of a decoded image: bytes per row of decodedFormat, checked in 64
// bits; 0 when the image is not withinImageLimits.
std::size_t checkedBytesPerRow(std::int64_t width, std::int64_t height, const raster::PixelFormat& format,
                               std::int64_t pixelLimit);

// Unpacks samples of `bits` bits (MSB first, rows byte-aligned) into 8-bit
// (bits 1..8) or 16-bit samples (bits 9..15), scaling to the full range;
// 16-bit input is already in native order and is copied.
void expandSamples(const std::uint8_t* in, std::int64_t count, int bits, std::uint8_t* out8);
void expandSamples16(const std::uint8_t* in, std::int64_t count, int bits, std::uint16_t* out16);

// Copies `width` pixels of `components` samples (sampleBytes each, colour
// then optional alpha) into a decodedFormat row, adding the RGB padding.
void packRow(const std::uint8_t* in, std::int64_t width, int sampleBytes, int colorComponents, bool alpha,
             std::uint8_t* out);

// What an encoder wants of an image row.
struct RowRequest {
  int bits = 8;                    // 8, 16 (native order) or 32 (float)
  bool alpha = false;              // append alpha after colour
  bool keepPremultiplied = false;  // premultiplied colour stays so, at most alpha
};

// Converts row y of image into interleaved samples: the image's colour
// components, then alpha when requested (opaque when the image has none).
// Unless keepPremultiplied, premultiplied colour is divided out, values
// are clamped to [0, 1] and colour is 0 where alpha is 0. Premultiplied
// colour kept so is limited to its alpha, keeping it valid associated alpha.
// Alpha-only images read as gray.
void exportRow(const raster::Image& image, std::int64_t y, const RowRequest& request, std::uint8_t* out);

// Colour components an encoder sees for image (1, 3 or 4).
int exportedColorComponents(const raster::Image& image);

// The image reduced so that neither side exceeds the given size (area
// averaging, alpha-weighted). Returns the image itself when it already fits.
raster::ImageRef shrinkImage(const raster::ImageRef& image, std::int64_t width, std::int64_t height);

}  // namespace imageio

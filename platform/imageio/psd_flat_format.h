#pragma once
// The flat side of the PSD format at the byte level: the header, the
// resolution and ICC resources and the composite image data of any PSD or
// PSB file, and a writer of flat files (the composite, with transparency
// also one layer of the picture).
// No raster types here, so the parser can be exercised on raw bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace imageio::psd {

enum class Mode : int {
  Bitmap = 0,
  Gray = 1,
  Indexed = 2,
  RGB = 3,
  CMYK = 4,
  Multichannel = 7,
  Duotone = 8,
  Lab = 9
};

struct FlatInfo {
  bool bigDocument = false;  // PSB
  std::int64_t width = 0, height = 0;
  int fileChannels = 0;  // planes stored in the composite
  int fileDepth = 8;     // 1, 8, 16 or 32
  Mode mode = Mode::RGB;
  // What the decoded composite holds: 1 (gray), 3 (RGB) or 4 (CMYK)
  // colour samples, optionally straight alpha, of outputDepth bits (8, 16
  // native, 32 native float).
  int colorComponents = 3;
  bool hasAlpha = false;
  int outputDepth = 8;
  std::vector<std::uint8_t> palette;  // 768 bytes for indexed files
  std::vector<std::uint8_t> icc;
  std::optional<double> dpiX, dpiY;
  // False when the version-info resource says the stored composite is only
  // a placeholder (a file saved without its merged image).
  bool realMergedImage = true;
  // The layer and mask section, after its length field.
  std::size_t layerSectionOffset = 0;
  std::uint64_t layerSectionLength = 0;
  std::size_t imageDataOffset = 0;  // the compression word of the composite
};

// The header and resources; nullopt when the bytes are no PSD we can
// decode (the reason is logged; Lab and multichannel files, which are
// valid but not converted, note FailureCause::FormatNotSupported).
std::optional<FlatInfo> parseFlat(const std::uint8_t* data, std::size_t size);

// Decodes the composite into out: rows bytesPerRow apart, samplesPerPixel
// samples per pixel (at least colorComponents + alpha), colour then alpha.
// CMYK comes out with 0 as no ink. Colour is as stored: RGB with alpha is
// usually matted against white (psd_matte.h). False (logged) on corrupt or truncated
// data or when width * height exceeds pixelLimit.
bool decodeComposite(const std::uint8_t* data, std::size_t size, const FlatInfo& info,
                     std::int64_t pixelLimit, std::uint8_t* out, std::size_t bytesPerRow,
                     int samplesPerPixel);

// What the writer takes: interleaved samples as the composite stores them
// (colour, then alpha when hasAlpha; RGB with alpha matted against white by
// the caller), 8-bit, native 16-bit or native float, rows top-down.
struct FlatImage {
  std::int64_t width = 0, height = 0;
  int colorComponents = 3;  // 1, 3 or 4 (CMYK with 0 as no ink)
  bool hasAlpha = false;
  int depth = 8;  // 8, 16 or 32
  const std::uint8_t* samples = nullptr;
  // With hasAlpha: the picture in straight colour, laid out as samples,
  // written as the one layer that tells readers the composite's extra
  // channel is its transparency (psd_flat_layer_section.h).
  const std::uint8_t* layerSamples = nullptr;
  std::size_t bytesPerRow = 0;
  double dpiX = 72, dpiY = 72;
  std::vector<std::uint8_t> icc;
};

// A complete flat PSD file (RLE-compressed composite); empty on invalid
// input.
std::vector<std::uint8_t> encodeFlat(const FlatImage& image);

// Undoes ZIP-with-prediction on one row of width samples of depth bits.
void undoPrediction(std::uint8_t* row, std::int64_t width, int depth, std::vector<std::uint8_t>& scratch);

// PackBits as PSD uses it, exposed for tests.
std::vector<std::uint8_t> packBits(const std::uint8_t* data, std::size_t size);
// False when the input runs out or the output would overflow `size`.
bool unpackBits(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t size);

}  // namespace imageio::psd

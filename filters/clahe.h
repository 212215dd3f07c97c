#pragma once
// Contrast-limited adaptive histogram equalisation of the V channel of HSV
// (the tile-and-interpolate algorithm with a clip limit), on a 16-bit
// RGBA working copy in generic RGB; hue and saturation are kept and
// saturation can be raised afterwards. Exact integer arithmetic: the
// working size, grey-level table, clipping, redistribution and the
// interpolation (with a shift where the region size is a power of two)
// follow one fixed recipe, so results are reproducible to the integer.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/ci/image.h"
#include "platform/raster/bitmap_context.h"

namespace velumar {

// RGB (0..1) to hue in degrees (-1 for black), saturation and value.
void RGBToHSV(float r, float g, float b, float& h, float& s, float& v);
void HSVToRGB(float h, float s, float v, float& r, float& g, float& b);

class CLAHE {
 public:
  // The largest table of histograms the equalisation allocates.
  static constexpr std::uint64_t kLargestHistogramBytes = std::uint64_t(256) << 20;

  struct WorkingSize {
    std::uint32_t width = 0, height = 0;
  };
  // The working size for an image of width × height at divs tiles a side
  // (nullopt outside 2..512 divisions).
  static std::optional<WorkingSize> workingSize(std::uint32_t width, std::uint32_t height,
                                                std::uint32_t divs);
  // The clip of one tile's histogram: limit × area / bins in single
  // precision, 1 to area; 16,384 for a limit of 0 or less.
  static std::uint64_t clipFor(double limit, std::uint64_t tileArea, std::uint32_t bins);
  // Clips a histogram at clip and redistributes the excess.
  static void clipHistogram(std::uint64_t* histogram, std::uint32_t bins, std::uint64_t clip);
  // Turns a clipped histogram into its mapping table (values min..max).
  static void mapHistogram(std::uint64_t* histogram, std::uint32_t bins, std::uint32_t minimum,
                           std::uint32_t maximum, std::uint64_t tileArea);

  // Equalises the context's pixels in place (through the working copy) and
  // returns an image of the result; nullptr (context untouched) for
  // divisions outside 2..512, bins outside 1..65,536 (0 means 128), a
  // working copy or table that cannot be made, or a flat image.
  ci::ImageRef CLAdaptEqualize(raster::BitmapContext& context, std::uint32_t xDivs, std::uint32_t yDivs,
                               std::uint32_t bins, double limit, double saturation);
};

}  // namespace velumar

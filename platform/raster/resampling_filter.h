#pragma once
// Weights of separable resampling along one axis: for each output pixel
// the first source pixel and the normalised weights of its taps. Source
// coordinates are continuous (pixel i spans [i, i + 1)).

#include <cstdint>
#include <vector>

#include "platform/raster/drawing_types.h"

namespace raster {

enum class ResamplingKernel { Nearest, Bilinear, CatmullRom, Lanczos3 };

struct ResamplingPlan {
  ResamplingKernel kernel = ResamplingKernel::Lanczos3;
  bool prefilter = true;  // box-average first when shrinking more than 2×
};
ResamplingPlan planFor(InterpolationQuality quality);

// Integer box factor that brings a shrink of sourcePerOutput to within 2×.
int boxFactorFor(double sourcePerOutput, const ResamplingPlan& plan);

struct FilterTable {
  std::vector<std::int64_t> first;  // per output pixel
  std::vector<int> taps;            // per output pixel
  std::vector<float> weights;       // maxTaps per output pixel
  int maxTaps = 0;
  std::int64_t minSource = 0, maxSource = 0;  // source range touched, inclusive
};

// Output pixels [outFirst, outFirst + outCount) whose centres map to source
// coordinate scale · (i + 0.5) + offset, over sourceSize source pixels
// (clamped at the edges). Shrinking widens the kernel so it stays
// band-limited, except for nearest and bilinear.
FilterTable buildFilterTable(std::int64_t outFirst, std::int64_t outCount, double scale, double offset,
                             std::int64_t sourceSize, ResamplingKernel kernel);

}  // namespace raster

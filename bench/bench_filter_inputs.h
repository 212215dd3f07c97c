#pragma once
// Filter inputs the benchmarks share: a 33³ user lookup table and tone
// curves, and the matching ImageMagick inputs (a HaLD table and a curve
// image) prepared in its scratch folder.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagemagick_compare.h"
#include "platform/ci/centripetal_curve.h"
#include "platform/ci/filter.h"

namespace imbench {

inline constexpr int kLutSize = 33;

// A smooth 33³ colour cube.
inline ci::FilterRef userLookupTable() {
  std::vector<float> cube;
  for (int b = 0; b < kLutSize; ++b)
    for (int g = 0; g < kLutSize; ++g)
      for (int r = 0; r < kLutSize; ++r) {
        const double x = r / double(kLutSize - 1), y = g / double(kLutSize - 1), z = b / double(kLutSize - 1);
        cube.insert(cube.end(),
                    {float(std::pow(x, 0.9)), float(0.05 + 0.9 * y), float(z * z * 0.8 + 0.1 * x), 1.0f});
      }
  ci::Data bytes(cube.size() * sizeof(float));
  std::memcpy(bytes.data(), cube.data(), bytes.size());
  ci::FilterRef f = ci::Filter::withName("CIColorCube");
  f->setValue("inputCubeDimension", double(kLutSize));
  f->setValue("inputCubeData", std::move(bytes));
  return f;
}

inline ci::FilterRef curve(const char* name, const ci::ToneCurvePoints& points) {
  ci::FilterRef f = ci::Filter::withName(name);
  for (std::size_t i = 0; i < 5; ++i)
    f->setValue(ci::kToneCurvePointKeys[i], ci::Vector{points[i].x, points[i].y});
  return f;
}

// ImageMagick ready, with hald.png and curve.png in its folder; false
// (with a message) otherwise.
inline bool prepareLookupInputs(const ImageMagickBench& magick) {
  const std::string folder = magick.folder().string();
  if (magick.ready() &&
      enginebench::runQuietly({"/usr/bin/convert", "hald:6", "-gamma", "1.1", "hald.png"}, folder) &&
      enginebench::runQuietly({"/usr/bin/convert", "-size", "1x4096", "gradient:", "-rotate", "90",
                               "-sigmoidal-contrast", "3x50%", "curve.png"},
                              folder))
    return true;
  std::fprintf(stderr, "ImageMagick could not prepare its inputs\n");
  return false;
}

}  // namespace imbench

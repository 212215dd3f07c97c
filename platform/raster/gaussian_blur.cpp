#include "platform/raster/gaussian_blur.h"

#include <cmath>

#include "platform/foundation/parallel.h"

namespace raster {

void gaussianBlurPlane(std::vector<float>& plane, std::int64_t width, std::int64_t height, double sigma) {
  if (sigma < 0.05 || width <= 0 || height <= 0) return;
  const int radius = int(std::ceil(3.0 * sigma));
  std::vector<float> kernel(std::size_t(2 * radius + 1));
  double sum = 0;
  for (int i = -radius; i <= radius; ++i)
    sum += kernel[std::size_t(i + radius)] = float(std::exp(-0.5 * i * i / (sigma * sigma)));
  for (float& k : kernel) k = float(k / sum);

  std::vector<float> temp(plane.size());
  // Horizontal: plane → temp.
  foundation::parallelForRange(
      0, height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          const float* in = plane.data() + y * width;
          float* out = temp.data() + y * width;
          for (std::int64_t x = 0; x < width; ++x) {
            std::int64_t k0 = std::max<std::int64_t>(-radius, -x),
                         k1 = std::min<std::int64_t>(radius, width - 1 - x);
            float acc = 0;
            for (std::int64_t k = k0; k <= k1; ++k) acc += kernel[std::size_t(k + radius)] * in[x + k];
            out[x] = acc;
          }
        }
      },
      8);
  // Vertical: temp → plane, one output row from a window of input rows.
  foundation::parallelForRange(
      0, height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          float* out = plane.data() + y * width;
          std::fill(out, out + width, 0.0f);
          std::int64_t k0 = std::max<std::int64_t>(-radius, -y),
                       k1 = std::min<std::int64_t>(radius, height - 1 - y);
          for (std::int64_t k = k0; k <= k1; ++k) {
            const float* in = temp.data() + (y + k) * width;
            float w = kernel[std::size_t(k + radius)];
            for (std::int64_t x = 0; x < width; ++x) out[x] += w * in[x];
          }
        }
      },
      8);
}

}  // namespace raster

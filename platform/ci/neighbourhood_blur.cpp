// Box blur, and the sharpening and darkening built on the Gaussian blur:
// unsharp mask, luma sharpening, noise reduction and gloom.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ci/gaussian_blur.h"
#include "platform/ci/image_extent.h"
#include "platform/ci/neighbourhood_filters.h"
#include "platform/ci/separable_window_node.h"

namespace ci {

namespace {

inline float luma(const float* p) {
  return 0.2126f * p[0] + 0.7152f * p[1] + 0.0722f * p[2];
}

double boundedOr(double value, double low, double high, double fallback = 0) {
  return std::isnan(value) ? fallback : std::clamp(value, low, high);
}

// The image and its blur, mixed per pixel by a kernel on both rows.
ImageRef withBlur(const ImageRef& input, double sigma, KernelFunction mix) {
  ImageRef blurred = gaussianBlurred(input, sigma);
  if (!blurred) return nullptr;
  return Image::kernel({input, blurred}, input->extent(), std::move(mix));
}

}  // namespace

ImageRef boxBlurred(const ImageRef& input, double radius) {
  if (!input) return nullptr;
  const auto r = std::int64_t(std::lround(boundedOr(radius, 0, kMaximumReach)));
  if (r == 0) return input;
  auto filter = [r](const float* src, float* dst, std::int64_t samples, std::size_t lanes,
                    std::vector<double>& copy) {
    const std::size_t n = std::size_t(samples) * lanes;
    copy.assign(src, src + n);
    std::vector<double> sum(lanes, 0.0);
    const double scale = 1.0 / double(2 * r + 1);
    // Window [s − r, s + r]; samples beyond the line count as 0.
    for (std::int64_t s = 0; s < std::min(r, samples); ++s) {
      for (std::size_t l = 0; l < lanes; ++l) sum[l] += copy[std::size_t(s) * lanes + l];
    }
    for (std::int64_t s = 0; s < samples; ++s) {
      const std::int64_t enter = s + r, leave = s - r - 1;
      for (std::size_t l = 0; l < lanes; ++l) {
        if (enter < samples) sum[l] += copy[std::size_t(enter) * lanes + l];
        if (leave >= 0) sum[l] -= copy[std::size_t(leave) * lanes + l];
        dst[std::size_t(s) * lanes + l] = float(sum[l] * scale);
      }
    }
  };
  return std::make_shared<SeparableWindowNode<decltype(filter)>>(input, r, filter);
}

namespace {

// in + k · (in − G_σ(in)) on every colour component, or on the luma alone
// with the difference added to every component.
ImageRef sharpened(const ImageRef& input, double radius, double amount, bool lumaOnly) {
  if (!input) return nullptr;
  const auto k = float(boundedOr(amount, -1e3, 1e3));
  if (k == 0 || !(radius > 0)) return input;
  return withBlur(input, std::min(radius, kMaximumReach), [k, lumaOnly](const KernelRow& row) {
    const float* in = row.inputs[0];
    const float* blurred = row.inputs[1];
    for (std::int64_t i = 0; i < row.count * 4; i += 4) {
      const float lumaDelta = k * (luma(in + i) - luma(blurred + i));
      for (int c = 0; c < 3; ++c) {
        row.output[i + c] = in[i + c] + (lumaOnly ? lumaDelta : k * (in[i + c] - blurred[i + c]));
      }
      row.output[i + 3] = in[i + 3];
    }
  });
}

}  // namespace

ImageRef unsharpMasked(const ImageRef& input, double radius, double intensity) {
  return sharpened(input, radius, intensity, false);
}

ImageRef luminanceSharpened(const ImageRef& input, double radius, double sharpness) {
  return sharpened(input, radius, sharpness, true);
}

ImageRef noiseReduced(const ImageRef& input, double noiseLevel, double sharpness) {
  if (!input) return nullptr;
  const double threshold = 3 * boundedOr(noiseLevel, 0, 1);
  ImageRef smoothed = input;
  if (threshold > 0) {
    const auto inverse = float(1 / threshold);
    constexpr int kRadius = 2;
    smoothed = Image::sampling(
        {input}, input->extent(),
        [inverse](const SamplerRow& row) {
          const Sampler& in = row.inputs[0];
          float centre[4], q[4];
          for (std::int64_t i = 0; i < row.count; ++i) {
            const std::int64_t x = row.x + i;
            in.pixel(x, row.y, centre);
            const float own = luma(centre);
            float weighted = 0, weights = 0;
            for (int dy = -kRadius; dy <= kRadius; ++dy) {
              for (int dx = -kRadius; dx <= kRadius; ++dx) {
                in.pixel(x + dx, row.y + dy, q);
                if (q[3] <= 0) continue;
                const float l = luma(q), w = std::max(0.0f, 1.0f - std::abs(l - own) * inverse);
                weighted += w * l, weights += w;
              }
            }
            const float delta = weights > 0 ? weighted / weights - own : 0.0f;
            float* o = row.output + i * 4;
            for (int c = 0; c < 3; ++c) o[c] = centre[c] + delta;
            o[3] = centre[3];
          }
        },
        [](const raster::Rect& r) { return extentGrown(r, kRadius, kRadius); });
  }
  return luminanceSharpened(smoothed, 1.0, sharpness);
}

ImageRef gloomed(const ImageRef& input, double radius, double intensity) {
  if (!input) return nullptr;
  const auto k = float(boundedOr(intensity, 0, 1e3));
  if (k == 0 || !(radius > 0)) return input;
  return withBlur(input, std::min(radius, kMaximumReach), [k](const KernelRow& row) {
    const float* in = row.inputs[0];
    const float* blurred = row.inputs[1];
    for (std::int64_t i = 0; i < row.count * 4; i += 4) {
      const float a = in[i + 3];
      const float l = a > 0 ? std::clamp(luma(in + i) / a, 0.0f, 1.0f) : 0.0f;
      const float w = std::min(1.0f, k * l * l);
      for (int c = 0; c < 3; ++c) {
        row.output[i + c] = in[i + c] + w * (std::min(blurred[i + c], in[i + c]) - in[i + c]);
      }
      row.output[i + 3] = a;
    }
  });
}

}  // namespace ci

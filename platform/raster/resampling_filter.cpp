#include "platform/raster/resampling_filter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace raster {

namespace {

double sinc(double x) {
  if (std::abs(x) < 1e-8) return 1.0;
  double px = std::numbers::pi * x;
  return std::sin(px) / px;
}

double kernelValue(ResamplingKernel kernel, double x) {
  x = std::abs(x);
  switch (kernel) {
    case ResamplingKernel::Bilinear:
      return x < 1 ? 1 - x : 0;
    case ResamplingKernel::CatmullRom:
      if (x < 1) return 1.5 * x * x * x - 2.5 * x * x + 1;
      if (x < 2) return -0.5 * x * x * x + 2.5 * x * x - 4 * x + 2;
      return 0;
    case ResamplingKernel::Lanczos3:
      return x < 3 ? sinc(x) * sinc(x / 3) : 0;
    default:
      return x < 0.5 ? 1 : 0;
  }
}

double kernelSupport(ResamplingKernel kernel) {
  switch (kernel) {
    case ResamplingKernel::Bilinear:
      return 1;
    case ResamplingKernel::CatmullRom:
      return 2;
    case ResamplingKernel::Lanczos3:
      return 3;
    default:
      return 0.5;
  }
}

}  // namespace

ResamplingPlan planFor(InterpolationQuality quality) {
  switch (quality) {
    case InterpolationQuality::None:
      return {ResamplingKernel::Nearest, false};
    case InterpolationQuality::Low:
      return {ResamplingKernel::Bilinear, false};
    case InterpolationQuality::Medium:
      return {ResamplingKernel::CatmullRom, true};
    default:
      return {ResamplingKernel::Lanczos3, true};
  }
}

int boxFactorFor(double sourcePerOutput, const ResamplingPlan& plan) {
  if (!plan.prefilter || !(sourcePerOutput > 2.0)) return 1;
  return int(std::min(1.0e6, std::ceil(sourcePerOutput / 2.0)));
}

FilterTable buildFilterTable(std::int64_t outFirst, std::int64_t outCount, double scale, double offset,
                             std::int64_t sourceSize, ResamplingKernel kernel) {
  FilterTable table;
  const double widen = (kernel == ResamplingKernel::Nearest || kernel == ResamplingKernel::Bilinear)
                           ? 1.0
                           : std::max(1.0, std::abs(scale));
  const double support = kernelSupport(kernel) * widen;
  table.maxTaps = kernel == ResamplingKernel::Nearest ? 1 : int(std::ceil(2 * support)) + 2;
  table.maxTaps = int(std::min<std::int64_t>(table.maxTaps, sourceSize));
  table.first.resize(std::size_t(outCount));
  table.taps.resize(std::size_t(outCount));
  table.weights.assign(std::size_t(outCount) * std::size_t(table.maxTaps), 0.0f);
  table.minSource = sourceSize - 1;
  table.maxSource = 0;
  std::vector<double> w;
  for (std::int64_t k = 0; k < outCount; ++k) {
    const double center = scale * (double(outFirst + k) + 0.5) + offset;
    float* weights = table.weights.data() + std::size_t(k) * std::size_t(table.maxTaps);
    if (kernel == ResamplingKernel::Nearest) {
      std::int64_t j = std::clamp<std::int64_t>(std::int64_t(std::floor(center)), 0, sourceSize - 1);
      table.first[std::size_t(k)] = j;
      table.taps[std::size_t(k)] = 1;
      weights[0] = 1.0f;
      table.minSource = std::min(table.minSource, j);
      table.maxSource = std::max(table.maxSource, j);
      continue;
    }
    std::int64_t j0 = std::int64_t(std::ceil(center - support - 0.5));
    std::int64_t j1 = std::int64_t(std::floor(center + support - 0.5));
    // Taps beyond the edges fold onto the edge pixel.
    std::int64_t lo = std::clamp<std::int64_t>(j0, 0, sourceSize - 1);
    std::int64_t hi = std::clamp<std::int64_t>(j1, 0, sourceSize - 1);
    if (hi - lo + 1 > table.maxTaps) hi = lo + table.maxTaps - 1;
    w.assign(std::size_t(hi - lo + 1), 0.0);
    double sum = 0;
    for (std::int64_t j = j0; j <= j1; ++j) {
      double v = kernelValue(kernel, (double(j) + 0.5 - center) / widen);
      std::int64_t idx = std::clamp<std::int64_t>(j, lo, hi);
      w[std::size_t(idx - lo)] += v;
      sum += v;
    }
    if (std::abs(sum) < 1e-12) {
      w.assign(w.size(), 0.0);
      std::int64_t j = std::clamp<std::int64_t>(std::int64_t(std::floor(center)), lo, hi);
      w[std::size_t(j - lo)] = 1.0;
      sum = 1.0;
    }
    table.first[std::size_t(k)] = lo;
    table.taps[std::size_t(k)] = int(hi - lo + 1);
    for (std::size_t i = 0; i < w.size(); ++i) weights[i] = float(w[i] / sum);
    table.minSource = std::min(table.minSource, lo);
    table.maxSource = std::max(table.maxSource, hi);
  }
  return table;
}

}  // namespace raster

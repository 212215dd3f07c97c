#include "platform/ci/gaussian_blur.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "platform/ci/image_extent.h"
#include "platform/ci/image_nodes.h"
#include "platform/ci/separable_window_node.h"

namespace ci {

namespace {

// Below this the sampled kernel is exact and short. From kDirectMaximum on
// the blur runs on a copy reduced by k = ⌊σ / kReducedSigma⌋, whose sigma
// then lies between kReducedSigma and twice that: the enlargement's
// interpolation error, about k²/8 of the blur's curvature (at most
// 0.24/σ²), stays near 1/800.
constexpr double kExactKernelMaximum = 3.0;
constexpr double kDirectMaximum = 10.0;
constexpr double kReducedSigma = 5.0;

// The sampled Gaussian over ±round(4σ), normalised (the kernel scipy and
// skimage use).
std::vector<float> sampledKernel(double sigma) {
  const int radius = int(4.0 * sigma + 0.5);
  std::vector<double> weights(std::size_t(2 * radius + 1));
  double sum = 0;
  for (int i = -radius; i <= radius; ++i) {
    weights[std::size_t(i + radius)] = std::exp(-0.5 * double(i * i) / (sigma * sigma));
    sum += weights[std::size_t(i + radius)];
  }
  std::vector<float> kernel(weights.size());
  for (std::size_t i = 0; i < weights.size(); ++i) kernel[i] = float(weights[i] / sum);
  return kernel;
}

// Fourth-order recursive approximation of the Gaussian (Deriche): a causal
// and an anticausal pass whose impulse responses add up to the kernel.
//   y⁺[n] = Σₖ₌₀³ b⁺ₖ x[n−k] − Σₖ₌₁⁴ aₖ y⁺[n−k]
//   y⁻[n] = Σₖ₌₁⁴ b⁻ₖ x[n+k] − Σₖ₌₁⁴ aₖ y⁻[n+k]
struct RecursiveCoefficients {
  std::array<double, 5> a{};            // a[0] = 1
  std::array<double, 4> causal{};       // b⁺₀..b⁺₃
  std::array<double, 5> anti{};         // b⁻₁..b⁻₄ in [1..4]
  double causalGain = 0, antiGain = 0;  // responses to a constant 1

  explicit RecursiveCoefficients(double sigma) {
    // The causal half of the kernel as two damped cosines,
    // Σ (αcos(ωn/σ) + βsin(ωn/σ)) e^(−λn/σ), in the published constants.
    struct Term {
      double alpha, beta, lambda, omega;
    };
    const Term terms[2] = {{1.6800, 3.7350, 1.7830, 0.6318}, {-0.6803, -0.2598, 1.7230, 1.9970}};
    using complex = std::complex<double>;
    std::array<complex, 4> poles, residues;
    for (int t = 0; t < 2; ++t) {
      poles[std::size_t(2 * t)] = std::exp(complex(-terms[t].lambda, terms[t].omega) / sigma);
      residues[std::size_t(2 * t)] = complex(terms[t].alpha, -terms[t].beta) / 2.0;
      poles[std::size_t(2 * t + 1)] = std::conj(poles[std::size_t(2 * t)]);
      residues[std::size_t(2 * t + 1)] = std::conj(residues[std::size_t(2 * t)]);
    }
    // Denominator Π(1 − pⱼz⁻¹) and numerator Σ rⱼ Πᵢ≠ⱼ(1 − pᵢz⁻¹).
    auto product = [&](int skip) {
      std::array<complex, 5> c{complex(1)};
      int degree = 0;
      for (int i = 0; i < 4; ++i) {
        if (i == skip) continue;
        for (int k = degree + 1; k > 0; --k)
          c[std::size_t(k)] -= poles[std::size_t(i)] * c[std::size_t(k - 1)];
        ++degree;
      }
      return c;
    };
    const std::array<complex, 5> denominator = product(-1);
    std::array<complex, 4> numerator{};
    for (int j = 0; j < 4; ++j) {
      const std::array<complex, 5> c = product(j);
      for (int k = 0; k < 4; ++k) numerator[std::size_t(k)] += residues[std::size_t(j)] * c[std::size_t(k)];
    }
    for (int k = 0; k < 5; ++k) a[std::size_t(k)] = denominator[std::size_t(k)].real();
    for (int k = 0; k < 4; ++k) causal[std::size_t(k)] = numerator[std::size_t(k)].real();
    for (int k = 1; k < 4; ++k) anti[std::size_t(k)] = causal[std::size_t(k)] - a[std::size_t(k)] * causal[0];
    anti[4] = -a[4] * causal[0];
    double aSum = 0, causalSum = 0, antiSum = 0;
    for (double v : a) aSum += v;
    for (double v : causal) causalSum += v;
    for (int k = 1; k < 5; ++k) antiSum += anti[std::size_t(k)];
    // Normalised so that the whole kernel sums to 1.
    const double total = (causalSum + antiSum) / aSum;
    for (double& v : causal) v /= total;
    for (double& v : anti) v /= total;
    causalGain = causalSum / total / aSum;
    antiGain = antiSum / total / aSum;
  }
};

// Filters `samples` samples of `lanes` independent signals laid out with
// sample s of lane l at s·lanes + l, from src into dst (which may be src).
// Beyond both ends each signal is taken to continue with its end value.
void recursiveFilter(const RecursiveCoefficients& k, const float* src, float* dst, std::int64_t samples,
                     std::size_t lanes, std::vector<double>& causal) {
  if (samples <= 0) return;
  causal.resize(std::size_t(samples) * lanes);
  const std::size_t n = std::size_t(samples);
  auto x = [&](std::int64_t s, std::size_t l) {
    s = std::clamp<std::int64_t>(s, 0, samples - 1);
    return double(src[std::size_t(s) * lanes + l]);
  };
  // Causal pass; history before the start is the steady state of the
  // first sample.
  for (std::size_t s = 0; s < n; ++s) {
    double* y = causal.data() + s * lanes;
    const bool edge = s < 4;
    for (std::size_t l = 0; l < lanes; ++l) {
      double v;
      if (edge) {
        const double steady = x(0, l) * k.causalGain;
        v = 0;
        for (int i = 0; i < 4; ++i) v += k.causal[std::size_t(i)] * x(std::int64_t(s) - i, l);
        for (int i = 1; i <= 4; ++i) {
          const double previous = s >= std::size_t(i) ? causal[(s - std::size_t(i)) * lanes + l] : steady;
          v -= k.a[std::size_t(i)] * previous;
        }
      } else {
        const float* xs = src + s * lanes + l;
        const double* ys = y + l;
        v = k.causal[0] * xs[0] + k.causal[1] * xs[-std::ptrdiff_t(lanes)] +
            k.causal[2] * xs[-2 * std::ptrdiff_t(lanes)] + k.causal[3] * xs[-3 * std::ptrdiff_t(lanes)] -
            k.a[1] * ys[-std::ptrdiff_t(lanes)] - k.a[2] * ys[-2 * std::ptrdiff_t(lanes)] -
            k.a[3] * ys[-3 * std::ptrdiff_t(lanes)] - k.a[4] * ys[-4 * std::ptrdiff_t(lanes)];
      }
      y[l] = v;
    }
  }
  // Anticausal pass, added to the causal result. Rings of four samples
  // hold the inputs and outputs after the current one (dst may be src, so
  // inputs are read before they are overwritten).
  std::vector<double> inputs(4 * lanes), outputs(4 * lanes);
  for (std::size_t t = n; t < n + 4; ++t) {
    for (std::size_t l = 0; l < lanes; ++l) {
      const double last = src[(n - 1) * lanes + l];
      inputs[(t % 4) * lanes + l] = last;
      outputs[(t % 4) * lanes + l] = last * k.antiGain;
    }
  }
  for (std::size_t s = n; s-- > 0;) {
    const double* x1 = inputs.data() + ((s + 1) % 4) * lanes;
    const double* x2 = inputs.data() + ((s + 2) % 4) * lanes;
    const double* x3 = inputs.data() + ((s + 3) % 4) * lanes;
    double* x4 = inputs.data() + (s % 4) * lanes;
    const double* y1 = outputs.data() + ((s + 1) % 4) * lanes;
    const double* y2 = outputs.data() + ((s + 2) % 4) * lanes;
    const double* y3 = outputs.data() + ((s + 3) % 4) * lanes;
    double* y4 = outputs.data() + (s % 4) * lanes;
    const float* xs = src + s * lanes;
    const double* ys = causal.data() + s * lanes;
    float* d = dst + s * lanes;
    for (std::size_t l = 0; l < lanes; ++l) {
      const double v = k.anti[1] * x1[l] + k.anti[2] * x2[l] + k.anti[3] * x3[l] + k.anti[4] * x4[l] -
                       k.a[1] * y1[l] - k.a[2] * y2[l] - k.a[3] * y3[l] - k.a[4] * y4[l];
      x4[l] = xs[l];
      y4[l] = v;
      d[l] = float(ys[l] + v);
    }
  }
}

std::int64_t recursiveMargin(double sigma) {
  return std::int64_t(std::ceil(4.0 * sigma)) + 1;
}

ImageRef directBlur(const ImageRef& input, double sigma) {
  if (sigma < kExactKernelMaximum) {
    // Each tap adds a shifted copy of the whole line: long contiguous runs
    // the compiler vectorises, along rows and along columns alike.
    const std::vector<float> kernel = sampledKernel(sigma);
    const auto radius = std::int64_t(kernel.size() / 2);
    auto filter = [kernel, radius](const float* src, float* dst, std::int64_t samples, std::size_t lanes,
                                   std::vector<double>&) {
      thread_local std::vector<float> sums;
      const std::size_t n = std::size_t(samples) * lanes;
      sums.assign(n, 0.0f);
      float* __restrict sum = sums.data();
      for (std::size_t k = 0; k < kernel.size(); ++k) {
        const std::int64_t shift = std::int64_t(k) - radius;  // reads sample s + shift
        const std::size_t first = std::size_t(std::max<std::int64_t>(0, -shift)) * lanes;
        const std::size_t last = std::size_t(std::min(samples, samples - shift)) * lanes;
        const float* __restrict from = src + shift * std::ptrdiff_t(lanes);
        const float w = kernel[k];
        std::size_t i = first;
        // Four floats at a time in one vector register.
        using Float4 = float __attribute__((vector_size(16)));
        for (; i + 4 <= last; i += 4) {
          Float4 a, b;
          std::memcpy(&a, sum + i, sizeof a);
          std::memcpy(&b, from + i, sizeof b);
          a += w * b;
          std::memcpy(sum + i, &a, sizeof a);
        }
        for (; i < last; ++i) sum[i] += w * from[i];
      }
      std::copy_n(sum, n, dst);
    };
    return std::make_shared<SeparableWindowNode<decltype(filter)>>(input, radius, filter);
  }
  RecursiveCoefficients coefficients(sigma);
  auto filter = [coefficients](const float* src, float* dst, std::int64_t samples, std::size_t lanes,
                               std::vector<double>& scratch) {
    recursiveFilter(coefficients, src, dst, samples, lanes, scratch);
  };
  return std::make_shared<SeparableWindowNode<decltype(filter)>>(input, recursiveMargin(sigma), filter);
}

double diagonal(const raster::Rect& rect) {
  return std::hypot(rect.width(), rect.height());
}

}  // namespace

ImageRef gaussianBlurred(const ImageRef& input, double sigma) {
  if (!input || !(sigma > 0)) return input;
  const ImageRef clampSource = nodes::clampSource(input);
  const bool infinite = isInfinite(input->extent());
  if (!infinite) {
    sigma = std::min(sigma, std::max(1.0, diagonal(input->extent())));
  } else if (clampSource) {
    sigma = std::min(sigma, std::max(1.0, diagonal(clampSource->extent())));
  } else {
    sigma = std::min(sigma, kMaximumUnboundedBlurSigma);
  }
  if (sigma < kDirectMaximum) return directBlur(input, sigma);

  // Reduce by k, blur, enlarge by k. Reducing and enlarging with the tent
  // kernel each add a variance of k²/6, which the reduced blur leaves out.
  const double k = std::floor(sigma / kReducedSigma);
  const double reducedSigma = std::sqrt(sigma * sigma - k * k / 3.0) / k;
  ImageRef reduced = Image::scaled(input, 1.0 / k, 1.0 / k, ResamplingKernel::Bilinear);
  if (!reduced) return nullptr;
  if (!infinite) {
    if (ImageRef held = nodes::cached(reduced)) reduced = held;
  } else if (clampSource) {
    // Beyond the clamped image's edges its reduction repeats outwards as
    // well: hold a rim of two pixels and repeat that.
    const raster::Rect e = clampSource->extent();
    const raster::Rect around =
        extentGrown(raster::Rect(e.minX() / k, e.minY() / k, e.width() / k, e.height() / k), 2, 2);
    ImageRef held = nodes::cached(reduced->cropped(rectOf(pixelsTouching(around))));
    if (held) reduced = held->clampedToExtent();
  }
  ImageRef blurred = directBlur(reduced, reducedSigma);
  return blurred ? Image::scaled(blurred, k, k, ResamplingKernel::Bilinear) : nullptr;
}

}  // namespace ci

#include "platform/ci/auto_adjustment.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ci/color_kernel.h"
#include "platform/ci/context.h"
#include "platform/ci/lightness_stretch.h"
#include "platform/ci/red_eye_correction.h"
#include "platform/ci/working_space.h"
#include "platform/foundation/log.h"

namespace ci {

namespace {

// A stretch narrower than this (one 8-bit level) is noise, not a range to
// widen.
constexpr double kMinimumLightnessRange = 1.0 / 255.0;
// Gains and offsets this close to the identity are left out.
constexpr double kIdentityTolerance = 1e-3;
// Red eye: the disc's radius as a fraction of the eye's width.
constexpr double kRedEyeDiscOfEyeWidth = 0.5;

// The mean luma is looked at in this many bins of the largest channel.
constexpr int kLumaBins = 4096;
// The black point keeps dark regions from going black with the few pixels
// below it: they keep at least kShadowKept of their largest channel's level.
// - A flat region, one level over more than kFlatRegionShare of the
//   picture, grey or coloured. Shares this large at a single level come
//   from flat colours: a grey photo's shadows spread over many levels, each
//   at most a percent or two of the picture, and may go as dark as the
//   stretch takes them (that is the contrast it gives back).
// - Coloured pixels (their smallest channel at most 1 - kColouredSaturation
//   of their largest): no more than kColouredShare of the picture loses more,
//   however their levels spread. A dark colour taken to black loses its
//   colour, and a colour's luma, where the black point comes from, lies
//   well below the largest channel the stretch moves.
constexpr double kShadowKept = 0.5;
constexpr double kFlatRegionShare = 0.025;
constexpr double kColouredSaturation = 0.15;
constexpr double kColouredShare = 0.005;

// Levels of every visible pixel of a copy of image at most
// kEnhanceAnalysisSide across, on the stretch's tone curve: its luma and its
// largest channel. That one is taken as the vibrance that follows leaves it
// (it lifts the strongest channel of a colour), up to white, so that the
// vibrance pushes no more colours past white than the white point does.
// And the luma levels summed, the pixels and the coloured pixels counted by
// the level of the plain largest channel (up to 1), which the stretch scales
// each pixel by.
struct LightnessSamples {
  std::vector<float> luma, largest;
  std::vector<double> lumaByLargest = std::vector<double>(kLumaBins + 1, 0.0);
  std::vector<double> countByLargest = std::vector<double>(kLumaBins + 1, 0.0);
  std::vector<double> colouredByLargest = std::vector<double>(kLumaBins + 1, 0.0);
};

LightnessSamples lightnessSamples(const ImageRef& image) {
  const raster::Rect extent = image->extent().standardized();
  const double longer = std::max(extent.width(), extent.height());
  if (!(longer >= 1)) return {};
  const double scale = std::min(1.0, double(kEnhanceAnalysisSide) / longer);
  ImageRef placed =
      image->transformed(raster::AffineTransform::translation(-extent.origin.x, -extent.origin.y));
  if (scale < 1) placed = Image::scaled(placed, scale, scale, ResamplingKernel::Bilinear);
  const auto width = std::max<std::int64_t>(1, std::int64_t(std::round(extent.width() * scale)));
  const auto height = std::max<std::int64_t>(1, std::int64_t(std::round(extent.height() * scale)));
  auto target = raster::BitmapContext::create(1, 1, raster::PixelFormat::rgbaFloat(), workingColorSpace());
  if (!target || !placed) return {};
  const raster::ImageRef pixels = Context::withBitmapContext(*target)->createImage(
      placed, raster::Rect(0, 0, double(width), double(height)));
  if (!pixels || pixels->format().bitsPerComponent != 32) return {};
  LightnessSamples samples;
  samples.luma.reserve(std::size_t(width * height));
  samples.largest.reserve(std::size_t(width * height));
  std::vector<float> row(std::size_t(width) * 4);
  for (std::int64_t y = 0; y < pixels->height(); ++y) {
    std::memcpy(row.data(), pixels->row(y), row.size() * sizeof(float));
    for (std::int64_t x = 0; x < width; ++x) {
      float* p = row.data() + x * 4;
      if (!(p[3] > 0)) continue;
      const float straight[3] = {p[0] / p[3], p[1] / p[3], p[2] / p[3]};
      const float luma = colorkernel::luma(straight);
      float vibrant[3];
      colorkernel::vibrant(straight, float(kEnhanceVibrance), vibrant);
      const float plainLargest = std::max({straight[0], straight[1], straight[2]});
      const float largest =
          std::min(std::max({vibrant[0], vibrant[1], vibrant[2]}), std::max(1.0f, plainLargest));
      if (!std::isfinite(luma) || !std::isfinite(largest)) continue;
      samples.luma.push_back(stretchLevel(luma));
      samples.largest.push_back(stretchLevel(largest));
      const float plainLevel = std::clamp(stretchLevel(plainLargest), 0.0f, 1.0f);
      const auto bin = std::size_t(std::lround(plainLevel * kLumaBins));
      samples.lumaByLargest[bin] += samples.luma.back();
      samples.countByLargest[bin] += 1;
      const float plainSmallest = std::min({straight[0], straight[1], straight[2]});
      if (plainLargest - plainSmallest >= kColouredSaturation * plainLargest) samples.colouredByLargest[bin] += 1;
    }
  }
  return samples;
}

// The midtone curve that lightens the stretched picture back to the mean
// luma level it had: 1 when the stretch does not darken it, else as far as
// the curve's limit. A pixel's luma level goes with its largest channel's;
// the mean falls as m grows, so m is halved for in its logarithm.
double midtoneLighteningToMeanLuma(const LightnessSamples& samples, double gain, double offset) {
  double before = 0;
  for (double sum : samples.lumaByLargest) before += sum;
  const auto meanAfter = [&](double midtone) {
    double after = 0;
    for (int i = 1; i <= kLumaBins; ++i) {
      const float level = float(i) / kLumaBins;
      const float out = std::min(1.0f, stretchedLevel(level, float(gain), float(offset), float(midtone)));
      after += samples.lumaByLargest[std::size_t(i)] * double(out / level);
    }
    return after;
  };
  if (meanAfter(1) >= before) return 1;
  double lower = -std::log(kMidtoneLimit), upper = 0;
  if (meanAfter(std::exp(lower)) <= before) return 1 / kMidtoneLimit;
  for (int step = 0; step < 24; ++step) {
    const double middle = (lower + upper) / 2;
    (meanAfter(std::exp(middle)) > before ? lower : upper) = middle;
  }
  return std::exp((lower + upper) / 2);
}

// The level of the darkest flat region: the lowest level of the plain
// largest channel that more than kFlatRegionShare of the pixels share
// exactly; none (above 1) when no level holds that many.
double darkestFlatLevel(const LightnessSamples& samples) {
  const auto total = double(samples.luma.size());
  for (int i = 0; i <= kLumaBins; ++i)
    if (samples.countByLargest[std::size_t(i)] > kFlatRegionShare * total) return double(i) / kLumaBins;
  return 2;
}

// The highest black point that keeps kShadowKept of level (of the largest
// channel, the level the stretch moves), whether the gain is
// 1 / (high - black) or capped; every brighter level keeps more. Above 1
// (no level to keep) for a level above 1.
double blackPointKeeping(double level, double high) {
  if (level > 1) return 2;
  const double uncapped = level * (1 - kShadowKept * high) / (1 - kShadowKept * level);
  const double capped = level * (1 - kShadowKept / kEnhanceMaximumGain);
  return std::min(uncapped, capped);
}

// The level of the plain largest channel below which the coloured pixels
// make up more than share of all pixels; above 1 when they never do.
double colouredPercentile(const LightnessSamples& samples, double share) {
  const auto total = double(samples.luma.size());
  double below = 0;
  for (int i = 0; i <= kLumaBins; ++i) {
    below += samples.colouredByLargest[std::size_t(i)];
    if (below > share * total) return double(i) / kLumaBins;
  }
  return 2;
}

// The black point: luma's percentile low, but low enough for the dark
// regions above to keep kShadowKept of their level.
double blackPoint(const LightnessSamples& samples, double low, double high) {
  const double flat = blackPointKeeping(darkestFlatLevel(samples), high);
  const double coloured = blackPointKeeping(colouredPercentile(samples, kColouredShare), high);
  return std::max(0.0, std::min({low, flat, coloured}));
}

void addEnhanceFilters(const ImageRef& image, std::vector<FilterRef>& filters) {
  LightnessSamples samples = lightnessSamples(image);
  if (!samples.luma.empty()) {
    // The black point from luma and the white point from the largest
    // channel: each at most as far in as its percentile, whatever the
    // colours. A saturated colour is as bright as its strongest channel, so
    // it is not counted as dark (its luma is low) nor pushed past white.
    const double lumaLow = percentile(samples.luma, kEnhanceLowPercentile);
    const double high = percentile(samples.largest, kEnhanceHighPercentile);
    const double range = high - lumaLow;
    const double low = blackPoint(samples, lumaLow, high);
    double gain = 1.0 / (high - low), offset = -low * gain;
    if (gain > kEnhanceMaximumGain) {
      // The picture's middle keeps its level, as far as the stretched range
      // fits between black and white.
      gain = kEnhanceMaximumGain;
      const double middle = percentile(samples.largest, 50);
      offset = std::clamp(middle * (1 - gain), -gain * low, 1 - gain * high);
    }
    // The stretch alone darkens a pale picture (its black point is high):
    // the midtone curve lightens it back towards the mean level it had,
    // within the curve's limits. A dark picture keeps the lift the stretch
    // gives it.
    const double midtone = midtoneLighteningToMeanLuma(samples, gain, offset);
    if (range >= kMinimumLightnessRange &&
        (std::abs(gain - 1) > kIdentityTolerance || std::abs(offset) > kIdentityTolerance ||
         std::abs(midtone - 1) > kIdentityTolerance)) {
      filters.push_back(makeLightnessStretch(gain, offset, midtone));
    }
  }
  FilterRef vibrance = Filter::withName("CIVibrance");
  if (vibrance) {
    vibrance->setValue("inputAmount", kEnhanceVibrance);
    filters.push_back(std::move(vibrance));
  }
}

void addRedEyeFilters(const ImageRef& image, const AutoAdjustmentOptions& options, FaceDetector* detector,
                      std::vector<FilterRef>& filters) {
  std::optional<FaceDetector> own;
  if (!detector) detector = &own.emplace();
  std::vector<FaceFeature> features =
      options.features ? *options.features : detector->featuresInImage(image, true);
  const bool eyesKnown = std::all_of(features.begin(), features.end(),
                                     [](const FaceFeature& f) { return f.leftEye && f.rightEye; });
  if (!eyesKnown && !detector->locateEyes(image, features)) return;
  registerRedEyeCorrection();
  for (const FaceFeature& feature : features) {
    for (const std::optional<faces::Eye>& eye : {feature.leftEye, feature.rightEye}) {
      if (!eye) continue;
      FilterRef correction = Filter::withName(kRedEyeCorrectionName);
      if (!correction) return;
      correction->setValue("inputCenter", Vector{eye->centre.x, eye->centre.y});
      correction->setValue("inputRadius", eye->width * kRedEyeDiscOfEyeWidth);
      filters.push_back(std::move(correction));
    }
  }
}

}  // namespace

double percentile(std::vector<float>& values, double p) {
  if (values.empty()) return 0;
  const double rank = std::clamp(p, 0.0, 100.0) / 100.0 * double(values.size() - 1);
  const auto lower = std::size_t(std::floor(rank));
  std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(lower), values.end());
  const double below = values[lower];
  if (lower + 1 >= values.size()) return below;
  const double above = *std::min_element(values.begin() + std::ptrdiff_t(lower) + 1, values.end());
  return below + (above - below) * (rank - double(lower));
}

std::vector<FilterRef> autoAdjustmentFilters(const ImageRef& image, const AutoAdjustmentOptions& options,
                                             FaceDetector* detector) {
  std::vector<FilterRef> filters;
  if (!image || isInfinite(image->extent())) return filters;
  if (options.enhance) addEnhanceFilters(image, filters);
  if (options.redEye) addRedEyeFilters(image, options, detector, filters);
  return filters;
}

}  // namespace ci

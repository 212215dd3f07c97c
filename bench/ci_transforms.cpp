// Geometric transforms through the filter graph into an RGBA8 context:
// a Lanczos reduction of a 6000 × 4000 photo-sized image to 1600 pixels
// wide, and a quarter turn of the same image. Megapixels are source pixels.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "filters/cifiltering.h"
#include "platform/raster/bitmap_context.h"

namespace {

constexpr std::int64_t kWidth = 6000, kHeight = 4000;

// Smooth gradients with fine detail, tagged sRGB like a camera file.
raster::ImageRef photoSizedImage() {
  static const raster::ImageRef image = [] {
    std::vector<std::uint8_t> bytes(std::size_t(kWidth * kHeight * 4));
    for (std::int64_t y = 0; y < kHeight; ++y) {
      std::uint8_t* p = bytes.data() + std::size_t(y * kWidth * 4);
      for (std::int64_t x = 0; x < kWidth; ++x, p += 4) {
        p[0] = std::uint8_t(x * 255 / kWidth);
        p[1] = std::uint8_t(y * 255 / kHeight);
        p[2] = std::uint8_t(128 + 100 * std::sin(double(x * y) * 1e-4));
        p[3] = 255;
      }
    }
    return raster::Image::make(kWidth, kHeight, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(),
                               std::move(bytes));
  }();
  return image;
}

void runTransform(benchmark::State& state, std::int64_t width, std::int64_t height, bool turn) {
  raster::ImageRef source = photoSizedImage();
  auto context =
      raster::BitmapContext::create(width, height, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  if (!source || !context) {
    state.SkipWithError("cannot make the image or the context");
    return;
  }
  context->setBlendMode(raster::BlendMode::Copy);
  velumar::CIFiltering engine;
  for (auto _ : state) {
    engine.createNewCIContextWithCGContext(context.get(), true);
    if (turn) {
      engine.rotate90DEGFilterWithDestinationCGContext(context.get(), source);
    } else {
      engine.lanczosScaleFilterWithDestinationCGContext(context.get(), source);
    }
    engine.resetCIContext();
    benchmark::DoNotOptimize(context->data());
  }
  state.counters["source_MP/s"] = benchmark::Counter(
      double(kWidth * kHeight) / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["output_MP/s"] = benchmark::Counter(
      double(width * height) / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_LanczosDownscaleTo1600(benchmark::State& state) {
  runTransform(state, 1600, 1067, false);
}

double peakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;
}

// A 10000 × 10000 draw: the source stretched over the whole context. The
// counter is the growth of peak memory beyond the source and the context.
void BM_Draw10000Square(benchmark::State& state) {
  raster::ImageRef source = photoSizedImage();
  auto context =
      raster::BitmapContext::create(10000, 10000, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  if (!source || !context) {
    state.SkipWithError("cannot make the image or the context");
    return;
  }
  std::fill(context->mutableData(), context->mutableData() + context->bytesPerRow() * 10000, std::uint8_t(1));
  const double before = peakResidentMegabytes();
  context->setBlendMode(raster::BlendMode::Copy);
  velumar::CIFiltering engine;
  for (auto _ : state) {
    engine.createNewCIContextWithCGContext(context.get(), true);
    engine.flipHorizontallyFilterWithDestinationCGContext(context.get(), source);
    engine.resetCIContext();
    benchmark::DoNotOptimize(context->data());
  }
  state.counters["output_MP/s"] =
      benchmark::Counter(100.0 * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["peak_growth_MB"] = peakResidentMegabytes() - before;
}
void BM_QuarterTurn(benchmark::State& state) {
  runTransform(state, kHeight, kWidth, true);
}

BENCHMARK(BM_LanczosDownscaleTo1600)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QuarterTurn)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Draw10000Square)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

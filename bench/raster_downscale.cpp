// Downscaling RGBA8 photo-sized images to 1600×1067 with high
// interpolation quality, in megapixels of source per second: a 6000×4000
// photo (box prefilter, then Lanczos) and a 1920×1280 one (Lanczos alone,
// a mild shrink).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/raster/bitmap_context.h"

namespace {

raster::ImageRef makeSource(std::int64_t w, std::int64_t h) {
  std::vector<std::uint8_t> bytes(std::size_t(w * h * 4));
  for (std::int64_t y = 0; y < h; ++y)
    for (std::int64_t x = 0; x < w; ++x) {
      std::uint8_t* p = bytes.data() + (y * w + x) * 4;
      p[0] = std::uint8_t(x * 7 + y), p[1] = std::uint8_t(x ^ y), p[2] = std::uint8_t(y * 3), p[3] = 255;
    }
  return raster::Image::make(w, h, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(),
                             std::move(bytes));
}

void downscale(benchmark::State& state, std::int64_t width, std::int64_t height) {
  raster::ImageRef source = makeSource(width, height);
  for (auto _ : state) {
    auto context =
        raster::BitmapContext::create(1600, 1067, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
    context->setInterpolationQuality(raster::InterpolationQuality::High);
    context->setBlendMode(raster::BlendMode::Copy);
    context->drawImage(source, raster::Rect(0, 0, 1600, 1067));
    benchmark::DoNotOptimize(context->data());
  }
  state.counters["source_MP_per_s"] = benchmark::Counter(double(source->width() * source->height()) / 1e6,
                                                         benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DownscaleHigh(benchmark::State& state) {
  downscale(state, 6000, 4000);
}
BENCHMARK(BM_DownscaleHigh)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DownscaleMild(benchmark::State& state) {
  downscale(state, 1920, 1280);
}
BENCHMARK(BM_DownscaleMild)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

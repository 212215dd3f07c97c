// Codec throughput on a 24-megapixel photo-like image (6000 x 4000 RGB):
// JPEG, PNG and TIFF encode and decode, JPEG reduced decode at 1/4, and the
// row export of a translucent premultiplied copy.
// Reported as megapixels per second of the full-size image.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "platform/imageio/image_destination.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/pixel_convert.h"

namespace {

constexpr std::int64_t kWidth = 6000, kHeight = 4000;
constexpr double kMegapixels = double(kWidth * kHeight) / 1e6;

// Smooth gradients with fine noise, so that compressors meet something
// like a photograph rather than flat colour.
raster::ImageRef photoLike() {
  static raster::ImageRef image = [] {
    std::vector<std::uint8_t> px(std::size_t(kWidth * kHeight * 4));
    std::mt19937 random(7);
    for (std::int64_t y = 0; y < kHeight; ++y) {
      for (std::int64_t x = 0; x < kWidth; ++x) {
        std::uint8_t* p = &px[std::size_t((y * kWidth + x) * 4)];
        const double u = double(x) / kWidth, v = double(y) / kHeight;
        const int noise = int(random() % 9) - 4;
        p[0] = std::uint8_t(std::clamp(int(128 + 100 * std::sin(6 * u + 2 * v)) + noise, 0, 255));
        p[1] = std::uint8_t(std::clamp(int(128 + 90 * std::cos(5 * v - 3 * u)) + noise, 0, 255));
        p[2] = std::uint8_t(std::clamp(int(110 + 80 * std::sin(9 * u * v)) + noise, 0, 255));
        p[3] = 255;
      }
    }
    return raster::Image::make(kWidth, kHeight, imageio::decodedFormat(8, 3, false),
                               raster::ColorSpace::sRGB(), std::move(px));
  }();
  return image;
}

std::string benchPath(const char* name) {
  return "/tmp/velumar-bench-" + std::to_string(getpid()) + "-" + name;
}

bool write(const std::string& path, const char* type, double quality = 0.8) {
  auto destination = imageio::ImageDestination::create(path, type, 1);
  if (!destination) return false;
  foundation::Dictionary props{{"LossyCompressionQuality", quality}, {"Compression", 5}};
  destination->addImage(photoLike(), foundation::Value(props));
  return destination->finalize();
}

void encode(benchmark::State& state, const char* type, const char* name) {
  const std::string path = benchPath(name);
  photoLike();
  for (auto _ : state) {
    if (!write(path, type)) state.SkipWithError("write failed");
  }
  state.counters["MP/s"] =
      benchmark::Counter(kMegapixels * double(state.iterations()), benchmark::Counter::kIsRate);
  std::remove(path.c_str());
}

void decode(benchmark::State& state, const char* type, const char* name, std::int64_t maxPixelSize) {
  const std::string path = benchPath(name);
  if (!write(path, type)) {
    state.SkipWithError("write failed");
    return;
  }
  imageio::DecodeOptions options;
  options.maxPixelSize = maxPixelSize;
  for (auto _ : state) {
    auto source = imageio::ImageSource::open(path);
    auto image = source ? source->createImage(0, options) : nullptr;
    if (!image) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image);
  }
  state.counters["MP/s"] =
      benchmark::Counter(kMegapixels * double(state.iterations()), benchmark::Counter::kIsRate);
  std::remove(path.c_str());
}

void BM_EncodeJpeg(benchmark::State& state) {
  encode(state, "public.jpeg", "e.jpg");
}
void BM_DecodeJpeg(benchmark::State& state) {
  decode(state, "public.jpeg", "d.jpg", 0);
}
void BM_DecodeJpegQuarter(benchmark::State& state) {
  decode(state, "public.jpeg", "q.jpg", kWidth / 4);
}
void BM_EncodePng(benchmark::State& state) {
  encode(state, "public.png", "e.png");
}
void BM_DecodePng(benchmark::State& state) {
  decode(state, "public.png", "d.png", 0);
}
void BM_EncodeTiffLzw(benchmark::State& state) {
  encode(state, "public.tiff", "e.tiff");
}
void BM_DecodeTiffLzw(benchmark::State& state) {
  decode(state, "public.tiff", "d.tiff", 0);
}

// The encoders' row export of a translucent picture: premultiplied 8-bit
// colour divided out into straight 8-bit, every row in turn.
void BM_ExportPremultipliedRows(benchmark::State& state) {
  const raster::Image& photo = *photoLike();
  std::vector<std::uint8_t> px(std::size_t(kWidth * kHeight * 4));
  for (std::int64_t y = 0; y < kHeight; ++y) {
    const std::uint8_t* in = photo.row(y);
    for (std::int64_t x = 0; x < kWidth; ++x) {
      std::uint8_t* p = &px[std::size_t((y * kWidth + x) * 4)];
      const int alpha = int(1 + (x + y) % 255);
      for (int c = 0; c < 3; ++c) p[c] = std::uint8_t(in[x * 4 + c] * alpha / 255);
      p[3] = std::uint8_t(alpha);
    }
  }
  const auto image = raster::Image::make(kWidth, kHeight, raster::PixelFormat::rgba8(),
                                         raster::ColorSpace::sRGB(), std::move(px));
  std::vector<std::uint8_t> row(std::size_t(kWidth * 4));
  for (auto _ : state) {
    for (std::int64_t y = 0; y < kHeight; ++y) imageio::exportRow(*image, y, {8, true}, row.data());
    benchmark::DoNotOptimize(row.data());
  }
  state.counters["MP/s"] =
      benchmark::Counter(kMegapixels * double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_EncodeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeJpegQuarter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodePng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodePng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodeTiffLzw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeTiffLzw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportPremultipliedRows)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// Colour conversion throughput on a 6000 x 4000 photo-sized buffer.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/color/transform.h"

namespace {

constexpr std::int64_t kWidth = 6000;
constexpr std::int64_t kHeight = 4000;

color::BufferLayout layoutOf(int channels, color::SampleType type) {
  color::BufferLayout layout;
  layout.colorChannels = channels;
  layout.type = type;
  return layout;
}

// A smooth gradient with some texture, so that no one colour dominates.
std::vector<std::uint8_t> sourcePixels(const color::BufferLayout& layout) {
  std::vector<std::uint8_t> bytes(std::size_t(kWidth * kHeight) * std::size_t(layout.bytesPerPixel()));
  if (layout.type == color::SampleType::Float32) {
    // Floats in 0..1 (opaque where there is alpha).
    auto* samples = reinterpret_cast<float*>(bytes.data());
    const std::size_t stride = std::size_t(layout.samplesPerPixel());
    for (std::size_t i = 0; i < bytes.size() / 4; ++i)
      samples[i] = layout.hasAlpha && i % stride == stride - 1
                       ? 1.0f
                       : float((i * 7 + (i / 18000) * 3 + (i >> 9)) & 0xff) / 255.0f;
    return bytes;
  }
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = std::uint8_t((i * 7 + (i / 18000) * 3 + (i >> 9)) & 0xff);
  return bytes;
}

void convertImage(benchmark::State& state, color::NamedProfile from, color::BufferLayout in,
                  color::NamedProfile to, color::BufferLayout out) {
  auto transform =
      color::Transform::get(color::IccProfile::named(from), in, color::IccProfile::named(to), out);
  if (!transform) {
    state.SkipWithError("no transform (profile missing?)");
    return;
  }
  auto source = sourcePixels(in);
  std::vector<std::uint8_t> destination(std::size_t(kWidth * kHeight) * std::size_t(out.bytesPerPixel()));
  for (auto _ : state) {
    transform->convert(source.data(), std::size_t(kWidth * in.bytesPerPixel()), destination.data(),
                       std::size_t(kWidth * out.bytesPerPixel()), kWidth, kHeight);
    benchmark::DoNotOptimize(destination.data());
  }
  state.counters["megapixels_per_second"] = benchmark::Counter(
      double(state.iterations()) * double(kWidth * kHeight) / 1e6, benchmark::Counter::kIsRate);
}

void RGB8ToCMYK8(benchmark::State& state) {
  convertImage(state, color::NamedProfile::SRGB, layoutOf(3, color::SampleType::UInt8),
               color::NamedProfile::GenericCMYK, layoutOf(4, color::SampleType::UInt8));
}

void RGB8ToGray16(benchmark::State& state) {
  convertImage(state, color::NamedProfile::SRGB, layoutOf(3, color::SampleType::UInt8),
               color::NamedProfile::GrayGamma22, layoutOf(1, color::SampleType::UInt16));
}

// The exact (unresampled) path taken between two RGB matrix/shaper profiles
// at 16 bits.
void RGB16ToAdobeRGB16(benchmark::State& state) {
  convertImage(state, color::NamedProfile::SRGB, layoutOf(3, color::SampleType::UInt16),
               color::NamedProfile::AdobeRGB1998, layoutOf(3, color::SampleType::UInt16));
}

// Premultiplied 8-bit RGBA between two RGB profiles: staged, divided by
// alpha to levels before lcms2 and multiplied after.
void PremultipliedSRGB8ToAdobeRGB8(benchmark::State& state) {
  color::BufferLayout layout = layoutOf(3, color::SampleType::UInt8);
  layout.hasAlpha = layout.premultiplied = true;
  convertImage(state, color::NamedProfile::SRGB, layout, color::NamedProfile::AdobeRGB1998, layout);
}

// The filter graph's conversions: 8-bit sRGB sources into the generic RGB
// working space (float), and working-space floats out into sRGB float (the
// drawing layer's form) and 8-bit.
void SRGB8ToGenericFloat(benchmark::State& state) {
  color::BufferLayout in = layoutOf(3, color::SampleType::UInt8);
  in.hasAlpha = true;
  convertImage(state, color::NamedProfile::SRGB, in, color::NamedProfile::GenericRGB,
               layoutOf(3, color::SampleType::Float32));
}

void GenericFloatToSRGBFloat(benchmark::State& state) {
  color::BufferLayout layout = layoutOf(3, color::SampleType::Float32);
  layout.hasAlpha = true;
  convertImage(state, color::NamedProfile::GenericRGB, layout, color::NamedProfile::SRGB, layout);
}

void GenericFloatToSRGB8(benchmark::State& state) {
  color::BufferLayout in = layoutOf(3, color::SampleType::Float32),
                      out = layoutOf(3, color::SampleType::UInt8);
  in.hasAlpha = out.hasAlpha = true;
  convertImage(state, color::NamedProfile::GenericRGB, in, color::NamedProfile::SRGB, out);
}

// One band of a filter draw stored into an 8-bit context, on one thread
// and in cache (1600 x 160 pixels), with about a seventh of the samples
// pushed outside 0..1 as a saturation boost leaves them.
void GenericFloatToSRGB8Band(benchmark::State& state) {
  color::BufferLayout in = layoutOf(3, color::SampleType::Float32),
                      out = layoutOf(3, color::SampleType::UInt8);
  in.hasAlpha = out.hasAlpha = true;
  auto transform = color::Transform::get(color::IccProfile::named(color::NamedProfile::GenericRGB), in,
                                         color::IccProfile::named(color::NamedProfile::SRGB), out);
  const std::int64_t w = 1600, h = 160;
  std::vector<float> source(std::size_t(w * h) * 4);
  for (std::size_t i = 0; i < source.size(); ++i)
    source[i] = i % 4 == 3 ? 1.0f : float(int((i * 7 + (i >> 9)) % 300) - 22) / 255.0f;
  std::vector<std::uint8_t> destination(std::size_t(w * h) * 4);
  for (auto _ : state) {
    for (std::int64_t y = 0; y < h; ++y)
      transform->convertRow(source.data() + std::size_t(y * w) * 4,
                            destination.data() + std::size_t(y * w) * 4, w);
    benchmark::DoNotOptimize(destination.data());
  }
  state.counters["megapixels_per_second"] =
      benchmark::Counter(double(state.iterations()) * double(w * h) / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK(GenericFloatToSRGB8Band)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(SRGB8ToGenericFloat)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GenericFloatToSRGBFloat)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GenericFloatToSRGB8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RGB8ToCMYK8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RGB8ToGray16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RGB16ToAdobeRGB16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PremultipliedSRGB8ToAdobeRGB8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

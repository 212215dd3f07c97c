// Pixel work of a Transform: lcms2 converts the colour samples; alpha,
// padding, premultiplication and the 0..1 scale of float CMYK are handled
// here, in chunks of pixels staged on the stack.

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/color/transform.h"

#include "platform/color/matrix_shaper_path.h"
#include "platform/color/straight_level.h"
#include "platform/foundation/parallel.h"

namespace color {
namespace {

constexpr int kChunkPixels = 256;
constexpr int kMaxBytesPerPixel = 5 * 4;
// Below this many pixels a rectangle is converted on the calling thread.
constexpr std::int64_t kParallelPixels = 1 << 16;
// lcms2 keeps float CMYK as ink percentages.
constexpr float kInkScale = 100.0f;

template <typename T>
struct Sample;

template <>
struct Sample<std::uint8_t> {
  static float toUnit(std::uint8_t v) { return float(v) * (1.0f / 255.0f); }
  static std::uint8_t fromUnit(float v) { return std::uint8_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); }
  static constexpr float kMax = 255.0f;
};

template <>
struct Sample<std::uint16_t> {
  static float toUnit(std::uint16_t v) { return float(v) * (1.0f / 65535.0f); }
  static std::uint16_t fromUnit(float v) {
    return std::uint16_t(std::clamp(v, 0.0f, 1.0f) * 65535.0f + 0.5f);
  }
  static constexpr float kMax = 65535.0f;
};

template <>
struct Sample<float> {
  static float toUnit(float v) { return v; }
  static float fromUnit(float v) { return v; }
};

struct Offsets {
  int colour;  // index of the first colour sample in a pixel
  int extra;   // index of the alpha or padding sample
  int stride;  // samples per pixel
};

Offsets offsetsOf(const BufferLayout& layout) {
  bool extra = layout.hasAlpha || layout.padding;
  int first = extra && layout.alphaFirst ? 1 : 0;
  return {first, layout.alphaFirst ? 0 : layout.colorChannels, layout.samplesPerPixel()};
}

template <typename T>
void readAlpha(const std::uint8_t* bytes, const BufferLayout& layout, int pixels, float* alpha) {
  auto* samples = reinterpret_cast<const T*>(bytes);
  Offsets at = offsetsOf(layout);
  for (int i = 0; i < pixels; ++i) alpha[i] = Sample<T>::toUnit(samples[i * at.stride + at.extra]);
}

// Divides colour by alpha to the nearest level (8-bit halves up), at most
// the largest level; fully transparent pixels become black.
template <typename T>
void unpremultiply(std::uint8_t* bytes, const BufferLayout& layout, int pixels, const float* alpha) {
  auto* samples = reinterpret_cast<T*>(bytes);
  Offsets at = offsetsOf(layout);
  for (int i = 0; i < pixels; ++i) {
    float a = alpha[i];
    if (a == 1.0f) continue;
    T* colour = samples + i * at.stride + at.colour;
    float factor = a > 0.0f ? 1.0f / a : 0.0f;
    if constexpr (std::is_same_v<T, std::uint8_t>) factor = straightEightBitFactor(factor);
    for (int c = 0; c < layout.colorChannels; ++c) {
      if constexpr (std::is_same_v<T, float>) {
        colour[c] = colour[c] * factor;
      } else {
        colour[c] = T(std::min(float(colour[c]) * factor + 0.5f, Sample<T>::kMax));
      }
    }
  }
}

template <typename T>
void premultiply(std::uint8_t* bytes, const BufferLayout& layout, int pixels, const float* alpha) {
  auto* samples = reinterpret_cast<T*>(bytes);
  Offsets at = offsetsOf(layout);
  for (int i = 0; i < pixels; ++i) {
    T* colour = samples + i * at.stride + at.colour;
    float a = alpha ? alpha[i] : 1.0f;
    if (a == 1.0f) continue;
    for (int c = 0; c < layout.colorChannels; ++c) {
      if constexpr (std::is_same_v<T, float>) {
        colour[c] = colour[c] * a;
      } else {
        colour[c] = T(float(colour[c]) * std::clamp(a, 0.0f, 1.0f) + 0.5f);
      }
    }
  }
}

// Alpha from the source (or opaque), or the padding value, into the extra
// sample of every pixel.
template <typename T>
void writeExtra(std::uint8_t* bytes, const BufferLayout& layout, int pixels, const float* alpha) {
  auto* samples = reinterpret_cast<T*>(bytes);
  Offsets at = offsetsOf(layout);
  for (int i = 0; i < pixels; ++i)
    samples[i * at.stride + at.extra] = Sample<T>::fromUnit(alpha && layout.hasAlpha ? alpha[i] : 1.0f);
}

void scaleColour(std::uint8_t* bytes, const BufferLayout& layout, int pixels, float factor) {
  auto* samples = reinterpret_cast<float*>(bytes);
  Offsets at = offsetsOf(layout);
  for (int i = 0; i < pixels; ++i)
    for (int c = 0; c < layout.colorChannels; ++c) samples[i * at.stride + at.colour + c] *= factor;
}

// Calls body.template operator()<T>() with T the layout's sample type.
template <typename Body>
void withSampleType(SampleType type, Body&& body) {
  switch (type) {
    case SampleType::UInt8:
      body.template operator()<std::uint8_t>();
      break;
    case SampleType::UInt16:
      body.template operator()<std::uint16_t>();
      break;
    case SampleType::Float32:
      body.template operator()<float>();
      break;
  }
}

bool isFloatCMYK(const BufferLayout& layout) {
  return layout.type == SampleType::Float32 && layout.colorChannels == 4;
}

// Float colour samples to 16-bit ones at the same positions (clamped).
void floatToSixteenBit(const std::uint8_t* floats, std::uint8_t* wide, const BufferLayout& layout,
                       int pixels) {
  auto* in = reinterpret_cast<const float*>(floats);
  auto* out = reinterpret_cast<std::uint16_t*>(wide);
  Offsets at = offsetsOf(layout);
  for (int i = 0; i < pixels; ++i)
    for (int c = 0; c < layout.colorChannels; ++c) {
      int index = i * at.stride + at.colour + c;
      out[index] = Sample<std::uint16_t>::fromUnit(in[index]);
    }
}

void sixteenBitToFloat(const std::uint8_t* wide, std::uint8_t* floats, const BufferLayout& layout,
                       int pixels) {
  auto* in = reinterpret_cast<const std::uint16_t*>(wide);
  auto* out = reinterpret_cast<float*>(floats);
  Offsets at = offsetsOf(layout);
  for (int i = 0; i < pixels; ++i)
    for (int c = 0; c < layout.colorChannels; ++c) {
      int index = i * at.stride + at.colour + c;
      out[index] = Sample<std::uint16_t>::toUnit(in[index]);
    }
}

}  // namespace

Transform::Transform(void* handle, BufferLayout source, BufferLayout destination)
    : handle_(handle), sourceLayout_(source), destinationLayout_(destination) {
  sourceNeedsStaging_ = (source.hasAlpha && source.premultiplied) || isFloatCMYK(source);
  destinationNeedsAlpha_ = destination.hasAlpha || destination.padding;
}

Transform::~Transform() {
  if (handle_) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(handle_));
}

void Transform::convertChunk(const std::uint8_t* source, std::uint8_t* destination, int pixels) const {
  const BufferLayout& in = sourceLayout_;
  const BufferLayout& out = destinationLayout_;
  float alpha[kChunkPixels];
  if (in.hasAlpha) withSampleType(in.type, [&]<typename T>() { readAlpha<T>(source, in, pixels, alpha); });

  if (exact_) {
    // The exact path divides and multiplies by alpha itself, unstaged.
    exact_->convert(source, in, destination, out, pixels, in.hasAlpha ? alpha : nullptr);
    if (destinationNeedsAlpha_)
      withSampleType(out.type, [&]<typename T>() {
        writeExtra<T>(destination, out, pixels, in.hasAlpha ? alpha : nullptr);
      });
    return;
  }

  const std::uint8_t* input = source;
  alignas(16) std::uint8_t staging[kChunkPixels * kMaxBytesPerPixel];
  if (sourceNeedsStaging_) {
    std::memcpy(staging, source, std::size_t(pixels) * std::size_t(in.bytesPerPixel()));
    if (in.hasAlpha && in.premultiplied)
      withSampleType(in.type, [&]<typename T>() { unpremultiply<T>(staging, in, pixels, alpha); });
    if (isFloatCMYK(in) && !floatViaSixteenBit_) scaleColour(staging, in, pixels, kInkScale);
    input = staging;
  }

  if (floatViaSixteenBit_) {
    alignas(16) std::uint8_t wideIn[kChunkPixels * kMaxBytesPerPixel];
    alignas(16) std::uint8_t wideOut[kChunkPixels * kMaxBytesPerPixel];
    if (in.type == SampleType::Float32) {
      floatToSixteenBit(input, wideIn, in, pixels);
      input = wideIn;
    }
    bool floatOut = out.type == SampleType::Float32;
    cmsDoTransform(static_cast<cmsHTRANSFORM>(handle_), input, floatOut ? wideOut : destination,
                   cmsUInt32Number(pixels));
    if (floatOut) sixteenBitToFloat(wideOut, destination, out, pixels);
  } else {
    cmsDoTransform(static_cast<cmsHTRANSFORM>(handle_), input, destination, cmsUInt32Number(pixels));
  }

  if (isFloatCMYK(out) && !floatViaSixteenBit_) scaleColour(destination, out, pixels, 1.0f / kInkScale);
  if (!destinationNeedsAlpha_) return;
  const float* sourceAlpha = in.hasAlpha ? alpha : nullptr;
  withSampleType(out.type, [&]<typename T>() {
    writeExtra<T>(destination, out, pixels, sourceAlpha);
    if (out.hasAlpha && out.premultiplied && sourceAlpha)
      premultiply<T>(destination, out, pixels, sourceAlpha);
  });
}

void Transform::convertRow(const void* source, void* destination, std::int64_t pixels) const {
  auto* in = static_cast<const std::uint8_t*>(source);
  auto* out = static_cast<std::uint8_t*>(destination);
  if (copies_) {
    if (pixels > 0 && in != out)
      std::memmove(out, in, std::size_t(pixels) * std::size_t(sourceLayout_.bytesPerPixel()));
    return;
  }
  auto inBytes = std::size_t(sourceLayout_.bytesPerPixel());
  auto outBytes = std::size_t(destinationLayout_.bytesPerPixel());
  for (std::int64_t done = 0; done < pixels; done += kChunkPixels)
    convertChunk(in + std::size_t(done) * inBytes, out + std::size_t(done) * outBytes,
                 int(std::min<std::int64_t>(kChunkPixels, pixels - done)));
}

void Transform::convert(const void* source, std::size_t sourceBytesPerRow, void* destination,
                        std::size_t destinationBytesPerRow, std::int64_t width, std::int64_t height) const {
  if (width <= 0 || height <= 0) return;
  auto* in = static_cast<const std::uint8_t*>(source);
  auto* out = static_cast<std::uint8_t*>(destination);
  auto rows = [&](std::int64_t begin, std::int64_t end) {
    for (std::int64_t y = begin; y < end; ++y)
      convertRow(in + std::size_t(y) * sourceBytesPerRow, out + std::size_t(y) * destinationBytesPerRow,
                 width);
  };
  if (width * height < kParallelPixels) {
    rows(0, height);
    return;
  }
  std::int64_t grain = std::max<std::int64_t>(1, 16384 / width);
  foundation::parallelForRange(0, height, rows, grain);
}

}  // namespace color

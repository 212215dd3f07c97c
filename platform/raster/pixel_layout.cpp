#include "platform/raster/pixel_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/color/straight_level.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace raster {

namespace {

template <typename T>
inline float readSample(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  if constexpr (sizeof(T) == 1) return float(v) * (1.0f / 255.0f);
  if constexpr (sizeof(T) == 2) return float(v) * (1.0f / 65535.0f);
  return float(v);
}

template <typename T>
inline void writeSample(std::uint8_t* p, float value) {
  if constexpr (sizeof(T) == 4) {
    T v = value;
    std::memcpy(p, &v, sizeof(T));
  } else {
    constexpr float maxValue = sizeof(T) == 1 ? 255.0f : 65535.0f;
    float scaled = value * maxValue + 0.5f;
    scaled = scaled > 0.0f ? (scaled < maxValue ? scaled : maxValue) : 0.0f;  // NaN → 0
    T v = T(scaled);
    std::memcpy(p, &v, sizeof(T));
  }
}

template <typename T>
void loadTyped(const std::uint8_t* src, const PixelFormat& f, std::int64_t count, float* out) {
  const int bytes = int(sizeof(T));
  if (f.alpha == AlphaInfo::Only) {
    for (std::int64_t i = 0; i < count; ++i) out[i] = readSample<T>(src + i * bytes);
    return;
  }
  const int nc = f.colorComponents;
  const int stored = f.componentsPerPixel();
  const bool extraFirst = f.alphaFirst();
  const int colorOffset = (f.alpha != AlphaInfo::None && extraFirst) ? 1 : 0;
  const int alphaIndex = extraFirst ? 0 : nc;
  const bool hasAlpha = f.hasAlpha();
  const bool straight = f.alpha == AlphaInfo::Last || f.alpha == AlphaInfo::First;
  const std::size_t pixelBytes = std::size_t(stored) * bytes;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint8_t* p = src + std::size_t(i) * pixelBytes;
    float* o = out + i * (nc + 1);
    float a = hasAlpha ? readSample<T>(p + alphaIndex * bytes) : 1.0f;
    for (int c = 0; c < nc; ++c) {
      float v = readSample<T>(p + (colorOffset + c) * bytes);
      // Integer premultiplied colour above its alpha (a damaged file) is
      // limited to it, so that dividing by alpha never gives more than 1;
      // float colour may exceed it on purpose.
      if constexpr (sizeof(T) < 4) {
        o[c] = straight ? v * a : std::min(v, a);
      } else {
        o[c] = straight ? v * a : v;
      }
    }
    o[nc] = a;
  }
}

template <typename T>
void storeTyped(const float* in, const PixelFormat& f, std::int64_t count, std::uint8_t* dst) {
  const int bytes = int(sizeof(T));
  if (f.alpha == AlphaInfo::Only) {
    for (std::int64_t i = 0; i < count; ++i) writeSample<T>(dst + i * bytes, in[i]);
    return;
  }
  const int nc = f.colorComponents;
  const int stored = f.componentsPerPixel();
  const bool extraFirst = f.alphaFirst();
  const int colorOffset = (f.alpha != AlphaInfo::None && extraFirst) ? 1 : 0;
  const int extraIndex = extraFirst ? 0 : nc;
  const bool hasAlpha = f.hasAlpha();
  const bool padding = f.hasPadding();
  const bool straight = f.alpha == AlphaInfo::Last || f.alpha == AlphaInfo::First;
  const std::size_t pixelBytes = std::size_t(stored) * bytes;
  for (std::int64_t i = 0; i < count; ++i) {
    std::uint8_t* p = dst + std::size_t(i) * pixelBytes;
    const float* v = in + i * (nc + 1);
    float a = v[nc];
    float inverse = 1.0f;
    if (straight) inverse = a > 0.0f ? 1.0f / a : 0.0f;
    if constexpr (sizeof(T) == 1) inverse = color::straightEightBitFactor(inverse);
    for (int c = 0; c < nc; ++c) writeSample<T>(p + (colorOffset + c) * bytes, v[c] * inverse);
    if (hasAlpha) writeSample<T>(p + extraIndex * bytes, a);
    if (padding) writeSample<T>(p + extraIndex * bytes, 1.0f);
  }
}

// 8-bit RGBA (premultiplied, or opaque with padding) into the working form:
// each byte scaled to [0, 1], colour at most its alpha (damaged files can
// hold more; dividing by alpha would then give straight colour above 1),
// the padding byte read as opaque. Four pixels at a time where SSE2 is
// there, with the same results as one at a time.
void loadRGBA8(const std::uint8_t* source, std::int64_t count, bool opaque, float* out) {
  std::int64_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i padding = opaque ? _mm_set1_epi32(int(0xff000000u)) : zero;
  const __m128 scale = _mm_set1_ps(1.0f / 255.0f);
  for (; i + 4 <= count; i += 4) {
    __m128i pixels = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i * 4)), padding);
    __m128i alpha = _mm_srli_epi32(pixels, 24);
    alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 8));
    alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 16));
    pixels = _mm_min_epu8(pixels, alpha);
    const __m128i low = _mm_unpacklo_epi8(pixels, zero), high = _mm_unpackhi_epi8(pixels, zero);
    const __m128i words[4] = {_mm_unpacklo_epi16(low, zero), _mm_unpackhi_epi16(low, zero),
                              _mm_unpacklo_epi16(high, zero), _mm_unpackhi_epi16(high, zero)};
    for (int k = 0; k < 4; ++k)
      _mm_storeu_ps(out + (i + k) * 4, _mm_mul_ps(_mm_cvtepi32_ps(words[k]), scale));
  }
#endif
  for (; i < count; ++i) {
    const std::uint8_t* p = source + i * 4;
    const std::uint8_t a = opaque ? std::uint8_t(255) : p[3];
    for (int c = 0; c < 3; ++c) out[i * 4 + c] = float(std::min(p[c], a)) * (1.0f / 255.0f);
    out[i * 4 + 3] = float(a) * (1.0f / 255.0f);
  }
}

void load5(const std::uint8_t* src, std::int64_t count, float* out) {
  for (std::int64_t i = 0; i < count; ++i) {
    std::uint16_t v;
    std::memcpy(&v, src + i * 2, 2);
    out[i * 4 + 0] = float((v >> 10) & 31) * (1.0f / 31.0f);
    out[i * 4 + 1] = float((v >> 5) & 31) * (1.0f / 31.0f);
    out[i * 4 + 2] = float(v & 31) * (1.0f / 31.0f);
    out[i * 4 + 3] = 1.0f;
  }
}

void store5(const float* in, std::int64_t count, std::uint8_t* dst) {
  auto quantise = [](float value) {
    float scaled = value * 31.0f + 0.5f;
    scaled = scaled > 0.0f ? (scaled < 31.0f ? scaled : 31.0f) : 0.0f;
    return std::uint16_t(scaled);
  };
  for (std::int64_t i = 0; i < count; ++i) {
    const float* v = in + i * 4;
    std::uint16_t packed = std::uint16_t((quantise(v[0]) << 10) | (quantise(v[1]) << 5) | quantise(v[2]));
    std::memcpy(dst + i * 2, &packed, 2);
  }
}

}  // namespace

bool isValidImageFormat(const PixelFormat& f) {
  if (f.alpha == AlphaInfo::Only)
    return f.bitsPerComponent == 8 || f.bitsPerComponent == 16 || f.bitsPerComponent == 32;
  if (f.colorComponents != 1 && f.colorComponents != 3 && f.colorComponents != 4) return false;
  if (f.bitsPerComponent == 5) return f.colorComponents == 3 && f.alpha == AlphaInfo::NoneSkipFirst;
  return f.bitsPerComponent == 8 || f.bitsPerComponent == 16 || f.bitsPerComponent == 32;
}

void loadRow(const std::uint8_t* source, const PixelFormat& format, std::int64_t count, float* out) {
  if (format.bitsPerComponent == 8 && format.colorComponents == 3 &&
      (format.alpha == AlphaInfo::PremultipliedLast || format.alpha == AlphaInfo::NoneSkipLast)) {
    // The most common layout: a straight scale, colour at most its alpha.
    loadRGBA8(source, count, format.alpha == AlphaInfo::NoneSkipLast, out);
    return;
  }
  switch (format.bitsPerComponent) {
    case 5:
      load5(source, count, out);
      break;
    case 8:
      loadTyped<std::uint8_t>(source, format, count, out);
      break;
    case 16:
      loadTyped<std::uint16_t>(source, format, count, out);
      break;
    default:
      loadTyped<float>(source, format, count, out);
      break;
  }
}

void storeRow(const float* in, const PixelFormat& format, std::int64_t count, std::uint8_t* destination) {
  if (format.bitsPerComponent == 8 && format.colorComponents == 3 &&
      (format.alpha == AlphaInfo::PremultipliedLast || format.alpha == AlphaInfo::NoneSkipLast)) {
    // The most common layout: premultiplied values stored as they are, in
    // one loop the compiler vectorises; the padding byte is opaque.
    for (std::int64_t i = 0; i < count * 4; ++i) writeSample<std::uint8_t>(destination + i, in[i]);
    if (format.alpha == AlphaInfo::NoneSkipLast)
      for (std::int64_t i = 3; i < count * 4; i += 4) destination[i] = 255;
    return;
  }
  switch (format.bitsPerComponent) {
    case 5:
      store5(in, count, destination);
      break;
    case 8:
      storeTyped<std::uint8_t>(in, format, count, destination);
      break;
    case 16:
      storeTyped<std::uint16_t>(in, format, count, destination);
      break;
    default:
      storeTyped<float>(in, format, count, destination);
      break;
  }
}

}  // namespace raster

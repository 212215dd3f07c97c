#pragma once
// Internal to matrix_shaper_path.cpp: the two conversions the drawing code
// runs most, 8-bit RGBA into float RGBA and back, eight pixels at a time
// with AVX2 gathers from the same tables and in the same arithmetic order
// as the blocked path, so that the results are bit for bit the same.
// Colour samples only; the fourth sample of each pixel is written with
// something the caller overwrites (alpha or padding). Pixel lanes are kept
// in the order the float transposes leave them (0 2 4 6 1 3 5 7).

#include <immintrin.h>

#include <atomic>
#include <cstdint>

namespace color::avx2 {

struct Tables {
  const float* linear[3];   // 8-bit (256) or 16-bit (65536) linearisation per channel
  const float* linear16[3];  // 16-bit linearisation, read between levels
  const float* encoded[3];  // octave tables of the inverse curves
  const float* matrix;      // 3 x 3, rows are destination channels
};

struct Bits {
  std::int32_t lowest;       // the octave table's first value
  std::int32_t uniformFrom;  // where float input reads the 16-bit table
  int fractionBits;
};

// Cleared by tests to compare the blocked path with this one.
inline std::atomic<bool> allowed{true};

inline bool available() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has && allowed.load(std::memory_order_relaxed);
}

[[gnu::target("avx2")]] inline void loadFloats(const float* p, __m256& r, __m256& g, __m256& b, __m256& a) {
  const __m256 v0 = _mm256_loadu_ps(p), v1 = _mm256_loadu_ps(p + 8), v2 = _mm256_loadu_ps(p + 16),
               v3 = _mm256_loadu_ps(p + 24);
  const __m256 t0 = _mm256_unpacklo_ps(v0, v1), t1 = _mm256_unpackhi_ps(v0, v1);
  const __m256 t2 = _mm256_unpacklo_ps(v2, v3), t3 = _mm256_unpackhi_ps(v2, v3);
  r = _mm256_shuffle_ps(t0, t2, 0x44);
  g = _mm256_shuffle_ps(t0, t2, 0xEE);
  b = _mm256_shuffle_ps(t1, t3, 0x44);
  a = _mm256_shuffle_ps(t1, t3, 0xEE);
}

[[gnu::target("avx2")]] inline void storeFloats(float* p, __m256 r, __m256 g, __m256 b, __m256 a) {
  const __m256 t0 = _mm256_unpacklo_ps(r, g), t1 = _mm256_unpacklo_ps(b, a);
  const __m256 t2 = _mm256_unpackhi_ps(r, g), t3 = _mm256_unpackhi_ps(b, a);
  _mm256_storeu_ps(p, _mm256_shuffle_ps(t0, t1, 0x44));
  _mm256_storeu_ps(p + 8, _mm256_shuffle_ps(t0, t1, 0xEE));
  _mm256_storeu_ps(p + 16, _mm256_shuffle_ps(t2, t3, 0x44));
  _mm256_storeu_ps(p + 24, _mm256_shuffle_ps(t2, t3, 0xEE));
}

[[gnu::target("avx2")]] inline __m256 lerp(const float* table, __m256i index, __m256 fraction) {
  const __m256 low = _mm256_i32gather_ps(table, index, 4);
  const __m256 high = _mm256_i32gather_ps(table + 1, index, 4);
  return _mm256_add_ps(low, _mm256_mul_ps(_mm256_sub_ps(high, low), fraction));
}

// The octave table read at values clamped into its range.
[[gnu::target("avx2")]] inline __m256 octave(const float* table, __m256i clamped, const Bits& bits) {
  const __m256i offset = _mm256_sub_epi32(clamped, _mm256_set1_epi32(bits.lowest));
  const __m256i index = _mm256_srli_epi32(offset, bits.fractionBits);
  const __m256i low = _mm256_and_si256(offset, _mm256_set1_epi32((1 << bits.fractionBits) - 1));
  const __m256 fraction =
      _mm256_mul_ps(_mm256_cvtepi32_ps(low), _mm256_set1_ps(1.0f / float(1u << bits.fractionBits)));
  return lerp(table, index, fraction);
}

[[gnu::target("avx2")]] inline void mix(const float* m, const __m256 (&linear)[3], __m256 (&mixed)[3]) {
  for (int c = 0; c < 3; ++c)
    mixed[c] = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(m[c * 3]), linear[0]),
                                           _mm256_mul_ps(_mm256_set1_ps(m[c * 3 + 1]), linear[1])),
                             _mm256_mul_ps(_mm256_set1_ps(m[c * 3 + 2]), linear[2]));
}

// a > 0 ? 1 / a : 0
[[gnu::target("avx2")]] inline __m256 inverseOf(__m256 a) {
  const __m256 positive = _mm256_cmp_ps(a, _mm256_setzero_ps(), _CMP_GT_OQ);
  return _mm256_and_ps(positive, _mm256_div_ps(_mm256_set1_ps(1.0f), a));
}

[[gnu::target("avx2")]] inline __m256 copySign(__m256 magnitude, __m256 sign) {
  const __m256 signBit = _mm256_set1_ps(-0.0f);
  return _mm256_or_ps(_mm256_andnot_ps(signBit, magnitude), _mm256_and_ps(signBit, sign));
}

// Lanes whose mask is set get fix(lane value).
template <typename Fix>
[[gnu::target("avx2")]] inline __m256 patch(__m256 value, __m256 input, __m256i mask, Fix&& fix) {
  if (_mm256_testz_si256(mask, mask)) return value;
  alignas(32) float values[8], inputs[8];
  alignas(32) std::int32_t masks[8];
  _mm256_store_ps(values, value);
  _mm256_store_ps(inputs, input);
  _mm256_store_si256(reinterpret_cast<__m256i*>(masks), mask);
  for (int i = 0; i < 8; ++i)
    if (masks[i]) values[i] = fix(inputs[i]);
  return _mm256_load_ps(values);
}

// Encoded float values to linear ones by the 16-bit table, interpolated;
// values outside [uniformFrom, 1] go through toLinear(value).
template <typename ToLinear>
[[gnu::target("avx2")]] inline __m256 linearOfEncoded(const float* table, __m256 encoded, const Bits& bits,
                                                      ToLinear&& toLinear) {
  const __m256i one = _mm256_set1_epi32(0x3f800000);
  const __m256i magnitude = _mm256_and_si256(_mm256_castps_si256(encoded), _mm256_set1_epi32(0x7fffffff));
  const __m256i outside = _mm256_or_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(bits.uniformFrom), magnitude),
                                          _mm256_cmpgt_epi32(magnitude, one));
  const __m256 position =
      _mm256_mul_ps(_mm256_castsi256_ps(_mm256_min_epi32(magnitude, one)), _mm256_set1_ps(65535.0f));
  const __m256i at = _mm256_min_epi32(_mm256_cvttps_epi32(position), _mm256_set1_epi32(65534));
  const __m256 fraction = _mm256_sub_ps(position, _mm256_cvtepi32_ps(at));
  const __m256 value = copySign(lerp(table, at, fraction), encoded);
  return patch(value, encoded, outside, toLinear);
}

// 8-bit RGBx (colour first) into float RGBx; premultiplied input is divided
// by its alpha in float and read between levels, premultiplied output
// multiplied by it. Converts whole groups of eight and returns how many
// pixels it converted. toEncoded(channel, linear) handles values outside
// the octave table, toLinear(channel, encoded) straight values below the
// 16-bit table's uniform range.
template <typename ToEncoded, typename ToLinear>
[[gnu::target("avx2")]] int eightBitToFloat(const Tables& t, const Bits& bits, const std::uint8_t* in,
                                            float* out, int pixels, bool unpremultiply, bool premultiply,
                                            ToEncoded&& toEncoded, ToLinear&& toLinear) {
  const int groups = pixels / 8;
  const __m256i order = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  const __m256i byteMask = _mm256_set1_epi32(0xff);
  const __m256i magnitudeMask = _mm256_set1_epi32(0x7fffffff);
  const __m256i lowest = _mm256_set1_epi32(bits.lowest), one = _mm256_set1_epi32(0x3f800000);
  for (int g = 0; g < groups; ++g) {
    __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + std::size_t(g) * 32));
    px = _mm256_permutevar8x32_epi32(px, order);
    __m256i samples[3] = {_mm256_and_si256(px, byteMask),
                          _mm256_and_si256(_mm256_srli_epi32(px, 8), byteMask),
                          _mm256_and_si256(_mm256_srli_epi32(px, 16), byteMask)};
    const __m256 alpha =
        _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(px, 24)), _mm256_set1_ps(1.0f / 255.0f));
    __m256 linear[3], mixed[3], encoded[3];
    if (unpremultiply) {
      const __m256 factor = inverseOf(alpha);
      for (int c = 0; c < 3; ++c) {
        const __m256 straight = _mm256_min_ps(
            _mm256_mul_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(samples[c]), _mm256_set1_ps(1.0f / 255.0f)), factor),
            _mm256_set1_ps(1.0f));
        linear[c] = linearOfEncoded(t.linear16[c], straight, bits, [&](float x) { return toLinear(c, x); });
      }
    } else {
      for (int c = 0; c < 3; ++c) linear[c] = _mm256_i32gather_ps(t.linear[c], samples[c], 4);
    }
    mix(t.matrix, linear, mixed);
    for (int c = 0; c < 3; ++c) {
      const __m256i magnitude = _mm256_and_si256(_mm256_castps_si256(mixed[c]), magnitudeMask);
      // Outside [lowest, 1]: below, above or NaN.
      const __m256i outside =
          _mm256_or_si256(_mm256_cmpgt_epi32(lowest, magnitude), _mm256_cmpgt_epi32(magnitude, one));
      const __m256i clamped = _mm256_min_epi32(_mm256_max_epi32(magnitude, lowest), one);
      __m256 value = copySign(octave(t.encoded[c], clamped, bits), mixed[c]);
      value = patch(value, mixed[c], outside, [&](float x) { return toEncoded(c, x); });
      encoded[c] = premultiply ? _mm256_mul_ps(value, alpha) : value;
    }
    storeFloats(out + std::size_t(g) * 32, encoded[0], encoded[1], encoded[2], alpha);
  }
  return groups * 8;
}

// Float RGBx (colour first) into 8-bit RGBx, the other way round.
// toLinear(channel, encoded) handles values outside [uniformFrom, 1].
template <typename ToLinear>
[[gnu::target("avx2")]] int floatToEightBit(const Tables& t, const Bits& bits, const float* in,
                                            std::uint8_t* out, int pixels, bool unpremultiply,
                                            bool premultiply, ToLinear&& toLinear) {
  const int groups = pixels / 8;
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const __m256i lowest = _mm256_set1_epi32(bits.lowest), one = _mm256_set1_epi32(0x3f800000);
  const __m256i infinity = _mm256_set1_epi32(0x7f800000);
  for (int g = 0; g < groups; ++g) {
    __m256 samples[4];
    loadFloats(in + std::size_t(g) * 32, samples[0], samples[1], samples[2], samples[3]);
    const __m256 alpha = samples[3];
    if (unpremultiply) {
      const __m256 factor = inverseOf(alpha);
      for (int c = 0; c < 3; ++c) samples[c] = _mm256_mul_ps(samples[c], factor);
    }
    __m256 linear[3], mixed[3];
    for (int c = 0; c < 3; ++c)
      linear[c] = linearOfEncoded(t.linear16[c], samples[c], bits, [&](float x) { return toLinear(c, x); });
    mix(t.matrix, linear, mixed);
    const __m256 scale = _mm256_min_ps(_mm256_max_ps(alpha, _mm256_setzero_ps()), _mm256_set1_ps(1.0f));
    __m256i packed = _mm256_setzero_si256();
    for (int c = 0; c < 3; ++c) {
      const __m256i signedBits = _mm256_castps_si256(mixed[c]);
      // Inside [lowest, infinity]; negative values and NaN give 0.
      const __m256i inside = _mm256_andnot_si256(
          _mm256_or_si256(_mm256_cmpgt_epi32(lowest, signedBits), _mm256_cmpgt_epi32(signedBits, infinity)),
          _mm256_set1_epi32(-1));
      const __m256i clamped = _mm256_min_epi32(_mm256_max_epi32(signedBits, lowest), one);
      const __m256 value = octave(t.encoded[c], clamped, bits);
      const __m256 unit = _mm256_castsi256_ps(_mm256_min_epi32(_mm256_castps_si256(value), one));
      const __m256 insideOne = _mm256_and_ps(_mm256_castsi256_ps(inside), _mm256_set1_ps(1.0f));
      __m256 scaled = _mm256_add_ps(_mm256_mul_ps(_mm256_mul_ps(unit, _mm256_set1_ps(255.0f)), insideOne),
                                    _mm256_set1_ps(0.5f));
      if (premultiply)
        scaled = _mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_cvttps_epi32(scaled)), scale),
                               _mm256_set1_ps(0.5f));
      packed = _mm256_or_si256(packed, _mm256_slli_epi32(_mm256_cvttps_epi32(scaled), 8 * c));
    }
    packed = _mm256_permutevar8x32_epi32(packed, order);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + std::size_t(g) * 32), packed);
  }
  return groups * 8;
}

}  // namespace color::avx2

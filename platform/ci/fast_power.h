#pragma once
// sign(x) |x|^p on the four floats of one pixel at once, for the per-pixel
// colour kernels: 2^(p log2 |x|) with polynomial log2 and exp2, about ten
// times cheaper than one powf per sample. The result is powf's but for a
// rare last-bit rounding (relative error below 1e-7), and it never
// decreases as |x| grows, over all finite floats for 0 < p <= 64; zero,
// infinities and NaN map as powf maps them. Other powers use powf.

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "platform/ci/color_kernel.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace ci::colorkernel {

inline constexpr float kFastPowerMax = 64.0f;

inline bool fastPowerApplies(float p) { return p > 0.0f && p <= kFastPowerMax; }

#if defined(__SSE2__)

namespace detail {

// a^p for two positive normal doubles: p log2 a through the odd series of
// atanh (mantissa in [√½, √2), error < 1e-9), then 2^y through the Taylor
// series of e^f, f in [-½ ln 2, ½ ln 2] (relative error < 3e-10). Both
// truncated series err towards the boundaries of their ranges in the
// direction that keeps the result increasing across them, and the double
// rounding errors stay far below one float step, so the rounded floats
// never decrease as a increases.
inline __m128d positivePower2(__m128d a, __m128d p) {
  const __m128i bits = _mm_castpd_si128(a);
  const __m128i exponentBits = _mm_srli_epi64(bits, 52);
  __m128d exponent =
      _mm_sub_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(exponentBits, _MM_SHUFFLE(3, 3, 2, 0))), _mm_set1_pd(1023.0));
  __m128d m = _mm_castsi128_pd(_mm_or_si128(_mm_and_si128(bits, _mm_set1_epi64x(0x000FFFFFFFFFFFFFLL)),
                                            _mm_set1_epi64x(0x3FF0000000000000LL)));
  const __m128d high = _mm_cmpgt_pd(m, _mm_set1_pd(1.4142135623730951));
  const __m128d one = _mm_set1_pd(1.0);
  m = _mm_or_pd(_mm_andnot_pd(high, m), _mm_and_pd(high, _mm_mul_pd(m, _mm_set1_pd(0.5))));
  exponent = _mm_add_pd(exponent, _mm_and_pd(high, one));
  const __m128d t = _mm_div_pd(_mm_sub_pd(m, one), _mm_add_pd(m, one));
  const __m128d t2 = _mm_mul_pd(t, t);
  constexpr double k = 2.0 / 0.6931471805599453;
  __m128d s = _mm_set1_pd(k / 11);
  s = _mm_add_pd(_mm_mul_pd(s, t2), _mm_set1_pd(k / 9));
  s = _mm_add_pd(_mm_mul_pd(s, t2), _mm_set1_pd(k / 7));
  s = _mm_add_pd(_mm_mul_pd(s, t2), _mm_set1_pd(k / 5));
  s = _mm_add_pd(_mm_mul_pd(s, t2), _mm_set1_pd(k / 3));
  s = _mm_add_pd(_mm_mul_pd(s, t2), _mm_set1_pd(k));
  __m128d y = _mm_mul_pd(p, _mm_add_pd(exponent, _mm_mul_pd(s, t)));
  // Past these bounds the float result is 0 or infinite anyway.
  y = _mm_min_pd(_mm_max_pd(y, _mm_set1_pd(-200.0)), _mm_set1_pd(200.0));
  const __m128i n = _mm_cvtpd_epi32(y);  // nearest
  const __m128d f = _mm_mul_pd(_mm_sub_pd(y, _mm_cvtepi32_pd(n)), _mm_set1_pd(0.6931471805599453));
  __m128d e = _mm_set1_pd(1.0 / 40320);
  e = _mm_add_pd(_mm_mul_pd(e, f), _mm_set1_pd(1.0 / 5040));
  e = _mm_add_pd(_mm_mul_pd(e, f), _mm_set1_pd(1.0 / 720));
  e = _mm_add_pd(_mm_mul_pd(e, f), _mm_set1_pd(1.0 / 120));
  e = _mm_add_pd(_mm_mul_pd(e, f), _mm_set1_pd(1.0 / 24));
  e = _mm_add_pd(_mm_mul_pd(e, f), _mm_set1_pd(1.0 / 6));
  e = _mm_add_pd(_mm_mul_pd(e, f), _mm_set1_pd(0.5));
  e = _mm_add_pd(_mm_mul_pd(e, f), one);
  e = _mm_add_pd(_mm_mul_pd(e, f), one);
  const __m128i biased = _mm_unpacklo_epi32(_mm_add_epi32(n, _mm_set1_epi32(1023)), _mm_setzero_si128());
  return _mm_mul_pd(e, _mm_castsi128_pd(_mm_slli_epi64(biased, 52)));
}


// The same on four doubles with AVX2 and FMA (one pixel per call).
[[gnu::target("avx2,fma")]] inline __m256d positivePower4(__m256d a, __m256d p) {
  const __m256i bits = _mm256_castpd_si256(a);
  const __m256i exponentBits = _mm256_srli_epi64(bits, 52);
  const __m128i packed = _mm256_castsi256_si128(
      _mm256_permutevar8x32_epi32(exponentBits, _mm256_set_epi32(7, 7, 7, 7, 6, 4, 2, 0)));
  const __m256d one = _mm256_set1_pd(1.0);
  __m256d exponent = _mm256_sub_pd(_mm256_cvtepi32_pd(packed), _mm256_set1_pd(1023.0));
  __m256d m = _mm256_castsi256_pd(_mm256_or_si256(_mm256_and_si256(bits, _mm256_set1_epi64x(0x000FFFFFFFFFFFFFLL)),
                                                  _mm256_set1_epi64x(0x3FF0000000000000LL)));
  const __m256d high = _mm256_cmp_pd(m, _mm256_set1_pd(1.4142135623730951), _CMP_GT_OQ);
  m = _mm256_blendv_pd(m, _mm256_mul_pd(m, _mm256_set1_pd(0.5)), high);
  exponent = _mm256_add_pd(exponent, _mm256_and_pd(high, one));
  const __m256d t = _mm256_div_pd(_mm256_sub_pd(m, one), _mm256_add_pd(m, one));
  const __m256d t2 = _mm256_mul_pd(t, t);
  constexpr double k = 2.0 / 0.6931471805599453;
  __m256d s = _mm256_set1_pd(k / 11);
  s = _mm256_fmadd_pd(s, t2, _mm256_set1_pd(k / 9));
  s = _mm256_fmadd_pd(s, t2, _mm256_set1_pd(k / 7));
  s = _mm256_fmadd_pd(s, t2, _mm256_set1_pd(k / 5));
  s = _mm256_fmadd_pd(s, t2, _mm256_set1_pd(k / 3));
  s = _mm256_fmadd_pd(s, t2, _mm256_set1_pd(k));
  __m256d y = _mm256_mul_pd(p, _mm256_fmadd_pd(s, t, exponent));
  y = _mm256_min_pd(_mm256_max_pd(y, _mm256_set1_pd(-200.0)), _mm256_set1_pd(200.0));
  const __m256d rounded = _mm256_round_pd(y, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  const __m256d f = _mm256_mul_pd(_mm256_sub_pd(y, rounded), _mm256_set1_pd(0.6931471805599453));
  __m256d e = _mm256_set1_pd(1.0 / 40320);
  e = _mm256_fmadd_pd(e, f, _mm256_set1_pd(1.0 / 5040));
  e = _mm256_fmadd_pd(e, f, _mm256_set1_pd(1.0 / 720));
  e = _mm256_fmadd_pd(e, f, _mm256_set1_pd(1.0 / 120));
  e = _mm256_fmadd_pd(e, f, _mm256_set1_pd(1.0 / 24));
  e = _mm256_fmadd_pd(e, f, _mm256_set1_pd(1.0 / 6));
  e = _mm256_fmadd_pd(e, f, _mm256_set1_pd(0.5));
  e = _mm256_fmadd_pd(e, f, one);
  e = _mm256_fmadd_pd(e, f, one);
  const __m256i biased = _mm256_cvtepi32_epi64(_mm_add_epi32(_mm256_cvtpd_epi32(rounded), _mm_set1_epi32(1023)));
  return _mm256_mul_pd(e, _mm256_castsi256_pd(_mm256_slli_epi64(biased, 52)));
}

}  // namespace detail

namespace detail {

// One pixel of the gamma kernel in two halves around the power: straight
// colour from premultiplied, then the power's result made finite, alpha
// clamped to 0..1 and premultiplied again, all in registers (the operations
// of the scalar straight-colour kernels, so the same results but for the
// power).
struct GammaPixel {
  __m128 straight, alpha, visible;

  // |straight colour| to raise to the power.
  [[gnu::always_inline]] inline __m128 load(const float* in) {
    const __m128 v = _mm_loadu_ps(in);
    alpha = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3));
    visible = _mm_cmpgt_ps(alpha, _mm_setzero_ps());
    straight = _mm_and_ps(_mm_mul_ps(v, _mm_div_ps(_mm_set1_ps(1.0f), alpha)), visible);
    return _mm_andnot_ps(_mm_set1_ps(-0.0f), straight);
  }

  [[gnu::always_inline]] inline void store(__m128 magnitude, __m128 r, float* out) const {
    const __m128 signBit = _mm_set1_ps(-0.0f), one = _mm_set1_ps(1.0f);
    // 0, infinity and NaN map to themselves (p > 0).
    const __m128 special = _mm_or_ps(_mm_cmpeq_ps(magnitude, _mm_setzero_ps()),
                                     _mm_cmpnlt_ps(magnitude, _mm_set1_ps(INFINITY)));
    r = _mm_or_ps(_mm_andnot_ps(special, r), _mm_and_ps(special, magnitude));
    r = _mm_or_ps(r, _mm_and_ps(straight, signBit));
    // NaN to 0, then within ±FLT_MAX.
    r = _mm_and_ps(r, _mm_cmpord_ps(r, r));
    r = _mm_min_ps(_mm_max_ps(r, _mm_set1_ps(-FLT_MAX)), _mm_set1_ps(FLT_MAX));
    // NaN or non-positive alpha gives 0.
    const __m128 a = _mm_and_ps(_mm_min_ps(alpha, one), visible);
    r = _mm_mul_ps(r, a);
    const __m128 colourLanes = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
    _mm_storeu_ps(out, _mm_or_ps(_mm_and_ps(colourLanes, r), _mm_andnot_ps(colourLanes, a)));
  }
};

[[gnu::target("avx2,fma")]] inline void gammaRowAvx2(const float* in, float* out, std::int64_t count, float p) {
  const __m256d p4 = _mm256_set1_pd(double(p));
  for (std::int64_t i = 0; i < count; ++i, in += 4, out += 4) {
    GammaPixel pixel;
    const __m128 magnitude = pixel.load(in);
    pixel.store(magnitude, _mm256_cvtpd_ps(positivePower4(_mm256_cvtps_pd(magnitude), p4)), out);
  }
}

inline bool hasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return has;
}

}  // namespace detail

// The gamma kernel's row: premultiplied pixels in, each straight colour
// channel raised to p (keeping its sign), premultiplied pixels out.
inline void signedPowerRow(const float* in, float* out, std::int64_t count, float p) {
  if (detail::hasAvx2()) return detail::gammaRowAvx2(in, out, count, p);
  const __m128d p2 = _mm_set1_pd(double(p));
  for (std::int64_t i = 0; i < count; ++i, in += 4, out += 4) {
    detail::GammaPixel pixel;
    const __m128 magnitude = pixel.load(in);
    const __m128d low = detail::positivePower2(_mm_cvtps_pd(magnitude), p2);
    const __m128d high = detail::positivePower2(_mm_cvtps_pd(_mm_movehl_ps(magnitude, magnitude)), p2);
    pixel.store(magnitude, _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)), out);
  }
}

#else

inline void signedPowerRow(const float* in, float* out, std::int64_t count, float p) {
  for (std::int64_t i = 0; i < count; ++i, in += 4, out += 4) {
    float s[4];
    unpremultiplied(in, s);
    for (int c = 0; c < 3; ++c) out[c] = finite(std::copysign(std::pow(std::fabs(s[c]), p), s[c]));
    const float a = s[3] > 0.0f ? std::min(s[3], 1.0f) : 0.0f;
    out[0] *= a, out[1] *= a, out[2] *= a, out[3] = a;
  }
}

#endif

}  // namespace ci::colorkernel

#pragma once
// sign(x) |x|^p on the four floats of one pixel at once, for the per-pixel
// colour kernels: 2^(p log2 |x|) with polynomial log2 and exp2, about ten
// times cheaper than one powf per sample. The result is powf's but for a
// rare last-bit rounding (relative error below 1e-7), and it never
// decreases as |x| grows, over all finite floats for 0 < p <= 64; zero,
// infinities and NaN map as powf maps them. Other powers use powf.

#include <cfloat>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
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

}  // namespace detail

// |x|^p with the sign of x, lane by lane; p must satisfy fastPowerApplies.
inline __m128 signedPower4(__m128 x, float p) {
  const __m128 signBit = _mm_set1_ps(-0.0f);
  const __m128 sign = _mm_and_ps(x, signBit);
  const __m128 a = _mm_andnot_ps(signBit, x);
  const __m128d p2 = _mm_set1_pd(double(p));
  const __m128d low = detail::positivePower2(_mm_cvtps_pd(a), p2);
  const __m128d high = detail::positivePower2(_mm_cvtps_pd(_mm_movehl_ps(a, a)), p2);
  __m128 r = _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
  // 0, infinity and NaN map to themselves (p > 0).
  const __m128 special = _mm_or_ps(_mm_cmpeq_ps(a, _mm_setzero_ps()), _mm_cmpnlt_ps(a, _mm_set1_ps(INFINITY)));
  r = _mm_or_ps(_mm_andnot_ps(special, r), _mm_and_ps(special, a));
  return _mm_or_ps(r, sign);
}

// The four floats at in raised to p into out.
inline void signedPowerPixel(const float* in, float* out, float p) {
  _mm_storeu_ps(out, signedPower4(_mm_loadu_ps(in), p));
}

#else

inline void signedPowerPixel(const float* in, float* out, float p) {
  for (int c = 0; c < 4; ++c) out[c] = std::copysign(std::pow(std::fabs(in[c]), p), in[c]);
}

#endif

}  // namespace ci::colorkernel

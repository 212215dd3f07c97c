#include "platform/color/matrix_shaper_path.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "platform/color/matrix_shaper_avx2.h"
#include "platform/color/straight_level.h"

namespace color {
namespace {

using Matrix = std::array<double, 9>;

// Columns are the red, green and blue colorants (D50 XYZ).
bool colorantMatrix(cmsHPROFILE profile, Matrix& m) {
  const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
  for (int column = 0; column < 3; ++column) {
    auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[column]));
    if (!xyz) return false;
    m[0 + column] = xyz->X;
    m[3 + column] = xyz->Y;
    m[6 + column] = xyz->Z;
  }
  return true;
}

bool invert(const Matrix& m, Matrix& inverse) {
  double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7], i = m[8];
  double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  if (std::abs(det) < 1e-12) return false;
  inverse = {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
             (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
             (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
  return true;
}

bool isGray(const IccProfile& profile) {
  return profile.model() == Model::Gray;
}

// Device to D50 XYZ: the colorants as columns, or for gray the white in the
// first column (gray is luminance).
bool toXYZMatrix(const IccProfile& profile, Matrix& m) {
  if (!isGray(profile)) return colorantMatrix(static_cast<cmsHPROFILE>(profile.handle()), m);
  const cmsCIEXYZ* white = cmsD50_XYZ();
  m = {white->X, 0, 0, white->Y, 0, 0, white->Z, 0, 0};
  return true;
}

// D50 XYZ to device: the inverted colorants, or for gray the luminance.
bool fromXYZMatrix(const IccProfile& profile, Matrix& m) {
  if (isGray(profile)) {
    m = {0, 1, 0, 0, 0, 0, 0, 0, 0};
    return true;
  }
  Matrix colorants;
  return colorantMatrix(static_cast<cmsHPROFILE>(profile.handle()), colorants) && invert(colorants, m);
}

// The channels' curves (gray: its one curve thrice), which must start at 0.
bool readCurves(const IccProfile& profile, std::array<const cmsToneCurve*, 3>& curves) {
  const cmsTagSignature tags[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
  for (int c = 0; c < 3; ++c) {
    curves[c] = static_cast<const cmsToneCurve*>(
        cmsReadTag(static_cast<cmsHPROFILE>(profile.handle()), isGray(profile) ? cmsSigGrayTRCTag : tags[c]));
    if (!curves[c] || std::abs(cmsEvalToneCurveFloat(curves[c], 0.0f)) > 1e-6f) return false;
  }
  return true;
}

template <typename T>
T loadSample(const std::uint8_t* bytes, int index) {
  T value;
  std::memcpy(&value, bytes + std::size_t(index) * sizeof(T), sizeof(T));
  return value;
}

template <typename T>
void storeSample(std::uint8_t* bytes, int index, T value) {
  std::memcpy(bytes + std::size_t(index) * sizeof(T), &value, sizeof(T));
}

using Table = MatrixShaperPath::OctaveTable;
// Float values from here to 1 are linearised from the 16-bit table.
constexpr float kUniformFrom = 1.0f / 256.0f;
constexpr std::uint32_t kLowestBits = std::uint32_t(127 - Table::kOctaves) << 23;
constexpr int kFractionBits = 23 - Table::kSegmentBits;
constexpr std::uint32_t kFractionMask = (1u << kFractionBits) - 1;
constexpr std::int32_t kMagnitudeMask = 0x7fffffff;
constexpr std::int32_t kOneBits = std::bit_cast<std::int32_t>(1.0f);
constexpr std::int32_t kInfinityBits = 0x7f800000;
constexpr std::int32_t kUniformFromBits = std::bit_cast<std::int32_t>(kUniformFrom);
constexpr std::int32_t kLowestSignedBits = std::int32_t(kLowestBits);
constexpr std::size_t kTableSize = (std::size_t(Table::kOctaves) << Table::kSegmentBits) + 2;

// Channels whose tables are equal read the first such channel's.
void share(const std::array<Table, 3>& tables, std::array<const Table*, 3>& readers) {
  for (int c = 0; c < 3; ++c) {
    readers[c] = &tables[c];
    for (int earlier = 0; earlier < c; ++earlier)
      if (tables[earlier] == tables[c]) {
        readers[c] = readers[earlier];
        break;
      }
  }
}

}  // namespace

template <typename Curve>
void MatrixShaperPath::OctaveTable::fill(Curve&& curve) {
  values_.resize(kTableSize);
  for (std::size_t i = 0; i < kTableSize; ++i)
    values_[i] = curve(std::bit_cast<float>(kLowestBits + (std::uint32_t(i) << kFractionBits)));
}

[[gnu::always_inline]] inline float MatrixShaperPath::OctaveTable::operator()(float x) const {
  const std::uint32_t offset = std::bit_cast<std::uint32_t>(x) - kLowestBits;
  const std::uint32_t index = offset >> kFractionBits;
  const float fraction = float(offset & kFractionMask) * (1.0f / float(1u << kFractionBits));
  const float* at = values_.data() + index;
  return at[0] + (at[1] - at[0]) * fraction;
}

std::unique_ptr<MatrixShaperPath> MatrixShaperPath::make(const IccProfile& source,
                                                         const BufferLayout& sourceLayout,
                                                         const IccProfile& destination,
                                                         const BufferLayout& destinationLayout,
                                                         Intent intent) {
  // 8-bit to 8-bit stays with lcms2, whose own matrix/shaper path is exact.
  bool bothEightBit = sourceLayout.type == SampleType::UInt8 && destinationLayout.type == SampleType::UInt8;
  if (intent == Intent::AbsoluteColorimetric || bothEightBit) return nullptr;
  auto usable = [](const IccProfile& profile) {
    return (profile.model() == Model::RGB || profile.model() == Model::Gray) &&
           cmsIsMatrixShaper(static_cast<cmsHPROFILE>(profile.handle()));
  };
  if (!usable(source) || !usable(destination)) return nullptr;
  Matrix toXYZ, fromXYZ;
  std::array<const cmsToneCurve*, 3> inCurves, outCurves;
  if (!toXYZMatrix(source, toXYZ) || !fromXYZMatrix(destination, fromXYZ) || !readCurves(source, inCurves) ||
      !readCurves(destination, outCurves))
    return nullptr;

  auto path = std::unique_ptr<MatrixShaperPath>(new MatrixShaperPath());
  path->inChannels_ = source.channels();
  path->outChannels_ = destination.channels();
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column) {
      double sum = 0;
      for (int k = 0; k < 3; ++k) sum += fromXYZ[row * 3 + k] * toXYZ[k * 3 + column];
      path->matrix_[row * 3 + column] = float(sum);
    }
  for (int c = 0; c < 3; ++c) {
    path->curves_[c] = cmsDupToneCurve(inCurves[c]);
    path->inverseCurves_[c] = cmsReverseToneCurve(outCurves[c]);
    if (!path->curves_[c] || !path->inverseCurves_[c]) return nullptr;
    path->extendedCurves_[c] = ExtendedCurve(path->curves_[c]);
    path->extendedInverseCurves_[c] = ExtendedCurve(path->inverseCurves_[c]);
    auto& linear = path->linearOf16Bit_[c];
    linear.resize(65536);
    for (int v = 0; v < 65536; ++v) linear[v] = cmsEvalToneCurveFloat(inCurves[c], float(v) / 65535.0f);
    for (int v = 0; v < 256; ++v) path->linearOf8Bit_[c][v] = linear[std::size_t(v) * 257];
    path->linearTables_[c].fill([&](float x) { return path->extendedCurve(c, x); });
    path->encodedTables_[c].fill([&](float x) { return path->extendedInverseCurve(c, x); });
  }
  for (int c = 0; c < 3; ++c) {
    path->linearOf16BitShared_[c] = path->linearOf16Bit_[c].data();
    for (int earlier = 0; earlier < c; ++earlier)
      if (path->linearOf16Bit_[earlier] == path->linearOf16Bit_[c]) {
        path->linearOf16BitShared_[c] = path->linearOf16BitShared_[earlier];
        break;
      }
  }
  for (int c = 2; c > 0; --c)
    if (path->linearOf16BitShared_[c] != path->linearOf16Bit_[c].data())
      std::vector<float>().swap(path->linearOf16Bit_[c]);
  share(path->linearTables_, path->linearOfEncoded_);
  share(path->encodedTables_, path->encodedOfLinear_);
  return path;
}

void MatrixShaperPath::allowVectorPath(bool allowed) {
  avx2::allowed.store(allowed, std::memory_order_relaxed);
}

MatrixShaperPath::~MatrixShaperPath() {
  for (auto* curve : curves_)
    if (curve) cmsFreeToneCurve(curve);
  for (auto* curve : inverseCurves_)
    if (curve) cmsFreeToneCurve(curve);
}

[[gnu::noinline]] float MatrixShaperPath::extendedCurve(int channel, float encoded) const {
  return extendedCurves_[channel](encoded);
}

[[gnu::noinline]] float MatrixShaperPath::extendedInverseCurve(int channel, float linear) const {
  return extendedInverseCurves_[channel](linear);
}

[[gnu::always_inline]] inline float MatrixShaperPath::toLinear(int channel, float encoded) const {
  const float magnitude = std::abs(encoded);
  if (magnitude >= kUniformFrom && magnitude <= 1.0f) {
    // Bright values from the 16-bit table, finer there than the octaves:
    // their errors would show in the dark components a matrix mixes them
    // into.
    const float position = magnitude * 65535.0f;
    const int index = std::min(int(position), 65534);
    const float* table = linearOf16BitShared_[channel] + index;
    return std::copysign(table[0] + (table[1] - table[0]) * (position - float(index)), encoded);
  }
  if (magnitude >= OctaveTable::kLowest && magnitude <= 1.0f)
    return std::copysign((*linearOfEncoded_[channel])(magnitude), encoded);
  if (magnitude == 0.0f) return encoded;
  return extendedCurve(channel, encoded);
}

[[gnu::always_inline]] inline float MatrixShaperPath::fromLinear(int channel, float linear) const {
  const float magnitude = std::abs(linear);
  if (magnitude >= OctaveTable::kLowest && magnitude <= 1.0f)
    return std::copysign((*encodedOfLinear_[channel])(magnitude), linear);
  if (magnitude == 0.0f) return linear;
  return extendedInverseCurve(channel, linear);
}

[[gnu::always_inline]] inline float MatrixShaperPath::fromLinearClamped(int channel, float linear) const {
  // Below the table's first octave the curve rounds to 0 at 16 bits.
  if (!(linear >= OctaveTable::kLowest)) return 0.0f;
  if (linear >= 1.0f) return (*encodedOfLinear_[channel])(1.0f);
  return (*encodedOfLinear_[channel])(linear);
}

template <typename In>
void MatrixShaperPath::linearise(const std::uint8_t* source, int inStride, int inFirst, int count,
                                 const float* factor, bool divideInFloat,
                                 float (&linear)[3][kBlockPixels]) const {
  for (int c = 0; c < inChannels_; ++c) {
    float* out = linear[c];
    if constexpr (!std::is_same_v<In, float>) {
      constexpr float kMax = std::is_same_v<In, std::uint8_t> ? 255.0f : 65535.0f;
      if (factor && divideInFloat) {
        // The straight colour between integer levels, read like float input.
        alignas(64) float encoded[kBlockPixels] = {};
        for (int i = 0; i < count; ++i)
          encoded[i] = std::min(
              float(loadSample<In>(source, i * inStride + inFirst + c)) * (1.0f / kMax) * factor[i], 1.0f);
        lineariseEncoded(c, encoded, count, out);
        continue;
      }
      const float* table =
          std::is_same_v<In, std::uint8_t> ? linearOf8Bit_[c].data() : linearOf16BitShared_[c];
      if (factor) {
        // Unpremultiplied to the nearest integer sample, as staged samples are.
        for (int i = 0; i < count; ++i) {
          const float by = std::is_same_v<In, std::uint8_t> ? straightEightBitFactor(factor[i]) : factor[i];
          const float value = float(loadSample<In>(source, i * inStride + inFirst + c)) * by + 0.5f;
          out[i] = table[In(std::min(value, kMax))];
        }
      } else {
        for (int i = 0; i < count; ++i) out[i] = table[loadSample<In>(source, i * inStride + inFirst + c)];
      }
    } else {
      alignas(64) float encoded[kBlockPixels] = {};
      for (int i = 0; i < count; ++i) encoded[i] = loadSample<float>(source, i * inStride + inFirst + c);
      if (factor)
        for (int i = 0; i < kBlockPixels; ++i) encoded[i] *= factor[i];
      lineariseEncoded(c, encoded, count, out);
    }
  }
}

void MatrixShaperPath::lineariseEncoded(int c, const float (&encoded)[kBlockPixels], int count,
                                        float* out) const {
  // Values in [kUniformFrom, 1] by the 16-bit table as toLinear reads it,
  // in passes the compiler vectorises except for the table reads; any
  // other value then goes through toLinear itself.
  alignas(64) float fraction[kBlockPixels];
  alignas(64) std::int32_t index[kBlockPixels];
  alignas(64) float low[kBlockPixels], high[kBlockPixels];
  // Float comparisons as comparisons of bit patterns (non-negative floats
  // order like their bits; NaN lies above infinity), so that the loop has
  // no branches and vectorises.
  int outside = 0;
  for (int i = 0; i < kBlockPixels; ++i) {
    const std::int32_t magnitude = std::bit_cast<std::int32_t>(encoded[i]) & kMagnitudeMask;
    outside |= int(magnitude < kUniformFromBits) | int(magnitude > kOneBits);
    const float position = std::bit_cast<float>(magnitude < kOneBits ? magnitude : kOneBits) * 65535.0f;
    const std::int32_t truncated = std::int32_t(position);
    const std::int32_t at = truncated < 65534 ? truncated : 65534;
    index[i] = at;
    fraction[i] = position - float(at);
  }
  const float* table = linearOf16BitShared_[c];
  for (int i = 0; i < kBlockPixels; ++i) {
    low[i] = table[index[i]];
    high[i] = table[index[i] + 1];
  }
  for (int i = 0; i < kBlockPixels; ++i)
    out[i] = std::copysign(low[i] + (high[i] - low[i]) * fraction[i], encoded[i]);
  if (outside) {
    for (int i = 0; i < count; ++i) {
      const float magnitude = std::abs(encoded[i]);
      if (!(magnitude >= kUniformFrom && magnitude <= 1.0f)) out[i] = toLinear(c, encoded[i]);
    }
  }
}

template <typename Out>
void MatrixShaperPath::encode(const float (&mixed)[3][kBlockPixels], int count, const float* alpha,
                              std::uint8_t* destination, int outStride, int outFirst) const {
  for (int c = 0; c < outChannels_; ++c) {
    const float* in = mixed[c];
    // The octave table's position of each value, clamped into its range
    // (values outside it are handled below).
    alignas(64) float fraction[kBlockPixels];
    alignas(64) std::uint32_t index[kBlockPixels];
    alignas(64) float low[kBlockPixels], high[kBlockPixels], value[kBlockPixels];
    // Bit-pattern comparisons as in linearise. Integer output clamps to
    // 0..1: the sign stays in the pattern, so negative values and NaN fall
    // outside the table and give 0.
    alignas(64) std::int32_t bits[kBlockPixels], inside[kBlockPixels];
    std::memcpy(bits, in, sizeof bits);
    int outside = 0;
    for (int i = 0; i < kBlockPixels; ++i) {
      std::int32_t magnitude = bits[i];
      if constexpr (std::is_same_v<Out, float>) magnitude &= kMagnitudeMask;
      const int within = int(magnitude >= kLowestSignedBits) & int(magnitude <= kInfinityBits);
      inside[i] = within;
      if constexpr (std::is_same_v<Out, float>) outside |= int(magnitude > kOneBits) | (within ^ 1);
      const std::int32_t raised = magnitude > kLowestSignedBits ? magnitude : kLowestSignedBits;
      const std::int32_t clamped = raised < kOneBits ? raised : kOneBits;
      const std::uint32_t offset = std::uint32_t(clamped) - kLowestBits;
      index[i] = offset >> kFractionBits;
      fraction[i] = float(std::int32_t(offset & kFractionMask)) * (1.0f / float(1u << kFractionBits));
    }
    const float* table = encodedOfLinear_[c]->data();
    for (int i = 0; i < kBlockPixels; ++i) {
      low[i] = table[index[i]];
      high[i] = table[index[i] + 1];
    }
    for (int i = 0; i < kBlockPixels; ++i) value[i] = low[i] + (high[i] - low[i]) * fraction[i];
    if constexpr (std::is_same_v<Out, float>) {
      for (int i = 0; i < kBlockPixels; ++i) value[i] = std::copysign(value[i], in[i]);
      if (outside) {
        for (int i = 0; i < count; ++i) {
          const float magnitude = std::abs(in[i]);
          if (!(magnitude >= OctaveTable::kLowest && magnitude <= 1.0f)) value[i] = fromLinear(c, in[i]);
        }
      }
      if (alpha)
        for (int i = 0; i < kBlockPixels; ++i) value[i] *= alpha[i];
      for (int i = 0; i < count; ++i) storeSample<float>(destination, i * outStride + outFirst + c, value[i]);
    } else {
      // Below the table's first octave the curve rounds to 0.
      constexpr float kMax = std::is_same_v<Out, std::uint16_t> ? 65535.0f : 255.0f;
      for (int i = 0; i < kBlockPixels; ++i) {
        const std::int32_t bits = std::bit_cast<std::int32_t>(value[i]);
        const float clamped = std::bit_cast<float>(bits < kOneBits ? bits : kOneBits);
        value[i] = clamped * kMax * float(inside[i]) + 0.5f;
      }
      if (alpha) {
        // Premultiplied after rounding, as Transform premultiplies stored samples.
        for (int i = 0; i < kBlockPixels; ++i) value[i] = float(Out(value[i])) * alpha[i] + 0.5f;
      }
      for (int i = 0; i < count; ++i)
        storeSample<Out>(destination, i * outStride + outFirst + c, Out(value[i]));
    }
  }
}

template <typename In, typename Out>
void MatrixShaperPath::convertTyped(const std::uint8_t* source, int inStride, int inFirst,
                                    std::uint8_t* destination, int outStride, int outFirst, int pixels,
                                    const float* unpremultiplyBy, const float* premultiplyBy) const {
  // RGBA in and out, 8-bit one side and float the other: eight pixels at a
  // time where the processor has gathers.
  constexpr bool kEightBitToFloat = std::is_same_v<In, std::uint8_t> && std::is_same_v<Out, float>;
  constexpr bool kFloatToEightBit = std::is_same_v<In, float> && std::is_same_v<Out, std::uint8_t>;
  if constexpr (kEightBitToFloat || kFloatToEightBit) {
    if (inChannels_ == 3 && outChannels_ == 3 && inStride == 4 && inFirst == 0 && outStride == 4 &&
        outFirst == 0 && avx2::available()) {
      avx2::Tables tables{};
      for (int c = 0; c < 3; ++c) {
        tables.linear[c] = kEightBitToFloat ? linearOf8Bit_[c].data() : linearOf16BitShared_[c];
        tables.linear16[c] = linearOf16BitShared_[c];
        tables.encoded[c] = encodedOfLinear_[c]->data();
      }
      tables.matrix = matrix_.data();
      const avx2::Bits bits{kLowestSignedBits, kUniformFromBits, kFractionBits};
      int done = 0;
      if constexpr (kEightBitToFloat) {
        done = avx2::eightBitToFloat(tables, bits, source, reinterpret_cast<float*>(destination), pixels,
                                     unpremultiplyBy != nullptr, premultiplyBy != nullptr,
                                     [this](int c, float x) { return fromLinear(c, x); },
                                     [this](int c, float x) { return toLinear(c, x); });
      } else {
        done = avx2::floatToEightBit(tables, bits, reinterpret_cast<const float*>(source), destination,
                                     pixels, unpremultiplyBy != nullptr, premultiplyBy != nullptr,
                                     [this](int c, float x) { return toLinear(c, x); });
      }
      if (done == pixels) return;
      source += std::size_t(done) * 4 * sizeof(In);
      destination += std::size_t(done) * 4 * sizeof(Out);
      if (unpremultiplyBy) unpremultiplyBy += done;
      if (premultiplyBy) premultiplyBy += done;
      pixels -= done;
    }
  }
  const float* m = matrix_.data();
  // Channels a gray source lacks stay 0.
  alignas(64) float linear[3][kBlockPixels] = {};
  alignas(64) float mixed[3][kBlockPixels];
  alignas(64) float factor[kBlockPixels] = {}, scale[kBlockPixels] = {};
  for (int first = 0; first < pixels; first += kBlockPixels) {
    const int count = std::min(kBlockPixels, pixels - first);
    if (unpremultiplyBy) {
      for (int i = 0; i < count; ++i) {
        const float a = unpremultiplyBy[first + i];
        factor[i] = a > 0.0f ? 1.0f / a : 0.0f;
      }
    }
    if (premultiplyBy) {
      for (int i = 0; i < count; ++i) {
        const float a = premultiplyBy[first + i];
        scale[i] = std::is_same_v<Out, float> ? a : std::clamp(a, 0.0f, 1.0f);
      }
    }
    linearise<In>(source + std::size_t(first) * std::size_t(inStride) * sizeof(In), inStride, inFirst, count,
                  unpremultiplyBy ? factor : nullptr, !std::is_same_v<Out, std::uint8_t>, linear);
    for (int c = 0; c < outChannels_; ++c) {
      const float m0 = m[c * 3], m1 = m[c * 3 + 1], m2 = m[c * 3 + 2];
      for (int i = 0; i < kBlockPixels; ++i)
        mixed[c][i] = m0 * linear[0][i] + m1 * linear[1][i] + m2 * linear[2][i];
    }
    encode<Out>(mixed, count, premultiplyBy ? scale : nullptr,
                destination + std::size_t(first) * std::size_t(outStride) * sizeof(Out), outStride, outFirst);
  }
}

void MatrixShaperPath::convert(const std::uint8_t* source, const BufferLayout& sourceLayout,
                               std::uint8_t* destination, const BufferLayout& destinationLayout, int pixels,
                               const float* alpha) const {
  const int inStride = sourceLayout.samplesPerPixel(), outStride = destinationLayout.samplesPerPixel();
  const int inFirst = (sourceLayout.hasAlpha || sourceLayout.padding) && sourceLayout.alphaFirst ? 1 : 0;
  const int outFirst =
      (destinationLayout.hasAlpha || destinationLayout.padding) && destinationLayout.alphaFirst ? 1 : 0;
  const float* unpremultiplyBy =
      alpha && sourceLayout.hasAlpha && sourceLayout.premultiplied ? alpha : nullptr;
  const float* premultiplyBy =
      alpha && destinationLayout.hasAlpha && destinationLayout.premultiplied ? alpha : nullptr;
  auto withOutput = [&]<typename In>() {
    switch (destinationLayout.type) {
      case SampleType::UInt8:
        convertTyped<In, std::uint8_t>(source, inStride, inFirst, destination, outStride, outFirst, pixels,
                                       unpremultiplyBy, premultiplyBy);
        break;
      case SampleType::UInt16:
        convertTyped<In, std::uint16_t>(source, inStride, inFirst, destination, outStride, outFirst, pixels,
                                        unpremultiplyBy, premultiplyBy);
        break;
      case SampleType::Float32:
        convertTyped<In, float>(source, inStride, inFirst, destination, outStride, outFirst, pixels,
                                unpremultiplyBy, premultiplyBy);
        break;
    }
  };
  switch (sourceLayout.type) {
    case SampleType::UInt8:
      withOutput.template operator()<std::uint8_t>();
      break;
    case SampleType::UInt16:
      withOutput.template operator()<std::uint16_t>();
      break;
    case SampleType::Float32:
      withOutput.template operator()<float>();
      break;
  }
}

}  // namespace color

#include "platform/color/matrix_shaper_path.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

bool readCurves(cmsHPROFILE profile, std::array<const cmsToneCurve*, 3>& curves) {
  const cmsTagSignature tags[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
  for (int c = 0; c < 3; ++c) {
    curves[c] = static_cast<const cmsToneCurve*>(cmsReadTag(profile, tags[c]));
    if (!curves[c] || std::abs(cmsEvalToneCurveFloat(curves[c], 0.0f)) > 1e-6f) return false;
  }
  return true;
}

template <typename T>
float loadSample(const std::uint8_t* bytes, int index) {
  T value;
  std::memcpy(&value, bytes + std::size_t(index) * sizeof(T), sizeof(T));
  return float(value);
}

}  // namespace

std::unique_ptr<MatrixShaperPath> MatrixShaperPath::make(const IccProfile& source,
                                                         const BufferLayout& sourceLayout,
                                                         const IccProfile& destination,
                                                         const BufferLayout& destinationLayout,
                                                         Intent intent) {
  // 8-bit to 8-bit stays with lcms2, whose own matrix/shaper path is exact.
  bool bothEightBit = sourceLayout.type == SampleType::UInt8 && destinationLayout.type == SampleType::UInt8;
  if (intent == Intent::AbsoluteColorimetric || bothEightBit) return nullptr;
  auto in = static_cast<cmsHPROFILE>(source.handle());
  auto out = static_cast<cmsHPROFILE>(destination.handle());
  if (source.model() != Model::RGB || destination.model() != Model::RGB || !cmsIsMatrixShaper(in) ||
      !cmsIsMatrixShaper(out))
    return nullptr;
  Matrix toXYZ, fromXYZ, destinationToXYZ;
  std::array<const cmsToneCurve*, 3> inCurves, outCurves;
  if (!colorantMatrix(in, toXYZ) || !colorantMatrix(out, destinationToXYZ) ||
      !invert(destinationToXYZ, fromXYZ) || !readCurves(in, inCurves) || !readCurves(out, outCurves))
    return nullptr;

  auto path = std::unique_ptr<MatrixShaperPath>(new MatrixShaperPath());
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
    auto& linear = path->linearOf16Bit_[c];
    linear.resize(65536);
    for (int v = 0; v < 65536; ++v) linear[v] = cmsEvalToneCurveFloat(inCurves[c], float(v) / 65535.0f);
    auto& encoded = path->encodedOfRoot_[c];
    encoded.resize(kInverseSteps + 1);
    for (int i = 0; i <= kInverseSteps; ++i) {
      double root = double(i) / kInverseSteps;
      encoded[i] = cmsEvalToneCurveFloat(path->inverseCurves_[c], float(root * root));
    }
  }
  return path;
}

MatrixShaperPath::~MatrixShaperPath() {
  for (auto* curve : curves_)
    if (curve) cmsFreeToneCurve(curve);
  for (auto* curve : inverseCurves_)
    if (curve) cmsFreeToneCurve(curve);
}

float MatrixShaperPath::toLinear(int channel, float encoded) const {
  if (!(encoded >= 0.0f && encoded <= 1.0f)) return cmsEvalToneCurveFloat(curves_[channel], encoded);
  float position = encoded * 65535.0f;
  int index = std::min(int(position), 65534);
  float fraction = position - float(index);
  const float* table = linearOf16Bit_[channel].data();
  return table[index] + (table[index + 1] - table[index]) * fraction;
}

float MatrixShaperPath::fromLinear(int channel, float linear) const {
  if (!(linear >= 0.0f && linear <= 1.0f)) return cmsEvalToneCurveFloat(inverseCurves_[channel], linear);
  float position = std::sqrt(linear) * float(kInverseSteps);
  int index = std::min(int(position), kInverseSteps - 1);
  float fraction = position - float(index);
  const float* table = encodedOfRoot_[channel].data();
  return table[index] + (table[index + 1] - table[index]) * fraction;
}

void MatrixShaperPath::convert(const std::uint8_t* source, const BufferLayout& sourceLayout,
                               std::uint8_t* destination, const BufferLayout& destinationLayout,
                               int pixels) const {
  const SampleType inType = sourceLayout.type, outType = destinationLayout.type;
  const int inStride = sourceLayout.samplesPerPixel(), outStride = destinationLayout.samplesPerPixel();
  const int inFirst = (sourceLayout.hasAlpha || sourceLayout.padding) && sourceLayout.alphaFirst ? 1 : 0;
  const int outFirst =
      (destinationLayout.hasAlpha || destinationLayout.padding) && destinationLayout.alphaFirst ? 1 : 0;
  const float* m = matrix_.data();
  for (int p = 0; p < pixels; ++p) {
    float linear[3];
    for (int c = 0; c < 3; ++c) {
      int at = p * inStride + inFirst + c;
      if (inType == SampleType::Float32) {
        linear[c] = toLinear(c, loadSample<float>(source, at));
      } else if (inType == SampleType::UInt16) {
        linear[c] = linearOf16Bit_[c][std::size_t(loadSample<std::uint16_t>(source, at))];
      } else {
        linear[c] = linearOf16Bit_[c][std::size_t(source[at]) * 257];
      }
    }
    for (int c = 0; c < 3; ++c) {
      float mixed = m[c * 3] * linear[0] + m[c * 3 + 1] * linear[1] + m[c * 3 + 2] * linear[2];
      int at = p * outStride + outFirst + c;
      if (outType == SampleType::Float32) {
        float value = fromLinear(c, mixed);
        std::memcpy(destination + std::size_t(at) * 4, &value, 4);
      } else {
        float value = std::clamp(fromLinear(c, std::clamp(mixed, 0.0f, 1.0f)), 0.0f, 1.0f);
        if (outType == SampleType::UInt16) {
          auto sample = std::uint16_t(value * 65535.0f + 0.5f);
          std::memcpy(destination + std::size_t(at) * 2, &sample, 2);
        } else {
          destination[at] = std::uint8_t(value * 255.0f + 0.5f);
        }
      }
    }
  }
}

}  // namespace color

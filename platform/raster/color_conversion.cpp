#include "platform/raster/color_conversion.h"

#include <algorithm>

namespace raster {

namespace {

// Straight colour → straight colour by device formulas.
void deviceConvert(const float* in, int from, float* out, int to) {
  float rgb[3];
  if (from == 1) {
    rgb[0] = rgb[1] = rgb[2] = in[0];
  } else if (from == 3) {
    rgb[0] = in[0], rgb[1] = in[1], rgb[2] = in[2];
  } else {
    float k = in[3];
    for (int i = 0; i < 3; ++i) rgb[i] = (1.0f - in[i]) * (1.0f - k);
  }
  if (to == 1) {
    out[0] = 0.2126f * rgb[0] + 0.7152f * rgb[1] + 0.0722f * rgb[2];
  } else if (to == 3) {
    out[0] = rgb[0], out[1] = rgb[1], out[2] = rgb[2];
  } else {
    float k = 1.0f - std::max({rgb[0], rgb[1], rgb[2]});
    float scale = k < 1.0f ? 1.0f / (1.0f - k) : 0.0f;
    for (int i = 0; i < 3; ++i) out[i] = (1.0f - rgb[i] - k) * scale;
    out[3] = k;
  }
}

}  // namespace

std::optional<color::BufferLayout> bufferLayoutOf(const PixelFormat& format) {
  const int bits = format.bitsPerComponent;
  if ((bits != 8 && bits != 16 && bits != 32) || format.alpha == AlphaInfo::Only) return std::nullopt;
  if (format.colorComponents != 1 && format.colorComponents != 3 && format.colorComponents != 4)
    return std::nullopt;
  color::BufferLayout layout;
  layout.colorChannels = format.colorComponents;
  layout.type = bits == 8    ? color::SampleType::UInt8
                : bits == 16 ? color::SampleType::UInt16
                             : color::SampleType::Float32;
  layout.hasAlpha = format.hasAlpha();
  layout.alphaFirst = format.alphaFirst();
  layout.premultiplied = format.isPremultiplied();
  layout.padding = format.hasPadding();
  return layout;
}

bool ColorConversion::isIdentity(const ColorSpace* from, const ColorSpace* to) {
  if (!from || !to || from == to) return true;
  if (from->components() != to->components()) return false;
  if (from->profile() && to->profile())
    return from->profile() == to->profile() || from->profile()->sameAs(*to->profile());
  return from->model() == to->model() && from->name() == to->name();
}

std::shared_ptr<const ColorConversion> ColorConversion::between(const ColorSpace* from,
                                                                const ColorSpace* to) {
  if (isIdentity(from, to)) return nullptr;
  int s = from->components(), d = to->components();
  std::shared_ptr<const color::Transform> transform;
  if (from->profile() && to->profile()) {
    color::BufferLayout in{s, color::SampleType::Float32, true, false, false, false};
    color::BufferLayout out{d, color::SampleType::Float32, true, false, false, false};
    transform = color::Transform::get(from->profile(), in, to->profile(), out);
  }
  return std::make_shared<const ColorConversion>(s, d, std::move(transform));
}

void ColorConversion::convertRow(const float* in, float* out, std::int64_t count, float* scratch) const {
  const int s = sourceColors_, d = destinationColors_;
  // Unpremultiply.
  for (std::int64_t i = 0; i < count; ++i) {
    const float* p = in + i * (s + 1);
    float* q = scratch + i * (s + 1);
    float a = p[s];
    float inverse = a > 0.0f ? 1.0f / a : 0.0f;
    for (int c = 0; c < s; ++c) q[c] = p[c] * inverse;
    q[s] = a;
  }
  if (transform_) {
    transform_->convertRow(scratch, out, count);
  } else {
    for (std::int64_t i = 0; i < count; ++i) deviceConvert(scratch + i * (s + 1), s, out + i * (d + 1), d);
  }
  // Alpha through, premultiply again.
  for (std::int64_t i = 0; i < count; ++i) {
    float a = scratch[i * (s + 1) + s];
    float* q = out + i * (d + 1);
    for (int c = 0; c < d; ++c) q[c] *= a;
    q[d] = a;
  }
}

}  // namespace raster

#include "platform/imageio/pixel_convert.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "platform/color/straight_level.h"
#include "platform/foundation/failure_cause.h"
#include "platform/foundation/parallel.h"
#include "platform/raster/pixel_layout.h"

namespace imageio {

raster::PixelFormat decodedFormat(int bits, int colorComponents, bool alpha, bool premultiplied) {
  raster::PixelFormat format;
  format.bitsPerComponent = bits;
  format.colorComponents = colorComponents;
  if (alpha) {
    format.alpha = premultiplied ? raster::AlphaInfo::PremultipliedLast : raster::AlphaInfo::Last;
  } else {
    format.alpha = colorComponents == 3 ? raster::AlphaInfo::NoneSkipLast : raster::AlphaInfo::None;
  }
  return format;
}

raster::ColorSpaceRef colorSpaceFor(int colorComponents, const std::vector<std::uint8_t>* iccProfile) {
  if (iccProfile != nullptr && !iccProfile->empty()) {
    if (auto profile = color::IccProfile::fromData(*iccProfile);
        profile && profile->channels() == colorComponents) {
      if (auto space = raster::ColorSpace::withProfile(profile)) return space;
    }
  }
  switch (colorComponents) {
    case 1:
      return raster::ColorSpace::untaggedGray();
    case 4:
      return raster::ColorSpace::genericCMYK();
    default:
      return raster::ColorSpace::sRGB();
  }
}

const char* colorModelName(int colorComponents) {
  switch (colorComponents) {
    case 1:
      return "Gray";
    case 4:
      return "CMYK";
    default:
      return "RGB";
  }
}

bool withinImageLimits(std::int64_t width, std::int64_t height, std::int64_t bytesPerPixel,
                       std::int64_t pixelLimit) {
  if (width <= 0 || height <= 0 || bytesPerPixel <= 0) {
    foundation::noteFailure(foundation::FailureCause::SourceDamaged, "no image size");
    return false;
  }
  // A header's size beyond the limits: the reader of the file learns why.
  const bool within = width <= raster::kMaxDimension && height <= raster::kMaxDimension &&
                      width <= pixelLimit / height &&  // both sides are at most 2^20: no overflow
                      std::uint64_t(width * height) <= raster::kMaxBytes / std::uint64_t(bytesPerPixel);
  if (!within) foundation::noteFailure(foundation::FailureCause::ImageTooLarge);
  return within;
}

std::size_t checkedBytesPerRow(std::int64_t width, std::int64_t height, const raster::PixelFormat& format,
                               std::int64_t pixelLimit) {
  if (!withinImageLimits(width, height, format.bytesPerPixel(), pixelLimit)) return 0;
  return std::size_t(width * format.bytesPerPixel());
}

namespace {

// Reads `bits` bits (MSB first) at bit position pos.
inline std::uint32_t readBits(const std::uint8_t* in, std::int64_t pos, int bits) {
  std::uint32_t value = 0;
  for (int b = 0; b < bits; ++b, ++pos) {
    value = (value << 1) | ((in[pos >> 3] >> (7 - (pos & 7))) & 1u);
  }
  return value;
}

}  // namespace

void expandSamples(const std::uint8_t* in, std::int64_t count, int bits, std::uint8_t* out8) {
  if (bits == 8) {
    std::memcpy(out8, in, std::size_t(count));
    return;
  }
  const std::uint32_t maxValue = (1u << bits) - 1;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint32_t v = readBits(in, i * bits, bits);
    out8[i] = std::uint8_t((v * 255 + maxValue / 2) / maxValue);
  }
}

void expandSamples16(const std::uint8_t* in, std::int64_t count, int bits, std::uint16_t* out16) {
  const std::uint32_t maxValue = (1u << bits) - 1;
  if (bits == 16) {
    std::memcpy(out16, in, std::size_t(count) * 2);
    return;
  }
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint32_t v = readBits(in, i * bits, bits);
    out16[i] = std::uint16_t((std::uint64_t(v) * 65535 + maxValue / 2) / maxValue);
  }
}

void packRow(const std::uint8_t* in, std::int64_t width, int sampleBytes, int colorComponents, bool alpha,
             std::uint8_t* out) {
  const int inComponents = colorComponents + (alpha ? 1 : 0);
  if (colorComponents != 3 || alpha) {
    std::memcpy(out, in, std::size_t(width) * std::size_t(inComponents * sampleBytes));
    return;
  }
  const std::size_t pixelIn = std::size_t(3 * sampleBytes);
  const std::size_t pixelOut = std::size_t(4 * sampleBytes);
  for (std::int64_t x = 0; x < width; ++x) {
    std::memcpy(out + std::size_t(x) * pixelOut, in + std::size_t(x) * pixelIn, pixelIn);
    std::memset(out + std::size_t(x) * pixelOut + pixelIn, 0xFF, std::size_t(sampleBytes));
  }
}

int exportedColorComponents(const raster::Image& image) {
  const int c = image.format().colorComponents;
  return c == 0 ? 1 : c;
}

namespace {

// Where colour and alpha sit within a source pixel.
struct SourceLayout {
  int components = 0;  // stored per pixel
  int colorOffset = 0;
  int colorCount = 0;   // colour components read (alpha-only reads alpha as gray)
  int alphaIndex = -1;  // -1: opaque
  bool premultiplied = false;
};

SourceLayout layoutOf(const raster::PixelFormat& f) {
  SourceLayout l;
  l.components = f.componentsPerPixel();
  l.premultiplied = f.isPremultiplied();
  if (f.alpha == raster::AlphaInfo::Only) {
    l.colorCount = 1;
    l.colorOffset = 0;
    l.alphaIndex = -1;
    return l;
  }
  l.colorCount = f.colorComponents;
  const bool first = f.alphaFirst();
  l.colorOffset = first ? 1 : 0;
  if (f.hasAlpha()) l.alphaIndex = first ? 0 : f.colorComponents;
  return l;
}

template <typename T>
inline float toUnit(T v);
template <>
inline float toUnit<std::uint8_t>(std::uint8_t v) {
  return float(v) * (1.0f / 255.0f);
}
template <>
inline float toUnit<std::uint16_t>(std::uint16_t v) {
  return float(v) * (1.0f / 65535.0f);
}
template <>
inline float toUnit<float>(float v) {
  return v;
}

inline float clampUnit(float v) {
  return std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 1.0f);
}

template <typename Out>
inline void storeUnit(float v, Out* out);
template <>
inline void storeUnit<std::uint8_t>(float v, std::uint8_t* out) {
  *out = std::uint8_t(clampUnit(v) * 255.0f + 0.5f);
}
template <>
inline void storeUnit<std::uint16_t>(float v, std::uint16_t* out) {
  *out = std::uint16_t(clampUnit(v) * 65535.0f + 0.5f);
}
template <>
inline void storeUnit<float>(float v, float* out) {
  *out = clampUnit(v);
}

// Same-depth copy without premultiplication: a component shuffle.
template <typename T>
void shuffleRow(const T* in, std::int64_t width, const SourceLayout& l, bool wantAlpha, T maxValue, T* out) {
  const int outComponents = l.colorCount + (wantAlpha ? 1 : 0);
  // Four stored components to three colours, the encoders' common case.
  if (l.components == 4 && l.colorCount == 3 && !wantAlpha && (l.colorOffset == 0 || l.colorOffset == 1)) {
    const T* p = in + l.colorOffset;
    for (std::int64_t x = 0; x < width; ++x, p += 4, out += 3) {
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
    }
    return;
  }
  for (std::int64_t x = 0; x < width; ++x) {
    const T* p = in + x * l.components;
    T* o = out + x * outComponents;
    for (int c = 0; c < l.colorCount; ++c) o[c] = p[l.colorOffset + c];
    if (wantAlpha) o[l.colorCount] = l.alphaIndex >= 0 ? p[l.alphaIndex] : maxValue;
  }
}

template <typename In, typename Out>
void convertRow(const In* in, std::int64_t width, const SourceLayout& l, bool wantAlpha, Out* out) {
  const int outComponents = l.colorCount + (wantAlpha ? 1 : 0);
  for (std::int64_t x = 0; x < width; ++x) {
    const In* p = in + x * l.components;
    Out* o = out + x * outComponents;
    const float a = l.alphaIndex >= 0 ? clampUnit(toUnit<In>(p[l.alphaIndex])) : 1.0f;
    if (l.premultiplied) {
      const float scale = a > 0.0f ? 1.0f / a : 0.0f;
      for (int c = 0; c < l.colorCount; ++c) storeUnit<Out>(toUnit<In>(p[l.colorOffset + c]) * scale, o + c);
    } else {
      for (int c = 0; c < l.colorCount; ++c) storeUnit<Out>(toUnit<In>(p[l.colorOffset + c]), o + c);
    }
    if (wantAlpha) storeUnit<Out>(a, o + l.colorCount);
  }
}

// Premultiplied 8-bit levels to straight ones: each colour level times
// 255 / alpha, from a table of the 256 alphas, rounded to the nearest
// level; 0 where alpha is 0, at most 255 where colour exceeds alpha.
void unpremultiplyEightBitRow(const std::uint8_t* in, std::int64_t width, const SourceLayout& l,
                              bool wantAlpha, std::uint8_t* out) {
  static const std::array<float, 256> factors = [] {
    std::array<float, 256> table{};
    for (std::size_t a = 1; a < table.size(); ++a)
      table[a] = color::straightEightBitFactor(255.0f / float(a));
    return table;
  }();
  const int outComponents = l.colorCount + (wantAlpha ? 1 : 0);
  for (std::int64_t x = 0; x < width; ++x) {
    const std::uint8_t* p = in + x * l.components;
    std::uint8_t* o = out + x * outComponents;
    const std::uint8_t alpha = p[l.alphaIndex];
    const float factor = factors[alpha];
    for (int c = 0; c < l.colorCount; ++c)
      o[c] = std::uint8_t(std::min(float(p[l.colorOffset + c]) * factor + 0.5f, 255.0f));
    if (wantAlpha) o[l.colorCount] = alpha;
  }
}

template <typename Out>
void convertFrom5Bit(const std::uint16_t* in, std::int64_t width, bool wantAlpha, Out* out) {
  const int outComponents = 3 + (wantAlpha ? 1 : 0);
  for (std::int64_t x = 0; x < width; ++x) {
    const std::uint16_t v = in[x];
    Out* o = out + x * outComponents;
    storeUnit<Out>(float((v >> 10) & 31) / 31.0f, o);
    storeUnit<Out>(float((v >> 5) & 31) / 31.0f, o + 1);
    storeUnit<Out>(float(v & 31) / 31.0f, o + 2);
    if (wantAlpha) storeUnit<Out>(1.0f, o + 3);
  }
}

// Keeps premultiplied output valid associated alpha: each colour sample at
// most its alpha (float samples are already clamped to [0, 1], NaN to 0).
// Resampling overshoot can leave colour slightly above alpha.
template <typename Out>
void limitColorToAlpha(Out* out, std::int64_t width, int colorCount) {
  const int components = colorCount + 1;
  for (std::int64_t x = 0; x < width; ++x) {
    Out* o = out + x * components;
    const Out a = o[colorCount];
    for (int c = 0; c < colorCount; ++c) o[c] = std::min(o[c], a);
  }
}

template <typename Out>
void exportRowTo(const raster::Image& image, std::int64_t y, bool wantAlpha, bool keepPremultiplied,
                 Out* out) {
  const raster::PixelFormat& f = image.format();
  const std::uint8_t* row = image.row(y);
  const std::int64_t width = image.width();
  if (f.bitsPerComponent == 5) {
    convertFrom5Bit<Out>(reinterpret_cast<const std::uint16_t*>(row), width, wantAlpha, out);
    return;
  }
  SourceLayout l = layoutOf(f);
  const bool limitToAlpha = keepPremultiplied && l.premultiplied && l.alphaIndex >= 0 && wantAlpha;
  if (keepPremultiplied) l.premultiplied = false;
  const bool straightOrOpaque = !l.premultiplied;
  if (f.bitsPerComponent == 8) {
    const auto* in = row;
    bool shuffled = false;
    if constexpr (std::is_same_v<Out, std::uint8_t>) {
      if (straightOrOpaque) {
        shuffleRow<std::uint8_t>(in, width, l, wantAlpha, 255, out);
      } else {
        unpremultiplyEightBitRow(in, width, l, wantAlpha, out);
      }
      shuffled = true;
    }
    if (!shuffled) convertRow<std::uint8_t, Out>(in, width, l, wantAlpha, out);
  } else if (f.bitsPerComponent == 16) {
    const auto* in = reinterpret_cast<const std::uint16_t*>(row);
    bool shuffled = false;
    if constexpr (std::is_same_v<Out, std::uint16_t>) {
      if (straightOrOpaque) {
        shuffleRow<std::uint16_t>(in, width, l, wantAlpha, 65535, out);
        shuffled = true;
      }
    }
    if (!shuffled) convertRow<std::uint16_t, Out>(in, width, l, wantAlpha, out);
  } else {
    convertRow<float, Out>(reinterpret_cast<const float*>(row), width, l, wantAlpha, out);
  }
  if (limitToAlpha) limitColorToAlpha(out, width, l.colorCount);
}

}  // namespace

void exportRow(const raster::Image& image, std::int64_t y, const RowRequest& request, std::uint8_t* out) {
  switch (request.bits) {
    case 16:
      exportRowTo<std::uint16_t>(image, y, request.alpha, request.keepPremultiplied,
                                 reinterpret_cast<std::uint16_t*>(out));
      break;
    case 32:
      exportRowTo<float>(image, y, request.alpha, request.keepPremultiplied, reinterpret_cast<float*>(out));
      break;
    default:
      exportRowTo<std::uint8_t>(image, y, request.alpha, request.keepPremultiplied, out);
      break;
  }
}

namespace {

// Source pixels covering one destination pixel along an axis.
struct Span {
  std::int64_t first = 0;
  std::vector<float> weights;
};

std::vector<Span> spansFor(std::int64_t source, std::int64_t target) {
  std::vector<Span> spans(static_cast<std::size_t>(target));
  const double ratio = double(source) / double(target);
  for (std::int64_t i = 0; i < target; ++i) {
    const double begin = double(i) * ratio;
    const double end = std::min(double(source), double(i + 1) * ratio);
    Span& span = spans[std::size_t(i)];
    span.first = std::int64_t(begin);
    const std::int64_t last = std::min(source - 1, std::int64_t(std::ceil(end)) - 1);
    double total = 0;
    for (std::int64_t s = span.first; s <= last; ++s) {
      const double w = std::min(end, double(s + 1)) - std::max(begin, double(s));
      span.weights.push_back(float(std::max(0.0, w)));
      total += std::max(0.0, w);
    }
    for (float& w : span.weights) w = float(w / total);
  }
  return spans;
}

}  // namespace

raster::ImageRef shrinkImage(const raster::ImageRef& image, std::int64_t width, std::int64_t height) {
  if (!image) return nullptr;
  const std::int64_t sw = image->width(), sh = image->height();
  if (sw <= width && sh <= height) return image;
  width = std::clamp<std::int64_t>(width, 1, sw);
  height = std::clamp<std::int64_t>(height, 1, sh);

  const raster::PixelFormat& f = image->format();
  const bool alpha = f.hasAlpha() && f.alpha != raster::AlphaInfo::Only;
  const int color = exportedColorComponents(*image);
  const int channels = color + (alpha ? 1 : 0);
  const int bits = f.bitsPerComponent == 32 ? 32 : (f.bitsPerComponent == 16 ? 16 : 8);
  const raster::PixelFormat outFormat = decodedFormat(bits, color, alpha);
  const std::size_t outRowBytes = std::size_t(width) * std::size_t(outFormat.bytesPerPixel());

  const std::vector<Span> xs = spansFor(sw, width);
  const std::vector<Span> ys = spansFor(sh, height);

  // Horizontal pass into premultiplied floats, one row per source row.
  std::vector<float> horizontal(std::size_t(width) * std::size_t(sh) * std::size_t(channels));
  foundation::parallelForRange(
      0, sh,
      [&](std::int64_t begin, std::int64_t end) {
        std::vector<float> row(std::size_t(sw) * std::size_t(channels));
        for (std::int64_t y = begin; y < end; ++y) {
          exportRow(*image, y, {32, alpha, false}, reinterpret_cast<std::uint8_t*>(row.data()));
          if (alpha) {
            for (std::int64_t x = 0; x < sw; ++x) {
              float* p = &row[std::size_t(x * channels)];
              for (int c = 0; c < color; ++c) p[c] *= p[color];
            }
          }
          float* out = &horizontal[std::size_t(y) * std::size_t(width) * std::size_t(channels)];
          for (std::int64_t x = 0; x < width; ++x) {
            const Span& span = xs[std::size_t(x)];
            float sum[5] = {0, 0, 0, 0, 0};
            for (std::size_t k = 0; k < span.weights.size(); ++k) {
              const float* p = &row[std::size_t((span.first + std::int64_t(k)) * channels)];
              for (int c = 0; c < channels; ++c) sum[c] += p[c] * span.weights[k];
            }
            for (int c = 0; c < channels; ++c) out[x * channels + c] = sum[c];
          }
        }
      },
      8);

  std::vector<std::uint8_t> pixels(outRowBytes * std::size_t(height));
  foundation::parallelForRange(
      0, height,
      [&](std::int64_t begin, std::int64_t end) {
        std::vector<float> sum(std::size_t(width) * std::size_t(channels));
        for (std::int64_t y = begin; y < end; ++y) {
          std::fill(sum.begin(), sum.end(), 0.0f);
          const Span& span = ys[std::size_t(y)];
          for (std::size_t k = 0; k < span.weights.size(); ++k) {
            const float* in = &horizontal[std::size_t(span.first + std::int64_t(k)) * std::size_t(width) *
                                          std::size_t(channels)];
            const float w = span.weights[k];
            for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += in[i] * w;
          }
          std::uint8_t* out = pixels.data() + std::size_t(y) * outRowBytes;
          const int outComponents = outFormat.componentsPerPixel();
          for (std::int64_t x = 0; x < width; ++x) {
            float* p = &sum[std::size_t(x * channels)];
            if (alpha) {
              const float a = p[color];
              for (int c = 0; c < color; ++c) p[c] = a > 0 ? p[c] / a : 0.0f;
            }
            for (int c = 0; c < outComponents; ++c) {
              const float v = c < channels ? p[c] : 1.0f;
              const std::size_t index = std::size_t(x * outComponents + c);
              if (bits == 8) {
                storeUnit<std::uint8_t>(v, out + index);
              } else if (bits == 16) {
                storeUnit<std::uint16_t>(v, reinterpret_cast<std::uint16_t*>(out) + index);
              } else {
                storeUnit<float>(v, reinterpret_cast<float*>(out) + index);
              }
            }
          }
        }
      },
      4);
  return raster::Image::make(width, height, outFormat, image->colorSpace(), std::move(pixels), outRowBytes);
}

}  // namespace imageio

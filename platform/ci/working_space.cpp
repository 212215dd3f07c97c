#include "platform/ci/working_space.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "platform/color/transform.h"

namespace ci {

namespace {

// Reads one component of a pixel as a float in [0, 1] (floats as stored).
struct ComponentReader {
  int bits = 8;
  float operator()(const std::uint8_t* pixel, int index) const {
    switch (bits) {
      case 16: {
        std::uint16_t v;
        std::memcpy(&v, pixel + index * 2, 2);
        return float(v) * (1.0f / 65535.0f);
      }
      case 32: {
        float v;
        std::memcpy(&v, pixel + index * 4, 4);
        return v;
      }
      default:
        return float(pixel[index]) * (1.0f / 255.0f);
    }
  }
};

struct Layout {
  int colorComponents = 3;
  int colorOffset = 0;  // index of the first colour component
  int alphaIndex = -1;  // -1 without alpha
  bool premultiplied = false;
  int bytesPerPixel = 4;
};

Layout layoutOf(const raster::PixelFormat& format) {
  Layout layout;
  layout.colorComponents = format.colorComponents;
  layout.bytesPerPixel = format.bitsPerPixel() / 8;
  layout.premultiplied = format.isPremultiplied();
  if (format.alpha == raster::AlphaInfo::Only) {
    layout.colorComponents = 0;
    layout.alphaIndex = 0;
    return layout;
  }
  bool first = format.alphaFirst();
  bool hasSlot = format.hasAlpha() || format.hasPadding();
  layout.colorOffset = first && hasSlot ? 1 : 0;
  if (format.hasAlpha()) layout.alphaIndex = first ? 0 : format.colorComponents;
  return layout;
}

// 5-bit RGB (xRRRRRGGGGGBBBBB in a native 16-bit word) to 8-bit RGB.
void expandFiveBit(const std::uint8_t* source, std::uint8_t* rgb, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) {
    std::uint16_t v;
    std::memcpy(&v, source + i * 2, 2);
    std::uint8_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
    rgb[i * 3] = std::uint8_t((r << 3) | (r >> 2));
    rgb[i * 3 + 1] = std::uint8_t((g << 3) | (g >> 2));
    rgb[i * 3 + 2] = std::uint8_t((b << 3) | (b >> 2));
  }
}

// Colour already in the working space: unpack and premultiply.
RowConverter directConverter(const raster::PixelFormat& format) {
  if (format.bitsPerComponent == 5) {
    return [](const std::uint8_t* source, float* out, std::int64_t count) {
      for (std::int64_t i = 0; i < count; ++i) {
        std::uint16_t v;
        std::memcpy(&v, source + i * 2, 2);
        out[i * 4] = float((v >> 10) & 31) / 31.0f;
        out[i * 4 + 1] = float((v >> 5) & 31) / 31.0f;
        out[i * 4 + 2] = float(v & 31) / 31.0f;
        out[i * 4 + 3] = 1.0f;
      }
    };
  }
  Layout layout = layoutOf(format);
  ComponentReader read{format.bitsPerComponent};
  // Integer premultiplied colour above its alpha (a damaged file) is limited
  // to it; float colour may exceed it on purpose.
  const bool limitToAlpha = layout.premultiplied && format.bitsPerComponent != 32;
  return [layout, read, limitToAlpha](const std::uint8_t* source, float* out, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i, source += layout.bytesPerPixel, out += 4) {
      float a = layout.alphaIndex >= 0 ? read(source, layout.alphaIndex) : 1.0f;
      float scale = layout.premultiplied ? 1.0f : a;
      float ceiling = limitToAlpha ? a : std::numeric_limits<float>::infinity();
      if (layout.colorComponents == 0) {
        out[0] = out[1] = out[2] = 0;
      } else {
        out[0] = std::min(read(source, layout.colorOffset) * scale, ceiling);
        out[1] = std::min(read(source, layout.colorOffset + 1) * scale, ceiling);
        out[2] = std::min(read(source, layout.colorOffset + 2) * scale, ceiling);
      }
      out[3] = a;
    }
  };
}

color::BufferLayout bufferLayoutOf(const raster::PixelFormat& format) {
  color::BufferLayout layout;
  layout.colorChannels = format.colorComponents;
  layout.type = format.bitsPerComponent == 16   ? color::SampleType::UInt16
                : format.bitsPerComponent == 32 ? color::SampleType::Float32
                                                : color::SampleType::UInt8;
  layout.hasAlpha = format.hasAlpha();
  layout.alphaFirst = format.alphaFirst();
  layout.premultiplied = format.isPremultiplied();
  layout.padding = format.hasPadding();
  return layout;
}

// Colour through an ICC transform straight into premultiplied float RGBA
// (the transform carries alpha, or makes it opaque).
RowConverter transformConverter(const raster::Image& bitmap) {
  const raster::PixelFormat& format = bitmap.format();
  const bool fiveBit = format.bitsPerComponent == 5;
  color::BufferLayout sourceLayout =
      fiveBit ? color::BufferLayout{3, color::SampleType::UInt8, false, false, false, false}
              : bufferLayoutOf(format);
  color::BufferLayout workingLayout{3, color::SampleType::Float32, true, false, true, false};
  auto transform = color::Transform::get(bitmap.colorSpace()->profile(), sourceLayout,
                                         workingColorSpace()->profile(), workingLayout);
  if (!transform) return {};
  if (!fiveBit) {
    return [transform](const std::uint8_t* source, float* out, std::int64_t count) {
      transform->convertRow(source, out, count);
    };
  }
  return [transform](const std::uint8_t* source, float* out, std::int64_t count) {
    thread_local std::vector<std::uint8_t> expanded;
    expanded.resize(std::size_t(count) * 3);
    expandFiveBit(source, expanded.data(), count);
    transform->convertRow(expanded.data(), out, count);
  };
}

}  // namespace

const raster::ColorSpaceRef& workingColorSpace() {
  static const raster::ColorSpaceRef space = raster::ColorSpace::genericRGB();
  return space;
}

const color::MatrixShaper& workingMatrixShaper() {
  static const color::MatrixShaper shaper = [] {
    const raster::ColorSpaceRef& space = workingColorSpace();
    std::optional<color::MatrixShaper> found;
    if (space && space->profile()) found = color::matrixShaperOf(*space->profile());
    // The generic RGB profile is always made in memory; the fallback is
    // its P22 matrix adapted to D50 with gamma 1.8.
    return found.value_or(
        color::MatrixShaper{{0.4679, 0.3251, 0.1712, 0.2527, 0.6838, 0.0635, 0.0220, 0.1423, 0.6604}, 1.8});
  }();
  return shaper;
}

RowConverter rowConverterToWorkingSpace(const raster::Image& bitmap) {
  const raster::PixelFormat& format = bitmap.format();
  if (format.alpha == raster::AlphaInfo::Only) return directConverter(format);
  const raster::ColorSpaceRef& space = bitmap.colorSpace();
  if (!space || !space->profile()) return {};
  const raster::ColorSpaceRef& working = workingColorSpace();
  if (space->model() == raster::ColorModel::RGB && working &&
      (space.get() == working.get() || space->sameNameAs(*working) ||
       space->profile()->sameAs(*working->profile()))) {
    return directConverter(format);
  }
  return transformConverter(bitmap);
}

}  // namespace ci

#pragma once
// Helpers for the document-codec and metadata tests: synthetic images in
// any model and depth, pixel comparison through the encoders' row export,
// and codec round trips through a temporary file.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/imageio/codec.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/raster/color_conversion.h"
#include "platform/raster/image.h"
#include "support/test_support.h"

namespace doctest {

// A gradient image with a distinct value per channel and pixel; alpha (when
// present) is straight and varies too.
inline raster::ImageRef makeImage(std::int64_t width, std::int64_t height, int colorComponents, int bits,
                                  bool alpha, raster::ColorSpaceRef space = nullptr) {
  raster::PixelFormat format;
  format.bitsPerComponent = bits;
  format.colorComponents = colorComponents;
  format.alpha = alpha ? raster::AlphaInfo::Last : raster::AlphaInfo::None;
  if (!space) {
    space = colorComponents == 1   ? raster::ColorSpace::genericGray()
            : colorComponents == 4 ? raster::ColorSpace::genericCMYK()
                                   : raster::ColorSpace::sRGB();
  }
  const int samples = colorComponents + (alpha ? 1 : 0);
  const std::size_t bytesPerRow = std::size_t(width) * samples * (bits / 8);
  std::vector<std::uint8_t> pixels(bytesPerRow * std::size_t(height));
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      for (int c = 0; c < samples; ++c) {
        const double v = std::fmod(double(x * 7 + y * 13 + c * 61) / double(width + height + 50), 1.0);
        const bool isAlpha = alpha && c == colorComponents;
        const double value = isAlpha ? 0.25 + 0.75 * v : v;
        const std::size_t at = std::size_t(y) * bytesPerRow + (std::size_t(x) * samples + c) * (bits / 8);
        if (bits == 8) {
          pixels[at] = std::uint8_t(std::lround(value * 255));
        } else if (bits == 16) {
          const std::uint16_t s = std::uint16_t(std::lround(value * 65535));
          std::memcpy(&pixels[at], &s, 2);
        } else {
          const float f = float(value);
          std::memcpy(&pixels[at], &f, 4);
        }
      }
    }
  }
  return raster::Image::make(width, height, format, space, std::move(pixels), bytesPerRow);
}

// Straight samples of every row as an encoder sees them.
inline std::vector<std::uint8_t> exportedPixels(const raster::Image& image, int bits, bool alpha) {
  const int samples = imageio::exportedColorComponents(image) + (alpha ? 1 : 0);
  const std::size_t rowBytes = std::size_t(image.width()) * samples * (bits / 8);
  std::vector<std::uint8_t> out(rowBytes * std::size_t(image.height()));
  for (std::int64_t y = 0; y < image.height(); ++y)
    imageio::exportRow(image, y, imageio::RowRequest{bits, alpha}, out.data() + std::size_t(y) * rowBytes);
  return out;
}

// The value at a key path, or null when absent (keeps failing tests from
// dereferencing nothing).
inline foundation::Value at(const foundation::Value& value, std::initializer_list<std::string_view> path) {
  const foundation::Value* found = value.get(path);
  return found ? *found : foundation::Value();
}

// Largest difference between two 8-bit sample buffers.
inline int maxDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size()) return 256;
  int worst = 0;
  for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
  return worst;
}

// A float image as straight colour and alpha converted into space: 32-bit
// PSDs hold linear light, so their pictures compare with the originals in
// the originals' space.
inline raster::ImageRef floatImageIn(const raster::Image& image, const raster::ColorSpaceRef& space) {
  const int colors = imageio::exportedColorComponents(image);
  const bool alpha = image.format().hasAlpha();
  const auto conversion = raster::ColorConversion::between(image.colorSpace().get(), space.get());
  const std::size_t width = std::size_t(image.width());
  const int samples = colors + (alpha ? 1 : 0);
  std::vector<float> in(width * std::size_t(colors + 1)), out(in.size()), scratch(in.size());
  std::vector<std::uint8_t> pixels(width * std::size_t(samples) * 4 * std::size_t(image.height()));
  for (std::int64_t y = 0; y < image.height(); ++y) {
    imageio::exportRow(image, y, imageio::RowRequest{32, true}, reinterpret_cast<std::uint8_t*>(in.data()));
    for (std::size_t p = 0; p < in.size(); p += std::size_t(colors + 1))
      for (int c = 0; c < colors; ++c) in[p + std::size_t(c)] *= in[p + std::size_t(colors)];
    if (conversion) {
      conversion->convertRow(in.data(), out.data(), std::int64_t(width), scratch.data());
    } else {
      out = in;
    }
    float* row = reinterpret_cast<float*>(pixels.data()) + std::size_t(y) * width * std::size_t(samples);
    for (std::size_t x = 0; x < width; ++x) {
      const float a = out[x * std::size_t(colors + 1) + std::size_t(colors)];
      for (int c = 0; c < colors; ++c)
        row[x * std::size_t(samples) + std::size_t(c)] = a > 0 ? out[x * std::size_t(colors + 1) + std::size_t(c)] / a : 0;
      if (alpha) row[x * std::size_t(samples) + std::size_t(colors)] = a;
    }
  }
  raster::PixelFormat format;
  format.bitsPerComponent = 32;
  format.colorComponents = colors;
  format.alpha = alpha ? raster::AlphaInfo::Last : raster::AlphaInfo::None;
  return raster::Image::make(image.width(), image.height(), format, space, std::move(pixels),
                             width * std::size_t(samples) * 4);
}

// Largest difference between two buffers of float samples.
inline float maxFloatDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size()) return 1e9f;
  float worst = 0;
  for (std::size_t i = 0; i + 4 <= a.size(); i += 4) {
    float x, y;
    std::memcpy(&x, &a[i], 4);
    std::memcpy(&y, &b[i], 4);
    worst = std::max(worst, std::abs(x - y));
  }
  return worst;
}

inline std::vector<std::uint8_t> readAll(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    std::uint8_t buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
  }
  return bytes;
}

inline void writeAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

inline void writeText(const std::string& path, const std::string& text) {
  writeAll(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

inline bool haveGhostscript() {
  return testsupport::runCommand({"gs", "--version"}).exitCode == 0;
}

// Opens every prefix and many single-byte corruptions of a file through the
// codec: none may crash, and a decode either fails or yields an image of
// the size the properties promised.
inline void mutationSweep(const imageio::Codec& codec, const std::vector<std::uint8_t>& original,
                          const std::string& scratchPath, int truncationSteps = 150, int flips = 300) {
  auto tryOpen = [&](const std::vector<std::uint8_t>& bytes) {
    writeAll(scratchPath, bytes);
    auto decoder = codec.open(scratchPath, 1 << 22);
    if (!decoder) return;
    for (std::size_t i = 0; i < decoder->count() && i < 16; ++i) {
      foundation::Value props = decoder->properties(i);
      raster::ImageRef image = decoder->decode(i, {});
      if (image) {
        EXPECT_GT(image->width(), 0);
        EXPECT_GT(image->height(), 0);
      }
    }
  };
  const std::size_t size = original.size();
  for (int step = 0; step < truncationSteps; ++step) {
    const std::size_t cut = size * std::size_t(step) / std::size_t(truncationSteps);
    tryOpen(std::vector<std::uint8_t>(original.begin(), original.begin() + std::ptrdiff_t(cut)));
  }
  std::uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (int i = 0; i < flips; ++i) {
    std::vector<std::uint8_t> bytes = original;
    // Bias towards the headers, where the sizes and counts live.
    const std::size_t at = (i % 2 == 0) ? next() % std::min<std::size_t>(size, 256) : next() % size;
    bytes[at] = std::uint8_t(i % 3 == 0 ? 0xff : i % 3 == 1 ? 0x00 : bytes[at] ^ (1u << (next() % 8)));
    tryOpen(bytes);
  }
}

}  // namespace doctest

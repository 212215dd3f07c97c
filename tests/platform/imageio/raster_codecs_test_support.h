#pragma once
// Helpers for the raster codec, source, destination and detection tests:
// patterned images in any layout, writing through ImageDestination,
// reading through ImageSource, and pixel comparison.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/imageio/image_destination.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/raster/image.h"

namespace rastertest {

// Channel c of pixel (x, y), in [0, 1]: varied enough to catch swapped
// channels, flipped rows and shifted columns.
inline double patternValue(std::int64_t x, std::int64_t y, int c, std::int64_t width, std::int64_t height) {
  return std::fmod(double(x * 5 + y * 11 + c * 67) / double(width + height + 31) + 0.13 * c, 1.0);
}

// An image of the given layout: colour components, bits (8, 16, 32),
// alpha (straight unless premultiplied), with the pattern; alpha varies
// from 0.2 to 1 and is 0 in the top-left pixel.
inline raster::ImageRef makeImage(std::int64_t width, std::int64_t height, int color, int bits, bool alpha,
                                  bool premultiplied = false, raster::ColorSpaceRef space = nullptr) {
  const raster::PixelFormat format = imageio::decodedFormat(bits, color, alpha, premultiplied);
  if (!space) space = imageio::colorSpaceFor(color, nullptr);
  const int stored = format.componentsPerPixel();
  const std::size_t rowBytes = std::size_t(width) * std::size_t(format.bytesPerPixel());
  std::vector<std::uint8_t> pixels(rowBytes * std::size_t(height));
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      double a = alpha ? 0.2 + 0.8 * patternValue(x, y, 7, width, height) : 1.0;
      if (alpha && x == 0 && y == 0) a = 0;
      for (int c = 0; c < stored; ++c) {
        double v = c < color ? patternValue(x, y, c, width, height) : a;
        if (c < color && premultiplied) v *= a;
        const std::size_t at =
            std::size_t(y) * rowBytes + (std::size_t(x) * stored + std::size_t(c)) * (bits / 8);
        if (bits == 8) {
          pixels[at] = std::uint8_t(std::lround(v * 255));
        } else if (bits == 16) {
          const auto s = std::uint16_t(std::lround(v * 65535));
          std::memcpy(&pixels[at], &s, 2);
        } else {
          const float f = float(v);
          std::memcpy(&pixels[at], &f, 4);
        }
      }
    }
  }
  return raster::Image::make(width, height, format, space, std::move(pixels), rowBytes);
}

// Every row as encoders see them (straight, clamped).
inline std::vector<std::uint8_t> samplesOf(const raster::Image& image, int bits, bool alpha,
                                           bool keepPremultiplied = false) {
  const int components = imageio::exportedColorComponents(image) + (alpha ? 1 : 0);
  const std::size_t rowBytes = std::size_t(image.width()) * std::size_t(components) * std::size_t(bits / 8);
  std::vector<std::uint8_t> out(rowBytes * std::size_t(image.height()));
  for (std::int64_t y = 0; y < image.height(); ++y)
    imageio::exportRow(image, y, {bits, alpha, keepPremultiplied}, out.data() + std::size_t(y) * rowBytes);
  return out;
}

// Peak signal-to-noise ratio of two 8-bit sample buffers, in dB.
inline double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double d = double(a[i]) - double(b[i]);
    sum += d * d;
  }
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 / (sum / double(a.size())));
}

// Largest difference between two 8-bit sample buffers.
inline int maxDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size()) return 256;
  int worst = 0;
  for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
  return worst;
}

// A property, or null when it is absent.
inline foundation::Value at(const foundation::Value& properties, std::string_view key) {
  const foundation::Value* value = properties.get(key);
  return value != nullptr ? *value : foundation::Value();
}
inline foundation::Value at(const foundation::Value& properties,
                            std::initializer_list<std::string_view> path) {
  const foundation::Value* value = properties.get(path);
  return value != nullptr ? *value : foundation::Value();
}

inline bool writeFrames(
    const std::string& path, const std::string& type, const std::vector<raster::ImageRef>& images,
    const std::vector<foundation::Value>& properties = {},
    const foundation::Value& fileProperties = foundation::Value(foundation::Dictionary{})) {
  auto destination = imageio::ImageDestination::create(path, type, images.size());
  if (!destination) return false;
  for (std::size_t i = 0; i < images.size(); ++i) {
    destination->addImage(
        images[i], i < properties.size() ? properties[i] : foundation::Value(foundation::Dictionary{}));
  }
  destination->setProperties(fileProperties);
  return destination->finalize();
}

inline bool writeImage(const std::string& path, const std::string& type, const raster::ImageRef& image,
                       const foundation::Value& properties = foundation::Value(foundation::Dictionary{})) {
  return writeFrames(path, type, {image}, {properties});
}

inline raster::ImageRef readImage(const std::string& path, std::size_t index = 0,
                                  const imageio::DecodeOptions& options = {}) {
  auto source = imageio::ImageSource::open(path);
  return source ? source->createImage(index, options) : nullptr;
}

inline std::vector<std::uint8_t> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace rastertest

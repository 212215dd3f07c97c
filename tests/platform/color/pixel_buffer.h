#pragma once
// Test helper: a run of pixels in any BufferLayout, written and read as
// 0..1 floats (straight colour; premultiplied layouts are handled here).

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/color/transform.h"

namespace color::testing {

struct Pixel {
  std::array<float, 4> colour{};
  float alpha = 1.0f;
};

class PixelBuffer {
 public:
  PixelBuffer(BufferLayout layout, std::size_t pixels)
      : layout_(layout), bytes_(pixels * std::size_t(layout.bytesPerPixel())) {}

  std::uint8_t* data() { return bytes_.data(); }
  std::size_t pixels() const { return bytes_.size() / std::size_t(layout_.bytesPerPixel()); }

  void set(std::size_t index, const Pixel& pixel) {
    float alpha = layout_.hasAlpha ? pixel.alpha : 1.0f;
    for (int c = 0; c < layout_.colorChannels; ++c)
      store(index, colourSample(c),
            layout_.premultiplied && layout_.hasAlpha ? pixel.colour[c] * alpha : pixel.colour[c]);
    if (layout_.hasAlpha) store(index, extraSample(), alpha);
  }
  void fill(const Pixel& pixel) {
    for (std::size_t i = 0; i < pixels(); ++i) set(i, pixel);
  }

  // Stored colour, divided by alpha for premultiplied layouts.
  Pixel get(std::size_t index) const {
    Pixel pixel;
    pixel.alpha = layout_.hasAlpha ? load(index, extraSample()) : 1.0f;
    for (int c = 0; c < layout_.colorChannels; ++c) {
      float value = load(index, colourSample(c));
      if (layout_.premultiplied && layout_.hasAlpha) value = pixel.alpha > 0 ? value / pixel.alpha : 0.0f;
      pixel.colour[c] = value;
    }
    return pixel;
  }
  // The raw extra (alpha or padding) sample, 0..1.
  float extra(std::size_t index) const { return load(index, extraSample()); }

 private:
  int colourSample(int c) const {
    return c + ((layout_.hasAlpha || layout_.padding) && layout_.alphaFirst ? 1 : 0);
  }
  int extraSample() const { return layout_.alphaFirst ? 0 : layout_.colorChannels; }

  void store(std::size_t index, int sample, float value) {
    std::uint8_t* at = bytes_.data() + index * std::size_t(layout_.bytesPerPixel()) +
                       std::size_t(sample * layout_.bytesPerSample());
    switch (layout_.type) {
      case SampleType::UInt8:
        *at = std::uint8_t(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f);
        break;
      case SampleType::UInt16: {
        auto v = std::uint16_t(std::clamp(value, 0.0f, 1.0f) * 65535.0f + 0.5f);
        std::memcpy(at, &v, 2);
        break;
      }
      case SampleType::Float32:
        std::memcpy(at, &value, 4);
        break;
    }
  }
  float load(std::size_t index, int sample) const {
    const std::uint8_t* at = bytes_.data() + index * std::size_t(layout_.bytesPerPixel()) +
                             std::size_t(sample * layout_.bytesPerSample());
    switch (layout_.type) {
      case SampleType::UInt8:
        return float(*at) / 255.0f;
      case SampleType::UInt16: {
        std::uint16_t v;
        std::memcpy(&v, at, 2);
        return float(v) / 65535.0f;
      }
      case SampleType::Float32: {
        float v;
        std::memcpy(&v, at, 4);
        return v;
      }
    }
    return 0;
  }

  BufferLayout layout_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace color::testing

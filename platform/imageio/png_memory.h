#pragma once
// PNG to and from memory through libpng's simplified interface, for
// containers that embed PNG payloads (icon files).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace imageio {

struct PngPixels {
  std::int64_t width = 0, height = 0;
  std::vector<std::uint8_t> rgba;  // straight RGBA, 8 bits per sample
};

// nullopt (logged) on corrupt data or when width * height > pixelLimit.
std::optional<PngPixels> decodePngRgba(const std::uint8_t* data, std::size_t size, std::int64_t pixelLimit);

// Encodes straight 8-bit samples: components 2 (gray+alpha) or 4 (RGBA).
// Empty on failure.
std::vector<std::uint8_t> encodePng(const std::uint8_t* samples, std::int64_t width, std::int64_t height,
                                    int components, std::size_t bytesPerRow);

}  // namespace imageio

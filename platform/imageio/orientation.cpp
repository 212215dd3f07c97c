#include "platform/imageio/orientation.h"

#include <cstring>
#include <vector>

#include "platform/foundation/parallel.h"

namespace imageio {

namespace {

// Source coordinates of destination pixel (x, y) for each orientation;
// sw and sh are the stored image's size.
inline void sourceOf(int orientation, std::int64_t x, std::int64_t y, std::int64_t sw, std::int64_t sh,
                     std::int64_t& sx, std::int64_t& sy) {
  switch (orientation) {
    case 2:
      sx = sw - 1 - x;
      sy = y;
      break;
    case 3:
      sx = sw - 1 - x;
      sy = sh - 1 - y;
      break;
    case 4:
      sx = x;
      sy = sh - 1 - y;
      break;
    case 5:
      sx = y;
      sy = x;
      break;
    case 6:
      sx = y;
      sy = sh - 1 - x;
      break;
    case 7:
      sx = sw - 1 - y;
      sy = sh - 1 - x;
      break;
    case 8:
      sx = sw - 1 - y;
      sy = x;
      break;
    default:
      sx = x;
      sy = y;
      break;
  }
}

// Where stored pixel (sx, sy) goes in the upright image: the source, under
// the opposite turn, of that pixel in an image of the upright size.
inline void uprightOf(int orientation, std::int64_t sx, std::int64_t sy, std::int64_t sw, std::int64_t sh,
                      std::int64_t& x, std::int64_t& y) {
  const int opposite = orientation == 6 ? 8 : orientation == 8 ? 6 : orientation;
  const bool swaps = orientation >= 5 && orientation <= 8;
  sourceOf(opposite, sx, sy, swaps ? sh : sw, swaps ? sw : sh, x, y);
}

}  // namespace

void placeStoredRows(int orientation, const std::uint8_t* rows, std::size_t rowBytes, std::int64_t firstRow,
                     std::int64_t rowCount, std::int64_t sw, std::int64_t sh, std::size_t pixelBytes,
                     std::uint8_t* upright, std::size_t uprightRowBytes) {
  if (sw <= 0) return;
  for (std::int64_t r = 0; r < rowCount; ++r) {
    // A stored row lands on a line of the upright image: its first pixel's
    // place and the step from one pixel to the next.
    std::int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    uprightOf(orientation, 0, firstRow + r, sw, sh, x0, y0);
    if (sw > 1) {
      uprightOf(orientation, 1, firstRow + r, sw, sh, x1, y1);
    } else {
      x1 = x0;
      y1 = y0;
    }
    const std::ptrdiff_t step = std::ptrdiff_t(y1 - y0) * std::ptrdiff_t(uprightRowBytes) +
                                std::ptrdiff_t(x1 - x0) * std::ptrdiff_t(pixelBytes);
    std::uint8_t* out = upright + std::size_t(y0) * uprightRowBytes + std::size_t(x0) * pixelBytes;
    const std::uint8_t* in = rows + std::size_t(r) * rowBytes;
    if (pixelBytes == 4) {
      for (std::int64_t sx = 0; sx < sw; ++sx, out += step, in += 4) std::memcpy(out, in, 4);
    } else {
      for (std::int64_t sx = 0; sx < sw; ++sx, out += step, in += pixelBytes)
        std::memcpy(out, in, pixelBytes);
    }
  }
}

raster::ImageRef applyOrientation(const raster::ImageRef& image, int orientation) {
  if (!image || orientation < 2 || orientation > 8) return image;
  const std::int64_t sw = image->width(), sh = image->height();
  const bool swap = orientation >= 5;
  const std::int64_t dw = swap ? sh : sw, dh = swap ? sw : sh;
  const std::size_t pixelBytes = std::size_t(image->format().bytesPerPixel());
  const std::size_t rowBytes = std::size_t(dw) * pixelBytes;
  std::vector<std::uint8_t> pixels(rowBytes * std::size_t(dh));
  foundation::parallelForRange(
      0, dh,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          std::uint8_t* out = pixels.data() + std::size_t(y) * rowBytes;
          for (std::int64_t x = 0; x < dw; ++x) {
            std::int64_t sx = 0, sy = 0;
            sourceOf(orientation, x, y, sw, sh, sx, sy);
            std::memcpy(out + std::size_t(x) * pixelBytes, image->row(sy) + std::size_t(sx) * pixelBytes,
                        pixelBytes);
          }
        }
      },
      16);
  return raster::Image::make(dw, dh, image->format(), image->colorSpace(), std::move(pixels), rowBytes);
}

int exifOrientation(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr) return 0;
  if (size >= 6 && std::memcmp(data, "Exif\0\0", 6) == 0) {
    data += 6;
    size -= 6;
  }
  if (size < 8) return 0;
  bool little = false;
  if (data[0] == 'I' && data[1] == 'I') {
    little = true;
  } else if (!(data[0] == 'M' && data[1] == 'M')) {
    return 0;
  }
  auto u16 = [&](std::size_t at) -> std::uint32_t {
    return little ? std::uint32_t(data[at] | (data[at + 1] << 8))
                  : std::uint32_t((data[at] << 8) | data[at + 1]);
  };
  auto u32 = [&](std::size_t at) -> std::uint64_t {
    return little ? (std::uint64_t(u16(at + 2)) << 16) | u16(at)
                  : (std::uint64_t(u16(at)) << 16) | u16(at + 2);
  };
  if (u16(2) != 42) return 0;
  const std::uint64_t ifd = u32(4);
  if (ifd + 2 > size) return 0;
  const std::uint32_t entries = u16(std::size_t(ifd));
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::uint64_t at = ifd + 2 + std::uint64_t(i) * 12;
    if (at + 12 > size) return 0;
    if (u16(std::size_t(at)) != 0x0112) continue;
    // SHORT, count 1: the value sits in the first two bytes of the field.
    if (u16(std::size_t(at + 2)) != 3) return 0;
    const int value = int(u16(std::size_t(at + 8)));
    return value >= 1 && value <= 8 ? value : 0;
  }
  return 0;
}

}  // namespace imageio

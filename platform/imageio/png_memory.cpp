#include "platform/imageio/png_memory.h"

#include <png.h>

#include "platform/foundation/log.h"
#include "platform/imageio/pixel_convert.h"

namespace imageio {

std::optional<PngPixels> decodePngRgba(const std::uint8_t* data, std::size_t size, std::int64_t pixelLimit) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) {
    foundation::log("png: {}", image.message);
    return std::nullopt;
  }
  if (!withinImageLimits(image.width, image.height, 4, pixelLimit)) {
    png_image_free(&image);
    foundation::log("png: {}x{} exceeds the pixel limit", image.width, image.height);
    return std::nullopt;
  }
  image.format = PNG_FORMAT_RGBA;
  PngPixels pixels;
  pixels.width = image.width;
  pixels.height = image.height;
  pixels.rgba.resize(std::size_t(image.width) * image.height * 4);
  if (!png_image_finish_read(&image, nullptr, pixels.rgba.data(), 0, nullptr)) {
    foundation::log("png: {}", image.message);
    png_image_free(&image);
    return std::nullopt;
  }
  return pixels;
}

std::vector<std::uint8_t> encodePng(const std::uint8_t* samples, std::int64_t width, std::int64_t height,
                                    int components, std::size_t bytesPerRow) {
  if (width < 1 || height < 1 || width > 0x7fffffff || height > 0x7fffffff ||
      (components != 2 && components != 4))
    return {};
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = components == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_GA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, samples, png_int_32(bytesPerRow), nullptr)) {
    foundation::log("png: {}", image.message);
    return {};
  }
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, samples, png_int_32(bytesPerRow), nullptr)) {
    foundation::log("png: {}", image.message);
    return {};
  }
  out.resize(size);
  return out;
}

}  // namespace imageio

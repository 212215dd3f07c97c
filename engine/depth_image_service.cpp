#include "engine/depth_image_service.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "platform/ci/filter.h"
#include "platform/foundation/log.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/orientation.h"
#include "platform/raster/color_space.h"

namespace velumar {

namespace {

// Depth in metres to disparity in 1/m; depths that give none are 0.
void convertDepthToDisparity(std::vector<float>& values) {
  for (float& value : values) value = (std::isfinite(value) && value > 0) ? 1.0f / value : 0.0f;
}

int orientationOf(const foundation::Value& properties) {
  const foundation::Value* value = properties.get("Orientation");
  const std::int64_t orientation = value ? value->intOr(1) : 1;
  return orientation >= 1 && orientation <= 8 ? int(orientation) : 1;
}

// The map turned upright by the image's orientation.
std::optional<imageio::DepthData> upright(imageio::DepthData depth, int orientation) {
  if (orientation == 1) return depth;
  std::vector<std::uint8_t> bytes(depth.values.size() * sizeof(float));
  std::memcpy(bytes.data(), depth.values.data(), bytes.size());
  raster::ImageRef stored =
      raster::Image::make(depth.width, depth.height, raster::PixelFormat{32, 1, raster::AlphaInfo::None},
                          raster::ColorSpace::genericGray(), std::move(bytes));
  raster::ImageRef turned = imageio::applyOrientation(stored, orientation);
  if (!turned) return std::nullopt;
  depth.width = turned->width();
  depth.height = turned->height();
  depth.values.assign(std::size_t(depth.width) * std::size_t(depth.height), 0.0f);
  const std::size_t rowBytes = std::size_t(depth.width) * sizeof(float);
  for (std::int64_t y = 0; y < depth.height; ++y)
    std::memcpy(depth.values.data() + std::size_t(y) * std::size_t(depth.width), turned->row(y), rowBytes);
  return depth;
}

}  // namespace

void normalizePixelBuffer(std::vector<float>& values) {
  // The range always reaches into 0..1: a map of 2..5 becomes 0.25..1, one
  // of 0.2..0.6 is stretched to 0..1.
  float lowest = 1.0f;
  float highest = 0.0f;
  for (float value : values) {
    if (!std::isfinite(value)) continue;
    lowest = std::min(lowest, value);
    highest = std::max(highest, value);
  }
  const float range = highest - lowest;
  const bool hasRange = std::isfinite(range) && range > 0;
  for (float& value : values) value = (hasRange && std::isfinite(value)) ? (value - lowest) / range : 0.0f;
}

ci::ImageRef getDepthImageWithURL(const std::string& path) {
  auto source = imageio::ImageSource::open(path);
  if (!source) return nullptr;
  std::optional<imageio::DepthData> depth = source->depthData();
  if (!depth || depth->empty()) return nullptr;
  if (depth->values.size() != std::size_t(depth->width) * std::size_t(depth->height)) {
    foundation::log("depth: map of {} values does not fill {} x {} in {}", depth->values.size(), depth->width,
                    depth->height, path);
    return nullptr;
  }

  depth = upright(std::move(*depth), orientationOf(source->properties(0)));
  if (!depth) return nullptr;
  if (depth->kind == imageio::DepthData::Kind::Depth) convertDepthToDisparity(depth->values);
  normalizePixelBuffer(depth->values);

  std::vector<float> pixels(depth->values.size() * 4);
  for (std::size_t i = 0; i < depth->values.size(); ++i) {
    const float v = depth->values[i];
    pixels[4 * i] = v;
    pixels[4 * i + 1] = v;
    pixels[4 * i + 2] = v;
    pixels[4 * i + 3] = 1.0f;
  }
  ci::ImageRef image = ci::Image::withPremultipliedPixels(depth->width, depth->height, std::move(pixels));
  if (!image) return nullptr;

  ci::FilterRef clamp = ci::Filter::withName("CIColorClamp");
  if (!clamp) return image;
  clamp->setDefaults();
  clamp->setValue(ci::kInputImageKey, image);
  ci::ImageRef clamped = clamp->outputImage();
  return clamped ? clamped->cropped(image->extent()) : image;
}

}  // namespace velumar

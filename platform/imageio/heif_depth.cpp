#include "platform/imageio/heif_depth.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/foundation/log.h"

namespace imageio {

namespace {

bool ok(const heif_error& error, const char* what) {
  if (error.code == heif_error_Ok) return true;
  foundation::log("heif: {}: {}", what, error.message ? error.message : "error");
  return false;
}

}  // namespace

std::optional<DepthData> readHeifDepth(const heif_image_handle* primary, std::int64_t pixelLimit) {
  if (primary == nullptr || !heif_image_handle_has_depth_image(primary)) return std::nullopt;
  heif_item_id id = 0;
  if (heif_image_handle_get_list_of_depth_image_IDs(primary, &id, 1) != 1) return std::nullopt;
  heif_image_handle* rawHandle = nullptr;
  if (!ok(heif_image_handle_get_depth_image_handle(primary, id, &rawHandle), "depth image"))
    return std::nullopt;
  std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> handle(rawHandle,
                                                                                heif_image_handle_release);

  DepthData depth;
  depth.width = heif_image_handle_get_width(handle.get());
  depth.height = heif_image_handle_get_height(handle.get());
  if (depth.width < 1 || depth.height < 1 || depth.width * depth.height > pixelLimit) {
    foundation::log("heif: depth image of {}x{} refused", depth.width, depth.height);
    return std::nullopt;
  }
  heif_image* rawImage = nullptr;
  if (!ok(heif_decode_image(handle.get(), &rawImage, heif_colorspace_undefined, heif_chroma_undefined,
                            nullptr),
          "depth decode"))
    return std::nullopt;
  std::unique_ptr<heif_image, void (*)(const heif_image*)> image(rawImage, heif_image_release);
  // Depth is the luma of whatever the file stores (monochrome or YCbCr),
  // or green where a writer stored it as RGB.
  const heif_channel channel = heif_image_has_channel(image.get(), heif_channel_Y) ? heif_channel_Y
                               : heif_image_has_channel(image.get(), heif_channel_G)
                                   ? heif_channel_G
                                   : heif_channel_interleaved;
  if (!heif_image_has_channel(image.get(), channel) || channel == heif_channel_interleaved) {
    foundation::log("heif: depth image without a usable plane");
    return std::nullopt;
  }
  int stride = 0;
  const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), channel, &stride);
  if (plane == nullptr || heif_image_get_width(image.get(), channel) < depth.width ||
      heif_image_get_height(image.get(), channel) < depth.height)
    return std::nullopt;
  const int bits = std::clamp(heif_image_get_bits_per_pixel_range(image.get(), channel), 1, 16);
  const double maximum = double((1u << bits) - 1);

  // How the samples map to distances, when the file says.
  double low = 0.0, high = 1.0;
  foundation::Dictionary info;
  const heif_depth_representation_info* representation = nullptr;
  if (heif_image_handle_get_depth_image_representation_info(primary, id, &representation) && representation) {
    const auto type = representation->depth_representation_type;
    info.set("DepthRepresentationType", int(type));
    const bool disparity = type == heif_depth_representation_type_uniform_disparity ||
                           type == heif_depth_representation_type_nonuniform_disparity;
    depth.kind = disparity ? DepthData::Kind::Disparity : DepthData::Kind::Depth;
    if (representation->has_d_min) info.set("DMin", representation->d_min);
    if (representation->has_d_max) info.set("DMax", representation->d_max);
    if (representation->has_z_near) info.set("ZNear", representation->z_near);
    if (representation->has_z_far) info.set("ZFar", representation->z_far);
    if (disparity && representation->has_d_min && representation->has_d_max) {
      low = representation->d_min;
      high = representation->d_max;
    } else if (type == heif_depth_representation_type_uniform_Z && representation->has_z_near &&
               representation->has_z_far) {
      low = representation->z_near;
      high = representation->z_far;
    }
    heif_depth_representation_info_free(representation);
  }
  if (!std::isfinite(low) || !std::isfinite(high)) low = 0.0, high = 1.0;
  depth.properties = foundation::Value(std::move(info));

  depth.values.resize(std::size_t(depth.width * depth.height));
  for (std::int64_t y = 0; y < depth.height; ++y) {
    const std::uint8_t* row = plane + std::size_t(y) * std::size_t(stride);
    for (std::int64_t x = 0; x < depth.width; ++x) {
      const double v = bits > 8 ? double(row[2 * x] | row[2 * x + 1] << 8) : double(row[x]);
      depth.values[std::size_t(y * depth.width + x)] = float(low + std::min(v / maximum, 1.0) * (high - low));
    }
  }
  return depth;
}

bool encodeDepthImage(heif_context* context, const DepthData& depth) {
  if (depth.empty() || depth.values.size() < std::size_t(depth.width * depth.height) || depth.width > 65535 ||
      depth.height > 65535)
    return false;
  float low = INFINITY, high = -INFINITY;
  for (float v : depth.values)
    if (std::isfinite(v)) low = std::min(low, v), high = std::max(high, v);
  if (!(high > low)) high = low + 1.0f;
  if (!std::isfinite(low)) low = 0.0f, high = 1.0f;

  heif_image* rawImage = nullptr;
  // Luma carries the map; chroma is neutral (HEVC encoders take 4:2:0).
  if (!ok(heif_image_create(int(depth.width), int(depth.height), heif_colorspace_YCbCr, heif_chroma_420,
                            &rawImage),
          "depth image"))
    return false;
  std::unique_ptr<heif_image, void (*)(const heif_image*)> image(rawImage, heif_image_release);
  const int chromaWidth = int((depth.width + 1) / 2), chromaHeight = int((depth.height + 1) / 2);
  if (!ok(heif_image_add_plane(image.get(), heif_channel_Y, int(depth.width), int(depth.height), 8),
          "depth plane") ||
      !ok(heif_image_add_plane(image.get(), heif_channel_Cb, chromaWidth, chromaHeight, 8), "depth plane") ||
      !ok(heif_image_add_plane(image.get(), heif_channel_Cr, chromaWidth, chromaHeight, 8), "depth plane"))
    return false;
  for (heif_channel chroma : {heif_channel_Cb, heif_channel_Cr}) {
    int chromaStride = 0;
    std::uint8_t* p = heif_image_get_plane(image.get(), chroma, &chromaStride);
    if (p == nullptr) return false;
    for (int y = 0; y < chromaHeight; ++y)
      std::memset(p + std::size_t(y) * std::size_t(chromaStride), 128, std::size_t(chromaWidth));
  }
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_Y, &stride);
  if (plane == nullptr) return false;
  for (std::int64_t y = 0; y < depth.height; ++y)
    for (std::int64_t x = 0; x < depth.width; ++x) {
      const float v = depth.values[std::size_t(y * depth.width + x)];
      const float n = std::isfinite(v) ? (v - low) / (high - low) : 0.0f;
      plane[std::size_t(y) * std::size_t(stride) + std::size_t(x)] =
          std::uint8_t(std::lround(std::clamp(n, 0.0f, 1.0f) * 255));
    }

  heif_encoder* rawEncoder = nullptr;
  if (!ok(heif_context_get_encoder_for_format(context, heif_compression_HEVC, &rawEncoder), "depth encoder"))
    return false;
  std::unique_ptr<heif_encoder, void (*)(heif_encoder*)> encoder(rawEncoder, heif_encoder_release);
  heif_encoder_set_lossy_quality(encoder.get(), 90);
  heif_image_handle* rawHandle = nullptr;
  if (!ok(heif_context_encode_image(context, image.get(), encoder.get(), nullptr, &rawHandle),
          "depth encode"))
    return false;
  heif_image_handle_release(rawHandle);
  return true;
}

}  // namespace imageio

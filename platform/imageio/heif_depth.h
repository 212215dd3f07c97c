#pragma once
// Depth maps in HEIF files: reading the primary image's depth image into
// DepthData, and storing a DepthData as an 8-bit depth image linked to the
// primary image (libheif encodes the picture; the link, an 'auxl'
// reference and an 'auxC' property, is added to the written file).

#include <libheif/heif.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/imageio/depth_data.h"

namespace imageio {

// nullopt when the image has no readable depth image (logged on failure).
std::optional<DepthData> readHeifDepth(const heif_image_handle* primary, std::int64_t pixelLimit);

// Encodes the map (normalised to 0..255) as a monochrome image of the
// context, after every other image; false (logged) on failure.
bool encodeDepthImage(heif_context* context, const DepthData& depth);

// Rewrites the written file's meta box so that its last top-level image
// (the one encodeDepthImage added) is the depth image of the primary one.
// False (logged) when the file is not laid out as expected.
bool linkDepthImage(const std::string& path);

// The same on bytes in memory, for tests.
bool linkDepthImageInMemory(std::vector<std::uint8_t>& file, heif_item_id mainId, heif_item_id depthId);

}  // namespace imageio

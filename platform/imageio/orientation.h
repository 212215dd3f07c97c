#pragma once
// EXIF orientation: turning a stored image upright, and reading the
// orientation tag out of an EXIF block.

#include <cstddef>
#include <cstdint>

#include "platform/raster/image.h"

namespace imageio {

// The image as it is meant to be seen for an EXIF orientation 1..8 (mirror
// and rotation applied; 5..8 swap width and height). Other values, and 1,
// answer the image itself. nullptr only when the input is null.
raster::ImageRef applyOrientation(const raster::ImageRef& image, int orientation);

// Copies rows [firstRow, firstRow + rowCount) of a stored sw x sh image to
// their upright places in a buffer of the orientation's size (rows of
// uprightRowBytes), so a decoder can turn its image while it decodes,
// without a second full-size buffer.
void placeStoredRows(int orientation, const std::uint8_t* rows, std::size_t rowBytes, std::int64_t firstRow,
                     std::int64_t rowCount, std::int64_t sw, std::int64_t sh, std::size_t pixelBytes,
                     std::uint8_t* upright, std::size_t uprightRowBytes);

// The Orientation tag (0x0112) of IFD0 of a TIFF-structured EXIF block,
// with or without the leading "Exif\0\0"; 0 when absent or malformed.
int exifOrientation(const std::uint8_t* data, std::size_t size);

}  // namespace imageio

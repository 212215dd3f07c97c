#pragma once
// Marker payloads that carry a JPEG's resolution where the JFIF header is
// not written (libjpeg leaves it out of CMYK files) or where readers look
// first: an Exif block with the resolution alone, and a Photoshop
// image-resource block with the resolution resource, into which the
// metadata writer later merges the IPTC record.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace imageio {

// APP1 payload: "Exif\0\0", then a little-endian TIFF structure whose first
// directory holds XResolution, YResolution (dpi / 1) and ResolutionUnit 2.
std::vector<std::uint8_t> exifResolutionPayload(int xDpi, int yDpi);

// APP13 payload: "Photoshop 3.0\0" and one 8BIM resource 0x03ED (16.16
// fixed-point pixels per inch, shown in inches).
std::vector<std::uint8_t> photoshopResolutionPayload(int xDpi, int yDpi);

struct ExifResolution {
  double x = 0, y = 0;  // dots per inch
};

// The resolution in the first directory of an Exif block (with or without
// the "Exif\0\0" prefix), in dots per inch: inches when the unit is
// missing or 2, centimetres when it is 3. None when the block is malformed,
// lacks either value, names no absolute unit or holds a value that is not
// positive.
std::optional<ExifResolution> exifResolution(const std::uint8_t* data, std::size_t size);

}  // namespace imageio

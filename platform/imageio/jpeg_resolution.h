#pragma once
// Marker payloads that carry a JPEG's resolution where the JFIF header is
// not written (libjpeg leaves it out of CMYK files) or where readers look
// first: an Exif block with the resolution alone, and a Photoshop
// image-resource block with the resolution resource, into which the
// metadata writer later merges the IPTC record.

#include <cstdint>
#include <vector>

namespace imageio {

// APP1 payload: "Exif\0\0", then a little-endian TIFF structure whose first
// directory holds XResolution, YResolution (dpi / 1) and ResolutionUnit 2.
std::vector<std::uint8_t> exifResolutionPayload(int xDpi, int yDpi);

// APP13 payload: "Photoshop 3.0\0" and one 8BIM resource 0x03ED (16.16
// fixed-point pixels per inch, shown in inches).
std::vector<std::uint8_t> photoshopResolutionPayload(int xDpi, int yDpi);

}  // namespace imageio

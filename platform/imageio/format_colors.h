#pragma once
// Redraws a frame into what a file format can hold: formats without CMYK
// get RGB through the profiles, formats without a profile get sRGB pixels,
// and formats without alpha get the picture composited over white, so that
// no reader depends on a profile or on colours hidden under transparency.

#include "platform/raster/image.h"

namespace imageio {

// What a format carries.
enum class FormatColors {
  ProfiledGrayOrRGB,  // gray or RGB with an embedded profile (PNG)
  ProfiledRGB,        // RGB with a profile, gray spread to RGB without one (HEIF)
  UntaggedGrayOrRGB,  // gray or RGB, no profile: readers assume sRGB (GIF, BMP)
};

// The image itself when the format holds it as it is; else an sRGB redraw
// (8 or 16 bits like the source, alpha kept premultiplied). nullptr when
// the redraw fails.
raster::ImageRef imageForFormat(const raster::ImageRef& image, FormatColors colors);

// The image composited over opaque white in its own colour model, without
// alpha; the image itself when it has no alpha. nullptr when the redraw
// fails.
raster::ImageRef flattenedOnWhite(const raster::ImageRef& image);

}  // namespace imageio

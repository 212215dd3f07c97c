#pragma once
// Input files for the loader tests, made by our own writers or by hand
// (PDFs whose page and image sizes are chosen freely), and pixel probes.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/imported_image.h"
#include "engine_test_images.h"
#include "platform/raster/image.h"

namespace velumar::loaders_testing {

using testimages::solidImage;

struct FrameSpec {
  raster::ImageRef image;
  double dpi = 0;  // 0: none written
};
// Writes the frames with our encoder of the type; false on failure.
bool writeFrames(const std::string& path, const std::string& type, const std::vector<FrameSpec>& frames);

// One page of a hand-made PDF: its media box and, optionally, an 8-bit gray
// image XObject of the declared size in its resources, drawn over the whole
// page when painted (its data is then width x height bytes of gray), else
// only declared (no data). The lower-left quarter of every page is then
// filled blue.
struct PdfPageSpec {
  double width = 612, height = 792;
  std::int64_t imageWidth = 0, imageHeight = 0;
  bool paintImage = false;
};
bool writeHandmadePdf(const std::string& path, const std::vector<PdfPageSpec>& pages);

// A minimal EPS filling its bounding box (x0 y0 x1 y1 as written) with red.
bool writeRedEps(const std::string& path, const std::string& boundingBox);

// The file's first `keep` bytes in a new file.
bool writeTruncatedCopy(const std::string& from, const std::string& to, std::size_t keep);

// The colour at (x, y) from the top of an 8-bit RGB representation (alpha
// or padding anywhere), and its alpha (255 without one).
std::array<int, 4> rgbaAt(const BitmapRepRef& rep, std::int64_t x, std::int64_t y);

}  // namespace velumar::loaders_testing

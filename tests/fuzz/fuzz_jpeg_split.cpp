// Progressive JPEGs decoded with their independent scans at once, at any
// size: the marker parse never reads out of bounds, and the pixels are
// those of decoding the file as one stream (aborts otherwise).
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_input.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/jpeg_scan_split.h"
#include "platform/imageio/jpeg_split_decode.h"

namespace {

// Pixels of the file's first image, or empty.
std::string pixelsOf(const std::string& path, bool split) {
  imageio::jpegSplitOptions().minimumPixels = split ? 1 : std::int64_t(1) << 60;
  std::string pixels;
  if (const auto source = imageio::ImageSource::open(path, 1 << 22)) {
    if (const raster::ImageRef image = source->createImage(0)) {
      const std::size_t rowBytes = std::size_t(image->width()) * std::size_t(image->format().bytesPerPixel());
      for (std::int64_t y = 0; y < image->height(); ++y)
        pixels.append(reinterpret_cast<const char*>(image->row(y)), rowBytes);
    }
  }
  return pixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!imageio::independentScanStreams(data, size)) return 0;
  const fuzzing::InputFile file(data, size);
  if (!file.ok()) return 0;
  if (pixelsOf(file.path(), true) != pixelsOf(file.path(), false)) std::abort();
  return 0;
}

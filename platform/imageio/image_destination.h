#pragma once
// Writing images: a type, images with their properties, file properties,
// then finalize. The file is written unnamed in the destination folder and
// given its name only when complete, so a failed or killed write leaves no
// partial file and never destroys an existing one.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/value.h"
#include "platform/imageio/depth_data.h"
#include "platform/raster/image.h"

namespace imageio {

struct Frame {
  raster::ImageRef image;
  // Keys the writers honour: DPIWidth, DPIHeight, Orientation,
  // LossyCompressionQuality (0..1), {TIFF} (Compression 1/5/32773,
  // XResolution, YResolution, ResolutionUnit), {Exif} (PixelXDimension,
  // PixelYDimension and everything kept from a source), {GPS}, {IPTC},
  // {GIF} (DelayTime, UnclampedDelayTime), {PNG}.
  foundation::Value properties;
  std::optional<DepthData> depth;
};

class ImageDestination {
 public:
  // nullptr when no encoder writes the type (e.g. "public.jpeg").
  // expectedCount is how many images will be added.
  static std::unique_ptr<ImageDestination> create(const std::string& path, const std::string& type,
                                                  std::size_t expectedCount);
  // Whether an encoder for the type exists.
  static bool canWrite(const std::string& type);

  void addImage(raster::ImageRef image, foundation::Value properties,
                std::optional<DepthData> depth = std::nullopt);
  // File-level properties (e.g. {GIF} LoopCount).
  void setProperties(foundation::Value properties) { fileProperties_ = std::move(properties); }
  // Writes the file; false on any failure (nothing is left behind then).
  bool finalize();

  const std::string& path() const { return path_; }
  const std::string& type() const { return type_; }

 private:
  ImageDestination() = default;
  std::string path_;
  std::string type_;
  std::size_t expectedCount_ = 0;
  std::vector<Frame> frames_;
  foundation::Value fileProperties_;
  bool finalized_ = false;
};

}  // namespace imageio

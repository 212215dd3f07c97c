#pragma once
// Reading images: open a file, learn its type and image count, read the
// properties of each image and of the file, decode an image (optionally at a
// reduced size) and the depth map.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/value.h"
#include "platform/imageio/depth_data.h"
#include "platform/raster/image.h"

namespace imageio {

// Decoders refuse images with more pixels than this unless told otherwise.
inline constexpr std::int64_t kDefaultPixelLimit = 500'000'000;

struct DecodeOptions {
  // 0 decodes at full size; otherwise the longer side is at most this
  // (JPEG uses DCT scaling, a still WebP scales while decoding, others
  // decode then shrink).
  std::int64_t maxPixelSize = 0;
  // false leaves a reduced decode at the size the decoder reached (at least
  // maxPixelSize, below twice it for JPEG, exactly it for a still WebP;
  // full size for formats without a reduced decode), for callers that
  // resample it themselves.
  bool shrinkToMaxPixelSize = true;
  // Apply the EXIF orientation to the pixels (the image comes out upright).
  bool applyOrientation = true;
};

class Decoder;

class ImageSource {
 public:
  // nullptr when no decoder reads the file. pixelLimit bounds every decode.
  static std::shared_ptr<ImageSource> open(const std::string& path,
                                           std::int64_t pixelLimit = kDefaultPixelLimit);
  ~ImageSource();

  const std::string& path() const { return path_; }
  // The type identifier, e.g. "public.jpeg", "com.adobe.pdf".
  const std::string& type() const { return type_; }
  std::size_t count() const;
  // Per-image properties keyed as the platform does: PixelWidth,
  // PixelHeight, Depth, ColorModel, ProfileName, DPIWidth, DPIHeight,
  // Orientation, HasAlpha, {Exif}, {TIFF}, {GPS}, {IPTC}, {PNG}, {GIF}, ...
  // An empty dictionary when the index is out of range.
  foundation::Value properties(std::size_t index) const;
  // File-level properties (e.g. {GIF} LoopCount, FileSize).
  foundation::Value fileProperties() const;
  // nullptr when the index is out of range or decoding fails.
  raster::ImageRef createImage(std::size_t index, const DecodeOptions& options = {}) const;
  // The bytes a full decode of every image may take, from the headers
  // alone (no pixels, no metadata): four bytes a pixel per eight bits of
  // depth. 0 when a header gives no size.
  std::int64_t decodedByteEstimate() const;
  // What decoding image index holds besides its pixels at any scale, from
  // the header: a progressive JPEG's coefficients, and the file itself
  // when its scans are decoded at once. 0 when that is negligible.
  std::int64_t decodeWorkingBytes(std::size_t index) const;
  // The disparity/depth map of image 0, when the file has one.
  std::optional<DepthData> depthData() const;

 private:
  ImageSource() = default;
  std::string path_;
  std::string type_;
  std::int64_t pixelLimit_ = kDefaultPixelLimit;
  std::unique_ptr<Decoder> decoder_;
  // The file's metadata dictionaries, merged into every image's properties;
  // read on the first properties() call.
  const foundation::Value& metadata() const;
  mutable foundation::Value metadata_;
  mutable bool metadataRead_ = false;
  // Decoders keep parse state: one call at a time.
  mutable std::mutex mutex_;
};

}  // namespace imageio

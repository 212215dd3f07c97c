#pragma once
// The internal codec interface: one codec per file format. Codecs are
// listed explicitly by the registry (static registration would be dropped
// by the linker).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/value.h"
#include "platform/imageio/depth_data.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/image_source.h"

namespace imageio {

// One opened file.
class Decoder {
 public:
  virtual ~Decoder() = default;
  virtual std::size_t count() const = 0;
  virtual foundation::Value properties(std::size_t index) = 0;
  virtual foundation::Value fileProperties() { return foundation::Value(foundation::Dictionary{}); }
  virtual raster::ImageRef decode(std::size_t index, const DecodeOptions& options) = 0;
  // The image already turned upright for an EXIF orientation 2..8, for
  // decoders that turn while decoding (no second full-size buffer); nullptr
  // when decoding fails, nothing when the decoder cannot turn.
  virtual std::optional<raster::ImageRef> decodeUpright(std::size_t /*index*/,
                                                        const DecodeOptions& /*options*/,
                                                        int /*orientation*/) {
    return std::nullopt;
  }
  virtual std::optional<DepthData> depthData() { return std::nullopt; }
  // What a decode of image index holds besides its pixels, in bytes, when
  // that is a real share of it (a progressive JPEG's coefficients).
  virtual std::int64_t decodeWorkingBytes(std::size_t /*index*/) { return 0; }
};

struct Codec {
  // Primary type identifier and any aliases it also answers to.
  std::string type;
  std::vector<std::string> aliases;
  // Lower-case extensions without the dot; the first is canonical.
  std::vector<std::string> extensions;
  // True when the first bytes of a file look like this format (at most the
  // first 64 bytes are given; size may be smaller).
  bool (*sniff)(const std::uint8_t* bytes, std::size_t size) = nullptr;
  // Opens a file for reading; nullptr when it is not readable.
  std::unique_ptr<Decoder> (*open)(const std::string& path, std::int64_t pixelLimit) = nullptr;
  // Writes frames to path (a temporary file the destination renames);
  // nullptr when the format is read-only.
  bool (*write)(const std::string& path, const std::vector<Frame>& frames,
                const foundation::Value& fileProperties) = nullptr;
};

// Every codec, in probe order.
const std::vector<Codec>& codecs();
const Codec* codecForType(const std::string& type);
const Codec* codecForExtension(const std::string& extension);

// Registry parts, one per group of codec files.
void addRasterCodecs(std::vector<Codec>& out);    // JPEG, PNG, TIFF, GIF, BMP, WebP
void addDocumentCodecs(std::vector<Codec>& out);  // HEIF, PDF, EPS/PS, AI, ICNS, flat PSD

}  // namespace imageio

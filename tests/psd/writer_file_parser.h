#pragma once
// A strict test-side reader of the files RWPSDWriter makes: every section,
// record and channel is split out and decoded so tests can look at fields
// and pixels without going through the product's own reader.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace writertest {

using Bytes = std::vector<std::uint8_t>;

struct ParsedChannel {
  std::int16_t id = 0;
  std::uint32_t length = 0;
  Bytes data;   // compression field included
  Bytes plane;  // decoded samples, rows x columns of the record
};

struct ParsedLayer {
  std::int32_t top = 0, left = 0, bottom = 0, right = 0;
  std::vector<ParsedChannel> channels;
  std::string blendKey;
  std::uint8_t opacity = 0;
  Bytes extra;
  std::u16string unicodeName;
  std::optional<std::uint32_t> sectionType;
  std::string sectionBlendKey;
  std::uint32_t lsctLength = 0;
};

struct ParsedResource {
  std::uint16_t id = 0;
  Bytes data;  // without the padding byte
  bool padded = false;
};

struct ParsedFile {
  std::uint16_t channels = 0;
  std::uint32_t width = 0, height = 0;
  std::uint32_t resourceSectionLength = 0;
  std::vector<ParsedResource> resources;
  std::uint32_t layerSectionLength = 0, layerInfoLength = 0;
  std::int16_t layerCount = 0;
  std::vector<ParsedLayer> layers;  // file order: bottom first
  std::vector<std::uint16_t> compositeRowCounts;
  std::vector<Bytes> compositePlanes;  // per channel, width x height
};

// nullopt (with the reason in *why) when anything is out of place.
std::optional<ParsedFile> parsePSD(const Bytes& file, std::string* why = nullptr);

// Decodes PackBits into exactly `length` bytes; nullopt when the data do not
// produce exactly that many.
std::optional<Bytes> unpackBits(const std::uint8_t* data, std::size_t size, std::size_t length);

}  // namespace writertest

#pragma once
// Test-only writer of PSD bytes, field by field, for the edge cases no
// program writes: odd counts, bad signatures, odd mask lengths, unknown
// compressions, many channels, text blocks of unknown versions.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace psdtest {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& out, std::uint32_t v);
void put32(Bytes& out, std::uint32_t v);
void putKey(Bytes& out, const std::string& key);  // four characters
void putDouble(Bytes& out, double v);
void putUnicode(Bytes& out, const std::u16string& text, bool zeroTerminated = false);

struct Channel {
  std::int16_t id = 0;
  Bytes bytes;  // compression field and data
};
Channel rawChannel(std::int16_t id, const Bytes& plane);
Channel rleChannel(std::int16_t id, const Bytes& plane, int width, int height);
Channel zipChannel(std::int16_t id, const Bytes& plane, int width, int height, bool prediction);
Channel encodedChannel(std::int16_t id, std::uint16_t compression, const Bytes& payload);

struct Block {
  std::string key;
  Bytes data;
  std::string signature = "8BIM";
  std::optional<std::uint32_t> statedLength;
};
Block lsctBlock(std::uint32_t type, const std::string& blendKey = "", std::size_t length = 4);
Block luniBlock(const std::u16string& name);
Block lyidBlock(std::uint32_t id);
// A text block: version, transform, text version 50, a text descriptor, a
// warp descriptor.
Block tyshBlock(std::uint16_t version, const Bytes& textDescriptor, std::uint16_t textVersion = 50);

struct Layer {
  std::int32_t top = 0, left = 0, bottom = 0, right = 0;
  std::vector<Channel> channels;
  std::string blendSignature = "8BIM";
  std::string blendKey = "norm";
  std::uint8_t opacity = 255;
  std::uint8_t flags = 0;
  bool noExtraData = false;
  std::optional<Bytes> maskData;   // content after the mask length field
  std::string name;                // raw bytes of the Pascal string
  std::optional<Bytes> nameField;  // replaces the padded name when given
  std::vector<Block> blocks;
};

// A layer of w x h filled with one straight RGBA colour, channels coded with
// compression (0 raw, 1 run-length, 2 ZIP, 3 ZIP with prediction).
Layer solidLayer(const std::string& name, int left, int top, int width, int height, std::uint8_t r,
                 std::uint8_t g, std::uint8_t b, std::uint8_t a, int compression = 1);
Layer groupStart(const std::string& name, std::uint32_t type = 1);
Layer groupEnd();

struct Resource {
  std::uint16_t id = 0;
  Bytes data;
  std::string signature = "8BIM";
};

struct Document {
  std::uint16_t version = 1;
  std::uint16_t channels = 4;
  std::uint32_t width = 8, height = 8;
  std::uint16_t depth = 8, mode = 3;
  std::vector<Resource> resources;
  std::vector<Layer> layers;
  std::optional<std::int16_t> storedCount;
  // Composite: raw planes filled with 0x40 unless compositeData.
  std::optional<Bytes> compositeData;  // compression field and data
};

Bytes build(const Document& document);

// Descriptor bytes: a name, a class key and the given items.
Bytes descriptor(const std::string& classKey, std::uint32_t itemCount, const Bytes& items);
// Item key forms: a string key, or a four-byte code key.
void putStringKey(Bytes& out, const std::string& key);
void putCodeKey(Bytes& out, const std::string& code);

}  // namespace psdtest

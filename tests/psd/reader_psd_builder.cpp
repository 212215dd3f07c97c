#include "psd/reader_psd_builder.h"

#include <zlib.h>

#include <cstring>

#include "psd/kd_psd_packbits.h"
#include "psd/kd_psd_pascal_string.h"

namespace psdtest {

void put16(Bytes& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v >> 8));
  out.push_back(std::uint8_t(v));
}

void put32(Bytes& out, std::uint32_t v) {
  put16(out, v >> 16);
  put16(out, v & 0xFFFF);
}

void putKey(Bytes& out, const std::string& key) {
  for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(i < int(key.size()) ? key[std::size_t(i)] : ' '));
}

void putDouble(Bytes& out, double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  put32(out, std::uint32_t(bits >> 32));
  put32(out, std::uint32_t(bits));
}

void putUnicode(Bytes& out, const std::u16string& text, bool zeroTerminated) {
  put32(out, std::uint32_t(text.size() + (zeroTerminated ? 1 : 0)));
  for (char16_t c : text) put16(out, c);
  if (zeroTerminated) put16(out, 0);
}

Channel rawChannel(std::int16_t id, const Bytes& plane) {
  Channel c{id, {}};
  put16(c.bytes, 0);
  c.bytes.insert(c.bytes.end(), plane.begin(), plane.end());
  return c;
}

Channel rleChannel(std::int16_t id, const Bytes& plane, int width, int height) {
  Channel c{id, {}};
  put16(c.bytes, 1);
  std::vector<Bytes> rows(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    velumar::packBitsRow(plane.data() + std::size_t(y) * std::size_t(width), std::size_t(width),
                         rows[std::size_t(y)]);
    put16(c.bytes, std::uint32_t(rows[std::size_t(y)].size()));
  }
  for (const Bytes& row : rows) c.bytes.insert(c.bytes.end(), row.begin(), row.end());
  return c;
}

Channel zipChannel(std::int16_t id, const Bytes& plane, int width, int height, bool prediction) {
  Bytes source = plane;
  if (prediction) {
    for (int y = 0; y < height; ++y) {
      std::uint8_t* row = source.data() + std::size_t(y) * std::size_t(width);
      for (int x = width - 1; x > 0; --x) row[x] = std::uint8_t(row[x] - row[x - 1]);
    }
  }
  uLongf size = compressBound(uLong(source.size()));
  Bytes packed(size);
  compress2(packed.data(), &size, source.data(), uLong(source.size()), 9);
  packed.resize(size);
  return encodedChannel(id, prediction ? 3 : 2, packed);
}

Channel encodedChannel(std::int16_t id, std::uint16_t compression, const Bytes& payload) {
  Channel c{id, {}};
  put16(c.bytes, compression);
  c.bytes.insert(c.bytes.end(), payload.begin(), payload.end());
  return c;
}

Block lsctBlock(std::uint32_t type, const std::string& blendKey, std::size_t length) {
  Block block{"lsct", {}, "8BIM", std::nullopt};
  put32(block.data, type);
  if (!blendKey.empty()) {
    putKey(block.data, "8BIM");
    putKey(block.data, blendKey);
  }
  while (block.data.size() < length) block.data.push_back(0);
  return block;
}

Block luniBlock(const std::u16string& name) {
  Block block{"luni", {}, "8BIM", std::nullopt};
  putUnicode(block.data, name);
  if (block.data.size() % 4) block.data.resize((block.data.size() + 3) / 4 * 4, 0);
  return block;
}

Block lyidBlock(std::uint32_t id) {
  Block block{"lyid", {}, "8BIM", std::nullopt};
  put32(block.data, id);
  return block;
}

Block tyshBlock(std::uint16_t version, const Bytes& textDescriptor, std::uint16_t textVersion) {
  Block block{"TySh", {}, "8BIM", std::nullopt};
  put16(block.data, version);
  for (int i = 0; i < 6; ++i) putDouble(block.data, i == 0 || i == 3 ? 1.0 : 0.0);
  put16(block.data, textVersion);
  put32(block.data, 16);
  block.data.insert(block.data.end(), textDescriptor.begin(), textDescriptor.end());
  put16(block.data, 1);
  put32(block.data, 16);
  Bytes warp = descriptor("warp", 0, {});
  block.data.insert(block.data.end(), warp.begin(), warp.end());
  put32(block.data, 0);  // trailing bounds a real writer adds
  return block;
}

Layer solidLayer(const std::string& name, int left, int top, int width, int height, std::uint8_t r,
                 std::uint8_t g, std::uint8_t b, std::uint8_t a, int compression) {
  Layer layer;
  layer.left = left;
  layer.top = top;
  layer.right = left + width;
  layer.bottom = top + height;
  layer.name = name;
  const std::size_t count = std::size_t(width) * std::size_t(height);
  const std::pair<std::int16_t, std::uint8_t> planes[4] = {{-1, a}, {0, r}, {1, g}, {2, b}};
  for (const auto& [id, value] : planes) {
    const Bytes plane(count, value);
    switch (compression) {
      case 0:
        layer.channels.push_back(rawChannel(id, plane));
        break;
      case 1:
        layer.channels.push_back(rleChannel(id, plane, width, height));
        break;
      default:
        layer.channels.push_back(zipChannel(id, plane, width, height, compression == 3));
        break;
    }
  }
  return layer;
}

Layer groupStart(const std::string& name, std::uint32_t type) {
  Layer layer;
  layer.name = name;
  for (std::int16_t id : {-1, 0, 1, 2}) layer.channels.push_back(rawChannel(id, {}));
  layer.blocks.push_back(lsctBlock(type));
  return layer;
}

Layer groupEnd() {
  return groupStart("</Layer group>", 3);
}

namespace {

void putLayerRecord(Bytes& out, const Layer& layer) {
  put32(out, std::uint32_t(layer.top));
  put32(out, std::uint32_t(layer.left));
  put32(out, std::uint32_t(layer.bottom));
  put32(out, std::uint32_t(layer.right));
  put16(out, std::uint32_t(layer.channels.size()));
  for (const Channel& c : layer.channels) {
    put16(out, std::uint16_t(c.id));
    put32(out, std::uint32_t(c.bytes.size()));
  }
  putKey(out, layer.blendSignature);
  putKey(out, layer.blendKey);
  out.push_back(layer.opacity);
  out.push_back(0);
  out.push_back(layer.flags);
  out.push_back(0);
  if (layer.noExtraData) {
    put32(out, 0);
    return;
  }
  Bytes extra;
  if (layer.maskData) {
    put32(extra, std::uint32_t(layer.maskData->size()));
    extra.insert(extra.end(), layer.maskData->begin(), layer.maskData->end());
  } else {
    put32(extra, 0);
  }
  put32(extra, 0);  // blending ranges
  if (layer.nameField) {
    extra.insert(extra.end(), layer.nameField->begin(), layer.nameField->end());
  } else {
    extra.push_back(std::uint8_t(layer.name.size()));
    extra.insert(extra.end(), layer.name.begin(), layer.name.end());
    const std::size_t after = velumar::pascalStringBytesAfterLength(layer.name.size(), 4);
    extra.insert(extra.end(), after - layer.name.size(), 0);
  }
  for (const Block& block : layer.blocks) {
    putKey(extra, block.signature);
    putKey(extra, block.key);
    put32(extra, block.statedLength.value_or(std::uint32_t(block.data.size())));
    extra.insert(extra.end(), block.data.begin(), block.data.end());
  }
  put32(out, std::uint32_t(extra.size()));
  out.insert(out.end(), extra.begin(), extra.end());
}

}  // namespace

Bytes build(const Document& d) {
  Bytes out;
  putKey(out, "8BPS");
  put16(out, d.version);
  out.insert(out.end(), 6, 0);
  put16(out, d.channels);
  put32(out, d.height);
  put32(out, d.width);
  put16(out, d.depth);
  put16(out, d.mode);
  put32(out, 0);  // colour-mode data

  Bytes resources;
  for (const Resource& r : d.resources) {
    putKey(resources, r.signature);
    put16(resources, r.id);
    put16(resources, 0);  // empty name, padded
    put32(resources, std::uint32_t(r.data.size()));
    resources.insert(resources.end(), r.data.begin(), r.data.end());
    if (r.data.size() % 2) resources.push_back(0);
  }
  put32(out, std::uint32_t(resources.size()));
  out.insert(out.end(), resources.begin(), resources.end());

  Bytes section;
  if (!d.layers.empty() || d.storedCount) {
    Bytes info;
    put16(info, std::uint16_t(d.storedCount.value_or(std::int16_t(d.layers.size()))));
    for (const Layer& layer : d.layers) putLayerRecord(info, layer);
    for (const Layer& layer : d.layers) {
      for (const Channel& c : layer.channels) info.insert(info.end(), c.bytes.begin(), c.bytes.end());
    }
    if (info.size() % 2) info.push_back(0);
    put32(section, std::uint32_t(info.size()));
    section.insert(section.end(), info.begin(), info.end());
  }
  put32(out, std::uint32_t(section.size()));
  out.insert(out.end(), section.begin(), section.end());

  if (d.compositeData) {
    out.insert(out.end(), d.compositeData->begin(), d.compositeData->end());
  } else {
    put16(out, 0);
    out.insert(out.end(), std::size_t(d.channels) * d.width * d.height, 0x40);
  }
  return out;
}

void putStringKey(Bytes& out, const std::string& key) {
  put32(out, std::uint32_t(key.size()));
  out.insert(out.end(), key.begin(), key.end());
}

void putCodeKey(Bytes& out, const std::string& code) {
  put32(out, 0);
  putKey(out, code);
}

Bytes descriptor(const std::string& classKey, std::uint32_t itemCount, const Bytes& items) {
  Bytes out;
  putUnicode(out, u"", false);
  putCodeKey(out, classKey);
  put32(out, itemCount);
  out.insert(out.end(), items.begin(), items.end());
  return out;
}

}  // namespace psdtest

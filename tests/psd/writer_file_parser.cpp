#include "psd/writer_file_parser.h"

#include <stdexcept>

namespace writertest {

namespace {

struct Cursor {
  const Bytes& bytes;
  std::size_t at = 0;

  void need(std::size_t n) const {
    if (at + n > bytes.size()) throw std::runtime_error("read past the end at " + std::to_string(at));
  }
  std::uint8_t u8() {
    need(1);
    return bytes[at++];
  }
  std::uint16_t u16() {
    need(2);
    std::uint16_t v = std::uint16_t((bytes[at] << 8) | bytes[at + 1]);
    at += 2;
    return v;
  }
  std::uint32_t u32() {
    need(4);
    std::uint32_t v = (std::uint32_t(bytes[at]) << 24) | (std::uint32_t(bytes[at + 1]) << 16) |
                      (std::uint32_t(bytes[at + 2]) << 8) | std::uint32_t(bytes[at + 3]);
    at += 4;
    return v;
  }
  std::string key() {
    need(4);
    std::string s(bytes.begin() + std::ptrdiff_t(at), bytes.begin() + std::ptrdiff_t(at + 4));
    at += 4;
    return s;
  }
  Bytes take(std::size_t n) {
    need(n);
    Bytes b(bytes.begin() + std::ptrdiff_t(at), bytes.begin() + std::ptrdiff_t(at + n));
    at += n;
    return b;
  }
};

void expect(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error(what);
}

void parseExtra(ParsedLayer& layer) {
  Cursor c{layer.extra};
  expect(c.u32() == 0, "layer mask length not 0");
  expect(c.u32() == 0, "blending ranges length not 0");
  const std::size_t nameStart = c.at;
  c.take(c.u8());
  while ((c.at - nameStart) % 4) c.u8();
  while (c.at < layer.extra.size()) {
    expect(c.key() == "8BIM", "block signature");
    const std::string key = c.key();
    const std::uint32_t length = c.u32();
    Cursor block{layer.extra, c.at};
    block.need(length);
    if (key == "luni") {
      const std::uint32_t count = block.u32();
      expect(length == 4 + 2 * count, "luni length");
      for (std::uint32_t i = 0; i < count; ++i) layer.unicodeName.push_back(char16_t(block.u16()));
    } else if (key == "lsct") {
      layer.lsctLength = length;
      layer.sectionType = block.u32();
      if (length >= 12) {
        expect(block.key() == "8BIM", "lsct blend signature");
        layer.sectionBlendKey = block.key();
      }
    }
    c.at += length;
  }
}

}  // namespace

std::optional<Bytes> unpackBits(const std::uint8_t* data, std::size_t size, std::size_t length) {
  Bytes out;
  std::size_t i = 0;
  while (i < size) {
    const int header = int(std::int8_t(data[i++]));
    if (header >= 0) {
      if (i + std::size_t(header) + 1 > size) return std::nullopt;
      out.insert(out.end(), data + i, data + i + header + 1);
      i += std::size_t(header) + 1;
    } else if (header != -128) {
      if (i >= size) return std::nullopt;
      out.insert(out.end(), std::size_t(1 - header), data[i++]);
    }
  }
  if (out.size() != length) return std::nullopt;
  return out;
}

std::optional<ParsedFile> parsePSD(const Bytes& file, std::string* why) {
  try {
    ParsedFile f;
    Cursor c{file};
    expect(c.key() == "8BPS", "signature");
    expect(c.u16() == 1, "version");
    for (int i = 0; i < 6; ++i) expect(c.u8() == 0, "reserved");
    f.channels = c.u16();
    f.height = c.u32();
    f.width = c.u32();
    expect(c.u16() == 8, "depth");
    expect(c.u16() == 3, "RGB mode");
    expect(c.u32() == 0, "colour mode data");
    f.resourceSectionLength = c.u32();
    const std::size_t resourcesEnd = c.at + f.resourceSectionLength;
    while (c.at < resourcesEnd) {
      expect(c.key() == "8BIM", "resource signature");
      ParsedResource r;
      r.id = c.u16();
      expect(c.u16() == 0, "resource name");
      const std::uint32_t length = c.u32();
      r.data = c.take(length);
      if (length % 2) {
        expect(c.u8() == 0, "resource padding");
        r.padded = true;
      }
      f.resources.push_back(std::move(r));
    }
    expect(c.at == resourcesEnd, "resource section length");

    f.layerSectionLength = c.u32();
    const std::size_t sectionEnd = c.at + f.layerSectionLength;
    f.layerInfoLength = c.u32();
    expect(f.layerInfoLength % 2 == 0, "layer info length odd");
    const std::size_t infoEnd = c.at + f.layerInfoLength;
    f.layerCount = std::int16_t(c.u16());
    const int count = f.layerCount < 0 ? -f.layerCount : f.layerCount;
    for (int i = 0; i < count; ++i) {
      ParsedLayer layer;
      layer.top = std::int32_t(c.u32());
      layer.left = std::int32_t(c.u32());
      layer.bottom = std::int32_t(c.u32());
      layer.right = std::int32_t(c.u32());
      const std::uint16_t channels = c.u16();
      for (int k = 0; k < channels; ++k) {
        ParsedChannel ch;
        ch.id = std::int16_t(c.u16());
        ch.length = c.u32();
        layer.channels.push_back(ch);
      }
      expect(c.key() == "8BIM", "blend signature");
      layer.blendKey = c.key();
      layer.opacity = c.u8();
      expect(c.u8() == 0, "clipping");
      c.u8();  // flags
      expect(c.u8() == 0, "filler");
      layer.extra = c.take(c.u32());
      parseExtra(layer);
      f.layers.push_back(std::move(layer));
    }
    for (ParsedLayer& layer : f.layers) {
      const std::size_t rows = std::size_t(layer.bottom - layer.top);
      const std::size_t columns = std::size_t(layer.right - layer.left);
      for (ParsedChannel& ch : layer.channels) {
        ch.data = c.take(ch.length);
        Cursor d{ch.data};
        const std::uint16_t compression = d.u16();
        if (compression == 0) {
          ch.plane = d.take(rows * columns);
        } else {
          expect(compression == 1, "channel compression");
          std::vector<std::uint16_t> rowCounts;
          for (std::size_t r = 0; r < rows; ++r) rowCounts.push_back(d.u16());
          for (std::size_t r = 0; r < rows; ++r) {
            Bytes packed = d.take(rowCounts[r]);
            auto row = unpackBits(packed.data(), packed.size(), columns);
            expect(row.has_value(), "channel row does not decode to the record's width");
            ch.plane.insert(ch.plane.end(), row->begin(), row->end());
          }
        }
        expect(d.at == ch.data.size(), "channel length");
      }
    }
    if (c.at < infoEnd) expect(c.u8() == 0 && c.at == infoEnd, "layer info padding");
    expect(c.at == infoEnd, "layer info length");
    expect(c.at == sectionEnd, "layer section length (no global mask expected)");

    expect(c.u16() == 1, "composite compression");
    const std::size_t planes = f.channels;
    for (std::size_t i = 0; i < planes * f.height; ++i) f.compositeRowCounts.push_back(c.u16());
    for (std::size_t p = 0; p < planes; ++p) {
      Bytes plane;
      for (std::size_t r = 0; r < f.height; ++r) {
        Bytes packed = c.take(f.compositeRowCounts[p * f.height + r]);
        auto row = unpackBits(packed.data(), packed.size(), f.width);
        expect(row.has_value(), "composite row does not decode to the width");
        plane.insert(plane.end(), row->begin(), row->end());
      }
      f.compositePlanes.push_back(std::move(plane));
    }
    expect(c.at == file.size(), "trailing bytes");
    return f;
  } catch (const std::exception& e) {
    if (why) *why = e.what();
    return std::nullopt;
  }
}

}  // namespace writertest

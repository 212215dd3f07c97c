#include "platform/imageio/psd_flat_layer_section.h"

#include <algorithm>
#include <limits>

#include "platform/foundation/log.h"
#include "platform/imageio/byte_reader.h"
#include "platform/imageio/psd_flat_format.h"

namespace imageio::psd {

namespace {

constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

void putLength(std::vector<std::uint8_t>& out, std::uint64_t value, bool wide) {
  if (wide) putU32(out, std::uint32_t(value >> 32));
  putU32(out, std::uint32_t(value));
}

void patchLength(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t value, bool wide) {
  const int bytes = wide ? 8 : 4;
  for (int i = 0; i < bytes; ++i) out[at + std::size_t(i)] = std::uint8_t(value >> (8 * (bytes - 1 - i)));
}

std::vector<std::size_t> rowSizes(std::vector<std::vector<std::uint8_t>>::const_iterator first,
                                  std::int64_t count) {
  std::vector<std::size_t> sizes(std::size_t(std::max<std::int64_t>(count, 0)));
  for (std::size_t i = 0; i < sizes.size(); ++i) sizes[i] = first[std::ptrdiff_t(i)].size();
  return sizes;
}

// One plane as layer channel data, PackBits or raw as its length says.
class ChannelData {
 public:
  ChannelData(const PackedPlanes& layer, int plane)
      : layer_(layer),
        first_(layer.rows->begin() + std::ptrdiff_t(plane) * layer.height),
        length_(layerChannelLength(rowSizes(first_, layer.height), layer.rowBytes, layer.bigDocument)) {}
  std::uint64_t length() const { return length_.bytes; }
  void appendTo(std::vector<std::uint8_t>& out) const {
    const auto last = first_ + layer_.height;
    putU16(out, length_.packed ? 1 : 0);
    if (length_.packed) {
      for (auto row = first_; row != last; ++row) {
        if (layer_.bigDocument)
          putU32(out, std::uint32_t(row->size()));
        else
          putU16(out, std::uint32_t(row->size()));
      }
      for (auto row = first_; row != last; ++row) putBytes(out, row->data(), row->size());
      return;
    }
    for (auto row = first_; row != last; ++row) {
      const std::size_t start = out.size();
      out.resize(start + layer_.rowBytes);
      unpackBits(row->data(), row->size(), out.data() + start, layer_.rowBytes);
    }
  }

 private:
  const PackedPlanes& layer_;
  std::vector<std::vector<std::uint8_t>>::const_iterator first_;
  ChannelLength length_;
};

}  // namespace

ChannelLength layerChannelLength(const std::vector<std::size_t>& packedRowSizes, std::size_t rowBytes,
                                 bool bigDocument) {
  const std::size_t countLimit = bigDocument ? kMax32 : 0xffffu;
  ChannelLength length;
  length.packed = std::all_of(packedRowSizes.begin(), packedRowSizes.end(),
                              [&](std::size_t size) { return size <= countLimit; });
  length.bytes = 2;
  for (const std::size_t size : packedRowSizes)
    length.bytes += length.packed ? (bigDocument ? 4 : 2) + size : rowBytes;
  return length;
}

bool layerFitsSection(std::uint64_t channelBytes, int planes, bool bigDocument, std::uint64_t lengthLimit) {
  // Room for the section's fields, one record and the channels.
  if (bigDocument || channelBytes + 128 + 6 * std::uint64_t(planes) <= lengthLimit) return true;
  foundation::log("psd: a layer of {} bytes is more than a PSD file can state; written without it",
                  channelBytes);
  return false;
}

std::vector<std::uint8_t> transparencyLayerSection(const PackedPlanes& layer) {
  const int planes = layer.colorComponents + 1;
  if (!layer.rows || layer.rows->size() != std::size_t(planes) * std::size_t(layer.height)) return {};
  const bool wide = layer.bigDocument;

  std::vector<ChannelData> channels;
  std::uint64_t channelBytes = 0;
  for (int plane = 0; plane < planes; ++plane) {
    channels.emplace_back(layer, plane);
    channelBytes += channels.back().length();
  }
  if (!layerFitsSection(channelBytes, planes, wide, layer.lengthLimit)) return {};

  std::vector<std::uint8_t> section;
  section.reserve(std::size_t(channelBytes) + 128 + 10 * std::size_t(planes));
  if (layer.depth != 8) {
    putLength(section, 0, wide);  // an empty layer info
    putU32(section, 0);           // no global mask
    putBytes(section, layer.depth == 16 ? "8BIMLr16" : "8BIMLr32", 8);
  }
  const std::size_t lengthAt = section.size();
  putLength(section, 0, wide);
  const std::size_t infoStart = section.size();
  putU16(section, 0xffff);  // -1: one layer, and the composite's transparency
  putU32(section, 0);       // top
  putU32(section, 0);       // left
  putU32(section, std::uint32_t(layer.height));
  putU32(section, std::uint32_t(layer.width));
  putU16(section, std::uint32_t(planes));
  for (int plane = 0; plane < planes; ++plane) {
    putU16(section, plane < layer.colorComponents ? std::uint32_t(plane) : 0xffffu);  // -1: transparency
    putLength(section, channels[std::size_t(plane)].length(), wide);
  }
  putBytes(section, "8BIMnorm", 8);
  putU8(section, 255);  // opacity
  putU8(section, 0);    // clipping
  putU8(section, 0);    // flags: visible
  putU8(section, 0);
  static const char name[] = "\7Layer 0";  // a Pascal string of 8 bytes, a multiple of 4
  putU32(section, 4 + 4 + sizeof name - 1);
  putU32(section, 0);  // no mask
  putU32(section, 0);  // no blending ranges
  putBytes(section, name, sizeof name - 1);
  for (const ChannelData& channel : channels) channel.appendTo(section);
  while ((section.size() - infoStart) % 4) section.push_back(0);
  patchLength(section, lengthAt, section.size() - infoStart, wide);
  if (layer.depth == 8) putU32(section, 0);  // no global mask
  return section;
}

}  // namespace imageio::psd

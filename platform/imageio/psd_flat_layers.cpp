#include "platform/imageio/psd_flat_layers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/failure_cause.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/byte_reader.h"

namespace imageio::psd {

namespace {

constexpr std::int64_t kMaxLayerSide = 300000;
constexpr int kMaxLayers = 20000;

struct Channel {
  int id = 0;
  std::uint64_t length = 0;  // with the compression word
};

struct LayerRecord {
  std::int64_t top = 0, left = 0, bottom = 0, right = 0;
  std::vector<Channel> channels;
  char blendKey[4] = {'n', 'o', 'r', 'm'};
  double opacity = 1;
  bool hidden = false;
  bool clipped = false;
  int divider = 0;  // 1, 2 group (open, closed), 3 end of a group's members
  // Effective after the group walk.
  bool visible = true;
  double effectiveOpacity = 1;
};

bool damaged(const char* why) {
  foundation::log("psd: {}", why);
  foundation::noteFailure(foundation::FailureCause::SourceDamaged, why);
  return false;
}

// Tagged blocks whose length is 64-bit in PSB files.
bool hasLongLength(const char key[4]) {
  static const char* const keys[] = {"LMsk", "Lr16", "Lr32", "Layr", "Mt16", "Mt32", "Mtrn",
                                     "Alph", "FMsk", "lnk2", "FEid", "FXid", "PxSD"};
  for (const char* k : keys)
    if (std::memcmp(k, key, 4) == 0) return true;
  return false;
}

bool isTaggedSignature(const char signature[4]) {
  return std::memcmp(signature, "8BIM", 4) == 0 || std::memcmp(signature, "8B64", 4) == 0;
}

// The section-divider type among a record's tagged blocks (0 for none).
int dividerType(ByteReader blocks, bool big) {
  while (blocks.remaining() >= 12) {
    char signature[4], key[4];
    blocks.bytes(signature, 4);
    blocks.bytes(key, 4);
    if (!isTaggedSignature(signature)) return 0;
    const std::uint64_t length = big && hasLongLength(key) ? blocks.u64() : blocks.u32();
    if (!blocks.ok() || length > blocks.remaining()) return 0;
    if ((std::memcmp(key, "lsct", 4) == 0 || std::memcmp(key, "lsdk", 4) == 0) && length >= 4) {
      ByteReader body(blocks.current(), std::size_t(length));
      return int(body.u32());
    }
    blocks.skip(length);
  }
  return 0;
}

bool readRecord(ByteReader& r, bool big, LayerRecord& layer) {
  layer.top = std::int32_t(r.u32());
  layer.left = std::int32_t(r.u32());
  layer.bottom = std::int32_t(r.u32());
  layer.right = std::int32_t(r.u32());
  const int channelCount = r.u16();
  if (!r.ok() || channelCount > 56) return false;
  for (int c = 0; c < channelCount; ++c) {
    Channel channel;
    channel.id = std::int16_t(r.u16());
    channel.length = big ? r.u64() : r.u32();
    layer.channels.push_back(channel);
  }
  char signature[4];
  r.bytes(signature, 4);
  r.bytes(layer.blendKey, 4);
  layer.opacity = r.u8() / 255.0;
  layer.clipped = r.u8() != 0;
  layer.hidden = (r.u8() & 0x02) != 0;
  r.skip(1);
  const std::uint32_t extraLength = r.u32();
  if (!r.ok() || std::memcmp(signature, "8BIM", 4) != 0 || extraLength > r.remaining()) return false;
  ByteReader extra(r.current(), extraLength);
  r.skip(extraLength);
  extra.skip(extra.u32());  // mask data
  extra.skip(extra.u32());  // blending ranges
  const std::uint8_t nameLength = extra.u8();
  extra.skip((std::uint64_t(nameLength) + 1 + 3) / 4 * 4 - 1);
  if (extra.ok()) layer.divider = dividerType(ByteReader(extra.current(), extra.remaining()), big);
  return r.ok();
}

// The layer info (layer count onwards) within the layer section: the
// section's own, or for 16- and 32-bit files the one in a tagged block.
std::optional<ByteReader> layerInfo(const std::uint8_t* data, const FlatInfo& info) {
  const bool big = info.bigDocument;
  ByteReader section(data + info.layerSectionOffset, std::size_t(info.layerSectionLength));
  const std::uint64_t infoLength = big ? section.u64() : section.u32();
  if (!section.ok() || infoLength > section.remaining()) return std::nullopt;
  if (infoLength >= 2) return ByteReader(section.current(), std::size_t(infoLength));
  section.skip(infoLength);
  section.skip(section.u32());  // global layer mask
  while (section.ok() && section.remaining() >= 12) {
    char signature[4], key[4];
    section.bytes(signature, 4);
    section.bytes(key, 4);
    if (!isTaggedSignature(signature)) break;
    const std::uint64_t length = big && hasLongLength(key) ? section.u64() : section.u32();
    if (!section.ok() || length > section.remaining()) break;
    if (std::memcmp(key, "Lr16", 4) == 0 || std::memcmp(key, "Lr32", 4) == 0 ||
        std::memcmp(key, "Layr", 4) == 0)
      return ByteReader(section.current(), std::size_t(length));
    section.skip((length + 3) / 4 * 4 <= section.remaining() ? (length + 3) / 4 * 4 : length);
  }
  return std::nullopt;
}

// Visibility and opacity through the groups, walked from the top down:
// a group record comes above its members, the end marker below them.
void resolveGroups(std::vector<LayerRecord>& layers) {
  struct Group {
    bool visible;
    double opacity;
  };
  std::vector<Group> open{{true, 1.0}};
  for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
    const Group& outer = open.back();
    if (it->divider == 1 || it->divider == 2) {
      open.push_back({outer.visible && !it->hidden, outer.opacity * it->opacity});
      it->visible = false;
    } else if (it->divider == 3) {
      if (open.size() > 1) open.pop_back();
      it->visible = false;
    } else {
      it->visible = outer.visible && !it->hidden;
      it->effectiveOpacity = outer.opacity * it->opacity;
    }
  }
}

// A big-endian sample of a decoded plane as a value in [0, 1].
float sampleAt(const std::uint8_t* plane, std::int64_t index, int depth) {
  switch (depth) {
    case 8:
      return plane[index] / 255.0f;
    case 16:
      return float(plane[2 * index] << 8 | plane[2 * index + 1]) / 65535.0f;
    default: {
      const std::uint8_t* p = plane + 4 * index;
      const std::uint32_t bits = std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                                 std::uint32_t(p[2]) << 8 | p[3];
      float v;
      std::memcpy(&v, &bits, 4);
      return std::isfinite(v) ? v : 0.0f;
    }
  }
}

}  // namespace

bool mergeLayers(const std::uint8_t* data, std::size_t size, const FlatInfo& info, std::int64_t pixelLimit,
                 std::uint8_t* out, std::size_t bytesPerRow, int samplesPerPixel) {
  const int depth = info.fileDepth;
  const int colorPlanes = info.colorComponents;
  const bool supportedMode = info.mode == Mode::Gray || info.mode == Mode::Duotone || info.mode == Mode::RGB ||
                             info.mode == Mode::CMYK;
  if (!supportedMode || (depth != 8 && depth != 16 && depth != 32)) {
    foundation::log("psd: layers of this colour mode or depth cannot be merged");
    foundation::noteFailure(foundation::FailureCause::FormatNotSupported);
    return false;
  }
  if (samplesPerPixel < colorPlanes + 1) return damaged("output too narrow for merged layers");
  const std::int64_t width = info.width, height = info.height;
  if (width * height > pixelLimit) return damaged("image exceeds the pixel limit");
  if (info.layerSectionOffset + info.layerSectionLength > size) return damaged("truncated layer section");
  std::optional<ByteReader> found = layerInfo(data, info);
  if (!found) return damaged("no layers to stand in for the missing merged image");
  ByteReader r = *found;
  const int count = std::abs(int(std::int16_t(r.u16())));
  if (!r.ok() || count == 0 || count > kMaxLayers) return damaged("no layers to stand in for the missing merged image");
  std::vector<LayerRecord> layers(static_cast<std::size_t>(count));
  for (LayerRecord& layer : layers)
    if (!readRecord(r, info.bigDocument, layer)) return damaged("damaged layer record");
  resolveGroups(layers);

  // Premultiplied colour and alpha per document pixel, bottom layer first.
  const int stride = colorPlanes + 1;
  std::vector<float> canvas;
  try {
    canvas.assign(std::size_t(width * height) * std::size_t(stride), 0.0f);
  } catch (const std::bad_alloc&) {
    foundation::log("psd: no memory to merge {}x{} pixels of layers", width, height);
    foundation::noteFailure(foundation::FailureCause::ImageTooLarge);
    return false;
  }
  std::vector<std::uint8_t> planes;
  bool warnedBlend = false;
  for (const LayerRecord& layer : layers) {
    const std::int64_t w = layer.right - layer.left, h = layer.bottom - layer.top;
    const bool drawn = layer.visible && w > 0 && h > 0 && layer.effectiveOpacity > 0;
    if (w > kMaxLayerSide || h > kMaxLayerSide || (drawn && w * h > pixelLimit))
      return damaged("layer too large");
    const std::uint64_t planeBytes = std::uint64_t(w > 0 ? w : 0) * std::uint64_t(h > 0 ? h : 0) * (depth / 8);
    // No plane expands more than deflate allows: a record claiming more
    // than its data can hold is refused before anything is allocated.
    std::uint64_t largest = 0;
    for (const Channel& channel : layer.channels) largest = std::max(largest, channel.length);
    if (drawn && planeBytes > largest * 1100 + 4096) return damaged("layer data too short for the layer's size");
    // The colour planes, then transparency.
    if (drawn) planes.assign(std::size_t(planeBytes) * std::size_t(stride), 0);
    bool hasTransparency = false;
    std::vector<bool> present(std::size_t(stride), false);
    for (const Channel& channel : layer.channels) {
      if (channel.length > r.remaining() || channel.length < 2) {
        if (channel.length == 0) continue;
        return damaged("truncated layer channel");
      }
      const std::uint8_t* start = r.current();
      r.skip(channel.length);
      const int slot = channel.id == -1 ? colorPlanes : channel.id;
      if (!drawn || slot < 0 || slot > colorPlanes) continue;  // masks and extra channels
      const int compression = start[0] << 8 | start[1];
      if (!decodePlane(start + 2, std::size_t(channel.length - 2), compression, w, h, depth, info.bigDocument,
                       planes.data() + std::size_t(slot) * std::size_t(planeBytes)))
        return damaged("damaged layer channel");
      present[std::size_t(slot)] = true;
      if (slot == colorPlanes) hasTransparency = true;
    }
    if (!drawn) continue;
    if (!warnedBlend && (std::memcmp(layer.blendKey, "norm", 4) != 0 || layer.clipped)) {
      foundation::log("psd: blend mode '{}' merged as normal", std::string(layer.blendKey, 4));
      warnedBlend = true;
    }
    const std::int64_t x0 = std::max<std::int64_t>(0, layer.left), x1 = std::min(width, layer.right);
    const std::int64_t y0 = std::max<std::int64_t>(0, layer.top), y1 = std::min(height, layer.bottom);
    if (x0 >= x1 || y0 >= y1) continue;
    const float opacity = float(layer.effectiveOpacity);
    const bool ink = info.mode == Mode::CMYK;
    foundation::parallelForRange(
        y0, y1,
        [&](std::int64_t begin, std::int64_t end) {
          float colour[5];
          for (std::int64_t y = begin; y < end; ++y) {
            float* row = canvas.data() + std::size_t(y * width) * std::size_t(stride);
            for (std::int64_t x = x0; x < x1; ++x) {
              const std::int64_t index = (y - layer.top) * w + (x - layer.left);
              for (int c = 0; c < colorPlanes; ++c) {
                const float v = present[std::size_t(c)]
                                    ? sampleAt(planes.data() + std::size_t(c) * std::size_t(planeBytes), index, depth)
                                    : 1.0f;
                colour[c] = ink ? 1.0f - v : v;
              }
              const float alpha =
                  opacity * (hasTransparency
                                 ? sampleAt(planes.data() + std::size_t(colorPlanes) * std::size_t(planeBytes),
                                            index, depth)
                                 : 1.0f);
              float* p = row + x * stride;
              for (int c = 0; c < colorPlanes; ++c) p[c] = colour[c] * alpha + p[c] * (1 - alpha);
              p[colorPlanes] = alpha + p[colorPlanes] * (1 - alpha);
            }
          }
        },
        8);
  }

  foundation::parallelForRange(
      0, height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          const float* in = canvas.data() + std::size_t(y * width) * std::size_t(stride);
          std::uint8_t* row = out + std::size_t(y) * bytesPerRow;
          for (std::int64_t x = 0; x < width; ++x) {
            const float alpha = in[x * stride + colorPlanes];
            for (int c = 0; c < stride; ++c) {
              float v = in[x * stride + c];
              if (c < colorPlanes) v = alpha > 0 ? v / alpha : 0.0f;
              v = std::clamp(v, 0.0f, 1.0f);
              const std::size_t at = std::size_t(x * samplesPerPixel + c);
              if (depth == 8)
                row[at] = std::uint8_t(std::lround(v * 255.0f));
              else if (depth == 16)
                reinterpret_cast<std::uint16_t*>(row)[at] = std::uint16_t(std::lround(v * 65535.0f));
              else
                reinterpret_cast<float*>(row)[at] = v;
            }
          }
        }
      },
      8);
  return true;
}

}  // namespace imageio::psd

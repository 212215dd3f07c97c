#include "platform/imageio/psd_flat_layers.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/failure_cause.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/byte_reader.h"
#include "platform/imageio/decode_cancel.h"
#include "platform/imageio/psd_channel_rows.h"

namespace imageio::psd {

namespace {

constexpr std::int64_t kMaxLayerSide = 300000;
constexpr int kMaxLayers = 20000;

struct Channel {
  int id = 0;
  std::uint64_t length = 0;  // with the compression word
  const std::uint8_t* data = nullptr;
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

// Stored samples as floats: 8- and 16-bit scaled to [0, 1], 32-bit as they
// are; big-endian in layer rows, native in the output.
template <int Depth>
inline float layerSample(const std::uint8_t* at) {
  if constexpr (Depth == 8) {
    return at[0] * (1.0f / 255.0f);
  } else if constexpr (Depth == 16) {
    return float(at[0] << 8 | at[1]) * (1.0f / 65535.0f);
  } else {
    const std::uint32_t bits =
        std::uint32_t(at[0]) << 24 | std::uint32_t(at[1]) << 16 | std::uint32_t(at[2]) << 8 | at[3];
    float v;
    std::memcpy(&v, &bits, 4);
    return std::isfinite(v) ? v : 0.0f;
  }
}

template <int Depth>
inline float outputSample(const std::uint8_t* at) {
  if constexpr (Depth == 8) {
    return at[0] * (1.0f / 255.0f);
  } else if constexpr (Depth == 16) {
    std::uint16_t v;
    std::memcpy(&v, at, 2);
    return v * (1.0f / 65535.0f);
  } else {
    float v;
    std::memcpy(&v, at, 4);
    return v;
  }
}

template <int Depth>
inline void storeSample(std::uint8_t* at, float v) {
  if constexpr (Depth == 8) {
    at[0] = std::uint8_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
  } else if constexpr (Depth == 16) {
    const std::uint16_t s = std::uint16_t(std::clamp(v, 0.0f, 1.0f) * 65535.0f + 0.5f);
    std::memcpy(at, &s, 2);
  } else {
    std::memcpy(at, &v, 4);
  }
}

// One band row of a layer over one output row: straight colour and alpha,
// layer planes (nullptr when missing) at the same column.
template <int Depth>
void blendRow(const std::uint8_t* const* planes, int colorPlanes, bool ink, float opacity, std::int64_t columns,
              std::uint8_t* out, int samplesPerPixel) {
  constexpr int bytes = Depth / 8;
  const std::uint8_t* alphaPlane = planes[colorPlanes];
  for (std::int64_t x = 0; x < columns; ++x) {
    const std::size_t at = std::size_t(x) * bytes;
    const float alpha = opacity * (alphaPlane ? std::clamp(layerSample<Depth>(alphaPlane + at), 0.0f, 1.0f) : 1.0f);
    if (alpha <= 0) continue;
    std::uint8_t* p = out + std::size_t(x) * std::size_t(samplesPerPixel) * bytes;
    const float below = outputSample<Depth>(p + colorPlanes * bytes) * (1 - alpha);
    const float merged = alpha + below;
    const float scale = 1.0f / merged;
    for (int c = 0; c < colorPlanes; ++c) {
      const float v = planes[c] ? layerSample<Depth>(planes[c] + at) : 1.0f;
      const float colour = ink ? 1.0f - v : v;
      const float under = outputSample<Depth>(p + c * bytes);
      storeSample<Depth>(p + c * bytes, (colour * alpha + under * below) * scale);
    }
    storeSample<Depth>(p + colorPlanes * bytes, std::min(merged, 1.0f));
  }
}

struct Output {
  std::uint8_t* pixels;
  std::size_t bytesPerRow;
  int samplesPerPixel;
  std::int64_t width, height;
};

// Lays one layer over the output, straight colour and alpha at the output's
// depth, in bands of rows: each band's rows of every channel are decoded
// (only the columns on the canvas), then blended row-parallel. Rows above
// and below the canvas are skipped, not kept.
bool mergeLayer(const LayerRecord& layer, const FlatInfo& info, const Output& out, bool& cancelled) {
  const int depth = info.fileDepth;
  const int colorPlanes = info.colorComponents;
  const int sampleBytes = depth / 8;
  const std::int64_t w = layer.right - layer.left, h = layer.bottom - layer.top;
  const std::int64_t x0 = std::max<std::int64_t>(0, layer.left), x1 = std::min(out.width, layer.right);
  const std::int64_t y0 = std::max<std::int64_t>(0, layer.top), y1 = std::min(out.height, layer.bottom);
  const std::int64_t columns = x1 - x0;

  // The last channel of each slot (colour planes, then transparency); a
  // channel of two bytes holds only its compression word, no pixels. Only
  // -1 is transparency: masks (-2, -3) and ids past the colour planes
  // (extra channels) are neither.
  std::vector<const Channel*> slots(std::size_t(colorPlanes + 1), nullptr);
  for (const Channel& channel : layer.channels) {
    if (channel.length <= 2) continue;
    if (channel.id == -1)
      slots[std::size_t(colorPlanes)] = &channel;
    else if (channel.id >= 0 && channel.id < colorPlanes)
      slots[std::size_t(channel.id)] = &channel;
  }
  // Each channel is opened and brought to the canvas's first row on its own
  // thread: rows above the canvas may have to be inflated, which a cancel
  // cuts short.
  std::vector<std::unique_ptr<ChannelRows>> rows(slots.size());
  std::vector<char> ready(slots.size(), 1);
  const std::atomic<bool>* cancel = decodeCancelFlag();
  foundation::parallelFor(0, std::int64_t(slots.size()), [&](std::int64_t i) {
    const std::size_t s = std::size_t(i);
    if (!slots[s]) return;
    rows[s] = std::make_unique<ChannelRows>();
    ready[s] = rows[s]->open(slots[s]->data, std::size_t(slots[s]->length), w, h, depth, info.bigDocument) &&
               rows[s]->skip(y0 - layer.top, cancel);
  });
  for (std::size_t s = 0; s < slots.size(); ++s) {
    if (ready[s]) continue;
    cancelled = rows[s]->cancelled();
    return false;
  }
  const std::size_t rowBytes = std::size_t(w) * std::size_t(sampleBytes);
  const std::size_t bandRowBytes = std::size_t(columns) * std::size_t(sampleBytes);
  // A band holds at most the working bytes, and decodes at most as many
  // (whole layer rows), so a cancel is seen between bands soon.
  const std::int64_t bandRows =
      std::clamp<std::int64_t>(kMergeWorkingBytes / std::int64_t(rowBytes * slots.size()), 1, y1 - y0);
  std::vector<std::uint8_t> scratch(rowBytes);
  std::vector<std::vector<std::uint8_t>> bands(slots.size());
  for (std::size_t s = 0; s < slots.size(); ++s)
    if (rows[s]) bands[s].resize(bandRowBytes * std::size_t(bandRows));

  const float opacity = float(layer.effectiveOpacity);
  const bool ink = info.mode == Mode::CMYK;
  const int outStride = out.samplesPerPixel * sampleBytes;
  for (std::int64_t band = y0; band < y1; band += bandRows) {
    if (decodeCancelled()) {
      cancelled = true;
      return false;
    }
    const std::int64_t count = std::min(bandRows, y1 - band);
    for (std::size_t s = 0; s < slots.size(); ++s) {
      if (!rows[s]) continue;
      for (std::int64_t i = 0; i < count; ++i) {
        if (!rows[s]->next(scratch.data())) return false;
        std::memcpy(bands[s].data() + std::size_t(i) * bandRowBytes,
                    scratch.data() + std::size_t(x0 - layer.left) * std::size_t(sampleBytes), bandRowBytes);
      }
    }
    foundation::parallelForRange(
        0, count,
        [&](std::int64_t begin, std::int64_t end) {
          const std::uint8_t* planes[5] = {};
          for (std::int64_t i = begin; i < end; ++i) {
            for (std::size_t s = 0; s < slots.size(); ++s)
              planes[s] = rows[s] ? bands[s].data() + std::size_t(i) * bandRowBytes : nullptr;
            std::uint8_t* row = out.pixels + std::size_t(band + i) * out.bytesPerRow +
                                std::size_t(x0) * std::size_t(outStride);
            if (depth == 8)
              blendRow<8>(planes, colorPlanes, ink, opacity, columns, row, out.samplesPerPixel);
            else if (depth == 16)
              blendRow<16>(planes, colorPlanes, ink, opacity, columns, row, out.samplesPerPixel);
            else
              blendRow<32>(planes, colorPlanes, ink, opacity, columns, row, out.samplesPerPixel);
          }
        },
        8);
  }
  return true;
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
  // Every channel's bytes, checked against the file before anything is
  // decoded or allocated.
  for (LayerRecord& layer : layers) {
    if (layer.right - layer.left > kMaxLayerSide || layer.bottom - layer.top > kMaxLayerSide)
      return damaged("layer too large");
    for (Channel& channel : layer.channels) {
      if (channel.length > r.remaining() || channel.length == 1) return damaged("truncated layer channel");
      channel.data = r.current();
      r.skip(channel.length);
    }
  }
  resolveGroups(layers);

  // Straight colour and alpha, merged at the output's depth from nothing.
  for (std::int64_t y = 0; y < height; ++y)
    std::memset(out + std::size_t(y) * bytesPerRow, 0, std::size_t(width) * std::size_t(samplesPerPixel) * std::size_t(depth / 8));
  const Output canvas{out, bytesPerRow, samplesPerPixel, width, height};
  bool warnedBlend = false;
  for (const LayerRecord& layer : layers) {
    if (decodeCancelled()) {
      foundation::log("psd: layer merge cancelled");
      foundation::noteFailure(foundation::FailureCause::Cancelled);
      return false;
    }
    const bool drawn = layer.visible && layer.right > layer.left && layer.bottom > layer.top &&
                       layer.effectiveOpacity > 0;
    if (!drawn || layer.left >= width || layer.top >= height || layer.right <= 0 || layer.bottom <= 0) continue;
    if (!warnedBlend && (std::memcmp(layer.blendKey, "norm", 4) != 0 || layer.clipped)) {
      foundation::log("psd: blend mode '{}' merged as normal", std::string(layer.blendKey, 4));
      warnedBlend = true;
    }
    bool cancelled = false;
    if (!mergeLayer(layer, info, canvas, cancelled)) {
      if (!cancelled) return damaged("damaged layer channel");
      foundation::log("psd: layer merge cancelled");
      foundation::noteFailure(foundation::FailureCause::Cancelled);
      return false;
    }
  }
  return true;
}

}  // namespace imageio::psd

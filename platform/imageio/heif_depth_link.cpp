// Marks an image item of a HEIF file as the depth map of another: an
// 'auxl' reference from the depth item to the main item and an 'auxC'
// property naming the depth auxiliary type, associated with the depth item.
// The meta box grows, so the item locations behind it move by as much.

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/imageio/byte_reader.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/heif_depth.h"

namespace imageio {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr char kDepthAuxType[] = "urn:mpeg:hevc:2015:auxid:2";

struct Box {
  std::string type;
  std::size_t start = 0;    // first byte of the header
  std::size_t payload = 0;  // first byte after the header
  std::size_t end = 0;
};

std::optional<std::vector<Box>> boxesIn(const Bytes& file, std::size_t begin, std::size_t end) {
  std::vector<Box> boxes;
  std::size_t at = begin;
  while (at < end) {
    if (end - at < 8) return std::nullopt;
    ByteReader r(file.data() + at, end - at);
    std::uint64_t size = r.u32();
    char type[4];
    r.bytes(type, 4);
    std::size_t header = 8;
    if (size == 1) {
      size = r.u64();
      header = 16;
    } else if (size == 0) {
      size = end - at;
    }
    if (!r.ok() || size < header || size > end - at) return std::nullopt;
    boxes.push_back(Box{std::string(type, 4), at, at + header, at + std::size_t(size)});
    at += std::size_t(size);
  }
  return boxes;
}

Bytes box(const char* type, const Bytes& payload) {
  Bytes out;
  putU32(out, std::uint32_t(payload.size() + 8));
  putBytes(out, type, 4);
  putBytes(out, payload.data(), payload.size());
  return out;
}

Bytes slice(const Bytes& file, std::size_t begin, std::size_t end) {
  return Bytes(file.begin() + std::ptrdiff_t(begin), file.begin() + std::ptrdiff_t(end));
}

std::uint64_t readBE(const std::uint8_t* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
  return v;
}

void writeBE(std::uint8_t* p, int bytes, std::uint64_t v) {
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) p[i] = std::uint8_t(v);
}

// ipma with one more association for item `id`.
std::optional<Bytes> ipmaWith(const Bytes& file, const Box& ipma, heif_item_id id, int propertyIndex) {
  ByteReader r(file.data() + ipma.payload, ipma.end - ipma.payload);
  const std::uint8_t version = r.u8();
  const std::uint32_t flags = std::uint32_t(r.u8()) << 16 | r.u16();
  const bool wide = flags & 1;
  if (!wide && propertyIndex > 127) return std::nullopt;
  const std::uint32_t entries = r.u32();
  Bytes out = {version, std::uint8_t(flags >> 16), std::uint8_t(flags >> 8), std::uint8_t(flags)};
  bool found = false;
  Bytes body;
  for (std::uint32_t i = 0; i < entries && r.ok(); ++i) {
    const std::uint32_t item = version < 1 ? r.u16() : r.u32();
    const std::uint8_t count = r.u8();
    const std::size_t associationBytes = std::size_t(count) * (wide ? 2 : 1);
    if (associationBytes > r.remaining()) return std::nullopt;
    const std::uint8_t* associations = r.current();
    r.skip(associationBytes);
    const bool target = item == id;
    if (target && count == 255) return std::nullopt;
    if (version < 1)
      putU16(body, item);
    else
      putU32(body, item);
    putU8(body, count + (target ? 1u : 0u));
    putBytes(body, associations, associationBytes);
    if (target) {
      found = true;
      if (wide)
        putU16(body, 0x8000u | std::uint32_t(propertyIndex));
      else
        putU8(body, 0x80u | std::uint32_t(propertyIndex));
    }
  }
  if (!r.ok()) return std::nullopt;
  if (!found) {
    if (version < 1)
      putU16(body, id);
    else
      putU32(body, id);
    putU8(body, 1);
    if (wide)
      putU16(body, 0x8000u | std::uint32_t(propertyIndex));
    else
      putU8(body, 0x80u | std::uint32_t(propertyIndex));
  }
  putU32(out, entries + (found ? 0u : 1u));
  putBytes(out, body.data(), body.size());
  return box("ipma", out);
}

std::optional<Bytes> iprpWith(const Bytes& file, const Box& iprp, heif_item_id depthId) {
  auto children = boxesIn(file, iprp.payload, iprp.end);
  if (!children) return std::nullopt;
  int propertyIndex = 0;
  Bytes payload;
  for (const Box& child : *children) {
    if (child.type == "ipco") {
      auto properties = boxesIn(file, child.payload, child.end);
      if (!properties) return std::nullopt;
      propertyIndex = int(properties->size()) + 1;
      Bytes auxC = {0, 0, 0, 0};
      putBytes(auxC, kDepthAuxType, sizeof kDepthAuxType);  // with its terminating zero
      Bytes ipco = slice(file, child.payload, child.end);
      const Bytes property = box("auxC", auxC);
      ipco.insert(ipco.end(), property.begin(), property.end());
      const Bytes rebuilt = box("ipco", ipco);
      payload.insert(payload.end(), rebuilt.begin(), rebuilt.end());
    } else if (child.type == "ipma" && propertyIndex > 0) {
      auto rebuilt = ipmaWith(file, child, depthId, propertyIndex);
      if (!rebuilt) return std::nullopt;
      payload.insert(payload.end(), rebuilt->begin(), rebuilt->end());
    } else {
      const Bytes copy = slice(file, child.start, child.end);
      payload.insert(payload.end(), copy.begin(), copy.end());
    }
  }
  if (propertyIndex == 0) return std::nullopt;
  return box("iprp", payload);
}

Bytes auxlReference(int version, heif_item_id from, heif_item_id to) {
  Bytes payload;
  if (version == 0) {
    putU16(payload, from);
    putU16(payload, 1);
    putU16(payload, to);
  } else {
    putU32(payload, from);
    putU16(payload, 1);
    putU32(payload, to);
  }
  return box("auxl", payload);
}

// Moves every absolute item location at or behind `threshold` by delta.
bool shiftLocations(Bytes& meta, std::size_t ilocStart, std::size_t ilocEnd, std::size_t threshold,
                    std::int64_t delta) {
  ByteReader r(meta.data() + ilocStart, ilocEnd - ilocStart);
  const std::uint8_t version = r.u8();
  r.skip(3);
  const std::uint8_t sizes = r.u8();
  const std::uint8_t sizes2 = r.u8();
  const int offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = sizes2 >> 4;
  const int indexSize = (version == 1 || version == 2) ? (sizes2 & 15) : 0;
  const std::uint32_t items = version < 2 ? r.u16() : r.u32();
  auto field = [&](int bytes) -> std::uint8_t* {
    if (bytes == 0) return nullptr;
    std::uint8_t* p = meta.data() + ilocStart + r.offset();
    r.skip(std::uint64_t(bytes));
    return r.ok() ? p : nullptr;
  };
  for (std::uint32_t i = 0; i < items && r.ok(); ++i) {
    if (version < 2)
      r.u16();
    else
      r.u32();
    int method = 0;
    if (version == 1 || version == 2) method = r.u16() & 15;
    r.u16();  // data reference index
    std::uint8_t* base = field(baseSize);
    const std::uint16_t extents = r.u16();
    const std::uint64_t baseValue = base ? readBE(base, baseSize) : 0;
    bool baseShifted = false;
    for (std::uint16_t e = 0; e < extents && r.ok(); ++e) {
      field(indexSize);
      std::uint8_t* offset = field(offsetSize);
      field(lengthSize);
      if (method != 0) continue;
      if (base != nullptr && baseValue != 0) {
        if (!baseShifted && baseValue >= threshold) {
          writeBE(base, baseSize, std::uint64_t(std::int64_t(baseValue) + delta));
          baseShifted = true;
        }
      } else if (offset != nullptr) {
        const std::uint64_t value = readBE(offset, offsetSize);
        if (value >= threshold) writeBE(offset, offsetSize, std::uint64_t(std::int64_t(value) + delta));
      }
    }
  }
  return r.ok();
}

}  // namespace

bool linkDepthImageInMemory(Bytes& file, heif_item_id mainId, heif_item_id depthId) {
  auto top = boxesIn(file, 0, file.size());
  if (!top) return false;
  auto meta = std::find_if(top->begin(), top->end(), [](const Box& b) { return b.type == "meta"; });
  if (meta == top->end() || meta->end - meta->payload < 4) return false;
  auto children = boxesIn(file, meta->payload + 4, meta->end);
  if (!children) return false;

  Bytes payload = slice(file, meta->payload, meta->payload + 4);  // version and flags
  bool haveReferences = false, haveProperties = false;
  for (const Box& child : *children) {
    if (child.type == "iprp") {
      auto rebuilt = iprpWith(file, child, depthId);
      if (!rebuilt) return false;
      payload.insert(payload.end(), rebuilt->begin(), rebuilt->end());
      haveProperties = true;
    } else if (child.type == "iref" && child.end - child.payload >= 4) {
      Bytes iref = slice(file, child.payload, child.end);
      const Bytes reference = auxlReference(iref[0], depthId, mainId);
      iref.insert(iref.end(), reference.begin(), reference.end());
      const Bytes rebuilt = box("iref", iref);
      payload.insert(payload.end(), rebuilt.begin(), rebuilt.end());
      haveReferences = true;
    } else {
      const Bytes copy = slice(file, child.start, child.end);
      payload.insert(payload.end(), copy.begin(), copy.end());
    }
  }
  if (!haveProperties) return false;
  if (!haveReferences) {
    Bytes iref = {0, 0, 0, 0};
    const Bytes reference = auxlReference(0, depthId, mainId);
    iref.insert(iref.end(), reference.begin(), reference.end());
    const Bytes rebuilt = box("iref", iref);
    payload.insert(payload.end(), rebuilt.begin(), rebuilt.end());
  }
  Bytes newMeta = box("meta", payload);
  const std::int64_t delta = std::int64_t(newMeta.size()) - std::int64_t(meta->end - meta->start);

  // Find iloc in the new meta box and move the locations behind it.
  Bytes rebuiltFile = slice(file, 0, meta->start);
  auto newChildren = boxesIn(newMeta, 12, newMeta.size());
  if (!newChildren) return false;
  for (const Box& child : *newChildren)
    if (child.type == "iloc" && !shiftLocations(newMeta, child.payload, child.end, meta->end, delta))
      return false;
  rebuiltFile.insert(rebuiltFile.end(), newMeta.begin(), newMeta.end());
  rebuiltFile.insert(rebuiltFile.end(), file.begin() + std::ptrdiff_t(meta->end), file.end());
  file = std::move(rebuiltFile);
  return true;
}

bool linkDepthImage(const std::string& path) {
  heif_item_id mainId = 0, depthId = 0;
  if (!foundation::isReadableRegularFile(path)) return false;
  {
    std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
    if (heif_context_read_from_file(context.get(), path.c_str(), nullptr).code != heif_error_Ok ||
        heif_context_get_primary_image_ID(context.get(), &mainId).code != heif_error_Ok)
      return false;
    const int count = heif_context_get_number_of_top_level_images(context.get());
    if (count < 2) return false;
    std::vector<heif_item_id> ids(static_cast<std::size_t>(count));
    if (heif_context_get_list_of_top_level_image_IDs(context.get(), ids.data(), count) != count) return false;
    depthId = *std::max_element(ids.begin(), ids.end());
    if (depthId == mainId) return false;
  }
  auto bytes = readFileBytes(path);
  if (!bytes) return false;
  if (!linkDepthImageInMemory(*bytes, mainId, depthId)) {
    foundation::log("heif: unexpected box layout in {}", path);
    return false;
  }
  return writeFileBytes(path, bytes->data(), bytes->size());
}

}  // namespace imageio

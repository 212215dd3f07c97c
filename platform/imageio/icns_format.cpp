#include "platform/imageio/icns_format.h"

#include <cstring>

#include "platform/foundation/log.h"
#include "platform/imageio/byte_reader.h"

namespace imageio::icns {

namespace {

struct Slot {
  const char* type;
  std::int64_t pixels;
  int scale;
  Entry::Kind kind;
  const char* mask;  // legacy entries only
};

// Entries with PNG (or ARGB) payloads, and the legacy 24-bit RLE ones.
constexpr Slot kSlots[] = {
    {"icp4", 16, 1, Entry::Kind::Png, nullptr},   {"icp5", 32, 1, Entry::Kind::Png, nullptr},
    {"icp6", 64, 1, Entry::Kind::Png, nullptr},   {"ic07", 128, 1, Entry::Kind::Png, nullptr},
    {"ic08", 256, 1, Entry::Kind::Png, nullptr},  {"ic09", 512, 1, Entry::Kind::Png, nullptr},
    {"ic10", 1024, 2, Entry::Kind::Png, nullptr}, {"ic11", 32, 2, Entry::Kind::Png, nullptr},
    {"ic12", 64, 2, Entry::Kind::Png, nullptr},   {"ic13", 256, 2, Entry::Kind::Png, nullptr},
    {"ic14", 512, 2, Entry::Kind::Png, nullptr},  {"ic04", 16, 1, Entry::Kind::Argb, nullptr},
    {"ic05", 32, 1, Entry::Kind::Argb, nullptr},  {"is32", 16, 1, Entry::Kind::Rle24, "s8mk"},
    {"il32", 32, 1, Entry::Kind::Rle24, "l8mk"},  {"ih32", 48, 1, Entry::Kind::Rle24, "h8mk"},
    {"it32", 128, 1, Entry::Kind::Rle24, "t8mk"},
};

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

}  // namespace

std::vector<Entry> parse(const std::uint8_t* data, std::size_t size) {
  std::vector<Entry> entries;
  ByteReader r(data, size);
  char magic[4] = {};
  r.bytes(magic, 4);
  const std::uint32_t total = r.u32();
  if (!r.ok() || std::memcmp(magic, "icns", 4) != 0 || total < 8) {
    foundation::log("icns: not an icon file");
    return entries;
  }
  const std::size_t end = std::min<std::size_t>(total, size);
  struct Raw {
    std::string type;
    std::size_t offset, length;
  };
  std::vector<Raw> raws;
  std::size_t at = 8;
  while (at + 8 <= end) {
    ByteReader header(data + at, 8);
    char type[4];
    header.bytes(type, 4);
    const std::uint32_t length = header.u32();
    if (length < 8 || length > end - at) {
      foundation::log("icns: entry '{}' runs past the end", std::string(type, 4));
      break;
    }
    raws.push_back({std::string(type, 4), at + 8, length - 8u});
    at += length;
  }
  for (const Raw& raw : raws) {
    for (const Slot& slot : kSlots) {
      if (raw.type != slot.type) continue;
      Entry entry;
      entry.type = raw.type;
      entry.size = slot.pixels;
      entry.scale = slot.scale;
      entry.offset = raw.offset;
      entry.length = raw.length;
      const bool isPng = raw.length >= 8 && std::memcmp(data + raw.offset, kPngSignature, 8) == 0;
      const bool isArgb = raw.length >= 4 && std::memcmp(data + raw.offset, "ARGB", 4) == 0;
      if (isPng) {
        entry.kind = Entry::Kind::Png;
      } else if (isArgb && slot.kind != Entry::Kind::Rle24) {
        entry.kind = Entry::Kind::Argb;
      } else if (slot.kind == Entry::Kind::Rle24) {
        entry.kind = Entry::Kind::Rle24;
        const std::size_t maskBytes = std::size_t(slot.pixels * slot.pixels);
        for (const Raw& mask : raws)
          if (mask.type == slot.mask && mask.length >= maskBytes) entry.maskOffset = mask.offset;
      } else {
        foundation::log("icns: skipping entry '{}' (unsupported payload)", raw.type);
        break;
      }
      entries.push_back(entry);
      break;
    }
  }
  if (entries.empty()) foundation::log("icns: no readable entries");
  return entries;
}

bool unpackChannel(const std::uint8_t*& in, const std::uint8_t* end, std::uint8_t* out, std::size_t count,
                   std::size_t stride) {
  std::size_t produced = 0;
  while (produced < count) {
    if (in >= end) return false;
    const std::uint8_t code = *in++;
    if (code & 0x80) {
      const std::size_t run = std::size_t(code) - 0x80 + 3;
      if (in >= end || run > count - produced) return false;
      const std::uint8_t value = *in++;
      for (std::size_t i = 0; i < run; ++i) out[(produced + i) * stride] = value;
      produced += run;
    } else {
      const std::size_t run = std::size_t(code) + 1;
      if (run > std::size_t(end - in) || run > count - produced) return false;
      for (std::size_t i = 0; i < run; ++i) out[(produced + i) * stride] = in[i];
      in += run;
      produced += run;
    }
  }
  return true;
}

bool decodeRle(const std::uint8_t* data, std::size_t size, const Entry& entry,
               std::vector<std::uint8_t>& rgba) {
  if (entry.offset > size || entry.length > size - entry.offset || entry.size < 1 || entry.size > 1024)
    return false;
  const std::size_t pixels = std::size_t(entry.size * entry.size);
  rgba.assign(pixels * 4, 255);
  const std::uint8_t* in = data + entry.offset;
  const std::uint8_t* end = in + entry.length;
  bool ok = true;
  if (entry.kind == Entry::Kind::Argb) {
    in += 4;  // "ARGB"
    const int order[4] = {3, 0, 1, 2};
    for (int c = 0; c < 4 && ok; ++c) ok = unpackChannel(in, end, rgba.data() + order[c], pixels, 4);
  } else if (entry.kind == Entry::Kind::Rle24) {
    if (entry.type == "it32") in += std::min<std::size_t>(4, entry.length);
    if (std::size_t(end - in) == pixels * 4) {
      // Uncompressed xRGB.
      for (std::size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < 3; ++c) rgba[i * 4 + c] = in[i * 4 + 1 + c];
    } else {
      for (int c = 0; c < 3 && ok; ++c) ok = unpackChannel(in, end, rgba.data() + c, pixels, 4);
    }
    if (ok && entry.maskOffset) {
      if (*entry.maskOffset > size || pixels > size - *entry.maskOffset) return false;
      const std::uint8_t* mask = data + *entry.maskOffset;
      for (std::size_t i = 0; i < pixels; ++i) rgba[i * 4 + 3] = mask[i];
    }
  } else {
    return false;
  }
  if (!ok) foundation::log("icns: corrupt RLE data in '{}'", entry.type);
  return ok;
}

std::string typeFor(std::int64_t pixels, int scale) {
  for (const Slot& slot : kSlots)
    if (slot.kind == Entry::Kind::Png && slot.pixels == pixels && slot.scale == scale) return slot.type;
  if (pixels == 1024) return "ic10";
  return {};
}

std::vector<std::uint8_t> encode(
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& entries) {
  std::vector<std::uint8_t> out;
  putBytes(out, "icns", 4);
  putU32(out, 0);
  for (const auto& [type, payload] : entries) {
    if (type.size() != 4 || payload.size() > 0xffffffffu - 8) return {};
    putBytes(out, type.data(), 4);
    putU32(out, std::uint32_t(payload.size() + 8));
    putBytes(out, payload.data(), payload.size());
  }
  if (out.size() > 0xffffffffu) return {};
  const std::uint32_t total = std::uint32_t(out.size());
  for (int i = 0; i < 4; ++i) out[4 + i] = std::uint8_t(total >> (24 - 8 * i));
  return out;
}

}  // namespace imageio::icns

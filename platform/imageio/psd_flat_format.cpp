#include "platform/imageio/psd_flat_format.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "platform/foundation/failure_cause.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/byte_reader.h"
#include "platform/imageio/psd_flat_layer_section.h"

namespace imageio::psd {

namespace {

constexpr std::int64_t kMaxSidePsd = 30000;
constexpr std::int64_t kMaxSidePsb = 300000;
constexpr std::uint16_t kResolutionResource = 1005;
constexpr std::uint16_t kIccResource = 1039;
constexpr std::uint16_t kVersionInfoResource = 1057;

bool fail(const char* why) {
  foundation::log("psd: {}", why);
  return false;
}

// Colour planes the file stores for its mode.
int fileColorChannels(Mode mode) {
  switch (mode) {
    case Mode::RGB:
      return 3;
    case Mode::CMYK:
      return 4;
    default:
      return 1;
  }
}

void parseResources(ByteReader r, FlatInfo& info) {
  while (r.remaining() >= 12) {
    char signature[4];
    r.bytes(signature, 4);
    const std::uint16_t id = r.u16();
    const std::uint8_t nameLength = r.u8();
    r.skip(nameLength + ((nameLength + 1) % 2));
    const std::uint32_t length = r.u32();
    if (!r.ok() || length > r.remaining()) return;
    const std::uint8_t* body = r.current();
    if (std::memcmp(signature, "8BIM", 4) == 0) {
      if (id == kResolutionResource && length >= 16) {
        ByteReader res(body, length);
        double h = res.u32() / 65536.0;
        const std::uint16_t hUnit = res.u16();
        res.skip(2);
        double v = res.u32() / 65536.0;
        const std::uint16_t vUnit = res.u16();
        if (hUnit == 2) h *= 2.54;
        if (vUnit == 2) v *= 2.54;
        if (h > 0 && std::isfinite(h)) info.dpiX = h;
        if (v > 0 && std::isfinite(v)) info.dpiY = v;
      } else if (id == kIccResource && length > 0) {
        info.icc.assign(body, body + length);
      } else if (id == kVersionInfoResource && length >= 5) {
        // A 32-bit version, then whether the composite is the real merged image.
        info.realMergedImage = body[4] != 0;
      }
    }
    r.skip(length + (length % 2));
  }
}

bool inflateAll(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  std::size_t inDone = 0, outDone = 0;
  int status = Z_OK;
  while (status == Z_OK && outDone < outSize) {
    const std::size_t inChunk = std::min<std::size_t>(inSize - inDone, 1u << 30);
    const std::size_t outChunk = std::min<std::size_t>(outSize - outDone, 1u << 30);
    stream.next_in = const_cast<Bytef*>(in + inDone);
    stream.avail_in = uInt(inChunk);
    stream.next_out = out + outDone;
    stream.avail_out = uInt(outChunk);
    status = inflate(&stream, Z_NO_FLUSH);
    inDone += inChunk - stream.avail_in;
    outDone += outChunk - stream.avail_out;
    if (status == Z_BUF_ERROR && stream.avail_in == 0) break;
  }
  inflateEnd(&stream);
  return outDone == outSize;
}

}  // namespace

// ZIP with prediction: byte deltas for 8-bit rows, 16-bit
// big-endian deltas for 16-bit rows, byte deltas over a byte-planar row for
// 32-bit rows.
void undoPrediction(std::uint8_t* row, std::int64_t width, int depth, std::vector<std::uint8_t>& scratch) {
  if (depth == 8) {
    for (std::int64_t x = 1; x < width; ++x) row[x] = std::uint8_t(row[x] + row[x - 1]);
  } else if (depth == 16) {
    std::uint16_t previous = std::uint16_t(row[0] << 8 | row[1]);
    for (std::int64_t x = 1; x < width; ++x) {
      const std::uint16_t value = std::uint16_t((row[2 * x] << 8 | row[2 * x + 1]) + previous);
      row[2 * x] = std::uint8_t(value >> 8);
      row[2 * x + 1] = std::uint8_t(value);
      previous = value;
    }
  } else if (depth == 32) {
    const std::int64_t bytes = width * 4;
    for (std::int64_t i = 1; i < bytes; ++i) row[i] = std::uint8_t(row[i] + row[i - 1]);
    scratch.assign(row, row + bytes);
    for (std::int64_t x = 0; x < width; ++x)
      for (int b = 0; b < 4; ++b) row[4 * x + b] = scratch[std::size_t(b * width + x)];
  }
}

std::optional<FlatInfo> parseFlat(const std::uint8_t* data, std::size_t size) {
  ByteReader r(data, size);
  char signature[4] = {};
  r.bytes(signature, 4);
  if (!r.ok() || std::memcmp(signature, "8BPS", 4) != 0) {
    fail("not a PSD file");
    return std::nullopt;
  }
  FlatInfo info;
  const std::uint16_t version = r.u16();
  if (version != 1 && version != 2) {
    fail("unknown version");
    return std::nullopt;
  }
  info.bigDocument = version == 2;
  r.skip(6);
  info.fileChannels = r.u16();
  info.height = r.u32();
  info.width = r.u32();
  info.fileDepth = r.u16();
  info.mode = Mode(r.u16());
  if (!r.ok()) {
    fail("truncated header");
    return std::nullopt;
  }
  const std::int64_t maxSide = info.bigDocument ? kMaxSidePsb : kMaxSidePsd;
  if (info.width < 1 || info.height < 1 || info.width > maxSide || info.height > maxSide) {
    fail("invalid dimensions");
    return std::nullopt;
  }
  if (info.fileChannels < 1 || info.fileChannels > 56) {
    fail("invalid channel count");
    return std::nullopt;
  }
  switch (info.mode) {
    case Mode::Bitmap:
      if (info.fileDepth != 1) return fail("bitmap file that is not 1-bit"), std::nullopt;
      info.colorComponents = 1;
      info.outputDepth = 8;
      break;
    case Mode::Gray:
    case Mode::Duotone:
      info.colorComponents = 1;
      break;
    case Mode::Indexed:
      if (info.fileDepth != 8) return fail("indexed file that is not 8-bit"), std::nullopt;
      info.colorComponents = 3;
      info.outputDepth = 8;
      break;
    case Mode::RGB:
      info.colorComponents = 3;
      break;
    case Mode::CMYK:
      info.colorComponents = 4;
      break;
    case Mode::Multichannel:
    case Mode::Lab:
      // Valid files of a kind not converted: not a damaged file.
      fail("Lab and multichannel files are not converted");
      foundation::noteFailure(foundation::FailureCause::FormatNotSupported);
      return std::nullopt;
    default:
      fail("unknown colour mode");
      return std::nullopt;
  }
  if (info.mode != Mode::Bitmap) {
    if (info.fileDepth != 8 && info.fileDepth != 16 && info.fileDepth != 32)
      return fail("unsupported depth"), std::nullopt;
    if (info.mode != Mode::Indexed) info.outputDepth = info.fileDepth;
  }
  const int colorPlanes = fileColorChannels(info.mode);
  if (info.fileChannels < colorPlanes) return fail("too few channels for the colour mode"), std::nullopt;
  info.hasAlpha = info.fileChannels > colorPlanes;

  const std::uint32_t colorDataLength = r.u32();
  if (!r.ok() || colorDataLength > r.remaining()) return fail("truncated colour mode data"), std::nullopt;
  if (info.mode == Mode::Indexed) {
    if (colorDataLength < 768) return fail("indexed file without a palette"), std::nullopt;
    info.palette.assign(r.current(), r.current() + 768);
  }
  r.skip(colorDataLength);

  const std::uint32_t resourcesLength = r.u32();
  if (!r.ok() || resourcesLength > r.remaining()) return fail("truncated image resources"), std::nullopt;
  parseResources(ByteReader(r.current(), resourcesLength), info);
  r.skip(resourcesLength);

  const std::uint64_t layersLength = info.bigDocument ? r.u64() : r.u32();
  if (!r.ok() || layersLength > r.remaining()) return fail("truncated layer section"), std::nullopt;
  info.layerSectionOffset = r.offset();
  info.layerSectionLength = layersLength;
  r.skip(layersLength);
  if (r.remaining() < 2) return fail("no composite image data"), std::nullopt;
  info.imageDataOffset = r.offset();
  return info;
}

bool decodeComposite(const std::uint8_t* data, std::size_t size, const FlatInfo& info,
                     std::int64_t pixelLimit, std::uint8_t* out, std::size_t bytesPerRow,
                     int samplesPerPixel) {
  const std::int64_t width = info.width, height = info.height;
  if (width < 1 || height < 1 || width * height > pixelLimit) return fail("image exceeds the pixel limit");
  if (samplesPerPixel < info.colorComponents + (info.hasAlpha ? 1 : 0)) return fail("output too narrow");
  const int colorPlanes = fileColorChannels(info.mode);
  const int usedPlanes = colorPlanes + (info.hasAlpha ? 1 : 0);
  const std::uint64_t rowBytes = (std::uint64_t(width) * std::uint64_t(info.fileDepth) + 7) / 8;
  const std::uint64_t planeBytes = rowBytes * std::uint64_t(height);

  ByteReader r(data, size);
  if (!r.seek(info.imageDataOffset)) return fail("truncated composite");
  const std::uint16_t compression = r.u16();
  if (!r.ok()) return fail("truncated composite");

  // Planar rows of the used planes, either in the file or decompressed.
  const std::uint8_t* planes = nullptr;
  std::vector<std::uint8_t> buffer;
  switch (compression) {
    case 0: {
      if (planeBytes * std::uint64_t(usedPlanes) > r.remaining()) return fail("truncated raw composite");
      planes = r.current();
      break;
    }
    case 1: {
      const std::uint64_t entries = std::uint64_t(info.fileChannels) * std::uint64_t(height);
      const int entryBytes = info.bigDocument ? 4 : 2;
      if (entries * entryBytes > r.remaining()) return fail("truncated RLE row table");
      ByteReader table(r.current(), std::size_t(entries * entryBytes));
      r.skip(entries * entryBytes);
      const std::uint64_t usedRows = std::uint64_t(usedPlanes) * std::uint64_t(height);
      std::vector<std::uint64_t> offsets(usedRows + 1, 0);
      for (std::uint64_t i = 0; i < usedRows; ++i) {
        const std::uint64_t count = info.bigDocument ? table.u32() : table.u16();
        // A packed row expands at most 64-fold: reject tables that claim
        // more before anything is allocated.
        if (rowBytes > count * 64) return fail("RLE row too short for its width");
        offsets[i + 1] = offsets[i] + count;
      }
      if (offsets[usedRows] > r.remaining()) return fail("truncated RLE data");
      buffer.resize(std::size_t(planeBytes * std::uint64_t(usedPlanes)));
      const std::uint8_t* packed = r.current();
      std::atomic<bool> ok{true};
      foundation::parallelForRange(
          0, std::int64_t(usedRows),
          [&](std::int64_t begin, std::int64_t end) {
            for (std::int64_t i = begin; i < end && ok.load(std::memory_order_relaxed); ++i) {
              if (!unpackBits(packed + offsets[i], std::size_t(offsets[i + 1] - offsets[i]),
                              buffer.data() + std::uint64_t(i) * rowBytes, std::size_t(rowBytes)))
                ok = false;
            }
          },
          16);
      if (!ok) return fail("corrupt RLE data");
      planes = buffer.data();
      break;
    }
    case 2:
    case 3: {
      const std::uint64_t total = planeBytes * std::uint64_t(info.fileChannels);
      if (total > std::uint64_t(r.remaining()) * 1100 + 4096) return fail("ZIP data too short for the image");
      buffer.resize(std::size_t(total));
      if (!inflateAll(r.current(), r.remaining(), buffer.data(), buffer.size()))
        return fail("corrupt ZIP data");
      if (compression == 3) {
        if (info.fileDepth == 1) return fail("prediction on 1-bit data");
        foundation::parallelForRange(
            0, std::int64_t(usedPlanes) * height,
            [&](std::int64_t begin, std::int64_t end) {
              std::vector<std::uint8_t> scratch;
              for (std::int64_t i = begin; i < end; ++i)
                undoPrediction(buffer.data() + std::uint64_t(i) * rowBytes, width, info.fileDepth, scratch);
            },
            16);
      }
      planes = buffer.data();
      break;
    }
    default:
      return fail("unknown compression");
  }

  const bool cmyk = info.mode == Mode::CMYK;
  foundation::parallelForRange(
      0, height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          std::uint8_t* row = out + std::size_t(y) * bytesPerRow;
          for (int plane = 0; plane < usedPlanes; ++plane) {
            const std::uint8_t* in =
                planes + (std::uint64_t(plane) * std::uint64_t(height) + std::uint64_t(y)) * rowBytes;
            const int sample = plane < colorPlanes ? plane : info.colorComponents;
            const bool isAlpha = plane >= colorPlanes;
            const bool invert = cmyk && !isAlpha;
            switch (info.fileDepth) {
              case 1:
                for (std::int64_t x = 0; x < width; ++x) {
                  const bool black = (in[x >> 3] >> (7 - (x & 7))) & 1;
                  row[x * samplesPerPixel + sample] = black ? 0 : 255;
                }
                break;
              case 8:
                if (info.mode == Mode::Indexed && !isAlpha) {
                  for (std::int64_t x = 0; x < width; ++x) {
                    std::uint8_t* p = row + x * samplesPerPixel;
                    p[0] = info.palette[in[x]];
                    p[1] = info.palette[256 + in[x]];
                    p[2] = info.palette[512 + in[x]];
                  }
                } else {
                  for (std::int64_t x = 0; x < width; ++x)
                    row[x * samplesPerPixel + sample] = invert ? std::uint8_t(255 - in[x]) : in[x];
                }
                break;
              case 16: {
                auto* row16 = reinterpret_cast<std::uint16_t*>(row);
                for (std::int64_t x = 0; x < width; ++x) {
                  const std::uint16_t v = std::uint16_t(in[2 * x] << 8 | in[2 * x + 1]);
                  row16[x * samplesPerPixel + sample] = invert ? std::uint16_t(65535 - v) : v;
                }
                break;
              }
              case 32: {
                auto* rowF = reinterpret_cast<float*>(row);
                for (std::int64_t x = 0; x < width; ++x) {
                  const std::uint32_t bits = std::uint32_t(in[4 * x]) << 24 |
                                             std::uint32_t(in[4 * x + 1]) << 16 |
                                             std::uint32_t(in[4 * x + 2]) << 8 | in[4 * x + 3];
                  float v;
                  std::memcpy(&v, &bits, 4);
                  if (!std::isfinite(v)) v = 0.0f;
                  rowF[x * samplesPerPixel + sample] = invert ? 1.0f - v : v;
                }
                break;
              }
            }
          }
        }
      },
      8);
  return true;
}

std::vector<std::uint8_t> packBits(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> out;
  out.reserve(size + size / 128 + 2);
  std::size_t i = 0;
  while (i < size) {
    std::size_t run = 1;
    while (i + run < size && run < 128 && data[i + run] == data[i]) ++run;
    if (run >= 3) {
      out.push_back(std::uint8_t(257 - run));
      out.push_back(data[i]);
      i += run;
      continue;
    }
    // Literal: up to the next run of three equal bytes.
    std::size_t start = i, length = 0;
    while (i < size && length < 128) {
      if (i + 2 < size && data[i] == data[i + 1] && data[i] == data[i + 2]) break;
      ++i;
      ++length;
    }
    out.push_back(std::uint8_t(length - 1));
    out.insert(out.end(), data + start, data + start + length);
  }
  return out;
}

bool unpackBits(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t size) {
  std::size_t i = 0, o = 0;
  while (o < size) {
    if (i >= inSize) return false;
    const int n = std::int8_t(in[i++]);
    if (n >= 0) {
      const std::size_t count = std::size_t(n) + 1;
      if (i + count > inSize) return false;
      const std::size_t copy = std::min(count, size - o);
      std::memcpy(out + o, in + i, copy);
      i += count;
      o += copy;
    } else if (n != -128) {
      if (i >= inSize) return false;
      const std::size_t count = std::min<std::size_t>(std::size_t(1 - n), size - o);
      std::memset(out + o, in[i++], count);
      o += count;
    }
  }
  return true;
}

namespace {

// The planes of interleaved samples (colour, then alpha), big-endian, CMYK
// as 0 for full ink, each row PackBits-compressed: plane after plane.
std::vector<std::vector<std::uint8_t>> packedPlaneRows(const FlatImage& image, const std::uint8_t* samples) {
  const int comps = image.colorComponents;
  const int channels = comps + (image.hasAlpha ? 1 : 0);
  const int sampleBytes = image.depth / 8;
  const std::size_t rowBytes = std::size_t(image.width) * std::size_t(sampleBytes);
  const std::int64_t rows = std::int64_t(channels) * image.height;
  std::vector<std::vector<std::uint8_t>> packed(static_cast<std::size_t>(rows));
  foundation::parallelForRange(
      0, rows,
      [&](std::int64_t begin, std::int64_t end) {
        std::vector<std::uint8_t> plane(rowBytes);
        for (std::int64_t i = begin; i < end; ++i) {
          const int channel = int(i / image.height);
          const std::int64_t y = i % image.height;
          const std::uint8_t* row = samples + std::size_t(y) * image.bytesPerRow;
          const bool invert = comps == 4 && channel < 4;
          for (std::int64_t x = 0; x < image.width; ++x) {
            const std::uint8_t* sample = row + (std::size_t(x) * channels + channel) * sampleBytes;
            std::uint8_t* dst = plane.data() + std::size_t(x) * sampleBytes;
            if (sampleBytes == 1) {
              dst[0] = invert ? std::uint8_t(255 - sample[0]) : sample[0];
            } else if (sampleBytes == 2) {
              std::uint16_t v;
              std::memcpy(&v, sample, 2);
              if (invert) v = std::uint16_t(65535 - v);
              dst[0] = std::uint8_t(v >> 8);
              dst[1] = std::uint8_t(v);
            } else {
              float f;
              std::memcpy(&f, sample, 4);
              if (invert) f = 1.0f - f;
              std::uint32_t bits;
              std::memcpy(&bits, &f, 4);
              for (int b = 0; b < 4; ++b) dst[b] = std::uint8_t(bits >> (24 - 8 * b));
            }
          }
          packed[std::size_t(i)] = packBits(plane.data(), plane.size());
        }
      },
      16);
  return packed;
}

}  // namespace

std::vector<std::uint8_t> encodeFlat(const FlatImage& image) {
  const int comps = image.colorComponents;
  if (image.width < 1 || image.height < 1 || image.width > kMaxSidePsb || image.height > kMaxSidePsb ||
      (comps != 1 && comps != 3 && comps != 4) ||
      (image.depth != 8 && image.depth != 16 && image.depth != 32) || image.samples == nullptr) {
    foundation::log("psd: cannot write a {}x{} image of {} components at {} bits", image.width, image.height,
                    comps, image.depth);
    return {};
  }
  const bool big = image.width > kMaxSidePsd || image.height > kMaxSidePsd;
  const int channels = comps + (image.hasAlpha ? 1 : 0);
  const int sampleBytes = image.depth / 8;
  const std::size_t rowBytes = std::size_t(image.width) * std::size_t(sampleBytes);

  std::vector<std::uint8_t> out;
  putBytes(out, "8BPS", 4);
  putU16(out, big ? 2 : 1);
  putBytes(out, "\0\0\0\0\0\0", 6);
  putU16(out, std::uint32_t(channels));
  putU32(out, std::uint32_t(image.height));
  putU32(out, std::uint32_t(image.width));
  putU16(out, std::uint32_t(image.depth));
  putU16(out, comps == 1 ? 1 : comps == 3 ? 3 : 4);
  putU32(out, 0);  // colour mode data

  std::vector<std::uint8_t> resources;
  auto fixed = [](double dpi) {
    if (!(dpi > 0) || !std::isfinite(dpi)) dpi = 72;
    return std::uint32_t(std::clamp(std::llround(dpi * 65536.0), 1LL, 0x7fffffffLL));
  };
  putBytes(resources, "8BIM", 4);
  putU16(resources, kResolutionResource);
  putU16(resources, 0);  // empty name, padded
  putU32(resources, 16);
  putU32(resources, fixed(image.dpiX));
  putU16(resources, 1);  // pixels per inch
  putU16(resources, 1);  // width shown in inches
  putU32(resources, fixed(image.dpiY));
  putU16(resources, 1);
  putU16(resources, 1);
  if (!image.icc.empty()) {
    putBytes(resources, "8BIM", 4);
    putU16(resources, kIccResource);
    putU16(resources, 0);
    putU32(resources, std::uint32_t(image.icc.size()));
    putBytes(resources, image.icc.data(), image.icc.size());
    if (image.icc.size() % 2) resources.push_back(0);
  }
  putU32(out, std::uint32_t(resources.size()));
  putBytes(out, resources.data(), resources.size());
  const std::vector<std::vector<std::uint8_t>> packed = packedPlaneRows(image, image.samples);
  std::vector<std::uint8_t> layers;
  if (image.hasAlpha && image.layerSamples) {
    const std::vector<std::vector<std::uint8_t>> layerRows = packedPlaneRows(image, image.layerSamples);
    layers = transparencyLayerSection(
        PackedPlanes{image.width, image.height, comps, image.depth, big, &layerRows, rowBytes});
  }
  if (big) putU32(out, std::uint32_t(std::uint64_t(layers.size()) >> 32));
  putU32(out, std::uint32_t(layers.size()));
  putBytes(out, layers.data(), layers.size());
  std::vector<std::uint8_t>().swap(layers);

  const std::size_t countLimit = big ? 0xffffffffu : 0xffffu;
  const bool rle =
      std::all_of(packed.begin(), packed.end(), [&](const auto& p) { return p.size() <= countLimit; });
  if (rle) {
    putU16(out, 1);
    for (const auto& p : packed) {
      if (big)
        putU32(out, std::uint32_t(p.size()));
      else
        putU16(out, std::uint32_t(p.size()));
    }
    for (const auto& p : packed) putBytes(out, p.data(), p.size());
  } else {
    // Rows too long for 16-bit RLE counts are stored raw.
    putU16(out, 0);
    for (const auto& p : packed) {
      const std::size_t start = out.size();
      out.resize(start + rowBytes);
      unpackBits(p.data(), p.size(), out.data() + start, rowBytes);
    }
  }
  return out;
}

}  // namespace imageio::psd

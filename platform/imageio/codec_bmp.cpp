// BMP, our own: reads 1/2/4/8-bit palette (raw, RLE4, RLE8), 16/32-bit
// with or without bit fields and 24-bit images with OS/2 and Windows
// headers up to version 5; writes 24-bit, or 32-bit with alpha.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/format_colors.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/imageio/raster_codecs.h"

namespace imageio {

namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;
constexpr double kMetersPerInch = 0.0254;

std::uint32_t u16At(const std::uint8_t* p) {
  return std::uint32_t(p[0] | (p[1] << 8));
}
std::uint32_t u32At(const std::uint8_t* p) {
  return u16At(p) | (u16At(p + 2) << 16);
}
std::int32_t s32At(const std::uint8_t* p) {
  return std::int32_t(u32At(p));
}

// A colour channel inside a packed 16- or 32-bit pixel.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t maxValue = 0;

  explicit Channel(std::uint32_t m = 0) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    const int bits = std::countr_one(m >> shift);
    maxValue = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  }
  std::uint8_t extract(std::uint32_t pixel) const {
    if (mask == 0) return 0;
    const std::uint64_t v = (pixel & mask) >> shift;
    return std::uint8_t(std::min<std::uint64_t>(255, (v * 255 + maxValue / 2) / maxValue));
  }
};

struct BmpInfo {
  std::int64_t width = 0, height = 0;
  bool topDown = false;
  int bits = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t dataOffset = 0;
  std::int32_t xPelsPerMeter = 0, yPelsPerMeter = 0;
  Channel red, green, blue, alpha;
  std::vector<std::uint8_t> palette;  // RGB triples
  std::vector<std::uint8_t> icc;
  bool hasAlpha() const { return alpha.mask != 0; }
};

bool parseHeader(const std::vector<std::uint8_t>& file, BmpInfo& info, std::string& error) {
  const std::size_t size = file.size();
  if (size < 26 || file[0] != 'B' || file[1] != 'M') {
    error = "not a BMP file";
    return false;
  }
  const std::uint8_t* p = file.data();
  info.dataOffset = u32At(p + 10);
  const std::uint32_t headerSize = u32At(p + 14);
  if (headerSize < 12 || std::uint64_t(14) + headerSize > size) {
    error = "bad header size";
    return false;
  }
  const std::uint8_t* h = p + 14;
  std::uint32_t colorsUsed = 0;
  int paletteEntryBytes = 4;
  std::size_t paletteOffset = 14 + std::size_t(headerSize);
  if (headerSize == 12) {
    info.width = std::int16_t(u16At(h + 4));
    info.height = std::int16_t(u16At(h + 6));
    info.bits = int(u16At(h + 10));
    paletteEntryBytes = 3;
  } else if (headerSize >= 40) {
    info.width = s32At(h + 4);
    const std::int32_t height = s32At(h + 8);
    info.topDown = height < 0;
    info.height = std::abs(std::int64_t(height));
    info.bits = int(u16At(h + 14));
    info.compression = u32At(h + 16);
    info.xPelsPerMeter = s32At(h + 24);
    info.yPelsPerMeter = s32At(h + 28);
    colorsUsed = u32At(h + 32);
    if (headerSize == 64 && info.compression > kRle4) {
      error = "OS/2 compression is not supported";
      return false;
    }
    std::uint32_t masks[4] = {0, 0, 0, 0};
    if (info.compression == kBitFields || info.compression == kAlphaBitFields) {
      const int count = info.compression == kAlphaBitFields ? 4 : 3;
      if (headerSize >= 52) {
        for (int i = 0; i < 3; ++i) masks[i] = u32At(h + 40 + 4 * i);
        if (headerSize >= 56) masks[3] = u32At(h + 52);
      } else {
        // Masks follow a 40-byte header.
        if (paletteOffset + std::size_t(4 * count) > size) {
          error = "truncated bit fields";
          return false;
        }
        for (int i = 0; i < count; ++i) masks[i] = u32At(p + paletteOffset + std::size_t(4 * i));
        paletteOffset += std::size_t(4 * count);
      }
    } else if (info.compression == kRgb) {
      if (info.bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
      } else if (info.bits == 32) {
        masks[0] = 0x00FF0000, masks[1] = 0x0000FF00, masks[2] = 0x000000FF;
      }
    }
    if (info.bits == 16 || info.bits == 32) {
      info.red = Channel(masks[0]);
      info.green = Channel(masks[1]);
      info.blue = Channel(masks[2]);
      info.alpha = Channel(masks[3]);
    }
    // An embedded profile of a version 5 header.
    if (headerSize >= 124 && u32At(h + 56) == 0x4D424544 /* 'MBED' */) {
      const std::uint64_t offset = 14 + std::uint64_t(u32At(h + 112));
      const std::uint64_t length = u32At(h + 116);
      if (length > 0 && offset + length <= size) info.icc.assign(p + offset, p + offset + length);
    }
  } else {
    error = "unknown header";
    return false;
  }
  if (info.width <= 0 || info.height <= 0) {
    error = "bad dimensions";
    return false;
  }
  const int b = info.bits;
  const bool indexed = b == 1 || b == 2 || b == 4 || b == 8;
  const bool valid =
      (info.compression == kRgb && (indexed || b == 16 || b == 24 || b == 32)) ||
      (info.compression == kRle8 && b == 8) || (info.compression == kRle4 && b == 4) ||
      ((info.compression == kBitFields || info.compression == kAlphaBitFields) && (b == 16 || b == 32));
  if (!valid) {
    error = "unsupported bit depth or compression";
    return false;
  }
  if (indexed) {
    std::uint64_t entries = colorsUsed != 0 ? colorsUsed : (std::uint64_t(1) << b);
    entries = std::min<std::uint64_t>(entries, 256);
    const std::uint64_t available =
        paletteOffset < size ? (std::uint64_t(size) - paletteOffset) / std::uint64_t(paletteEntryBytes) : 0;
    entries = std::min(entries, available);
    if (entries == 0) {
      error = "missing palette";
      return false;
    }
    for (std::uint64_t i = 0; i < entries; ++i) {
      const std::uint8_t* e = p + paletteOffset + i * std::uint64_t(paletteEntryBytes);
      info.palette.insert(info.palette.end(), {e[2], e[1], e[0]});
    }
  }
  if (info.dataOffset >= size) {
    error = "no pixel data";
    return false;
  }
  return true;
}

// Colour of a palette index (black when the index is beyond the palette).
inline void putIndex(const BmpInfo& info, unsigned index, std::uint8_t* out) {
  if (std::size_t(index) * 3 + 2 < info.palette.size()) {
    std::memcpy(out, &info.palette[std::size_t(index) * 3], 3);
  } else {
    out[0] = out[1] = out[2] = 0;
  }
  out[3] = 255;
}

// Run-length data into a bottom-up index buffer; false when it runs past
// the data.
bool decodeRle(const std::vector<std::uint8_t>& file, const BmpInfo& info,
               std::vector<std::uint8_t>& indices) {
  const std::int64_t width = info.width, height = info.height;
  std::size_t at = info.dataOffset;
  const std::size_t end = file.size();
  std::int64_t x = 0, y = 0;
  const bool four = info.compression == kRle4;
  auto put = [&](unsigned value) {
    if (x < width && y < height) indices[std::size_t(y * width + x)] = std::uint8_t(value);
    ++x;
  };
  while (y < height) {
    if (at + 2 > end) return false;
    const unsigned count = file[at], value = file[at + 1];
    at += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i) put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // delta
      if (at + 2 > end) return false;
      x += file[at];
      y += file[at + 1];
      at += 2;
    } else {  // absolute run of `value` pixels, padded to 16 bits
      const std::size_t bytes = four ? (value + 1) / 2 : value;
      if (at + bytes > end) return false;
      for (unsigned i = 0; i < value; ++i) {
        const std::uint8_t byte = file[at + (four ? i / 2 : i)];
        put(four ? ((i & 1) ? (byte & 0x0F) : (byte >> 4)) : byte);
      }
      at += bytes + (bytes & 1);
    }
  }
  return true;
}

class BmpDecoder final : public Decoder {
 public:
  BmpDecoder(std::string path, std::vector<std::uint8_t> file, BmpInfo info, std::int64_t pixelLimit)
      : path_(std::move(path)), file_(std::move(file)), info_(std::move(info)), pixelLimit_(pixelLimit) {}

  std::size_t count() const override { return 1; }

  foundation::Value properties(std::size_t /*index*/) override {
    foundation::Dictionary d = basicProperties(info_.width, info_.height, 8, 3, info_.hasAlpha(),
                                               info_.icc.empty() ? nullptr : &info_.icc);
    if (info_.xPelsPerMeter > 0 && info_.yPelsPerMeter > 0) {
      setDpi(d, std::round(info_.xPelsPerMeter * kMetersPerInch),
             std::round(info_.yPelsPerMeter * kMetersPerInch));
    }
    return foundation::Value(std::move(d));
  }

  raster::ImageRef decode(std::size_t index, const DecodeOptions& /*options*/) override {
    if (index != 0) return nullptr;
    const raster::PixelFormat format = decodedFormat(8, 3, info_.hasAlpha());
    const std::size_t rowBytes = checkedBytesPerRow(info_.width, info_.height, format, pixelLimit_);
    if (rowBytes == 0) {
      foundation::log("bmp: {}: image too large", path_);
      return nullptr;
    }
    std::vector<std::uint8_t> pixels(rowBytes * std::size_t(info_.height));
    if (info_.compression == kRle4 || info_.compression == kRle8) {
      std::vector<std::uint8_t> indices(std::size_t(info_.width) * std::size_t(info_.height), 0);
      if (!decodeRle(file_, info_, indices)) {
        foundation::log("bmp: {}: run-length data is truncated", path_);
        return nullptr;
      }
      for (std::int64_t y = 0; y < info_.height; ++y) {
        const std::int64_t outRow = info_.topDown ? y : info_.height - 1 - y;
        std::uint8_t* out = pixels.data() + std::size_t(outRow) * rowBytes;
        for (std::int64_t x = 0; x < info_.width; ++x)
          putIndex(info_, indices[std::size_t(y * info_.width + x)], out + x * 4);
      }
    } else if (!decodeRaw(pixels, rowBytes)) {
      return nullptr;
    }
    return raster::Image::make(info_.width, info_.height, format, colorSpaceFor(3, &info_.icc),
                               std::move(pixels), rowBytes);
  }

 private:
  bool decodeRaw(std::vector<std::uint8_t>& pixels, std::size_t rowBytes) {
    const std::uint64_t stride = ((std::uint64_t(info_.width) * std::uint64_t(info_.bits) + 31) / 32) * 4;
    if (std::uint64_t(info_.dataOffset) + stride * std::uint64_t(info_.height) > file_.size()) {
      foundation::log("bmp: {}: pixel data is truncated", path_);
      return false;
    }
    const bool withAlpha = info_.hasAlpha();
    foundation::parallelForRange(
        0, info_.height,
        [&](std::int64_t begin, std::int64_t end) {
          for (std::int64_t y = begin; y < end; ++y) {
            const std::uint8_t* in = file_.data() + info_.dataOffset + std::size_t(y) * stride;
            const std::int64_t outRow = info_.topDown ? y : info_.height - 1 - y;
            std::uint8_t* out = pixels.data() + std::size_t(outRow) * rowBytes;
            decodeRow(in, out, withAlpha);
          }
        },
        16);
    return true;
  }

  void decodeRow(const std::uint8_t* in, std::uint8_t* out, bool withAlpha) const {
    const std::int64_t width = info_.width;
    switch (info_.bits) {
      case 1:
      case 2:
      case 4:
      case 8: {
        const int bits = info_.bits;
        for (std::int64_t x = 0; x < width; ++x) {
          const std::int64_t bit = x * bits;
          const unsigned index = (in[bit >> 3] >> (8 - bits - (bit & 7))) & ((1u << bits) - 1);
          putIndex(info_, index, out + x * 4);
        }
        break;
      }
      case 24:
        for (std::int64_t x = 0; x < width; ++x) {
          out[x * 4] = in[x * 3 + 2];
          out[x * 4 + 1] = in[x * 3 + 1];
          out[x * 4 + 2] = in[x * 3];
          out[x * 4 + 3] = 255;
        }
        break;
      default: {
        const bool wide = info_.bits == 32;
        for (std::int64_t x = 0; x < width; ++x) {
          const std::uint32_t v = wide ? u32At(in + x * 4) : u16At(in + x * 2);
          std::uint8_t* o = out + x * 4;
          o[0] = info_.red.extract(v);
          o[1] = info_.green.extract(v);
          o[2] = info_.blue.extract(v);
          o[3] = withAlpha ? info_.alpha.extract(v) : 255;
        }
        break;
      }
    }
  }

  std::string path_;
  std::vector<std::uint8_t> file_;
  BmpInfo info_;
  std::int64_t pixelLimit_;
};

bool sniffBmp(const std::uint8_t* bytes, std::size_t size) {
  if (size < 18 || bytes[0] != 'B' || bytes[1] != 'M') return false;
  const std::uint32_t header = u32At(bytes + 14);
  return header == 12 || header == 40 || header == 52 || header == 56 || header == 64 || header == 108 ||
         header == 124;
}

std::unique_ptr<Decoder> openBmp(const std::string& path, std::int64_t pixelLimit) {
  auto file = readFileBytes(path);
  if (!file) return nullptr;
  BmpInfo info;
  std::string error;
  if (!parseHeader(*file, info, error)) {
    foundation::log("bmp: {}: {}", path, error);
    return nullptr;
  }
  if (!withinImageLimits(info.width, info.height, kLargestPixelBytes, pixelLimit)) {
    foundation::log("bmp: {}: {} x {} pixels exceed the limit", path, info.width, info.height);
    return nullptr;
  }
  return std::make_unique<BmpDecoder>(path, std::move(*file), std::move(info), pixelLimit);
}

// --- Writing ---------------------------------------------------------------

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

bool writeBmp(const std::string& path, const std::vector<Frame>& frames, const foundation::Value& /*file*/) {
  if (frames.empty() || !frames.front().image) return false;
  const raster::ImageRef held = imageForFormat(frames.front().image, FormatColors::UntaggedGrayOrRGB);
  if (!held) return false;
  const raster::Image& image = *held;
  const int color = exportedColorComponents(image);
  const bool alpha = image.format().hasAlpha() && image.format().alpha != raster::AlphaInfo::Only;
  const std::int64_t width = image.width(), height = image.height();
  const std::uint32_t headerSize = alpha ? 108 : 40;
  const std::uint64_t stride = ((std::uint64_t(width) * (alpha ? 32 : 24) + 31) / 32) * 4;
  const std::uint64_t dataSize = stride * std::uint64_t(height);
  const std::uint64_t offset = 14 + headerSize;
  if (width > 0x7FFFFFFF || height > 0x7FFFFFFF || offset + dataSize > 0xFFFFFFFFull) {
    foundation::log("bmp: {} x {} is too large for BMP", width, height);
    return false;
  }
  const Resolution resolution = frameResolution(frames.front().properties).value_or(Resolution{});

  std::vector<std::uint8_t> out;
  out.reserve(std::size_t(offset + dataSize));
  out.push_back('B');
  out.push_back('M');
  put32(out, std::uint32_t(offset + dataSize));
  put32(out, 0);
  put32(out, std::uint32_t(offset));
  put32(out, headerSize);
  put32(out, std::uint32_t(width));
  put32(out, std::uint32_t(height));  // bottom-up
  put16(out, 1);
  put16(out, alpha ? 32 : 24);
  put32(out, alpha ? kBitFields : kRgb);
  put32(out, std::uint32_t(dataSize));
  put32(out, std::uint32_t(std::lround(resolution.x / kMetersPerInch)));
  put32(out, std::uint32_t(std::lround(resolution.y / kMetersPerInch)));
  put32(out, 0);
  put32(out, 0);
  if (alpha) {
    put32(out, 0x00FF0000);
    put32(out, 0x0000FF00);
    put32(out, 0x000000FF);
    put32(out, 0xFF000000);
    put32(out, 0x73524742);             // 'sRGB'
    out.insert(out.end(), 36 + 12, 0);  // endpoints and gamma, unused for sRGB
  }
  out.resize(std::size_t(offset + dataSize), 0);
  const int components = color + (alpha ? 1 : 0);
  foundation::parallelForRange(
      0, height,
      [&](std::int64_t begin, std::int64_t end) {
        std::vector<std::uint8_t> row(std::size_t(width) * std::size_t(components));
        for (std::int64_t y = begin; y < end; ++y) {
          exportRow(image, y, {8, alpha}, row.data());
          std::uint8_t* o = out.data() + offset + std::size_t(height - 1 - y) * stride;
          for (std::int64_t x = 0; x < width; ++x) {
            const std::uint8_t* p = &row[std::size_t(x * components)];
            std::uint8_t* q = o + x * (alpha ? 4 : 3);
            if (color == 1) {
              q[0] = q[1] = q[2] = p[0];
            } else {
              q[0] = p[2];
              q[1] = p[1];
              q[2] = p[0];
            }
            if (alpha) q[3] = p[color];
          }
        }
      },
      16);
  return writeFileBytes(path, out.data(), out.size());
}

}  // namespace

Codec bmpCodec() {
  Codec codec;
  codec.type = "com.microsoft.bmp";
  codec.extensions = {"bmp", "dib"};
  codec.sniff = sniffBmp;
  codec.open = openBmp;
  codec.write = writeBmp;
  return codec;
}

}  // namespace imageio

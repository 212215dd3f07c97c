// TIFF through libtiff: pages; 1- to 16-bit integer and 32/64-bit float
// samples; gray, RGB, CMYK and palette with associated or unassociated
// alpha; ICC profiles; resolution. Other photometrics (YCbCr, Lab, LogLuv,
// old-style JPEG) go through libtiff's RGBA reader. Writes 8/16/32f gray,
// RGB and CMYK pages, uncompressed, LZW or PackBits.

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <mutex>

#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/imageio/raster_codecs.h"

namespace imageio {

namespace {

constexpr std::size_t kMaxPages = 10000;
constexpr tmsize_t kMaxSingleAllocation = tmsize_t(2) << 30;

// Errors of one handle, logged with the file's name.
struct Diagnostics {
  std::string path;
};

int onError(TIFF* /*tif*/, void* user, const char* module, const char* format, va_list args) {
  char message[512];
  std::vsnprintf(message, sizeof message, format, args);
  const auto* diagnostics = static_cast<const Diagnostics*>(user);
  foundation::log("tiff: {}: {}{}{}", diagnostics != nullptr ? diagnostics->path : std::string(),
                  module != nullptr ? module : "", module != nullptr ? ": " : "", message);
  return 1;
}

int onWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

// Handlers for libtiff calls made before a handle exists.
void quietGlobalHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
  });
}

TIFF* openTiff(const std::string& path, const char* mode, Diagnostics* diagnostics) {
  if (mode[0] == 'r' && !foundation::isReadableRegularFile(path)) return nullptr;
  quietGlobalHandlers();
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxSingleAllocation);
  TIFFOpenOptionsSetErrorHandlerExtR(options, onError, diagnostics);
  TIFFOpenOptionsSetWarningHandlerExtR(options, onWarning, diagnostics);
  TIFF* tif = TIFFOpenExt(path.c_str(), mode, options);
  TIFFOpenOptionsFree(options);
  return tif;
}

struct TiffCloser {
  void operator()(TIFF* tif) const {
    if (tif != nullptr) TIFFClose(tif);
  }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

enum class Path { Direct, Rgba };

struct PageInfo {
  std::uint32_t width = 0, height = 0;
  std::uint16_t bitsPerSample = 1, samplesPerPixel = 1, photometric = PHOTOMETRIC_MINISBLACK;
  std::uint16_t planar = PLANARCONFIG_CONTIG, sampleFormat = SAMPLEFORMAT_UINT,
                compression = COMPRESSION_NONE;
  std::uint16_t orientation = 1, resolutionUnit = RESUNIT_INCH;
  float xResolution = 0, yResolution = 0;
  bool hasResolution = false;
  int color = 3;         // colour components decoded (palette: 3)
  int alphaSample = -1;  // index of the alpha sample, -1 none
  bool associatedAlpha = false;
  Path path = Path::Direct;
  std::vector<std::uint8_t> icc;
  foundation::Dictionary strings;  // {TIFF} text tags

  int outputBits() const {
    if (path == Path::Rgba || photometric == PHOTOMETRIC_PALETTE) return 8;
    if (sampleFormat == SAMPLEFORMAT_IEEEFP) return 32;
    return bitsPerSample <= 8 ? 8 : 16;
  }
  bool alpha() const { return alphaSample >= 0; }
};

bool readPageInfo(TIFF* tif, PageInfo& page) {
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.width) ||
      !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.height))
    return false;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &page.bitsPerSample);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &page.samplesPerPixel);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &page.planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &page.sampleFormat);
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &page.compression);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &page.orientation);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &page.photometric)) {
    page.photometric = page.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  }
  if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &page.xResolution) &&
      TIFFGetField(tif, TIFFTAG_YRESOLUTION, &page.yResolution) && page.xResolution > 0 &&
      page.yResolution > 0 && std::isfinite(page.xResolution) && std::isfinite(page.yResolution)) {
    page.hasResolution = true;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &page.resolutionUnit);
  }
  std::uint32_t iccSize = 0;
  void* icc = nullptr;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccSize, &icc) && icc != nullptr && iccSize > 0) {
    page.icc.assign(static_cast<std::uint8_t*>(icc), static_cast<std::uint8_t*>(icc) + iccSize);
  }
  const std::pair<ttag_t, const char*> textTags[] = {{TIFFTAG_MAKE, "Make"},
                                                     {TIFFTAG_MODEL, "Model"},
                                                     {TIFFTAG_SOFTWARE, "Software"},
                                                     {TIFFTAG_DATETIME, "DateTime"},
                                                     {TIFFTAG_ARTIST, "Artist"},
                                                     {TIFFTAG_COPYRIGHT, "Copyright"},
                                                     {TIFFTAG_HOSTCOMPUTER, "HostComputer"},
                                                     {TIFFTAG_IMAGEDESCRIPTION, "ImageDescription"}};
  for (const auto& [tag, key] : textTags) {
    char* text = nullptr;
    if (TIFFGetField(tif, tag, &text) && text != nullptr) page.strings.set(key, std::string(text));
  }

  std::uint16_t extraCount = 0;
  std::uint16_t* extraTypes = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);

  bool direct = page.compression != COMPRESSION_OJPEG;
  const int bps = page.bitsPerSample;
  switch (page.sampleFormat) {
    case SAMPLEFORMAT_UINT:
    case SAMPLEFORMAT_INT:
      direct = direct && ((bps >= 1 && bps <= 16) || bps == 32);
      break;
    case SAMPLEFORMAT_IEEEFP:
      direct = direct && (bps == 32 || bps == 64);
      break;
    default:
      direct = false;
  }
  int colorSamples = 0;
  switch (page.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
      page.color = 1;
      colorSamples = 1;
      break;
    case PHOTOMETRIC_RGB:
      page.color = 3;
      colorSamples = 3;
      break;
    case PHOTOMETRIC_PALETTE:
      page.color = 3;
      colorSamples = 1;
      direct = direct && bps <= 16 && page.sampleFormat == SAMPLEFORMAT_UINT;
      break;
    case PHOTOMETRIC_SEPARATED: {
      std::uint16_t inkSet = INKSET_CMYK;
      TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkSet);
      page.color = 4;
      colorSamples = 4;
      direct = direct && inkSet == INKSET_CMYK;
      break;
    }
    default:
      direct = false;
  }
  // More than a few extra samples is not a picture we can show; libtiff's
  // RGBA reader decides.
  if (page.samplesPerPixel < colorSamples || page.samplesPerPixel > colorSamples + 4) direct = false;
  if (direct && page.samplesPerPixel - colorSamples != extraCount && extraCount != 0) direct = false;
  if (direct) {
    page.path = Path::Direct;
    if (extraCount > 0 && extraTypes != nullptr &&
        (extraTypes[0] == EXTRASAMPLE_ASSOCALPHA || extraTypes[0] == EXTRASAMPLE_UNASSALPHA) &&
        page.photometric != PHOTOMETRIC_PALETTE) {
      page.alphaSample = colorSamples;
      page.associatedAlpha = extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    return true;
  }
  // libtiff's RGBA reader: 8-bit RGBA, premultiplied when there is alpha.
  char message[1024] = {};
  if (!TIFFRGBAImageOK(tif, message)) {
    foundation::log("tiff: unsupported page: {}", message);
    return false;
  }
  page.path = Path::Rgba;
  page.color = 3;
  page.icc.clear();
  TIFFRGBAImage probe;
  if (TIFFRGBAImageBegin(&probe, tif, 0, message)) {
    if (probe.alpha != 0) {
      page.alphaSample = 3;
      page.associatedAlpha = true;
    }
    TIFFRGBAImageEnd(&probe);
  }
  return true;
}

// One page's samples, interleaved, in a type wide enough for them.
struct SampleBuffer {
  std::vector<std::uint8_t> u8;
  std::vector<std::uint16_t> u16;
  std::vector<float> f32;
};

// Unpacks `count` samples of a decoded strip or tile row into out at index.
void unpackSamples(const PageInfo& page, const std::uint8_t* in, std::int64_t count, SampleBuffer& out,
                   std::size_t at, std::size_t stride, std::vector<std::uint8_t>& scratch) {
  const int bps = page.bitsPerSample;
  const bool isSigned = page.sampleFormat == SAMPLEFORMAT_INT;
  if (page.sampleFormat == SAMPLEFORMAT_IEEEFP) {
    for (std::int64_t i = 0; i < count; ++i) {
      float v = 0;
      if (bps == 64) {
        double d = 0;
        std::memcpy(&d, in + i * 8, 8);
        v = float(d);
      } else {
        std::memcpy(&v, in + i * 4, 4);
      }
      out.f32[at + std::size_t(i) * stride] = v;
    }
    return;
  }
  if (page.photometric == PHOTOMETRIC_PALETTE) {
    // Raw indices, unscaled.
    for (std::int64_t i = 0; i < count; ++i) {
      std::uint32_t v = 0;
      if (bps == 16) {
        std::uint16_t s = 0;
        std::memcpy(&s, in + i * 2, 2);
        v = s;
      } else {
        const std::int64_t bit = i * bps;
        for (int b = 0; b < bps; ++b) v = (v << 1) | ((in[(bit + b) >> 3] >> (7 - ((bit + b) & 7))) & 1u);
      }
      out.u16[at + std::size_t(i) * stride] = std::uint16_t(v);
    }
    return;
  }
  if (bps <= 8) {
    scratch.resize(std::size_t(count));
    expandSamples(in, count, bps, scratch.data());
    for (std::int64_t i = 0; i < count; ++i) {
      std::uint8_t v = scratch[std::size_t(i)];
      if (isSigned && bps == 8) v = std::uint8_t(v ^ 0x80);
      out.u8[at + std::size_t(i) * stride] = v;
    }
  } else if (bps == 32) {
    for (std::int64_t i = 0; i < count; ++i) {
      std::uint32_t v = 0;
      std::memcpy(&v, in + i * 4, 4);
      if (isSigned) v ^= 0x80000000u;
      out.u16[at + std::size_t(i) * stride] = std::uint16_t(v >> 16);
    }
  } else {
    scratch.resize(std::size_t(count) * 2);
    auto* wide = reinterpret_cast<std::uint16_t*>(scratch.data());
    expandSamples16(in, count, bps, wide);
    for (std::int64_t i = 0; i < count; ++i) {
      std::uint16_t v = wide[i];
      if (isSigned && bps == 16) v = std::uint16_t(v ^ 0x8000);
      out.u16[at + std::size_t(i) * stride] = v;
    }
  }
}

// Reads every sample of the current page into samples (width * height *
// samplesPerPixel, interleaved), from strips or tiles, contiguous or planar.
bool readSamples(TIFF* tif, const PageInfo& page, SampleBuffer& samples) {
  const std::size_t spp = page.samplesPerPixel;
  const std::size_t total = std::size_t(page.width) * page.height * spp;
  if (page.sampleFormat == SAMPLEFORMAT_IEEEFP) {
    samples.f32.resize(total);
  } else if (page.bitsPerSample <= 8 && page.photometric != PHOTOMETRIC_PALETTE) {
    samples.u8.resize(total);
  } else {
    samples.u16.resize(total);
  }
  const bool separate = page.planar == PLANARCONFIG_SEPARATE && spp > 1;
  const std::size_t planes = separate ? spp : 1;
  const std::size_t samplesPerChunkPixel = separate ? 1 : spp;
  const std::size_t stride = separate ? spp : 1;
  std::vector<std::uint8_t> scratch;

  if (TIFFIsTiled(tif)) {
    std::uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
    if (tileWidth == 0 || tileHeight == 0) return false;
    const tmsize_t tileSize = TIFFTileSize(tif);
    const tmsize_t tileRowSize = TIFFTileRowSize(tif);
    if (tileSize <= 0 || tileRowSize <= 0) return false;
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(tileSize));
    for (std::size_t plane = 0; plane < planes; ++plane) {
      for (std::uint32_t ty = 0; ty < page.height; ty += tileHeight) {
        for (std::uint32_t tx = 0; tx < page.width; tx += tileWidth) {
          const ttile_t index = TIFFComputeTile(tif, tx, ty, 0, tsample_t(plane));
          if (TIFFReadEncodedTile(tif, index, tile.data(), tileSize) < 0) return false;
          const std::uint32_t rows = std::min(tileHeight, page.height - ty);
          const std::uint32_t columns = std::min(tileWidth, page.width - tx);
          for (std::uint32_t r = 0; r < rows; ++r) {
            const std::uint8_t* in = tile.data() + std::size_t(r) * std::size_t(tileRowSize);
            const std::size_t at = ((std::size_t(ty) + r) * page.width + tx) * spp + plane;
            unpackSamples(page, in, std::int64_t(columns) * std::int64_t(samplesPerChunkPixel), samples, at,
                          stride, scratch);
          }
        }
      }
    }
    return true;
  }

  std::uint32_t rowsPerStrip = page.height;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > page.height) rowsPerStrip = page.height;
  const tmsize_t stripSize = TIFFStripSize(tif);
  const tmsize_t rowSize = TIFFScanlineSize(tif);
  if (stripSize <= 0 || rowSize <= 0) return false;
  std::vector<std::uint8_t> strip(static_cast<std::size_t>(stripSize));
  for (std::size_t plane = 0; plane < planes; ++plane) {
    for (std::uint32_t y = 0; y < page.height; y += rowsPerStrip) {
      const tstrip_t index = TIFFComputeStrip(tif, y, tsample_t(plane));
      const std::uint32_t rows = std::min(rowsPerStrip, page.height - y);
      const tmsize_t wanted = tmsize_t(rows) * rowSize;
      const tmsize_t got = TIFFReadEncodedStrip(tif, index, strip.data(), std::min(wanted, stripSize));
      if (got < wanted) return false;
      for (std::uint32_t r = 0; r < rows; ++r) {
        const std::uint8_t* in = strip.data() + std::size_t(r) * std::size_t(rowSize);
        const std::size_t at = (std::size_t(y) + r) * page.width * spp + plane;
        unpackSamples(page, in, std::int64_t(page.width) * std::int64_t(samplesPerChunkPixel), samples, at,
                      stride, scratch);
      }
    }
  }
  return true;
}

template <typename T>
void assemblePixels(const PageInfo& page, const T* samples, T maxValue, std::uint8_t* pixels,
                    std::size_t rowBytes) {
  const std::size_t spp = page.samplesPerPixel;
  const int color = page.color;
  const bool invert = page.photometric == PHOTOMETRIC_MINISWHITE;
  const int outComponents = decodedFormat(8, color, page.alpha()).componentsPerPixel();
  foundation::parallelForRange(
      0, page.height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          T* out = reinterpret_cast<T*>(pixels + std::size_t(y) * rowBytes);
          const T* in = samples + std::size_t(y) * page.width * spp;
          for (std::uint32_t x = 0; x < page.width; ++x) {
            const T* p = in + std::size_t(x) * spp;
            T* o = out + std::size_t(x) * std::size_t(outComponents);
            for (int c = 0; c < color; ++c) o[c] = invert ? T(maxValue - p[c]) : p[c];
            if (page.alpha()) {
              o[color] = p[page.alphaSample];
            } else if (outComponents > color) {
              o[color] = maxValue;
            }
          }
        }
      },
      16);
}

void assemblePalette(TIFF* tif, const PageInfo& page, const std::vector<std::uint16_t>& indices,
                     std::uint8_t* pixels, std::size_t rowBytes) {
  std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  std::vector<std::uint8_t> map(std::size_t(3) << page.bitsPerSample, 0);
  const std::size_t entries = std::size_t(1) << page.bitsPerSample;
  if (TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) && red && green && blue) {
    // Some writers store 8-bit values in the 16-bit map.
    bool eightBit = true;
    for (std::size_t i = 0; i < entries; ++i)
      eightBit = eightBit && red[i] < 256 && green[i] < 256 && blue[i] < 256;
    const int shift = eightBit ? 0 : 8;
    for (std::size_t i = 0; i < entries; ++i) {
      map[3 * i] = std::uint8_t(red[i] >> shift);
      map[3 * i + 1] = std::uint8_t(green[i] >> shift);
      map[3 * i + 2] = std::uint8_t(blue[i] >> shift);
    }
  }
  const std::size_t spp = page.samplesPerPixel;
  foundation::parallelForRange(
      0, page.height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          std::uint8_t* out = pixels + std::size_t(y) * rowBytes;
          const std::uint16_t* in = indices.data() + std::size_t(y) * page.width * spp;
          for (std::uint32_t x = 0; x < page.width; ++x) {
            const std::size_t index = std::min<std::size_t>(in[std::size_t(x) * spp], entries - 1);
            std::memcpy(out + std::size_t(x) * 4, &map[3 * index], 3);
            out[std::size_t(x) * 4 + 3] = 255;
          }
        }
      },
      16);
}

class TiffDecoder final : public Decoder {
 public:
  TiffDecoder(std::string path, TiffHandle tif, std::unique_ptr<Diagnostics> diagnostics,
              std::vector<PageInfo> pages, std::int64_t pixelLimit)
      : path_(std::move(path)),
        diagnostics_(std::move(diagnostics)),
        tif_(std::move(tif)),
        pages_(std::move(pages)),
        pixelLimit_(pixelLimit) {}

  std::size_t count() const override { return pages_.size(); }

  foundation::Value properties(std::size_t index) override {
    if (index >= pages_.size()) return foundation::Value(foundation::Dictionary{});
    const PageInfo& page = pages_[index];
    const int color = page.photometric == PHOTOMETRIC_PALETTE ? 3 : page.color;
    foundation::Dictionary d = basicProperties(page.width, page.height, page.bitsPerSample, color,
                                               page.alpha(), page.icc.empty() ? nullptr : &page.icc);
    if (page.sampleFormat == SAMPLEFORMAT_IEEEFP) d.set("IsFloat", true);
    foundation::Dictionary tiff = page.strings;
    tiff.set("Compression", int(page.compression));
    tiff.set("PhotometricInterpretation", int(page.photometric));
    tiff.set("Orientation", int(page.orientation));
    if (page.hasResolution) {
      tiff.set("XResolution", double(page.xResolution));
      tiff.set("YResolution", double(page.yResolution));
      tiff.set("ResolutionUnit", int(page.resolutionUnit));
      if (page.resolutionUnit == RESUNIT_INCH) setDpi(d, page.xResolution, page.yResolution);
      if (page.resolutionUnit == RESUNIT_CENTIMETER)
        setDpi(d, double(page.xResolution) * 2.54, double(page.yResolution) * 2.54);
    }
    if (page.orientation >= 1 && page.orientation <= 8) d.set("Orientation", int(page.orientation));
    d.set("{TIFF}", std::move(tiff));
    return foundation::Value(std::move(d));
  }

  raster::ImageRef decode(std::size_t index, const DecodeOptions& /*options*/) override {
    if (index >= pages_.size()) return nullptr;
    const PageInfo& page = pages_[index];
    if (!TIFFSetDirectory(tif_.get(), tdir_t(index))) return nullptr;
    const int bits = page.outputBits();
    const raster::PixelFormat format = decodedFormat(bits, page.color, page.alpha(), page.associatedAlpha);
    const std::size_t rowBytes = checkedBytesPerRow(page.width, page.height, format, pixelLimit_);
    // The interleaved samples need at most about as much again: a direct
    // page has at most four extra samples.
    if (rowBytes == 0) {
      foundation::log("tiff: {}: page {} is too large", path_, index);
      return nullptr;
    }
    std::vector<std::uint8_t> pixels(rowBytes * page.height);
    if (page.path == Path::Rgba) {
      if (!readRgba(page, pixels)) return nullptr;
    } else {
      SampleBuffer samples;
      if (!readSamples(tif_.get(), page, samples)) {
        foundation::log("tiff: {}: cannot read page {}", path_, index);
        return nullptr;
      }
      if (page.photometric == PHOTOMETRIC_PALETTE) {
        assemblePalette(tif_.get(), page, samples.u16, pixels.data(), rowBytes);
      } else if (!samples.f32.empty()) {
        assemblePixels<float>(page, samples.f32.data(), 1.0f, pixels.data(), rowBytes);
      } else if (!samples.u8.empty()) {
        assemblePixels<std::uint8_t>(page, samples.u8.data(), 255, pixels.data(), rowBytes);
      } else {
        assemblePixels<std::uint16_t>(page, samples.u16.data(), 65535, pixels.data(), rowBytes);
      }
    }
    return raster::Image::make(page.width, page.height, format, colorSpaceFor(page.color, &page.icc),
                               std::move(pixels), rowBytes);
  }

 private:
  bool readRgba(const PageInfo& page, std::vector<std::uint8_t>& pixels) {
    char message[1024] = {};
    TIFFRGBAImage image;
    if (!TIFFRGBAImageBegin(&image, tif_.get(), 0, message)) {
      foundation::log("tiff: {}: {}", path_, message);
      return false;
    }
    // Ask for the stored orientation so that rows come out as stored; the
    // image source applies the orientation itself.
    image.req_orientation = page.orientation;
    std::vector<std::uint32_t> raster(std::size_t(page.width) * page.height);
    const int ok = TIFFRGBAImageGet(&image, raster.data(), page.width, page.height);
    TIFFRGBAImageEnd(&image);
    if (!ok) return false;
    // ABGR words: R in the low byte, which is memory order R, G, B, A here.
    constexpr std::size_t components = 4;
    for (std::size_t i = 0; i < raster.size(); ++i) {
      const std::uint32_t v = raster[i];
      std::uint8_t* o = pixels.data() + i * components;
      o[0] = std::uint8_t(TIFFGetR(v));
      o[1] = std::uint8_t(TIFFGetG(v));
      o[2] = std::uint8_t(TIFFGetB(v));
      o[3] = page.alpha() ? std::uint8_t(TIFFGetA(v)) : 255;
    }
    return true;
  }

  std::string path_;
  std::unique_ptr<Diagnostics> diagnostics_;
  TiffHandle tif_;
  std::vector<PageInfo> pages_;
  std::int64_t pixelLimit_;
};

bool sniffTiff(const std::uint8_t* bytes, std::size_t size) {
  if (size < 4) return false;
  const bool little =
      bytes[0] == 'I' && bytes[1] == 'I' && (bytes[2] == 42 || bytes[2] == 43) && bytes[3] == 0;
  const bool big = bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && (bytes[3] == 42 || bytes[3] == 43);
  return little || big;
}

std::unique_ptr<Decoder> openTiffFile(const std::string& path, std::int64_t pixelLimit) {
  auto diagnostics = std::make_unique<Diagnostics>();
  diagnostics->path = path;
  TiffHandle tif(openTiff(path, "rm", diagnostics.get()));
  if (!tif) return nullptr;
  std::vector<PageInfo> pages;
  do {
    PageInfo page;
    if (!readPageInfo(tif.get(), page)) {
      if (pages.empty()) return nullptr;
      break;
    }
    if (!withinImageLimits(page.width, page.height, kLargestPixelBytes, pixelLimit)) {
      foundation::log("tiff: {}: page of {} x {} pixels exceeds the limit", path, page.width, page.height);
      if (pages.empty()) return nullptr;
      break;
    }
    pages.push_back(std::move(page));
  } while (pages.size() < kMaxPages && TIFFReadDirectory(tif.get()));
  return std::make_unique<TiffDecoder>(path, std::move(tif), std::move(diagnostics), std::move(pages),
                                       pixelLimit);
}

// --- Writing ---------------------------------------------------------------

int compressionOf(const foundation::Value& properties) {
  const foundation::Value* value = properties.get("Compression");
  if (value == nullptr) value = properties.get({"{TIFF}", "Compression"});
  switch (value != nullptr ? value->intOr(1) : 1) {
    case 5:
      return COMPRESSION_LZW;
    case 32773:
      return COMPRESSION_PACKBITS;
    default:
      return COMPRESSION_NONE;
  }
}

// The page's own descriptive text tags from its {TIFF} dictionary. The
// metadata writer later overlays the first page only, so later pages keep
// theirs only through these.
void writeTextTags(TIFF* tif, const foundation::Value& properties) {
  const std::pair<ttag_t, const char*> textTags[] = {
      {TIFFTAG_MAKE, "Make"},         {TIFFTAG_MODEL, "Model"},
      {TIFFTAG_SOFTWARE, "Software"}, {TIFFTAG_DATETIME, "DateTime"},
      {TIFFTAG_ARTIST, "Artist"},     {TIFFTAG_IMAGEDESCRIPTION, "ImageDescription"}};
  for (const auto& [tag, key] : textTags) {
    const foundation::Value* value = properties.get({"{TIFF}", key});
    const std::string* text = value != nullptr ? value->asString() : nullptr;
    if (text == nullptr || text->empty() || text->find('\0') != std::string::npos) continue;
    TIFFSetField(tif, tag, text->c_str());
  }
}

bool writePage(TIFF* tif, const Frame& frame, std::size_t pageIndex, std::size_t pageCount) {
  const raster::Image& image = *frame.image;
  const raster::PixelFormat& source = image.format();
  const int color = exportedColorComponents(image);
  const bool alpha = source.hasAlpha() && source.alpha != raster::AlphaInfo::Only;
  const bool associated = alpha && source.isPremultiplied();
  const int bits = source.bitsPerComponent == 32 ? 32 : (source.bitsPerComponent == 16 ? 16 : 8);
  const int samples = color + (alpha ? 1 : 0);

  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(image.width()));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(image.height()));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, std::uint16_t(bits));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, std::uint16_t(samples));
  TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, bits == 32 ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
               color == 1 ? PHOTOMETRIC_MINISBLACK : (color == 4 ? PHOTOMETRIC_SEPARATED : PHOTOMETRIC_RGB));
  if (color == 4) TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
  if (alpha) {
    const std::uint16_t type = associated ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &type);
  }
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compressionOf(frame.properties));
  TIFFSetField(tif, TIFFTAG_ORIENTATION, std::uint16_t(frameOrientation(frame.properties)));
  const Resolution resolution = frameResolution(frame.properties).value_or(Resolution{});
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(resolution.x));
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(resolution.y));
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  const std::vector<std::uint8_t> icc = iccOf(image);
  if (!icc.empty()) TIFFSetField(tif, TIFFTAG_ICCPROFILE, std::uint32_t(icc.size()), icc.data());
  writeTextTags(tif, frame.properties);
  if (pageCount > 1) {
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, std::uint16_t(pageIndex), std::uint16_t(pageCount));
  }
  const std::uint32_t rowsPerStrip = TIFFDefaultStripSize(tif, 0);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);

  const std::size_t rowBytes = std::size_t(image.width()) * std::size_t(samples * bits / 8);
  std::vector<std::uint8_t> strip(rowBytes * rowsPerStrip);
  const RowRequest request{bits, alpha, associated};
  for (std::int64_t first = 0, index = 0; first < image.height(); first += rowsPerStrip, ++index) {
    const std::int64_t rows = std::min<std::int64_t>(rowsPerStrip, image.height() - first);
    foundation::parallelForRange(
        0, rows,
        [&](std::int64_t begin, std::int64_t end) {
          for (std::int64_t r = begin; r < end; ++r) {
            exportRow(image, first + r, request, strip.data() + std::size_t(r) * rowBytes);
          }
        },
        4);
    if (TIFFWriteEncodedStrip(tif, tstrip_t(index), strip.data(), tmsize_t(rowBytes * std::size_t(rows))) < 0)
      return false;
  }
  return TIFFWriteDirectory(tif) != 0;
}

bool writeTiff(const std::string& path, const std::vector<Frame>& frames, const foundation::Value& /*file*/) {
  if (frames.empty()) return false;
  // Classic TIFF holds up to 4 GB; larger output needs BigTIFF.
  std::uint64_t estimate = 0;
  for (const Frame& frame : frames) {
    if (!frame.image) return false;
    if (frame.image->width() > 0xFFFFFFFFll || frame.image->height() > 0xFFFFFFFFll) return false;
    estimate += std::uint64_t(frame.image->width()) * std::uint64_t(frame.image->height()) * 20;
  }
  Diagnostics diagnostics{path};
  TiffHandle tif(openTiff(path, estimate > (std::uint64_t(3) << 30) ? "w8" : "w", &diagnostics));
  if (!tif) return false;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (!writePage(tif.get(), frames[i], i, frames.size())) {
      foundation::log("tiff: writing page {} of {} failed", i, path);
      return false;
    }
  }
  TIFF* raw = tif.release();
  const bool flushed = TIFFFlush(raw) != 0;
  TIFFClose(raw);
  if (!flushed) foundation::log("tiff: writing {} failed", path);
  return flushed;
}

}  // namespace

Codec tiffCodec() {
  Codec codec;
  codec.type = "public.tiff";
  codec.extensions = {"tiff", "tif"};
  codec.sniff = sniffTiff;
  codec.open = openTiffFile;
  codec.write = writeTiff;
  return codec;
}

}  // namespace imageio

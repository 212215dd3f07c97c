// PNG through libpng: 1- to 16-bit gray, gray+alpha, RGB, RGBA and
// palette (expanded to RGB(A)), ICC profiles, pHYs resolution, and text
// chunks (read into {PNG} by keyword; string values of {PNG} written back as
// uncompressed tEXt before the image data).

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/foundation/log.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/format_colors.h"
#include "platform/imageio/orientation.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/imageio/png_deflate.h"
#include "platform/imageio/png_text.h"
#include "platform/imageio/raster_codecs.h"

namespace imageio {

namespace {

constexpr double kMetersPerInch = 0.0254;

struct IoContext {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t position = 0;
  std::vector<std::uint8_t>* output = nullptr;
  char message[256] = {};
};

void onError(png_structp png, png_const_charp message) {
  auto* context = static_cast<IoContext*>(png_get_error_ptr(png));
  std::snprintf(context->message, sizeof context->message, "%s", message);
  png_longjmp(png, 1);
}

void onWarning(png_structp /*png*/, png_const_charp /*message*/) {}

void readBytes(png_structp png, png_bytep out, png_size_t count) {
  auto* context = static_cast<IoContext*>(png_get_io_ptr(png));
  if (count > context->size - context->position) png_error(png, "file is truncated");
  std::memcpy(out, context->data + context->position, count);
  context->position += count;
}

void writeBytes(png_structp png, png_bytep data, png_size_t count) {
  auto* context = static_cast<IoContext*>(png_get_io_ptr(png));
  context->output->insert(context->output->end(), data, data + count);
}

void flushNothing(png_structp /*png*/) {}

struct HeaderInfo {
  std::int64_t width = 0, height = 0;
  int bitDepth = 8;
  int colorType = 0;
  int interlace = 0;
  bool transparency = false;
  bool hasPhys = false;
  std::uint32_t xPixelsPerUnit = 0, yPixelsPerUnit = 0;
  int physUnit = 0;
  bool hasGamma = false;
  double gamma = 0;
  bool hasSrgb = false;
  int srgbIntent = 0;
  int orientation = 0;

  int colorComponents() const { return (colorType & PNG_COLOR_MASK_COLOR) ? 3 : 1; }
  bool alpha() const { return (colorType & PNG_COLOR_MASK_ALPHA) || transparency; }
  int decodedBits() const { return bitDepth == 16 ? 16 : 8; }
};

// Reads the chunks before the image data; icc and texts (when given)
// receive the embedded profile and the text chunks. Runs under setjmp: no
// locals with destructors here or in the callers' frames after their setjmp.
void readInfo(png_structp png, png_infop info, HeaderInfo& header, std::vector<std::uint8_t>* icc,
              PngTexts* texts) {
  png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  header.width = width;
  header.height = height;
  header.bitDepth = bitDepth;
  header.colorType = colorType;
  header.interlace = interlace;
  header.transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  png_uint_32 xRes = 0, yRes = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &xRes, &yRes, &unit)) {
    header.hasPhys = true;
    header.xPixelsPerUnit = xRes;
    header.yPixelsPerUnit = yRes;
    header.physUnit = unit;
  }
  double gamma = 0;
  if (png_get_gAMA(png, info, &gamma)) {
    header.hasGamma = true;
    header.gamma = gamma;
  }
  int intent = 0;
  if (png_get_sRGB(png, info, &intent)) {
    header.hasSrgb = true;
    header.srgbIntent = intent;
  }
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 profileSize = 0;
  if (icc != nullptr && png_get_iCCP(png, info, &name, &compression, &profile, &profileSize) &&
      profile != nullptr) {
    icc->assign(profile, profile + profileSize);
  }
#ifdef PNG_eXIf_SUPPORTED
  png_bytep exif = nullptr;
  png_uint_32 exifSize = 0;
  if (png_get_eXIf_1(png, info, &exifSize, &exif) && exif != nullptr) {
    header.orientation = exifOrientation(exif, exifSize);
  }
#endif
  png_textp text = nullptr;
  int textCount = 0;
  if (texts != nullptr && png_get_text(png, info, &text, &textCount) > 0 && text != nullptr) {
    for (int i = 0; i < textCount; ++i) {
      if (text[i].key == nullptr || text[i].text == nullptr) continue;
      const bool utf8 = text[i].compression >= PNG_ITXT_COMPRESSION_NONE;
      const std::size_t length = utf8 ? text[i].itxt_length : text[i].text_length;
      addPngText(*texts, text[i].key, std::string_view(text[i].text, length), utf8);
    }
  }
}

// Camera files often embed sRGB profiles that libpng knows to be slightly
// off. They are still the right profile for the pixels, so neither reading
// nor writing may fail on them.
void tolerateKnownProfiles(png_structp png) {
#ifdef PNG_SKIP_sRGB_CHECK_PROFILE
  png_set_option(png, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
#endif
  png_set_benign_errors(png, 1);
}

// Whether every chunk before the image data lies within the file. libpng
// allocates a text or metadata chunk's declared length before reading it,
// so a few bytes declaring gigabytes would cost that much memory.
bool chunksBeforeImageDataFit(const std::uint8_t* data, std::size_t size, std::string& error) {
  std::size_t offset = 8;
  while (offset + 8 <= size) {
    const std::uint64_t length = (std::uint64_t(data[offset]) << 24) | (std::uint64_t(data[offset + 1]) << 16) |
                                 (std::uint64_t(data[offset + 2]) << 8) | std::uint64_t(data[offset + 3]);
    if (std::memcmp(data + offset + 4, "IDAT", 4) == 0) return true;
    if (length + 12 > size - offset) {
      error = "file is truncated";
      return false;
    }
    offset += std::size_t(length) + 12;
  }
  return true;
}

bool readHeader(const std::uint8_t* data, std::size_t size, HeaderInfo& header,
                std::vector<std::uint8_t>& icc, PngTexts& texts, std::string& error) {
  if (!chunksBeforeImageDataFit(data, size, error)) return false;
  IoContext context;
  context.data = data;
  context.size = size;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, onError, onWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    error = context.message;
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &context, readBytes);
  tolerateKnownProfiles(png);
  readInfo(png, info, header, &icc, &texts);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool decodePixels(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& pixels,
                  std::vector<png_bytep>& rows, std::size_t rowBytes, std::string& error) {
  if (!chunksBeforeImageDataFit(data, size, error)) return false;
  IoContext context;
  context.data = data;
  context.size = size;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, onError, onWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    error = context.message;
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &context, readBytes);
  tolerateKnownProfiles(png);
  HeaderInfo header;
  readInfo(png, info, header, nullptr, nullptr);
  if (header.colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (header.colorComponents() == 1 && header.bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (header.transparency) png_set_tRNS_to_alpha(png);
  if (header.bitDepth == 16) png_set_swap(png);
  if (header.colorComponents() == 3 && !header.alpha()) png_set_filler(png, 0xFFFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != rowBytes) png_error(png, "unexpected row size");
  pixels.resize(rowBytes * std::size_t(header.height));
  rows.resize(std::size_t(header.height));
  for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = pixels.data() + y * rowBytes;
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

double dpiFromPixelsPerMeter(std::uint32_t ppm) {
  const double dpi = double(ppm) * kMetersPerInch;
  const double whole = std::round(dpi);
  return std::abs(dpi - whole) < 0.05 ? whole : dpi;
}

class PngDecoder final : public Decoder {
 public:
  PngDecoder(std::string path, std::vector<std::uint8_t> bytes, HeaderInfo header,
             std::vector<std::uint8_t> icc, PngTexts texts, std::int64_t pixelLimit)
      : path_(std::move(path)),
        bytes_(std::move(bytes)),
        header_(header),
        icc_(std::move(icc)),
        texts_(std::move(texts)),
        pixelLimit_(pixelLimit) {}

  std::size_t count() const override { return 1; }

  foundation::Value properties(std::size_t /*index*/) override {
    const int depth = header_.colorType == PNG_COLOR_TYPE_PALETTE ? 8 : header_.bitDepth;
    foundation::Dictionary d =
        basicProperties(header_.width, header_.height, depth, header_.colorComponents(), header_.alpha(),
                        icc_.empty() ? nullptr : &icc_);
    foundation::Dictionary png;
    png.set("InterlaceType", header_.interlace);
    if (header_.hasPhys && header_.physUnit == PNG_RESOLUTION_METER && header_.xPixelsPerUnit > 0 &&
        header_.yPixelsPerUnit > 0) {
      setDpi(d, dpiFromPixelsPerMeter(header_.xPixelsPerUnit), dpiFromPixelsPerMeter(header_.yPixelsPerUnit));
      png.set("XPixelsPerMeter", std::int64_t(header_.xPixelsPerUnit));
      png.set("YPixelsPerMeter", std::int64_t(header_.yPixelsPerUnit));
    }
    if (header_.hasGamma) png.set("Gamma", header_.gamma);
    if (header_.hasSrgb) png.set("sRGBIntent", header_.srgbIntent);
    if (header_.orientation != 0) d.set("Orientation", header_.orientation);
    for (const auto& [keyword, text] : texts_) {
      if (!png.contains(keyword)) png.set(keyword, text);
    }
    d.set("{PNG}", std::move(png));
    return foundation::Value(std::move(d));
  }

  raster::ImageRef decode(std::size_t index, const DecodeOptions& /*options*/) override {
    if (index != 0) return nullptr;
    const int color = header_.colorComponents();
    const raster::PixelFormat format = decodedFormat(header_.decodedBits(), color, header_.alpha());
    const std::size_t rowBytes = checkedBytesPerRow(header_.width, header_.height, format, pixelLimit_);
    if (rowBytes == 0) {
      foundation::log("png: {}: image too large", path_);
      return nullptr;
    }
    std::vector<std::uint8_t> pixels;
    std::vector<png_bytep> rows;
    std::string error;
    if (!decodePixels(bytes_.data(), bytes_.size(), pixels, rows, rowBytes, error)) {
      foundation::log("png: {}: {}", path_, error);
      return nullptr;
    }
    return raster::Image::make(header_.width, header_.height, format, colorSpaceFor(color, &icc_),
                               std::move(pixels), rowBytes);
  }

 private:
  std::string path_;
  std::vector<std::uint8_t> bytes_;
  HeaderInfo header_;
  std::vector<std::uint8_t> icc_;
  PngTexts texts_;
  std::int64_t pixelLimit_;
};

bool sniffPng(const std::uint8_t* bytes, std::size_t size) {
  return size >= 8 && png_sig_cmp(bytes, 0, 8) == 0;
}

std::unique_ptr<Decoder> openPng(const std::string& path, std::int64_t pixelLimit) {
  auto bytes = readFileBytes(path);
  if (!bytes) return nullptr;
  if (!sniffPng(bytes->data(), bytes->size())) {
    foundation::log("png: {} is not a PNG file", path);
    return nullptr;
  }
  HeaderInfo header;
  std::vector<std::uint8_t> icc;
  PngTexts texts;
  std::string error;
  if (!readHeader(bytes->data(), bytes->size(), header, icc, texts, error)) {
    foundation::log("png: {}: {}", path, error);
    return nullptr;
  }
  if (!withinImageLimits(
          header.width, header.height,
          decodedFormat(header.decodedBits(), header.colorComponents(), header.alpha()).bytesPerPixel(),
          pixelLimit)) {
    foundation::log("png: {}: {} x {} pixels exceed the limit", path, header.width, header.height);
    return nullptr;
  }
  return std::make_unique<PngDecoder>(path, std::move(*bytes), header, std::move(icc), std::move(texts),
                                      pixelLimit);
}

struct EncodeSettings {
  int bits = 8;
  int color = 3;
  bool alpha = false;
  std::optional<Resolution> resolution;
  // Written as tEXt chunks (Latin-1) or, for text beyond Latin-1,
  // uncompressed iTXt, in order, before the image data.
  std::vector<PngTextChunk> texts;
};

// libpng's text records for the settings' texts; they point into settings.
std::vector<png_text> textRecords(const EncodeSettings& settings) {
  std::vector<png_text> chunks(settings.texts.size());
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    const PngTextChunk& text = settings.texts[i];
    chunks[i].compression = text.latin1 ? PNG_TEXT_COMPRESSION_NONE : PNG_ITXT_COMPRESSION_NONE;
    chunks[i].key = const_cast<png_charp>(text.keyword.c_str());
    chunks[i].text = const_cast<png_charp>(text.bytes.c_str());
    if (text.latin1) {
      chunks[i].text_length = text.bytes.size();
    } else {
      chunks[i].itxt_length = text.bytes.size();
    }
  }
  return chunks;
}

// Writes the header chunks through libpng, then the image data compressed
// in parallel and the end chunk.
bool encodePixels(const std::vector<std::uint8_t>& idat, std::int64_t width, std::int64_t height,
                  const EncodeSettings& settings, const std::vector<std::uint8_t>& icc,
                  std::vector<png_text>& texts, std::vector<std::uint8_t>& output, std::string& error) {
  IoContext context;
  context.output = &output;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &context, onError, onWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    error = context.message;
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &context, writeBytes, flushNothing);
  tolerateKnownProfiles(png);
  const int colorType = settings.color == 1
                            ? (settings.alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                            : (settings.alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), settings.bits, colorType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!icc.empty()) {
    png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, icc.data(), png_uint_32(icc.size()));
  }
  if (settings.resolution) {
    png_set_pHYs(png, info, png_uint_32(std::lround(settings.resolution->x / kMetersPerInch)),
                 png_uint_32(std::lround(settings.resolution->y / kMetersPerInch)), PNG_RESOLUTION_METER);
  }
  if (!texts.empty()) png_set_text(png, info, texts.data(), int(texts.size()));
  png_write_info(png, info);
  constexpr std::size_t kChunk = std::size_t(1) << 22;
  for (std::size_t at = 0; at < idat.size(); at += kChunk) {
    png_write_chunk(png, reinterpret_cast<png_const_bytep>("IDAT"), idat.data() + at,
                    std::min(kChunk, idat.size() - at));
  }
  png_write_chunk(png, reinterpret_cast<png_const_bytep>("IEND"), nullptr, 0);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool writePng(const std::string& path, const std::vector<Frame>& frames, const foundation::Value& /*file*/) {
  if (frames.empty() || !frames.front().image) return false;
  const raster::ImageRef held = imageForFormat(frames.front().image, FormatColors::ProfiledGrayOrRGB);
  if (!held) return false;
  const raster::Image& image = *held;
  EncodeSettings settings;
  settings.color = exportedColorComponents(image);
  if (image.width() > 0x7fffffff || image.height() > 0x7fffffff) return false;
  settings.bits = image.format().bitsPerComponent > 8 ? 16 : 8;
  settings.alpha = image.format().hasAlpha() && image.format().alpha != raster::AlphaInfo::Only;
  settings.resolution = frameResolution(frames.front().properties);
  if (const foundation::Value* png = frames.front().properties.get("{PNG}"))
    settings.texts = pngTextsToWrite(*png);
  const int channels = settings.color + (settings.alpha ? 1 : 0);
  const int bytesPerPixel = channels * settings.bits / 8;
  const std::size_t rowBytes = std::size_t(image.width()) * std::size_t(bytesPerPixel);
  const bool wide = settings.bits == 16;
  auto idat =
      compressPngRows(image.height(), rowBytes, bytesPerPixel, [&](std::int64_t y, std::uint8_t* out) {
        exportRow(image, y, {settings.bits, settings.alpha}, out);
        // PNG stores 16-bit samples big-endian.
        if (wide) {
          for (std::size_t i = 0; i < rowBytes; i += 2) std::swap(out[i], out[i + 1]);
        }
      });
  if (!idat) {
    foundation::log("png: compressing {} failed", path);
    return false;
  }
  const std::vector<std::uint8_t> icc = iccOf(image);
  std::vector<std::uint8_t> output;
  std::string error;
  std::vector<png_text> texts = textRecords(settings);
  if (!encodePixels(*idat, image.width(), image.height(), settings, icc, texts, output, error)) {
    foundation::log("png: encoding {} failed: {}", path, error);
    return false;
  }
  return writeFileBytes(path, output.data(), output.size());
}

}  // namespace

Codec pngCodec() {
  Codec codec;
  codec.type = "public.png";
  codec.extensions = {"png"};
  codec.sniff = sniffPng;
  codec.open = openPng;
  codec.write = writePng;
  return codec;
}

}  // namespace imageio

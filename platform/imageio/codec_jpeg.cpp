// JPEG through libjpeg-turbo: gray, RGB and CMYK (Adobe-inverted CMYK read
// correctly), embedded ICC profiles, JFIF density (in Exif too where
// there is no JFIF header), DCT-scaled reduced decodes, and the
// independent scans of large progressive files decoded at once.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/format_colors.h"
#include "platform/imageio/jpeg_error_manager.h"
#include "platform/imageio/jpeg_resolution.h"
#include "platform/imageio/jpeg_split_decode.h"
#include "platform/imageio/metadata.h"
#include "platform/imageio/orientation.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/imageio/raster_codecs.h"

namespace imageio {

namespace {

// Feeds libjpeg from a file in 64 KiB reads: opening a file reads only
// its markers, and a decode streams the file instead of holding all of it.
// Owned by the caller of the function that sets the jump point, so a fatal
// error never skips its destructor. The end of the file (also a file cut
// short meanwhile) reads as an end-of-image marker with the warning libjpeg
// expects, which the decode reports as premature end of data.
class FileInput {
 public:
  explicit FileInput(const std::string& path) : fd_(foundation::openRegularFile(path)) {
    manager_.input = this;
    jpeg_source_mgr& source = manager_.source;
    source.next_input_byte = nullptr;
    source.bytes_in_buffer = 0;
    source.init_source = [](j_decompress_ptr) {};
    source.fill_input_buffer = [](j_decompress_ptr cinfo) -> boolean {
      return of(cinfo).fill(cinfo);
    };
    source.skip_input_data = [](j_decompress_ptr cinfo, long count) { of(cinfo).skip(cinfo, count); };
    source.resync_to_restart = jpeg_resync_to_restart;
    source.term_source = [](j_decompress_ptr) {};
  }
  ~FileInput() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  // The first bytes of the file (fewer when it is shorter).
  std::size_t peek(std::uint8_t* out, std::size_t count) {
    const ssize_t got = ::pread(fd_, out, count, 0);
    return got > 0 ? std::size_t(got) : 0;
  }
  // The file's size in bytes (0 when unknown).
  std::int64_t size() const {
    struct stat status {};
    return ::fstat(fd_, &status) == 0 ? std::int64_t(status.st_size) : 0;
  }
  // The whole file as it is now; nothing when it is larger than limit or
  // cannot be read to its end.
  std::optional<std::vector<std::uint8_t>> readAll(std::int64_t limit) {
    const std::int64_t bytes = size();
    if (bytes <= 0 || bytes > limit) return std::nullopt;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(bytes));
    std::size_t got = 0;
    while (got < data.size()) {
      const ssize_t read = ::pread(fd_, data.data() + got, data.size() - got, off_t(got));
      if (read < 0 && errno == EINTR) continue;
      if (read <= 0) return std::nullopt;
      got += std::size_t(read);
    }
    return data;
  }
  // Makes cinfo read the file from its start.
  void attach(jpeg_decompress_struct& cinfo) {
    ::lseek(fd_, 0, SEEK_SET);
    manager_.source.next_input_byte = nullptr;
    manager_.source.bytes_in_buffer = 0;
    cinfo.src = &manager_.source;
  }

 private:
  static constexpr std::size_t kBufferBytes = 64 * 1024;
  struct Manager {
    jpeg_source_mgr source;  // first: libjpeg sees the manager as this
    FileInput* input = nullptr;
  };
  static FileInput& of(j_decompress_ptr cinfo) { return *reinterpret_cast<Manager*>(cinfo->src)->input; }

  boolean fill(j_decompress_ptr cinfo) {
    ssize_t got = -1;
    do {
      got = ::read(fd_, buffer_.get(), kBufferBytes);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
      WARNMS(cinfo, JWRN_JPEG_EOF);
      buffer_[0] = 0xFF;
      buffer_[1] = JPEG_EOI;
      got = 2;
    }
    manager_.source.next_input_byte = buffer_.get();
    manager_.source.bytes_in_buffer = std::size_t(got);
    return TRUE;
  }

  void skip(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr& source = manager_.source;
    if (std::size_t(count) <= source.bytes_in_buffer) {
      source.next_input_byte += count;
      source.bytes_in_buffer -= std::size_t(count);
      return;
    }
    // Past the buffer: seek, and read on from there (past the end, the
    // next read finds the end).
    const off_t beyond = off_t(std::size_t(count) - source.bytes_in_buffer);
    source.bytes_in_buffer = 0;
    if (::lseek(fd_, beyond, SEEK_CUR) < 0) fill(cinfo);
  }

  int fd_ = -1;
  Manager manager_;
  std::unique_ptr<JOCTET[]> buffer_ = std::make_unique_for_overwrite<JOCTET[]>(kBufferBytes);
};

struct HeaderInfo {
  std::int64_t width = 0, height = 0;
  int components = 0;  // 1 gray, 3 RGB, 4 CMYK as decoded
  bool adobeInverted = false;
  bool progressive = false;
  int densityUnit = 0, xDensity = 0, yDensity = 0;
  int jfifMajor = 0, jfifMinor = 0;
  bool hasJfif = false;
  int orientation = 0;
  std::optional<ExifResolution> exifDensity;
  // A progressive decode keeps every coefficient of every component: their
  // bytes, from the component sizes (0 for a sequential file).
  std::int64_t coefficientBytes = 0;
  std::int64_t fileBytes = 0;
};

// Largest file whose scans are decoded at once (the file is then held in
// memory while it decodes).
constexpr std::int64_t kMostSplitFileBytes = std::int64_t(256) << 20;

// Whether a decode of this file reads its independent scans at once.
bool triesSplitDecode(const HeaderInfo& info) {
  return info.progressive && info.width * info.height >= jpegSplitOptions().minimumPixels &&
         info.fileBytes <= kMostSplitFileBytes;
}

// Reads the markers and frame header. icc receives the embedded profile.
bool readHeader(FileInput& input, HeaderInfo& info, std::vector<std::uint8_t>& icc, std::string& error) {
  jpeg_decompress_struct cinfo;
  JpegErrorManager manager;
  cinfo.err = &manager.pub;
  installJpegErrorManager(manager);
  if (setjmp(manager.jump)) {
    error = manager.message;
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  input.attach(cinfo);
  jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
  jpeg_read_header(&cinfo, TRUE);
  info.width = cinfo.image_width;
  info.height = cinfo.image_height;
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
      info.components = 1;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      info.components = 4;
      break;
    default:
      info.components = 3;
      break;
  }
  info.adobeInverted = info.components == 4 && cinfo.saw_Adobe_marker;
  info.progressive = cinfo.progressive_mode;
  if (info.progressive) {
    for (int c = 0; c < cinfo.num_components; ++c) {
      const jpeg_component_info& component = cinfo.comp_info[c];
      const auto roundUp = [](std::int64_t value, std::int64_t step) {
        return step > 0 ? (value + step - 1) / step * step : value;
      };
      info.coefficientBytes += roundUp(component.width_in_blocks, component.h_samp_factor) *
                               roundUp(component.height_in_blocks, component.v_samp_factor) *
                               std::int64_t(sizeof(JBLOCK));
    }
  }
  info.fileBytes = input.size();
  info.hasJfif = cinfo.saw_JFIF_marker;
  info.densityUnit = cinfo.density_unit;
  info.xDensity = cinfo.X_density;
  info.yDensity = cinfo.Y_density;
  info.jfifMajor = cinfo.JFIF_major_version;
  info.jfifMinor = cinfo.JFIF_minor_version;
  for (jpeg_saved_marker_ptr marker = cinfo.marker_list; marker != nullptr; marker = marker->next) {
    if (marker->marker == JPEG_APP0 + 1 && marker->data_length > 6 &&
        std::memcmp(marker->data, "Exif\0\0", 6) == 0) {
      info.orientation = exifOrientation(marker->data, marker->data_length);
      info.exifDensity = exifResolution(marker->data, marker->data_length);
      break;
    }
  }
  JOCTET* profile = nullptr;
  unsigned int profileSize = 0;
  if (jpeg_read_icc_profile(&cinfo, &profile, &profileSize) && profile != nullptr) {
    icc.assign(profile, profile + profileSize);
  }
  std::free(profile);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// The smallest n/8 scale whose longer side still reaches maxSide.
int scaleNumeratorFor(std::int64_t longSide, std::int64_t maxSide) {
  if (maxSide <= 0) return 8;
  for (int n = 1; n < 8; ++n) {
    if ((longSide * n + 7) / 8 >= maxSide) return n;
  }
  return 8;
}

struct DecodeResult {
  std::int64_t width = 0, height = 0;
};

// The decoded rows: every byte is written by the decoder before it is read,
// so the buffer is left uninitialised (no pass over the whole image first).
using PixelBuffer = std::shared_ptr<std::uint8_t[]>;

// Decodes at scaleNumerator/8; with an orientation of 2..8 every band of
// rows goes straight to its upright place, so pixels hold the upright image
// (result and rowBytes describe it); band is the caller's, since a fatal
// error jumps out of this function past any local's destructor.
bool decodePixels(const std::function<void(jpeg_decompress_struct&)>& attach, JpegSplitDecode* split,
                  const HeaderInfo& info, int scaleNumerator,
                  int orientation, std::int64_t pixelLimit, PixelBuffer& pixels,
                  std::vector<std::uint8_t>& band, std::size_t& rowBytes, DecodeResult& result,
                  std::string& error) {
  jpeg_decompress_struct cinfo;
  JpegErrorManager manager;
  cinfo.err = &manager.pub;
  installJpegErrorManager(manager);
  if (setjmp(manager.jump)) {
    error = manager.message;
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  attach(cinfo);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space =
      info.components == 1 ? JCS_GRAYSCALE : (info.components == 4 ? JCS_CMYK : JCS_EXT_RGBX);
  cinfo.scale_num = static_cast<unsigned int>(scaleNumerator);
  cinfo.scale_denom = 8;
  jpeg_calc_output_dimensions(&cinfo);
  const int outComponents = info.components == 3 ? 4 : info.components;
  if (cinfo.output_components != outComponents) {
    error = "unexpected component count";
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  rowBytes = checkedBytesPerRow(cinfo.output_width, cinfo.output_height,
                                decodedFormat(8, info.components, false), pixelLimit);
  if (rowBytes == 0) {
    error = "image too large";
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  const bool turns = orientation >= 2 && orientation <= 8;
  const std::int64_t width = cinfo.output_width, height = cinfo.output_height;
  const std::size_t pixelBytes = rowBytes / std::size_t(width);
  const std::size_t uprightRowBytes = orientation >= 5 ? std::size_t(height) * pixelBytes : rowBytes;
  pixels = PixelBuffer(new std::uint8_t[rowBytes * std::size_t(height)]);
  constexpr JDIMENSION kBandRows = 16;
  // Turned decodes read each band into band and place it.
  band.resize(turns ? rowBytes * kBandRows : 0);
  if (split) {
    split->prepare(cinfo);
    jpeg_start_decompress(&cinfo);
    if (!split->absorb(cinfo)) {
      error = "a group of scans could not be decoded";
      jpeg_destroy_decompress(&cinfo);
      return false;
    }
    jpeg_start_output(&cinfo, cinfo.input_scan_number);
  } else {
    jpeg_start_decompress(&cinfo);
  }
  JSAMPROW rows[kBandRows];
  while (cinfo.output_scanline < cinfo.output_height) {
    const JDIMENSION first = cinfo.output_scanline;
    const JDIMENSION batch = std::min<JDIMENSION>(kBandRows, cinfo.output_height - first);
    for (JDIMENSION i = 0; i < batch; ++i)
      rows[i] =
          turns ? band.data() + std::size_t(i) * rowBytes : pixels.get() + std::size_t(first + i) * rowBytes;
    const JDIMENSION read = jpeg_read_scanlines(&cinfo, rows, batch);
    if (read == 0) break;
    if (turns)
      placeStoredRows(orientation, band.data(), rowBytes, first, read, width, height, pixelBytes,
                      pixels.get(), uprightRowBytes);
    if (manager.truncated) break;
  }
  if (manager.truncated || cinfo.output_scanline < cinfo.output_height) {
    error = "premature end of data";
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  result.width = orientation >= 5 ? height : width;
  result.height = orientation >= 5 ? width : height;
  rowBytes = uprightRowBytes;
  if (split) jpeg_finish_output(&cinfo);
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

class JpegDecoder final : public Decoder {
 public:
  JpegDecoder(std::string path, HeaderInfo info, std::vector<std::uint8_t> icc, std::int64_t pixelLimit)
      : path_(std::move(path)),
        info_(info),
        icc_(std::move(icc)),
        pixelLimit_(pixelLimit) {}

  std::size_t count() const override { return 1; }

  foundation::Value properties(std::size_t /*index*/) override {
    foundation::Dictionary d = basicProperties(info_.width, info_.height, 8, info_.components, false,
                                               icc_.empty() ? nullptr : &icc_);
    if ((info_.densityUnit == 1 || info_.densityUnit == 2) && info_.xDensity > 0 && info_.yDensity > 0) {
      const double factor = info_.densityUnit == 2 ? 2.54 : 1.0;
      setDpi(d, info_.xDensity * factor, info_.yDensity * factor);
    } else if (info_.exifDensity) {
      // No JFIF density (CMYK files have no JFIF header): Exif's.
      setDpi(d, info_.exifDensity->x, info_.exifDensity->y);
    }
    if (info_.orientation != 0) d.set("Orientation", info_.orientation);
    foundation::Dictionary jfif;
    if (info_.hasJfif) {
      jfif.set("JFIFVersion", foundation::Array{info_.jfifMajor, info_.jfifMinor});
      jfif.set("DensityUnit", info_.densityUnit);
      jfif.set("XDensity", info_.xDensity);
      jfif.set("YDensity", info_.yDensity);
    }
    jfif.set("IsProgressive", info_.progressive);
    d.set("{JFIF}", std::move(jfif));
    return foundation::Value(std::move(d));
  }

  std::int64_t decodeWorkingBytes(std::size_t index) override {
    if (index != 0) return 0;
    return info_.coefficientBytes + (triesSplitDecode(info_) ? info_.fileBytes : 0);
  }

  raster::ImageRef decode(std::size_t index, const DecodeOptions& options) override {
    return decodeTurned(index, options, 1);
  }

  std::optional<raster::ImageRef> decodeUpright(std::size_t index, const DecodeOptions& options,
                                                int orientation) override {
    // A decode that the source shrinks further is turned after the shrink.
    const std::int64_t longSide = std::max(info_.width, info_.height);
    const int numerator = scaleNumeratorFor(longSide, options.maxPixelSize);
    if (options.maxPixelSize > 0 && (longSide * numerator + 7) / 8 > options.maxPixelSize)
      return std::nullopt;
    return decodeTurned(index, options, orientation);
  }

 private:
  raster::ImageRef decodeTurned(std::size_t index, const DecodeOptions& options, int orientation) {
    if (index != 0) return nullptr;
    const int numerator = scaleNumeratorFor(std::max(info_.width, info_.height), options.maxPixelSize);
    PixelBuffer pixels;
    std::vector<std::uint8_t> band;
    std::size_t rowBytes = 0;
    DecodeResult result;
    std::string error;
    // The file is read again only now, as it is now.
    FileInput input(path_);
    if (!input.isOpen()) {
      foundation::log("jpeg: cannot read {}", path_);
      return nullptr;
    }
    bool decoded = false;
    if (triesSplitDecode(info_)) {
      // A large progressive file: its independent scan groups decode at
      // once. Anything amiss there, and the file decodes as one stream,
      // which reports what is wrong.
      const std::optional<std::vector<std::uint8_t>> bytes = input.readAll(kMostSplitFileBytes);
      if (auto streams = bytes ? independentScanStreams(bytes->data(), bytes->size()) : std::nullopt) {
        JpegSplitDecode split(bytes->data(), std::move(*streams));
        decoded = decodePixels([&](jpeg_decompress_struct& cinfo) { split.attach(cinfo); }, &split, info_,
                               numerator, orientation, pixelLimit_, pixels, band, rowBytes, result, error);
        ++jpegSplitCounts().split;
        if (!decoded) {
          ++jpegSplitCounts().fellBack;
          foundation::log("jpeg: {}: {}; decoding its scans in turn", path_, error);
        }
      }
    }
    if (!decoded &&
        !decodePixels([&](jpeg_decompress_struct& cinfo) { input.attach(cinfo); }, nullptr, info_, numerator,
                      orientation, pixelLimit_, pixels, band, rowBytes, result, error)) {
      foundation::log("jpeg: {}: {}", path_, error);
      return nullptr;
    }
    const std::size_t byteCount = rowBytes * std::size_t(result.height);
    if (info_.adobeInverted) {
      std::uint8_t* bytes = pixels.get();
      for (std::size_t i = 0; i < byteCount; ++i) bytes[i] = std::uint8_t(255 - bytes[i]);
    }
    const std::uint8_t* first = pixels.get();
    return raster::Image::wrap(result.width, result.height, decodedFormat(8, info_.components, false),
                               colorSpaceFor(info_.components, &icc_), std::move(pixels), first, rowBytes);
  }

  std::string path_;
  HeaderInfo info_;
  std::vector<std::uint8_t> icc_;
  std::int64_t pixelLimit_;
};

bool sniffJpeg(const std::uint8_t* bytes, std::size_t size) {
  return size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

std::unique_ptr<Decoder> openJpeg(const std::string& path, std::int64_t pixelLimit) {
  FileInput input(path);
  if (!input.isOpen()) {
    foundation::log("imageio: cannot read {}", path);
    return nullptr;
  }
  std::uint8_t start[3] = {};
  if (!sniffJpeg(start, input.peek(start, sizeof start))) {
    foundation::log("jpeg: {} is not a JPEG file", path);
    return nullptr;
  }
  HeaderInfo info;
  std::vector<std::uint8_t> icc;
  std::string error;
  if (!readHeader(input, info, icc, error)) {
    foundation::log("jpeg: {}: {}", path, error);
    return nullptr;
  }
  if (!withinImageLimits(info.width, info.height, decodedFormat(8, info.components, false).bytesPerPixel(),
                         pixelLimit)) {
    foundation::log("jpeg: {}: {} x {} pixels exceed the limit", path, info.width, info.height);
    return nullptr;
  }
  return std::make_unique<JpegDecoder>(path, info, std::move(icc), pixelLimit);
}

struct EncodeSettings {
  int components = 3;
  int quality = 80;
  bool density = false;
  int xDensity = 72, yDensity = 72;
  // The resolution also in the Photoshop resources, where the IPTC record
  // goes.
  bool photoshopResolution = false;
};

// Whether the metadata writer will put an IPTC record into the file.
bool carriesIptc(const foundation::Value& props) {
  const foundation::Value* iptc = props.get("{IPTC}");
  const foundation::Dictionary* fields = iptc ? iptc->asDictionary() : nullptr;
  const foundation::Value* raw = props.get({kRawMetadataKey, "IPTC"});
  const foundation::Data* block = raw ? raw->asData() : nullptr;
  return (fields && !fields->empty()) || (block && !block->empty());
}

// Compresses image into a malloc'd buffer (owned by the caller afterwards).
bool encodePixels(const raster::Image& image, const EncodeSettings& settings,
                  const std::vector<std::uint8_t>& icc, std::vector<std::uint8_t>& rows,
                  unsigned char*& buffer, unsigned long& bufferSize, std::string& error) {
  jpeg_compress_struct cinfo;
  JpegErrorManager manager;
  cinfo.err = &manager.pub;
  installJpegErrorManager(manager);
  if (setjmp(manager.jump)) {
    error = manager.message;
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &bufferSize);
  cinfo.image_width = JDIMENSION(image.width());
  cinfo.image_height = JDIMENSION(image.height());
  cinfo.input_components = settings.components;
  cinfo.in_color_space =
      settings.components == 1 ? JCS_GRAYSCALE : (settings.components == 4 ? JCS_CMYK : JCS_EXT_RGB);
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, settings.quality, TRUE);
  cinfo.optimize_coding = TRUE;
  if (settings.components == 3 && settings.quality >= 90) {
    // Full-resolution chroma at high quality.
    cinfo.comp_info[0].h_samp_factor = 1;
    cinfo.comp_info[0].v_samp_factor = 1;
  }
  if (settings.density) {
    cinfo.density_unit = 1;
    cinfo.X_density = UINT16(settings.xDensity);
    cinfo.Y_density = UINT16(settings.yDensity);
  }
  jpeg_start_compress(&cinfo, TRUE);
  if (settings.density) {
    // Without a JFIF header (CMYK) the resolution goes into Exif, where
    // readers look next; the metadata writer overlays the frame's Exif.
    std::vector<std::uint8_t> payload;
    if (!cinfo.write_JFIF_header) {
      payload = exifResolutionPayload(settings.xDensity, settings.yDensity);
      jpeg_write_marker(&cinfo, JPEG_APP0 + 1, payload.data(), unsigned(payload.size()));
    }
    if (settings.photoshopResolution) {
      payload = photoshopResolutionPayload(settings.xDensity, settings.yDensity);
      jpeg_write_marker(&cinfo, JPEG_APP0 + 13, payload.data(), unsigned(payload.size()));
    }
  }
  if (!icc.empty()) jpeg_write_icc_profile(&cinfo, icc.data(), static_cast<unsigned int>(icc.size()));

  const std::size_t rowBytes = std::size_t(image.width()) * std::size_t(settings.components);
  constexpr std::int64_t kBatch = 64;
  rows.resize(rowBytes * kBatch);
  JSAMPROW pointers[kBatch];
  for (std::int64_t first = 0; first < image.height(); first += kBatch) {
    const std::int64_t count = std::min<std::int64_t>(kBatch, image.height() - first);
    foundation::parallelForRange(
        0, count,
        [&](std::int64_t begin, std::int64_t end) {
          for (std::int64_t i = begin; i < end; ++i) {
            std::uint8_t* out = rows.data() + std::size_t(i) * rowBytes;
            exportRow(image, first + i, {8, false}, out);
            // Adobe CMYK JPEGs store inverted ink values.
            if (settings.components == 4) {
              for (std::size_t k = 0; k < rowBytes; ++k) out[k] = std::uint8_t(255 - out[k]);
            }
          }
        },
        8);
    for (std::int64_t i = 0; i < count; ++i) pointers[i] = rows.data() + std::size_t(i) * rowBytes;
    jpeg_write_scanlines(&cinfo, pointers, JDIMENSION(count));
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

bool writeJpeg(const std::string& path, const std::vector<Frame>& frames, const foundation::Value& /*file*/) {
  if (frames.empty() || !frames.front().image) return false;
  // JPEG holds no alpha: what is transparent shows white, as when flattened.
  const raster::ImageRef flat = flattenedOnWhite(frames.front().image);
  if (!flat) return false;
  const raster::Image& image = *flat;
  if (image.width() > JPEG_MAX_DIMENSION || image.height() > JPEG_MAX_DIMENSION) {
    foundation::log("jpeg: {} x {} is too large for JPEG", image.width(), image.height());
    return false;
  }
  const foundation::Value& props = frames.front().properties;
  EncodeSettings settings;
  settings.components = exportedColorComponents(image);
  double quality = 0.8;
  if (const auto* q = props.get("LossyCompressionQuality"); q != nullptr && q->toDouble())
    quality = *q->toDouble();
  settings.quality = std::clamp(int(std::lround(std::clamp(quality, 0.0, 1.0) * 100.0)), 1, 100);
  if (auto resolution = frameResolution(props)) {
    settings.density = true;
    settings.xDensity = std::clamp(int(std::lround(resolution->x)), 1, 65535);
    settings.yDensity = std::clamp(int(std::lround(resolution->y)), 1, 65535);
    settings.photoshopResolution = carriesIptc(props);
  }
  const std::vector<std::uint8_t> icc = iccOf(image);
  std::vector<std::uint8_t> rows;
  unsigned char* buffer = nullptr;
  unsigned long bufferSize = 0;
  std::string error;
  const bool encoded = encodePixels(image, settings, icc, rows, buffer, bufferSize, error);
  bool ok = false;
  if (encoded) {
    ok = writeFileBytes(path, buffer, bufferSize);
  } else {
    foundation::log("jpeg: encoding {} failed: {}", path, error);
  }
  std::free(buffer);
  return ok;
}

}  // namespace

Codec jpegCodec() {
  Codec codec;
  codec.type = "public.jpeg";
  codec.extensions = {"jpg", "jpeg", "jpe", "jfif"};
  codec.sniff = sniffJpeg;
  codec.open = openJpeg;
  codec.write = writeJpeg;
  return codec;
}

}  // namespace imageio

// HEIF/HEIC through libheif: every top-level image reads (8-bit, or 16-bit
// for deeper files), the primary image's depth map becomes DepthData;
// writing encodes HEVC at 8 bits, or 10 bits for 16-bit images when the
// encoder takes it, with the ICC profile, Exif and the frame's depth map.

#include <libheif/heif.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/document_codecs.h"
#include "platform/imageio/format_colors.h"
#include "platform/imageio/heif_depth.h"
#include "platform/imageio/metadata.h"
#include "platform/imageio/pixel_convert.h"

namespace imageio {

namespace {

struct ContextDeleter {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct EncoderDeleter {
  void operator()(heif_encoder* e) const { heif_encoder_release(e); }
};
using ContextPtr = std::unique_ptr<heif_context, ContextDeleter>;
using HandlePtr = std::unique_ptr<heif_image_handle, HandleDeleter>;
using HeifImagePtr = std::unique_ptr<heif_image, ImageDeleter>;
using EncoderPtr = std::unique_ptr<heif_encoder, EncoderDeleter>;

bool ok(const heif_error& error, const char* what) {
  if (error.code == heif_error_Ok) return true;
  foundation::log("heif: {}: {}", what, error.message ? error.message : "error");
  return false;
}

std::vector<std::uint8_t> iccOfHandle(const heif_image_handle* handle) {
  std::vector<std::uint8_t> icc;
  const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
  if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return icc;
  const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle);
  if (size == 0 || size > (64u << 20)) return icc;
  icc.resize(size);
  if (!ok(heif_image_handle_get_raw_color_profile(handle, icc.data()), "colour profile")) icc.clear();
  return icc;
}

class HeifDecoder final : public Decoder {
 public:
  HeifDecoder(ContextPtr context, std::vector<heif_item_id> ids, std::int64_t pixelLimit)
      : context_(std::move(context)), ids_(std::move(ids)), pixelLimit_(pixelLimit) {}

  std::size_t count() const override { return ids_.size(); }

  foundation::Value properties(std::size_t index) override {
    HandlePtr handle = handleAt(index);
    if (!handle) return foundation::Value(foundation::Dictionary{});
    const int bits = heif_image_handle_get_luma_bits_per_pixel(handle.get());
    const std::vector<std::uint8_t> icc = iccOfHandle(handle.get());
    foundation::Dictionary d =
        basicProperties(heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get()),
                        bits > 8 ? bits : 8, 3, heif_image_handle_has_alpha_channel(handle.get()) != 0, &icc);
    // libheif applies the file's rotation and mirroring while decoding, so
    // the pixels come out upright whatever the Exif block says.
    d.set("Orientation", 1);
    return foundation::Value(std::move(d));
  }

  raster::ImageRef decode(std::size_t index, const DecodeOptions&) override {
    HandlePtr handle = handleAt(index);
    if (!handle) return nullptr;
    const std::int64_t width = heif_image_handle_get_width(handle.get());
    const std::int64_t height = heif_image_handle_get_height(handle.get());
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8;
    const raster::PixelFormat format = decodedFormat(deep ? 16 : 8, 3, alpha);
    const std::size_t bytesPerRow = checkedBytesPerRow(width, height, format, pixelLimit_);
    if (bytesPerRow == 0) {
      foundation::log("heif: {}x{} exceeds the pixel limit", width, height);
      return nullptr;
    }
    const heif_chroma chroma =
        deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
             : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image* decodedRaw = nullptr;
    if (!ok(heif_decode_image(handle.get(), &decodedRaw, heif_colorspace_RGB, chroma, nullptr), "decode"))
      return nullptr;
    HeifImagePtr decoded(decodedRaw);
    if (heif_image_get_width(decoded.get(), heif_channel_interleaved) != width ||
        heif_image_get_height(decoded.get(), heif_channel_interleaved) != height) {
      foundation::log("heif: decoded size differs from the header");
      return nullptr;
    }
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    if (plane == nullptr || stride <= 0) return nullptr;
    const int range =
        std::max(1, heif_image_get_bits_per_pixel_range(decoded.get(), heif_channel_interleaved));
    const int samples = alpha ? 4 : 3;

    std::vector<std::uint8_t> pixels(bytesPerRow * std::size_t(height), 0xff);
    const std::uint32_t maximum = (1u << std::min(range, 16)) - 1;
    foundation::parallelForRange(
        0, height,
        [&](std::int64_t begin, std::int64_t end) {
          for (std::int64_t y = begin; y < end; ++y) {
            const std::uint8_t* in = plane + std::size_t(y) * std::size_t(stride);
            if (!deep) {
              packRow(in, width, 1, 3, alpha, pixels.data() + std::size_t(y) * bytesPerRow);
              continue;
            }
            auto* out = reinterpret_cast<std::uint16_t*>(pixels.data() + std::size_t(y) * bytesPerRow);
            const int outSamples = format.componentsPerPixel();
            for (std::int64_t x = 0; x < width; ++x) {
              for (int c = 0; c < samples; ++c) {
                const std::size_t at = (std::size_t(x) * samples + std::size_t(c)) * 2;
                const std::uint32_t v =
                    std::min<std::uint32_t>(std::uint32_t(in[at] | in[at + 1] << 8), maximum);
                out[std::size_t(x) * outSamples + std::size_t(c)] =
                    std::uint16_t((v * 65535u + maximum / 2) / maximum);
              }
            }
          }
        },
        16);
    const std::vector<std::uint8_t> icc = iccOfHandle(handle.get());
    return raster::Image::make(width, height, format, colorSpaceFor(3, &icc), std::move(pixels), bytesPerRow);
  }

  std::optional<DepthData> depthData() override {
    heif_image_handle* primary = nullptr;
    if (heif_context_get_primary_image_handle(context_.get(), &primary).code != heif_error_Ok)
      return std::nullopt;
    HandlePtr handle(primary);
    return readHeifDepth(handle.get(), pixelLimit_);
  }

 private:
  HandlePtr handleAt(std::size_t index) const {
    if (index >= ids_.size()) return nullptr;
    heif_image_handle* handle = nullptr;
    if (!ok(heif_context_get_image_handle(context_.get(), ids_[index], &handle), "image")) return nullptr;
    return HandlePtr(handle);
  }

  ContextPtr context_;
  std::vector<heif_item_id> ids_;
  std::int64_t pixelLimit_;
};

bool sniffHeif(const std::uint8_t* bytes, std::size_t size) {
  if (size < 12 || std::memcmp(bytes + 4, "ftyp", 4) != 0) return false;
  static const char* const brands[] = {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1"};
  for (const char* brand : brands)
    if (std::memcmp(bytes + 8, brand, 4) == 0) return true;
  return false;
}

std::unique_ptr<Decoder> openHeif(const std::string& path, std::int64_t pixelLimit) {
  if (!foundation::isReadableRegularFile(path)) return nullptr;
  ContextPtr context(heif_context_alloc());
  if (!context) return nullptr;
  heif_context_set_maximum_image_size_limit(
      context.get(),
      int(std::clamp<std::int64_t>(std::int64_t(std::sqrt(double(pixelLimit))) * 4, 1, 1 << 20)));
  if (!ok(heif_context_read_from_file(context.get(), path.c_str(), nullptr), path.c_str())) return nullptr;
  const int count = heif_context_get_number_of_top_level_images(context.get());
  if (count <= 0) return nullptr;
  std::vector<heif_item_id> ids(static_cast<std::size_t>(count));
  ids.resize(std::size_t(heif_context_get_list_of_top_level_image_IDs(context.get(), ids.data(), count)));
  // The primary image first.
  heif_item_id primary = 0;
  if (heif_context_get_primary_image_ID(context.get(), &primary).code == heif_error_Ok) {
    auto it = std::find(ids.begin(), ids.end(), primary);
    if (it != ids.end()) std::rotate(ids.begin(), it, it + 1);
  }
  // Images beyond the limits are left out before anything is decoded.
  std::erase_if(ids, [&](heif_item_id id) {
    heif_image_handle* handle = nullptr;
    if (heif_context_get_image_handle(context.get(), id, &handle).code != heif_error_Ok) return true;
    const bool within =
        withinImageLimits(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle),
                          kLargestPixelBytes, pixelLimit);
    heif_image_handle_release(handle);
    if (!within) foundation::log("heif: {}: an image exceeds the limits", path);
    return !within;
  });
  if (ids.empty()) return nullptr;
  return std::make_unique<HeifDecoder>(std::move(context), std::move(ids), pixelLimit);
}

// The frame's pixels as an interleaved RGB(A) libheif image of 8 or 10 bits.
HeifImagePtr heifImageOf(const raster::Image& image, int bits) {
  const int color = exportedColorComponents(image);
  if (color != 1 && color != 3) {
    foundation::log("heif: cannot encode an image of {} colour components", color);
    return nullptr;
  }
  const bool alpha = image.format().hasAlpha();
  const int samples = alpha ? 4 : 3;
  const heif_chroma chroma =
      bits > 8 ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
               : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  heif_image* raw = nullptr;
  if (!ok(heif_image_create(int(image.width()), int(image.height()), heif_colorspace_RGB, chroma, &raw),
          "create"))
    return nullptr;
  HeifImagePtr out(raw);
  if (!ok(heif_image_add_plane(out.get(), heif_channel_interleaved, int(image.width()), int(image.height()),
                               bits),
          "plane"))
    return nullptr;
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(out.get(), heif_channel_interleaved, &stride);
  if (plane == nullptr) return nullptr;
  const int exportBits = bits > 8 ? 16 : 8;
  const int exported = color + (alpha ? 1 : 0);
  foundation::parallelForRange(
      0, image.height(),
      [&](std::int64_t begin, std::int64_t end) {
        std::vector<std::uint8_t> row(std::size_t(image.width()) * std::size_t(exported * exportBits / 8));
        for (std::int64_t y = begin; y < end; ++y) {
          exportRow(image, y, RowRequest{exportBits, alpha}, row.data());
          std::uint8_t* target = plane + std::size_t(y) * std::size_t(stride);
          for (std::int64_t x = 0; x < image.width(); ++x) {
            for (int c = 0; c < samples; ++c) {
              // Gray is spread over R, G and B.
              const int source = c < 3 ? (color == 1 ? 0 : c) : color;
              const std::size_t from = std::size_t(x) * std::size_t(exported) + std::size_t(source);
              const std::size_t to = std::size_t(x) * std::size_t(samples) + std::size_t(c);
              if (exportBits == 8) {
                target[to] = row[from];
              } else {
                std::uint16_t v;
                std::memcpy(&v, row.data() + from * 2, 2);
                const std::uint16_t ten = std::uint16_t((std::uint32_t(v) * 1023u + 32767u) / 65535u);
                target[to * 2] = std::uint8_t(ten & 0xff);
                target[to * 2 + 1] = std::uint8_t(ten >> 8);
              }
            }
          }
        }
      },
      16);
  const std::vector<std::uint8_t> icc = iccOf(image);
  if (!icc.empty() && color == 3) heif_image_set_raw_color_profile(out.get(), "prof", icc.data(), icc.size());
  return out;
}

// Encodes one frame into the context; the handle of the encoded image.
HandlePtr encodeFrame(heif_context* context, const Frame& frame) {
  const raster::Image& image = *frame.image;
  heif_encoder* rawEncoder = nullptr;
  if (!ok(heif_context_get_encoder_for_format(context, heif_compression_HEVC, &rawEncoder),
          "no HEVC encoder"))
    return nullptr;
  EncoderPtr encoder(rawEncoder);
  const foundation::Value* quality = frame.properties.get("LossyCompressionQuality");
  const double q = quality ? std::clamp(quality->doubleOr(0.85), 0.0, 1.0) : 0.85;
  heif_encoder_set_lossy_quality(encoder.get(), int(std::lround(q * 100)));

  heif_encoding_options* options = heif_encoding_options_alloc();
  options->save_alpha_channel = image.format().hasAlpha() ? 1 : 0;
  heif_image_handle* rawHandle = nullptr;
  bool encoded = false;
  // 16-bit images try 10 bits first; encoders built for 8 bits refuse it.
  for (int bits : image.format().bitsPerComponent > 8 ? std::vector<int>{10, 8} : std::vector<int>{8}) {
    HeifImagePtr picture = heifImageOf(image, bits);
    if (!picture) break;
    const heif_error error =
        heif_context_encode_image(context, picture.get(), encoder.get(), options, &rawHandle);
    if (error.code == heif_error_Ok) {
      encoded = true;
      break;
    }
    foundation::log("heif: {}-bit encoding failed: {}", bits, error.message ? error.message : "error");
  }
  heif_encoding_options_free(options);
  if (!encoded) return nullptr;
  HandlePtr handle(rawHandle);
  const foundation::Data exif = exifBlockForProperties(frame.properties);
  if (!exif.empty())
    ok(heif_context_add_exif_metadata(context, handle.get(), exif.data(), int(exif.size())), "Exif");
  return handle;
}

bool writeHeif(const std::string& path, const std::vector<Frame>& frames, const foundation::Value&) {
  if (frames.empty()) return false;
  ContextPtr context(heif_context_alloc());
  if (!context) return false;
  std::vector<HandlePtr> handles;
  for (const Frame& frame : frames) {
    if (!frame.image) return false;
    Frame held = frame;
    held.image = imageForFormat(frame.image, FormatColors::ProfiledRGB);
    if (!held.image) return false;
    HandlePtr handle = encodeFrame(context.get(), held);
    if (!handle) return false;
    handles.push_back(std::move(handle));
  }
  ok(heif_context_set_primary_image(context.get(), handles.front().get()), "primary");
  // The depth map is stored as a second image linked to the primary one.
  const std::optional<DepthData>& depth = frames.front().depth;
  const bool withDepth = depth && !depth->empty() && encodeDepthImage(context.get(), *depth);
  if (!ok(heif_context_write_to_file(context.get(), path.c_str()), path.c_str())) return false;
  if (withDepth && !linkDepthImage(path)) {
    foundation::log("heif: the depth map could not be attached to {}", path);
    return false;
  }
  return true;
}

}  // namespace

Codec heifCodec() {
  Codec codec;
  codec.type = "public.heic";
  codec.aliases = {"public.heif"};
  codec.extensions = {"heic", "heif", "hif"};
  codec.sniff = sniffHeif;
  codec.open = openHeif;
  codec.write = writeHeif;
  return codec;
}

}  // namespace imageio

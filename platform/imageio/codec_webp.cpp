// WebP through libwebp: still and animated images (frames composed by the
// animation decoder), ICC profile and EXIF orientation; a still image asked
// for at a reduced size is scaled while decoding; lossy writing (or lossless
// at quality 1).

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/foundation/log.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/orientation.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/imageio/raster_codecs.h"

namespace imageio {

namespace {

struct DemuxDeleter {
  void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct AnimDeleter {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

class WebpDecoder final : public Decoder {
 public:
  WebpDecoder(std::string path, std::vector<std::uint8_t> bytes, std::int64_t pixelLimit)
      : path_(std::move(path)), bytes_(std::move(bytes)), pixelLimit_(pixelLimit) {}

  bool parse() {
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes_.data(), bytes_.size(), &features) != VP8_STATUS_OK) return false;
    hasAlpha_ = features.has_alpha != 0;
    animated_ = features.has_animation != 0;
    const WebPData data{bytes_.data(), bytes_.size()};
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
    if (!demux) return false;
    width_ = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
    height_ = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    loopCount_ = int(WebPDemuxGetI(demux.get(), WEBP_FF_LOOP_COUNT));
    const std::uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
    WebPChunkIterator chunk;
    if ((flags & ICCP_FLAG) && WebPDemuxGetChunk(demux.get(), "ICCP", 1, &chunk)) {
      icc_.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
      WebPDemuxReleaseChunkIterator(&chunk);
    }
    if ((flags & EXIF_FLAG) && WebPDemuxGetChunk(demux.get(), "EXIF", 1, &chunk)) {
      orientation_ = exifOrientation(chunk.chunk.bytes, chunk.chunk.size);
      WebPDemuxReleaseChunkIterator(&chunk);
    }
    WebPIterator frame;
    if (WebPDemuxGetFrame(demux.get(), 1, &frame)) {
      do {
        durations_.push_back(frame.duration);
      } while (WebPDemuxNextFrame(&frame));
      WebPDemuxReleaseIterator(&frame);
    }
    if (durations_.empty()) return false;
    if (!animated_) durations_.erase(durations_.begin() + 1, durations_.end());
    return width_ > 0 && height_ > 0;
  }

  std::int64_t width() const { return width_; }
  std::int64_t height() const { return height_; }

  std::size_t count() const override { return durations_.size(); }

  foundation::Value properties(std::size_t index) override {
    foundation::Dictionary d =
        basicProperties(width_, height_, 8, 3, hasAlpha_, icc_.empty() ? nullptr : &icc_);
    if (orientation_ != 0) d.set("Orientation", orientation_);
    if (animated_ && index < durations_.size()) {
      const double delay = durations_[index] / 1000.0;
      foundation::Dictionary webp;
      webp.set("DelayTime", delay < 0.011 ? 0.1 : delay);
      webp.set("UnclampedDelayTime", delay);
      d.set("{WebP}", std::move(webp));
    }
    return foundation::Value(std::move(d));
  }

  foundation::Value fileProperties() override {
    foundation::Dictionary d;
    if (animated_) {
      foundation::Dictionary webp;
      webp.set("LoopCount", loopCount_);
      webp.set("CanvasPixelWidth", width_);
      webp.set("CanvasPixelHeight", height_);
      d.set("{WebP}", std::move(webp));
    }
    return foundation::Value(std::move(d));
  }

  raster::ImageRef decode(std::size_t index, const DecodeOptions& options) override {
    if (index >= durations_.size()) return nullptr;
    // Animation frames are composed at canvas size; only a still image
    // decodes straight to the reduced size.
    const auto [width, height] = animated_ ? std::pair{width_, height_} : decodedSize(options.maxPixelSize);
    const raster::PixelFormat format = decodedFormat(8, 3, hasAlpha_);
    const std::size_t rowBytes = checkedBytesPerRow(width, height, format, pixelLimit_);
    if (rowBytes == 0) {
      foundation::log("webp: {}: image too large", path_);
      return nullptr;
    }
    std::vector<std::uint8_t> pixels(rowBytes * std::size_t(height));
    if (!animated_) {
      if (!decodeStill(width, height, pixels, rowBytes)) {
        foundation::log("webp: {}: cannot decode", path_);
        return nullptr;
      }
    } else if (!decodeFrame(index, pixels)) {
      foundation::log("webp: {}: cannot decode frame {}", path_, index);
      return nullptr;
    }
    return raster::Image::make(width, height, format, colorSpaceFor(3, &icc_), std::move(pixels), rowBytes);
  }

 private:
  // The stored size, or the size whose longer side is maxPixelSize when
  // that is smaller (the shorter side rounded, at least one pixel).
  std::pair<std::int64_t, std::int64_t> decodedSize(std::int64_t maxPixelSize) const {
    const std::int64_t longSide = std::max(width_, height_);
    if (maxPixelSize <= 0 || maxPixelSize >= longSide) return {width_, height_};
    const double scale = double(maxPixelSize) / double(longSide);
    return {std::max<std::int64_t>(1, std::llround(double(width_) * scale)),
            std::max<std::int64_t>(1, std::llround(double(height_) * scale))};
  }

  bool decodeStill(std::int64_t width, std::int64_t height, std::vector<std::uint8_t>& pixels,
                   std::size_t rowBytes) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return false;
    if (width != width_ || height != height_) {
      config.options.use_scaling = 1;
      config.options.scaled_width = int(width);
      config.options.scaled_height = int(height);
    }
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = pixels.data();
    config.output.u.RGBA.stride = int(rowBytes);
    config.output.u.RGBA.size = pixels.size();
    const VP8StatusCode status = WebPDecode(bytes_.data(), bytes_.size(), &config);
    WebPFreeDecBuffer(&config.output);
    return status == VP8_STATUS_OK;
  }

  bool decodeFrame(std::size_t index, std::vector<std::uint8_t>& pixels) {
    if (!animation_) {
      WebPAnimDecoderOptions options;
      if (!WebPAnimDecoderOptionsInit(&options)) return false;
      options.color_mode = MODE_RGBA;
      options.use_threads = 0;
      const WebPData data{bytes_.data(), bytes_.size()};
      animation_.reset(WebPAnimDecoderNew(&data, &options));
      if (!animation_) return false;
      next_ = 0;
    }
    if (index < next_) {
      WebPAnimDecoderReset(animation_.get());
      next_ = 0;
    }
    std::uint8_t* frame = nullptr;
    int timestamp = 0;
    while (next_ <= index) {
      if (!WebPAnimDecoderGetNext(animation_.get(), &frame, &timestamp)) return false;
      ++next_;
    }
    if (frame == nullptr) return false;
    std::memcpy(pixels.data(), frame, pixels.size());
    return true;
  }

  std::string path_;
  std::vector<std::uint8_t> bytes_;
  std::int64_t pixelLimit_;
  std::int64_t width_ = 0, height_ = 0;
  bool hasAlpha_ = false, animated_ = false;
  int loopCount_ = 0;
  int orientation_ = 0;
  std::vector<std::uint8_t> icc_;
  std::vector<int> durations_;
  std::unique_ptr<WebPAnimDecoder, AnimDeleter> animation_;
  std::size_t next_ = 0;
};

bool sniffWebp(const std::uint8_t* bytes, std::size_t size) {
  return size >= 12 && std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "WEBP", 4) == 0;
}

std::unique_ptr<Decoder> openWebp(const std::string& path, std::int64_t pixelLimit) {
  auto bytes = readFileBytes(path);
  if (!bytes) return nullptr;
  if (!sniffWebp(bytes->data(), bytes->size())) {
    foundation::log("webp: {} is not a WebP file", path);
    return nullptr;
  }
  auto decoder = std::make_unique<WebpDecoder>(path, std::move(*bytes), pixelLimit);
  if (!decoder->parse()) {
    foundation::log("webp: {}: cannot read the file structure", path);
    return nullptr;
  }
  if (!withinImageLimits(decoder->width(), decoder->height(), 4, pixelLimit)) {
    foundation::log("webp: {}: {} x {} pixels exceed the limit", path, decoder->width(), decoder->height());
    return nullptr;
  }
  return decoder;
}

bool writeWebp(const std::string& path, const std::vector<Frame>& frames, const foundation::Value& /*file*/) {
  if (frames.empty() || !frames.front().image) return false;
  const raster::Image& image = *frames.front().image;
  if (exportedColorComponents(image) != 3 || image.width() > WEBP_MAX_DIMENSION ||
      image.height() > WEBP_MAX_DIMENSION) {
    foundation::log("webp: only RGB images up to {} pixels a side can be written ({})", WEBP_MAX_DIMENSION,
                    path);
    return false;
  }
  const bool alpha = image.format().hasAlpha();
  const int components = alpha ? 4 : 3;
  const int width = int(image.width()), height = int(image.height());
  std::vector<std::uint8_t> rgb(std::size_t(width) * std::size_t(height) * std::size_t(components));
  for (int y = 0; y < height; ++y)
    exportRow(image, y, {8, alpha},
              rgb.data() + std::size_t(y) * std::size_t(width) * std::size_t(components));
  double quality = 0.8;
  if (const auto* q = frames.front().properties.get("LossyCompressionQuality"); q != nullptr && q->toDouble())
    quality = std::clamp(*q->toDouble(), 0.0, 1.0);
  std::uint8_t* output = nullptr;
  const int stride = width * components;
  std::size_t size = 0;
  if (quality >= 1.0) {
    size = alpha ? WebPEncodeLosslessRGBA(rgb.data(), width, height, stride, &output)
                 : WebPEncodeLosslessRGB(rgb.data(), width, height, stride, &output);
  } else {
    const float q = float(quality * 100.0);
    size = alpha ? WebPEncodeRGBA(rgb.data(), width, height, stride, q, &output)
                 : WebPEncodeRGB(rgb.data(), width, height, stride, q, &output);
  }
  bool ok = size > 0 && output != nullptr && writeFileBytes(path, output, size);
  if (size == 0) foundation::log("webp: encoding {} failed", path);
  WebPFree(output);
  return ok;
}

}  // namespace

Codec webpCodec() {
  Codec codec;
  codec.type = "org.webmproject.webp";
  codec.extensions = {"webp"};
  codec.sniff = sniffWebp;
  codec.open = openWebp;
  codec.write = writeWebp;
  return codec;
}

}  // namespace imageio

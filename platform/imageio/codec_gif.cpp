// GIF through giflib: every frame composed onto the canvas (transparency,
// disposal), frame delays and the loop count. Writing quantises each frame
// with libimagequant into its own palette with binary transparency.

#include <gif_lib.h>
#include <libimagequant.h>

#include <algorithm>
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

constexpr std::size_t kMaxFrames = 100000;

struct MemoryInput {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t position = 0;
};

int readInput(GifFileType* gif, GifByteType* out, int count) {
  auto* input = static_cast<MemoryInput*>(gif->UserData);
  const std::size_t n = std::min<std::size_t>(std::size_t(std::max(count, 0)), input->size - input->position);
  std::memcpy(out, input->data + input->position, n);
  input->position += n;
  return int(n);
}

struct GifFrame {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<std::uint8_t> indices;
  std::vector<std::uint8_t> palette;  // RGB triples
  int transparent = NO_TRANSPARENT_COLOR;
  int disposal = DISPOSAL_UNSPECIFIED;
  int delay = 0;  // hundredths of a second
};

struct GifCloser {
  void operator()(GifFileType* gif) const {
    if (gif != nullptr) {
      int error = 0;
      DGifCloseFile(gif, &error);
    }
  }
};

// Reads one image's pixels (interlaced rows put in place).
bool readFrameLines(GifFileType* gif, GifFrame& frame) {
  frame.indices.resize(std::size_t(frame.width) * std::size_t(frame.height));
  auto line = [&](int y) {
    return DGifGetLine(gif, frame.indices.data() + std::size_t(y) * std::size_t(frame.width), frame.width) ==
           GIF_OK;
  };
  if (gif->Image.Interlace) {
    static constexpr int kStart[] = {0, 4, 2, 1};
    static constexpr int kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
      for (int y = kStart[pass]; y < frame.height; y += kStep[pass])
        if (!line(y)) return false;
    }
  } else {
    for (int y = 0; y < frame.height; ++y)
      if (!line(y)) return false;
  }
  return true;
}

void paletteOf(const ColorMapObject* map, std::vector<std::uint8_t>& out) {
  out.clear();
  if (map == nullptr || map->Colors == nullptr) return;
  for (int i = 0; i < map->ColorCount; ++i) {
    out.push_back(map->Colors[i].Red);
    out.push_back(map->Colors[i].Green);
    out.push_back(map->Colors[i].Blue);
  }
}

struct ParsedGif {
  int width = 0, height = 0;
  bool hasGlobalMap = false;
  int loopCount = -1;  // -1: no looping extension
  std::vector<GifFrame> frames;
};

bool parseGif(const std::string& path, const std::vector<std::uint8_t>& bytes, std::int64_t pixelLimit,
              ParsedGif& parsed) {
  MemoryInput input{bytes.data(), bytes.size(), 0};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&input, readInput, &error));
  if (!gif) {
    foundation::log("gif: {}: {}", path, GifErrorString(error));
    return false;
  }
  parsed.width = gif->SWidth;
  parsed.height = gif->SHeight;
  parsed.hasGlobalMap = gif->SColorMap != nullptr;
  std::vector<std::uint8_t> globalPalette;
  paletteOf(gif->SColorMap, globalPalette);

  // A declared canvas is checked before any frame is read.
  if ((parsed.width > 0 || parsed.height > 0) &&
      !withinImageLimits(parsed.width, parsed.height, 4, pixelLimit)) {
    foundation::log("gif: {}: canvas {} x {} exceeds the limit", path, parsed.width, parsed.height);
    return false;
  }
  GifFrame pending;  // carries the graphic control of the next image
  std::int64_t storedPixels = 0;
  bool complete = false;
  while (parsed.frames.size() < kMaxFrames) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &record) != GIF_OK) break;
    if (record == TERMINATE_RECORD_TYPE) {
      complete = true;
      break;
    }
    if (record == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &code, &block) != GIF_OK) break;
      bool netscape = false;
      bool first = true;
      bool failed = false;
      while (block != nullptr) {
        if (code == GRAPHICS_EXT_FUNC_CODE && first && block[0] >= 4) {
          GraphicsControlBlock control;
          if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
            pending.transparent = control.TransparentColor;
            pending.disposal = control.DisposalMode;
            pending.delay = control.DelayTime;
          }
        } else if (code == APPLICATION_EXT_FUNC_CODE && first && block[0] == 11) {
          netscape = std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 ||
                     std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0;
        } else if (netscape && !first && block[0] >= 3 && block[1] == 1) {
          parsed.loopCount = block[2] | (block[3] << 8);
        }
        first = false;
        if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK) {
          failed = true;
          break;
        }
      }
      if (failed) break;
      continue;
    }
    if (record != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif.get()) != GIF_OK) break;
    GifFrame frame = pending;
    pending = GifFrame{};
    frame.left = gif->Image.Left;
    frame.top = gif->Image.Top;
    frame.width = gif->Image.Width;
    frame.height = gif->Image.Height;
    const std::int64_t area = std::int64_t(frame.width) * frame.height;
    if (!withinImageLimits(frame.width, frame.height, 1, pixelLimit) ||
        storedPixels + area > 2 * pixelLimit) {
      foundation::log("gif: {}: frame {} x {} exceeds the limit", path, frame.width, frame.height);
      break;
    }
    if (gif->Image.ColorMap != nullptr) {
      paletteOf(gif->Image.ColorMap, frame.palette);
    } else {
      frame.palette = globalPalette;
    }
    if (!readFrameLines(gif.get(), frame)) break;
    storedPixels += area;
    parsed.frames.push_back(std::move(frame));
  }
  if (!complete) foundation::log("gif: {}: file is damaged or truncated", path);
  if (parsed.frames.empty()) return false;
  if (parsed.width <= 0 || parsed.height <= 0) {
    parsed.width = parsed.frames.front().left + parsed.frames.front().width;
    parsed.height = parsed.frames.front().top + parsed.frames.front().height;
  }
  if (!withinImageLimits(parsed.width, parsed.height, 4, pixelLimit)) {
    foundation::log("gif: {}: canvas {} x {} exceeds the limit", path, parsed.width, parsed.height);
    return false;
  }
  return true;
}

class GifDecoder final : public Decoder {
 public:
  GifDecoder(std::string path, ParsedGif parsed) : path_(std::move(path)), gif_(std::move(parsed)) {
    // The canvas starts transparent. It stays opaque once the first frame
    // covers it without transparent pixels, unless a frame's area is later
    // cleared to the (transparent) background.
    const GifFrame& first = gif_.frames.front();
    hasAlpha_ = first.transparent != NO_TRANSPARENT_COLOR ||
                !(first.left <= 0 && first.top <= 0 && first.left + first.width >= gif_.width &&
                  first.top + first.height >= gif_.height);
    for (std::size_t i = 0; i + 1 < gif_.frames.size(); ++i) {
      hasAlpha_ = hasAlpha_ || gif_.frames[i].disposal == DISPOSE_BACKGROUND;
    }
  }

  std::size_t count() const override { return gif_.frames.size(); }

  foundation::Value properties(std::size_t index) override {
    if (index >= gif_.frames.size()) return foundation::Value(foundation::Dictionary{});
    foundation::Dictionary d = basicProperties(gif_.width, gif_.height, 8, 3, hasAlpha_, nullptr);
    const double unclamped = gif_.frames[index].delay / 100.0;
    foundation::Dictionary gif;
    gif.set("DelayTime", unclamped < 0.011 ? 0.1 : unclamped);
    gif.set("UnclampedDelayTime", unclamped);
    d.set("{GIF}", std::move(gif));
    return foundation::Value(std::move(d));
  }

  foundation::Value fileProperties() override {
    foundation::Dictionary gif;
    if (gif_.loopCount >= 0) gif.set("LoopCount", gif_.loopCount);
    gif.set("HasGlobalColorMap", gif_.hasGlobalMap);
    gif.set("CanvasPixelWidth", gif_.width);
    gif.set("CanvasPixelHeight", gif_.height);
    foundation::Dictionary d;
    d.set("{GIF}", std::move(gif));
    return foundation::Value(std::move(d));
  }

  raster::ImageRef decode(std::size_t index, const DecodeOptions& /*options*/) override {
    if (index >= gif_.frames.size()) return nullptr;
    const std::size_t canvasBytes = std::size_t(gif_.width) * std::size_t(gif_.height) * 4;
    if (composed_ < 0 || std::size_t(composed_) > index || canvas_.size() != canvasBytes) {
      canvas_.assign(canvasBytes, 0);
      previous_.clear();
      composed_ = -1;
    }
    while (std::size_t(composed_ + 1) <= index) {
      const std::size_t next = std::size_t(composed_ + 1);
      if (composed_ >= 0) dispose(gif_.frames[std::size_t(composed_)]);
      if (gif_.frames[next].disposal == DISPOSE_PREVIOUS) previous_ = canvas_;
      draw(gif_.frames[next]);
      composed_ = std::int64_t(next);
    }
    std::vector<std::uint8_t> pixels = canvas_;
    if (!hasAlpha_) {
      for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    }
    return raster::Image::make(gif_.width, gif_.height, decodedFormat(8, 3, hasAlpha_),
                               colorSpaceFor(3, nullptr), std::move(pixels), std::size_t(gif_.width) * 4);
  }

 private:
  // The frame's rectangle clipped to the canvas.
  struct Box {
    int x0, y0, x1, y1;
  };
  Box boxOf(const GifFrame& frame) const {
    return {std::max(0, frame.left), std::max(0, frame.top), std::min(gif_.width, frame.left + frame.width),
            std::min(gif_.height, frame.top + frame.height)};
  }

  void dispose(const GifFrame& frame) {
    if (frame.disposal == DISPOSE_BACKGROUND) {
      const Box box = boxOf(frame);
      for (int y = box.y0; y < box.y1; ++y) {
        std::uint8_t* row =
            canvas_.data() + (std::size_t(y) * std::size_t(gif_.width) + std::size_t(box.x0)) * 4;
        std::memset(row, 0, std::size_t(std::max(0, box.x1 - box.x0)) * 4);
      }
    } else if (frame.disposal == DISPOSE_PREVIOUS && previous_.size() == canvas_.size()) {
      canvas_ = previous_;
    }
  }

  void draw(const GifFrame& frame) {
    const Box box = boxOf(frame);
    const int colors = int(frame.palette.size() / 3);
    for (int y = box.y0; y < box.y1; ++y) {
      const std::uint8_t* in = frame.indices.data() + std::size_t(y - frame.top) * std::size_t(frame.width) +
                               std::size_t(box.x0 - frame.left);
      std::uint8_t* out =
          canvas_.data() + (std::size_t(y) * std::size_t(gif_.width) + std::size_t(box.x0)) * 4;
      for (int x = box.x0; x < box.x1; ++x, ++in, out += 4) {
        const int index = *in;
        if (index == frame.transparent || index >= colors) continue;
        std::memcpy(out, &frame.palette[std::size_t(index) * 3], 3);
        out[3] = 255;
      }
    }
  }

  std::string path_;
  ParsedGif gif_;
  bool hasAlpha_ = false;
  std::vector<std::uint8_t> canvas_;
  std::vector<std::uint8_t> previous_;
  std::int64_t composed_ = -1;
};

bool sniffGif(const std::uint8_t* bytes, std::size_t size) {
  return size >= 6 && (std::memcmp(bytes, "GIF87a", 6) == 0 || std::memcmp(bytes, "GIF89a", 6) == 0);
}

std::unique_ptr<Decoder> openGif(const std::string& path, std::int64_t pixelLimit) {
  auto bytes = readFileBytes(path);
  if (!bytes) return nullptr;
  if (!sniffGif(bytes->data(), bytes->size())) {
    foundation::log("gif: {} is not a GIF file", path);
    return nullptr;
  }
  ParsedGif parsed;
  if (!parseGif(path, *bytes, pixelLimit, parsed)) return nullptr;
  return std::make_unique<GifDecoder>(path, std::move(parsed));
}

// --- Writing ---------------------------------------------------------------

int writeOutput(GifFileType* gif, const GifByteType* data, int count) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + count);
  return count;
}

struct Quantized {
  std::vector<std::uint8_t> indices;
  std::vector<GifColorType> colors;
  int transparent = NO_TRANSPARENT_COLOR;
};

// Reduces an RGBA frame to at most 256 colours, with alpha made binary
// (GIF has one fully transparent index and nothing in between).
bool quantize(std::vector<std::uint8_t>& rgba, int width, int height, Quantized& out) {
  bool anyTransparent = false;
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    if (rgba[i + 3] < 128) {
      std::memset(&rgba[i], 0, 4);
      anyTransparent = true;
    } else {
      rgba[i + 3] = 255;
    }
  }
  liq_attr* attr = liq_attr_create();
  if (attr == nullptr) return false;
  liq_set_max_colors(attr, 256);
  liq_set_speed(attr, 4);
  liq_image* image = liq_image_create_rgba(attr, rgba.data(), width, height, 0);
  liq_result* result = nullptr;
  bool ok = image != nullptr && liq_image_quantize(image, attr, &result) == LIQ_OK;
  if (ok) {
    liq_set_dithering_level(result, 1.0f);
    out.indices.resize(std::size_t(width) * std::size_t(height));
    ok = liq_write_remapped_image(result, image, out.indices.data(), out.indices.size()) == LIQ_OK;
  }
  if (ok) {
    const liq_palette* palette = liq_get_palette(result);
    std::vector<int> remap(palette->count);
    for (unsigned i = 0; i < palette->count; ++i) {
      const liq_color& c = palette->entries[i];
      if (c.a < 128 && anyTransparent) {
        if (out.transparent == NO_TRANSPARENT_COLOR) {
          out.transparent = int(out.colors.size());
          out.colors.push_back(GifColorType{0, 0, 0});
        }
        remap[i] = out.transparent;
      } else {
        remap[i] = int(out.colors.size());
        out.colors.push_back(GifColorType{c.r, c.g, c.b});
      }
    }
    for (auto& index : out.indices) index = std::uint8_t(remap[index]);
  }
  if (result != nullptr) liq_result_destroy(result);
  if (image != nullptr) liq_image_destroy(image);
  liq_attr_destroy(attr);
  return ok && !out.colors.empty();
}

double frameDelay(const foundation::Value& properties) {
  const foundation::Value* value = properties.get({"{GIF}", "UnclampedDelayTime"});
  if (value == nullptr) value = properties.get({"{GIF}", "DelayTime"});
  return value != nullptr ? std::max(0.0, value->doubleOr(0)) : 0.0;
}

bool writeGif(const std::string& path, const std::vector<Frame>& frames,
              const foundation::Value& fileProperties) {
  if (frames.empty()) return false;
  int width = 0, height = 0;
  for (const Frame& frame : frames) {
    if (!frame.image || frame.image->width() > 65535 || frame.image->height() > 65535) {
      foundation::log("gif: frames larger than 65535 pixels cannot be written ({})", path);
      return false;
    }
    width = std::max(width, int(frame.image->width()));
    height = std::max(height, int(frame.image->height()));
  }
  std::vector<std::uint8_t> output;
  int error = 0;
  GifFileType* gif = EGifOpen(&output, writeOutput, &error);
  if (gif == nullptr) return false;
  auto fail = [&](const char* what) {
    foundation::log("gif: {} for {}: {}", what, path, GifErrorString(gif->Error));
    int closeError = 0;
    EGifCloseFile(gif, &closeError);
    return false;
  };
  EGifSetGifVersion(gif, true);
  if (EGifPutScreenDesc(gif, width, height, 8, 0, nullptr) != GIF_OK) return fail("screen descriptor");

  const bool animated = frames.size() > 1;
  const foundation::Value* loop = fileProperties.get({"{GIF}", "LoopCount"});
  if (animated || loop != nullptr) {
    const int count = std::clamp<int>(int(loop != nullptr ? loop->intOr(0) : 0), 0, 65535);
    const GifByteType netscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    const GifByteType loopBlock[] = {1, GifByteType(count & 0xFF), GifByteType(count >> 8)};
    if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
        EGifPutExtensionBlock(gif, sizeof netscape, netscape) != GIF_OK ||
        EGifPutExtensionBlock(gif, sizeof loopBlock, loopBlock) != GIF_OK ||
        EGifPutExtensionTrailer(gif) != GIF_OK)
      return fail("loop extension");
  }

  for (const Frame& frame : frames) {
    const raster::ImageRef held = imageForFormat(frame.image, FormatColors::UntaggedGrayOrRGB);
    if (!held) return fail("converting a frame to sRGB");
    const raster::Image& image = *held;
    const int w = int(image.width()), h = int(image.height());
    std::vector<std::uint8_t> rgba(std::size_t(w) * std::size_t(h) * 4);
    foundation::parallelForRange(
        0, h,
        [&](std::int64_t begin, std::int64_t end) {
          std::vector<std::uint8_t> row;
          for (std::int64_t y = begin; y < end; ++y) {
            std::uint8_t* out = rgba.data() + std::size_t(y) * std::size_t(w) * 4;
            if (exportedColorComponents(image) == 3) {
              exportRow(image, y, {8, true}, out);
            } else {
              // Gray (on the sRGB curve) spread to RGB.
              row.resize(std::size_t(w) * 2);
              exportRow(image, y, {8, true}, row.data());
              for (int x = 0; x < w; ++x) {
                const std::uint8_t* p = &row[std::size_t(x) * 2];
                std::uint8_t* o = out + std::size_t(x) * 4;
                o[0] = o[1] = o[2] = p[0];
                o[3] = p[1];
              }
            }
          }
        },
        16);
    Quantized quantized;
    if (!quantize(rgba, w, h, quantized)) return fail("quantising a frame");
    int mapSize = 2;
    while (mapSize < int(quantized.colors.size())) mapSize *= 2;
    quantized.colors.resize(std::size_t(mapSize), GifColorType{0, 0, 0});
    ColorMapObject* map = GifMakeMapObject(mapSize, quantized.colors.data());
    if (map == nullptr) return fail("colour map");

    const bool hasTransparency = quantized.transparent != NO_TRANSPARENT_COLOR;
    if (animated || hasTransparency) {
      GraphicsControlBlock control{};
      // Every frame is a whole canvas: clear it before the next one so that
      // transparent areas show what is behind the animation.
      control.DisposalMode = animated ? DISPOSE_BACKGROUND : DISPOSAL_UNSPECIFIED;
      control.UserInputFlag = false;
      control.DelayTime = int(std::lround(frameDelay(frame.properties) * 100.0));
      control.TransparentColor = quantized.transparent;
      GifByteType extension[4];
      const std::size_t length = EGifGCBToExtension(&control, extension);
      if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) != GIF_OK) {
        GifFreeMapObject(map);
        return fail("frame control");
      }
    }
    const bool described = EGifPutImageDesc(gif, 0, 0, w, h, false, map) == GIF_OK;
    GifFreeMapObject(map);
    if (!described) return fail("image descriptor");
    for (int y = 0; y < h; ++y) {
      if (EGifPutLine(gif, quantized.indices.data() + std::size_t(y) * std::size_t(w), w) != GIF_OK)
        return fail("image data");
    }
  }
  if (EGifCloseFile(gif, &error) != GIF_OK) {
    foundation::log("gif: finishing {} failed: {}", path, GifErrorString(error));
    return false;
  }
  return writeFileBytes(path, output.data(), output.size());
}

}  // namespace

Codec gifCodec() {
  Codec codec;
  codec.type = "com.compuserve.gif";
  codec.extensions = {"gif"};
  codec.sniff = sniffGif;
  codec.open = openGif;
  codec.write = writeGif;
  return codec;
}

}  // namespace imageio

// Icon files: every PNG, ARGB and legacy RLE (with mask) entry reads as one
// image; writing stores each frame as the PNG entry of its size and scale.

#include <set>

#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/document_codecs.h"
#include "platform/imageio/icns_format.h"
#include "platform/imageio/mapped_file.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/imageio/png_memory.h"

namespace imageio {

namespace {

class IcnsDecoder final : public Decoder {
 public:
  IcnsDecoder(std::shared_ptr<const MappedFile> file, std::vector<icns::Entry> entries,
              std::int64_t pixelLimit)
      : file_(std::move(file)), entries_(std::move(entries)), pixelLimit_(pixelLimit) {}

  std::size_t count() const override { return entries_.size(); }

  foundation::Value properties(std::size_t index) override {
    if (index >= entries_.size()) return foundation::Value(foundation::Dictionary{});
    const icns::Entry& entry = entries_[index];
    foundation::Dictionary d = basicProperties(entry.size, entry.size, 8, 3, true, nullptr);
    setDpi(d, 72.0 * entry.scale, 72.0 * entry.scale);
    return foundation::Value(std::move(d));
  }

  raster::ImageRef decode(std::size_t index, const DecodeOptions&) override {
    if (index >= entries_.size()) return nullptr;
    const icns::Entry& entry = entries_[index];
    std::int64_t width = entry.size, height = entry.size;
    std::vector<std::uint8_t> rgba;
    if (entry.kind == icns::Entry::Kind::Png) {
      auto png = decodePngRgba(file_->data() + entry.offset, entry.length, pixelLimit_);
      if (!png) return nullptr;
      width = png->width;
      height = png->height;
      rgba = std::move(png->rgba);
    } else {
      if (!withinImageLimits(entry.size, entry.size, 4, pixelLimit_)) return nullptr;
      if (!icns::decodeRle(file_->data(), file_->size(), entry, rgba)) return nullptr;
    }
    return raster::Image::make(width, height, decodedFormat(8, 3, true), colorSpaceFor(3, nullptr),
                               std::move(rgba), std::size_t(width) * 4);
  }

 private:
  std::shared_ptr<const MappedFile> file_;
  std::vector<icns::Entry> entries_;
  std::int64_t pixelLimit_;
};

bool sniffIcns(const std::uint8_t* bytes, std::size_t size) {
  return size >= 4 && bytes[0] == 'i' && bytes[1] == 'c' && bytes[2] == 'n' && bytes[3] == 's';
}

std::unique_ptr<Decoder> openIcns(const std::string& path, std::int64_t pixelLimit) {
  auto file = MappedFile::open(path);
  if (!file) return nullptr;
  auto entries = icns::parse(file->data(), file->size());
  if (entries.empty()) {
    foundation::log("icns: cannot read {}", path);
    return nullptr;
  }
  return std::make_unique<IcnsDecoder>(std::move(file), std::move(entries), pixelLimit);
}

// 1 for 72 dpi frames, 2 for 144 dpi (the @2x entries).
int frameScale(const Frame& frame) {
  auto resolution = frameResolution(frame.properties);
  return resolution && resolution->x > 108.0 ? 2 : 1;
}

std::vector<std::uint8_t> pngOf(const raster::Image& image) {
  const int color = exportedColorComponents(image);
  if (color != 1 && color != 3) {
    foundation::log("icns: icons are RGB or gray, not {} components", color);
    return {};
  }
  const int components = color + 1;
  const std::size_t bytesPerRow = std::size_t(image.width()) * std::size_t(components);
  std::vector<std::uint8_t> samples(bytesPerRow * std::size_t(image.height()));
  foundation::parallelForRange(
      0, image.height(),
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y)
          exportRow(image, y, RowRequest{8, true}, samples.data() + std::size_t(y) * bytesPerRow);
      },
      16);
  return encodePng(samples.data(), image.width(), image.height(), components, bytesPerRow);
}

bool writeIcns(const std::string& path, const std::vector<Frame>& frames, const foundation::Value&) {
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> entries;
  std::set<std::string> taken;
  for (const Frame& frame : frames) {
    if (!frame.image) continue;
    const raster::Image& image = *frame.image;
    const std::string type =
        image.width() == image.height() ? icns::typeFor(image.width(), frameScale(frame)) : std::string();
    if (type.empty() || taken.count(type)) {
      foundation::log("icns: no free entry for a {}x{} image; left out", image.width(), image.height());
      continue;
    }
    std::vector<std::uint8_t> png = pngOf(image);
    if (png.empty()) return false;
    taken.insert(type);
    entries.emplace_back(type, std::move(png));
  }
  if (entries.empty()) {
    foundation::log("icns: nothing to write");
    return false;
  }
  const std::vector<std::uint8_t> bytes = icns::encode(entries);
  return !bytes.empty() && writeFileBytes(path, bytes.data(), bytes.size());
}

}  // namespace

Codec icnsCodec() {
  Codec codec;
  codec.type = "com.apple.icns";
  codec.extensions = {"icns"};
  codec.sniff = sniffIcns;
  codec.open = openIcns;
  codec.write = writeIcns;
  return codec;
}

}  // namespace imageio

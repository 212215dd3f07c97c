// Flat PSD: reads the composite of any PSD/PSB file (layers are the PSD
// subsystem's business) and writes one-image files: the composite, and
// with transparency the picture once more as the one layer that makes
// other readers take the composite's extra channel for its transparency.

#include <algorithm>
#include <cstring>

#include "platform/color/linear_profile.h"
#include "platform/foundation/failure_cause.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/document_codecs.h"
#include "platform/imageio/mapped_file.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/imageio/psd_flat_format.h"
#include "platform/imageio/psd_flat_layers.h"
#include "platform/imageio/psd_matte.h"
#include "platform/raster/color_conversion.h"

namespace imageio {

namespace {

// 32-bit documents hold linear light in the primaries of their profile:
// the profile with linear curves, linear sRGB (or gray) when there is none
// that can have them. CMYK has no linear form and keeps its profile.
raster::ColorSpaceRef linearSpaceFor(int colorComponents, const color::ProfileRef& profile) {
  if (colorComponents == 4) return nullptr;
  color::ProfileRef linear = profile && profile->channels() == colorComponents ? color::withLinearCurves(profile)
                                                                              : nullptr;
  if (!linear) linear = color::linearDefault(colorComponents == 1 ? color::Model::Gray : color::Model::RGB);
  return linear ? raster::ColorSpace::withProfile(linear) : nullptr;
}

raster::ColorSpaceRef decodedColorSpace(const psd::FlatInfo& info) {
  if (info.outputDepth == 32) {
    const color::ProfileRef embedded = info.icc.empty() ? nullptr : color::IccProfile::fromData(info.icc);
    if (auto linear = linearSpaceFor(info.colorComponents, embedded)) return linear;
  }
  return colorSpaceFor(info.colorComponents, &info.icc);
}

class FlatPsdDecoder final : public Decoder {
 public:
  FlatPsdDecoder(std::shared_ptr<const MappedFile> file, psd::FlatInfo info, std::int64_t pixelLimit)
      : file_(std::move(file)), info_(std::move(info)), pixelLimit_(pixelLimit) {}

  std::size_t count() const override { return 1; }

  foundation::Value properties(std::size_t index) override {
    if (index != 0) return foundation::Value(foundation::Dictionary{});
    foundation::Dictionary d = basicProperties(info_.width, info_.height, info_.outputDepth,
                                               info_.colorComponents, info_.hasAlpha, &info_.icc);
    if (info_.dpiX && info_.dpiY) setDpi(d, *info_.dpiX, *info_.dpiY);
    return foundation::Value(std::move(d));
  }

  // A merge holds bands of layer rows besides the picture: at most the
  // canvas in every plane of the file's depth.
  std::int64_t decodeWorkingBytes(std::size_t index) override {
    if (index != 0 || info_.realMergedImage) return 0;
    const std::int64_t sampleBytes = std::max(1, info_.fileDepth / 8);
    const std::int64_t planes =
        std::int64_t(info_.width) * std::int64_t(info_.height) * sampleBytes * (info_.colorComponents + 1);
    return std::min(planes, psd::kMergeWorkingBytes);
  }

  raster::ImageRef decode(std::size_t index, const DecodeOptions&) override {
    if (index != 0) return nullptr;
    const raster::PixelFormat format =
        decodedFormat(info_.outputDepth, info_.colorComponents, info_.hasAlpha);
    const std::size_t bytesPerRow = checkedBytesPerRow(info_.width, info_.height, format, pixelLimit_);
    if (bytesPerRow == 0) {
      foundation::log("psd: {}x{} exceeds the pixel limit", info_.width, info_.height);
      return nullptr;
    }
    std::vector<std::uint8_t> pixels(bytesPerRow * std::size_t(info_.height));
    if (format.hasPadding()) std::memset(pixels.data(), 0xff, pixels.size());
    if (!info_.realMergedImage) {
      // The stored composite is a placeholder: the layers merged stand in.
      if (!psd::mergeLayers(file_->data(), file_->size(), info_, pixelLimit_, pixels.data(), bytesPerRow,
                            format.componentsPerPixel()))
        return nullptr;
      return raster::Image::make(info_.width, info_.height,
                                 decodedFormat(info_.outputDepth, info_.colorComponents, true),
                                 decodedColorSpace(info_), std::move(pixels),
                                 bytesPerRow);
    }
    if (!psd::decodeComposite(file_->data(), file_->size(), info_, pixelLimit_, pixels.data(), bytesPerRow,
                              format.componentsPerPixel())) {
      foundation::noteFailure(foundation::FailureCause::SourceDamaged, "damaged composite image");
      return nullptr;
    }
    raster::PixelFormat outFormat = format;
    // Composites with transparency normally hold colour matted against
    // white; taken out, that leaves premultiplied colour without loss.
    // Composites of writers that store straight colour are kept as stored.
    const bool mattable =
        info_.mode == psd::Mode::RGB || info_.mode == psd::Mode::Gray || info_.mode == psd::Mode::CMYK;
    if (info_.hasAlpha && mattable) {
      const psd::MatteLayout layout{info_.width,
                                    info_.height,
                                    bytesPerRow,
                                    format.componentsPerPixel(),
                                    info_.colorComponents,
                                    info_.outputDepth,
                                    info_.mode == psd::Mode::CMYK};
      if (psd::isMattedAgainstWhite(pixels.data(), layout)) {
        psd::removeWhiteMatte(pixels.data(), layout);
        outFormat = decodedFormat(info_.outputDepth, info_.colorComponents, true, true);
      }
    }
    return raster::Image::make(info_.width, info_.height, outFormat, decodedColorSpace(info_), std::move(pixels),
                               bytesPerRow);
  }

 private:
  std::shared_ptr<const MappedFile> file_;
  psd::FlatInfo info_;
  std::int64_t pixelLimit_;
};

bool sniffPsd(const std::uint8_t* bytes, std::size_t size) {
  return size >= 6 && std::memcmp(bytes, "8BPS", 4) == 0 && bytes[4] == 0 && (bytes[5] == 1 || bytes[5] == 2);
}

std::unique_ptr<Decoder> openPsd(const std::string& path, std::int64_t pixelLimit) {
  auto file = MappedFile::open(path);
  if (!file) return nullptr;
  auto info = psd::parseFlat(file->data(), file->size());
  if (!info) {
    foundation::log("psd: cannot read {}", path);
    return nullptr;
  }
  // Layers merged in place of a placeholder composite always bring
  // transparency.
  if (!info->realMergedImage) info->hasAlpha = true;
  if (!withinImageLimits(info->width, info->height, kLargestPixelBytes, pixelLimit)) {
    foundation::log("psd: {}: {} x {} pixels exceed the limit", path, info->width, info->height);
    return nullptr;
  }
  return std::make_unique<FlatPsdDecoder>(std::move(file), std::move(*info), pixelLimit);
}

// Rows of exported float samples (colour, then alpha when alpha is set,
// premultiplied when premultiplied is set) converted to another space in
// place.
void convertFloatRows(std::uint8_t* samples, std::int64_t width, std::int64_t height, std::size_t bytesPerRow,
                      int colors, bool alpha, bool premultiplied, const raster::ColorConversion& conversion) {
  foundation::parallelForRange(
      0, height,
      [&](std::int64_t begin, std::int64_t end) {
        const int stride = colors + (alpha ? 1 : 0);
        std::vector<float> in(std::size_t(width) * std::size_t(colors + 1)), out(in.size()), scratch(in.size());
        for (std::int64_t y = begin; y < end; ++y) {
          float* row = reinterpret_cast<float*>(samples + std::size_t(y) * bytesPerRow);
          for (std::int64_t x = 0; x < width; ++x) {
            const float a = alpha ? row[x * stride + colors] : 1.0f;
            for (int c = 0; c < colors; ++c)
              in[std::size_t(x * (colors + 1) + c)] = premultiplied ? row[x * stride + c] : row[x * stride + c] * a;
            in[std::size_t(x * (colors + 1) + colors)] = a;
          }
          conversion.convertRow(in.data(), out.data(), width, scratch.data());
          for (std::int64_t x = 0; x < width; ++x) {
            const float a = alpha ? row[x * stride + colors] : 1.0f;
            for (int c = 0; c < colors; ++c) {
              const float v = out[std::size_t(x * (colors + 1) + c)];
              row[x * stride + c] = premultiplied ? v : (a > 0 ? v / a : 0.0f);
            }
          }
        }
      },
      16);
}

bool writePsd(const std::string& path, const std::vector<Frame>& frames, const foundation::Value&) {
  if (frames.empty() || !frames.front().image) return false;
  if (frames.size() > 1)
    foundation::log("psd: a flat file holds one image; writing the first of {}", frames.size());
  const raster::Image& image = *frames.front().image;
  const int bits = image.format().bitsPerComponent == 16 ? 16 : image.format().isFloat() ? 32 : 8;
  // Colour with transparency goes into a composite matted against white;
  // premultiplied colour is taken as it is, which saves a rounding.
  const bool matte = image.format().hasAlpha() && image.format().alpha != raster::AlphaInfo::Only;
  const RowRequest request{bits, image.format().hasAlpha(), matte && image.format().isPremultiplied()};

  psd::FlatImage flat;
  flat.width = image.width();
  flat.height = image.height();
  flat.colorComponents = exportedColorComponents(image);
  flat.hasAlpha = request.alpha;
  flat.depth = bits;
  flat.bytesPerRow = std::size_t(flat.width) * std::size_t(flat.colorComponents + (flat.hasAlpha ? 1 : 0)) *
                     std::size_t(bits / 8);
  if (auto resolution = frameResolution(frames.front().properties)) {
    flat.dpiX = resolution->x;
    flat.dpiY = resolution->y;
  }
  flat.icc = iccOf(image);
  // 32-bit files hold linear light: colour on another curve is made linear
  // first, and the file names the linear profile its values are in, so that
  // readers honouring the profile see the picture's own colours.
  std::shared_ptr<const raster::ColorConversion> toLinear;
  if (bits == 32 && image.colorSpace()) {
    if (raster::ColorSpaceRef linear = linearSpaceFor(flat.colorComponents, image.colorSpace()->profile())) {
      toLinear = raster::ColorConversion::between(image.colorSpace().get(), linear.get());
      flat.icc = linear->profile()->data();
    }
  }

  // Every row as `rows` asks, made linear where the file holds linear light.
  const auto exportPlanes = [&](const RowRequest& rows, std::vector<std::uint8_t>& into) {
    into.resize(flat.bytesPerRow * std::size_t(flat.height));
    foundation::parallelForRange(
        0, flat.height,
        [&](std::int64_t begin, std::int64_t end) {
          for (std::int64_t y = begin; y < end; ++y)
            exportRow(image, y, rows, into.data() + std::size_t(y) * flat.bytesPerRow);
        },
        16);
    if (toLinear)
      convertFloatRows(into.data(), flat.width, flat.height, flat.bytesPerRow, flat.colorComponents, rows.alpha,
                       rows.keepPremultiplied, *toLinear);
  };
  std::vector<std::uint8_t> samples;
  exportPlanes(request, samples);
  // The layer that carries the transparency holds straight colour.
  std::vector<std::uint8_t> layer;
  if (flat.hasAlpha) {
    exportPlanes(RowRequest{bits, true, false}, layer);
    flat.layerSamples = layer.data();
  }
  if (matte) {
    const psd::MatteLayout layout{
        flat.width,           flat.height, flat.bytesPerRow,         flat.colorComponents + 1,
        flat.colorComponents, bits,        flat.colorComponents == 4};
    psd::applyWhiteMatte(samples.data(), layout, request.keepPremultiplied);
  }
  flat.samples = samples.data();
  const std::vector<std::uint8_t> bytes = psd::encodeFlat(flat);
  if (bytes.empty()) return false;
  return writeFileBytes(path, bytes.data(), bytes.size());
}

}  // namespace

Codec flatPsdCodec() {
  Codec codec;
  codec.type = "com.adobe.photoshop-image";
  codec.extensions = {"psd"};
  codec.sniff = sniffPsd;
  codec.open = openPsd;
  codec.write = writePsd;
  return codec;
}

}  // namespace imageio

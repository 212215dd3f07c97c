#include "platform/imageio/image_source.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <new>
#include <vector>

#include "platform/foundation/failure_cause.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/imageio/codec.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/damaged_images.h"
#include "platform/imageio/metadata.h"
#include "platform/imageio/orientation.h"
#include "platform/imageio/pixel_convert.h"
#include "platform/imageio/type_detection.h"

namespace imageio {

namespace {

// Adds what `extra` has and `base` lacks; dictionaries present in both are
// merged the same way, so the decoder's own values win.
void mergeInto(foundation::Dictionary& base, const foundation::Dictionary& extra) {
  for (const auto& [key, value] : extra) {
    foundation::Value* existing = base.find(key);
    if (existing == nullptr) {
      base.set(key, value);
    } else if (existing->isDictionary() && value.isDictionary()) {
      mergeInto(*existing->asDictionary(), *value.asDictionary());
    }
  }
}

std::unique_ptr<Decoder> openWith(const Codec* codec, const std::string& path, std::int64_t pixelLimit) {
  if (codec == nullptr || codec->open == nullptr) return nullptr;
  try {
    return codec->open(path, pixelLimit);
  } catch (const std::bad_alloc&) {
    foundation::log("imageio: out of memory opening {}", path);
    return nullptr;
  }
}

}  // namespace

std::shared_ptr<ImageSource> ImageSource::open(const std::string& givenPath, std::int64_t pixelLimit) {
  const std::string path = absolutePath(givenPath);
  // Refuses FIFOs, sockets, folders and devices without blocking on them.
  if (!foundation::isReadableRegularFile(path)) return nullptr;
  if (pixelLimit <= 0) pixelLimit = kDefaultPixelLimit;

  // The contents decide first (a PNG named .jpg is still a PNG); the
  // type the name suggests is tried when the bytes are not recognised.
  const std::string byContents = typeFromContents(path);
  const std::string byName = typeOfFile(path);
  std::string type;
  std::unique_ptr<Decoder> decoder;
  std::vector<std::string> candidates = {byContents};
  if (byName != byContents) candidates.push_back(byName);
  for (const std::string& candidate : candidates) {
    if (candidate.empty()) continue;
    decoder = openWith(codecForType(candidate), path, pixelLimit);
    if (decoder) {
      type = codecForType(candidate)->type;
      break;
    }
  }
  if (!decoder || decoder->count() == 0) {
    foundation::log("imageio: no decoder reads {}", path);
    // Bytes of a known type that its decoder refuses are a damaged file.
    foundation::noteFailure(byContents.empty() ? foundation::FailureCause::FormatNotSupported
                                               : foundation::FailureCause::SourceDamaged);
    return nullptr;
  }

  std::shared_ptr<ImageSource> source(new ImageSource());
  source->path_ = path;
  source->type_ = type;
  source->pixelLimit_ = pixelLimit;
  source->decoder_ = std::move(decoder);
  return source;
}

ImageSource::~ImageSource() = default;

std::size_t ImageSource::count() const {
  std::lock_guard lock(mutex_);
  return decoder_->count();
}

// Callers hold mutex_. The metadata is parsed on first use: opening a file
// only to learn whether it is readable never pays for it.
const foundation::Value& ImageSource::metadata() const {
  if (!metadataRead_) {
    metadata_ = foundation::Value(foundation::Dictionary{});
    try {
      readMetadata(path_, metadata_);
    } catch (const std::bad_alloc&) {
      foundation::log("imageio: out of memory reading the metadata of {}", path_);
      metadata_ = foundation::Value(foundation::Dictionary{});
    }
    metadataRead_ = true;
  }
  return metadata_;
}

foundation::Value ImageSource::properties(std::size_t index) const {
  std::lock_guard lock(mutex_);
  if (index >= decoder_->count()) return foundation::Value(foundation::Dictionary{});
  foundation::Value props = decoder_->properties(index);
  if (!props.isDictionary()) props = foundation::Value(foundation::Dictionary{});
  if (const auto* extra = metadata().asDictionary()) mergeInto(*props.asDictionary(), *extra);
  return props;
}

foundation::Value ImageSource::fileProperties() const {
  std::lock_guard lock(mutex_);
  foundation::Value props = decoder_->fileProperties();
  if (!props.isDictionary()) props = foundation::Value(foundation::Dictionary{});
  std::error_code error;
  const auto size = std::filesystem::file_size(path_, error);
  if (!error) props.asDictionary()->set("FileSize", std::int64_t(size));
  return props;
}

raster::ImageRef ImageSource::createImage(std::size_t index, const DecodeOptions& options) const {
  if (index >= count()) return nullptr;
  if (isKnownDamaged(path_, index)) {
    foundation::noteFailure(foundation::FailureCause::SourceDamaged);
    return nullptr;
  }
  // Whether a failure noted from here on is this decode's own.
  const bool causeNotedBefore = bool(foundation::lastFailure());
  const int orientation = options.applyOrientation ? frameOrientation(properties(index)) : 1;
  raster::ImageRef image;
  bool upright = orientation < 2 || orientation > 8;
  try {
    std::lock_guard lock(mutex_);
    if (std::optional<raster::ImageRef> turned =
            upright ? std::nullopt : decoder_->decodeUpright(index, options, orientation)) {
      image = std::move(*turned);
      upright = true;
    } else {
      image = decoder_->decode(index, options);
    }
  } catch (const std::bad_alloc&) {
    foundation::log("imageio: out of memory decoding {}", path_);
    foundation::noteFailure(foundation::FailureCause::ImageTooLarge, "out of memory");
    return nullptr;
  }
  if (!image) {
    const foundation::FailureCause noted = foundation::lastFailure().cause;
    if (!causeNotedBefore &&
        (noted == foundation::FailureCause::None || noted == foundation::FailureCause::SourceDamaged))
      rememberDamaged(path_, index);
    foundation::log("imageio: cannot decode image {} of {}", index, path_);
    foundation::noteFailure(foundation::FailureCause::SourceDamaged);
    return nullptr;
  }
  if (options.shrinkToMaxPixelSize && options.maxPixelSize > 0 &&
      std::max(image->width(), image->height()) > options.maxPixelSize) {
    const double scale = double(options.maxPixelSize) / double(std::max(image->width(), image->height()));
    const auto w = std::max<std::int64_t>(1, std::llround(double(image->width()) * scale));
    const auto h = std::max<std::int64_t>(1, std::llround(double(image->height()) * scale));
    try {
      image = shrinkImage(image, w, h);
    } catch (const std::bad_alloc&) {
      image = nullptr;
    }
    if (!image) return nullptr;
  }
  if (upright) return image;
  try {
    return applyOrientation(image, orientation);
  } catch (const std::bad_alloc&) {
    foundation::log("imageio: out of memory turning {} upright", path_);
    return nullptr;
  }
}

std::int64_t ImageSource::decodeWorkingBytes(std::size_t index) const {
  std::lock_guard lock(mutex_);
  return index < decoder_->count() ? decoder_->decodeWorkingBytes(index) : 0;
}

std::int64_t ImageSource::decodedByteEstimate() const {
  std::lock_guard lock(mutex_);
  std::int64_t total = 0;
  for (std::size_t index = 0; index < decoder_->count(); ++index) {
    const foundation::Value props = decoder_->properties(index);
    const auto number = [&](const char* key) {
      const foundation::Value* value = props.get(key);
      return value ? value->intOr(0) : 0;
    };
    const std::int64_t width = number("PixelWidth"), height = number("PixelHeight");
    const std::int64_t depth = std::clamp<std::int64_t>(number("Depth"), 8, 32);
    if (width <= 0 || height <= 0 || width > pixelLimit_ || height > pixelLimit_) return 0;
    const std::int64_t pixels = width * height;
    if (pixels > pixelLimit_) return 0;
    total += pixels * 4 * ((depth + 7) / 8);
  }
  return total;
}

std::optional<DepthData> ImageSource::depthData() const {
  std::lock_guard lock(mutex_);
  return decoder_->depthData();
}

}  // namespace imageio

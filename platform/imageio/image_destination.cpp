#include "platform/imageio/image_destination.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <new>

#include "platform/foundation/failure_cause.h"
#include "platform/foundation/log.h"
#include "platform/imageio/codec.h"
#include "platform/imageio/deferred_naming.h"
#include "platform/imageio/metadata.h"
#include "platform/imageio/unnamed_file.h"

namespace imageio {

namespace {

// Whether a frame brings metadata blocks that only the metadata writer puts
// into the file (the encoders handle resolution, orientation and the rest).
bool carriesMetadata(const Frame& frame) {
  for (const char* key : {"{Exif}", "{GPS}", "{IPTC}", kRawMetadataKey}) {
    if (const auto* value = frame.properties.get(key)) {
      if (const auto* dictionary = value->asDictionary(); dictionary == nullptr || !dictionary->empty())
        return true;
    }
  }
  return false;
}

// Notes why an encoder could not write the file at path: a full disk or
// file-size limit when the error or the file system says so.
void noteEncoderFailure(const std::string& path, int error) {
  if (error == ENOSPC || error == EDQUOT || error == EFBIG) {
    foundation::noteErrnoFailure(error, true);
    return;
  }
  struct statvfs space {};
  if (::statvfs(path.c_str(), &space) == 0 && space.f_bavail == 0) {
    foundation::noteFailure(foundation::FailureCause::DiskFull);
    return;
  }
  foundation::noteFailure(foundation::FailureCause::Other, "the image could not be encoded");
}

}  // namespace

std::unique_ptr<ImageDestination> ImageDestination::create(const std::string& path, const std::string& type,
                                                           std::size_t expectedCount) {
  const Codec* codec = codecForType(type);
  if (codec == nullptr || codec->write == nullptr || path.empty()) return nullptr;
  std::unique_ptr<ImageDestination> destination(new ImageDestination());
  destination->path_ = path;
  destination->type_ = codec->type;
  destination->expectedCount_ = expectedCount;
  destination->fileProperties_ = foundation::Value(foundation::Dictionary{});
  return destination;
}

bool ImageDestination::canWrite(const std::string& type) {
  const Codec* codec = codecForType(type);
  return codec != nullptr && codec->write != nullptr;
}

void ImageDestination::addImage(raster::ImageRef image, foundation::Value properties,
                                std::optional<DepthData> depth) {
  if (!properties.isDictionary()) properties = foundation::Value(foundation::Dictionary{});
  frames_.push_back(Frame{std::move(image), std::move(properties), std::move(depth)});
}

bool ImageDestination::finalize() {
  if (finalized_) {
    foundation::log("imageio: {} was already finalized", path_);
    return false;
  }
  finalized_ = true;
  if (frames_.empty()) {
    foundation::log("imageio: no image to write to {}", path_);
    return false;
  }
  for (const Frame& frame : frames_) {
    if (!frame.image) {
      foundation::log("imageio: a missing image cannot be written to {}", path_);
      return false;
    }
  }
  if (expectedCount_ != 0 && frames_.size() != expectedCount_) {
    foundation::log("imageio: {} images added to {}, {} expected", frames_.size(), path_, expectedCount_);
  }
  const Codec* codec = codecForType(type_);
  if (codec == nullptr || codec->write == nullptr) return false;

  // An oversized file must fail this write, not end the process.
  ignoreFileSizeSignal();
  std::unique_ptr<UnnamedFile> file = UnnamedFile::createFor(path_);
  if (!file) return false;
  bool ok = false;
  errno = 0;
  try {
    ok = codec->write(file->path(), frames_, fileProperties_);
    if (!ok) noteEncoderFailure(file->path(), errno);
  } catch (const std::bad_alloc&) {
    foundation::log("imageio: out of memory writing {}", path_);
    foundation::noteFailure(foundation::FailureCause::Other, "out of memory");
  }
  if (ok) {
    bool anyMetadata = false;
    for (const Frame& frame : frames_) anyMetadata = anyMetadata || carriesMetadata(frame);
    errno = 0;
    if (anyMetadata && !writeMetadata(file->path(), type_, frames_)) {
      foundation::log("imageio: metadata could not be written to {}", path_);
      noteEncoderFailure(file->path(), errno);
      ok = false;
    }
    // Under deferred naming the file is kept, flushed, for a later claim.
    if (DeferredNaming* deferred = DeferredNaming::current())
      ok = ok && deferred->keep(std::move(file), path_);
    else
      ok = ok && file->commit(path_);
  }
  if (!ok) foundation::log("imageio: writing {} failed", path_);
  return ok;
}

}  // namespace imageio

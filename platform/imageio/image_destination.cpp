#include "platform/imageio/image_destination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <new>

#include "platform/foundation/log.h"
#include "platform/imageio/codec.h"
#include "platform/imageio/metadata.h"

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

// A new empty file beside path; empty string when none can be made.
std::string makeTemporaryBeside(const std::string& path) {
  const std::filesystem::path target(path);
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern = (folder / ("." + target.filename().string() + ".velumar-XXXXXX")).string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return {};
  // mkstemp makes the file private; give it the permissions the old file
  // had, else those a new file would get.
  struct stat existing {};
  mode_t mode = 0;
  if (stat(path.c_str(), &existing) == 0) {
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);
  close(fd);
  return pattern;
}

bool syncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
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

  const std::string temporary = makeTemporaryBeside(path_);
  if (temporary.empty()) {
    foundation::log("imageio: cannot create a file beside {}", path_);
    return false;
  }
  bool ok = false;
  try {
    ok = codec->write(temporary, frames_, fileProperties_);
  } catch (const std::bad_alloc&) {
    foundation::log("imageio: out of memory writing {}", path_);
  }
  if (ok) {
    bool anyMetadata = false;
    for (const Frame& frame : frames_) anyMetadata = anyMetadata || carriesMetadata(frame);
    if (anyMetadata && !writeMetadata(temporary, type_, frames_)) {
      foundation::log("imageio: metadata could not be written to {}", path_);
      ok = false;
    }
    ok = ok && syncFile(temporary);
    if (ok && std::rename(temporary.c_str(), path_.c_str()) != 0) {
      foundation::log("imageio: cannot move the new file to {}", path_);
      ok = false;
    }
  }
  if (!ok) {
    std::remove(temporary.c_str());
    foundation::log("imageio: writing {} failed", path_);
  }
  return ok;
}

}  // namespace imageio

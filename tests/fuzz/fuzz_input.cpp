#include "fuzz/fuzz_input.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/imageio/codec.h"
#include "platform/imageio/image_source.h"
#include "platform/raster/pixel_layout.h"

namespace fuzzing {

InputFile::InputFile(const std::uint8_t* data, std::size_t size, bool named) : named_(named) {
  if (named) {
    std::error_code error;
    path_ = (std::filesystem::temp_directory_path(error) / "velumar-fuzz-XXXXXX").string();
    fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
  } else {
    fd_ = ::memfd_create("fuzz-input", MFD_CLOEXEC);
  }
  if (fd_ < 0) return;
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = ::write(fd_, data + written, size - written);
    if (n <= 0) {
      ::close(fd_);
      fd_ = -1;
      if (named_) ::unlink(path_.c_str());
      return;
    }
    written += std::size_t(n);
  }
  if (!named_) path_ = "/proc/self/fd/" + std::to_string(fd_);
}

InputFile::~InputFile() {
  if (fd_ < 0) return;
  ::close(fd_);
  if (named_) ::unlink(path_.c_str());
}

namespace {

// Images larger than this are opened but not decoded, to keep runs fast.
constexpr std::int64_t kDecodedPixels = 1 << 22;

// Stops the run when an opened image declares a size beyond the limits:
// every decoder must refuse those when it opens the file.
bool decodable(const foundation::Value& properties) {
  const std::int64_t width = properties.get("PixelWidth") ? properties.get("PixelWidth")->intOr(0) : 0;
  const std::int64_t height = properties.get("PixelHeight") ? properties.get("PixelHeight")->intOr(0) : 0;
  if (width > raster::kMaxDimension || height > raster::kMaxDimension ||
      (height > 0 && width > imageio::kDefaultPixelLimit / height)) {
    std::fprintf(stderr, "fuzz: an image of %lld x %lld was opened\n", static_cast<long long>(width),
                 static_cast<long long>(height));
    std::abort();
  }
  return width > 0 && height > 0 && width * height <= kDecodedPixels;
}

}  // namespace

void decodeEveryImage(const std::string& type, const std::uint8_t* data, std::size_t size) {
  InputFile file(data, size);
  if (!file.ok()) return;
  if (type.empty()) {
    const auto source = imageio::ImageSource::open(file.path());
    if (!source) return;
    source->fileProperties();
    for (std::size_t index = 0; index < source->count() && index < 8; ++index)
      if (decodable(source->properties(index))) source->createImage(index);
    return;
  }
  const imageio::Codec* codec = imageio::codecForType(type);
  if (codec == nullptr || codec->open == nullptr) return;
  const auto decoder = codec->open(file.path(), imageio::kDefaultPixelLimit);
  if (!decoder) return;
  for (std::size_t index = 0; index < decoder->count() && index < 8; ++index)
    if (decodable(decoder->properties(index))) decoder->decode(index, {});
}

}  // namespace fuzzing

#include "platform/imageio/type_detection.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/foundation/files.h"

#include "platform/imageio/codec.h"
#include "platform/imageio/image_source.h"

namespace imageio {

std::string typeForExtension(const std::string& extension) {
  if (extension.empty()) return {};
  const Codec* codec = codecForExtension(extension);
  return codec != nullptr ? codec->type : std::string();
}

namespace {

struct Head {
  std::uint8_t bytes[64] = {};
  std::size_t size = 0;
};

// The first bytes of a regular file; none for anything else (a FIFO would
// block the reader).
Head readHead(const std::string& path) {
  Head head;
  const int fd = foundation::openRegularFile(path);
  if (fd < 0) return head;
  while (head.size < sizeof head.bytes) {
    const ssize_t count = ::read(fd, head.bytes + head.size, sizeof head.bytes - head.size);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    head.size += std::size_t(count);
  }
  ::close(fd);
  return head;
}

const Codec* sniffedCodec(const Head& head) {
  if (head.size == 0) return nullptr;
  for (const Codec& codec : codecs()) {
    if (codec.sniff != nullptr && codec.sniff(head.bytes, head.size)) return &codec;
  }
  return nullptr;
}

// Bytes of each format's fixed header: what a file must hold at least to
// be worth handing to its decoder.
struct HeaderSize {
  const char* type;
  std::size_t bytes;
};
constexpr HeaderSize kHeaderSizes[] = {
    {"public.png", 33},          // signature and the IHDR chunk
    {"public.jpeg", 4},          // start of image and the next marker
    {"com.compuserve.gif", 13},  // signature and logical screen descriptor
    {"com.microsoft.bmp", 26},   // file header and the smallest info header
    {"public.tiff", 8},          // byte order, version and first directory
    {"com.adobe.photoshop-image", 26},
    {"com.apple.icns", 8},
    {"com.adobe.pdf", 8},
    {"public.heic", 12},
    {"org.webmproject.webp", 16},
};

}  // namespace

std::string typeFromContents(const std::string& path) {
  const Codec* codec = sniffedCodec(readHead(path));
  return codec != nullptr ? codec->type : std::string();
}

std::string typeFromHeader(const std::string& path) {
  const Head head = readHead(path);
  const Codec* codec = sniffedCodec(head);
  if (codec == nullptr) return {};
  for (const HeaderSize& header : kHeaderSizes) {
    if (codec->type == header.type && head.size < header.bytes) return {};
  }
  if (codec->type == "public.png" && std::memcmp(head.bytes + 12, "IHDR", 4) != 0) return {};
  if (codec->type == "public.jpeg" && head.bytes[3] < 0xC0) return {};
  return codec->type;
}

std::string typeOfFile(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
  if (std::string type = typeForExtension(extension); !type.empty()) return type;
  return typeFromContents(path);
}

std::string preferredExtension(const std::string& type) {
  const Codec* codec = codecForType(type);
  if (codec == nullptr || codec->extensions.empty()) return {};
  return codec->extensions.front();
}

bool isPlainRasterType(const std::string& type) {
  return type == "public.jpeg" || type == "public.png" || type == "public.tiff" ||
         type == "com.microsoft.bmp" || type == "public.heic" || type == "public.heif" ||
         type == "org.webmproject.webp";
}

bool isReadableImage(const std::string& path) {
  auto source = ImageSource::open(path);
  return source && source->count() > 0;
}

std::vector<std::string> readableTypes() {
  std::vector<std::string> types;
  for (const Codec& codec : codecs())
    if (codec.open != nullptr) types.push_back(codec.type);
  return types;
}

std::vector<std::string> writableTypes() {
  std::vector<std::string> types;
  for (const Codec& codec : codecs())
    if (codec.write != nullptr) types.push_back(codec.type);
  return types;
}

}  // namespace imageio

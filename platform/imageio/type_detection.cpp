#include "platform/imageio/type_detection.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "platform/imageio/codec.h"
#include "platform/imageio/image_source.h"

namespace imageio {

std::string typeForExtension(const std::string& extension) {
  if (extension.empty()) return {};
  const Codec* codec = codecForExtension(extension);
  return codec != nullptr ? codec->type : std::string();
}

std::string typeFromContents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  std::uint8_t head[64] = {};
  file.read(reinterpret_cast<char*>(head), sizeof head);
  const auto size = std::size_t(file.gcount());
  if (size == 0) return {};
  for (const Codec& codec : codecs()) {
    if (codec.sniff != nullptr && codec.sniff(head, size)) return codec.type;
  }
  return {};
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

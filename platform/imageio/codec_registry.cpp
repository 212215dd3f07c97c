#include <algorithm>

#include "platform/foundation/ascii_case.h"
#include "platform/imageio/codec.h"

namespace imageio {

const std::vector<Codec>& codecs() {
  static const std::vector<Codec> all = [] {
    std::vector<Codec> list;
    addRasterCodecs(list);
    addDocumentCodecs(list);
    return list;
  }();
  return all;
}

const Codec* codecForType(const std::string& type) {
  for (const auto& c : codecs()) {
    if (c.type == type) return &c;
    if (std::find(c.aliases.begin(), c.aliases.end(), type) != c.aliases.end()) return &c;
  }
  return nullptr;
}

const Codec* codecForExtension(const std::string& extension) {
  const std::string lower = foundation::asciiLowercase(extension);
  for (const auto& c : codecs())
    if (std::find(c.extensions.begin(), c.extensions.end(), lower) != c.extensions.end()) return &c;
  return nullptr;
}

}  // namespace imageio

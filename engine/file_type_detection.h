#pragma once
// The answer of file-type detection: the file's path with the canonical
// extension of its type appended, and the file-type code.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/file_type_codes.h"

namespace velumar {

struct FileTypeDetection {
  // The input's path plus "." and the canonical extension ("photo.jpeg" ->
  // "photo.jpeg.jpg"): the extension always names the type. Not a file
  // that exists.
  std::string path;
  std::int64_t fileType = FileType::OtherImage;

  // The extension of path, without the dot: what consumers compare.
  std::string canonicalExtension() const {
    auto slash = path.find_last_of('/');
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return path.substr(dot + 1);
  }

  bool operator==(const FileTypeDetection&) const = default;
};

}  // namespace velumar

#include "preview/preview_import.h"

#include <filesystem>

#include "engine/imported_image.h"

namespace velumar {

std::string firstOriginalPath(const std::vector<std::string>& paths, bool mediaFolder) {
  if (mediaFolder || paths.empty()) return {};
  return std::filesystem::path(paths.front()).parent_path().string();
}

OrganizedURLList findRecursiveDirectoryForArray(const std::vector<std::string>& paths,
                                                bool searchSubDirectory, bool mediaFolder,
                                                const std::string& firstOriginalPath,
                                                const SupportedImageCheck& isSupported) {
  OrganizedURLList entries;
  for (SourceFile& file :
       velumar::findRecursiveDirectoryForArray(paths, searchSubDirectory, isSupported).files) {
    auto entry = OrganizedURL::organizedURLWithPath(std::move(file.path), mediaFolder, firstOriginalPath);
    entry->parentPathKey = std::move(file.parentPath);
    entries.push_back(std::move(entry));
  }
  return entries;
}

PreviewScan scanForPreview(const std::vector<std::string>& paths, bool searchSubDirectory, bool mediaFolder,
                           const std::string& firstOriginalPath, const SupportedImageCheck& isSupported) {
  PreviewScan scan;
  const SupportedImageCheck noting = [&](const std::string& path) {
    if (isSupported && isSupported(path)) return true;
    if (ImportedImage::isImageFile(path)) scan.unreadableImages.push_back(path);
    return false;
  };
  scan.entries =
      findRecursiveDirectoryForArray(paths, searchSubDirectory, mediaFolder, firstOriginalPath, noting);
  return scan;
}

}  // namespace velumar

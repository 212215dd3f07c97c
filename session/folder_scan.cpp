#include "session/folder_scan.h"

#include <algorithm>
#include <filesystem>

#include "platform/foundation/files.h"
#include "platform/foundation/locale_compare.h"

namespace velumar {

namespace fs = std::filesystem;

namespace {

// The path without "." and ".." steps and without a trailing slash.
std::string normalFolderPath(const std::string& path) {
  std::string normal = fs::path(path).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

std::string withoutLastComponent(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash);
}

}  // namespace

std::string relativeParentPath(const std::string& filePath, const std::string& scannedFolder) {
  // "/" as the parent leaves the whole path, which already begins with a slash.
  std::string parent = withoutLastComponent(normalFolderPath(scannedFolder));
  std::string relative = filePath;
  if (!parent.empty() && relative.starts_with(parent + "/")) relative.erase(0, parent.size());
  return withoutLastComponent(relative);
}

void searchRecursiveSubDirectoryFrom(const std::string& folder, std::vector<SourceFile>& files,
                                     bool searchSubDirectory, const SupportedImageCheck& isSupported) {
  const std::string scanned = normalFolderPath(folder);
  // A whole disk is never scanned.
  if (foundation::isMountPoint(scanned)) return;

  std::vector<fs::path> entries;
  foundation::enumerateFiles(scanned, searchSubDirectory,
                             [&](const fs::path& entry) { entries.push_back(entry); });
  // By file name only, so the files of different subfolders interleave;
  // equal names keep a fixed order by their whole path.
  std::sort(entries.begin(), entries.end(), [](const fs::path& a, const fs::path& b) {
    const int byName = foundation::compareFileNames(a.filename().string(), b.filename().string());
    if (byName != 0) return byName < 0;
    return foundation::compareFileNames(a.string(), b.string()) < 0;
  });
  for (const fs::path& entry : entries) {
    const std::string path = entry.string();
    if (!isSupported || !isSupported(path)) continue;
    files.push_back(SourceFile{path, relativeParentPath(path, scanned)});
  }
}

FolderScanResult findRecursiveDirectoryForArray(const std::vector<std::string>& paths,
                                                bool searchSubDirectory,
                                                const SupportedImageCheck& isSupported) {
  FolderScanResult result;
  for (const std::string& path : paths) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) continue;
    if (fs::is_directory(status)) {
      searchRecursiveSubDirectoryFrom(path, result.files, searchSubDirectory, isSupported);
      if (result.files.empty()) result.scannedFolderLeftNothing = true;
      continue;
    }
    // A FIFO, socket or device would block or never end its reader.
    if (!fs::is_regular_file(status)) continue;
    if (isSupported && isSupported(path)) result.files.push_back(SourceFile{path, std::nullopt});
  }
  return result;
}

}  // namespace velumar

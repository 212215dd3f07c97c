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

// The folder of filePath below parent (the scanned folder's own parent),
// starting with the scanned folder's name.
std::string relativeParentWithin(std::string_view filePath, std::string_view parent) {
  // "/" as the parent leaves the whole path, which already begins with a slash.
  if (!parent.empty() && filePath.size() > parent.size() && filePath.starts_with(parent) &&
      filePath[parent.size()] == '/')
    filePath.remove_prefix(parent.size());
  const std::size_t slash = filePath.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(filePath.substr(0, slash));
}

}  // namespace

std::string relativeParentPath(const std::string& filePath, const std::string& scannedFolder) {
  return relativeParentWithin(filePath, withoutLastComponent(normalFolderPath(scannedFolder)));
}

void searchRecursiveSubDirectoryFrom(const std::string& folder, std::vector<SourceFile>& files,
                                     bool searchSubDirectory, const SupportedImageCheck& isSupported) {
  const std::string scanned = normalFolderPath(folder);
  // A whole disk is never scanned.
  if (foundation::isMountPoint(scanned)) return;

  // Each entry's whole path and where its name starts, taken once: the sort
  // compares them many times.
  struct Entry {
    std::string path;
    std::size_t nameStart;
    std::string_view name() const { return std::string_view(path).substr(nameStart); }
  };
  std::vector<Entry> entries;
  foundation::enumerateFiles(scanned, searchSubDirectory, [&](const fs::path& entry) {
    std::string path = entry.string();
    const std::size_t slash = path.rfind('/');
    entries.push_back(Entry{std::move(path), slash == std::string::npos ? 0 : slash + 1});
  });
  // By file name only, so the files of different subfolders interleave;
  // equal names keep a fixed order by their whole path.
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    const int byName = foundation::compareFileNames(a.name(), b.name());
    if (byName != 0) return byName < 0;
    return foundation::compareFileNames(a.path, b.path) < 0;
  });
  const std::string scannedParent = withoutLastComponent(scanned);
  for (Entry& entry : entries) {
    if (!isSupported || !isSupported(entry.path)) continue;
    std::string parent = relativeParentWithin(entry.path, scannedParent);
    files.push_back(SourceFile{std::move(entry.path), std::move(parent)});
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

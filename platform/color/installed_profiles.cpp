#include "platform/color/installed_profiles.h"

#include <lcms2.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/color/icc_profile_factory.h"
#include "platform/foundation/ascii_case.h"
#include "platform/foundation/files.h"

namespace color {
namespace {

constexpr std::size_t kMaxProfileBytes = 64u << 20;

bool hasProfileExtension(const std::filesystem::path& path) {
  const std::string extension = path.extension().string();
  return foundation::asciiEqualsIgnoringCase(extension, ".icc") ||
         foundation::asciiEqualsIgnoringCase(extension, ".icm");
}

std::vector<std::filesystem::path> profileFilesBelow(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return files;
  auto options = std::filesystem::directory_options::skip_permission_denied;
  for (std::filesystem::recursive_directory_iterator it(folder, options, error), end; !error && it != end;
       it.increment(error)) {
    std::error_code statError;
    if (it->is_regular_file(statError) && hasProfileExtension(it->path()) &&
        it->file_size(statError) <= kMaxProfileBytes && !statError)
      files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool readEntry(const std::filesystem::path& file, InstalledProfile& entry) {
  // Read through the regular-file check: a FIFO put there after the scan
  // must not block.
  const std::optional<foundation::Data> bytes = foundation::readFile(file.string(), kMaxProfileBytes);
  if (!bytes) return false;
  cmsHPROFILE handle = cmsOpenProfileFromMem(bytes->data(), cmsUInt32Number(bytes->size()));
  if (!handle) return false;
  entry.path = file.string();
  entry.deviceClass = Signature(cmsGetDeviceClass(handle));
  entry.dataColorSpace = Signature(cmsGetColorSpace(handle));
  entry.description = readDescription(handle);
  if (entry.description.empty()) entry.description = file.filename().string();
  cmsCloseProfile(handle);
  return true;
}

}  // namespace

std::vector<std::filesystem::path> installedProfileFolders() {
  // The base-directory rules: a data home that is unset, empty or not an
  // absolute path counts as unset.
  const auto variable = [](const char* name) -> std::string {
    const char* value = std::getenv(name);
    return value && *value == '/' ? std::string(value) : std::string();
  };
  const char* homeValue = std::getenv("HOME");
  const std::string home = homeValue && *homeValue ? homeValue : "";
  std::vector<std::filesystem::path> folders;
  std::string dataHome = variable("XDG_DATA_HOME");
  if (dataHome.empty() && !home.empty()) dataHome = home + "/.local/share";
  if (!dataHome.empty()) {
    folders.push_back(std::filesystem::path(dataHome) / "icc");
    folders.push_back(std::filesystem::path(dataHome) / "color/icc");
  }
  // Each relative entry of the list is ignored on its own; a list without
  // an absolute one counts as unset.
  const char* dirsValue = std::getenv("XDG_DATA_DIRS");
  std::vector<std::filesystem::path> dataDirs;
  const std::string listed = dirsValue ? dirsValue : "";
  std::size_t start = 0;
  while (start <= listed.size()) {
    const std::size_t end = std::min(listed.find(':', start), listed.size());
    const std::string dir = listed.substr(start, end - start);
    if (!dir.empty() && dir.front() == '/') dataDirs.push_back(dir);
    start = end + 1;
  }
  if (dataDirs.empty()) dataDirs = {"/usr/local/share", "/usr/share"};
  for (const auto& dir : dataDirs) folders.push_back(dir / "color/icc");
  if (!home.empty()) folders.push_back(std::filesystem::path(home) / ".color/icc");
  return folders;
}

std::vector<InstalledProfile> scanProfileFolders(const std::vector<std::filesystem::path>& folders) {
  installLcmsErrorHandler();
  std::vector<InstalledProfile> profiles;
  std::set<std::filesystem::path> seen;
  for (const auto& folder : folders) {
    for (const auto& file : profileFilesBelow(folder)) {
      std::error_code error;
      std::filesystem::path canonical = std::filesystem::weakly_canonical(file, error);
      if (!seen.insert(error ? file : canonical).second) continue;
      InstalledProfile entry;
      if (readEntry(file, entry)) profiles.push_back(std::move(entry));
    }
  }
  return profiles;
}

std::vector<InstalledProfile> installedProfiles() {
  static std::mutex mutex;
  static std::vector<std::filesystem::path> cachedFolders;
  static std::vector<InstalledProfile> cached;
  static bool scanned = false;
  std::vector<std::filesystem::path> folders = installedProfileFolders();
  std::lock_guard lock(mutex);
  if (!scanned || folders != cachedFolders) {
    cached = scanProfileFolders(folders);
    cachedFolders = std::move(folders);
    scanned = true;
  }
  return cached;
}

}  // namespace color

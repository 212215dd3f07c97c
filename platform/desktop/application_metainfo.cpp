// Metainfo files are parsed with GLib's markup parser: it expands no
// entities beyond XML's own, reads no external files and stops at the
// first error, so a hostile file costs at most one pass over its bytes.

#include "platform/desktop/application_metainfo.h"

#include <fcntl.h>
#include <glib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <vector>

#include "platform/foundation/log.h"

namespace desktop {
namespace {

// Metainfo files with every translation stay far below this.
constexpr std::size_t kMaxMetainfoBytes = std::size_t(2) << 20;
constexpr std::size_t kMaxVersionLength = 64;

// Only the first three levels matter: <component><releases><release>.
struct ReleaseScan {
  std::size_t depth = 0;  // open elements
  std::array<std::string, 3> path;
  std::string newest;
};

bool isUsableVersion(std::string_view version) {
  if (version.empty() || version.size() > kMaxVersionLength) return false;
  for (const char c : version)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  return true;
}

void startElement(GMarkupParseContext*, const gchar* name, const gchar** attributeNames,
                  const gchar** attributeValues, gpointer data, GError**) {
  auto& scan = *static_cast<ReleaseScan*>(data);
  if (++scan.depth > scan.path.size()) return;
  scan.path[scan.depth - 1] = name;
  // Older files have <application> for <component>.
  if (scan.depth != 3 || scan.path[2] != "release" || scan.path[1] != "releases" ||
      (scan.path[0] != "component" && scan.path[0] != "application"))
    return;
  for (std::size_t i = 0; attributeNames[i]; ++i) {
    if (strcmp(attributeNames[i], "version") != 0) continue;
    const std::string_view version = attributeValues[i];
    if (isUsableVersion(version) &&
        (scan.newest.empty() || strverscmp(attributeValues[i], scan.newest.c_str()) > 0))
      scan.newest = std::string(version);
  }
}

void endElement(GMarkupParseContext*, const gchar*, gpointer data, GError**) {
  auto& scan = *static_cast<ReleaseScan*>(data);
  --scan.depth;
}

// The file's bytes; false when it is missing, not a regular file (a FIFO
// would block) or larger than the cap.
bool readBounded(const std::string& path, std::string& bytes) {
  struct Descriptor {
    int fd;
    ~Descriptor() {
      if (fd >= 0) ::close(fd);
    }
  } file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  const int fd = file.fd;
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  bytes.clear();
  std::array<char, 65536> chunk;
  for (;;) {
    const ssize_t read = ::read(fd, chunk.data(), chunk.size());
    if (read < 0) return false;
    if (read == 0) return true;
    // The size is checked as it is read: the file may grow meanwhile.
    if (bytes.size() + std::size_t(read) > kMaxMetainfoBytes) {
      foundation::log("desktop: {} is larger than {} bytes; its version is not read", path,
                      kMaxMetainfoBytes);
      return false;
    }
    bytes.append(chunk.data(), std::size_t(read));
  }
}

}  // namespace

std::string newestReleaseVersion(const std::string& metainfoFile) {
  std::string metainfoXml;
  if (!readBounded(metainfoFile, metainfoXml)) return {};
  static const GMarkupParser parser = {startElement, endElement, nullptr, nullptr, nullptr};
  ReleaseScan scan;
  std::unique_ptr<GMarkupParseContext, void (*)(GMarkupParseContext*)> context(
      g_markup_parse_context_new(&parser, GMarkupParseFlags(0), &scan, nullptr), g_markup_parse_context_free);
  GError* error = nullptr;
  const bool parsed =
      g_markup_parse_context_parse(context.get(), metainfoXml.data(), gssize(metainfoXml.size()), &error) &&
      g_markup_parse_context_end_parse(context.get(), &error);
  if (error) g_error_free(error);
  return parsed ? scan.newest : std::string();
}

std::string applicationVersion(std::string_view desktopId) {
  std::string stem(desktopId);
  if (stem.ends_with(".desktop")) stem.resize(stem.size() - 8);
  if (stem.empty() || stem.find('/') != std::string::npos || stem.front() == '.') return {};
  std::vector<std::string> folders{g_get_user_data_dir()};
  for (const gchar* const* folder = g_get_system_data_dirs(); *folder; ++folder)
    folders.emplace_back(*folder);
  static const char* const kFiles[] = {"/metainfo/%.metainfo.xml", "/metainfo/%.appdata.xml",
                                       "/appdata/%.appdata.xml", "/appdata/%.metainfo.xml"};
  for (const std::string& folder : folders) {
    if (folder.empty() || folder.front() != '/') continue;
    for (std::string file : kFiles) {
      file.replace(file.find('%'), 1, stem);
      if (!g_file_test((folder + file).c_str(), G_FILE_TEST_IS_REGULAR)) continue;
      // The first file found names the application, with or without a version.
      return newestReleaseVersion(folder + file);
    }
  }
  return {};
}

}  // namespace desktop

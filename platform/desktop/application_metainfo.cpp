// Metainfo files are parsed with GLib's markup parser: it expands no
// entities beyond XML's own, reads no external files and stops at the
// first error, so a hostile file costs at most one pass over its bytes.

#include "platform/desktop/application_metainfo.h"

#include <fcntl.h>
#include <glib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "platform/desktop/version_order.h"
#include "platform/foundation/log.h"

namespace desktop {
namespace {

// Metainfo files with every translation stay far below this.
constexpr std::size_t kMaxMetainfoBytes = std::size_t(2) << 20;
constexpr std::size_t kMaxVersionLength = 64;
constexpr std::size_t kMaxIdLength = 255;
// Bounds of reading every file of the metainfo folders.
constexpr std::size_t kMaxFilesPerFolder = 4096;
constexpr std::size_t kMaxBytesOfAllFiles = std::size_t(64) << 20;

constexpr const char* kMetainfoFolders[] = {"/metainfo", "/appdata"};
constexpr const char* kMetainfoSuffixes[] = {".metainfo.xml", ".appdata.xml"};

// Only the first three levels matter: <component><releases><release>,
// <component><id> and <component><launchable>.
struct MetainfoScan {
  std::size_t depth = 0;  // open elements
  std::array<std::string, 3> path;
  std::string* text = nullptr;  // the element whose text is being read
  Metainfo found;
};

bool isRoot(const std::string& name) {
  // Older files have <application> for <component>.
  return name == "component" || name == "application";
}

const char* attribute(const gchar** names, const gchar** values, const char* wanted) {
  for (std::size_t i = 0; names[i]; ++i)
    if (strcmp(names[i], wanted) == 0) return values[i];
  return nullptr;
}

// Short text of printable characters: no control, format (bidi overrides,
// zero-width characters) or line-breaking characters.
bool isUsableVersion(std::string_view version) {
  if (version.empty() || version.size() > kMaxVersionLength ||
      !g_utf8_validate(version.data(), gssize(version.size()), nullptr))
    return false;
  for (const char* c = version.data(); c < version.data() + version.size(); c = g_utf8_next_char(c)) {
    switch (g_unichar_type(g_utf8_get_char(c))) {
      case G_UNICODE_CONTROL:
      case G_UNICODE_FORMAT:
      case G_UNICODE_LINE_SEPARATOR:
      case G_UNICODE_PARAGRAPH_SEPARATOR:
        return false;
      default:
        break;
    }
  }
  return true;
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") + 1 - first);
}

void takeRelease(MetainfoScan& scan, const gchar** names, const gchar** values) {
  const char* type = attribute(names, values, "type");
  if (type && strcmp(type, "stable") != 0) return;
  const char* attributeValue = attribute(names, values, "version");
  if (!attributeValue) return;
  // A tab or line break in the attribute reads as a space, kept at neither end.
  const std::string_view version = trimmed(attributeValue);
  if (!isUsableVersion(version)) return;
  std::string& newest = scan.found.version;
  if (newest.empty() || compareVersions(version, newest) > 0) newest = version;
}

void startElement(GMarkupParseContext*, const gchar* name, const gchar** attributeNames,
                  const gchar** attributeValues, gpointer data, GError**) {
  auto& scan = *static_cast<MetainfoScan*>(data);
  scan.text = nullptr;
  if (++scan.depth > scan.path.size()) return;
  scan.path[scan.depth - 1] = name;
  if (!isRoot(scan.path[0])) return;
  if (scan.depth == 2 && scan.path[1] == "id") {
    scan.found.componentId.clear();
    scan.text = &scan.found.componentId;
  } else if (scan.depth == 2 && scan.path[1] == "launchable") {
    const char* type = attribute(attributeNames, attributeValues, "type");
    if (type && strcmp(type, "desktop-id") == 0) scan.text = &scan.found.desktopIds.emplace_back();
  } else if (scan.depth == 3 && scan.path[1] == "releases" && scan.path[2] == "release") {
    takeRelease(scan, attributeNames, attributeValues);
  }
}

void elementText(GMarkupParseContext*, const gchar* text, gsize length, gpointer data, GError**) {
  auto& scan = *static_cast<MetainfoScan*>(data);
  // Ids are short; a longer text names nothing and is kept from growing.
  if (scan.text && scan.text->size() <= kMaxIdLength)
    scan.text->append(text, std::min<gsize>(length, kMaxIdLength + 1 - scan.text->size()));
}

void endElement(GMarkupParseContext*, const gchar*, gpointer data, GError**) {
  auto& scan = *static_cast<MetainfoScan*>(data);
  if (scan.text) {
    std::string& id = *scan.text;
    id = id.size() > kMaxIdLength ? std::string() : std::string(trimmed(id));
    scan.text = nullptr;
  }
  --scan.depth;
}

// The file's bytes; false when it is missing, not a regular file (a FIFO
// would block) or larger than limit, refused by its size before reading.
// Only the size found then is read, should the file grow meanwhile; every
// byte read is added to bytesRead.
bool readBounded(const std::string& path, std::string& bytes, std::size_t limit, std::size_t& bytesRead) {
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
  if (std::uint64_t(info.st_size) > limit) {
    foundation::log("desktop: {} is larger than {} bytes; its version is not read", path, limit);
    return false;
  }
  const std::size_t size = std::size_t(info.st_size);
  bytes.assign(size, '\0');
  std::size_t filled = 0;
  while (filled < size) {
    const ssize_t read = ::read(fd, bytes.data() + filled, size - filled);
    if (read < 0) return false;
    if (read == 0) break;  // shrunk meanwhile
    filled += std::size_t(read);
    bytesRead += std::size_t(read);
  }
  bytes.resize(filled);
  return true;
}

bool parseMetainfo(const std::string& xml, Metainfo& metainfo) {
  static const GMarkupParser parser = {startElement, endElement, elementText, nullptr, nullptr};
  MetainfoScan scan;
  std::unique_ptr<GMarkupParseContext, void (*)(GMarkupParseContext*)> context(
      g_markup_parse_context_new(&parser, GMarkupParseFlags(0), &scan, nullptr), g_markup_parse_context_free);
  GError* error = nullptr;
  const bool parsed = g_markup_parse_context_parse(context.get(), xml.data(), gssize(xml.size()), &error) &&
                      g_markup_parse_context_end_parse(context.get(), &error);
  if (error) g_error_free(error);
  if (parsed) metainfo = std::move(scan.found);
  return parsed;
}

bool isFile(const std::string& path) {
  return g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR);
}

// The names of a folder's metainfo files, sorted, at most kMaxFilesPerFolder.
std::vector<std::string> metainfoFileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::unique_ptr<GDir, void (*)(GDir*)> dir(g_dir_open(folder.c_str(), 0, nullptr), g_dir_close);
  if (!dir) return names;
  while (const gchar* name = g_dir_read_name(dir.get())) {
    const std::string_view file = name;
    if (std::none_of(std::begin(kMetainfoSuffixes), std::end(kMetainfoSuffixes),
                     [file](std::string_view suffix) { return file.ends_with(suffix); }))
      continue;
    if (names.size() == kMaxFilesPerFolder) {
      foundation::log("desktop: {} holds more than {} metainfo files; the rest are not read", folder,
                      kMaxFilesPerFolder);
      break;
    }
    names.emplace_back(file);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool namesApplication(const Metainfo& metainfo, const std::string& stem, std::string_view desktopId) {
  if (metainfo.componentId == stem || metainfo.componentId == desktopId) return true;
  return std::find(metainfo.desktopIds.begin(), metainfo.desktopIds.end(), desktopId) !=
         metainfo.desktopIds.end();
}

}  // namespace

bool readMetainfo(const std::string& metainfoFile, Metainfo& metainfo) {
  std::string xml;
  std::size_t bytesRead = 0;
  return readBounded(metainfoFile, xml, kMaxMetainfoBytes, bytesRead) && parseMetainfo(xml, metainfo);
}

std::string newestReleaseVersion(const std::string& metainfoFile) {
  Metainfo metainfo;
  return readMetainfo(metainfoFile, metainfo) ? metainfo.version : std::string();
}

ApplicationVersions::ApplicationVersions() {
  // GLib's folders, which are the ones GIO lists applications from.
  folders_.emplace_back(g_get_user_data_dir());
  for (const gchar* const* folder = g_get_system_data_dirs(); *folder; ++folder) folders_.emplace_back(*folder);
  std::erase_if(folders_, [](const std::string& folder) { return folder.empty() || folder.front() != '/'; });
}

std::string ApplicationVersions::fileNamedAfter(const std::string& stem, const std::string& desktopId) const {
  for (const std::string& folder : folders_)
    for (const char* metainfoFolder : kMetainfoFolders)
      for (const std::string& name : {stem, desktopId})
        for (const char* suffix : kMetainfoSuffixes)
          if (std::string file = folder + metainfoFolder + "/" + name + suffix; isFile(file)) return file;
  return {};
}

void ApplicationVersions::readAllFiles() {
  readAll_ = true;
  std::size_t bytesRead = 0;
  for (const std::string& folder : folders_) {
    for (const char* metainfoFolder : kMetainfoFolders) {
      const std::string path = folder + metainfoFolder;
      for (const std::string& name : metainfoFileNames(path)) {
        // Within the budget, a file is refused by its size before it is read.
        if (bytesRead >= kMaxBytesOfAllFiles) {
          foundation::log("desktop: metainfo files beyond {} bytes are not read", kMaxBytesOfAllFiles);
          return;
        }
        const std::size_t limit = std::min(kMaxMetainfoBytes, kMaxBytesOfAllFiles - bytesRead);
        std::string xml;
        Metainfo metainfo;
        if (readBounded(path + "/" + name, xml, limit, bytesRead) && parseMetainfo(xml, metainfo))
          all_.push_back(std::move(metainfo));
      }
    }
  }
}

std::string ApplicationVersions::versionOf(std::string_view desktopId) {
  std::string stem(desktopId);
  if (stem.ends_with(".desktop")) stem.resize(stem.size() - 8);
  if (stem.empty() || desktopId.find('/') != std::string_view::npos || stem.front() == '.') return {};
  // The first file found names the application, with or without a version.
  if (const std::string file = fileNamedAfter(stem, std::string(desktopId)); !file.empty())
    return newestReleaseVersion(file);
  if (!readAll_) readAllFiles();
  for (const Metainfo& metainfo : all_)
    if (namesApplication(metainfo, stem, desktopId)) return metainfo.version;
  return {};
}

}  // namespace desktop

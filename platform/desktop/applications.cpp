// Applications over GIO. GIO objects live in RAII holders; file lists are
// handed to GIO as GFile objects so names reach the application byte for byte.

#include "platform/desktop/applications.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/foundation/ascii_case.h"
#include "platform/foundation/log.h"

namespace desktop {
namespace {

struct GFree {
  void operator()(gpointer memory) const { g_free(memory); }
};
using OwnedString = std::unique_ptr<gchar, GFree>;

struct GErrorHolder {
  GError* error = nullptr;
  ~GErrorHolder() {
    if (error) g_error_free(error);
  }
  std::string message() const { return error ? error->message : "unknown error"; }
};

// Owns a list of GFile objects for one launch.
class FileList {
 public:
  explicit FileList(const std::vector<std::string>& paths) {
    for (const auto& path : paths) list_ = g_list_prepend(list_, g_file_new_for_path(path.c_str()));
    list_ = g_list_reverse(list_);
  }
  ~FileList() { g_list_free_full(list_, g_object_unref); }
  FileList(const FileList&) = delete;
  FileList& operator=(const FileList&) = delete;
  GList* get() const { return list_; }

 private:
  GList* list_ = nullptr;
};

GAppInfo* appInfo(const std::shared_ptr<void>& info) {
  return static_cast<GAppInfo*>(info.get());
}

bool isExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool isRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

Application Application::adopt(void* info) {
  Application application;
  if (info) application.info_ = std::shared_ptr<void>(info, [](void* object) { g_object_unref(object); });
  return application;
}

std::string Application::id() const {
  if (!info_) return {};
  const char* id = g_app_info_get_id(appInfo(info_));
  return id ? id : "";
}

std::string Application::displayName() const {
  if (!info_) return {};
  const char* name = g_app_info_get_display_name(appInfo(info_));
  return name ? name : "";
}

std::string Application::desktopFilePath() const {
  if (!info_ || !G_IS_DESKTOP_APP_INFO(appInfo(info_))) return {};
  const char* path = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(appInfo(info_)));
  return path ? path : "";
}

std::string Application::iconName() const {
  if (!info_) return {};
  GIcon* icon = g_app_info_get_icon(appInfo(info_));  // not owned
  if (!icon) return {};
  if (G_IS_FILE_ICON(icon)) {
    OwnedString path(g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon))));
    return path ? std::string(path.get()) : std::string();
  }
  if (G_IS_THEMED_ICON(icon)) {
    const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
    return names && names[0] ? std::string(names[0]) : std::string();
  }
  return {};
}

std::string Application::executablePath() const {
  if (!info_) return {};
  const char* executable = g_app_info_get_executable(appInfo(info_));
  if (!executable || !*executable) return {};
  // An absolute path comes back as it is when it is an executable file.
  OwnedString found(g_find_program_in_path(executable));
  if (!found) return {};
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(found.get(), error);
  return error ? std::string() : resolved.string();
}

bool Application::launch(const std::vector<std::string>& paths) const {
  if (!info_) return false;
  FileList files(paths);
  GErrorHolder error;
  if (!g_app_info_launch(appInfo(info_), files.get(), nullptr, &error.error)) {
    foundation::log("desktop: cannot launch {}: {}", displayName(), error.message());
    return false;
  }
  return true;
}

std::string contentTypeForFile(const std::string& path) {
  // The first bytes settle types the name leaves open; a short read is fine.
  char head[4096];
  std::size_t length = 0;
  std::ifstream stream(path, std::ios::binary);
  if (stream) {
    stream.read(head, sizeof head);
    length = static_cast<std::size_t>(stream.gcount());
  }
  OwnedString type(g_content_type_guess(
      path.c_str(), length ? reinterpret_cast<const guchar*>(head) : nullptr, length, nullptr));
  if (!type) return {};
  OwnedString mime(g_content_type_get_mime_type(type.get()));
  return mime ? std::string(mime.get()) : std::string(type.get());
}

Application defaultApplicationForContentType(const std::string& contentType) {
  if (contentType.empty()) return {};
  return Application::adopt(g_app_info_get_default_for_type(contentType.c_str(), FALSE));
}

std::string iconFilePath(const std::string& iconName) {
  if (iconName.empty()) return {};
  if (iconName.front() == '/') return isRegularFile(iconName) ? iconName : std::string();
  if (iconName.find('/') != std::string::npos || iconName == "." || iconName == "..") return {};
  std::vector<std::string> folders;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (dataHome && *dataHome == '/')
    folders.emplace_back(dataHome);
  else if (home && *home)
    folders.push_back(std::string(home) + "/.local/share");
  const char* dataDirs = std::getenv("XDG_DATA_DIRS");
  std::string list = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
  for (std::size_t start = 0; start <= list.size();) {
    const std::size_t end = std::min(list.find(':', start), list.size());
    if (end > start && list[start] == '/') folders.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  // Sizes a menu shows well first; scalable images need an SVG reader.
  static const char* const kThemeFiles[] = {"48x48/apps/%.png",   "64x64/apps/%.png", "32x32/apps/%.png",
                                            "128x128/apps/%.png", "24x24/apps/%.png", "256x256/apps/%.png",
                                            "22x22/apps/%.png",   "16x16/apps/%.png", "scalable/apps/%.svg"};
  static const char* const kPixmaps[] = {"%.png", "%.svg", "%.xpm"};
  const auto named = [&iconName](std::string pattern) {
    return pattern.replace(pattern.find('%'), 1, iconName);
  };
  for (const std::string& folder : folders) {
    for (const char* file : kThemeFiles)
      if (const std::string path = folder + "/icons/hicolor/" + named(file); isRegularFile(path)) return path;
    for (const char* file : kPixmaps)
      if (const std::string path = folder + "/pixmaps/" + named(file); isRegularFile(path)) return path;
  }
  return {};
}

Application defaultApplicationForUriScheme(const std::string& scheme) {
  if (scheme.empty()) return {};
  return Application::adopt(g_app_info_get_default_for_uri_scheme(scheme.c_str()));
}

std::vector<Application> applicationsForContentType(const std::string& contentType) {
  std::vector<Application> applications;
  if (contentType.empty()) return applications;
  GList* all = g_app_info_get_all_for_type(contentType.c_str());
  for (GList* item = all; item; item = item->next) applications.push_back(Application::adopt(item->data));
  g_list_free(all);  // the references now belong to the Application objects
  return applications;
}

std::vector<Application> installedApplications() {
  std::vector<Application> applications;
  GList* all = g_app_info_get_all();
  for (GList* item = all; item; item = item->next) applications.push_back(Application::adopt(item->data));
  g_list_free(all);  // the references now belong to the Application objects
  return applications;
}

bool desktopIdNamesApplication(std::string_view desktopId, std::string_view name) {
  constexpr std::string_view kSuffix = ".desktop";
  if (name.empty() || desktopId.size() <= kSuffix.size() ||
      foundation::asciiLowercase(desktopId.substr(desktopId.size() - kSuffix.size())) != kSuffix)
    return false;
  std::string_view stem = desktopId.substr(0, desktopId.size() - kSuffix.size());
  const auto dot = stem.rfind('.');
  if (dot != std::string_view::npos) stem = stem.substr(dot + 1);
  return foundation::asciiLowercase(stem) == foundation::asciiLowercase(name);
}

Application installedApplicationNamed(std::string_view name) {
  for (auto& application : installedApplications())
    if (desktopIdNamesApplication(application.id(), name)) return application;
  return {};
}

Application applicationFromDesktopFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  return Application::adopt(g_desktop_app_info_new_from_filename(path.c_str()));
}

Application applicationFromExecutable(const std::string& path) {
  if (!isExecutableFile(path)) return {};
  // An in-memory desktop entry rather than g_app_info_create_from_commandline,
  // whose "%f" would start one process per file. The Exec value is quoted for
  // GIO's shell-like parser, with "%" doubled so a percent sign in the path
  // is not read as a field code.
  OwnedString quoted(g_shell_quote(path.c_str()));
  std::string exec;
  for (const char* c = quoted.get(); *c; ++c) {
    exec += *c;
    if (*c == '%') exec += '%';
  }
  exec += " %F";
  OwnedString name(g_filename_display_basename(path.c_str()));
  std::unique_ptr<GKeyFile, void (*)(GKeyFile*)> entry(g_key_file_new(), g_key_file_unref);
  g_key_file_set_string(entry.get(), G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_TYPE,
                        G_KEY_FILE_DESKTOP_TYPE_APPLICATION);
  g_key_file_set_string(entry.get(), G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_NAME, name.get());
  g_key_file_set_string(entry.get(), G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_EXEC, exec.c_str());
  GDesktopAppInfo* created = g_desktop_app_info_new_from_keyfile(entry.get());
  if (!created) foundation::log("desktop: cannot use {} as an application", path);
  return Application::adopt(created);
}

bool isProgramOnPath(const std::string& name) {
  OwnedString found(g_find_program_in_path(name.c_str()));
  return found != nullptr;
}

bool spawnProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  std::vector<gchar*> arguments;
  for (const auto& argument : argv) arguments.push_back(const_cast<gchar*>(argument.c_str()));
  arguments.push_back(nullptr);
  GErrorHolder error;
  // Without G_SPAWN_DO_NOT_REAP_CHILD GLib reaps the child itself.
  if (!g_spawn_async(nullptr, arguments.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr,
                     &error.error)) {
    foundation::log("desktop: cannot start {}: {}", argv.front(), error.message());
    return false;
  }
  return true;
}

}  // namespace desktop

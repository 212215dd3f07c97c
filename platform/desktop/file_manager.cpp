#include "platform/desktop/file_manager.h"

#include <gio/gio.h>

#include <filesystem>
#include <memory>

#include "platform/foundation/log.h"

namespace desktop {
namespace {

constexpr int kCallTimeoutMilliseconds = 5000;

struct GErrorHolder {
  GError* error = nullptr;
  ~GErrorHolder() {
    if (error) g_error_free(error);
  }
  std::string message() const { return error ? error->message : "unknown error"; }
};

// The file URI of a path, byte for byte; empty when GIO cannot make one.
std::string fileURI(const std::string& path) {
  GFile* file = g_file_new_for_path(path.c_str());
  gchar* uri = g_file_get_uri(file);
  std::string result = uri ? uri : "";
  g_free(uri);
  g_object_unref(file);
  return result;
}

bool showThroughFileManagerService(const std::vector<std::string>& paths) {
  GErrorHolder busError;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &busError.error);
  if (!bus) {
    foundation::log("No session bus to reveal files: {}", busError.message());
    return false;
  }
  GVariantBuilder uris;
  g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
  for (const std::string& path : paths) {
    const std::string uri = fileURI(path);
    if (!uri.empty()) g_variant_builder_add(&uris, "s", uri.c_str());
  }
  GErrorHolder callError;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1",
      "ShowItems", g_variant_new("(ass)", &uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE,
      kCallTimeoutMilliseconds, nullptr, &callError.error);
  g_object_unref(bus);
  if (!reply) {
    foundation::log("The file manager did not show the files: {}", callError.message());
    return false;
  }
  g_variant_unref(reply);
  return true;
}

bool openFolderOfFile(const std::string& path) {
  const std::string uri = fileURI(std::filesystem::path(path).parent_path().string());
  GErrorHolder error;
  if (uri.empty() || !g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error.error)) {
    foundation::log("Cannot open the folder of {}: {}", path, error.message());
    return false;
  }
  return true;
}

}  // namespace

bool showItemsInFileManager(const std::vector<std::string>& paths) {
  if (paths.empty()) return false;
  return showThroughFileManagerService(paths) || openFolderOfFile(paths.front());
}

}  // namespace desktop

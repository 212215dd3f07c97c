#pragma once
// Revealing files in the desktop's file manager.
//
// This header includes no GLib header, so Qt code may include it.

#include <string>
#include <vector>

namespace desktop {

// Asks the file manager to show the files selected (D-Bus
// org.freedesktop.FileManager1.ShowItems on the session bus). When that
// fails, opens the first file's folder with its default handler. Failures
// are logged; answers whether either way was accepted.
bool showItemsInFileManager(const std::vector<std::string>& paths);

}  // namespace desktop

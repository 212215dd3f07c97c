#pragma once
// This binary's desktop: GLib reads the XDG folders once per process, so
// they are made private before any test runs. PNG and JPEG files are opened
// by "Viewer" and "Amp & Co"; this application is installed too, under
// another id, as the default of PNG files and folders, and as this very
// program under the name "Copy". Viewer and this application record what
// they are started with.

#include <string>
#include <vector>

namespace privatedesktop {

// The arguments the application ("viewer" or "velumar") was started with
// in this process; empty when it was not.
std::vector<std::string> recordedArguments(const std::string& application);

}  // namespace privatedesktop

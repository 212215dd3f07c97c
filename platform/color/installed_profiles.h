#pragma once
// The ICC profiles installed on the system: every .icc/.icm file below the
// XDG colour folders, with its header class, data colour space and
// description.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/color/icc_profile.h"

namespace color {

struct InstalledProfile {
  std::string path;
  Signature deviceClass = 0;
  Signature dataColorSpace = 0;
  // The profile's description, else its file name: never empty.
  std::string description;
};

// The profile folders of the base-directory rules, as the environment is
// now: $XDG_DATA_HOME/icc and $XDG_DATA_HOME/color/icc (the data home
// defaulting to ~/.local/share), color/icc below each of $XDG_DATA_DIRS
// (defaulting to /usr/local/share and /usr/share), then ~/.color/icc.
std::vector<std::filesystem::path> installedProfileFolders();

// The profiles below installedProfileFolders(), scanned once per set of
// folders and then answered from memory. Folder order, then path order
// within a folder; a file reached twice is listed once. Thread-safe.
std::vector<InstalledProfile> installedProfiles();

// Scans the given folders recursively, without caching. Files that are not
// readable ICC profiles are skipped.
std::vector<InstalledProfile> scanProfileFolders(const std::vector<std::filesystem::path>& folders);

}  // namespace color

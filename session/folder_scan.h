#pragma once
// The scan of dropped or opened items into the files of one request: files
// given directly are taken when they are supported images; folders are
// walked (optionally into subfolders), their supported files sorted by file
// name and tagged with their folder relative to the dropped folder's parent.

#include <functional>
#include <string>
#include <vector>

#include "session/conversion_request.h"

namespace velumar {

// Whether the file at path is an image the engine converts.
using SupportedImageCheck = std::function<bool(const std::string& path)>;

struct FolderScanResult {
  std::vector<SourceFile> files;
  // Some folder was scanned and nothing had been found right after it: a
  // drop of image-less folders ends silently instead of with an alert.
  bool scannedFolderLeftNothing = false;
};

// The items in the given order: folders are scanned with
// searchRecursiveSubDirectoryFrom, other paths are taken when supported
// (without a parent path). Vanished and unreadable items are skipped.
FolderScanResult findRecursiveDirectoryForArray(const std::vector<std::string>& paths,
                                                bool searchSubDirectory,
                                                const SupportedImageCheck& isSupported);

// Appends the supported files of folder, sorted by file name across all
// subfolders. Hidden entries, links to folders and mount points are never
// entered; a folder that is a mount point adds nothing.
void searchRecursiveSubDirectoryFrom(const std::string& folder, std::vector<SourceFile>& files,
                                     bool searchSubDirectory, const SupportedImageCheck& isSupported);

// The parent path of a file found in a scanned folder: the file's folder
// with the scanned folder's parent cut off at the front only
// ("/A/B/Trip/x/y.jpg" in "/A/B/Trip" gives "/Trip/x").
std::string relativeParentPath(const std::string& filePath, const std::string& scannedFolder);

}  // namespace velumar

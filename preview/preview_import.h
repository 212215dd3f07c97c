#pragma once
// Turning dropped, pasted or sent items into preview-list entries: files are
// taken when supported, folders are scanned (sorted by file name, hidden
// entries and other disks left out) and their files tagged with their folder.

#include <string>
#include <vector>

#include "preview/organized_url.h"
#include "session/folder_scan.h"

namespace velumar {

// The folder that held the first item, or "" in photo-library mode and for
// an empty list.
std::string firstOriginalPath(const std::vector<std::string>& paths, bool mediaFolder);

OrganizedURLList findRecursiveDirectoryForArray(const std::vector<std::string>& paths,
                                                bool searchSubDirectory, bool mediaFolder,
                                                const std::string& firstOriginalPath,
                                                const SupportedImageCheck& isSupported);

// The same scan, also noting the files it passed over whose name claims an
// image (bytes that are none, or not the kind named): they cannot be
// shown, and an import that adds nothing counts them among its files.
struct PreviewScan {
  OrganizedURLList entries;
  std::vector<std::string> unreadableImages;
};
PreviewScan scanForPreview(const std::vector<std::string>& paths, bool searchSubDirectory, bool mediaFolder,
                           const std::string& firstOriginalPath, const SupportedImageCheck& isSupported);

}  // namespace velumar

#pragma once
// One entry of the preview list: an image file, where its import came from
// and, for files found in a scanned folder, their folder relative to it.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "session/conversion_request.h"

namespace velumar {

struct LibraryLeaf;

struct OrganizedURL {
  // Paths are kept as bytes: names that are not UTF-8 survive unchanged.
  std::string path;
  // Came from a photo library (never from drops here, kept for the commands).
  bool mediaFolder = false;
  // The folder that held the first item of the import that added the entry;
  // empty for photo-library imports.
  std::string parentFolder;
  // The folder relative to the scanned folder's parent ("/Trip/x"), read by
  // the conversion session to rebuild the hierarchy; none for files given
  // directly and after the entry left the list.
  std::optional<std::string> parentPathKey;
  // The library-tree leaf that shows this entry; empty until the tree is built.
  std::weak_ptr<LibraryLeaf> urlLibraryNode;

  static std::shared_ptr<OrganizedURL> organizedURLWithPath(std::string path, bool mediaFolder,
                                                            std::string parentFolder);
  // A new entry with the same fields (and the same tree leaf).
  std::shared_ptr<OrganizedURL> copy() const;

  std::string fileName() const;
  std::string folderPath() const;
  SourceFile sourceFile() const { return {path, parentPathKey}; }
  // Entries are equal when their files are; the tree finds them by identity.
  bool operator==(const OrganizedURL& other) const { return path == other.path; }
};

using OrganizedURLRef = std::shared_ptr<OrganizedURL>;
using OrganizedURLList = std::vector<OrganizedURLRef>;

// The selected positions of the list and the position of the current image.
struct OrganizedIndexSet {
  // No current image (the largest signed integer, as positions are signed elsewhere).
  static constexpr std::size_t kNotFound = std::size_t(std::numeric_limits<std::int64_t>::max());

  std::size_t imageCount = kNotFound;  // a position, not a count
  std::vector<std::size_t> indexSet;   // ascending, each once

  static OrganizedIndexSet withIndex(std::size_t index, std::size_t current);
  static OrganizedIndexSet withIndexesInRange(std::size_t first, std::size_t length, std::size_t current);
  static OrganizedIndexSet withIndexSet(std::vector<std::size_t> indexes, std::size_t current);

  bool contains(std::size_t index) const;
  bool operator==(const OrganizedIndexSet& other) const = default;
};

}  // namespace velumar

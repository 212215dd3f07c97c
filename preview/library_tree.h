#pragma once
// The library: the preview list grouped by folder as a two-level outline
// (one node per folder that holds listed files, the files as leaves), and
// the mapping between the outline's selection and the list's.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "preview/organized_url.h"

namespace velumar {

struct LibraryFolder;

struct LibraryLeaf {
  std::string pathValue;  // the file name
  std::weak_ptr<OrganizedURL> pathOrganizedURL;
  std::weak_ptr<LibraryFolder> folder;
};

struct LibraryFolder {
  std::string pathValue;                               // "<folder> (<number of files>)"
  std::string pathValueURL;                            // the folder's full path
  std::vector<std::shared_ptr<LibraryLeaf>> children;  // in list order
};

using LibraryTree = std::vector<std::shared_ptr<LibraryFolder>>;

// Groups the entries by the folder of their own path (folders are not
// nested), orders the folders as a file manager lists names and links
// every entry to its leaf.
LibraryTree buildLibraryTree(const OrganizedURLList& entries);

// The folders that hold the selected entries, in selection order, each once: the
// ones the outline expands (all others collapse) and selects with the leaves.
std::vector<std::shared_ptr<LibraryFolder>> foldersOfSelection(const OrganizedURLList& entries,
                                                               const OrganizedIndexSet& selection);

// The list selection for leaves picked in the outline: their positions (found
// by identity), the lowest current. Folders contribute nothing; none when no
// leaf maps into the list.
std::optional<OrganizedIndexSet> selectionForLeaves(const std::vector<std::shared_ptr<LibraryLeaf>>& leaves,
                                                    const OrganizedURLList& entries);

}  // namespace velumar

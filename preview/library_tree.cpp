#include "preview/library_tree.h"

#include <algorithm>
#include <map>

#include <fmt/format.h>

#include "platform/foundation/locale_compare.h"

namespace velumar {

LibraryTree buildLibraryTree(const OrganizedURLList& entries) {
  std::map<std::string, std::shared_ptr<LibraryFolder>> byPath;
  for (const auto& entry : entries) {
    auto& folder = byPath[entry->folderPath()];
    if (!folder) {
      folder = std::make_shared<LibraryFolder>();
      folder->pathValueURL = entry->folderPath();
    }
    auto leaf = std::make_shared<LibraryLeaf>(LibraryLeaf{entry->fileName(), entry, folder});
    folder->children.push_back(leaf);
    entry->urlLibraryNode = leaf;
  }
  LibraryTree tree;
  for (auto& [path, folder] : byPath) {
    folder->pathValue = fmt::format("{} ({})", path, folder->children.size());
    tree.push_back(folder);
  }
  std::stable_sort(tree.begin(), tree.end(), [](const auto& a, const auto& b) {
    return foundation::compareFileNames(a->pathValueURL, b->pathValueURL) < 0;
  });
  return tree;
}

std::vector<std::shared_ptr<LibraryFolder>> foldersOfSelection(const OrganizedURLList& entries,
                                                               const OrganizedIndexSet& selection) {
  std::vector<std::shared_ptr<LibraryFolder>> folders;
  for (std::size_t index : selection.indexSet) {
    if (index >= entries.size()) continue;
    const auto leaf = entries[index]->urlLibraryNode.lock();
    const auto folder = leaf ? leaf->folder.lock() : nullptr;
    if (folder && std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(folder);
  }
  return folders;
}

std::optional<OrganizedIndexSet> selectionForLeaves(const std::vector<std::shared_ptr<LibraryLeaf>>& leaves,
                                                    const OrganizedURLList& entries) {
  std::vector<std::size_t> positions;
  for (const auto& leaf : leaves) {
    const auto entry = leaf ? leaf->pathOrganizedURL.lock() : nullptr;
    const auto found = std::find(entries.begin(), entries.end(), entry);
    if (entry && found != entries.end()) positions.push_back(std::size_t(found - entries.begin()));
  }
  if (positions.empty()) return std::nullopt;
  const std::size_t current = *std::min_element(positions.begin(), positions.end());
  return OrganizedIndexSet::withIndexSet(std::move(positions), current);
}

}  // namespace velumar

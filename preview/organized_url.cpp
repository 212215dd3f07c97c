#include "preview/organized_url.h"

#include <algorithm>
#include <filesystem>

namespace velumar {

std::shared_ptr<OrganizedURL> OrganizedURL::organizedURLWithPath(std::string path, bool mediaFolder,
                                                                 std::string parentFolder) {
  auto entry = std::make_shared<OrganizedURL>();
  entry->path = std::move(path);
  entry->mediaFolder = mediaFolder;
  entry->parentFolder = std::move(parentFolder);
  return entry;
}

std::shared_ptr<OrganizedURL> OrganizedURL::copy() const {
  return std::make_shared<OrganizedURL>(*this);
}

std::string OrganizedURL::fileName() const {
  return std::filesystem::path(path).filename().string();
}

std::string OrganizedURL::folderPath() const {
  return std::filesystem::path(path).parent_path().string();
}

OrganizedIndexSet OrganizedIndexSet::withIndex(std::size_t index, std::size_t current) {
  return {current, {index}};
}

OrganizedIndexSet OrganizedIndexSet::withIndexesInRange(std::size_t first, std::size_t length,
                                                        std::size_t current) {
  OrganizedIndexSet set{current, {}};
  for (std::size_t i = 0; i < length; ++i) set.indexSet.push_back(first + i);
  return set;
}

OrganizedIndexSet OrganizedIndexSet::withIndexSet(std::vector<std::size_t> indexes, std::size_t current) {
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  return {current, std::move(indexes)};
}

bool OrganizedIndexSet::contains(std::size_t index) const {
  return std::binary_search(indexSet.begin(), indexSet.end(), index);
}

}  // namespace velumar

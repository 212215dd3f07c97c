#include "preview/library_roots.h"

#include <algorithm>
#include <vector>

#include "platform/foundation/locale_compare.h"

namespace velumar {

namespace {

// "/a/b" -> {"/", "a", "b"}; empty components (doubled or trailing slashes) are dropped.
std::vector<std::string> pathComponents(const std::string& path) {
  std::vector<std::string> components;
  if (!path.empty() && path.front() == '/') components.emplace_back("/");
  std::size_t start = 0;
  while (start < path.size()) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    if (end > start) components.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return components;
}

std::size_t sharedCount(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  std::size_t count = 0;
  while (count < a.size() && count < b.size() && foundation::localizedEqual(a[count], b[count])) ++count;
  return count;
}

std::string joinComponents(const std::vector<std::string>& components, std::size_t count) {
  if (count == 0) return {};
  const bool absolute = components.front() == "/";
  std::string path = absolute ? std::string(1, '/') : components.front();
  for (std::size_t i = 1; i < count; ++i) {
    if (i > 1 || !absolute) path.push_back('/');
    path.append(components[i]);
  }
  return path;
}

}  // namespace

std::string verifyFileUrlsRootPath(const std::string& newPath, const std::string& currentRoot) {
  const auto root = pathComponents(currentRoot);
  return joinComponents(root, sharedCount(pathComponents(newPath), root));
}

std::string verifyFileUrlsRootPathForPreviewArray(const OrganizedURLList& entries) {
  std::vector<std::string> folders;
  for (const auto& entry : entries)
    if (std::find(folders.begin(), folders.end(), entry->parentFolder) == folders.end())
      folders.push_back(entry->parentFolder);
  if (folders.empty()) return {};
  auto root = pathComponents(folders.front());
  for (std::size_t i = 1; i < folders.size() && root.size() >= 2; ++i)
    root.resize(sharedCount(pathComponents(folders[i]), root));
  return joinComponents(root, root.size());
}

}  // namespace velumar

#include <filesystem>
#include <string_view>

#include "engine/imported_image.h"
#include "platform/foundation/files.h"
#include "session/output_names.h"
#include "session/processing_session.h"
#include "session/session_info.h"

namespace velumar {

namespace fs = std::filesystem;

namespace {

// Whether parentPath is a chain of plain components below one leading "/":
// no empty, "." or ".." component and no NUL.
bool isPlainRelativeChain(std::string_view parentPath) {
  if (parentPath.empty() || parentPath.front() != '/') return false;
  parentPath.remove_prefix(1);
  if (parentPath.empty()) return false;
  while (true) {
    const std::size_t slash = parentPath.find('/');
    const std::string_view component = parentPath.substr(0, slash);
    if (component.empty() || component == "." || component == ".." ||
        component.find('\0') != std::string_view::npos)
      return false;
    if (slash == std::string_view::npos) return true;
    parentPath.remove_prefix(slash + 1);
  }
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// The subfolder for a kept hierarchy, made when missing and make is set;
// nothing when it cannot be used.
std::optional<std::string> hierarchyFolder(const std::string& outputFolder, const std::string& parentPath,
                                           bool make) {
  if (!isPlainRelativeChain(parentPath)) return std::nullopt;
  std::string folder = outputFolder;
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  folder += parentPath;
  std::error_code error;
  if (make && !fs::is_directory(folder, error)) fs::create_directories(folder, error);
  if (!fs::is_directory(folder, error)) return std::nullopt;
  return folder;
}

}  // namespace

std::string ProcessingSession::createPathFileForSession(const SessionInfo& session,
                                                        std::int64_t conversionCode) const {
  const SourceFile source = session.processedURL().value_or(SourceFile{});
  if (const std::shared_ptr<ImportedImage> engine = session.processedImage()) {
    std::vector<std::string> tags;
    if (session.canUseTags) tags = foundation::readTags(source.path);
    engine->setActFileTags(tags.empty() ? std::nullopt : std::optional(std::move(tags)));
  }

  const std::string ownName = conversionCode >= 0 ? updateFileNameForURL(source.path, conversionCode)
                                                  : fs::path(source.path).filename().string();
  const std::string name = renamedFileName(ownName, session);

  const std::string outputFolder = session.parentDirectory().value_or("");
  if (source.parentPath && session.maintainHierarchy) {
    if (std::optional<std::string> folder = hierarchyFolder(outputFolder, *source.parentPath, true))
      return joinPath(*folder, name);
  }
  return joinPath(outputFolder, name);
}

std::string ProcessingSession::existingOutputFolderForSource(const SessionInfo& session,
                                                             const SourceFile& source) {
  const std::string outputFolder = session.parentDirectory().value_or("");
  if (!source.parentPath || !session.maintainHierarchy) return outputFolder;
  // A subfolder that cannot be used takes the output folder itself.
  if (!isPlainRelativeChain(*source.parentPath)) return outputFolder;
  return hierarchyFolder(outputFolder, *source.parentPath, false).value_or("");
}

std::string ProcessingSession::verifyPathName(const std::string& path) {
  return foundation::freeName(path);
}

}  // namespace velumar

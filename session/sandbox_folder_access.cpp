#include "session/sandbox_folder_access.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "engine/failure_causes.h"
#include "platform/foundation/log.h"
#include "session/processing_queues.h"
#include "session/processing_view.h"
#include "session/session_info.h"

namespace velumar {

std::shared_ptr<SandboxFolderAccess> SandboxFolderAccess::fileAccess() {
  return std::make_shared<SandboxFolderAccess>();
}

namespace {
bool isAbsolutePathText(const std::string& path) {
  return !path.empty() && path.front() == '/' && path.find('\0') == std::string::npos;
}
}  // namespace

std::optional<std::string> SandboxFolderAccess::usableFolder(const std::string& path) {
  if (!isAbsolutePathText(path)) return std::nullopt;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
  struct stat info;
  if (::stat(resolved, &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
  if (::access(resolved, W_OK | X_OK) != 0) return std::nullopt;
  return std::string(resolved);
}

bool SandboxFolderAccess::accessFilePath(const std::optional<std::string>& path, Block block,
                                         bool ignoreBookmark, bool /*persistPermission*/, bool asyncQueue,
                                         ProcessingView* chooser) {
  if (path && !isAbsolutePathText(*path)) {
    foundation::log("Output folder path is not absolute: {}", *path);
    return false;
  }
  if (path && ignoreBookmark) {
    if (asyncQueue)
      ProcessingQueues::shared().runAsync(std::move(block));
    else
      ProcessingQueues::shared().runSync(block);
    return true;
  }

  std::optional<std::string> folder;
  if (path) {
    folder = usableFolder(*path);
    if (!folder) foundation::log("Output folder is not usable: {}", *path);
  } else {
    std::optional<std::string> chosen;
    runOnMainQueueSync([&] {
      if (chooser) chosen = chooser->chooseDestinationFolder(FolderChooserTexts{});
    });
    if (!chosen) return false;
    folder = usableFolder(*chosen);
    std::lock_guard guard(lock_);
    if (!folder) {
      foundation::log("Chosen folder is not usable: {}", *chosen);
      refusedFolder_ = RefusedFolder{*chosen, folderFailure(*chosen)};
      return false;
    }
    filePathFromOpenFile_ = folder;
  }
  if (!folder) return false;
  ProcessingQueues::shared().runAsync(std::move(block));
  return true;
}

foundation::Failure SandboxFolderAccess::folderFailure(const std::string& path) {
  if (foundation::Failure unusable = destinationFolderFailure(path)) return unusable;
  return foundation::Failure{foundation::FailureCause::Other, {}};
}

std::optional<SandboxFolderAccess::RefusedFolder> SandboxFolderAccess::refusedFolder() const {
  std::lock_guard guard(lock_);
  return refusedFolder_;
}

std::optional<std::string> SandboxFolderAccess::filePathFromOpenFile() const {
  std::lock_guard guard(lock_);
  return filePathFromOpenFile_;
}

}  // namespace velumar

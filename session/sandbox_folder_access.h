#pragma once
// Access to the output folder of a batch: the batch's block runs on a new
// serial queue "imageProcessingQueue" once the folder is known to be usable,
// i.e. an existing directory the user may enter and write into. Without a
// folder the user chooses one in the destination folder chooser.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/failure_cause.h"

namespace velumar {

class ProcessingView;

class SandboxFolderAccess {
 public:
  using Block = std::function<void()>;

  // A new object on every call.
  static std::shared_ptr<SandboxFolderAccess> fileAccess();

  // Runs block with access to path (standardised, links resolved):
  // A path that is empty, relative or holds NUL is refused first.
  // - ignoreBookmark: on a new queue, synchronously on the calling thread
  //   unless asyncQueue; no check, answers true.
  // - a path: refused (false, block not run) unless usableFolder accepts
  //   it; otherwise block is submitted to a new queue, answers true at once.
  // - no path: the view's chooser (on the main thread) picks the folder,
  //   which becomes filePathFromOpenFile and must pass the same check.
  // persistPermission has no effect: nothing needs remembering here.
  bool accessFilePath(const std::optional<std::string>& path, Block block, bool ignoreBookmark,
                      bool persistPermission, bool asyncQueue, ProcessingView* chooser);

  // The folder chosen in the chooser, standardised and with links resolved.
  std::optional<std::string> filePathFromOpenFile() const;

  // The one access check: the canonical path of an existing directory that
  // our real identity may enter and write into; nothing otherwise (empty,
  // relative, NUL inside, missing, link loop, not a directory, no access).
  static std::optional<std::string> usableFolder(const std::string& path);
  // Why usableFolder refuses path.
  static foundation::Failure folderFailure(const std::string& path);

  // A folder picked in the chooser that usableFolder refused, and why.
  struct RefusedFolder {
    std::string path;
    foundation::Failure failure;
  };
  std::optional<RefusedFolder> refusedFolder() const;

 private:
  mutable std::mutex lock_;
  std::optional<std::string> filePathFromOpenFile_;
  std::optional<RefusedFolder> refusedFolder_;
};

}  // namespace velumar

#include "engine/failure_causes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velumar {

using foundation::Failure;
using foundation::FailureCause;

Failure takeSourceFailure(const std::string& path) {
  if (Failure noted = foundation::takeFailure()) return noted;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return Failure{foundation::failureCauseFromErrno(errno, false), {}};
  if (!S_ISREG(info.st_mode)) return Failure{FailureCause::SourceUnreadable, {}};
  if (::access(path.c_str(), R_OK) != 0) return Failure{FailureCause::SourceUnreadable, {}};
  return Failure{FailureCause::FormatNotSupported, {}};
}

Failure destinationFolderFailure(const std::string& folder) {
  struct stat info {};
  if (folder.empty()) return Failure{FailureCause::DestinationMissing, {}};
  if (::stat(folder.c_str(), &info) != 0) {
    const FailureCause cause = foundation::failureCauseFromErrno(errno, true);
    return Failure{cause == FailureCause::Other ? FailureCause::DestinationMissing : cause, {}};
  }
  if (!S_ISDIR(info.st_mode)) return Failure{FailureCause::DestinationNotAFolder, {}};
  if (::access(folder.c_str(), W_OK | X_OK) == 0) return Failure{};
  if (errno == EROFS || (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    return Failure{FailureCause::DestinationReadOnly, {}};
  return Failure{FailureCause::PermissionDenied, {}};
}

Failure takeWriteFailure(const std::optional<std::string>& folder) {
  if (Failure noted = foundation::takeFailure()) return noted;
  if (!folder) return Failure{FailureCause::DestinationMissing, {}};
  if (Failure unusable = destinationFolderFailure(*folder)) return unusable;
  return Failure{FailureCause::Other, {}};
}

}  // namespace velumar

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

Failure takeWriteFailure(const std::optional<std::string>& folder) {
  if (Failure noted = foundation::takeFailure()) return noted;
  struct stat info {};
  if (!folder || ::stat(folder->c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return Failure{FailureCause::DestinationMissing, {}};
  if (::access(folder->c_str(), W_OK | X_OK) != 0) return Failure{FailureCause::PermissionDenied, {}};
  return Failure{FailureCause::Other, {}};
}

}  // namespace velumar

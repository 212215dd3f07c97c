#include "platform/foundation/failure_cause.h"

#include <cerrno>
#include <utility>

namespace foundation {

namespace {
thread_local Failure threadFailure;
}

std::string_view failureCauseText(FailureCause cause) {
  switch (cause) {
    case FailureCause::None: return "No failure.";
    case FailureCause::FileNameTooLong: return "The file name is too long.";
    case FailureCause::DiskFull: return "The disk is full.";
    case FailureCause::PermissionDenied: return "The destination folder is not writable.";
    case FailureCause::DestinationReadOnly: return "The destination folder is read-only.";
    case FailureCause::DestinationMissing: return "The destination folder does not exist.";
    case FailureCause::DestinationNotAFolder: return "The destination is not a folder.";
    case FailureCause::SourceMissing: return "The source file does not exist.";
    case FailureCause::SourceUnreadable: return "The source file cannot be read.";
    case FailureCause::SourceDamaged: return "The source file is damaged or incomplete.";
    case FailureCause::ImageTooLarge: return "The image is too large.";
    case FailureCause::FormatNotSupported: return "The file format is not supported.";
    case FailureCause::FolderInTheWay: return "A folder has the output file's name.";
    case FailureCause::Cancelled: return "Cancelled.";
    case FailureCause::Other: return "An unexpected error occurred.";
  }
  return "An unexpected error occurred.";
}

FailureCause failureCauseFromErrno(int error, bool writing) {
  switch (error) {
    case 0: return FailureCause::None;
    case ENAMETOOLONG: return FailureCause::FileNameTooLong;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FailureCause::DiskFull;
    case EACCES:
    case EPERM: return writing ? FailureCause::PermissionDenied : FailureCause::SourceUnreadable;
    case EROFS: return writing ? FailureCause::DestinationReadOnly : FailureCause::SourceUnreadable;
    case ENOENT:
    case ENOTDIR: return writing ? FailureCause::DestinationMissing : FailureCause::SourceMissing;
    case ELOOP: return writing ? FailureCause::DestinationMissing : FailureCause::SourceUnreadable;
    case EISDIR: return writing ? FailureCause::FolderInTheWay : FailureCause::SourceUnreadable;
    case ENXIO:
    case ENODEV:
    case EWOULDBLOCK: return writing ? FailureCause::Other : FailureCause::SourceUnreadable;
    case EIO: return writing ? FailureCause::Other : FailureCause::SourceUnreadable;
    default: return FailureCause::Other;
  }
}

bool isSourceCause(FailureCause cause) {
  switch (cause) {
    case FailureCause::SourceMissing:
    case FailureCause::SourceUnreadable:
    case FailureCause::SourceDamaged:
    case FailureCause::ImageTooLarge:
    case FailureCause::FormatNotSupported: return true;
    default: return false;
  }
}

std::string Failure::describe() const {
  std::string text(failureCauseText(cause));
  if (!detail.empty()) text += " (" + detail + ")";
  return text;
}

void noteFailure(FailureCause cause, std::string_view detail) {
  if (cause == FailureCause::None || threadFailure) return;
  threadFailure.cause = cause;
  threadFailure.detail.assign(detail);
}

void noteErrnoFailure(int error, bool writing, std::string_view detail) {
  noteFailure(failureCauseFromErrno(error, writing), detail);
}

Failure lastFailure() { return threadFailure; }

Failure takeFailure() { return std::exchange(threadFailure, Failure{}); }

void clearFailure() { threadFailure = Failure{}; }

FailureScope::FailureScope() : saved_(takeFailure()) {}

FailureScope::~FailureScope() { threadFailure = std::move(saved_); }

}  // namespace foundation

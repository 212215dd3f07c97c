#pragma once
// Why one file could not be read, decoded or written. Shared by the decoders,
// the engine, the batch session's failure list and the preview's placeholder,
// so every layer names the same cause in the same words.
//
// A failing call notes its cause on the calling thread (like errno); the
// caller that reports the failure takes it. The first cause noted since the
// last clear wins, because the deepest, earliest failure is the real one
// ("source missing" rather than the "format not supported" that follows it).

#include <string>
#include <string_view>

namespace foundation {

enum class FailureCause {
  None,
  FileNameTooLong,
  DiskFull,
  PermissionDenied,  // the destination refuses our writes
  DestinationReadOnly,
  DestinationMissing,
  DestinationNotAFolder,  // the destination path names a file
  FolderInTheWay,  // a folder holds the output file's name
  SourceMissing,
  SourceUnreadable,
  SourceDamaged,
  ImageTooLarge,
  FormatNotSupported,
  Cancelled,
  Other,
};

// A short sentence a user can read, e.g. "The disk is full.".
std::string_view failureCauseText(FailureCause cause);

// The cause an errno value stands for. writing picks the destination's
// causes (missing folder, permission) over the source's; a source that
// cannot be opened (permission, a link loop, a folder) cannot be read.
FailureCause failureCauseFromErrno(int error, bool writing);

// Whether cause is about reading a source (missing, unreadable, damaged,
// too large, not supported) rather than writing an output or a cancel.
bool isSourceCause(FailureCause cause);

struct Failure {
  FailureCause cause = FailureCause::None;
  std::string detail;  // optional extra words (a library's message), may be empty

  explicit operator bool() const { return cause != FailureCause::None; }
  // failureCauseText, followed by the detail in parentheses when there is one.
  std::string describe() const;
};

// Notes a cause on this thread unless one is noted already.
void noteFailure(FailureCause cause, std::string_view detail = {});
// Notes the cause of errno (see failureCauseFromErrno).
void noteErrnoFailure(int error, bool writing, std::string_view detail = {});
// The cause noted on this thread since the last clear (None when nothing was).
Failure lastFailure();
// Answers lastFailure() and clears it.
Failure takeFailure();
void clearFailure();

// Clears the thread's noted cause on entry and puts back the one that was
// there on exit, so a nested operation cannot leak its causes outward.
class FailureScope {
 public:
  FailureScope();
  ~FailureScope();
  FailureScope(const FailureScope&) = delete;
  FailureScope& operator=(const FailureScope&) = delete;

 private:
  Failure saved_;
};

}  // namespace foundation

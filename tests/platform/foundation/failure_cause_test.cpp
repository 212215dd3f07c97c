// Causes noted on a thread: the first noted wins, a scope keeps a nested
// operation's causes to itself, and errno values name the side that failed.
#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "platform/foundation/failure_cause.h"

using namespace foundation;

TEST(FailureCause, FirstNotedCauseWins) {
  struct Case {
    const char* label;
    std::vector<FailureCause> noted;
    FailureCause kept;
  };
  const Case cases[] = {
      {"two causes", {FailureCause::SourceMissing, FailureCause::FormatNotSupported}, FailureCause::SourceMissing},
      {"none first", {FailureCause::None, FailureCause::SourceDamaged}, FailureCause::SourceDamaged},
      {"nothing", {}, FailureCause::None},
  };
  for (const Case& c : cases) {
    clearFailure();
    for (FailureCause cause : c.noted) noteFailure(cause);
    EXPECT_EQ(takeFailure().cause, c.kept) << c.label;
    EXPECT_EQ(lastFailure().cause, FailureCause::None) << c.label;
  }
  // A scope hides what was noted before it and drops what was noted inside.
  noteFailure(FailureCause::DiskFull);
  {
    const FailureScope nested;
    EXPECT_FALSE(lastFailure());
    noteFailure(FailureCause::SourceDamaged);
  }
  EXPECT_EQ(takeFailure().cause, FailureCause::DiskFull);
  // Another thread's causes are its own.
  std::thread([] { noteFailure(FailureCause::Other); }).join();
  EXPECT_FALSE(lastFailure());
}

TEST(FailureCause, ErrnoNamesTheSideThatFailed) {
  struct Case {
    int error;
    FailureCause reading, writing;
  };
  const Case cases[] = {
      {EACCES, FailureCause::SourceUnreadable, FailureCause::PermissionDenied},
      {EPERM, FailureCause::SourceUnreadable, FailureCause::PermissionDenied},
      {EROFS, FailureCause::SourceUnreadable, FailureCause::DestinationReadOnly},
      {ELOOP, FailureCause::SourceUnreadable, FailureCause::DestinationMissing},
      {ENOENT, FailureCause::SourceMissing, FailureCause::DestinationMissing},
      {EISDIR, FailureCause::SourceUnreadable, FailureCause::FolderInTheWay},
      {ENOSPC, FailureCause::DiskFull, FailureCause::DiskFull},
      {0, FailureCause::None, FailureCause::None},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(failureCauseFromErrno(c.error, false), c.reading) << c.error;
    EXPECT_EQ(failureCauseFromErrno(c.error, true), c.writing) << c.error;
    EXPECT_TRUE(c.reading == FailureCause::None || c.reading == FailureCause::DiskFull ||
                isSourceCause(c.reading))
        << c.error;
    EXPECT_FALSE(isSourceCause(c.writing)) << c.error;
  }
}

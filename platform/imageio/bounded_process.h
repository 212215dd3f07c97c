#pragma once
// Runs an outside program (no shell) with a time limit and a bound on what
// it may write to standard output; used to run Ghostscript on PostScript.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace imageio {

struct BoundedResult {
  int exitCode = -1;  // -1 when not started, killed or timed out
  bool timedOut = false;
  bool outputTooLarge = false;
  std::vector<std::uint8_t> output;  // standard output
  std::string errors;                // the last few kilobytes of standard error
};

// Where and with what the child runs. An empty environment means the
// caller's; otherwise exactly these "NAME=value" entries.
struct ChildSetting {
  std::vector<std::string> environment;
  std::string workingDirectory;  // empty: the caller's
};

// argv[0] is looked up in PATH when it has no slash. The child gets
// /dev/null as standard input and is killed when it runs longer than
// timeoutSeconds or writes more than maxOutputBytes.
BoundedResult runBounded(const std::vector<std::string>& argv, double timeoutSeconds,
                         std::size_t maxOutputBytes, const ChildSetting& setting = {});

}  // namespace imageio

#pragma once
// Ghostscript confined: each run gets -dSAFER, its own fresh and empty
// temporary folder (removed afterwards, also its working folder), an
// environment holding only what Ghostscript needs, and a time and output
// bound. Nothing the PostScript does can reach the caller's temporary
// folder or environment.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/imageio/bounded_process.h"

namespace imageio {

// Runs gs with -q -dSAFER -dBATCH -dNOPAUSE followed by arguments. File
// names among the arguments must be absolute: the run starts in its own
// folder. exitCode is -1 when no run could be set up.
BoundedResult runGhostscript(const std::vector<std::string>& arguments, double timeoutSeconds,
                             std::size_t maxOutputBytes);

}  // namespace imageio

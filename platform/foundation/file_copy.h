#pragma once
// Copying a file to a new name without ever replacing what is there.

#include <string>

namespace foundation {

// Copies the regular file at source to destination, keeping its permission
// bits and modification time. The copy is written to an unnamed temporary
// file in the destination's folder and linked in under destination only when
// complete, so a failed copy leaves nothing and an existing destination is
// never replaced (false then). Where the file system has no unnamed
// temporary files a hidden named one is used and removed.
bool copyFileWithoutReplacing(const std::string& source, const std::string& destination);

}  // namespace foundation

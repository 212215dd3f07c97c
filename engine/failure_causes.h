#pragma once
// The cause of a failed conversion or write, for the failure lists: the one
// the decoders or writers noted on this thread, else what the source file
// or the destination folder shows by itself.

#include <optional>
#include <string>

#include "platform/foundation/failure_cause.h"

namespace velumar {

// Why the source at path gave no image: the cause noted (taken), else a
// missing, unreadable or non-regular file, else a format not supported.
foundation::Failure takeSourceFailure(const std::string& path);

// Why a write into folder failed: the cause noted (taken), else a missing,
// read-only or unwritable folder, else an unexpected error.
foundation::Failure takeWriteFailure(const std::optional<std::string>& folder);

// Why outputs cannot be written into folder: missing, not a folder,
// read-only (a read-only disk, or no write permission for anyone), or not
// writable for us; no cause when we may write there.
foundation::Failure destinationFolderFailure(const std::string& folder);

}  // namespace velumar

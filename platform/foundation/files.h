#pragma once
// File-system services: atomic writes, bounded reads, free names, creation
// dates, tags, folder enumeration and the application's folders.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/value.h"

namespace foundation {

// Writes bytes to a temporary file in the destination's folder, flushes it to
// disk and renames it over path. On failure the old file (if any) is left as
// it was and no temporary file remains. Keeps an existing file's permissions.
bool writeFileAtomically(const std::string& path, const Data& bytes);

// The process's file-creation mask, read without changing it (setting it
// to read it would let another thread create a file under the wrong mask).
mode_t processUmask();

// The mode of the file at path (permission bits), else that of a new file
// under the umask.
mode_t modeForNewOrExisting(const std::string& path);

// Opens path for reading only when it is a regular file (links followed):
// the open never blocks (a FIFO without a writer, a device) and a FIFO,
// socket, folder or device is refused. The descriptor (close-on-exec,
// blocking again) or -1 with the cause noted (a refused special file is
// SourceUnreadable); the caller logs.
int openRegularFile(const std::string& path);

// Whether path is a regular file that can be opened for reading now,
// checked as openRegularFile does. For readers that must hand a library
// the path itself.
bool isReadableRegularFile(const std::string& path);

// The whole file, or nullopt when it cannot be read, is not a regular file
// (see openRegularFile) or is larger than maxBytes.
std::optional<Data> readFile(const std::string& path, std::size_t maxBytes = std::size_t(1) << 30);

// The path itself when nothing (file or folder) exists there, else the first
// free "<path without extension> N.<extension>" for N = 2, 3, ... (the
// extension is put back only when there is one): photo.jpg, photo 2.jpg, ...
std::string freeName(const std::string& path);

// The path itself when nothing exists there, else the first free
// "<path> N" for N = 2, 3, ...: the number goes after the whole name,
// extension included (for folders such as "Icons.iconset" -> "Icons.iconset 2").
std::string freeNameAppendingNumber(const std::string& path);

// The file's birth time where the file system records it, else its
// modification time; nullopt when the path cannot be examined.
std::optional<Date> creationDate(const std::string& path);

// Tag names kept in the "user.xdg.tags" extended attribute, comma-separated.
// Reading answers an empty list and writing false on any failure, silently.
// Writing an empty list removes the attribute.
std::vector<std::string> readTags(const std::string& path);
bool writeTags(const std::string& path, const std::vector<std::string>& tags);

// Calls visit for every regular file of folder (or link to one), in
// directory order; FIFOs, sockets and devices are skipped. Hidden entries (names starting with ".") are skipped together with
// what is inside hidden folders unless includeHidden. Folders are entered
// when recursive, but links to folders are never followed (a link to a file
// is reported like a file). Folders that are mount points are not entered,
// so a scan never walks into another disk. Unreadable folders are skipped.
void enumerateFiles(const std::string& folder, bool recursive,
                    const std::function<void(const std::filesystem::path&)>& visit,
                    bool includeHidden = false);

// Whether path is a folder on which a file system is mounted (the root
// folder included): it lies on another device than its parent folder.
bool isMountPoint(const std::string& path);

// The path of a bundled resource (name relative to the resources folder):
// beside the executable in the build tree, in the source tree's resources
// folder when known, else under <prefix>/share/velumar. Answers the first
// existing candidate, else the installed location.
std::string bundleResourcePath(const std::string& name);

// $XDG_DATA_HOME/velumar (default ~/.local/share/velumar), created when
// missing.
std::string applicationSupportDirectory();

// The system's temporary folder ($TMPDIR, else /tmp).
std::string temporaryDirectory();

}  // namespace foundation

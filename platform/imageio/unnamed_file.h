#pragma once
// A file that gets a name only once it is complete. It is created unnamed
// (O_TMPFILE) in the target's folder, written through a path that reopens
// it (/proc/self/fd/N), and linked into place on commit, so a crash or a
// kill never leaves a partial file behind. Where the file system has no
// unnamed files, a hidden named file beside the target stands in; it is
// removed when the file is dropped without commit.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace imageio {

class UnnamedFile {
 public:
  // A new empty file for target's folder; nullptr (logged) when none can
  // be made. It takes the permissions target has, else those of a new file.
  static std::unique_ptr<UnnamedFile> createFor(const std::string& target);
  // A new empty scratch file in the system temporary folder, never named.
  static std::unique_ptr<UnnamedFile> createScratch();
  ~UnnamedFile();
  UnnamedFile(const UnnamedFile&) = delete;
  UnnamedFile& operator=(const UnnamedFile&) = delete;

  // The path writers open to write the file.
  const std::string& path() const { return path_; }
  // Whether the file has no name (false: the named stand-in is used).
  bool isUnnamed() const { return unnamed_; }
  // Flushes the file's contents to disk ahead of its commit. False (logged)
  // when that fails.
  bool flush();
  // Gives the file the permissions a new file at target gets (those target
  // has, else those of a new file), for a commit to another name than the
  // one it was made for.
  void takeModeFor(const std::string& target);
  // Flushes the file to disk and puts it at target, replacing what was
  // there in one step; under a NoReplaceScope it never replaces and takes
  // the next free name when target is taken (see committedPath). False
  // (logged, cause noted) when that fails; the file is then dropped.
  bool commit(const std::string& target);

 private:
  UnnamedFile(int fd, std::string path, bool unnamed) : fd_(fd), path_(std::move(path)), unnamed_(unnamed) {}
  // The commit under a NoReplaceScope.
  bool commitWithoutReplacing(const std::string& target);
  // Logs and notes errno's cause; false.
  bool failCommit(const std::string& target);
  int fd_ = -1;
  std::string path_;
  bool unnamed_ = false;
  bool committed_ = false;
  mode_t mode_ = mode_t(-1);  // set by takeModeFor
};

// Writes data to a new file committed at target like any UnnamedFile.
bool writeFileCommitted(const std::string& target, const std::uint8_t* data, std::size_t size);

// While one lives, commits on this thread never replace an existing file:
// each claims its name with a link that fails on an existing name and, when
// the name is taken (by another program, or another batch writing into the
// same folder), takes the next free name and tries again. Nests; the
// outermost scope also forgets the names it moved.
class NoReplaceScope {
 public:
  explicit NoReplaceScope(bool active = true);
  ~NoReplaceScope();
  NoReplaceScope(const NoReplaceScope&) = delete;
  NoReplaceScope& operator=(const NoReplaceScope&) = delete;

 private:
  bool saved_ = false;
};

// Tells this thread's commits that chosen is a free " N" variant of base,
// so a commit that finds chosen taken goes on with base's next free
// variant ("a 3.png" after "a 2.png") rather than numbering chosen itself.
void noteFreeNameBase(const std::string& chosen, const std::string& base);
// Where this thread's last commit aimed at target put its file: target, or
// the free name it took instead under a NoReplaceScope.
std::string committedPath(const std::string& target);

// Claims target, or the next free variant of base when target is taken,
// for the file reached through handle, never replacing anything. named
// tells whether handle is a named file (moved) or an unnamed one
// (linked). Answers the name used; empty with errno set on failure.
std::string claimFreeName(const std::string& handle, bool named, const std::string& target,
                          const std::string& base);

// Makes an oversized write fail with an error (EFBIG) instead of the
// file-size signal ending the process. Safe to call more than once.
void ignoreFileSizeSignal();

}  // namespace imageio

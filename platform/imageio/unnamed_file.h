#pragma once
// A file that gets a name only once it is complete. It is created unnamed
// (O_TMPFILE) in the target's folder, written through a path that reopens
// it (/proc/self/fd/N), and linked into place on commit, so a crash or a
// kill never leaves a partial file behind. Where the file system has no
// unnamed files, a hidden named file beside the target stands in; it is
// removed when the file is dropped without commit.

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
  // there in one step. False (logged) when that fails; the file is then
  // dropped.
  bool commit(const std::string& target);

 private:
  UnnamedFile(int fd, std::string path, bool unnamed) : fd_(fd), path_(std::move(path)), unnamed_(unnamed) {}
  int fd_ = -1;
  std::string path_;
  bool unnamed_ = false;
  bool committed_ = false;
};

// Makes an oversized write fail with an error (EFBIG) instead of the
// file-size signal ending the process. Safe to call more than once.
void ignoreFileSizeSignal();

}  // namespace imageio

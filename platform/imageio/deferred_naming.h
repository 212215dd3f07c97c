#pragma once
// Encoding a file apart from naming it. While a DeferredNaming scope is open
// on a thread, ImageDestination::finalize on that thread writes, completes
// and flushes its file but gives it no name: the scope keeps it as an
// EncodedFile, and whoever decides the name claims it later, on any thread.
// A batch encodes the next files on the pool this way while its loop names
// the files in source order. An encoded file dropped unclaimed leaves
// nothing behind.

#include <memory>
#include <string>
#include <vector>

namespace imageio {

class UnnamedFile;

class EncodedFile {
 public:
  EncodedFile(std::unique_ptr<UnnamedFile> file, std::string intendedPath);
  EncodedFile(EncodedFile&&) noexcept;
  EncodedFile& operator=(EncodedFile&&) noexcept;
  ~EncodedFile();

  // The path the writer was given; only its folder is the file's.
  const std::string& intendedPath() const { return intendedPath_; }
  // Puts the file at target (in the intended folder) with the permissions
  // a write to target gives it. False (logged) when that fails; the file
  // can be claimed once only.
  bool claim(const std::string& target);

 private:
  std::unique_ptr<UnnamedFile> file_;
  std::string intendedPath_;
};

class DeferredNaming {
 public:
  DeferredNaming();
  ~DeferredNaming();
  DeferredNaming(const DeferredNaming&) = delete;
  DeferredNaming& operator=(const DeferredNaming&) = delete;

  // The innermost scope open on this thread; nullptr when none.
  static DeferredNaming* current();
  // Flushes file to disk and keeps it; false (logged) when it cannot be
  // flushed.
  bool keep(std::unique_ptr<UnnamedFile> file, const std::string& intendedPath);
  // The files encoded in this scope, in order; the scope keeps none after.
  std::vector<EncodedFile> take();

 private:
  DeferredNaming* outer_ = nullptr;
  std::vector<EncodedFile> files_;
};

}  // namespace imageio

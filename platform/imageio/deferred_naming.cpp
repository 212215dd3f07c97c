#include "platform/imageio/deferred_naming.h"

#include <utility>

#include "platform/imageio/unnamed_file.h"

namespace imageio {

namespace {
thread_local DeferredNaming* innermost = nullptr;
}  // namespace

EncodedFile::EncodedFile(std::unique_ptr<UnnamedFile> file, std::string intendedPath)
    : file_(std::move(file)), intendedPath_(std::move(intendedPath)) {}
EncodedFile::EncodedFile(EncodedFile&&) noexcept = default;
EncodedFile& EncodedFile::operator=(EncodedFile&&) noexcept = default;
EncodedFile::~EncodedFile() = default;

bool EncodedFile::claim(const std::string& target) {
  if (!file_) return false;
  file_->takeModeFor(target);
  const bool claimed = file_->commit(target);
  file_.reset();
  return claimed;
}

// Scopes nest: a task the pool runs while this thread waits inside an
// encode opens and closes its own scope within it.
DeferredNaming::DeferredNaming() : outer_(innermost) {
  innermost = this;
}

DeferredNaming::~DeferredNaming() {
  innermost = outer_;
}

DeferredNaming* DeferredNaming::current() {
  return innermost;
}

bool DeferredNaming::keep(std::unique_ptr<UnnamedFile> file, const std::string& intendedPath) {
  // The mode its intended name gives goes in before the flush: a claim of
  // that name then finds nothing left to write.
  if (file) file->takeModeFor(intendedPath);
  if (!file || !file->flush()) return false;
  files_.emplace_back(std::move(file), intendedPath);
  return true;
}

std::vector<EncodedFile> DeferredNaming::take() {
  return std::exchange(files_, {});
}

}  // namespace imageio

#include "session/session_info.h"

#include <utility>

#include "platform/foundation/main_loop.h"

namespace velumar {

void runOnMainQueueSync(const std::function<void()>& work) {
  foundation::MainLoop::runSync(work);
}

namespace {
template <typename T>
T lockedRead(std::mutex& lock, const T& field) {
  std::lock_guard guard(lock);
  return field;
}
template <typename T>
void lockedWrite(std::mutex& lock, T& field, T value) {
  std::lock_guard guard(lock);
  field = std::move(value);
}
}  // namespace

std::shared_ptr<ProcessingSession> SessionInfo::currentSession() const {
  return lockedRead(lock_, currentSession_);
}
void SessionInfo::setCurrentSession(std::shared_ptr<ProcessingSession> session) {
  // The old session is released outside the lock.
  std::shared_ptr<ProcessingSession> previous;
  std::lock_guard guard(lock_);
  previous = std::exchange(currentSession_, std::move(session));
}
std::optional<SourceFile> SessionInfo::processedURL() const {
  return lockedRead(lock_, processedURL_);
}
void SessionInfo::setProcessedURL(std::optional<SourceFile> source) {
  lockedWrite(lock_, processedURL_, std::move(source));
}
std::optional<std::string> SessionInfo::parentDirectory() const {
  return lockedRead(lock_, parentDirectory_);
}
void SessionInfo::setParentDirectory(std::optional<std::string> path) {
  lockedWrite(lock_, parentDirectory_, std::move(path));
}
std::shared_ptr<ImportedImage> SessionInfo::processedImage() const {
  return lockedRead(lock_, processedImage_).lock();
}
void SessionInfo::setProcessedImage(const std::shared_ptr<ImportedImage>& image) {
  lockedWrite(lock_, processedImage_, std::weak_ptr<ImportedImage>(image));
}
std::shared_ptr<ProcessingView> SessionInfo::processingView() const {
  return lockedRead(lock_, processingView_).lock();
}
void SessionInfo::setProcessingView(const std::shared_ptr<ProcessingView>& view) {
  lockedWrite(lock_, processingView_, std::weak_ptr<ProcessingView>(view));
}
RenameInfo SessionInfo::renameInfo() const {
  return lockedRead(lock_, renameInfo_);
}
void SessionInfo::setRenameInfo(const RenameInfo& info) {
  lockedWrite(lock_, renameInfo_, info);
}
RenameValues SessionInfo::renameValues() const {
  return lockedRead(lock_, renameValues_);
}
void SessionInfo::setRenameValues(const RenameValues& values) {
  lockedWrite(lock_, renameValues_, values);
}
ImageModifyInfo SessionInfo::presetInfo() const {
  return lockedRead(lock_, presetInfo_);
}
void SessionInfo::setPresetInfo(const ImageModifyInfo& info) {
  lockedWrite(lock_, presetInfo_, info);
}

}  // namespace velumar

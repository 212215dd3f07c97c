#pragma once
// The record of one conversion session, shared between the main thread and
// the session's queue: flags and numbers are atomic, the records and the
// paths the loop changes are copied whole under one lock.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/image_modify_info.h"
#include "session/conversion_request.h"
#include "session/rename_info.h"

namespace velumar {

class ImportedImage;
class ProcessingSession;
class ProcessingView;

// How a session ended.
enum CompletionCode : std::int64_t {
  kCompletionFailed = 0,
  kCompletionOutputFolder = 1,
  kCompletionTemporaryFolder = -1,
};

// Runs work at once on the main thread, else on the main thread while the
// caller waits; a loop running on the main thread never waits on itself.
void runOnMainQueueSync(const std::function<void()>& work);

class SessionInfo {
 public:
  std::atomic<bool> asyncQueue{false};
  std::atomic<bool> renameIgnoreProcessing{false};
  std::atomic<bool> openWithHide{false};
  std::atomic<bool> removeURLCachesWhenDone{false};
  std::atomic<bool> canUseTags{false};
  std::atomic<bool> overwriteFiles{false};
  std::atomic<bool> maintainHierarchy{false};
  std::atomic<bool> ignoreBookmark{false};
  std::atomic<bool> ignoreAlerts{false};
  std::atomic<std::int64_t> completitionCode{kCompletionFailed};
  std::atomic<std::uint64_t> urlsCount{0};
  std::atomic<std::int64_t> numberCount{0};
  std::atomic<std::int64_t> saveType{0};

  // Written before the session starts, read only afterwards.
  std::vector<SourceFile> urlsArray;
  std::optional<std::string> tempPath;
  std::optional<std::string> globalParentDirectory;
  // The stored output folder the request passed over because it is not a
  // folder now (the chooser asks instead); a refusal names it.
  std::optional<std::string> refusedStoredFolder;

  // The running number advances by one (from -1, numbering off, it gives 0).
  void updateNumberCount() { ++numberCount; }

  std::shared_ptr<ProcessingSession> currentSession() const;
  void setCurrentSession(std::shared_ptr<ProcessingSession> session);
  std::optional<SourceFile> processedURL() const;
  void setProcessedURL(std::optional<SourceFile> source);
  std::optional<std::string> parentDirectory() const;
  void setParentDirectory(std::optional<std::string> path);
  std::shared_ptr<ImportedImage> processedImage() const;
  void setProcessedImage(const std::shared_ptr<ImportedImage>& image);
  std::shared_ptr<ProcessingView> processingView() const;
  void setProcessingView(const std::shared_ptr<ProcessingView>& view);
  RenameInfo renameInfo() const;
  void setRenameInfo(const RenameInfo& info);
  // The rename texts and numbers of the converter, copied when the request
  // builds the record; the rename rule reads this copy.
  RenameValues renameValues() const;
  void setRenameValues(const RenameValues& values);
  ImageModifyInfo presetInfo() const;
  void setPresetInfo(const ImageModifyInfo& info);

 private:
  mutable std::mutex lock_;
  std::shared_ptr<ProcessingSession> currentSession_;
  std::optional<SourceFile> processedURL_;
  std::optional<std::string> parentDirectory_;
  std::weak_ptr<ImportedImage> processedImage_;
  std::weak_ptr<ProcessingView> processingView_;
  RenameInfo renameInfo_{};
  RenameValues renameValues_{};
  ImageModifyInfo presetInfo_{};
};

}  // namespace velumar

// The end of a session: back to idle, preview notifications after
// overwriting, revealing and opening the results, and the failure report.

#include <algorithm>

#include "engine/failure_causes.h"
#include "engine/imported_image.h"
#include "platform/foundation/keyed_hash.h"
#include "platform/foundation/notification_center.h"
#include "session/processing_session.h"
#include "session/processing_view.h"
#include "session/result_actions.h"
#include "session/sandbox_folder_access.h"
#include "session/session_alerts.h"
#include "session/session_info.h"

namespace velumar {

namespace {

constexpr std::size_t kMostFilesRevealed = 100;

}  // namespace

// The names are outside text: keyed hash.
std::vector<std::string> filesToReveal(const std::vector<std::string>& written, std::size_t* largestBucket) {
  std::vector<std::string> distinct;
  foundation::KeyedStringSet seen;
  for (const std::string& path : written)
    if (seen.insert(comparablePath(path)).second) distinct.push_back(path);
  if (largestBucket) *largestBucket = foundation::largestBucket(seen);
  if (distinct.size() > kMostFilesRevealed) distinct.resize(1);
  return distinct;
}

std::optional<PreviewOverwriteMatch> ProcessingSession::verifyPreviewFilesAfterOverwriteWithSession(
    const SessionInfo& session) const {
  const std::shared_ptr<ProcessingView> view = session.processingView();
  const std::shared_ptr<ImportedImage> engine = session.processedImage();
  if (!view || !engine) return std::nullopt;
  const std::optional<std::string> shownFile = view->previewShownFile();
  const std::optional<std::string> shown =
      shownFile ? std::optional(comparablePath(*shownFile)) : std::nullopt;
  std::vector<std::string> listed = view->previewListedFiles();
  for (std::string& path : listed) path = comparablePath(path);

  PreviewOverwriteMatch match;
  for (const std::string& written : engine->urlsArray) {
    const std::string path = comparablePath(written);
    if (shown && *shown == path) match.shownFileMatched = true;
    const auto position = std::find(listed.begin(), listed.end(), path);
    if (position != listed.end()) match.listPositions.insert(std::size_t(position - listed.begin()));
  }
  if (!match.shownFileMatched && match.listPositions.empty()) return std::nullopt;
  return match;
}

void ProcessingSession::completeImageProcessingAndUpdatePreview(SessionInfo& session) {
  // Clearing currentSession may release this session: keep it to the end.
  const std::shared_ptr<ProcessingSession> keepAlive = session.currentSession();
  const std::int64_t code = session.completitionCode;
  const std::shared_ptr<ProcessingView> view = session.processingView();
  const std::shared_ptr<ImportedImage> engine = session.processedImage();

  if (view) {
    ConverterState& state = view->state();
    state.isProcessingImages = false;
    state.removeURLCachesWhenDone = true;
    state.drawTextString = true;
    state.drawForDragAndDrop = false;
    state.globalParentDirectory.reset();
    view->setPreviewCanAcceptImages(true);
  }
  if (engine) engine->watermarkImage.reset();

  if (code == kCompletionOutputFolder && session.overwriteFiles) {
    if (const std::optional<PreviewOverwriteMatch> match =
            verifyPreviewFilesAfterOverwriteWithSession(session)) {
      foundation::NotificationCenter& center = foundation::NotificationCenter::defaultCenter();
      if (match->shownFileMatched) center.post("updatePreviewAfterOverwrite");
      if (!match->listPositions.empty())
        center.post("reloadDataAfterOverwrite", nullptr, foundation::Value(), match->listPositions);
    }
  }

  // A temporary-folder job keeps its files listed for its caller.
  if (code != kCompletionTemporaryFolder && engine && !engine->urlsArray.empty()) {
    const bool reveal = view && view->state().showInFinderSavedFiles;
    handOnResults(*engine, reveal ? filesToReveal(engine->urlsArray) : std::vector<std::string>(), view);
    engine->urlsArray.clear();
  }

  if (view) view->restoreVisibleWindows();
  session.setCurrentSession(nullptr);
}

const char* ProcessingSession::failureSheetTitle(const std::vector<FailedFile>& failures,
                                                 std::int64_t failedCause, bool cancelled) {
  if (cancelled) return kAlertBatchCancelled;
  if (failures.empty()) return failedCause == -1 ? kAlertCouldntWriteFiles : kAlertCouldntReadFiles;
  bool reading = false, writing = false, other = false;
  for (const FailedFile& failed : failures) {
    // A copy that failed on its source failed reading it.
    if (foundation::isSourceCause(failed.failure.cause) || (!failed.failure && !failed.writeFailed))
      reading = true;
    else if (failed.writeFailed)
      writing = true;
    else
      other = true;
  }
  if (reading && !writing && !other) return kAlertCouldntReadFiles;
  if (writing && !reading && !other) return kAlertCouldntWriteFiles;
  return kAlertCouldntConvertFiles;
}

std::string ProcessingSession::unusableFolderText(const std::string& folder) {
  foundation::Failure failure = destinationFolderFailure(folder);
  if (!failure) failure.cause = foundation::FailureCause::Other;
  return folder + ": " + failure.describe();
}

std::string ProcessingSession::refusedFolderText(const SessionInfo& session,
                                             const SandboxFolderAccess& access) {
  if (const std::optional<SandboxFolderAccess::RefusedFolder> refused = access.refusedFolder())
    return refused->path + ": " + refused->failure.describe();
  if (const std::optional<std::string> folder = session.parentDirectory()) return unusableFolderText(*folder);
  if (session.refusedStoredFolder) return unusableFolderText(*session.refusedStoredFolder);
  return kAlertCannotWriteFolder;
}

void ProcessingSession::endWithFailureSheet(SessionInfo& session, const std::string& title,
                                            const std::string& informative) {
  const std::shared_ptr<ProcessingSession> keepAlive = session.currentSession();
  const std::shared_ptr<ProcessingView> view = session.processingView();
  if (view) view->activateAppWindow();
  if (const std::shared_ptr<ImportedImage> engine = session.processedImage()) engine->urlsArray.clear();
  session.completitionCode = kCompletionFailed;
  completeImageProcessingAndUpdatePreview(session);
  if (view) view->showAlertSheet(title, informative);
}

void ProcessingSession::alertSaveFailedWithSession(SessionInfo& session, std::int64_t failedCause,
                                                   const std::vector<FailedFile>& failures,
                                                   std::uint64_t fileCount) {
  std::string informative = failedCause == -1 ? kAlertCannotWriteFolder : kAlertFormatNotSupported;
  if (failures.size() == 1 && fileCount <= 1 && failures.front().failure)
    informative = failures.front().failure.describe();
  else if (!failures.empty())
    informative = partialFailureText(failures, std::max<std::uint64_t>(fileCount, failures.size()));
  endWithFailureSheet(session, failureSheetTitle(failures, failedCause), informative);
}

void ProcessingSession::alertFolderUnusable(SessionInfo& session) {
  const std::optional<std::string> folder = session.parentDirectory();
  endWithFailureSheet(session, kAlertCouldntWriteFiles,
                      folder ? unusableFolderText(*folder) : std::string(kAlertCannotWriteFolder));
}

}  // namespace velumar

// The end of a session: back to idle, preview notifications after
// overwriting, revealing and opening the results, and the failure report.

#include <algorithm>
#include <unordered_set>

#include "engine/imported_image.h"
#include "platform/foundation/notification_center.h"
#include "session/processing_session.h"
#include "session/processing_view.h"
#include "session/result_actions.h"
#include "session/session_alerts.h"
#include "session/session_info.h"

namespace velumar {

namespace {

constexpr std::size_t kMostFilesRevealed = 100;

// The distinct files in the order first written; only the first written
// when there are too many to select.
std::vector<std::string> filesToReveal(const std::vector<std::string>& written) {
  std::vector<std::string> distinct;
  std::unordered_set<std::string> seen;
  for (const std::string& path : written)
    if (seen.insert(comparablePath(path)).second) distinct.push_back(path);
  if (distinct.size() > kMostFilesRevealed) distinct.resize(1);
  return distinct;
}

}  // namespace

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

void ProcessingSession::alertSaveFailedWithSession(SessionInfo& session, std::int64_t failedCause,
                                                   const std::vector<FailedFile>& failures,
                                                   std::uint64_t fileCount) {
  const std::shared_ptr<ProcessingSession> keepAlive = session.currentSession();
  const std::shared_ptr<ProcessingView> view = session.processingView();
  if (view) view->activateAppWindow();
  if (const std::shared_ptr<ImportedImage> engine = session.processedImage()) engine->urlsArray.clear();
  session.completitionCode = kCompletionFailed;
  completeImageProcessingAndUpdatePreview(session);
  if (!view) return;
  std::string informative = failedCause == -1 ? kAlertCannotWriteFolder : kAlertFormatNotSupported;
  if (failures.size() == 1 && fileCount <= 1 && failures.front().failure)
    informative = failures.front().failure.describe();
  else if (!failures.empty())
    informative = partialFailureText(failures, std::max<std::uint64_t>(fileCount, failures.size()));
  view->showAlertSheet(kAlertCouldntWriteFiles, informative);
}

}  // namespace velumar

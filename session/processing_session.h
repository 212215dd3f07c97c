#pragma once
// One batch conversion: made per request, kept alive by its record's
// currentSession until the end of the session clears it. Besides the output
// paths it holds the writers and the end of a session, and remembers which
// files the session wrote and which sources it reads, so an overwriting
// write never replaces either.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/image_modify_info.h"
#include "platform/foundation/failure_cause.h"
#include "platform/foundation/value.h"
#include "platform/raster/image_set.h"

namespace imageio {
class EncodedFile;
}  // namespace imageio

namespace velumar {

class ImportedImage;
class SandboxFolderAccess;
class SessionInfo;
struct SourceFile;

using ImageCollection = std::vector<std::shared_ptr<raster::ImageSet>>;

// What the preview shows of the files a session overwrote.
struct PreviewOverwriteMatch {
  bool shownFileMatched = false;
  std::set<std::size_t> listPositions;  // positions in the preview's list
};

// A file of a batch that failed, and why.
struct FailedFile {
  std::string name;
  bool writeFailed = false;  // else its conversion failed
  foundation::Failure failure;  // the cause; None when unknown
};

class ProcessingSession : public std::enable_shared_from_this<ProcessingSession> {
 public:
  // Conversion code -1 keeps the source's own extension.
  static constexpr std::int64_t kKeepSourceExtension = -1;

  // Seconds on a steady clock; the live preview's throttle reads it.
  std::function<double()> clock;

  ProcessingSession();

  // ---- The batch loop (processing_session_loop.cpp) ---------------------------
  // Main thread. Runs the loop with access to the output folder on a new
  // queue (synchronously for ignoreBookmark without asyncQueue). When access
  // is refused the session ends at once with code 0 and, unless alerts are
  // ignored, the "Cannot write to destination folder." sheet. Answers
  // whether the loop was started or has run.
  bool startSession(const std::shared_ptr<SessionInfo>& session);
  // Converts and writes every source in order, then ends the session.
  void processImagesForSession(const std::shared_ptr<SessionInfo>& session,
                               const std::shared_ptr<SandboxFolderAccess>& access);
  // The one sheet listing the files that failed in a batch that finished:
  // "k of N files failed:", up to ten "name: cause" lines, "and r more.".
  static std::string partialFailureText(const std::vector<FailedFile>& failures, std::uint64_t fileCount);
  // The sheet of a cancelled batch that had failures before the cancel:
  // "The batch was cancelled after k of N files." and their list.
  static std::string cancelledFailureText(const std::vector<FailedFile>& failures, std::uint64_t handled,
                                          std::uint64_t fileCount);
  // The title of a failure sheet: a cancelled batch says so; otherwise
  // failures that are all the sources' (or, without a list, failedCause
  // other than -1) are reading failures, all writes' are writing failures,
  // any other mix is a failed conversion.
  static const char* failureSheetTitle(const std::vector<FailedFile>& failures, std::int64_t failedCause,
                                       bool cancelled = false);
  // "folder: cause" for an output folder that cannot be written into.
  static std::string unusableFolderText(const std::string& folder);
  // What a refused folder access tells: the folder chosen and refused, the
  // output folder given, or the stored output folder that was passed over
  // for the chooser, each with why; the plain text when the chooser was
  // cancelled without a stored folder.
  static std::string refusedFolderText(const SessionInfo& session, const SandboxFolderAccess& access);

  // ---- Output paths (processing_session_paths.cpp) ----------------------------
  // The full output path of the session's processed file: the code's
  // extension, the rename rule, and the output folder, or the subfolder
  // repeating the source's place when the hierarchy is kept. Hands the
  // source's tags to the engine. Before the free-name search.
  std::string createPathFileForSession(const SessionInfo& session, std::int64_t conversionCode) const;
  // The folder createPathFileForSession puts source's output in, when it
  // exists already; empty for a kept hierarchy's subfolder not yet made.
  // Makes nothing. Any thread.
  static std::string existingOutputFolderForSource(const SessionInfo& session, const SourceFile& source);
  // The path when nothing exists there, else its first free " N" variant.
  static std::string verifyPathName(const std::string& path);

  // ---- Writers (processing_session_writers.cpp) -------------------------------
  // Each answers whether it wrote its file(s). The engine lists every file
  // it writes in its urlsArray.
  // One converted image in its output format.
  // With encoded, the image was already encoded and flushed ahead
  // (ImportedImage::encodeForBatch): the write names that file instead.
  bool saveImage(const raster::ImageSet& image, ImageModifyInfo info, std::int64_t originalFileType,
                 SessionInfo& session, imageio::EncodedFile* encoded = nullptr);
  // Each representation as a TIFF at double and normal size.
  bool save2XTIFFImage(const raster::ImageSet& image, const ImageModifyInfo& info, SessionInfo& session);
  // The source copied under its new name, always to a free name.
  bool saveCopyImageWithSessionInfo(SessionInfo& session);
  // Every collected image's representations as the pages of one TIFF named
  // after the first source; the collected images are emptied.
  bool saveTIFFMultipleRepsWithRepArray(ImageCollection& images,
                                        const std::optional<foundation::Array>& infoArray,
                                        const ImageModifyInfo& info, SessionInfo& session);
  // Every collected image's representations as the layers of one PSD.
  bool savePSDMultipleRepsWithRepArray(ImageCollection& images, SessionInfo& session);

  // ---- End of a session (processing_session_end.cpp, main thread) -------------
  // Returns the converter to idle, tells the preview about overwritten files
  // it shows, reveals and opens the results (not for a temporary folder),
  // brings the side panels back and ends the session.
  void completeImageProcessingAndUpdatePreview(SessionInfo& session);
  // Empties the written list, completes the session with code 0 and shows
  // the failure sheet: cause -1 a write failure, else unreadable sources.
  // With the batch's failures the sheet names their causes: the cause of
  // a one-file batch, or the list of every failed file.
  void alertSaveFailedWithSession(SessionInfo& session, std::int64_t failedCause,
                                  const std::vector<FailedFile>& failures = {}, std::uint64_t fileCount = 0);
  // The failure sheet of a batch whose output folder cannot be written
  // into (gone before the loop started): it names the folder and why.
  void alertFolderUnusable(SessionInfo& session);
  // Which written files the preview shows or lists; nothing when none.
  std::optional<PreviewOverwriteMatch> verifyPreviewFilesAfterOverwriteWithSession(
      const SessionInfo& session) const;

 private:
  // The path a write goes to: a free name unless overwriting, and a free
  // name also when overwriting would replace a file this session wrote or
  // another source of it.
  std::string pathForWrite(const std::string& path, const SessionInfo& session);
  // The free name for path, told to this thread's commits as a variant of
  // path (see imageio::NoReplaceScope).
  static std::string freeNameForCommit(const std::string& path);
  // Notes the files the engine listed since it held `before` entries.
  void rememberWritten(const ImportedImage& engine, std::size_t before);
  // The name of a collected output: the first source's name with the
  // code's extension, renamed, in the output folder itself, free.
  static std::string collectedOutputPath(const SessionInfo& session, std::int64_t conversionCode);
  // Shows the first representation of a collected output while the live
  // preview is on, as a copy.
  void previewCollectedImage(const raster::ImageSet& image, SessionInfo& session) const;
  // Ends the session as failed (written list emptied, code 0) and shows
  // the sheet.
  void endWithFailureSheet(SessionInfo& session, const std::string& title, const std::string& informative);

  std::mutex lock_;
  std::set<std::string> writtenPaths_;
  std::optional<std::set<std::string>> sourcePaths_;
};

// The path compared as the file it names: canonical where it exists,
// lexically normal otherwise.
std::string comparablePath(const std::string& path);

// The files a batch reveals: the distinct written files (as comparablePath
// compares them) in the order first written, only the first when there are
// too many to select. largestBucket, when given, receives the most paths
// that shared a bucket of the table that finds the repeats.
std::vector<std::string> filesToReveal(const std::vector<std::string>& written,
                                       std::size_t* largestBucket = nullptr);

}  // namespace velumar

// The batch loop: takes the sources in order on the session's queue (the
// next ones converting meanwhile on the shared pool), chooses the writers, counts failures, drives the
// progress display and the live preview, honours cancel, writes the collected outputs and ends the session
// with one completion or one failure report.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <utility>

#include <fmt/format.h>

#include "engine/depth_image_service.h"
#include "engine/failure_causes.h"
#include "engine/file_type_codes.h"
#include "engine/imported_image.h"
#include "filters/cifiltering.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/memory_reuse.h"
#include "platform/imageio/decode_cancel.h"
#include "session/conversion_window.h"
#include "session/output_names.h"
#include "session/processing_session.h"
#include "session/processing_view.h"
#include "session/sandbox_folder_access.h"
#include "session/session_alerts.h"
#include "session/session_info.h"

namespace velumar {

namespace {

constexpr double kLivePreviewInterval = 1.0;
constexpr std::size_t kMostFailuresListed = 10;
constexpr std::size_t kFilesBetweenPageReleases = 16;
constexpr const char* kHasFlattenedImageKey = "Has Flattened Image";

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A preview image of its own for the main thread: new representations
// around the same immutable pixels, so the worker may later move
// representations out of the converted image.
std::shared_ptr<const raster::ImageSet> previewCopy(const raster::ImageSet& image) {
  auto copy = std::make_shared<raster::ImageSet>(image.size());
  for (const raster::BitmapImageRepRef& rep : image.representations()) {
    raster::BitmapImageRepRef own = raster::BitmapImageRep::withImage(rep->image());
    if (!own) continue;
    own->setSize(rep->size());
    copy->addRepresentation(own);
  }
  return copy;
}

std::string fileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

}  // namespace

ProcessingSession::ProcessingSession() : clock(steadySeconds) {}

std::string ProcessingSession::partialFailureText(const std::vector<FailedFile>& failures,
                                                  std::uint64_t fileCount) {
  std::string text = fmt::format("{} of {} files failed:", failures.size(), fileCount);
  const std::size_t listed = std::min(failures.size(), kMostFailuresListed);
  for (std::size_t i = 0; i < listed; ++i) {
    const FailedFile& failed = failures[i];
    const std::string cause = failed.failure ? failed.failure.describe()
                              : failed.writeFailed ? kAlertCannotWriteFolder
                                                   : kAlertFormatNotSupported;
    text += fmt::format("\n{}: {}", failed.name, cause);
  }
  if (failures.size() > listed) text += fmt::format("\nand {} more.", failures.size() - listed);
  return text;
}

std::string ProcessingSession::cancelledFailureText(const std::vector<FailedFile>& failures,
                                                    std::uint64_t handled, std::uint64_t fileCount) {
  return fmt::format("The batch was cancelled after {} of {} files.\n{}", handled, fileCount,
                     partialFailureText(failures, handled));
}

bool ProcessingSession::startSession(const std::shared_ptr<SessionInfo>& session) {
  const std::shared_ptr<ProcessingView> view = session->processingView();
  const std::shared_ptr<SandboxFolderAccess> access = SandboxFolderAccess::fileAccess();
  const std::shared_ptr<ProcessingSession> self = shared_from_this();
  const bool started = access->accessFilePath(
      session->parentDirectory(), [self, session, access] { self->processImagesForSession(session, access); },
      session->ignoreBookmark, false, session->asyncQueue, view.get());
  if (!started) {
    if (view) view->activateAppWindow();
    session->completitionCode = kCompletionFailed;
    completeImageProcessingAndUpdatePreview(*session);
    if (view && !session->ignoreAlerts)
      view->showAlertSheet(kAlertCouldntWriteFiles, refusedFolderText(*session, *access));
  }
  return started;
}

void ProcessingSession::processImagesForSession(const std::shared_ptr<SessionInfo>& session,
                                                const std::shared_ptr<SandboxFolderAccess>& access) {
  const std::shared_ptr<ProcessingView> view = session->processingView();
  const std::shared_ptr<ImportedImage> engine = session->processedImage();
  if (!session->parentDirectory() && access) session->setParentDirectory(access->filePathFromOpenFile());

  // The converter went away, or the output folder vanished: nothing to do.
  if (!view || !engine || !verifyParentDirectory(session->parentDirectory())) {
    runOnMainQueueSync([&] {
      if (view && engine && !session->ignoreAlerts) {
        alertFolderUnusable(*session);
      } else {
        session->completitionCode = kCompletionFailed;
        completeImageProcessingAndUpdatePreview(*session);
      }
    });
    return;
  }

  const foundation::MemoryReuseScope reuseFreedMemory;
  const std::uint64_t fileCount = session->urlsCount;
  const bool severalFiles = fileCount >= 2;
  PBOscilator& progress = view->state().progressBar;
  // A cancel left over from an earlier batch never reaches this one.
  progress.cancelProgress = false;
  // A cancel stops a long decode (a PSD's layer merge) between its steps.
  const imageio::DecodeCancelScope cancelDecodes(&progress.cancelProgress);
  runOnMainQueueSync([&] {
    if (severalFiles) view->startProgressBar();
    view->removePresetsButtonFromViewMultipleFiles(severalFiles);
  });

  ImageModifyInfo working = session->presetInfo();
  working.convertMultipleImagesInPSD = severalFiles && working.conversionType == ConversionType::PSDLayered;
  if (working.convertMultipleImagesInPSD) working.preserveMetadata = false;
  engine->exportedDepthImage = nullptr;

  const bool copyOnly = session->renameIgnoreProcessing;
  const double count = double(fileCount);
  std::int64_t done = 0, writeFailures = 0, conversionFailures = 0;
  bool previewShown = false;  // since the option was last switched on
  double lastPreviewTime = 0;
  ImageCollection tiffCollection, psdCollection;
  std::optional<foundation::Array> tiffInfoCollection;
  std::vector<FailedFile> failures;
  std::size_t handled = 0;  // files taken before the loop ended
  auto showProgress = [&](double fraction) {
    if (!severalFiles) return;
    ++done;
    progress.value = double(done) / fraction;
    runOnMainQueueSync([&] {
      view->updateProgressBarWithCurrentImageCount(std::min<std::int64_t>(done + 1, std::int64_t(fileCount)),
                                                   std::int64_t(fileCount));
    });
  };

  // The next files convert while the loop writes; the loop still takes,
  // names and writes every file in order.
  std::unique_ptr<ConversionWindow> window;
  const ConversionWindowOptions windowOptions = conversionWindowOptions();
  if (!copyOnly && severalFiles && windowOptions.filesAtOnce != 1) {
    const ConversionWindow::Work work = ConversionWindow::suitsSettings(working)
                                            ? ConversionWindow::Work::Convert
                                            : ConversionWindow::Work::Decode;
    // Files converted ahead are written ahead too, into their output
    // folder without a name; the loop names them in order. A 2x TIFF, and
    // a file whose kept-hierarchy subfolder the loop has not made yet, are
    // the loop's own writes.
    ConversionWindow::OutputFolder outputFolder;
    if (!working.convert2XImagesInTIFF)
      outputFolder = [session](const SourceFile& source) {
        return existingOutputFolderForSource(*session, source);
      };
    const std::atomic<bool>& previewWanted = view->state().openPreviewFromThread;
    window = std::make_unique<ConversionWindow>(work, session->urlsArray, working, *engine, windowOptions,
                                                std::move(outputFolder),
                                                [&previewWanted] { return previewWanted.load(); });
  }

  for (std::size_t index = 0; index < session->urlsArray.size(); ++index) {
    const SourceFile& source = session->urlsArray[index];
    engine->setActFileTags(std::nullopt);
    engine->indexMaxPixels = 0;
    session->setProcessedURL(source);
    foundation::clearFailure();

    if (copyOnly) {
      if (saveCopyImageWithSessionInfo(*session)) {
        session->updateNumberCount();
      } else {
        ++writeFailures;
        // A copy fails on its source first: only a readable one is the
        // destination's fault.
        foundation::Failure failure = takeSourceFailure(source.path);
        if (failure.cause == foundation::FailureCause::FormatNotSupported)
          failure = takeWriteFailure(session->parentDirectory());
        failures.push_back({fileName(source.path), true, std::move(failure)});
      }
      showProgress(count);
    } else {
      std::int64_t fileType = 0;
      std::shared_ptr<raster::ImageSet> image;
      std::shared_ptr<ImportedImage> worker;
      std::optional<imageio::EncodedFile> encoded;
      std::optional<ConversionWindow::Converted> ahead = window ? window->take(index) : std::nullopt;
      if (ahead && ahead->image) {
        image = std::move(ahead->image);
        fileType = ahead->fileType;
        worker = std::move(ahead->worker);
        encoded = std::move(ahead->encoded);
        engine->takeFileResultsFrom(*worker);
      } else {
        // The engine takes the decoded representations in place of its own
        // decode of the same file.
        if (ahead && ahead->decoded)
          engine->decodedAhead = [&](const std::string& path) {
            return path == source.path ? std::exchange(ahead->decoded, std::nullopt) : std::nullopt;
          };
        ci::ImageRef depth = working.wantsMixWithDepthData ? getDepthImageWithURL(source.path) : nullptr;
        image = engine->resizePixelSizeForURL(source.path, working, &fileType, depth);
        engine->decodedAhead = nullptr;
      }
      working.originalFileType = fileType;
      // With the eye-blink option a missing image is a skipped photo.
      if (!image && !working.optionFeaturesEyeBlink) {
        ++conversionFailures;
        failures.push_back({fileName(source.path), false, takeSourceFailure(source.path)});
      }
      // What the decode noted on its way to an image is no write's cause.
      foundation::clearFailure();

      // A file written ahead while the preview was off has no pixels left.
      if (image && view->state().openPreviewFromThread) {
        if (!image->isEmpty() && (!previewShown || clock() - lastPreviewTime >= kLivePreviewInterval)) {
          const std::shared_ptr<const raster::ImageSet> preview = previewCopy(*image);
          runOnMainQueueSync([&] { view->openImageViewWithImage(preview); });
          lastPreviewTime = clock();
          previewShown = true;
        }
      } else if (image) {
        previewShown = false;
      }

      auto countWrite = [&](bool written) {
        if (written) {
          session->updateNumberCount();
        } else {
          ++writeFailures;
          failures.push_back({fileName(source.path), true, takeWriteFailure(session->parentDirectory())});
        }
      };
      double denominator = count;
      if (working.convert2XImagesInTIFF) {
        if (image) countWrite(save2XTIFFImage(*image, working, *session));
      } else if (working.convertMultipleImagesInTIFF) {
        if (image) {
          tiffCollection.push_back(image);
          if (working.preserveMetadata) {
            if (!tiffInfoCollection) tiffInfoCollection.emplace();
            foundation::Array records;
            if (engine->imageMetadataArray) records = *engine->imageMetadataArray;
            tiffInfoCollection->emplace_back(std::move(records));
          }
        }
        denominator = 1.5 * count;
      } else if (working.convertMultipleImagesInPSD) {
        if (image) {
          if (!engine->psdInfoArray.empty() && engine->psdInfoArray.back().get(kHasFlattenedImageKey) &&
              !image->isEmpty())
            image->removeRepresentation(image->representations().back());
          psdCollection.push_back(image);
        }
        denominator = 1.5 * count;
      } else if (image) {
        countWrite(saveImage(*image, working, fileType, *session, encoded ? &*encoded : nullptr));
      }

      engine->indexMaxPixels = 0;
      engine->psdInfoArray.clear();
      showProgress(denominator);
      engine->exportedDepthImage = nullptr;
      if (window) window->giveBack(std::move(worker));
    }
    // What the allocator keeps of freed buffers stays that of a few files.
    if ((index + 1) % kFilesBetweenPageReleases == 0) foundation::MemoryReuseScope::releaseFreedPages();

    ++handled;
    // The main queue closes when the program ends under a running batch:
    // the batch stops as if cancelled, its view being gone.
    if (foundation::MainLoop::isClosed()) progress.cancelProgress = true;
    if (progress.cancelProgress) {
      writeFailures = conversionFailures = 0;
      break;
    }
  }
  // Every conversion still running ends before the collected outputs and
  // the end of the session.
  window.reset();

  // Copy-only batches collect nothing, so they write no collected output.
  const bool cancelled = progress.cancelProgress;
  // A failed collected output is the one failure the sheet names.
  std::optional<foundation::Failure> collectedFailure;
  if (!copyOnly && working.convertMultipleImagesInTIFF && !cancelled) {
    foundation::clearFailure();
    const bool written =
        saveTIFFMultipleRepsWithRepArray(tiffCollection, tiffInfoCollection, working, *session);
    if (severalFiles) progress.value = 1.0;
    if (!written) {
      conversionFailures = -1;
      if (!tiffCollection.empty()) collectedFailure = takeWriteFailure(session->parentDirectory());
    }
  }
  if (!copyOnly && working.convertMultipleImagesInPSD && !cancelled) {
    foundation::clearFailure();
    const bool written = savePSDMultipleRepsWithRepArray(psdCollection, *session);
    if (severalFiles) progress.value = 1.0;
    if (!written) {
      conversionFailures = -1;
      if (!psdCollection.empty()) collectedFailure = takeWriteFailure(session->parentDirectory());
    }
  }
  tiffCollection.clear();
  psdCollection.clear();
  // Nothing of this batch's faces or lookup tables reaches the next one,
  // whether it finished or was cancelled.
  if (engine->ciPhotoFilters) {
    engine->ciPhotoFilters->cropFacesArray.clear();
    engine->ciPhotoFilters->clearLookups();
  }

  runOnMainQueueSync([&] {
    if (severalFiles) {
      view->updateProgressBarWithCurrentImageCount(std::int64_t(fileCount), std::int64_t(fileCount));
      view->stopProgressBar();
    }
    view->addPresetsButtonFromView();
  });
  engine->exportedDepthImage = nullptr;

  // Failed when a collected output failed or every file failed, in any mix
  // of ways; a batch whose every conversion failed says so.
  const std::int64_t total = std::int64_t(fileCount);
  const bool failed = conversionFailures == -1 || writeFailures + conversionFailures >= total;
  // Failures the cancel itself caused are none of the files' own.
  std::erase_if(failures,
                [](const FailedFile& file) { return file.failure.cause == foundation::FailureCause::Cancelled; });
  runOnMainQueueSync([&] {
    if (!failed) {
      if (session->openWithHide) view->hideApplication();
      session->completitionCode = session->tempPath ? kCompletionTemporaryFolder : kCompletionOutputFolder;
      completeImageProcessingAndUpdatePreview(*session);
      if (!failures.empty() && !session->ignoreAlerts)
        view->showAlertSheet(failureSheetTitle(failures, -1, cancelled),
                             cancelled ? cancelledFailureText(failures, handled, fileCount)
                                       : partialFailureText(failures, fileCount));
    } else if (!session->ignoreAlerts) {
      const std::int64_t cause = conversionFailures == total && total > 0 ? total : -1;
      if (collectedFailure)
        alertSaveFailedWithSession(*session, cause, {FailedFile{"", true, *collectedFailure}}, 1);
      else
        alertSaveFailedWithSession(*session, cause, failures, fileCount);
    } else {
      view->activateAppWindow();
      session->completitionCode = kCompletionFailed;
      completeImageProcessingAndUpdatePreview(*session);
    }
  });
}

}  // namespace velumar

#include "session/conversion_request.h"

#include <filesystem>

#include "engine/file_type_codes.h"
#include "engine/imported_image.h"
#include "filters/cifiltering.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/main_loop.h"
#include "session/output_names.h"
#include "session/processing_session.h"
#include "session/processing_view.h"
#include "session/session_info.h"

namespace velumar {

namespace fs = std::filesystem;

namespace {
constexpr double kRequestDelaySeconds = 0.1;
constexpr std::int64_t kFileTypePSD = 7;
}  // namespace

std::string tempDataDirectory() {
  return foundation::applicationSupportDirectory() + "/TempData";
}

bool clearTemDirectoryForPath(const std::string& path) {
  std::error_code error;
  fs::create_directories(tempDataDirectory(), error);
  const fs::path tempData = fs::canonical(tempDataDirectory(), error);
  if (error) {
    foundation::log("No temporary folder to empty: {}", error.message());
    return false;
  }
  const fs::path given = fs::canonical(path, error);
  if (error || given != tempData) {
    foundation::log("Refusing to empty a folder that is not the temporary folder: {}", path);
    return false;
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(tempData, error)) {
    std::error_code removeError;
    // remove_all never follows a link: a link goes, its target stays.
    fs::remove_all(entry.path(), removeError);
  }
  return true;
}

void setupClassesInitialValuesAndCloseWindows(ProcessingView& view, std::int64_t setupMode) {
  view.state().isProcessingImages = true;
  view.setPreviewCanAcceptImages(false);
  if (setupMode == 1) {
    view.verifyVisibleWindows();
    view.closeAllPopoversOnlyAlpha(false);
  }
  view.closeImageView();
  if (const std::shared_ptr<ImportedImage> engine = view.importedImage()) engine->watermarkImage.reset();
}

void clearClassesArrayWithLookups(ImportedImage& engine, bool lookups) {
  engine.urlsArray.clear();
  engine.psdInfoArray.clear();
  if (engine.ciPhotoFilters) {
    engine.ciPhotoFilters->cropFacesArray.clear();
    if (lookups) engine.ciPhotoFilters->clearLookups();
  }
}

std::optional<std::string> setupParentDirectoryWithInfo(const ConverterState& state, const ImageModifyInfo&,
                                                        std::uint64_t) {
  const std::string& stored = state.fileURLForSaving;
  if (state.saveWithStoredFileURL != 1 || stored.empty() || stored == kOutputFolderPlaceholder)
    return std::nullopt;
  if (!verifyParentDirectory(stored)) return std::nullopt;
  return stored;
}

bool verifyHideAppAfterOpenWith(ProcessingView& view) {
  ConverterState& state = view.state();
  const bool hide = state.openWithHide && state.isFromOpenWith &&
                    (!view.isApplicationHidden() || view.isConverterWindowVisible());
  state.isFromOpenWith = false;
  return hide;
}

std::shared_ptr<SessionInfo> processNewImageAfterDragging(const std::shared_ptr<ProcessingView>& view,
                                                          const ConversionRequest& request) {
  if (!view) return nullptr;
  ConverterState& state = view->state();
  if (state.isProcessingImages) {
    foundation::log("A conversion is running; the request is refused");
    return nullptr;
  }
  const std::shared_ptr<ImportedImage> engine = view->importedImage();
  if (!engine) return nullptr;
  std::optional<std::string> tempPath;
  if (!request.tempPath.empty()) {
    // Refused without an alert: the record ends with code 0.
    if (!clearTemDirectoryForPath(request.tempPath)) return std::make_shared<SessionInfo>();
    tempPath = request.tempPath;
  }
  setupClassesInitialValuesAndCloseWindows(*view, request.setupMode);
  clearClassesArrayWithLookups(*engine, true);
  ImageModifyInfo settings = view->readCurrentPresetValues();

  std::optional<std::string> outputFolder;
  if (tempPath) {
    engine->openWithApplicationType = 0;
    outputFolder = tempPath;
  } else {
    engine->openWithApplicationType = settings.openWith;
    outputFolder = setupParentDirectoryWithInfo(state, settings, request.sources.size());
  }
  // A stored folder passed over: the chooser asks, and a refusal names it.
  const bool storedFolderPassedOver = !tempPath && !outputFolder && state.saveWithStoredFileURL == 1 &&
                                      !state.fileURLForSaving.empty() &&
                                      state.fileURLForSaving != kOutputFolderPlaceholder;

  auto session = std::make_shared<SessionInfo>();
  session->setProcessingView(view);
  session->asyncQueue = request.asyncQueue;
  session->urlsArray = request.sources;
  session->urlsCount = request.sources.size();
  session->globalParentDirectory = tempPath ? tempPath : state.globalParentDirectory;
  session->saveType = tempPath ? 1 : state.saveWithStoredFileURL;
  session->numberCount = state.initialNumber;
  if (tempPath) settings.optionFeaturesSaveCropFaces = false;
  session->setPresetInfo(settings);
  session->setProcessedImage(engine);
  session->overwriteFiles = !tempPath && state.overwriteFiles;
  session->removeURLCachesWhenDone = state.removeURLCachesWhenDone;
  session->canUseTags = state.canUseTags;
  session->maintainHierarchy = state.maintainHierarchy;
  session->openWithHide = !tempPath && verifyHideAppAfterOpenWith(*view);
  session->setParentDirectory(outputFolder);
  session->ignoreBookmark = request.ignoreBookmark;
  session->ignoreAlerts = request.ignoreAlerts;
  session->tempPath = tempPath;
  if (storedFolderPassedOver) session->refusedStoredFolder = state.fileURLForSaving;
  session->setRenameInfo(view->setupRenameInfo());
  session->setRenameValues(state.renameValues());
  session->renameIgnoreProcessing = state.renameIgnoreProcessing;

  view->showFilesCount(1, std::int64_t(session->urlsCount));
  auto processing = std::make_shared<ProcessingSession>();
  session->setCurrentSession(processing);
  processing->startSession(session);
  return session;
}

void postConversionRequest(const std::shared_ptr<ProcessingView>& view, ConversionRequest request) {
  std::weak_ptr<ProcessingView> weakView = view;
  foundation::MainLoop::postAfter(kRequestDelaySeconds, [weakView, request = std::move(request)] {
    if (const std::shared_ptr<ProcessingView> target = weakView.lock())
      processNewImageAfterDragging(target, request);
  });
}

std::vector<raster::BitmapImageRepRef> processNewImageForURL(ProcessingView& view, const std::string& path) {
  std::vector<raster::BitmapImageRepRef> result;
  const std::shared_ptr<ImportedImage> engine = view.importedImage();
  if (!engine) return result;
  clearClassesArrayWithLookups(*engine, false);
  ImageModifyInfo settings = view.readCurrentPresetValues();
  settings.optionFeaturesSaveCropFaces = false;
  settings.keepOriginalFileTypeIfPossible = false;
  settings.preserveMetadata = false;
  settings.preserveCMYKAlpha = false;
  if (settings.colorSpace == 5) settings.colorSpace = 4;
  const std::optional<FileTypeDetection> types = engine->verifyFileTypeFromURL(path);
  if (!types) return result;
  settings.originalFileType = types->fileType;
  settings.conversionType = types->fileType == kFileTypePSD ? ConversionType::JPEG : ConversionType::TIFF;
  if (std::shared_ptr<raster::ImageSet> image =
          engine->resizePixelSizeForURL(path, settings, nullptr, nullptr))
    engine->transferBitmapRepsFromImage(*image, result);
  engine->watermarkImage.reset();
  return result;
}

void notifyCantProcessImageAfterDragging(ProcessingView& view) {
  view.activateAppWindow();
  view.showAlertSheet("Couldn't open file", "Format not supported.");
}

}  // namespace velumar

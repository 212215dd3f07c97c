// The session writers: one converted image, the 2x TIFF, a plain renamed
// copy, and the multi-page TIFF and layered PSD of a whole batch.

#include <filesystem>

#include "engine/file_type_codes.h"
#include "engine/imported_image.h"
#include "platform/foundation/file_copy.h"
#include "platform/imageio/deferred_naming.h"
#include "platform/imageio/unnamed_file.h"
#include "session/output_names.h"
#include "session/processing_session.h"
#include "session/processing_view.h"
#include "session/session_info.h"

namespace velumar {

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kFileTypeGIF = 6;
constexpr std::int64_t kFileTypePSDCollection = 12;

bool isIconSet(std::int64_t code) {
  return code >= ConversionType::IOSIconSet && code <= ConversionType::Xcode2xFolder;
}

// The engine's metadata as the one-element info array of a single source.
std::optional<foundation::Array> singleSourceInfoArray(const ImportedImage& engine) {
  if (!engine.imageMetadataArray) return std::nullopt;
  return foundation::Array{foundation::Value(*engine.imageMetadataArray)};
}

// Moves every representation of the collected images, in order, into one
// image; the collected images are left empty.
raster::ImageSet combineCollection(ImageCollection& images, raster::Size size) {
  raster::ImageSet combined(size);
  for (const std::shared_ptr<raster::ImageSet>& image : images) {
    if (!image) continue;
    const std::vector<raster::BitmapImageRepRef> reps = image->representations();
    for (const raster::BitmapImageRepRef& rep : reps) {
      image->removeRepresentation(rep);
      combined.addRepresentation(rep);
    }
  }
  return combined;
}

// The name with " N" before its extension, as the free-name search makes.
std::string numberedVariant(const std::string& path, long number) {
  const std::string extension = fs::path(path).filename().extension().string();
  return path.substr(0, path.size() - extension.size()) + " " + std::to_string(number) + extension;
}

bool nameIsTaken(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

bool isEmptyCollection(const ImageCollection& images) {
  for (const std::shared_ptr<raster::ImageSet>& image : images)
    if (image && !image->isEmpty()) return false;
  return true;
}

}  // namespace

std::string comparablePath(const std::string& path) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(path, error);
  return error ? fs::path(path).lexically_normal().string() : canonical.string();
}

std::string ProcessingSession::pathForWrite(const std::string& path, const SessionInfo& session) {
  if (!session.overwriteFiles) return freeNameForCommit(path);
  std::lock_guard guard(lock_);
  if (!sourcePaths_) {
    sourcePaths_.emplace();
    for (const SourceFile& source : session.urlsArray) sourcePaths_->insert(comparablePath(source.path));
  }
  const std::optional<SourceFile> current = session.processedURL();
  const std::string own = current ? comparablePath(current->path) : std::string();
  // Overwriting replaces what an earlier run left, numbered outputs
  // included; it only steps aside for this batch's own outputs and its
  // other sources, so a re-run gives the same names as the first run.
  auto isTaken = [&](const std::string& candidate) {
    const std::string target = comparablePath(candidate);
    return writtenPaths_.contains(target) || (sourcePaths_->contains(target) && target != own);
  };
  if (!isTaken(path)) return path;
  for (long number = 2;; ++number) {
    std::string candidate = numberedVariant(path, number);
    if (!isTaken(candidate)) return candidate;
  }
}

std::string ProcessingSession::freeNameForCommit(const std::string& path) {
  std::string free = verifyPathName(path);
  imageio::noteFreeNameBase(free, path);
  return free;
}

void ProcessingSession::rememberWritten(const ImportedImage& engine, std::size_t before) {
  std::lock_guard guard(lock_);
  for (std::size_t i = before; i < engine.urlsArray.size(); ++i)
    writtenPaths_.insert(comparablePath(engine.urlsArray[i]));
}

bool ProcessingSession::saveImage(const raster::ImageSet& image, ImageModifyInfo info,
                                  std::int64_t originalFileType, SessionInfo& session,
                                  imageio::EncodedFile* encoded) {
  const std::shared_ptr<ImportedImage> engine = session.processedImage();
  if (!engine) return false;
  ImportedImage::verifyKeepOriginalFileTypeForImageInfo(info, std::nullopt, originalFileType);
  const std::int64_t code = info.conversionType;
  std::string path = createPathFileForSession(session, code);
  if (path.empty()) return false;
  // Without overwriting, a commit never replaces a file that took the
  // chosen name meanwhile: it takes the next free name instead.
  const imageio::NoReplaceScope noReplace(!session.overwriteFiles);
  // Icon sets decide about replacing themselves.
  if (!isIconSet(code)) path = pathForWrite(path, session);

  const std::size_t before = engine->urlsArray.size();
  const std::size_t pages = image.representations().size();
  bool written = false;
  if (encoded) {
    written = engine->claimEncodedFile(*encoded, path);
  } else if (code == ConversionType::TIFF && pages >= 2) {
    written = engine->saveATiffVersionFromImage(
        image, path, info.doTiffCompression, 1.0, info.preserveMetadata,
        info.preserveMetadata ? singleSourceInfoArray(*engine) : std::nullopt);
  } else if (info.originalFileType == kFileTypeGIF && code == ConversionType::GIF && pages >= 2) {
    written = engine->saveAGifVersionFromImage(image, path, true, singleSourceInfoArray(*engine));
  } else {
    written = engine->saveImage(image, code, path, originalFileType, info.jpegCompressionFactor,
                                info.doTiffCompression, info.preserveMetadata, session.overwriteFiles,
                                info.roundedCornersICNS, info.shadowICNS);
  }
  rememberWritten(*engine, before);
  return written;
}

bool ProcessingSession::save2XTIFFImage(const raster::ImageSet& image, const ImageModifyInfo& info,
                                        SessionInfo& session) {
  const std::shared_ptr<ImportedImage> engine = session.processedImage();
  if (!engine) return false;
  const std::vector<raster::BitmapImageRepRef>& reps = image.representations();
  const std::string path = createPathFileForSession(session, ConversionType::TIFF);
  if (path.empty()) return false;
  bool anyWritten = false;
  for (std::size_t index = 0; index < reps.size(); ++index) {
    // Several pages always take free names: name, name 2, name 3, ...
    const imageio::NoReplaceScope noReplace(reps.size() != 1 || !session.overwriteFiles);
    const std::string pagePath = reps.size() != 1 ? freeNameForCommit(path) : pathForWrite(path, session);
    const std::size_t before = engine->urlsArray.size();
    if (engine->saveImageReps2xTIFFFromBitmapRep(reps[index], std::int64_t(index), pagePath, info))
      anyWritten = true;
    rememberWritten(*engine, before);
  }
  return anyWritten;
}

bool ProcessingSession::saveCopyImageWithSessionInfo(SessionInfo& session) {
  const std::shared_ptr<ImportedImage> engine = session.processedImage();
  const std::optional<SourceFile> source = session.processedURL();
  if (!engine || !source) return false;
  const std::string path = createPathFileForSession(session, kKeepSourceExtension);
  bool copied = false;
  if (!path.empty()) {
    // A name taken between the search and the copy moves the copy on to
    // the next free name.
    std::string target = verifyPathName(path);
    copied = foundation::copyFileWithoutReplacing(source->path, target);
    for (int attempt = 0; !copied && attempt < 100 && nameIsTaken(target); ++attempt) {
      target = verifyPathName(path);
      copied = foundation::copyFileWithoutReplacing(source->path, target);
    }
    if (copied) {
      const std::size_t before = engine->urlsArray.size();
      engine->urlsArray.push_back(target);
      rememberWritten(*engine, before);
    }
  }
  engine->releasePropertiesAndMetadata();
  return copied;
}

std::string ProcessingSession::collectedOutputPath(const SessionInfo& session,
                                                   std::int64_t conversionCode) {
  const std::string first = session.urlsArray.empty() ? std::string() : session.urlsArray.front().path;
  // The name and its date both come from the first source.
  const std::string name = renamedFileName(updateFileNameForURL(first, conversionCode), session, first);
  std::string folder = session.parentDirectory().value_or("");
  if (folder.empty() || folder.back() != '/') folder += '/';
  return freeNameForCommit(folder + name);
}

void ProcessingSession::previewCollectedImage(const raster::ImageSet& image, SessionInfo& session) const {
  const std::shared_ptr<ProcessingView> view = session.processingView();
  if (!view || !view->state().openPreviewFromThread || image.isEmpty()) return;
  // A representation of its own around the same immutable pixels: the main
  // thread never shares a representation the worker changes.
  const raster::BitmapImageRepRef first = image.representations().front();
  raster::BitmapImageRepRef copy = raster::BitmapImageRep::withImage(first->image());
  if (!copy) return;
  copy->setSize(first->size());
  auto preview = std::make_shared<raster::ImageSet>(image.size());
  preview->addRepresentation(copy);
  runOnMainQueueSync([&] { view->openImageViewWithImage(preview); });
}

bool ProcessingSession::saveTIFFMultipleRepsWithRepArray(ImageCollection& images,
                                                         const std::optional<foundation::Array>& infoArray,
                                                         const ImageModifyInfo& info, SessionInfo& session) {
  const std::shared_ptr<ImportedImage> engine = session.processedImage();
  if (!engine || isEmptyCollection(images)) return false;
  const raster::Size size = images.front() ? images.front()->size() : raster::Size{};
  const imageio::NoReplaceScope noReplace;
  const std::string path = collectedOutputPath(session, ConversionType::TIFF);
  engine->setActFileTags(std::nullopt);
  const raster::ImageSet combined = combineCollection(images, size);
  previewCollectedImage(combined, session);
  const std::size_t before = engine->urlsArray.size();
  const bool written = engine->saveATiffVersionFromImage(combined, path, info.doTiffCompression, 1.0,
                                                         info.preserveMetadata, infoArray);
  rememberWritten(*engine, before);
  return written;
}

bool ProcessingSession::savePSDMultipleRepsWithRepArray(ImageCollection& images, SessionInfo& session) {
  const std::shared_ptr<ImportedImage> engine = session.processedImage();
  if (!engine || isEmptyCollection(images)) return false;
  const imageio::NoReplaceScope noReplace;
  const std::string path = collectedOutputPath(session, ConversionType::PSDLayered);
  engine->setActFileTags(std::nullopt);
  raster::ImageSet combined = combineCollection(images, raster::Size{});
  const std::int64_t largest =
      ImportedImage::verifyGenericImagePixelSizeForRepsArray(combined.representations());
  engine->indexMaxPixels = largest;
  combined.setSize(combined.representations()[std::size_t(largest)]->size());
  previewCollectedImage(combined, session);
  const std::size_t before = engine->urlsArray.size();
  const bool written = engine->saveImage(combined, ConversionType::PSDLayered, path, kFileTypePSDCollection,
                                         1.0, 0, false, false, false, false);
  rememberWritten(*engine, before);
  return written;
}

}  // namespace velumar

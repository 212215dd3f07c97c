#include "session/conversion_window.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "engine/image_rep_reader.h"
#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "engine/shrink_on_load.h"
#include "platform/foundation/failure_cause.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/decode_cancel.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/type_detection.h"

namespace velumar {

namespace {

std::atomic<int> conversionsRunning{0};
constexpr std::size_t kMostFilesDecodedAhead = 3;
// Converted files may wait for the loop while later ones convert: a slow
// file (a large photo) then does not leave the other cores idle. Each
// waiting file holds only its result within the budget.
constexpr std::size_t kFilesAheadPerFileAtOnce = 3;

// What converting a file holds at its peak, in units of its decode when
// nothing better is known (several images, no target size): the decode,
// the drawn result and the draw's scratch.
constexpr std::int64_t kConversionBytesPerDecodedByte = 3;
// A filter graph renders premultiplied float RGBA.
constexpr std::int64_t kFilterGraphBytesPerPixel = 16;
// The resampler's scratch: bands of float RGBA rows as wide as the wider
// of the decode and the result.
constexpr std::int64_t kScratchRows = 128;
constexpr std::int64_t kScratchBytesPerPixel = 16;

// Whether the picture at index is stored turned (an EXIF orientation the
// decode turns upright).
bool storedTurned(const imageio::ImageSource& source, std::size_t index) {
  const foundation::Value properties = source.properties(index);
  const foundation::Value* orientation = properties.get("Orientation");
  const std::int64_t value = orientation ? orientation->intOr(1) : 1;
  return value >= 2 && value <= 8;
}

std::int64_t wholePixels(double side) {
  return std::isfinite(side) && side > 0 ? std::int64_t(std::ceil(side)) : 0;
}

// The bytes a finished conversion holds until the loop takes it: its
// result's pixels.
std::int64_t heldBytesOf(const ConversionWindow::Converted& result) {
  std::int64_t bytes = 0;
  auto add = [&](const std::vector<raster::BitmapImageRepRef>& reps) {
    for (const raster::BitmapImageRepRef& rep : reps)
      if (rep && rep->image()) bytes += std::int64_t(rep->image()->bytesPerRow()) * rep->image()->height();
  };
  if (result.image) add(result.image->representations());
  if (result.decoded) add(*result.decoded);
  return bytes;
}

}  // namespace

std::int64_t ConversionWindow::conversionBytesOf(const std::string& path) {
  // Reading headers ahead notes nothing the loop's file could be blamed for.
  const foundation::FailureScope quiet;
  std::string type = imageio::typeFromContents(path);
  if (type.empty()) type = imageio::typeOfFile(path);
  // A PSD converted as one picture (its composite, or its layers merged)
  // reads like a raster file; one converted as its layers stays with the
  // loop.
  const auto readable = [this](const std::string& t) {
    return imageio::isPlainRasterType(t) || (t == writers::kTypePSD && work_ == Work::Convert);
  };
  if (!readable(type)) return 0;
  const std::optional<ImageRepReading> reading = imageRepsWithContentsOfURL(path);
  if (!reading || !reading->source || !readable(reading->source->type())) return 0;
  const std::int64_t full = reading->source->decodedByteEstimate();
  if (full <= 0) return 0;
  if (work_ == Work::Decode) {
    // The decode, its copy turned upright when stored turned, and what
    // decoding holds besides the pixels (a progressive JPEG's coefficients
    // and file).
    std::int64_t bytes = full;
    bool turned = false;
    for (const ImageRepEntry& entry : reading->entries) {
      turned = turned || storedTurned(*reading->source, entry.index);
      bytes += reading->source->decodeWorkingBytes(entry.index);
    }
    return turned ? bytes + full : bytes;
  }
  if (!sizer_) sizer_ = engine_.makeBatchWorker();
  const std::optional<FileTypeDetection> types = sizer_->verifyFileTypeFromURL(path);
  if (!types) return 0;
  ImageModifyInfo info = settings_;
  ImportedImage::verifyKeepOriginalFileTypeForImageInfo(info, types, -1);
  if (reading->source->type() == writers::kTypePSD &&
      ImportedImage::loadsPSDLayersForConversionType(info.conversionType))
    return 0;
  if (reading->entries.size() != 1 || reading->entries[0].isDocument) return full * kConversionBytesPerDecodedByte;

  // The target as the conversion sizes it.
  const ImageRepEntry& entry = reading->entries[0];
  const raster::Size upright = uprightPixelSize(*reading, entry);
  const std::int64_t width = wholePixels(upright.width), height = wholePixels(upright.height);
  if (width <= 0 || height <= 0) return full * kConversionBytesPerDecodedByte;
  sizer_->verifyConditionsForImageInfo(info, types, nullptr);
  raster::Size target = upright;
  if (info.doImageResize && !info.onlySetDpi) {
    ImageModifyInfo probe = info;
    probe.resizeScaleType = settings_.resizeScaleType;
    probe.cropCenterX = settings_.cropCenterX;
    probe.cropCenterY = settings_.cropCenterY;
    probe.unrotatedWidth = settings_.unrotatedWidth;
    probe.unrotatedHeight = settings_.unrotatedHeight;
    probe.cropAndRotateCropSize = settings_.cropAndRotateCropSize;
    const double uprightPoints = upright.width == entry.pixelsWide ? entry.size.width : entry.size.height;
    double pointsPerPixel = uprightPoints / upright.width;
    if (!(pointsPerPixel > 0 && std::isfinite(pointsPerPixel))) pointsPerPixel = 1.0;
    target = probe.setFromFixedSize
                 ? raster::Size{probe.fixedSizeW != 0 ? probe.fixedSizeW : upright.width,
                                probe.fixedSizeH != 0 ? probe.fixedSizeH : upright.height}
                 : ImportedImage::verifyResizeSizeFromPixelSize(upright, pointsPerPixel, probe);
    sizer_->verifyPixelAvailabilityForSize(target, upright, probe);
  }
  const std::int64_t targetWidth = wholePixels(target.width), targetHeight = wholePixels(target.height);
  if (targetWidth <= 0 || targetHeight <= 0) return full * kConversionBytesPerDecodedByte;

  // The decode, at the size shrink-on-load reads it at.
  const std::int64_t bytesPerPixel = std::max<std::int64_t>(4, full / (width * height));
  std::int64_t decodedWidth = width, decodedHeight = height;
  if (engine_.shrinkOnLoad && allowsReducedDecode(info, reading->source->type())) {
    if (const std::int64_t longSide = reducedDecodeLongSide(upright, target); longSide > 0) {
      const std::int64_t longer = std::max(width, height);
      decodedWidth = std::min(width, (width * longSide + longer - 1) / longer + 1);
      decodedHeight = std::min(height, (height * longSide + longer - 1) / longer + 1);
    }
  }
  // The decode (and its copy turned upright), the drawn result and the
  // resampler's rows.
  const bool turned = storedTurned(*reading->source, entry.index);
  const std::int64_t targetPixels = targetWidth * targetHeight;
  std::int64_t bytes = (turned ? 2 : 1) * decodedWidth * decodedHeight * bytesPerPixel +
                       targetPixels * bytesPerPixel +
                       kScratchRows * std::max(decodedWidth, targetWidth) * kScratchBytesPerPixel;
  // A progressive JPEG keeps every coefficient while it decodes, at any
  // scale.
  bytes += reading->source->decodeWorkingBytes(entry.index);
  if (ImportedImage::needsCIContextForImageInfo(info)) bytes += targetPixels * kFilterGraphBytesPerPixel;
  return bytes;
}

// A JPEG or WebP the conversion may decode at a reduced size is left to it.
bool ConversionWindow::decodesAhead(const std::string& path) const {
  if (work_ != Work::Decode || !engine_.shrinkOnLoad) return true;
  std::string type = imageio::typeFromContents(path);
  if (type.empty()) type = imageio::typeOfFile(path);
  return !allowsReducedDecode(settings_, type);
}

ConversionWindowOptions& conversionWindowOptions() {
  static ConversionWindowOptions options;
  return options;
}

// Filter slots, LUT, curves, composites, tiny planets, borders and
// watermarks render alike on a worker's copies; the automatic adjustments
// and faces (a detector per engine, crops collected for the session) and
// depth (read by the loop per file) stay with the converter's engine.
bool ConversionWindow::suitsSettings(const ImageModifyInfo& settings) {
  return !settings.convertMultipleImagesInTIFF && !settings.convertMultipleImagesInPSD &&
         !settings.optionAutoAdjust && !settings.optionFeatures && !settings.optionEnhance &&
         !settings.optionRedEye && !settings.optionFeaturesEyeBlink && !settings.optionFeaturesSaveCropFaces &&
         !settings.wantsMixWithDepthData && !settings.wantsDepthExport;
}

ConversionWindow::ConversionWindow(Work work, std::vector<SourceFile> sources,
                                   const ImageModifyInfo& settings, const ImportedImage& engine,
                                   ConversionWindowOptions options, OutputFolder outputFolder,
                                   PixelsWanted pixelsWanted)
    : work_(work),
      sources_(std::move(sources)),
      settings_(settings),
      engine_(engine),
      options_(options),
      outputFolder_(work == Work::Convert ? std::move(outputFolder) : nullptr),
      pixelsWanted_(std::move(pixelsWanted)),
      cancel_(imageio::decodeCancelFlag()),
      slots_(sources_.size()) {
  const int cores = std::max(1, foundation::hardwareConcurrency());
  filesAtOnce_ = std::size_t(options.filesAtOnce > 0 ? options.filesAtOnce : cores);
  filesAhead_ = filesAtOnce_ * kFilesAheadPerFileAtOnce;
  if (work_ == Work::Decode) filesAhead_ = filesAtOnce_ = std::min<std::size_t>(filesAtOnce_, kMostFilesDecodedAhead);
}

ConversionWindow::~ConversionWindow() {
  close();
}

int ConversionWindow::runningConversions() {
  return conversionsRunning.load();
}

void ConversionWindow::close() {
  {
    std::lock_guard guard(lock_);
    closed_ = true;
  }
  tasks_.wait();
}

void ConversionWindow::giveBack(std::shared_ptr<ImportedImage> worker) {
  if (!worker) return;
  std::lock_guard guard(lock_);
  idleWorkers_.push_back(std::move(worker));
}

void ConversionWindow::prepareFilesUpTo(std::size_t end) {
  end = std::min(end, sources_.size());
  std::size_t from = 0;
  {
    std::lock_guard guard(lock_);
    from = prepared_;
  }
  for (std::size_t index = from; index < end; ++index) {
    const std::string& path = sources_[index].path;
    const std::int64_t estimate = decodesAhead(path) ? conversionBytesOf(path) : 0;
    // The loop converts a file the window cannot hold itself.
    const bool ahead = estimate > 0 && estimate <= options_.memoryBudget;
    // A worker for every file that may start: a finished conversion starts
    // the next file on the pool's thread, where no worker is made, and a
    // converted file keeps its worker until the loop has written it.
    std::shared_ptr<ImportedImage> worker;
    if (ahead && work_ == Work::Convert) {
      std::size_t waiting = 1, idle = 0;
      {
        std::lock_guard guard(lock_);
        for (std::size_t other = nextToStart_; other < prepared_; ++other)
          if (slots_[other].state == State::Waiting) ++waiting;
        idle = idleWorkers_.size();
      }
      if (idle < waiting) worker = engine_.makeBatchWorker();
    }
    std::lock_guard guard(lock_);
    Slot& slot = slots_[index];
    slot.estimate = estimate;
    if (!ahead) slot.state = State::OnLoop;
    if (worker) idleWorkers_.push_back(std::move(worker));
    prepared_ = index + 1;
    startPreparedFiles();
  }
}

void ConversionWindow::startPreparedFiles() {
  while (nextToStart_ < prepared_ && slots_[nextToStart_].state != State::Waiting) ++nextToStart_;
  for (std::size_t index = nextToStart_; !closed_ && index < prepared_; ++index) {
    Slot& slot = slots_[index];
    if (slot.state != State::Waiting) continue;
    if (converting_ >= filesAtOnce_) return;
    // A file that does not fit now waits, and a later one that fits starts
    // meanwhile; room that frees goes to the earliest waiting file first.
    if (bytesInFlight_ + slot.estimate > options_.memoryBudget) continue;
    if (work_ == Work::Convert) {
      if (idleWorkers_.empty()) return;
      slot.worker = std::move(idleWorkers_.back());
      idleWorkers_.pop_back();
    }
    ++converting_;
    bytesInFlight_ += slot.estimate;
    slot.state = State::Queued;
    tasks_.run([this, index] { convert(index); });
  }
}

bool ConversionWindow::convertAQueuedFile() {
  std::size_t index = 0;
  {
    std::lock_guard guard(lock_);
    while (index < prepared_ && slots_[index].state != State::Queued) ++index;
    if (index >= prepared_) return false;
  }
  // Isolated as on the pool: the loop's thread, waiting inside this file's
  // parallel loops, never starts another whole file there.
  foundation::runIsolated([this, index] { convert(index); });
  return true;
}

void ConversionWindow::convert(std::size_t index) {
  std::shared_ptr<ImportedImage> worker;
  {
    // The loop converts a file itself that it needs before a thread of the
    // pool could start it.
    std::lock_guard guard(lock_);
    Slot& slot = slots_[index];
    if (slot.state != State::Queued) return;
    if (closed_) {
      --converting_;
      bytesInFlight_ -= slot.estimate;
      slot.state = State::OnLoop;
      return;
    }
    slot.state = State::Running;
    worker = std::move(slot.worker);
    ++conversionsRunning;
  }
  // What this file notes stays with it: the thread may be the loop's.
  const foundation::FailureScope isolate;
  // The loop's cancel reaches this file's decode on whichever thread runs it.
  const imageio::DecodeCancelScope cancelDecodes(cancel_);
  const std::string& path = sources_[index].path;
  const std::optional<FileIdentity> before = imageio::identityOf(path);
  Converted result;
  // Whatever goes wrong here, the slot is finished: the loop then converts
  // the file itself, as it would have without the window.
  try {
    if (work_ == Work::Decode) {
      if (const std::optional<ImageRepReading> reading = imageRepsWithContentsOfURL(path))
        result.decoded = bitmapRepsOfReading(*reading);
    } else {
      worker->indexMaxPixels = 0;
      worker->psdInfoArray.clear();
      result.image = worker->resizePixelSizeForURL(path, settings_, &result.fileType, nullptr);
      if (result.image && outputFolder_) {
        // The writers see the settings as the loop hands them over.
        ImageModifyInfo info = settings_;
        info.originalFileType = result.fileType;
        result.encoded =
            worker->encodeForBatch(*result.image, info, result.fileType, outputFolder_(sources_[index]));
        // Written already: the pixels would only wait for the loop.
        if (result.encoded && pixelsWanted_ && !pixelsWanted_())
          result.image = std::make_shared<raster::ImageSet>(result.image->size());
      }
    }
  } catch (const std::exception& error) {
    foundation::log("session: converting {} ahead failed: {}", path, error.what());
    result = Converted{};
    worker = nullptr;  // its per-file state is unknown
  }
  const std::optional<FileIdentity> after = imageio::identityOf(path);
  result.worker = std::move(worker);
  // A file that changed while it was read is read again by the loop.
  if (!before || before != after) {
    result.image = nullptr;
    result.encoded.reset();
    result.decoded.reset();
  }
  {
    std::lock_guard guard(lock_);
    Slot& slot = slots_[index];
    slot.identity = before;
    // From now on the file holds its result, not what converting it took.
    const std::int64_t held = std::min(slot.estimate, heldBytesOf(result));
    bytesInFlight_ -= slot.estimate - held;
    slot.estimate = held;
    slot.result = std::move(result);
    slot.state = State::Done;
    --converting_;
    --conversionsRunning;
    // The next prepared file takes the room this one left.
    startPreparedFiles();
    finished_.notify_all();
  }
}

std::optional<ConversionWindow::Converted> ConversionWindow::take(std::size_t index) {
  if (index >= slots_.size()) return std::nullopt;
  // Nothing the window reads ahead is the cause of this file's failure.
  const foundation::FailureScope isolate;
  {
    // The loop has finished the file it converted itself.
    std::lock_guard guard(lock_);
    bytesInFlight_ -= loopBytes_;
    loopBytes_ = 0;
  }
  prepareFilesUpTo(index + 1 + filesAhead_);
  Slot& slot = slots_[index];
  Converted result;
  std::optional<FileIdentity> identity;
  {
    std::unique_lock guard(lock_);
    startPreparedFiles();
    // A file no thread of the pool has started yet: the loop converts it at
    // once, within the budget, which it holds until the loop's next file.
    if (slot.state == State::Queued) {
      --converting_;
      loopBytes_ = slot.estimate;
      if (slot.worker) idleWorkers_.push_back(std::move(slot.worker));
    } else if (slot.state == State::Waiting && slot.estimate > 0) {
      bytesInFlight_ += slot.estimate;
      loopBytes_ = slot.estimate;
    }
    if (slot.state == State::OnLoop || slot.state == State::Waiting || slot.state == State::Queued) {
      slot.state = State::OnLoop;
      startPreparedFiles();
      return std::nullopt;
    }
    // While this file converts, the loop's thread converts a later one
    // that no thread of the pool has started yet.
    while (slot.state != State::Done) {
      guard.unlock();
      const bool helped = convertAQueuedFile();
      guard.lock();
      if (!helped && slot.state != State::Done) finished_.wait(guard);
    }
    slot.state = State::Taken;
    bytesInFlight_ -= slot.estimate;
    result = std::move(slot.result);
    identity = slot.identity;
    // Another file of the window may start in the budget this one held.
    startPreparedFiles();
  }
  const bool hasResult = work_ == Work::Decode ? result.decoded.has_value() : result.image != nullptr;
  if (!hasResult || !identity || imageio::identityOf(sources_[index].path) != identity) {
    giveBack(std::move(result.worker));
    return std::nullopt;
  }
  return result;
}

}  // namespace velumar

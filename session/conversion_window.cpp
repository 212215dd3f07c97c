#include "session/conversion_window.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>

#include "engine/image_rep_reader.h"
#include "engine/imported_image.h"
#include "engine/shrink_on_load.h"
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

std::int64_t nanoseconds(const timespec& time) {
  return std::int64_t(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// What converting a file holds at its peak, as a multiple of its decoded
// bytes: the decode, the drawn result and the draw's scratch rows.
constexpr std::int64_t kConversionBytesPerDecodedByte = 3;

// The bytes converting a plain raster file takes, from its header; 0 for
// any other file or one whose header says nothing.
std::int64_t conversionBytesOf(const std::string& path) {
  std::string type = imageio::typeFromContents(path);
  if (type.empty()) type = imageio::typeOfFile(path);
  if (!imageio::isPlainRasterType(type)) return 0;
  const std::shared_ptr<imageio::ImageSource> source = imageio::ImageSource::open(path);
  if (!source || !imageio::isPlainRasterType(source->type())) return 0;
  return source->decodedByteEstimate() * kConversionBytesPerDecodedByte;
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

std::optional<FileIdentity> fileIdentity(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  FileIdentity identity;
  identity.device = std::uint64_t(status.st_dev);
  identity.inode = std::uint64_t(status.st_ino);
  identity.size = std::int64_t(status.st_size);
  identity.modified = nanoseconds(status.st_mtim);
  identity.changed = nanoseconds(status.st_ctim);
  return identity;
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
  if (worker) idleWorkers_.push_back(std::move(worker));
}

// Starts the files before end, in order, while the budget holds them; a
// file that does not fit now waits for a later call.
void ConversionWindow::startFilesUpTo(std::size_t end) {
  end = std::min(end, sources_.size());
  while (nextToStart_ < end) {
    Slot& slot = slots_[nextToStart_];
    if (slot.estimate < 0)
      slot.estimate =
          decodesAhead(sources_[nextToStart_].path) ? conversionBytesOf(sources_[nextToStart_].path) : 0;
    if (slot.estimate == 0 || slot.estimate > options_.memoryBudget) {
      slot.state = State::OnLoop;
      ++nextToStart_;
      continue;
    }
    {
      std::lock_guard guard(lock_);
      if (converting_ >= filesAtOnce_ || bytesInFlight_ + slot.estimate > options_.memoryBudget) return;
      ++converting_;
      bytesInFlight_ += slot.estimate;
      slot.state = State::Queued;
    }
    std::shared_ptr<ImportedImage> worker;
    if (work_ == Work::Decode) {
      // Decoding needs no engine.
    } else if (idleWorkers_.empty()) {
      worker = engine_.makeBatchWorker();
    } else {
      worker = std::move(idleWorkers_.back());
      idleWorkers_.pop_back();
    }
    const std::size_t index = nextToStart_++;
    // The loop's cancel reaches the decodes running ahead of it.
    tasks_.run([this, index, worker = std::move(worker), cancel = imageio::decodeCancelFlag()]() mutable {
      const imageio::DecodeCancelScope cancelDecodes(cancel);
      convert(index, std::move(worker));
    });
  }
}

void ConversionWindow::convert(std::size_t index, std::shared_ptr<ImportedImage> worker) {
  {
    // The loop converts a file itself that it needs before a thread of the
    // pool could start it.
    std::lock_guard guard(lock_);
    if (slots_[index].state != State::Queued) return;
    if (closed_) {
      --converting_;
      return;
    }
    slots_[index].state = State::Running;
    ++conversionsRunning;
  }
  const std::string& path = sources_[index].path;
  const std::optional<FileIdentity> before = fileIdentity(path);
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
  const std::optional<FileIdentity> after = fileIdentity(path);
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
    finished_.notify_all();
  }
}

std::optional<ConversionWindow::Converted> ConversionWindow::take(std::size_t index) {
  if (index >= slots_.size()) return std::nullopt;
  startFilesUpTo(index + filesAhead_);
  Slot& slot = slots_[index];
  Converted result;
  std::optional<FileIdentity> identity;
  {
    std::unique_lock guard(lock_);
    if (slot.state == State::Queued) {
      bytesInFlight_ -= slot.estimate;
      --converting_;
    }
    if (slot.state == State::OnLoop || slot.state == State::Waiting || slot.state == State::Queued) {
      slot.state = State::OnLoop;
      return std::nullopt;
    }
    // Each later file finishing makes room for the next one to start.
    while (slot.state != State::Done) {
      finished_.wait(guard);
      if (slot.state == State::Done) break;
      guard.unlock();
      startFilesUpTo(index + filesAhead_);
      guard.lock();
    }
    slot.state = State::Taken;
    bytesInFlight_ -= slot.estimate;
    result = std::move(slot.result);
    identity = slot.identity;
  }
  // Another file of the window may start in the budget this one held.
  startFilesUpTo(index + 1 + filesAhead_);
  const bool hasResult = work_ == Work::Decode ? result.decoded.has_value() : result.image != nullptr;
  if (!hasResult || !identity || fileIdentity(sources_[index].path) != identity) {
    giveBack(std::move(result.worker));
    return std::nullopt;
  }
  return result;
}

}  // namespace velumar

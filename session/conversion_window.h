#pragma once
// Converting the next files of a batch while the loop writes the current
// one: up to a few files at once on the shared thread pool, each on an
// engine of its own with the batch's settings, within a budget of the bytes
// converting them holds. The loop takes the results in source order and
// writes them itself, so names, running numbers, progress and the failure
// list stay exactly those of one file after the other. A finished
// conversion starts the next file that fits, and the loop, while it waits
// for a file, converts a queued one itself, so every core stays busy.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/image_modify_info.h"
#include "platform/foundation/task_group.h"
#include "platform/imageio/deferred_naming.h"
#include "platform/imageio/file_identity.h"
#include "platform/raster/image_set.h"
#include "session/conversion_request.h"

namespace velumar {

class ImportedImage;

struct ConversionWindowOptions {
  // Files converted at once; 0 one per core of the shared pool, 1 none
  // ahead (the loop converts every file itself).
  int filesAtOnce = 0;
  // Bytes of the files converted ahead, estimated from their headers and
  // the settings (the decode at the size the conversion reads it, a turned
  // copy, the drawn result and its scratch); a file above it is never
  // converted ahead.
  std::int64_t memoryBudget = std::int64_t(384) << 20;
};

// Read when a batch starts (benchmarks and tests change it).
ConversionWindowOptions& conversionWindowOptions();

// A source replaced or rewritten in between has another identity.
using imageio::FileIdentity;

class ConversionWindow {
 public:
  // What the window does ahead of the loop: whole conversions, or only the
  // decode of the next files (for settings a copy of the engine cannot
  // convert alone), which the loop's engine then takes over.
  enum class Work { Convert, Decode };

  // A file converted ahead: the engine's result and the detected type code;
  // worker holds the per-file state the writers read; encoded, when there
  // is one, is the written file waiting for its name (its image then has
  // no representations unless the live preview may show it). Or a file
  // decoded ahead: its representations.
  struct Converted {
    std::shared_ptr<raster::ImageSet> image;
    std::int64_t fileType = 0;
    std::shared_ptr<ImportedImage> worker;
    std::optional<imageio::EncodedFile> encoded;
    std::optional<std::vector<raster::BitmapImageRepRef>> decoded;
  };
  // The folder a source's output goes to, for encoding it ahead; empty
  // when it is not to be encoded ahead. Called on the pool's threads.
  using OutputFolder = std::function<std::string(const SourceFile&)>;
  // Whether the loop may still show the pixels of a file it takes (the
  // live preview); when not, a file encoded ahead keeps only its size until
  // the loop takes it. Called on the pool's threads.
  using PixelsWanted = std::function<bool()>;

  // Whether files converted under these settings may be converted apart
  // from the converter's engine, on copies of it: no automatic adjustment,
  // faces, depth or collected output.
  static bool suitsSettings(const ImageModifyInfo& settings);

  // engine is the converter's: workers are copies of it, made on the
  // calling thread only. Decoding ahead holds at most three files.
  // With outputFolder, files converted ahead are encoded ahead too.
  ConversionWindow(Work work, std::vector<SourceFile> sources, const ImageModifyInfo& settings,
                   const ImportedImage& engine, ConversionWindowOptions options,
                   OutputFolder outputFolder = nullptr, PixelsWanted pixelsWanted = nullptr);
  // Closes the window.
  ~ConversionWindow();

  // File index's conversion or decode (the loop's thread, indexes rising).
  // Starts the next files that fit, then waits for this one, converting a
  // queued later file meanwhile. Nothing when the loop must convert the
  // file itself: not converted ahead (not a plain raster file, over the
  // budget, not started yet; a file started by nobody stays in the budget
  // until the next take), no image (a failure is never kept), or the file
  // changed since. Failure causes noted while looking ahead never reach
  // the caller.
  std::optional<Converted> take(std::size_t index);
  // The worker of a taken file is free again once the file is written.
  void giveBack(std::shared_ptr<ImportedImage> worker);
  // No further file starts; returns when every started one has finished.
  void close();

  // Conversions running ahead (on the pool or on the loop's thread), over
  // every window.
  static int runningConversions();

  // The bytes converting the file at path holds at its peak under these
  // settings, from its header; 0 for a file the window leaves to the loop
  // (no plain raster file, no size in its header). Notes no failure cause.
  std::int64_t conversionBytesOf(const std::string& path);

 private:
  enum class State { Waiting, OnLoop, Queued, Running, Done, Taken };
  struct Slot {
    State state = State::Waiting;
    std::int64_t estimate = -1;  // -1 not yet estimated
    std::optional<FileIdentity> identity;
    std::shared_ptr<ImportedImage> worker;  // from its start to its end
    Converted result;
  };

  bool decodesAhead(const std::string& path) const;
  // The loop's thread: estimates the files before end and makes the
  // workers their starts need.
  void prepareFilesUpTo(std::size_t end);
  // Any thread, lock_ held: starts the prepared files, in order, while the
  // budget and the files-at-once hold them.
  void startPreparedFiles();
  // Converts a queued file on the loop's thread; false when none is queued.
  bool convertAQueuedFile();
  void convert(std::size_t index);

  const Work work_;
  const std::vector<SourceFile> sources_;
  const ImageModifyInfo settings_;
  const ImportedImage& engine_;
  const ConversionWindowOptions options_;
  const OutputFolder outputFolder_;
  const PixelsWanted pixelsWanted_;
  const std::atomic<bool>* const cancel_;  // the loop's decode cancel, or nullptr
  std::size_t filesAtOnce_ = 1;
  std::size_t filesAhead_ = 1;  // files started beyond the one the loop takes
  std::size_t converting_ = 0;  // files queued or running on the pool
  std::size_t nextToStart_ = 0;
  std::size_t prepared_ = 0;  // files estimated (the loop's thread writes it under lock_)
  std::int64_t bytesInFlight_ = 0;
  std::int64_t loopBytes_ = 0;  // the file the loop converts itself, in bytesInFlight_
  std::vector<std::shared_ptr<ImportedImage>> idleWorkers_;
  std::shared_ptr<ImportedImage> sizer_;  // the loop's thread: target sizes for estimates

  std::mutex lock_;
  std::condition_variable finished_;
  std::vector<Slot> slots_;
  bool closed_ = false;
  foundation::TaskGroup tasks_;
};

}  // namespace velumar

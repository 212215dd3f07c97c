#pragma once
// The converter's live preview: renders the shown image with the current
// settings on a worker of its own, so the window stays responsive.
//
// A request is served at the next pass of the main loop (a burst of
// requests makes one render). Serving it takes a value snapshot of the
// settings (the job maker) on the main thread. One render runs on the
// worker while at most one job waits; a newer job replaces the waiting
// one, so a slider drag ends in one render of its last settings rather
// than a backlog. Results are installed in the target on the main thread,
// in order; one whose image is no longer shown is dropped.
//
// The worker draws with an ImportedImage only it touches, into a back
// buffer that neither the view nor the main thread holds. Its pixel buffers
// go from render to render (freed a second after the last), and the pool
// threads rendering give way to the window's thread whenever it wakes.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "converter/live_preview_job.h"
#include "converter/live_preview_target.h"
#include "platform/foundation/serial_queue.h"
#include "platform/raster/pixel_buffer_recycler.h"

namespace velumar {

class ImportedImage;

class LivePreviewRenderer {
 public:
  // The job of a render from the controls as they are now; nullopt when no
  // render is to be made (with controlFilterValues, when no setting changes
  // the image).
  using JobMaker =
      std::function<std::optional<LivePreviewJob>(LivePreviewTarget& target, bool controlFilterValues)>;

  explicit LivePreviewRenderer(JobMaker maker);
  // Waits for the render in flight; its result is not installed.
  ~LivePreviewRenderer();
  LivePreviewRenderer(const LivePreviewRenderer&) = delete;
  LivePreviewRenderer& operator=(const LivePreviewRenderer&) = delete;

  // The view the preview is shown in (not owned; nullptr detaches it).
  void setTarget(LivePreviewTarget* target) { target_ = target; }
  LivePreviewTarget* target() const { return target_; }

  // Asks for a render of the target's unprocessed image with the current
  // settings and returns at once. Nothing happens while the target shows
  // its placeholder or has no image. controlFilterValues YES (a newly shown
  // image): render only when some setting changes the image, and drop the
  // engine's cached preview context first.
  void requestRender(bool controlFilterValues = false);

  // Nothing requested, rendering or waiting.
  bool isIdle() const { return !requestPosted_ && !running_ && !waiting_; }
  std::uint64_t rendersStarted() const { return rendersStarted_; }
  std::uint64_t resultsInstalled() const { return resultsInstalled_; }
  // The settings of the last render started.
  const std::optional<LivePreviewJob>& lastStartedJob() const { return lastStarted_; }

  // Test hook: while held, the worker waits before each render.
  void holdWorker(bool hold);

 private:
  struct Rendered {
    std::shared_ptr<raster::ImageSet> image;
    raster::Size imagePreviewSize;
    raster::Size cropOriginalSize;
  };

  void serveRequest();
  void start(LivePreviewJob job);
  void startWaitingJob();
  void install(const LivePreviewJob& job, const Rendered& rendered);
  bool isStale(const LivePreviewJob& job) const;
  // Frees the kept render buffers once no render has started for a while.
  void releaseBuffersWhenIdle();
  // Worker side.
  Rendered render(const LivePreviewJob& job);
  void waitWhileHeld();

  JobMaker maker_;
  LivePreviewTarget* target_ = nullptr;
  // Main-thread scheduling state.
  bool requestPosted_ = false;
  bool requestControlFilterValues_ = false;
  bool requestClearsContext_ = false;
  bool running_ = false;
  std::optional<LivePreviewJob> waiting_;
  std::optional<LivePreviewJob> lastStarted_;
  std::uint64_t generation_ = 0;
  std::uint64_t rendersStarted_ = 0;
  std::uint64_t resultsInstalled_ = 0;
  // Expires with the renderer, so tasks posted to the main loop do nothing.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  std::mutex holdMutex_;
  std::condition_variable holdChanged_;
  bool held_ = false;

  // Worker-only state.
  std::unique_ptr<ImportedImage> engine_;
  std::shared_ptr<raster::ImageSet> lastResult_;
  std::shared_ptr<raster::ImageSet> backBuffer_;
  // The buffers of the renders before, for the next (any thread).
  static constexpr double kKeepBuffersIdle = 1.0;  // seconds
  raster::PixelBufferRecycler recycler_;
  // Last member: destroyed first, finishing the render in flight while the
  // engine still exists.
  foundation::SerialQueue queue_{"livePreviewQueue"};
};

}  // namespace velumar

#include "converter/live_preview_renderer.h"

#include "engine/imported_image.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/parallel.h"

namespace velumar {

namespace {

// Whether only the worker holds image and its representations, so it may
// be drawn over.
bool heldOnlyByWorker(const std::shared_ptr<raster::ImageSet>& image) {
  if (!image || image.use_count() != 1) return false;
  for (const raster::BitmapImageRepRef& rep : image->representations())
    if (rep.use_count() != 1) return false;
  return true;
}

// A set of its own over the same pixels: the view's image never shares a
// representation with the worker's buffers.
std::shared_ptr<raster::ImageSet> detachedCopy(const raster::ImageSet& image) {
  auto copy = std::make_shared<raster::ImageSet>(image.size());
  for (const raster::BitmapImageRepRef& rep : image.representations()) {
    raster::BitmapImageRepRef twin = rep ? raster::BitmapImageRep::withImage(rep->image()) : nullptr;
    if (twin) twin->setSize(rep->size());
    copy->addRepresentation(std::move(twin));
  }
  return copy;
}

}  // namespace

LivePreviewRenderer::LivePreviewRenderer(JobMaker maker)
    : maker_(std::move(maker)), engine_(std::make_unique<ImportedImage>()) {}

LivePreviewRenderer::~LivePreviewRenderer() {
  alive_.reset();
  holdWorker(false);
}

void LivePreviewRenderer::holdWorker(bool hold) {
  {
    std::lock_guard lock(holdMutex_);
    held_ = hold;
  }
  holdChanged_.notify_all();
}

void LivePreviewRenderer::waitWhileHeld() {
  std::unique_lock lock(holdMutex_);
  holdChanged_.wait(lock, [this] { return !held_; });
}

void LivePreviewRenderer::requestRender(bool controlFilterValues) {
  if (!target_ || target_->isOriginalImage()) return;
  const std::shared_ptr<raster::ImageSet> source = target_->rawImageBackup();
  if (!source || source->isEmpty()) return;
  // Requests merged into one render: it is a forced render when any was,
  // and drops the cached context when any newly shown image asked.
  requestControlFilterValues_ =
      requestPosted_ ? requestControlFilterValues_ && controlFilterValues : controlFilterValues;
  requestClearsContext_ = (requestPosted_ && requestClearsContext_) || controlFilterValues;
  if (requestPosted_) return;
  requestPosted_ = true;
  std::weak_ptr<bool> alive = alive_;
  foundation::MainLoop::post([this, alive] {
    if (alive.lock()) serveRequest();
  });
}

void LivePreviewRenderer::serveRequest() {
  requestPosted_ = false;
  if (!target_ || target_->isOriginalImage()) return;
  std::optional<LivePreviewJob> job = maker_(*target_, requestControlFilterValues_);
  if (!job || !job->source || job->source->isEmpty()) return;
  job->clearPreviewContext = job->clearPreviewContext || requestClearsContext_;
  job->generation = ++generation_;
  if (running_) {
    waiting_ = std::move(job);
  } else {
    start(std::move(*job));
  }
}

void LivePreviewRenderer::start(LivePreviewJob job) {
  running_ = true;
  ++rendersStarted_;
  lastStarted_ = job;
  std::weak_ptr<bool> alive = alive_;
  auto shared = std::make_shared<const LivePreviewJob>(std::move(job));
  queue_.async([this, alive, shared] {
    waitWhileHeld();
    Rendered rendered = render(*shared);
    foundation::MainLoop::post([this, alive, shared, rendered = std::move(rendered)] {
      if (!alive.lock()) return;
      install(*shared, rendered);
      running_ = false;
      startWaitingJob();
      if (!running_) releaseBuffersWhenIdle();
    });
  });
}

void LivePreviewRenderer::startWaitingJob() {
  if (!waiting_) return;
  LivePreviewJob job = std::move(*waiting_);
  waiting_.reset();
  if (!isStale(job)) start(std::move(job));
}

LivePreviewRenderer::Rendered LivePreviewRenderer::render(const LivePreviewJob& job) {
  const std::shared_ptr<raster::ImageSet> context = heldOnlyByWorker(backBuffer_) ? backBuffer_ : nullptr;
  Rendered rendered;
  // The pool's threads give way to the window's between ranges, and the
  // render's large buffers are those of the renders before it.
  const raster::PixelBufferRecycler::Use recycled(recycler_);
  foundation::runInteractively([&] { rendered.image = renderLivePreviewJob(*engine_, job, context); });
  rendered.imagePreviewSize = engine_->imagePreviewSize();
  rendered.cropOriginalSize = engine_->cropOriginalSize();
  if (rendered.image) {
    // The result goes to the view; the one before it becomes the buffer
    // of the next render once the view has let it go.
    backBuffer_ = rendered.image == lastResult_ ? nullptr : lastResult_;
    lastResult_ = rendered.image;
  }
  return rendered;
}

void LivePreviewRenderer::releaseBuffersWhenIdle() {
  const std::uint64_t started = rendersStarted_;
  std::weak_ptr<bool> alive = alive_;
  foundation::MainLoop::postAfter(kKeepBuffersIdle, [this, alive, started] {
    if (alive.lock() && rendersStarted_ == started && !running_) recycler_.release();
  });
}

bool LivePreviewRenderer::isStale(const LivePreviewJob& job) const {
  return !target_ || target_->isOriginalImage() || target_->rawImageBackup() != job.source;
}

void LivePreviewRenderer::install(const LivePreviewJob& job, const Rendered& rendered) {
  if (isStale(job)) return;
  LivePreviewTarget& target = *target_;
  if (rendered.image) {
    target.setDrawImageOnly(false);
    const std::shared_ptr<raster::ImageSet> shown = target.image();
    if (!shown || shown->size() != rendered.image->size()) target.setImage(detachedCopy(*rendered.image));
    if (target.rawImage() != rendered.image) target.setRawImage(rendered.image);
    target.setImageURLPreviewSize(rendered.imagePreviewSize);
    target.setCropOriginalSize(rendered.cropOriginalSize);
  }
  target.setNeedsDisplay();
  ++resultsInstalled_;
}

}  // namespace velumar

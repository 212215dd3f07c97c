#include "session/processing_queues.h"

#include "platform/foundation/main_loop.h"

namespace velumar {

namespace {
constexpr const char* kQueueLabel = "imageProcessingQueue";
}

ProcessingQueues& ProcessingQueues::shared() {
  static ProcessingQueues queues;
  return queues;
}

ProcessingQueues::~ProcessingQueues() {
  foundation::MainLoop::close();
  joinAll();
}

void ProcessingQueues::runSync(const std::function<void()>& block) {
  foundation::SerialQueue queue(kQueueLabel);
  queue.sync(block);
}

void ProcessingQueues::runAsync(std::function<void()> block) {
  retireFinished();
  auto entry = std::make_shared<Entry>();
  entry->queue = std::make_unique<foundation::SerialQueue>(kQueueLabel);
  {
    std::lock_guard guard(lock_);
    entries_.push_back(entry);
  }
  std::weak_ptr<Entry> weakEntry = entry;
  entry->queue->async([this, weakEntry, block = std::move(block)]() mutable {
    block();
    block = nullptr;
    {
      std::lock_guard guard(lock_);
      if (std::shared_ptr<Entry> finished = weakEntry.lock()) finished->finished = true;
    }
    // The main thread retires the queue soon; a later run does it otherwise.
    foundation::MainLoop::post([this] { retireFinished(); });
  });
}

void ProcessingQueues::retireFinished() {
  std::vector<std::shared_ptr<Entry>> retired;
  {
    std::lock_guard guard(lock_);
    std::erase_if(entries_, [&](const std::shared_ptr<Entry>& entry) {
      if (!entry->finished || entry->queue->isCurrent()) return false;
      retired.push_back(entry);
      return true;
    });
  }
  // Joined outside the lock: a finishing block takes the lock itself.
  retired.clear();
}

std::size_t ProcessingQueues::liveQueueCount() {
  retireFinished();
  std::lock_guard guard(lock_);
  return entries_.size();
}

void ProcessingQueues::joinAll() {
  std::vector<std::shared_ptr<Entry>> all;
  {
    std::lock_guard guard(lock_);
    all.swap(entries_);
  }
  for (const std::shared_ptr<Entry>& entry : all) {
    if (!entry->queue->isCurrent()) entry->queue->waitUntilIdle();
  }
  all.clear();
}

}  // namespace velumar

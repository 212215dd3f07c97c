#pragma once
// The queues that batches run on: one new serial queue per run, kept until
// its block has returned and retired afterwards by another thread (a queue
// is never destroyed from its own worker). Blocks of different runs may run
// at the same time.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/serial_queue.h"

namespace velumar {

class ProcessingQueues {
 public:
  static ProcessingQueues& shared();
  // At exit: closes the main queue, whose loop runs no more, so that a
  // block waiting for it returns, then joins every queue.
  ~ProcessingQueues();

  // Runs block on a new queue: on the calling thread before returning
  // (sync), or on the queue's worker (async).
  void runSync(const std::function<void()>& block);
  void runAsync(std::function<void()> block);

  // Queues whose block is still running or not yet retired.
  std::size_t liveQueueCount();
  // Waits for every running block and retires every queue (at quit).
  void joinAll();

 private:
  struct Entry {
    std::unique_ptr<foundation::SerialQueue> queue;
    bool finished = false;
  };
  // Destroys the queues whose block has returned, except the caller's own.
  void retireFinished();

  std::mutex lock_;
  std::vector<std::shared_ptr<Entry>> entries_;
};

}  // namespace velumar

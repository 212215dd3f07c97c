#pragma once
// The main queue. One loop is installed for the process: the application
// installs a Qt-backed one, tests and headless tools the plain one. Work
// posted here runs on the main thread, in order.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace foundation {

class MainLoop {
 public:
  using Task = std::function<void()>;
  virtual ~MainLoop() = default;

  // Makes loop the process's main loop (nullptr uninstalls). Not owned.
  // Installing a loop opens the main queue again after close().
  static void install(MainLoop* loop);
  static MainLoop* installed();

  // True on the installed loop's thread (also true when none is installed,
  // so single-threaded tools behave).
  static bool isMainThread();
  // Runs task on the main thread at its next pass.
  static void post(Task task);
  // Runs task on the main thread after the given delay.
  static void postAfter(double seconds, Task task);
  // Runs task inline on the main thread, else blocks until the main thread
  // has run it. With no loop installed, runs inline. False when task did
  // not run because the main queue was closed before the main thread took
  // it up.
  static bool runSync(const Task& task);

  // Ends the main queue for good, once its loop has ended or the process
  // is exiting: nothing posted from then on runs, and runSync off the main
  // thread no longer waits. A caller waiting now, or calling later,
  // returns false at once; a task the main thread has begun still
  // finishes first.
  static void close();
  static bool isClosed();

 protected:
  virtual bool onLoopThread() const = 0;
  virtual void enqueue(Task task, std::chrono::steady_clock::time_point when) = 0;
};

// A plain loop owned by the thread that creates it. Tasks run only while
// that thread calls one of the run functions.
class PlainMainLoop : public MainLoop {
 public:
  PlainMainLoop();

  // Runs every task that is due now; returns how many ran.
  int runPending();
  // Runs tasks until quit() or until the timeout elapses with nothing due.
  // Returns false on timeout.
  bool runUntil(const std::function<bool()>& done, double timeoutSeconds);
  void quit();

 protected:
  bool onLoopThread() const override;
  void enqueue(Task task, std::chrono::steady_clock::time_point when) override;

 private:
  struct Timed {
    std::chrono::steady_clock::time_point when;
    std::uint64_t order;
    Task task;
  };
  std::thread::id owner_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Timed> tasks_;
  std::uint64_t nextOrder_ = 0;
  bool quit_ = false;
};

}  // namespace foundation

#pragma once
// The application's main queue on Qt's event loop: tasks posted from any
// thread run on the thread of the QApplication, in order, after their delay.

#include <QObject>

#include "platform/foundation/main_loop.h"

namespace ui {

class QtMainLoop : public foundation::MainLoop {
 public:
  // Made on the thread that runs the QApplication, after it exists.
  QtMainLoop();
  ~QtMainLoop() override;

 protected:
  bool onLoopThread() const override;
  void enqueue(Task task, std::chrono::steady_clock::time_point when) override;

 private:
  // Lives on the main thread; queued calls and timers run in its context.
  QObject* receiver_;
};

}  // namespace ui

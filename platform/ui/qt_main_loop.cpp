#include "platform/ui/qt_main_loop.h"

#include <QThread>
#include <QTimer>
#include <memory>

#include "platform/foundation/thread_scheduling.h"

namespace ui {

QtMainLoop::QtMainLoop() : receiver_(new QObject) {
  // The window's thread sleeps between events; woken by one, it should not
  // wait for a render thread's slice to end.
  foundation::requestShortTimeSlices();
  foundation::setWindowThread();
}

QtMainLoop::~QtMainLoop() {
  // Tasks still queued are dropped with their receiver.
  delete receiver_;
}

bool QtMainLoop::onLoopThread() const {
  return QThread::currentThread() == receiver_->thread();
}

void QtMainLoop::enqueue(Task task, std::chrono::steady_clock::time_point when) {
  // The task crosses threads inside a shared pointer: queued functors must
  // be copyable, and the timer is started on the main thread.
  auto shared = std::make_shared<Task>(std::move(task));
  QObject* receiver = receiver_;
  QMetaObject::invokeMethod(
      receiver,
      [receiver, shared, when] {
        const auto remaining = when - std::chrono::steady_clock::now();
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(remaining).count();
        if (ms <= 0) {
          (*shared)();
          return;
        }
        QTimer::singleShot(int(std::min<long long>(ms, 1LL << 30)), Qt::PreciseTimer, receiver,
                           [shared] { (*shared)(); });
      },
      Qt::QueuedConnection);
}

}  // namespace ui

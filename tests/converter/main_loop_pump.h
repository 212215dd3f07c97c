#pragma once
// Running the Qt main loop from a test until something happened.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace velumar::convertertest {

// Runs the main loop until done() or three seconds passed; answers done().
inline bool pumpUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

}  // namespace velumar::convertertest

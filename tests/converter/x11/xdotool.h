#pragma once
// Driving the real pointer of the test's X server.

#include <QProcess>
#include <QStringList>

namespace velumar {

// Runs xdotool with the given commands and waits for it.
inline bool xdotool(const QStringList& commands) {
  QProcess tool;
  tool.start(QStringLiteral("xdotool"), commands);
  return tool.waitForFinished(10000) && tool.exitCode() == 0;
}

}  // namespace velumar

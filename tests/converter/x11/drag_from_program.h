#pragma once
// A real drag between programs: the drag source helper shows a window at
// (20, 20) that drags a path as a file URL when pressed; xdotool presses
// on it, moves in steps to the target and lets go. The caller keeps its
// event loop running (QTest::qWaitFor) while the drag goes on.

#include <QProcess>
#include <QTest>
#include <string>

namespace velumar {

// Starts the source on path, waits until it is on screen and starts the
// drag to target (global coordinates); false when the source did not come
// up. The source then reports "dropped copy" or "dropped none" and ends.
inline bool startDragFromProgram(QProcess& source, QProcess& drag, const std::string& path, QPoint target) {
  source.start(QStringLiteral(VELUMAR_DRAG_SOURCE), {QString::fromStdString(path), "20", "20"});
  if (!source.waitForStarted() || !QTest::qWaitFor([&] { return source.canReadLine(); }, 10000) ||
      source.readLine().trimmed() != "ready")
    return false;
  const auto at = [](QPoint point) {
    return QStringList{QString::number(point.x()), QString::number(point.y())};
  };
  drag.start(QStringLiteral("xdotool"), QStringList{"mousemove", "120", "120", "mousedown", "1", "mousemove",
                                                    "140", "140", "sleep", "0.3", "mousemove"}
                                            << at(target - QPoint(20, 20))
                                            << QStringList{"sleep", "0.3", "mousemove"} << at(target)
                                            << QStringList{"sleep", "0.3", "mouseup", "1"});
  return true;
}

}  // namespace velumar

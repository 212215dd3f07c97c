#include <gtest/gtest.h>

#include "converter/window_placement.h"

namespace velumar {
namespace {

TEST(WindowPlacement, LowerRightCornerAtTheMouseKeptOnTheScreens) {
  const QRect screen(0, 0, 1920, 1080);
  const QRect belowPanel(0, 32, 1920, 1048);
  const QRect leftScreen(-1280, 0, 1280, 1024);
  const QSize frame(600, 500);
  const struct {
    const char* name;
    QPoint mouse;
    QList<QRect> screens;
    QPoint origin;
  } rows[] = {
      {"room on both sides", {1000, 800}, {screen}, {400, 300}},
      {"near the left edge", {100, 800}, {screen}, {0, 300}},
      {"near the top", {1000, 200}, {screen}, {400, 0}},
      {"under a top panel", {1000, 100}, {belowPanel}, {400, 32}},
      {"a screen left of the first", {-1000, 900}, {screen, leftScreen}, {-1280, 400}},
      {"pointer off every screen", {1000, -300}, {screen}, {400, 0}},
      {"no screens", {700, 600}, {}, {100, 100}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(windowOriginNearMouse(row.mouse, frame, row.screens), row.origin) << row.name;
}

}  // namespace
}  // namespace velumar

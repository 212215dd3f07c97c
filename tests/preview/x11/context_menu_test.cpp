// A right click in the files table or the library outline makes its window
// the active one before its menu opens (real window activation).
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <functional>

#include "preview/preview_window.h"
#include "support/test_support.h"

namespace velumar {
namespace {

TEST(PreviewContextMenus, ARightClickMakesTheViewsWindowActiveFirst) {
  testsupport::TempDir dir;
  const std::string image = (dir.path() / "a.png").string();
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "30x20", "xc:navy", image}).exitCode, 0);
  PreviewWindow window;
  ASSERT_TRUE(window.importPaths({image}, dir.path().string(), false));
  window.openFilesWindow();
  QWidget other;
  other.resize(200, 100);
  other.show();
  const struct {
    const char* view;
    QAbstractScrollArea* area;
    QWidget* window;
  } rows[] = {{"files table", window.filesTable(), window.filesWindow()},
              {"library outline", window.outlineView(), &window}};
  for (const auto& row : rows) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(row.window, 20000)) << row.view;
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other, 20000)) << row.view;
    QWidget* viewport = row.area->viewport();
    const QPoint at = viewport->rect().center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &click);
    QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu) << row.view;
    menu->close();
    // Active on the X server, not only while its menu is up.
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == row.window; }, 5000)) << row.view;
    EXPECT_EQ(row.window->focusWidget(), row.area) << row.view;
  }
}

}  // namespace
}  // namespace velumar

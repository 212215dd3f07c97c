#include "platform/ui/path_control.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

namespace {

TEST(PathControl, SplitsAbsolutePathsIntoComponents) {
  const struct {
    QByteArray path;
    QList<QByteArray> components;
  } cases[] = {
      {"/home/ana/x.jpg", {"/", "/home", "/home/ana", "/home/ana/x.jpg"}},
      {"//home//ana/", {"/", "/home", "/home/ana"}},
      {"/", {"/"}},
      {"relative/x.jpg", {}},
      {"", {}},
      {"/tmp/caf\xe9.jpg", {"/", "/tmp", "/tmp/caf\xe9.jpg"}},  // Latin-1 bytes stay bytes
  };
  ui::PathControl control;
  for (const auto& c : cases) {
    control.setPath(c.path);
    EXPECT_EQ(control.componentPaths(), c.components) << c.path.toStdString();
  }
}

TEST(PathControl, DoubleClickReportsTheComponentUnderThePointer) {
  ui::PathControl control;
  control.resize(800, 24);
  control.setPath("/home/ana/x.jpg");
  control.show();
  QSignalSpy clicked(&control, &ui::PathControl::componentDoubleClicked);
  for (int i = 0; i < 4; ++i) {
    const QRectF rect = control.componentRect(i);
    ASSERT_FALSE(rect.isEmpty()) << i;
    EXPECT_EQ(control.componentAt(rect.center()), i);
    QTest::mouseDClick(&control, Qt::LeftButton, {}, rect.center().toPoint());
  }
  ASSERT_EQ(clicked.count(), 4);
  EXPECT_EQ(clicked[0][0].toByteArray(), "/");
  EXPECT_EQ(clicked[2][0].toByteArray(), "/home/ana");
  EXPECT_EQ(clicked[3][0].toByteArray(), "/home/ana/x.jpg");
  EXPECT_EQ(control.componentLabel(3), "x.jpg");
  // Beyond the last component nothing is reported.
  QTest::mouseDClick(&control, Qt::LeftButton, {}, QPoint(790, 12));
  EXPECT_EQ(clicked.count(), 4);
}

TEST(PathControl, NarrowBarsCollapseTheMiddleFirst) {
  ui::PathControl control;
  control.setPath("/one/two/three/four/a-rather-long-file-name.jpg");
  control.resize(control.sizeHint());
  EXPECT_EQ(control.componentLabel(2), "two");
  control.resize(control.sizeHint().width() - 30, 24);
  EXPECT_EQ(control.componentLabel(1), "…");
  EXPECT_EQ(control.componentLabel(0), "/");
  EXPECT_EQ(control.componentLabel(5), "a-rather-long-file-name.jpg");
  control.resize(260, 24);
  EXPECT_NE(control.componentLabel(5), "a-rather-long-file-name.jpg");
  EXPECT_LE(control.componentRect(5).right(), 261);
  // Collapsed components still report their full path.
  EXPECT_EQ(control.componentPaths()[2], "/one/two");
}

}  // namespace

#include <gtest/gtest.h>

#include <QCursor>
#include <QProcess>
#include <QTest>
#include <filesystem>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "converter/window_placement.h"
#include "converter/x11/drag_from_program.h"
#include "support/test_support.h"

// On a real display Qt's menu bar asks the session bus for a global menu;
// what libdbus keeps from that until exit is not ours to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}

namespace velumar {
namespace {

namespace fs = std::filesystem;

// Runs xdotool with the given commands and waits for it.
bool xdotool(const QStringList& commands) {
  QProcess tool;
  tool.start(QStringLiteral("xdotool"), commands);
  return tool.waitForFinished(10000) && tool.exitCode() == 0;
}

class RealDragTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.setGeometry(400, 60, 620, 640);
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }

  testsupport::TempDir dir_;
  ConverterWindow window_;
};

TEST_F(RealDragTest, AFolderDraggedFromAnotherProgramBecomesOneRequest) {
  const fs::path folder = dir_.path() / "Trip";
  fs::create_directories(folder / "Day");
  for (const char* name : {"b.png", "Day/a.png"})
    ASSERT_EQ(
        testsupport::runCommand({"/usr/bin/convert", "-size", "4x3", "xc:red", (folder / name).string()})
            .exitCode,
        0);
  std::vector<ConversionRequest> requests;
  window_.converterView()->setRequestHandler(
      [&](const ConversionRequest& request) { requests.push_back(request); });

  // Press on the source, then move in steps over the drop zone and let go;
  // the target must keep its event loop running meanwhile.
  const QPoint target = window_.converterView()->mapToGlobal(window_.converterView()->rect().center());
  QProcess source, drag;
  ASSERT_TRUE(startDragFromProgram(source, drag, folder.string(), target));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !requests.empty(); }, 15000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return drag.state() == QProcess::NotRunning; }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return source.state() == QProcess::NotRunning; }, 10000));
  EXPECT_EQ(source.readAll().trimmed(), "dropped copy");

  ASSERT_EQ(requests.size(), 1u);
  std::vector<std::string> files;
  for (const SourceFile& file : requests[0].sources)
    files.push_back(fs::path(file.path).filename().string() + "@" + file.parentPath.value_or("-"));
  EXPECT_EQ(files, (std::vector<std::string>{"a.png@/Trip/Day", "b.png@/Trip"}));
  EXPECT_EQ(requests[0].setupMode, 1);
  // Dragged from outside: the hierarchy is rebuilt below the folder's parent.
  EXPECT_EQ(window_.converterView()->state().globalParentDirectory, dir_.path().string());
}

TEST_F(RealDragTest, CalledUpAtTheMouseOrHidden) {
  window_.hide();
  ASSERT_TRUE(xdotool({"mousemove", "900", "700"}));
  ASSERT_TRUE(QTest::qWaitFor([] { return QCursor::pos() == QPoint(900, 700); }, 5000));
  window_.hideShowWindowRelativeToMouse();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  const QSize frame = window_.frameGeometry().size();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return window_.frameGeometry().topLeft() == QPoint(900, 700) - QPoint(frame.width(), frame.height());
      },
      5000))
      << window_.frameGeometry().x() << "," << window_.frameGeometry().y();
  EXPECT_EQ(window_.windowOpacity(), 1.0);

  // Shown: the same call hides the application.
  window_.hideShowWindowRelativeToMouse();
  EXPECT_TRUE(window_.converterView()->isApplicationHidden());
}

}  // namespace
}  // namespace velumar

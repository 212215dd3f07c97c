// Files and a folder dragged from another process onto the preview window,
// with the pointer moved and pressed through XTest on a private X server.
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QProcess>
#include <QTest>
#include <filesystem>

#include "preview/preview_window.h"
#include "support/test_support.h"

// On a real display Qt asks the session bus for desktop services; what
// libdbus keeps from that until exit is not ours to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}

namespace velumar {
namespace {

namespace fs = std::filesystem;

class Pointer {
 public:
  Pointer() : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_)) return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  }
  ~Pointer() { xcb_disconnect(connection_); }
  bool valid() const { return root_ != XCB_NONE; }

  void moveTo(int x, int y) { fake(XCB_MOTION_NOTIFY, 0, x, y); }
  void press() { fake(XCB_BUTTON_PRESS, 1, 0, 0); }
  void release() { fake(XCB_BUTTON_RELEASE, 1, 0, 0); }

 private:
  void fake(std::uint8_t type, std::uint8_t detail, int x, int y) {
    xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME,
                        type == XCB_MOTION_NOTIFY ? root_ : XCB_NONE, std::int16_t(x), std::int16_t(y), 0);
    xcb_flush(connection_);
    // Let both processes see the event before the next one.
    QTest::qWait(60);
  }

  xcb_connection_t* connection_;
  xcb_window_t root_ = XCB_NONE;
};

std::string makeImage(const fs::path& path) {
  fs::create_directories(path.parent_path());
  const auto result =
      testsupport::runCommand({"/usr/bin/convert", "-size", "30x20", "xc:navy", path.string()});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  return path.string();
}

TEST(PreviewDrag, FilesAndAFolderDraggedFromAnotherProcessAreListed) {
  testsupport::TempDir dir;
  const std::string loose = makeImage(dir.path() / "loose.png");
  const std::string inFolder = makeImage(dir.path() / "trip" / "a.png");
  const std::string nested = makeImage(dir.path() / "trip" / "day" / "b.png");

  PreviewWindow window;
  window.setGeometry(400, 300, 640, 480);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  QProcess source;
  source.start(VELUMAR_DRAG_SOURCE,
               {QString::fromStdString(loose), QString::fromStdString((dir.path() / "trip").string())});
  ASSERT_TRUE(source.waitForStarted());
  for (int i = 0; i < 100 && !source.readAllStandardOutput().contains("ready"); ++i) QTest::qWait(50);

  Pointer pointer;
  ASSERT_TRUE(pointer.valid());
  pointer.moveTo(50, 50);
  pointer.press();
  // Out of the source's window and across the screen onto the preview.
  for (int step = 1; step <= 12; ++step) pointer.moveTo(50 + step * 55, 50 + step * 42);
  pointer.moveTo(720, 560);
  pointer.moveTo(722, 562);
  pointer.release();

  for (int i = 0; i < 100 && window.listedFiles().size() < 3; ++i) QTest::qWait(50);
  EXPECT_EQ(window.listedFiles(), (std::vector<std::string>{loose, inFolder, nested}));
  EXPECT_EQ(window.shownFile(), loose);
  source.kill();
  source.waitForFinished();
}

}  // namespace
}  // namespace velumar

// A logout's SIGTERM (or a hang-up) while the destination-folder sheet
// waits for an answer, or after it was answered while the batch's first
// file decodes: the sheet closes as cancelled, the program saves its
// settings and ends on its own instead of waiting for the SIGKILL.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>
#include <csignal>

#include "platform/foundation/user_defaults.h"
#include "tests/app/app_process.h"

using namespace velumar;
using namespace velumar::apptest;
namespace fs = std::filesystem;

namespace {

// Whether a visible window of that title is on the display.
bool windowShown(const AppHome& home, const char* title) {
  return home.run(QStringLiteral("xdotool"),
                  {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                   QString::fromUtf8(title)},
                  5000) == 0;
}

}  // namespace

TEST(SignalDuringDialog, EndsTheProgramAndKeepsTheSettings) {
  for (int signalNumber : {SIGTERM, SIGHUP}) {
    AppHome home(true);
    {
      // No stored output folder: a batch asks for one.
      foundation::UserDefaults defaults(home.settingsFile().string());
      defaults.set("SavingType", 0);
      defaults.synchronize();
    }
    const fs::path photo = home.makeJpeg("in/photo.jpg");
    auto running = home.startPrimary({QString::fromStdString(photo.string())});
    ASSERT_TRUE(running) << signalNumber;
    const bool sheetShown = waitFor([&] { return windowShown(home, "Destination Folder"); });
    ASSERT_TRUE(sheetShown) << signalNumber;
    ::kill(pid_t(running->processId()), signalNumber);
    ASSERT_TRUE(running->waitForFinished(20000)) << "still running after signal " << signalNumber;
    EXPECT_EQ(running->exitStatus(), QProcess::NormalExit) << signalNumber;
    EXPECT_EQ(running->exitCode(), 0) << signalNumber;
    // The run's settings were written; nothing was converted.
    foundation::UserDefaults written(home.settingsFile().string());
    EXPECT_EQ(written.boolForKey("First Start"), false) << signalNumber;
    EXPECT_TRUE(fs::is_empty(home.output())) << signalNumber;
  }
}

// "Save as...": the folder is chosen in the sheet, then the signal comes
// while the first of two files decodes (about eight seconds).
TEST(SignalDuringDialog, EndsASaveAsBatchWhoseFirstFileDecodes) {
  AppHome home(true);
  {
    foundation::UserDefaults defaults(home.settingsFile().string());
    defaults.set("SavingType", 0);
    defaults.synchronize();
  }
  const fs::path slow = home.makeSlowEps("in/slow.eps", 8);
  const fs::path photo = home.makeJpeg("in/photo.jpg");
  auto running =
      home.startPrimary({QString::fromStdString(slow.string()), QString::fromStdString(photo.string())});
  ASSERT_TRUE(running);
  ASSERT_TRUE(waitFor([&] { return windowShown(home, "Destination Folder"); }));
  // The output folder typed into the sheet and chosen.
  EXPECT_EQ(home.run(QStringLiteral("xdotool"),
                     {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                      QStringLiteral("Destination Folder"), QStringLiteral("windowfocus"),
                      QStringLiteral("--sync"), QStringLiteral("type"), QStringLiteral("--delay"),
                      QStringLiteral("5"), QString::fromStdString(home.output().string())}),
            0);
  EXPECT_EQ(home.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")}), 0);
  ASSERT_TRUE(waitFor([&] { return !windowShown(home, "Destination Folder"); }));
  QTest::qWait(1500);
  ::kill(pid_t(running->processId()), SIGTERM);
  ASSERT_TRUE(running->waitForFinished(30000)) << "still running after SIGTERM";
  EXPECT_EQ(running->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(running->exitCode(), 0);
  EXPECT_FALSE(fs::exists(home.output() / "photo.jpg"));
}

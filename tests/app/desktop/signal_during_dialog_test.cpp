// A logout's SIGTERM (or a hang-up) while the destination-folder sheet
// waits for an answer: the sheet closes as cancelled, the program saves its
// settings and ends on its own instead of waiting for the SIGKILL.
#include <gtest/gtest.h>

#include <QProcess>
#include <csignal>

#include "platform/foundation/user_defaults.h"
#include "tests/app/app_process.h"

using namespace velumar;
using namespace velumar::apptest;
namespace fs = std::filesystem;

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
    const bool sheetShown = waitFor([&] {
      return home.run(QStringLiteral("xdotool"),
                      {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                       QStringLiteral("Destination Folder")},
                      5000) == 0;
    });
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

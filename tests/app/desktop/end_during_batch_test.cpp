// Ways out while a batch converts: the program's X server stops (a logout,
// a crashed display server) or a signal comes. The program ends within
// seconds, the batch stops short, every file it wrote is whole and the
// settings are kept.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>
#include <csignal>

#include "platform/foundation/user_defaults.h"
#include "support/test_support.h"
#include "tests/app/app_process.h"

using namespace velumar;
using namespace velumar::apptest;
namespace fs = std::filesystem;

namespace {

// An X server of the program's own, stopped by the test.
struct PrivateDisplay {
  QProcess server;
  QString display;
  PrivateDisplay() {
    server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                          QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (server.waitForStarted(5000) && waitFor([&] { return server.canReadLine(); }, 10000))
      display = QStringLiteral(":") + QString::fromUtf8(server.readLine()).trimmed();
  }
  ~PrivateDisplay() {
    server.kill();
    server.waitForFinished();
  }
};

int filesIn(const fs::path& folder) {
  return int(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

}  // namespace

TEST(EndDuringBatch, EndsWithinSecondsAndLeavesOnlyWholeFiles) {
  enum Way { DisplayGone = 0 };
  for (int way : {int(DisplayGone), SIGTERM, SIGINT, SIGHUP}) {
    PrivateDisplay x;
    ASSERT_FALSE(x.display.isEmpty());
    AppHome home(true);
    // Each slow file keeps the batch busy for two seconds.
    QStringList files;
    for (int i = 0; i < 8; ++i) {
      const std::string name = "in/" + std::to_string(i);
      files << QString::fromStdString(
          (i % 2 ? home.makeJpeg(name + ".jpg") : home.makeSlowEps(name + ".eps", 2)).string());
    }
    std::unique_ptr<QProcess> running;
    testsupport::withEnvironment({{"DISPLAY", x.display.toStdString()}},
                                 [&] { running = home.start(files); });
    ASSERT_TRUE(running) << way;
    ASSERT_TRUE(waitFor([&] { return filesIn(home.output()) > 0; }, 30000)) << way;
    if (way == DisplayGone) {
      x.server.kill();
    } else {
      ::kill(pid_t(running->processId()), way);
    }
    EXPECT_TRUE(running->waitForFinished(15000)) << "still running, way " << way;
    running->kill();
    running->waitForFinished();
    EXPECT_LT(filesIn(home.output()), files.size()) << way;
    // The settings were written as at any quit.
    EXPECT_EQ(foundation::UserDefaults(home.settingsFile().string()).boolForKey("First Start"), false) << way;
    for (const fs::directory_entry& written : fs::directory_iterator(home.output()))
      EXPECT_EQ(testsupport::runCommand({"/usr/bin/identify", "-regard-warnings", written.path().string()})
                    .exitCode,
                0)
          << written.path() << ", way " << way;
  }
}

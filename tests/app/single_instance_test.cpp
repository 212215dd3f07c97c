// One instance: a second claim in the same folder loses, and the running
// instance takes only well-formed messages from its socket.
#include <gtest/gtest.h>

#include <QDir>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <fstream>
#include <thread>

#include "app/instance_message.h"
#include "app/single_instance.h"
#include "support/test_support.h"

using namespace velumar;

TEST(SingleInstance, OnlyWellFormedMessagesOpenFiles) {
  testsupport::TempDir dir;
  const QString folder = QString::fromStdString(dir.path().string());
  SingleInstance running(folder);
  ASSERT_TRUE(running.claim());
  ASSERT_TRUE(running.listen());
  SingleInstance later(folder);
  EXPECT_FALSE(later.claim());
  QSignalSpy opened(&running, &SingleInstance::filesReceived);

  const std::string bad[] = {std::string("\xFF\xFF\xFF\xFF", 4), std::string("\0\0\0\2ab", 6),
                             std::string("\0\0\0\3/a", 6)};
  for (const std::string& bytes : bad) {
    QLocalSocket socket;
    socket.connectToServer(running.socketPath());
    ASSERT_TRUE(socket.waitForConnected(2000));
    socket.write(bytes.data(), qint64(bytes.size()));
    socket.flush();
    QTest::qWait(50);
    socket.abort();
  }
  QTest::qWait(50);
  EXPECT_EQ(opened.count(), 0);

  // A later start's sending blocks, so it runs beside the event loop. It
  // learns whether the files were taken or refused during a conversion (a
  // start without files is never refused); a hand-over over the bounds is
  // not sent at all.
  QSignalSpy refused(&running, &SingleInstance::filesRefused);
  bool converting = false;
  running.setRefusal([&](const std::vector<std::string>& paths) { return converting && !paths.empty(); });
  const std::vector<std::string> files = {"/photos/a.jpg", "/photos/b c"};
  using Handover = SingleInstance::Handover;
  const struct {
    bool converting;
    std::vector<std::string> sent;
    Handover expected;
    int opened, refused;
  } cases[] = {{false, files, Handover::Delivered, 1, 0},
               {true, files, Handover::Refused, 1, 1},
               {true, {}, Handover::Delivered, 2, 1}};
  for (const auto& c : cases) {
    converting = c.converting;
    Handover answer = Handover::NoAnswer;
    std::thread sender([&] { answer = later.sendToRunningInstance(c.sent); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return opened.count() + refused.count() == c.opened + c.refused; }, 5000));
    sender.join();
    EXPECT_EQ(answer, c.expected) << c.sent.size();
    ASSERT_EQ(opened.count(), c.opened);
    ASSERT_EQ(refused.count(), c.refused);
    const QSignalSpy& announced = c.expected == Handover::Refused ? refused : opened;
    EXPECT_EQ(announced.back().front().value<std::vector<std::string>>(), c.sent);
  }
  EXPECT_EQ(later.sendToRunningInstance(std::vector<std::string>(kInstanceMessageMaxPaths + 1, "/a")),
            Handover::TooLarge);
  EXPECT_EQ(opened.count() + refused.count(), 3);
}

TEST(SingleInstance, ArgumentsBecomeAbsolutePaths) {
  const QString here = QDir::currentPath();
  const auto paths =
      SingleInstance::absolutePaths({QStringLiteral("x.jpg"), QStringLiteral("file:///tmp/a%20b.png"),
                                     QStringLiteral("/srv/./y/../z.tif"), QString()});
  EXPECT_EQ(paths, (std::vector<std::string>{(here + "/x.jpg").toStdString(), "/tmp/a b.png", "/srv/z.tif"}));
}

TEST(SingleInstance, AnUnusableRuntimeFolderRunsAlone) {
  testsupport::TempDir dir;
  std::ofstream(dir.file("not a folder")) << "x";
  SingleInstance alone(QString::fromStdString(dir.file("not a folder")));
  EXPECT_TRUE(alone.claim());
  EXPECT_FALSE(alone.listen());
}

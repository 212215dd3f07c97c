// The program as the desktop starts it: a later start hands its files to
// the running instance and ends (refused with files during a batch); a
// crashed instance's place is taken over; the desktop entry opens files
// through gio; termination signals quit in order, also during a batch.
#include <gtest/gtest.h>

#include <QDir>
#include <csignal>
#include <fstream>

#include "platform/foundation/user_defaults.h"
#include "tests/app/app_process.h"

using namespace velumar;
using namespace velumar::apptest;
namespace fs = std::filesystem;

namespace {

QString q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

bool converted(const AppHome& home, const char* name) {
  return waitFor([&] { return fs::exists(home.output() / name); });
}

// Runs the program in folder with arguments; its exit code (-1 when it did
// not end) and what it wrote on standard error.
std::pair<int, QString> runIn(const AppHome& home, const fs::path& folder, const QStringList& arguments) {
  QProcess process;
  process.setProcessEnvironment(home.environment());
  process.setWorkingDirectory(q(folder));
  process.start(QStringLiteral(VELUMAR_APP_BINARY), arguments);
  if (!process.waitForFinished(20000)) {
    process.kill();
    process.waitForFinished();
    return {-1, {}};
  }
  return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

void terminate(QProcess& process) {
  ::kill(pid_t(process.processId()), SIGTERM);
  ASSERT_TRUE(process.waitForFinished(20000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0);
}

}  // namespace

TEST(AppProcess, LaterStartsHandTheirFilesToTheRunningInstance) {
  AppHome home;
  const fs::path first = home.makeJpeg("in/first.jpg");
  const fs::path second = home.makeJpeg("in/second.jpg");
  const fs::path atLaunch = home.makeJpeg("in/at launch.jpg");
  auto running = home.startPrimary({q(atLaunch)});
  ASSERT_TRUE(running);
  EXPECT_TRUE(converted(home, "at launch.jpg"));
  // Relative paths are made absolute by the later start.
  EXPECT_EQ(home.run(QStringLiteral(VELUMAR_APP_BINARY), {q(first)}), 0);
  EXPECT_TRUE(converted(home, "first.jpg"));
  QProcess relative;
  relative.setProcessEnvironment(home.environment());
  relative.setWorkingDirectory(q(home.root() / "in"));
  relative.start(QStringLiteral(VELUMAR_APP_BINARY), {QStringLiteral("second.jpg")});
  ASSERT_TRUE(relative.waitForFinished(20000));
  EXPECT_EQ(relative.exitCode(), 0);
  EXPECT_TRUE(converted(home, "second.jpg"));
  EXPECT_EQ(running->state(), QProcess::Running);
  // More paths than a hand-over takes: said on stderr, and a failure.
  QProcess tooMany;
  tooMany.setProcessEnvironment(home.environment());
  tooMany.start(QStringLiteral(VELUMAR_APP_BINARY), QStringList(10001, q(first)));
  ASSERT_TRUE(tooMany.waitForFinished(20000));
  EXPECT_EQ(tooMany.exitCode(), 1);
  const QString said = QString::fromUtf8(tooMany.readAllStandardError());
  EXPECT_TRUE(said.contains("not opened") && said.contains("10001 paths")) << said.toStdString();

  // A crashed instance leaves lock and socket behind: the next start takes over.
  running->kill();
  running->waitForFinished();
  ASSERT_TRUE(fs::exists(home.runtime() / "velumar.socket"));
  auto successor = home.startPrimary();
  ASSERT_TRUE(successor);
  const fs::path third = home.makeJpeg("in/third.jpg");
  EXPECT_EQ(home.run(QStringLiteral(VELUMAR_APP_BINARY), {q(third)}), 0);
  EXPECT_TRUE(converted(home, "third.jpg"));
  terminate(*successor);
}

TEST(AppProcess, TerminationSignalsQuitInOrder) {
  for (int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
    AppHome home;
    auto running = home.startPrimary();
    ASSERT_TRUE(running);
    std::ofstream(home.tempData() / "left over.tif") << "x";
    ASSERT_FALSE(fs::is_empty(home.tempData()));
    ::kill(pid_t(running->processId()), signalNumber);
    ASSERT_TRUE(running->waitForFinished(20000)) << signalNumber;
    EXPECT_EQ(running->exitStatus(), QProcess::NormalExit) << signalNumber;
    EXPECT_EQ(running->exitCode(), 0) << signalNumber;
    // The settings were written and the temporary folder emptied.
    EXPECT_TRUE(fs::is_empty(home.tempData())) << signalNumber;
    foundation::UserDefaults written(home.settingsFile().string());
    EXPECT_EQ(written.boolForKey("First Start"), false) << signalNumber;
    EXPECT_EQ(written.integerForKey("WindowLevel"), 0) << signalNumber;
    EXPECT_FALSE(fs::exists(home.runtime() / "velumar.socket")) << signalNumber;
  }
}

TEST(AppProcess, DesktopEntryOpensFilesThroughGio) {
  AppHome home;
  EXPECT_EQ(home.run(QStringLiteral("desktop-file-validate"), {QStringLiteral(VELUMAR_DESKTOP_FILE)}), 0);
  // The entry as scripts/run installs it: Exec names the built program.
  const fs::path applications = home.data() / "applications";
  fs::create_directories(applications);
  std::ifstream source(VELUMAR_DESKTOP_FILE);
  std::ofstream installed(applications / "velumar.desktop");
  for (std::string line; std::getline(source, line);)
    installed << (line.rfind("Exec=", 0) == 0 ? std::string("Exec=") + VELUMAR_APP_BINARY + " %F" : line)
              << '\n';
  installed.close();
  ASSERT_EQ(home.run(QStringLiteral("gio"), {QStringLiteral("mime"), QStringLiteral("image/jpeg"),
                                             QStringLiteral("velumar.desktop")}),
            0);
  const fs::path photo = home.makeJpeg("in/photo.jpg");
  auto running = home.startPrimary();
  ASSERT_TRUE(running);
  EXPECT_EQ(home.run(QStringLiteral("gio"), {QStringLiteral("open"), q(photo)}), 0);
  EXPECT_TRUE(converted(home, "photo.jpg"));
  terminate(*running);
}

// Relative names that look like toolkit options are files when they name
// files; a damaged JPEG among them is decoded (and reported) once.
TEST(AppProcess, ArgumentsNamingFilesAreConvertedAndADamagedJpegIsReadOnce) {
  AppHome home;
  const fs::path in = home.root() / "in";
  const fs::path full = home.makeJpeg("in/x.jpg");
  fs::copy_file(full, in / "-reverse");
  fs::copy_file(full, in / "later.jpg");
  testsupport::runCommand({"/usr/bin/convert", "-size", "400x300", "plasma:", (in / "whole.jpg").string()});
  {
    std::ifstream whole(in / "whole.jpg", std::ios::binary);
    std::string bytes(6000, '\0');
    whole.read(bytes.data(), std::streamsize(bytes.size()));
    std::ofstream(in / "trunc.jpg", std::ios::binary) << bytes;
  }
  QProcess running;
  running.setProcessEnvironment(home.environment());
  running.setWorkingDirectory(q(in));
  running.start(QStringLiteral(VELUMAR_APP_BINARY), {QStringLiteral("-reverse"), QStringLiteral("-style"),
                                                     QStringLiteral("x.jpg"), QStringLiteral("trunc.jpg"),
                                                     QStringLiteral("later.jpg")});
  ASSERT_TRUE(running.waitForStarted(10000));
  for (const char* name : {"-reverse.jpg", "x.jpg", "later.jpg"}) EXPECT_TRUE(converted(home, name)) << name;
  EXPECT_FALSE(fs::exists(home.output() / "trunc.jpg"));
  terminate(running);
  const QString said = QString::fromUtf8(running.readAllStandardError());
  EXPECT_EQ(said.count(QStringLiteral("premature end of data")), 1) << said.toStdString();
}

// During a batch a later start with files is refused (exit status 1), one
// without files is not (0); SIGTERM then ends the program on its own,
// although the batch's end opens an alert for a file it could not write.
TEST(AppProcess, LaterStartsAndSignalDuringABatch) {
  AppHome home;
  {
    foundation::UserDefaults defaults(home.settingsFile().string());
    defaults.set("OverwriteFiles", true);
    defaults.synchronize();
  }
  const fs::path blocked = home.makeJpeg("in/blocked.jpg");
  fs::create_directories(home.output() / "blocked.jpg");  // the write fails
  const fs::path slow = home.makeSlowEps("in/slow.eps", 8);
  auto running = home.startPrimary({q(blocked), q(slow)});
  ASSERT_TRUE(running);
  const fs::path photo = home.makeJpeg("in/photo.jpg");
  struct Case {
    QStringList arguments;
    int exitCode;
  };
  for (const Case& c : {Case{{q(photo)}, 1}, Case{{}, 0}}) {
    const auto [exitCode, said] = runIn(home, home.root(), c.arguments);
    EXPECT_EQ(exitCode, c.exitCode) << c.arguments.size() << " " << said.toStdString();
  }
  EXPECT_EQ(running->state(), QProcess::Running);
  ::kill(pid_t(running->processId()), SIGTERM);
  ASSERT_TRUE(running->waitForFinished(30000)) << "still running after SIGTERM";
  EXPECT_EQ(running->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(running->exitCode(), 0);
  EXPECT_FALSE(fs::exists(home.output() / "photo.jpg"));
  EXPECT_TRUE(fs::is_directory(home.output() / "blocked.jpg"));
}

// Started from a German environment the program writes a PDF whose page
// shows the picture: numbers in the file keep their decimal point.
TEST(AppProcess, APdfWrittenUnderAGermanLocaleShowsItsPicture) {
  AppHome home;
  {
    foundation::UserDefaults defaults(home.settingsFile().string());
    defaults.set("LastSelectedPreset", foundation::Value(std::string("PDF 300 dpi")));
    defaults.synchronize();
  }
  const fs::path picture = home.makeJpeg("in/x.jpg");
  QProcess running;
  QProcessEnvironment environment = home.environment();
  environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
  running.setProcessEnvironment(environment);
  running.start(QStringLiteral(VELUMAR_APP_BINARY), {q(picture)});
  ASSERT_TRUE(running.waitForStarted(10000));
  ASSERT_TRUE(converted(home, "x.pdf"));
  terminate(running);

  // Rendered by poppler's own tool: red to blue, not a white page.
  const fs::path rendered = home.root() / "page";
  const auto tool = testsupport::runCommand(
      {"pdftoppm", "-singlefile", "-scale-to", "24", (home.output() / "x.pdf").string(), rendered.string()});
  EXPECT_EQ(tool.output, "");
  std::ifstream ppm(rendered.string() + ".ppm", std::ios::binary);
  std::string header, size, depth;
  ppm >> header >> size >> size >> depth;
  ppm.get();
  const std::string pixels((std::istreambuf_iterator<char>(ppm)), {});
  ASSERT_GE(pixels.size(), 3u);
  EXPECT_GT(std::uint8_t(pixels[0]), 200);  // red at the top
  EXPECT_LT(std::uint8_t(pixels[2]), 60);
}

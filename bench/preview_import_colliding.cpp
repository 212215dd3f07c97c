// Import Folder to Preview, through the application's delegate, on a folder
// of tiny PNGs whose paths share one standard-library string hash, against
// a folder of plain names of the same length: wall time until the preview
// lists them all, the longest main-loop gap meanwhile (the longest a signal
// can wait), and how long a SIGTERM sent 60 % into the import waits for its
// answer. Then the distinct-file set that "show saved files" fills, on
// colliding paths: keyed against standard-hashed.
//
//   bench_preview_import_colliding [--files N] [--revealed N]

#include <unistd.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "app/app_delegate.h"
#include "app/import_panel.h"
#include "app/termination_signals.h"
#include "platform/foundation/keyed_hash.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/user_defaults.h"
#include "platform/ui/qt_main_loop.h"
#include "preview/preview_window.h"
#include "tests/platform/foundation/colliding_keys.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// A folder path whose length with the separator is a whole number of 8-byte
// blocks, as the colliding names need; both folders get the same length.
fs::path paddedFolder(const fs::path& scratch, char letter) {
  std::string name(1, letter);
  while ((scratch.string().size() + 1 + name.size() + 1) % 8 != 0) name += letter;
  return scratch / name;
}

struct Import {
  double seconds = 0;
  double longestGap = 0;
  double signalWait = -1;  // when a SIGTERM was sent
};

// Imports folder into a fresh delegate; sends SIGTERM after signalAfter
// seconds when that is positive, and then stops at the answer.
Import importFolder(const fs::path& folder, std::size_t count, double signalAfter,
                    velumar::TerminationSignals& termination, const fs::path& settings) {
  foundation::UserDefaults defaults(settings.string());
  velumar::AppDelegate delegate(defaults, true);
  QEventLoop waiting;
  Clock::time_point sent{}, answered{};
  delegate.terminate = [&] {
    answered = Clock::now();
    waiting.quit();
  };
  QObject::connect(&termination, &velumar::TerminationSignals::received, &delegate,
                   &velumar::AppDelegate::terminationRequested);
  delegate.launch();
  delegate.importPanel = [&](const velumar::ImportPanelOptions&) -> std::optional<velumar::ImportPanelChoice> {
    return velumar::ImportPanelChoice{{folder.string()}, folder.parent_path().string(), std::nullopt, false};
  };
  QElapsedTimer sinceLast;
  Import result;
  QTimer probe;
  probe.setInterval(10);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    result.longestGap = std::max(result.longestGap, double(sinceLast.nsecsElapsed()) / 1e9);
    sinceLast.restart();
  });
  QTimer done;
  done.setInterval(100);
  QObject::connect(&done, &QTimer::timeout, [&] {
    if (signalAfter <= 0 && delegate.previewWindow().listedFiles().size() >= count) waiting.quit();
  });
  std::thread signaller;
  const Clock::time_point start = Clock::now();
  if (signalAfter > 0) {
    signaller = std::thread([&] {
      std::this_thread::sleep_for(std::chrono::duration<double>(signalAfter));
      sent = Clock::now();
      kill(getpid(), SIGTERM);
    });
  }
  sinceLast.start();
  probe.start();
  done.start();
  delegate.importImagesForPreviewFrom(true);
  QTimer::singleShot(300000, &waiting, &QEventLoop::quit);
  waiting.exec();
  result.seconds = secondsBetween(start, Clock::now());
  if (signaller.joinable()) {
    signaller.join();
    result.signalWait = secondsBetween(sent, answered);
  }
  return result;
}

// Inserting paths into a set of table type, as the distinct saved files are.
template <class Table>
double distinctSeconds(const std::vector<std::string>& paths) {
  const Clock::time_point start = Clock::now();
  Table seen;
  std::size_t distinct = 0;
  for (const std::string& path : paths) distinct += seen.insert(path).second;
  const double seconds = secondsBetween(start, Clock::now());
  if (distinct != paths.size()) std::printf("lost paths\n");
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t fileCount = 100000, revealedCount = 50000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--files") fileCount = std::size_t(std::max(1, std::atoi(argv[i + 1])));
    if (option == "--revealed") revealedCount = std::size_t(std::max(1, std::atoi(argv[i + 1])));
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  velumar::TerminationSignals termination;
  ui::QtMainLoop loop;
  foundation::MainLoop::install(&loop);

  const fs::path scratch = fs::temp_directory_path() / ("velumar-collide-bench-" + std::to_string(getpid()));
  const fs::path colliding = paddedFolder(scratch, 'c'), plain = paddedFolder(scratch, 'p');
  fs::create_directories(colliding);
  fs::create_directories(plain);
  QImage pixel(1, 1, QImage::Format_RGB32);
  pixel.fill(Qt::red);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  pixel.save(&buffer, "PNG");
  // Copies, not links: a file system limits the links to one file.
  auto writeTiny = [&png](const std::string& path) {
    std::ofstream(path, std::ios::binary).write(png.constData(), png.size());
  };
  const std::vector<std::string> names =
      plisttest::pathsCollidingUnderStdHash(fileCount, colliding.string(), ".png");
  for (std::size_t i = 0; i < names.size(); ++i) {
    writeTiny(names[i]);
    char name[24];
    std::snprintf(name, sizeof name, "p%015zu.png", i);
    writeTiny((plain / name).string());
  }
  std::printf("%zu files each; paths %zu bytes; std::hash equal: %s\n", names.size(), names.front().size(),
              std::hash<std::string>{}(names.front()) == std::hash<std::string>{}(names.back()) ? "yes" : "no");

  const Import plainRun = importFolder(plain, fileCount, 0, termination, scratch / "s1.plist");
  const Import collidingRun = importFolder(colliding, fileCount, 0, termination, scratch / "s2.plist");
  // The signal comes 60 % into each folder's own import.
  const Import plainSignal =
      importFolder(plain, fileCount, plainRun.seconds * 0.6, termination, scratch / "s3.plist");
  const Import collidingSignal =
      importFolder(colliding, fileCount, collidingRun.seconds * 0.6, termination, scratch / "s4.plist");
  std::printf("%-20s %10s %16s %18s\n", "", "import s", "longest gap s", "SIGTERM answer s");
  std::printf("%-20s %10.2f %16.2f %18.2f\n", "plain names", plainRun.seconds, plainRun.longestGap,
              plainSignal.signalWait);
  std::printf("%-20s %10.2f %16.2f %18.2f\n", "colliding names", collidingRun.seconds, collidingRun.longestGap,
              collidingSignal.signalWait);
  std::printf("colliding / plain %.2f (want <= 2); SIGTERM answered in %.2f s (want <= 1)\n",
              collidingRun.seconds / plainRun.seconds, collidingSignal.signalWait);

  const std::vector<std::string> revealed =
      plisttest::pathsCollidingUnderStdHash(revealedCount, colliding.string(), ".png");
  std::printf("distinct saved files of %zu colliding paths: keyed %.3f s, standard hash %.3f s\n",
              revealed.size(), distinctSeconds<foundation::KeyedStringSet>(revealed),
              distinctSeconds<std::unordered_set<std::string>>(revealed));

  foundation::MainLoop::install(nullptr);
  std::error_code error;
  fs::remove_all(scratch, error);
  return 0;
}

// Library grid benchmark: thumbnails of 2,000 files (wallpaper photos hard
// linked under distinct names). (a) Cold cache: our loader against
// vipsthumbnail -s 256 on the same files in one process, wall time and CPU
// per thumbnail; (b) the same files again from the warm cache; (c) the
// library window imports the folder and scrolls the grid to its end while
// thumbnails load: the longest gap of a 10 ms probe timer on the main loop.
//
//   bench_library_grid [--files N] [--photos N]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListView>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/engine_convert_photos.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/parallel.h"
#include "platform/ui/qt_main_loop.h"
#include "preview/image_browser_controller.h"
#include "preview/thumbnail_loader.h"

namespace {

namespace fs = std::filesystem;

double cpuSeconds(const rusage& usage) {
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Run {
  double wall = 0, cpu = 0;
};

// Every file's thumbnail through one loader; results reach the Qt loop.
Run loadAll(const std::vector<std::string>& files, const fs::path& cache) {
  std::size_t delivered = 0;
  QEventLoop waiting;
  velumar::ThumbnailLoader loader(
      [&](const velumar::ThumbnailKey&, const velumar::Thumbnail&) {
        if (++delivered == files.size()) waiting.quit();
      },
      desktop::ThumbnailCache(cache.string()));
  std::vector<velumar::ThumbnailKey> keys;
  for (const std::string& file : files) keys.push_back({file, 0});
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  loader.request(keys);
  // The main thread sleeps between deliveries, so the CPU time is the work's.
  if (delivered < files.size()) waiting.exec();
  Run run{secondsSince(start), 0};
  getrusage(RUSAGE_SELF, &after);
  run.cpu = cpuSeconds(after) - cpuSeconds(before);
  return run;
}

Run vipsThumbnails(const std::vector<std::string>& files, const fs::path& out) {
  fs::create_directories(out);
  std::vector<std::string> argv = {"vipsthumbnail", "-s", "256", "-o", (out / "%s.png").string()};
  argv.insert(argv.end(), files.begin(), files.end());
  std::vector<char*> arguments;
  for (std::string& a : argv) arguments.push_back(a.data());
  arguments.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(arguments[0], arguments.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  return {secondsSince(start), cpuSeconds(usage)};
}

// The longest main-loop gap while the window imports the files and
// scrolls its grid to the end as thumbnails load.
double longestGapWhileScrolling(const std::vector<std::string>& files, const fs::path& cache) {
  velumar::PreviewList list([](const velumar::OrganizedURL&) { return true; });
  velumar::ImageBrowserController window(list, desktop::ThumbnailCache(cache.string()));
  window.resize(1200, 800);
  window.show();
  QElapsedTimer sinceLast;
  double longest = 0;
  QTimer probe;
  probe.setInterval(10);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    longest = std::max(longest, double(sinceLast.nsecsElapsed()) / 1e6);
    sinceLast.restart();
  });
  sinceLast.start();
  probe.start();
  velumar::OrganizedURLList entries;
  const std::string folder = fs::path(files.front()).parent_path().string();
  for (const std::string& file : files)
    entries.push_back(velumar::OrganizedURL::organizedURLWithPath(file, false, folder));
  list.verifyDuplicateImageUrlsWithUrlsArray(folder, entries);
  QScrollBar* bar = window.grid()->verticalScrollBar();
  QTimer scroll;
  scroll.setInterval(16);
  QObject::connect(&scroll, &QTimer::timeout, [&] { bar->setValue(bar->value() + bar->singleStep() * 3); });
  scroll.start();
  QEventLoop scrolling;
  QObject::connect(&scroll, &QTimer::timeout, [&] {
    if (bar->maximum() > 0 && bar->value() >= bar->maximum()) {
      scroll.stop();
      // Let the last screenful load.
      QTimer::singleShot(2000, &scrolling, &QEventLoop::quit);
    }
  });
  QTimer::singleShot(120000, &scrolling, &QEventLoop::quit);
  scrolling.exec();
  return longest;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t fileCount = 2000, photoCount = 20;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--files") fileCount = std::size_t(std::max(1, std::atoi(argv[i + 1])));
    if (option == "--photos") photoCount = std::size_t(std::max(1, std::atoi(argv[i + 1])));
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ui::QtMainLoop loop;
  foundation::MainLoop::install(&loop);

  const auto photos = enginebench::fetchWallpaperPhotos(photoCount);
  if (photos.empty()) {
    std::printf("no photos\n");
    return 1;
  }
  const fs::path scratch = fs::temp_directory_path() / ("velumar-grid-bench-" + std::to_string(getpid()));
  fs::create_directories(scratch / "in");
  std::vector<std::string> files;
  for (std::size_t i = 0; i < fileCount; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%05zu.jpg", i);
    const fs::path target = scratch / "in" / name;
    std::error_code error;
    fs::create_hard_link(photos[i % photos.size()].path, target, error);
    if (error) fs::create_symlink(fs::absolute(photos[i % photos.size()].path), target, error);
    files.push_back(target.string());
  }
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  std::printf("%zu files from %zu photos, %d cores, load %.1f\n", files.size(), photos.size(),
              foundation::hardwareConcurrency(), load[0]);

  const Run cold = loadAll(files, scratch / "cache");
  const Run vips = vipsThumbnails(files, scratch / "vips");
  const Run warm = loadAll(files, scratch / "cache");
  const double n = double(files.size());
  std::printf("%-24s %9s %12s %16s\n", "", "wall s", "thumbs/s", "CPU ms / thumb");
  std::printf("%-24s %9.2f %12.1f %16.2f\n", "ours, cold cache", cold.wall, n / cold.wall,
              cold.cpu * 1000 / n);
  std::printf("%-24s %9.2f %12.1f %16.2f\n", "vipsthumbnail -s 256", vips.wall, n / vips.wall,
              vips.cpu * 1000 / n);
  std::printf("%-24s %9.2f %12.1f %16.2f\n", "ours, warm cache", warm.wall, n / warm.wall,
              warm.cpu * 1000 / n);
  std::printf(
      "cold throughput / vips %.2f (want >= 2), CPU per thumb / vips %.2f (want <= 1.2), warm / cold %.1f "
      "(want >= 10)\n",
      vips.wall / cold.wall, cold.cpu / std::max(vips.cpu, 1e-9), cold.wall / warm.wall);

  const double gap = longestGapWhileScrolling(files, scratch / "cache-scroll");
  std::printf("longest main-loop gap while importing and scrolling: %.1f ms (want <= 100)\n", gap);

  foundation::MainLoop::install(nullptr);
  std::error_code error;
  fs::remove_all(scratch, error);
  return 0;
}

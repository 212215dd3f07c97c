// Whole-batch benchmark of the conversion session against other converters:
// the real session (headless converter, a background request, the plain
// main loop) converts 20 photos to JPEG at quality 0.8 with the longer side
// 1600, as shipped, with every JPEG decoded at full size and with one file
// converted after the other, alternating
// with vipsthumbnail (one process, and eight in parallel) and gm mogrify;
// then the 20 photos of the wallpaper packages with the most pixels, as
// shipped and one after the other, against eight vipsthumbnail processes.
// Every run is a child process, so its wall time, CPU time and peak memory
// are its own (wait4). Prints medians, images/s, MP/s, CPU seconds per wall
// second, peak memory and each peer's time over ours, checks every output,
// then converts one 80+ MP photo and compares the peak memory of a batch of
// 1,200 copies of one 1920 x 1280 JPEG with the highest of 30 batches of 40.
// Ends with each target and whether it is met, and the load average before
// and after.
//
// --compare-with BENCH adds a row for the session of another build of this
// benchmark (its own --child-session), measured in the same passes.
//
//   bench_session_convert [--input DIR] [--repeat N] [--compare-with BENCH]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/engine_convert_photos.h"
#include "bench/engine_convert_presets.h"
#include "engine/imported_image.h"
#include "filters/cifiltering.h"
#include "platform/foundation/files.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/property_list.h"
#include "platform/imageio/image_source.h"
#include "presets/converter_controls.h"
#include "presets/filter_slot_table.h"
#include "presets/preset_loader.h"
#include "session/conversion_request.h"
#include "session/conversion_window.h"
#include "session/headless_converter.h"
#include "session/session_info.h"

namespace {

namespace fs = std::filesystem;
using enginebench::Photo;

constexpr int kParallelPeers = 8;
constexpr double kLongSide = 1600;

// One timed run of one or more children: wall seconds, CPU seconds (user
// and system, every child) and peak resident megabytes; ok when every child
// exited with status 0. Children that run at once hold their memory at
// once, so their peak is the largest sum of what they hold together
// (sampled), never below the largest single child's own peak.
struct Run {
  double seconds = 0;
  double cpuSeconds = 0;
  double peakMegabytes = 0;
  bool ok = false;
};

double seconds(const timeval& time) {
  return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

// What a running process holds now, in megabytes (0 once it is gone).
double residentMegabytes(pid_t pid) {
  FILE* file = std::fopen(("/proc/" + std::to_string(pid) + "/statm").c_str(), "r");
  if (!file) return 0;
  long size = 0, resident = 0;
  const bool read = std::fscanf(file, "%ld %ld", &size, &resident) == 2;
  std::fclose(file);
  return read ? double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

// Starts every command at once, waits for all of them.
Run runChildren(const std::vector<std::vector<std::string>>& commands) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<pid_t> children;
  for (const auto& argv : commands) {
    const pid_t child = fork();
    if (child == 0) {
      std::vector<char*> arguments;
      for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
      arguments.push_back(nullptr);
      execvp(arguments[0], arguments.data());
      _exit(127);
    }
    children.push_back(child);
  }
  Run run;
  run.ok = true;
  std::vector<pid_t> running = children;
  while (!running.empty()) {
    double together = 0;
    for (auto child = running.begin(); child != running.end();) {
      int status = 0;
      rusage usage{};
      const pid_t ended = wait4(*child, &status, WNOHANG, &usage);
      if (ended == 0) {
        together += residentMegabytes(*child);
        ++child;
        continue;
      }
      if (ended < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) run.ok = false;
      run.peakMegabytes = std::max(run.peakMegabytes, double(usage.ru_maxrss) / 1024.0);
      run.cpuSeconds += seconds(usage.ru_utime) + seconds(usage.ru_stime);
      child = running.erase(child);
    }
    if (children.size() > 1) run.peakMegabytes = std::max(run.peakMegabytes, together);
    if (!running.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

constexpr const char* kColorControls = "Color controls";

// The built-in preset's settings with the batch's JPEG fit 1600, its filter
// slots laid out and filled as the window does when the preset is chosen.
bool applyBuiltInPreset(const std::string& name, velumar::HeadlessConverter& view) {
  velumar::ImportedImage& engine = *view.importedImage();
  const std::string path = (fs::path(foundation::bundleResourcePath("presets")) / name).string();
  const std::optional<foundation::Value> file = foundation::readPropertyList(path);
  if (!file || !file->asDictionary()) return false;
  const auto preset = velumar::imageInfoFromPresetDictionary(*file->asDictionary(), path, engine);
  if (!preset) return false;
  velumar::ImageModifyInfo settings = preset->imageModifyInfo();
  const velumar::ImageModifyInfo fit = enginebench::jpeg1600();
  settings.conversionType = fit.conversionType;
  settings.jpegCompressionFactor = fit.jpegCompressionFactor;
  settings.doImageResize = fit.doImageResize;
  settings.resizeConversionType = fit.resizeConversionType;
  settings.resizeScaleType = fit.resizeScaleType;
  settings.fixedSizeW = fit.fixedSizeW;
  settings.fixedSizeH = fit.fixedSizeH;
  view.setSettings(settings);
  velumar::ConverterControls controls;
  velumar::PopUp* popUps[] = {&controls.filterTypePopUp0, &controls.filterTypePopUp1,
                              &controls.filterTypePopUp2};
  const std::int64_t types[] = {settings.filterType0, settings.filterType1, settings.filterType2};
  for (std::size_t slot = 0; slot < 3; ++slot) {
    popUps[slot]->selectedIndex = types[slot];
    velumar::updateSliderValuesForArrayIndex(controls, slot, true);
  }
  velumar::updateSliderValuesWithArray(controls, preset->filterValues);
  for (std::size_t slot = 0; slot < 3; ++slot)
    velumar::storeSlotRecord(*engine.ciPhotoFilters, slot,
                             velumar::updateSliderValuesForArrayIndex(controls, slot, false));
  return true;
}

// The child's side: one session over the files of input into output, with
// the plain settings or a built-in preset's.
int runSession(const fs::path& input, const fs::path& output, bool shrinkOnLoad, int filesAtOnce,
               const std::string& preset) {
  foundation::PlainMainLoop loop;
  foundation::MainLoop::install(&loop);
  velumar::conversionWindowOptions().filesAtOnce = filesAtOnce;
  auto view = std::make_shared<velumar::HeadlessConverter>(enginebench::jpeg1600());
  if (!preset.empty() && !applyBuiltInPreset(preset, *view)) {
    std::fprintf(stderr, "preset %s not found\n", preset.c_str());
    return 1;
  }
  view->importedImage()->shrinkOnLoad = shrinkOnLoad;
  view->state().saveWithStoredFileURL = 1;
  view->state().fileURLForSaving = output.string();
  velumar::ConversionRequest request;
  for (const auto& entry : fs::directory_iterator(input))
    request.sources.push_back({entry.path().string(), {}});
  std::sort(request.sources.begin(), request.sources.end(),
            [](const auto& a, const auto& b) { return a.path < b.path; });
  const auto record = velumar::processNewImageAfterDragging(view, request);
  if (!record) return 1;
  loop.runUntil([&] { return !record->currentSession(); }, 3600);
  foundation::MainLoop::install(nullptr);
  return record->completitionCode == velumar::kCompletionOutputFolder ? 0 : 1;
}

bool hasProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<std::string> filesOf(const fs::path& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

// A converter of the comparison: the commands for the input files and an
// output folder.
struct Row {
  using Commands =
      std::function<std::vector<std::vector<std::string>>(const std::vector<std::string>&, const fs::path&)>;
  Row(std::string rowName, Commands rowCommands)
      : name(std::move(rowName)), commands(std::move(rowCommands)) {}
  std::string name;
  Commands commands;
  std::vector<double> seconds;
  std::vector<double> cpuSeconds;
  double peakMegabytes = 0;
  bool outputsChecked = true;
};

constexpr const char* kComparedSession = "session, compared build";

std::vector<Row> rows(const std::string& self, const std::string& compared = "") {
  std::vector<Row> all;
  // The session in a child of program: shrink-on-load "1" or "0", files at
  // once ("0" one per core, "1" one file after the other), a built-in preset
  // or "".
  auto session = [self](const char* shrinkOnLoad, const char* filesAtOnce, const char* preset = "",
                        std::string program = "") {
    if (program.empty()) program = self;
    return [program, shrinkOnLoad, filesAtOnce, preset](const std::vector<std::string>& files,
                                                        const fs::path& out) {
      return std::vector<std::vector<std::string>>{{program, "--child-session",
                                                    fs::path(files.front()).parent_path().string(),
                                                    out.string(), shrinkOnLoad, filesAtOnce, preset}};
    };
  };
  all.emplace_back("session", session("1", "0"));
  if (!compared.empty()) all.emplace_back(kComparedSession, session("1", "0", "", compared));
  all.emplace_back("session, full decode", session("0", "0"));
  all.emplace_back("session, one at a time", session("1", "1"));
  all.emplace_back("session, Color controls", session("1", "0", kColorControls));
  if (hasProgram("vipsthumbnail")) {
    auto vips = [](const std::vector<std::string>& files, const fs::path& out, int processes) {
      std::vector<std::vector<std::string>> commands(
          std::size_t(std::min<std::size_t>(processes, files.size())));
      for (auto& command : commands)
        command = {"vipsthumbnail", "-s", "1600", "-o", (out / "%s.jpg[Q=80]").string()};
      for (std::size_t i = 0; i < files.size(); ++i) commands[i % commands.size()].push_back(files[i]);
      return commands;
    };
    all.emplace_back("vipsthumbnail x1",
                     [vips](const auto& files, const fs::path& out) { return vips(files, out, 1); });
    all.emplace_back("vipsthumbnail x8", [vips](const auto& files, const fs::path& out) {
      return vips(files, out, kParallelPeers);
    });
  } else {
    std::printf("vipsthumbnail not found: its rows are skipped (scripts/setup installs libvips-tools)\n");
  }
  if (hasProgram("gm")) {
    // gm puts the input's path below the output folder: run it on plain
    // names from inside the input folder.
    all.emplace_back("gm mogrify", [](const std::vector<std::string>& files, const fs::path& out) {
      std::string script =
          "cd \"$1\" && shift && exec gm mogrify -output-directory \"$0\" -resize 1600x1600 "
          "-quality 80 \"$@\"";
      std::vector<std::string> command{"sh", "-c", script, out.string(),
                                       fs::path(files.front()).parent_path().string()};
      for (const std::string& file : files) command.push_back(fs::path(file).filename().string());
      return std::vector<std::vector<std::string>>{command};
    });
  } else {
    std::printf("gm not found: its row is skipped (scripts/setup installs graphicsmagick)\n");
  }
  return all;
}

// Whether every input has an output of the same stem whose longer side is
// 1600 pixels.
bool outputsComplete(const std::vector<std::string>& inputs, const fs::path& out) {
  for (const std::string& input : inputs) {
    const auto source =
        imageio::ImageSource::open((out / (fs::path(input).stem().string() + ".jpg")).string());
    if (!source) return false;
    const foundation::Value properties = source->properties(0);
    const double width = properties.get("PixelWidth") ? properties.get("PixelWidth")->doubleOr(0) : 0;
    const double height = properties.get("PixelHeight") ? properties.get("PixelHeight")->doubleOr(0) : 0;
    if (std::max(width, height) != kLongSide) return false;
  }
  return true;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

const Row* rowNamed(const std::vector<Row>& table, const std::string& name) {
  for (const Row& row : table)
    if (row.name == name) return &row;
  return nullptr;
}

// CPU seconds per wall second of a row's median pass.
double cpuPerWallSecond(const Row& row) {
  const double cpu = median(row.cpuSeconds), wall = median(row.seconds);
  return wall > 0 ? cpu / wall : 0;
}

// One target line: the figure, its bound and whether it holds.
void printTarget(const char* what, double figure, double bound) {
  std::printf("  %-56s %6.2f  (target <= %.2f)  %s\n", what, figure, bound, figure <= bound ? "met" : "MISSED");
}

void printLowerBound(const char* what, double figure, double bound) {
  std::printf("  %-56s %6.2f  (target >= %.2f)  %s\n", what, figure, bound, figure >= bound ? "met" : "MISSED");
}

double loadAverage() {
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  return load[0];
}

// Links the photos under plain distinct names into folder (so every
// converter names its outputs alike); answers their megapixels.
double linkPhotos(const std::vector<fs::path>& photos, const fs::path& folder) {
  fs::create_directories(folder);
  double megapixels = 0;
  for (std::size_t i = 0; i < photos.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "p%03zu.jpg", i);
    fs::create_symlink(fs::absolute(photos[i]), folder / name);
    if (const auto source = imageio::ImageSource::open(photos[i].string())) {
      const foundation::Value properties = source->properties(0);
      megapixels +=
          properties.get("PixelWidth")->doubleOr(0) * properties.get("PixelHeight")->doubleOr(0) / 1e6;
    }
  }
  return megapixels;
}

// The large set's targets: time against eight vipsthumbnail processes, the
// cores kept busy, and peak memory against theirs.
void printLargeSetTargets(const std::vector<Row>& table) {
  const Row* ours = rowNamed(table, "session");
  const Row* peers = rowNamed(table, "vipsthumbnail x8");
  if (!ours || !peers) return;
  printTarget("largest photos: session time / vipsthumbnail x8 time", median(ours->seconds) / median(peers->seconds),
              0.75);
  printLowerBound("largest photos: session CPU seconds per wall second", cpuPerWallSecond(*ours), 5.0);
  printTarget("largest photos: session peak / vipsthumbnail x8 peak", ours->peakMegabytes / peers->peakMegabytes,
              1.5);
  if (const Row* before = rowNamed(table, kComparedSession))
    std::printf("  %-56s %6.2f  (for reference)\n", "largest photos: compared build time / vipsthumbnail x8 time",
                median(before->seconds) / median(peers->seconds));
}

void compare(std::vector<Row>& table, const std::vector<std::string>& files, double megapixels, int repeat,
             const fs::path& scratch) {
  for (int pass = 0; pass < repeat; ++pass) {
    for (Row& row : table) {
      const fs::path out = scratch / "out";
      fs::remove_all(out);
      fs::create_directories(out);
      const Run run = runChildren(row.commands(files, out));
      row.seconds.push_back(run.seconds);
      row.cpuSeconds.push_back(run.cpuSeconds);
      row.peakMegabytes = std::max(row.peakMegabytes, run.peakMegabytes);
      if (!run.ok || !outputsComplete(files, out)) row.outputsChecked = false;
    }
  }
  const double ours = median(table.front().seconds);
  std::printf("%-24s %9s %9s %9s %9s %10s %9s  %s\n", "", "median s", "images/s", "MP/s", "CPU/wall",
              "peak MB", "÷ ours", "outputs");
  for (const Row& row : table) {
    const double seconds = median(row.seconds);
    std::printf("%-24s %9.3f %9.2f %9.1f %9.2f %10.1f %9.2f  %s\n", row.name.c_str(), seconds,
                double(files.size()) / seconds, megapixels / seconds, cpuPerWallSecond(row), row.peakMegabytes,
                seconds / ours, row.outputsChecked ? "all at 1600" : "MISSING OR WRONG");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 7 && std::string(argv[1]) == "--child-session")
    return runSession(argv[2], argv[3], std::string(argv[4]) == "1", std::atoi(argv[5]), argv[6]);
  fs::path input;
  int repeat = 5;
  std::string compared;
  bool largeSetOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--input" && i + 1 < argc) {
      input = argv[++i];
    } else if (argument == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (argument == "--compare-with" && i + 1 < argc) {
      compared = fs::absolute(argv[++i]).string();
    } else if (argument == "--large-set-only") {
      largeSetOnly = true;
    } else {
      std::printf(
          "usage: bench_session_convert [--input DIR] [--repeat N] [--compare-with BENCH] [--large-set-only]\n");
      return argument == "--help" ? 0 : 2;
    }
  }
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const fs::path scratch = fs::temp_directory_path() / ("velumar-session-bench-" + std::to_string(getpid()));
  fs::create_directories(scratch);
  const double loadBefore = loadAverage();

  std::vector<fs::path> photos, largest;
  if (!largeSetOnly) {
    if (input.empty()) {
      for (const Photo& photo : enginebench::fetchWallpaperPhotos(20)) photos.push_back(photo.path);
    } else {
      for (const std::string& file : filesOf(input)) photos.push_back(file);
    }
  }
  for (const Photo& photo : enginebench::largestWallpaperPhotos(20)) largest.push_back(photo.path);
  if ((photos.empty() && !largeSetOnly) || largest.empty()) {
    std::printf("no photos\n");
    return 1;
  }
  std::printf("%d passes, %ld cores, load %.1f\n", repeat, sysconf(_SC_NPROCESSORS_ONLN), loadBefore);
  std::vector<Row> table;
  if (!photos.empty()) {
    const double megapixels = linkPhotos(photos, scratch / "in");
    std::printf("\n%zu photos, %.1f MP\n", photos.size(), megapixels);
    table = rows(self, compared);
    compare(table, filesOf(scratch / "in"), megapixels, repeat, scratch);
  }

  // The largest photos: the session as shipped and one file at a time,
  // against eight vipsthumbnail processes.
  std::vector<Row> largeTable = rows(self, compared);
  std::erase_if(largeTable, [](const Row& row) {
    return row.name != "session" && row.name != kComparedSession && row.name != "session, one at a time" &&
           row.name != "vipsthumbnail x8";
  });
  {
    const double megapixels = linkPhotos(largest, scratch / "largest");
    std::printf("\nthe %zu largest photos, %.1f MP\n", largest.size(), megapixels);
    compare(largeTable, filesOf(scratch / "largest"), megapixels, repeat, scratch);
  }
  if (largeSetOnly) {
    std::printf("\ntargets\n");
    printLargeSetTargets(largeTable);
    std::printf("load %.1f before, %.1f after\n", loadBefore, loadAverage());
    fs::remove_all(scratch);
    return 0;
  }

  // One very large photo, made by ImageMagick from the first one.
  double largePeakRatio = -1;
  const fs::path large = scratch / "large" / "large.jpg";
  fs::create_directories(large.parent_path());
  if (runChildren({{"/usr/bin/convert", photos.front().string(), "-resize", "11000x7500!", "-quality", "92",
                    large.string()}})
          .ok) {
    std::printf("\none photo of 82.5 MP\n");
    std::vector<Row> one = rows(self);
    one.erase(std::remove_if(
                  one.begin(), one.end(),
                  [](const Row& row) { return row.name != "session" && row.name != "vipsthumbnail x1"; }),
              one.end());
    compare(one, {large.string()}, 82.5, repeat, scratch);
    if (one.size() == 2) largePeakRatio = one[0].peakMegabytes / one[1].peakMegabytes;
  }

  // The peak of a long batch against a short one: 40 and 1,200 names for
  // one 1920 x 1280 JPEG (hard links: copies to every reader). What a batch
  // holds rises and falls as its files' steps line up, so the highest of a
  // short batch is taken over as many files as the long batch converts
  // (30 batches of 40): both peaks are then the highest over the same
  // number of files, and what differs is what a long batch holds more.
  double fewPeak = 0, manyPeak = 0;
  const fs::path small = scratch / "small.jpg";
  if (runChildren({{"/usr/bin/convert", photos.front().string(), "-resize", "1920x1280!", "-quality", "90",
                    small.string()}})
          .ok) {
    std::printf("\ncopies of one 1920 x 1280 photo, peak memory of the session\n");
    constexpr int kFew = 40, kMany = 1200;
    for (const int count : {kFew, kMany}) {
      const fs::path folder = scratch / ("copies" + std::to_string(count));
      fs::create_directories(folder);
      for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "c%04d.jpg", i);
        fs::create_hard_link(small, folder / name);
      }
      std::vector<Row> session = rows(self);
      session.erase(session.begin() + 1, session.end());
      const std::vector<std::string> copies = filesOf(folder);
      const int passes = std::max(repeat / 2, count == kFew ? kMany / kFew : 1);
      compare(session, copies, double(count) * 1920 * 1280 / 1e6, passes, scratch);
      (count == kFew ? fewPeak : manyPeak) = session.front().peakMegabytes;
      fs::remove_all(folder);
    }
  }

  std::printf("\ntargets\n");
  const Row* ours = rowNamed(table, "session");
  if (const Row* peers = rowNamed(table, "vipsthumbnail x8"))
    printTarget("20 photos: session time / vipsthumbnail x8 time", median(ours->seconds) / median(peers->seconds),
                0.75);
  printLargeSetTargets(largeTable);
  if (const Row* filtered = rowNamed(table, "session, Color controls"))
    printTarget("20 photos: Color controls time / plain session time",
                median(filtered->seconds) / median(ours->seconds), 1.3);
  if (largePeakRatio > 0)
    printTarget("one 82.5 MP photo: session peak / vipsthumbnail x1 peak", largePeakRatio, 1.0);
  if (fewPeak > 0 && manyPeak > 0)
    printTarget("copies: 1,200-file peak / highest 40-file peak", manyPeak / fewPeak, 1.1);
  // Several files at once hold several decodes: no bound against a peer
  // that converts one file after the other.
  if (const Row* single = rowNamed(table, "vipsthumbnail x1"))
    std::printf("  %-56s %6.2f  (for reference)\n", "20 photos: session peak / vipsthumbnail x1 peak",
                ours->peakMegabytes / single->peakMegabytes);
  std::printf("load %.1f before, %.1f after\n", loadBefore, loadAverage());
  fs::remove_all(scratch);
  return 0;
}

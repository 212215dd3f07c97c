// Whole-batch conversion benchmark: converts a folder of photos through the
// engine with a named settings record, in this one process, the way a batch
// session does for each file (conversion driver, keep-original-type rule on
// a copy of the settings, output dispatcher), and prints images per second,
// megapixels of input per second and the peak resident memory.
//
//   bench_engine_convert [--input DIR] [--output DIR] [--preset NAME] [--repeat N] [--full-decode]
//
// Without --input, 20 distinct real photos (those with a camera's EXIF first)
// are taken from Debian's wallpaper packages, downloaded once into a cache
// folder.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "bench/engine_convert_photos.h"
#include "bench/engine_convert_presets.h"
#include "engine/imported_image.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/image_source.h"

namespace {

namespace fs = std::filesystem;
using enginebench::Photo;

constexpr std::size_t kDefaultPhotoCount = 20;

struct Options {
  fs::path input;
  fs::path output;
  std::string preset = "jpeg1600";
  int repeat = 1;
  bool shrinkOnLoad = true;
};

void printUsage() {
  std::printf(
      "usage: bench_engine_convert [--input DIR] [--output DIR] [--preset NAME] [--repeat N]\n"
      "                            [--full-decode]\n"
      "\n"
      "Converts every file of DIR (not its subfolders) through the conversion engine,\n"
      "one after the other in this process, and prints images/s, input megapixels/s\n"
      "and peak resident memory.\n"
      "\n"
      "  --input DIR    photos to convert; without it %zu distinct JPEG photos (camera\n"
      "                 photos with EXIF first) are taken from Debian's wallpaper\n"
      "                 packages (apt-get download, cached in velumar-test-samples\n"
      "                 under $XDG_CACHE_HOME or /tmp)\n"
      "  --output DIR   where the results go (existing files of the same name are\n"
      "                 replaced); without it a temporary folder, removed afterwards\n"
      "  --preset NAME  settings record, default jpeg1600:\n",
      kDefaultPhotoCount);
  for (const auto& preset : enginebench::presets()) {
    std::printf("                   %-14s %.*s\n", std::string(preset.name).c_str(),
                int(preset.description.size()), preset.description.data());
  }
  std::printf(
      "  --repeat N     convert the whole batch N times (default 1); the figures of\n"
      "                 every pass, of the fastest and (from 3) of the median are\n"
      "                 printed\n"
      "  --full-decode  decode every JPEG at full size, also when it is drawn at\n"
      "                 half its size or less\n");
}

std::optional<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--help" || argument == "-h") {
      printUsage();
      std::exit(0);
    } else if (argument == "--input" && hasValue) {
      options.input = argv[++i];
    } else if (argument == "--output" && hasValue) {
      options.output = argv[++i];
    } else if (argument == "--preset" && hasValue) {
      options.preset = argv[++i];
    } else if (argument == "--full-decode") {
      options.shrinkOnLoad = false;
    } else if (argument == "--repeat" && hasValue) {
      options.repeat = std::atoi(argv[++i]);
      if (options.repeat < 1) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// The regular files directly in folder, in name order, with their pixel size
// (0 x 0 when no decoder reads the file: the engine then fails it too).
std::vector<Photo> filesInFolder(const fs::path& folder) {
  std::vector<Photo> photos;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    Photo photo{entry.path(), 0, 0, false};
    if (const auto source = imageio::ImageSource::open(photo.path.string())) {
      const foundation::Value properties = source->properties(0);
      if (const auto* width = properties.get("PixelWidth")) photo.width = width->intOr(0);
      if (const auto* height = properties.get("PixelHeight")) photo.height = height->intOr(0);
    }
    photos.push_back(photo);
  }
  std::sort(photos.begin(), photos.end(), [](const Photo& a, const Photo& b) { return a.path < b.path; });
  return photos;
}

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

double peakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

double processorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct PassResult {
  double seconds = 0;
  double processorSeconds = 0;
  int converted = 0;
  int written = 0;
  std::uintmax_t outputBytes = 0;
};

// One file as the batch session handles it: convert, then write a copy of
// the settings adjusted by the keep-original-type rule.
bool convertOne(velumar::ImportedImage& engine, velumar::ImageModifyInfo& workingSettings, const Photo& photo,
                const std::string& outputName, const fs::path& outputFolder, PassResult& result) {
  engine.setActFileTags(std::nullopt);
  engine.indexMaxPixels = 0;
  std::int64_t fileType = 0;
  const auto image = engine.resizePixelSizeForURL(photo.path.string(), workingSettings, &fileType, nullptr);
  workingSettings.originalFileType = fileType;
  bool written = false;
  if (image) {
    ++result.converted;
    velumar::ImageModifyInfo copy = workingSettings;
    velumar::ImportedImage::verifyKeepOriginalFileTypeForImageInfo(copy, std::nullopt, fileType);
    const fs::path path =
        outputFolder /
        (outputName + "." + std::string(enginebench::extensionForConversionType(copy.conversionType)));
    written = engine.saveImage(*image, copy.conversionType, path.string(), fileType,
                               copy.jpegCompressionFactor, copy.doTiffCompression, copy.preserveMetadata,
                               true, copy.roundedCornersICNS, copy.shadowICNS);
    if (written) {
      ++result.written;
      std::error_code error;
      result.outputBytes += fs::file_size(path, error);
    }
  }
  engine.indexMaxPixels = 0;
  engine.psdInfoArray.clear();
  engine.exportedDepthImage = nullptr;
  return written;
}

PassResult convertBatch(velumar::ImportedImage& engine, const velumar::ImageModifyInfo& settings,
                        const std::vector<Photo>& photos, const std::vector<std::string>& outputNames,
                        const fs::path& outputFolder) {
  PassResult result;
  velumar::ImageModifyInfo workingSettings = settings;
  engine.exportedDepthImage = nullptr;
  const double processorStart = processorSeconds();
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < photos.size(); ++i) {
    if (!convertOne(engine, workingSettings, photos[i], outputNames[i], outputFolder, result)) {
      std::fprintf(stderr, "failed: %s\n", photos[i].path.c_str());
    }
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.processorSeconds = processorSeconds() - processorStart;
  return result;
}

// Output names without extension: the source's name, and for a name met
// before the first free "name N" from 2, so that every source of the batch
// keeps its own result across passes (the wallpaper packages name many
// different photos "2560x1600.jpg").
std::vector<std::string> distinctOutputNames(const std::vector<Photo>& photos) {
  std::vector<std::string> names;
  std::set<std::string> taken;
  for (const Photo& photo : photos) {
    const std::string stem = photo.path.stem().string();
    std::string name = stem;
    for (int n = 2; !taken.insert(name).second; ++n) name = stem + " " + std::to_string(n);
    names.push_back(name);
  }
  return names;
}

void printPass(const char* label, const PassResult& pass, std::size_t images, double megapixels) {
  std::printf(
      "%-8s %6.3f s  %7.2f images/s  %8.2f MP/s  cpu %6.2f s (%.1f cores)  %d/%zu written, %.1f MB out\n",
      label, pass.seconds, double(images) / pass.seconds, megapixels / pass.seconds, pass.processorSeconds,
      pass.processorSeconds / pass.seconds, pass.written, images, double(pass.outputBytes) / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = parseOptions(argc, argv);
  if (!options) {
    printUsage();
    return 2;
  }
  const std::optional<enginebench::Preset> preset = enginebench::presetNamed(options->preset);
  if (!preset) {
    std::fprintf(stderr, "unknown preset: %s\n", options->preset.c_str());
    printUsage();
    return 2;
  }

  foundation::PlainMainLoop loop;
  foundation::MainLoop::install(&loop);

  std::vector<Photo> photos = options->input.empty() ? enginebench::fetchWallpaperPhotos(kDefaultPhotoCount)
                                                     : filesInFolder(options->input);
  if (photos.empty()) {
    std::fprintf(stderr, "no input files\n");
    return 1;
  }
  if (options->input.empty() && photos.size() < kDefaultPhotoCount) {
    std::fprintf(stderr, "only %zu photos found in the wallpaper packages\n", photos.size());
  }
  double megapixels = 0;
  for (const Photo& photo : photos) megapixels += double(photo.width) * double(photo.height) / 1e6;

  std::error_code error;
  const bool temporaryOutput = options->output.empty();
  const fs::path outputFolder =
      temporaryOutput ? fs::temp_directory_path() / ("velumar-bench-convert-" + std::to_string(getpid()))
                      : options->output;
  fs::create_directories(outputFolder, error);
  if (!fs::is_directory(outputFolder, error)) {
    std::fprintf(stderr, "cannot make the output folder %s\n", outputFolder.c_str());
    return 1;
  }

  std::printf("preset   %s: %.*s\n", options->preset.c_str(), int(preset->description.size()),
              preset->description.data());
  std::printf("input    %zu files, %.1f megapixels%s\n", photos.size(), megapixels,
              options->input.empty() ? " (Debian wallpaper photos)" : "");
  const fs::path shownFrom = options->input.empty() ? enginebench::sampleCacheRoot() : options->input;
  for (const Photo& photo : photos) {
    std::printf("         %5lld x %-5lld %s%s\n", static_cast<long long>(photo.width),
                static_cast<long long>(photo.height), photo.path.lexically_relative(shownFrom).c_str(),
                photo.fromCamera ? " (camera)" : "");
  }
  std::printf("threads  %d in the shared pool\n", foundation::hardwareConcurrency());
  std::printf("load     %s before\n", loadAverage().c_str());

  const velumar::ImageModifyInfo settings = preset->settings();
  const std::vector<std::string> outputNames = distinctOutputNames(photos);
  velumar::ImportedImage engine;
  engine.shrinkOnLoad = options->shrinkOnLoad;
  std::vector<PassResult> passes;
  for (int pass = 1; pass <= options->repeat; ++pass) {
    passes.push_back(convertBatch(engine, settings, photos, outputNames, outputFolder));
    const std::string label = "pass " + std::to_string(pass);
    printPass(label.c_str(), passes.back(), photos.size(), megapixels);
  }
  const auto fastest =
      std::min_element(passes.begin(), passes.end(),
                       [](const PassResult& a, const PassResult& b) { return a.seconds < b.seconds; });
  printPass("fastest", *fastest, photos.size(), megapixels);
  if (passes.size() > 2) {
    std::vector<PassResult> sorted = passes;
    std::sort(sorted.begin(), sorted.end(),
              [](const PassResult& a, const PassResult& b) { return a.seconds < b.seconds; });
    printPass("median", sorted[sorted.size() / 2], photos.size(), megapixels);
  }
  std::printf("memory   %.1f MB peak resident\n", peakResidentMegabytes());
  std::printf("load     %s after\n", loadAverage().c_str());

  if (temporaryOutput) fs::remove_all(outputFolder, error);
  foundation::MainLoop::install(nullptr);
  const bool allWritten = std::all_of(passes.begin(), passes.end(), [&](const PassResult& pass) {
    return pass.written == int(photos.size());
  });
  return allWritten ? 0 : 1;
}

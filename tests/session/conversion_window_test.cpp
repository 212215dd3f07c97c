// Converting several files of a batch at once: the user sees exactly the
// batch that one file after the other gives (names, running numbers,
// progress, failure report, bytes), a source replaced meanwhile is read as
// it is now, cancel leaves nothing running, and a budget below one file
// converts nothing ahead.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "engine/imported_image.h"
#include "filters/cifiltering.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/parallel.h"
#include "platform/foundation/task_group.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/jpeg_split_decode.h"
#include "platform/imageio/psd_flat_layers.h"
#include "psd/reader_psd_builder.h"
#include "session/conversion_request.h"
#include "session/conversion_window.h"
#include "session_test_kit.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;
using sessiontest::SessionKit;

foundation::PlainMainLoop& mainLoop() {
  return *dynamic_cast<foundation::PlainMainLoop*>(foundation::MainLoop::installed());
}

// Sets the window's options for one scope.
struct WindowOptionsScope {
  ConversionWindowOptions saved = conversionWindowOptions();
  WindowOptionsScope(int filesAtOnce, std::int64_t budget) {
    conversionWindowOptions().filesAtOnce = filesAtOnce;
    conversionWindowOptions().memoryBudget = budget;
  }
  ~WindowOptionsScope() { conversionWindowOptions() = saved; }
};

std::string fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Two empty pages; the reader rebuilds the cross-reference table.
void writeTwoPagePdf(const std::string& path) {
  std::ofstream(path) << "%PDF-1.4\n"
                         "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                         "2 0 obj << /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >> endobj\n"
                         "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >> endobj\n"
                         "4 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >> endobj\n"
                         "trailer << /Root 1 0 R >>\n%%EOF\n";
}

// A PSD of width x height whose stored composite is a placeholder
// (reading it merges its layers: `layers` opaque ones over the canvas), or,
// with realComposite, whose composite is the picture (only its header is
// read here).
std::string writeFlatPsd(const std::string& path, std::uint32_t width, std::uint32_t height, int layers,
                         bool realComposite = false) {
  psdtest::Document document;
  document.width = width;
  document.height = height;
  document.channels = 3;
  if (!realComposite)
    document.resources.push_back(
        psdtest::Resource{1057, {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}});
  document.compositeData = psdtest::Bytes{0, 0};
  document.layers.assign(std::size_t(layers), psdtest::solidLayer("l", 0, 0, std::int32_t(width),
                                                                  std::int32_t(height), 160, 90, 40, 255));
  const psdtest::Bytes bytes = psdtest::build(document);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

// The mixed batch: photos (one turned by its EXIF orientation, one CMYK),
// 16-bit PNG, 3-page TIFF, animated GIF, layered PSD, 2-page PDF, a
// truncated JPEG, a text file named .jpg, and a second "photo.jpg" from
// another folder that maps to the same output name.
std::vector<SourceFile> mixedBatch(SessionKit& kit) {
  auto make = [&](const std::string& name, std::vector<std::string> arguments) {
    return kit.makeInput(name, std::move(arguments));
  };
  std::vector<std::string> paths;
  paths.push_back(make("photo.jpg", {"-seed", "3", "-size", "2000x1400", "plasma:", "-quality", "90"}));
  paths.push_back(make("turned.jpg", {"-seed", "4", "-size", "1900x1300", "plasma:", "-quality", "90"}));
  EXPECT_EQ(
      testsupport::runCommand({"exiftool", "-q", "-overwrite_original", "-Orientation#=6", paths.back()})
          .exitCode,
      0);
  paths.push_back(make("cmyk.jpg", {"-seed", "5", "-size", "1800x1700", "plasma:", "-colorspace", "CMYK"}));
  paths.push_back(make("deep.png", {"-size", "1700x900", "gradient:red-blue", "-depth", "16"}));
  paths.push_back(make("pages.tiff", {"-size", "640x480", "xc:red", "xc:green", "gradient:white-black"}));
  paths.push_back(make("anim.gif", {"-size", "320x200", "-delay", "10", "xc:red", "xc:blue"}));
  paths.push_back(make("layered.psd", {"-size", "800x600", "xc:white", "xc:red", "gradient:blue-yellow"}));
  paths.push_back(kit.input + "/doc.pdf");
  writeTwoPagePdf(paths.back());
  const std::string photo = fileBytes(paths.front());
  paths.push_back(kit.input + "/truncated.jpg");
  std::ofstream(paths.back(), std::ios::binary) << photo.substr(0, photo.size() / 2);
  paths.push_back(kit.input + "/text.jpg");
  std::ofstream(paths.back()) << "not an image at all";
  fs::create_directory(kit.input + "/other");
  paths.push_back(kit.input + "/other/photo.jpg");
  fs::copy_file(paths[1], paths.back());

  std::vector<SourceFile> sources;
  for (const std::string& path : paths) sources.push_back({path, std::nullopt});
  return sources;
}

ImageModifyInfo fit1600Jpeg() {
  ImageModifyInfo info;
  info.conversionType = ConversionType::JPEG;
  info.jpegCompressionFactor = 0.8;
  info.doImageResize = true;
  info.resizeConversionType = 1;
  info.resizeScaleType = 5;
  info.fixedSizeW = 1600;
  info.fixedSizeH = 1600;
  return info;
}

// Colour controls in the first filter slot, a blend with the unfiltered
// picture, a border and a text mark: every worker renders them with its own
// copy of the filter engine.
ImageModifyInfo filteredJpeg() {
  ImageModifyInfo info = fit1600Jpeg();
  info.filterType0 = 57;
  info.compositeMode = 3;
  info.compositeModeType = 0;
  info.addBorder = true;
  info.topBorderSize = info.leftBorderSize = 12;
  info.borderColorR = 0.2;
  info.addWatermarkText = true;
  return info;
}

void prepareFilters(ImportedImage& engine) {
  FilterInfo record;
  record.saturationLevel = 1.2;
  record.contrastLevel = 1.1;
  engine.ciPhotoFilters->setFilterInfo0(record);
  engine.watermarkDrawString = "Velumar";
}

ImageModifyInfo sameSizeLzwTiff() {
  ImageModifyInfo info;
  info.conversionType = ConversionType::TIFF;
  info.doTiffCompression = 1;
  return info;
}

// One multi-page TIFF of the batch: files are only decoded ahead.
ImageModifyInfo collectedTiff() {
  ImageModifyInfo info = sameSizeLzwTiff();
  info.conversionType = ConversionType::TIFFMultiple;
  info.convertMultipleImagesInTIFF = true;
  return info;
}

// What the user sees of one batch: the end code, every display step and
// every output file with its bytes.
struct Outcome {
  std::int64_t code = -2;
  std::vector<std::string> steps;
  std::map<std::string, std::string> files;
};

Outcome runBatch(const std::vector<SourceFile>& sources, const ImageModifyInfo& settings, bool numbered,
                 bool overwrite, const std::string& output,
                 std::shared_ptr<HeadlessConverter> view = std::make_shared<HeadlessConverter>()) {
  fs::remove_all(output);
  fs::create_directories(output);
  view->setSettings(settings);
  RenameInfo rename;
  if (numbered) rename.numberPopUpIndex = 2;
  view->setRenameInfo(rename);
  view->state().initialNumber = numbered ? 7 : -1;
  view->state().saveWithStoredFileURL = 1;
  view->state().fileURLForSaving = output;
  view->state().overwriteFiles = overwrite;
  view->state().canUseTags = false;
  ConversionRequest request;
  request.sources = sources;
  const std::shared_ptr<SessionInfo> record = processNewImageAfterDragging(view, request);
  Outcome outcome;
  if (!record) return outcome;
  EXPECT_TRUE(mainLoop().runUntil([&] { return !record->currentSession(); }, 300));
  mainLoop().runPending();
  outcome.code = record->completitionCode;
  outcome.steps = view->steps();
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(output))
    if (entry.is_regular_file())
      outcome.files[fs::relative(entry.path(), output).string()] = fileBytes(entry.path());
  return outcome;
}

TEST(ConversionWindow, SeveralFilesAtOnceGiveTheSerialBatch) {
  SessionKit kit;
  const std::vector<SourceFile> sources = mixedBatch(kit);
  struct Case {
    const char* label;
    ImageModifyInfo settings;
    bool numbered, overwrite, collected, filtered = false;
  };
  const Case cases[] = {
      {"fit 1600 JPEG, numbered", fit1600Jpeg(), true, false, false},
      {"fit 1600 JPEG, overwriting", fit1600Jpeg(), false, true, false},
      {"same-size LZW TIFF", sameSizeLzwTiff(), false, false, false},
      {"one multi-page TIFF", collectedTiff(), false, false, true},
      {"filters, border and mark", filteredJpeg(), false, false, false, true},
  };
  ASSERT_TRUE(ConversionWindow::suitsSettings(filteredJpeg()));
  for (const Case& c : cases) {
    auto converter = [&] {
      auto view = std::make_shared<HeadlessConverter>();
      if (c.filtered) prepareFilters(*view->importedImage());
      return view;
    };
    Outcome serial, parallel;
    {
      WindowOptionsScope one(1, ConversionWindowOptions().memoryBudget);
      serial = runBatch(sources, c.settings, c.numbered, c.overwrite, kit.output, converter());
    }
    {
      WindowOptionsScope several(4, ConversionWindowOptions().memoryBudget);
      parallel = runBatch(sources, c.settings, c.numbered, c.overwrite, kit.output, converter());
    }
    EXPECT_EQ(serial.code, 1) << c.label;
    EXPECT_EQ(parallel.code, serial.code) << c.label;
    EXPECT_EQ(parallel.steps, serial.steps) << c.label;
    std::vector<std::string> names, parallelNames;
    for (const auto& [name, bytes] : serial.files) names.push_back(name);
    for (const auto& [name, bytes] : parallel.files) parallelNames.push_back(name);
    EXPECT_EQ(parallelNames, names) << c.label;
    for (const auto& [name, bytes] : serial.files)
      EXPECT_TRUE(parallel.files.count(name) && parallel.files[name] == bytes) << c.label << ": " << name;
    // The two photos named alike: the first source keeps the name.
    const std::string extension = c.settings.conversionType == ConversionType::JPEG ? ".jpg" : ".tiff";
    if (c.collected) {
      EXPECT_EQ(names, std::vector<std::string>{"photo.tiff"}) << c.label;
      continue;
    }
    if (!c.numbered) {
      EXPECT_TRUE(serial.files.count("photo" + extension)) << c.label;
      EXPECT_TRUE(serial.files.count("photo 2" + extension)) << c.label;
      EXPECT_EQ(serial.files["photo 2" + extension], serial.files["turned" + extension]) << c.label;
    }
    // The failure report names the two unreadable files.
    const bool reported = std::any_of(serial.steps.begin(), serial.steps.end(), [](const std::string& step) {
      return step.find("truncated.jpg") != std::string::npos && step.find("text.jpg") != std::string::npos;
    });
    EXPECT_TRUE(reported) << c.label;
  }
}

// Replaces the second source with other pixels once the first file is
// written, after its conversion ahead has finished.
class ReplacingConverter : public HeadlessConverter {
 public:
  std::string replaced, replacement;
  void updateProgressBarWithCurrentImageCount(std::int64_t current, std::int64_t total) override {
    HeadlessConverter::updateProgressBarWithCurrentImageCount(current, total);
    if (current != 2 || replaced.empty()) return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ConversionWindow::runningConversions() > 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    fs::rename(replacement, replaced);
    replaced.clear();
  }
};

TEST(ConversionWindow, ASourceReplacedAfterItsConversionShowsItsNewPixels) {
  SessionKit kit;
  WindowOptionsScope several(4, ConversionWindowOptions().memoryBudget);
  const std::string first = kit.makeInput("a.png", {"-size", "64x48", "xc:red"});
  const std::string second = kit.makeInput("b.png", {"-size", "64x48", "xc:lime"});
  auto view = std::make_shared<ReplacingConverter>();
  view->replaced = second;
  view->replacement = kit.makeInput("new.png", {"-size", "64x48", "xc:blue"});
  ImageModifyInfo png;
  png.conversionType = ConversionType::PNG;
  const Outcome outcome =
      runBatch({{first, std::nullopt}, {second, std::nullopt}}, png, false, false, kit.output, view);
  ASSERT_TRUE(outcome.files.count("b.png"));
  const std::string pixel = sessiontest::toolOutput(
      {"/usr/bin/convert", kit.output + "/b.png", "-format", "%[pixel:p{10,10}]", "info:"});
  EXPECT_EQ(pixel, "srgb(0,0,255)");
}

// Records, as the batch ends, how many conversions still run; optionally
// presses cancel after the first file.
class EndWatchingConverter : public HeadlessConverter {
 public:
  bool cancelAfterFirst = false;
  std::atomic<int> mostRunning{0};
  int runningAtEnd = -1;
  void updateProgressBarWithCurrentImageCount(std::int64_t current, std::int64_t total) override {
    HeadlessConverter::updateProgressBarWithCurrentImageCount(current, total);
    mostRunning = std::max(mostRunning.load(), ConversionWindow::runningConversions());
    if (cancelAfterFirst && current == 2) state().progressBar.cancelProgress = true;
  }
  void addPresetsButtonFromView() override {
    HeadlessConverter::addPresetsButtonFromView();
    runningAtEnd = ConversionWindow::runningConversions();
  }
};

TEST(ConversionWindow, CancelWithWorkInFlightEndsEveryConversionFirst) {
  SessionKit kit;
  std::vector<SourceFile> sources;
  for (int i = 0; i < 8; ++i)
    sources.push_back({kit.makeInput("p" + std::to_string(i) + ".jpg",
                                     {"-seed", std::to_string(i), "-size", "1800x1200", "plasma:"}),
                       std::nullopt});
  std::map<std::string, std::string> serialFiles;
  for (const int filesAtOnce : {1, 4}) {
    WindowOptionsScope options(filesAtOnce, ConversionWindowOptions().memoryBudget);
    auto view = std::make_shared<EndWatchingConverter>();
    view->cancelAfterFirst = true;
    const Outcome outcome = runBatch(sources, fit1600Jpeg(), false, false, kit.output, view);
    EXPECT_EQ(outcome.code, 1);
    EXPECT_EQ(view->runningAtEnd, 0) << filesAtOnce;
    EXPECT_LE(view->mostRunning.load(), filesAtOnce) << filesAtOnce;
    if (filesAtOnce == 1) serialFiles = outcome.files;
    EXPECT_EQ(outcome.files.size(), 1u) << filesAtOnce;
    EXPECT_EQ(outcome.files, serialFiles) << filesAtOnce;
  }
}

// Switches the live preview on after the second file and keeps what it
// shows.
class LatePreviewConverter : public HeadlessConverter {
 public:
  std::vector<std::shared_ptr<const raster::ImageSet>> shown;
  void updateProgressBarWithCurrentImageCount(std::int64_t current, std::int64_t total) override {
    HeadlessConverter::updateProgressBarWithCurrentImageCount(current, total);
    if (current == 3) state().openPreviewFromThread = true;
  }
  void openImageViewWithImage(const std::shared_ptr<const raster::ImageSet>& image) override {
    HeadlessConverter::openImageViewWithImage(image);
    if (image && state().openPreviewFromThread) shown.push_back(image);
  }
};

// Files written ahead while the preview is off let their pixels go; the
// preview switched on meanwhile still only ever shows a picture.
TEST(ConversionWindow, APreviewSwitchedOnMidBatchShowsPictures) {
  SessionKit kit;
  WindowOptionsScope several(4, ConversionWindowOptions().memoryBudget);
  std::vector<SourceFile> sources;
  // The first files are small and the next ones take a while, so that some
  // are still converting when the preview is switched on; the last ones lie
  // beyond what the window may start before the third file is written (three
  // widths of four), so they start with the preview on however loaded the
  // machine.
  constexpr int kFiles = 20;
  for (int i = 0; i < kFiles; ++i)
    sources.push_back({kit.makeInput("p" + std::to_string(i) + ".png",
                                     {"-size", i < 3 || i >= 16 ? "300x200" : "2400x1600", "gradient:red-blue"}),
                       std::nullopt});
  auto view = std::make_shared<LatePreviewConverter>();
  const Outcome outcome = runBatch(sources, fit1600Jpeg(), false, false, kit.output, view);
  EXPECT_EQ(outcome.files.size(), std::size_t(kFiles));
  ASSERT_FALSE(view->shown.empty());
  for (const auto& image : view->shown) EXPECT_FALSE(image->isEmpty());
}

TEST(ConversionWindow, ABudgetBelowOneFileConvertsNothingAhead) {
  SessionKit kit;
  WindowOptionsScope tiny(4, 1024);
  std::vector<SourceFile> sources;
  for (int i = 0; i < 4; ++i)
    sources.push_back(
        {kit.makeInput("p" + std::to_string(i) + ".png", {"-size", "64x64", "xc:red"}), std::nullopt});
  auto view = std::make_shared<EndWatchingConverter>();
  ImageModifyInfo png;
  png.conversionType = ConversionType::PNG;
  const Outcome outcome = runBatch(sources, png, false, false, kit.output, view);
  EXPECT_EQ(outcome.code, 1);
  EXPECT_EQ(outcome.files.size(), 4u);
  EXPECT_EQ(view->mostRunning.load(), 0);
}

// The most conversions running at once during a batch, sampled.
int mostRunningDuring(const std::function<void()>& batch) {
  std::atomic<bool> done{false};
  std::atomic<int> most{0};
  std::thread sampler([&] {
    while (!done) {
      most = std::max(most.load(), ConversionWindow::runningConversions());
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  batch();
  done = true;
  sampler.join();
  return most.load();
}

// Files whose header gives no decoded size (a PSD read as its layers for a
// TIFF or a PSD, two-page PDF) or that the engine decodes at a reduced size
// (JPEG fitted into a collected TIFF) are converted by the loop itself,
// never ahead outside the budget, however large it is.
TEST(ConversionWindow, FilesWithoutASizeEstimateAreNeverConvertedAhead) {
  ImageModifyInfo png;
  png.conversionType = ConversionType::PNG;
  ImageModifyInfo fittedTiff = collectedTiff();
  fittedTiff.doImageResize = true;
  fittedTiff.resizeConversionType = 1;
  fittedTiff.resizeScaleType = 5;
  fittedTiff.fixedSizeW = fittedTiff.fixedSizeH = 16;
  struct Case {
    std::string extension;
    ImageModifyInfo settings;
    std::size_t outputs;
  };
  ImageModifyInfo psd;
  psd.conversionType = ConversionType::PSD;
  const Case cases[] = {
      {"psd", sameSizeLzwTiff(), 3}, {"psd", psd, 3}, {"pdf", png, 6}, {"jpg", fittedTiff, 1}};
  for (const Case& c : cases) {
    SessionKit kit;
    WindowOptionsScope wide(4, std::int64_t(1) << 30);
    std::vector<SourceFile> sources;
    for (int i = 0; i < 3; ++i) {
      const std::string name = "d" + std::to_string(i) + "." + c.extension;
      if (c.extension == "pdf") {
        writeTwoPagePdf(kit.input + "/" + name);
        sources.push_back({kit.input + "/" + name, std::nullopt});
      } else {
        // Large enough that the pool starts the next files while the loop
        // converts the first.
        sources.push_back({kit.makeInput(name, {"-size", "1000x800", "xc:red"}), std::nullopt});
      }
    }
    auto view = std::make_shared<EndWatchingConverter>();
    Outcome outcome;
    const int most =
        mostRunningDuring([&] { outcome = runBatch(sources, c.settings, false, false, kit.output, view); });
    EXPECT_EQ(outcome.files.size(), c.outputs) << c.extension << " to " << c.settings.conversionType;
    EXPECT_EQ(std::max(most, view->mostRunning.load()), 0)
        << c.extension << " to " << c.settings.conversionType;
  }
}

// One row per option that keeps a batch's files on the converter's engine.
TEST(ConversionWindow, SuitsSettingsTable) {
  struct Row {
    const char* label;
    void (*set)(ImageModifyInfo&);
  };
  const Row rows[] = {
      {"plain", [](ImageModifyInfo&) {}},
      {"auto adjust", [](ImageModifyInfo& i) { i.optionAutoAdjust = true; }},
      {"faces", [](ImageModifyInfo& i) { i.optionFeatures = true; }},
      {"enhance", [](ImageModifyInfo& i) { i.optionEnhance = true; }},
      {"red eye", [](ImageModifyInfo& i) { i.optionRedEye = true; }},
      {"eye blink", [](ImageModifyInfo& i) { i.optionFeaturesEyeBlink = true; }},
      {"saved crops", [](ImageModifyInfo& i) { i.optionFeaturesSaveCropFaces = true; }},
      {"depth mix", [](ImageModifyInfo& i) { i.wantsMixWithDepthData = true; }},
      {"depth export", [](ImageModifyInfo& i) { i.wantsDepthExport = true; }},
      {"multi-image TIFF", [](ImageModifyInfo& i) { i.convertMultipleImagesInTIFF = true; }},
      {"multi-image PSD", [](ImageModifyInfo& i) { i.convertMultipleImagesInPSD = true; }},
  };
  for (const Row& row : rows) {
    ImageModifyInfo settings = fit1600Jpeg();
    row.set(settings);
    EXPECT_EQ(ConversionWindow::suitsSettings(settings), std::string(row.label) == "plain") << row.label;
  }
}

std::vector<SourceFile> photos(SessionKit& kit, int count) {
  std::vector<SourceFile> sources;
  for (int i = 0; i < count; ++i)
    sources.push_back(
        {kit.makeInput("p" + std::to_string(i) + ".jpg", {"-size", "1800x1200", "gradient:red-blue"}),
         std::nullopt});
  return sources;
}

// However large the budget, no more files than files-at-once convert at
// one time (sampled while the batch runs).
TEST(ConversionWindow, FilesAtOnceBoundsTheConversionsRunning) {
  SessionKit kit;
  const std::vector<SourceFile> sources = photos(kit, 8);
  WindowOptionsScope two(2, std::int64_t(4) << 30);
  Outcome outcome;
  const int most = mostRunningDuring([&] { outcome = runBatch(sources, fit1600Jpeg(), false, false, kit.output); });
  EXPECT_EQ(outcome.files.size(), 8u);
  EXPECT_GE(most, 1);
  EXPECT_LE(most, 2);
}

// 12-megapixel photos fitted into 1600 are read at half their size: a
// budget far below three full decodes still holds several at once, but not
// a progressive photo, which keeps every coefficient while it decodes.
// PSDs whose layers are merged in place of their composite convert two at
// once beside the loop's first file, like raster files.
TEST(ConversionWindow, FilesAreAdmittedByWhatTheirConversionHolds) {
  enum class Kind { Baseline, Progressive, MergedPsd };
  struct Row {
    const char* label;
    Kind kind;
    int files, filesAtOnce;
    std::int64_t budget;
    int leastRunning, mostRunning;
  };
  const Row rows[] = {{"baseline", Kind::Baseline, 6, 4, std::int64_t(80) << 20, 2, 4},
                      {"progressive", Kind::Progressive, 6, 4, std::int64_t(80) << 20, 0, 0},
                      {"merged PSDs", Kind::MergedPsd, 3, 2, ConversionWindowOptions().memoryBudget, 2, 2}};
  for (const Row& row : rows) {
    SessionKit kit;
    std::vector<SourceFile> sources;
    for (int i = 0; i < row.files; ++i) {
      if (row.kind == Kind::MergedPsd) {
        sources.push_back(
            {writeFlatPsd(kit.input + "/m" + std::to_string(i) + ".psd", 600, 600, 600), std::nullopt});
        continue;
      }
      std::vector<std::string> arguments{"-size", "4000x3000", "gradient:red-blue"};
      if (row.kind == Kind::Progressive) arguments.insert(arguments.end(), {"-interlace", "JPEG"});
      sources.push_back({kit.makeInput("p" + std::to_string(i) + ".jpg", arguments), std::nullopt});
    }
    WindowOptionsScope options(row.filesAtOnce, row.budget);
    Outcome outcome;
    const int most =
        mostRunningDuring([&] { outcome = runBatch(sources, fit1600Jpeg(), false, false, kit.output); });
    EXPECT_EQ(outcome.files.size(), std::size_t(row.files)) << row.label;
    EXPECT_GE(most, row.leastRunning) << row.label;
    EXPECT_LE(most, row.mostRunning) << row.label;
  }
}

// A file that does not fit waits and later ones that fit start: with a
// budget for one large photo, the small ones convert beside the first
// large one rather than wait behind the second.
TEST(ConversionWindow, AFileThatDoesNotFitLetsLaterSmallOnesStart) {
  SessionKit kit;
  std::vector<SourceFile> sources;
  for (const char* name : {"large0.jpg", "large1.jpg"})
    sources.push_back({kit.makeInput(name, {"-size", "3000x2000", "gradient:red-blue"}), std::nullopt});
  for (int i = 0; i < 4; ++i)
    sources.push_back(
        {kit.makeInput("small" + std::to_string(i) + ".jpg", {"-size", "1000x800", "gradient:red-blue"}),
         std::nullopt});
  ImageModifyInfo jpeg;
  jpeg.conversionType = ConversionType::JPEG;
  ConversionWindow sizer(ConversionWindow::Work::Convert, {}, jpeg, *kit.engine, {});
  const std::int64_t large = sizer.conversionBytesOf(sources[0].path),
                     small = sizer.conversionBytesOf(sources[2].path);
  ASSERT_GT(large, 4 * small);
  const ConversionWindowOptions oneLarge{4, large + 4 * small};
  ConversionWindow window(ConversionWindow::Work::Convert, sources, jpeg, *kit.engine, oneLarge);
  // While the first large photo converts: on the pool, or (not started
  // there yet) on the loop, which holds its budget until its next file.
  std::atomic<bool> firstConverting{true};
  std::atomic<int> most{0};
  std::thread sampler([&] {
    while (firstConverting) {
      most = std::max(most.load(), ConversionWindow::runningConversions());
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  std::optional<ConversionWindow::Converted> first = window.take(0);
  if (!first) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  firstConverting = false;
  sampler.join();
  EXPECT_GE(most.load(), first ? 2 : 1);
  if (first) window.giveBack(std::move(first->worker));
  for (std::size_t index = 1; index < sources.size(); ++index) {
    std::optional<ConversionWindow::Converted> result = window.take(index);
    if (index >= 2) {
      EXPECT_TRUE(result) << index;
    }
    if (result) window.giveBack(std::move(result->worker));
  }
}

// What converting a file holds beyond its pixels: a photo stored turned
// holds its decode once more while it is turned upright, a progressive
// JPEG whose scans decode at once holds a copy of the file (converted or
// only decoded ahead), a PSD whose layers are merged the merge's bands, at
// most its working bytes, and a PSD read from its composite nothing more.
TEST(ConversionWindow, TurnedPhotosAndScansDecodedAtOnceCountWhatTheyHold) {
  SessionKit kit;
  const std::string upright = kit.makeInput("upright.jpg", {"-size", "1200x1200", "gradient:red-blue"});
  auto turned = [&](int orientation) {
    const std::string path = kit.input + "/turned" + std::to_string(orientation) + ".jpg";
    fs::copy_file(upright, path);
    testsupport::runCommand(
        {"exiftool", "-q", "-overwrite_original", "-Orientation#=" + std::to_string(orientation), path});
    return path;
  };
  const std::string half = turned(3), quarter = turned(6);
  const std::string progressive =
      kit.makeInput("progressive.jpg", {"-size", "1200x1000", "gradient:red-blue", "-interlace", "JPEG"});
  // 3000 x 3000: the merge's planes (36 MB) are more than its working bytes.
  const std::string placeholder = writeFlatPsd(kit.input + "/placeholder.psd", 3000, 3000, 1),
                    composite = writeFlatPsd(kit.input + "/composite.psd", 3000, 3000, 1, true),
                    flat = kit.makeInput("flat.png", {"-size", "3000x3000", "xc:red"});
  const std::int64_t decode = std::int64_t(1200) * 1200 * 4, file = std::int64_t(fs::file_size(progressive));
  using Work = ConversionWindow::Work;
  struct Row {
    const char* label;
    Work work;
    std::string path, reference;  // the reference without the split when path is the reference
    std::int64_t more;
  };
  const Row rows[] = {
      {"turned half, converted", Work::Convert, half, upright, decode},
      {"turned a quarter, converted", Work::Convert, quarter, upright, decode},
      {"turned, decoded ahead", Work::Decode, quarter, upright, decode},
      {"scans at once, converted", Work::Convert, progressive, progressive, file},
      {"scans at once, decoded ahead", Work::Decode, progressive, progressive, file},
      {"PSD merged, converted", Work::Convert, placeholder, composite, imageio::psd::kMergeWorkingBytes},
      {"PSD with its composite, converted", Work::Convert, composite, flat, 0},
  };
  ImageModifyInfo png;
  png.conversionType = ConversionType::PNG;
  const std::int64_t splitFrom = imageio::jpegSplitOptions().minimumPixels;
  for (const Row& row : rows) {
    ConversionWindow window(row.work, {}, png, *kit.engine, {});
    const std::int64_t bytes = window.conversionBytesOf(row.path);
    if (row.path == row.reference) imageio::jpegSplitOptions().minimumPixels = std::int64_t(1) << 62;
    const std::int64_t reference = window.conversionBytesOf(row.reference);
    imageio::jpegSplitOptions().minimumPixels = splitFrom;
    EXPECT_GT(reference, 0) << row.label;
    EXPECT_EQ(bytes - reference, row.more) << row.label;
  }
}

// The pool busy with other work: the loop takes the first files while they
// are still queued and converts them itself; the files after them still
// start ahead once the pool is free, and none is left running.
TEST(ConversionWindow, FilesTheLoopTakesWhileQueuedLeaveRoomForLaterOnes) {
  SessionKit kit;
  const std::vector<SourceFile> sources = photos(kit, 8);
  const auto view = std::make_shared<HeadlessConverter>();
  ConversionWindowOptions options;
  options.filesAtOnce = 2;
  options.memoryBudget = std::int64_t(4) << 30;
  std::atomic<bool> release{false};
  std::atomic<int> blocking{0};
  foundation::TaskGroup busy;
  const int threads = foundation::hardwareConcurrency();
  for (int i = 0; i < threads; ++i)
    busy.run([&] {
      ++blocking;
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (blocking < threads - 1 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::size_t ahead = 0;
  {
    ConversionWindow window(ConversionWindow::Work::Convert, sources, fit1600Jpeg(), *view->importedImage(),
                            options);
    EXPECT_FALSE(window.take(0));
    EXPECT_FALSE(window.take(1));
    release = true;
    const auto started = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ConversionWindow::runningConversions() == 0 && std::chrono::steady_clock::now() < started)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (std::size_t index = 2; index < sources.size(); ++index) {
      std::optional<ConversionWindow::Converted> result = window.take(index);
      if (result) ++ahead;
      if (result) window.giveBack(std::move(result->worker));
    }
    EXPECT_EQ(ConversionWindow::runningConversions(), 0);
  }
  busy.wait();
  EXPECT_GE(ahead, 3u);
}

// A failing file is reported with its own cause, whatever the window read
// of the files after it.
TEST(ConversionWindow, AFailingFileKeepsItsOwnCause) {
  struct Row {
    const char* label;
    const char* next;  // the second file: "missing" or "text"
    const char* nextCause;
  };
  const Row rows[] = {
      {"damaged, then missing", "missing", "The source file does not exist."},
      {"damaged, then unsupported", "text", "The file format is not supported."},
  };
  for (const Row& row : rows) {
    SessionKit kit;
    WindowOptionsScope several(4, ConversionWindowOptions().memoryBudget);
    const std::string photo = fileBytes(kit.makeInput("whole.jpg", {"-size", "1200x900", "plasma:"}));
    const std::string damaged = kit.input + "/trunc.jpg";
    std::ofstream(damaged, std::ios::binary) << photo.substr(0, photo.size() / 2);
    const std::string next = kit.input + "/next.jpg";
    if (std::string(row.next) == "text") std::ofstream(next) << "not an image at all";
    const std::string good = kit.makeInput("good.png", {"-size", "64x48", "xc:red"});
    auto view = std::make_shared<HeadlessConverter>();
    runBatch({{damaged, std::nullopt}, {next, std::nullopt}, {good, std::nullopt}}, fit1600Jpeg(), false, false,
             kit.output, view);
    std::string alert;
    for (const std::string& step : view->steps())
      if (step.rfind("alert ", 0) == 0) alert = step;
    EXPECT_NE(alert.find("\ntrunc.jpg: The source file is damaged or incomplete."), std::string::npos)
        << row.label << ": " << alert;
    EXPECT_NE(alert.find(std::string("\nnext.jpg: ") + row.nextCause), std::string::npos)
        << row.label << ": " << alert;
  }
}

TEST(ConversionWindow, FileIdentityFollowsReplacementAndRewrites) {
  SessionKit kit;
  const std::string path = kit.input + "/f.bin";
  std::ofstream(path) << "one";
  const std::optional<FileIdentity> first = imageio::identityOf(path);
  ASSERT_TRUE(first);
  EXPECT_EQ(imageio::identityOf(path), first);
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::ofstream(path) << "two";  // same size, rewritten in place
  EXPECT_NE(imageio::identityOf(path), first);
  EXPECT_FALSE(imageio::identityOf(kit.input + "/missing"));
}

}  // namespace
}  // namespace velumar

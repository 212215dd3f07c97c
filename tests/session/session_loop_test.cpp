// Whole batches through the request, headless: end decisions, recorded
// display steps, running numbers, cancel, the live preview and the
// temporary-folder request.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "filters/cifiltering.h"
#include "platform/foundation/main_loop.h"
#include "platform/imageio/image_source.h"
#include "session/conversion_request.h"
#include "session/processing_queues.h"
#include "session/session_alerts.h"
#include "session_test_kit.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;
using sessiontest::SessionKit;

constexpr const char* kWriteFailed = "Couldn't write file(s) | Cannot write to destination folder.";
constexpr const char* kNotAnImage = "Couldn't read file(s) | The file format is not supported.";
constexpr const char* kFolderInTheWay = "Couldn't write file(s) | A folder has the output file's name.";
constexpr const char* kTwoNotImages =
    "Couldn't read file(s) | 2 of 2 files failed:\nbad0.jpg: The file format is not supported.\n"
    "bad1.jpg: The file format is not supported.";

foundation::PlainMainLoop& mainLoop() {
  return *dynamic_cast<foundation::PlainMainLoop*>(foundation::MainLoop::installed());
}

// Patches a little-endian TIFF's second page so that its strip lies past
// the end of the file.
void pointSecondPageStripPastTheEnd(const std::string& path) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  auto read = [&](std::streamoff at, int size) {
    std::uint32_t value = 0;
    file.seekg(at);
    file.read(reinterpret_cast<char*>(&value), size);
    return value;
  };
  const std::uint32_t first = read(4, 4);
  const std::uint32_t second = read(first + 2 + 12 * read(first, 2), 4);
  for (std::uint32_t entry = 0, count = read(second, 2); entry < count; ++entry) {
    const std::streamoff at = second + 2 + 12 * entry;
    if (read(at, 2) != 273) continue;  // StripOffsets
    const std::uint32_t far = 0x7fffffff;
    file.seekp(at + 8);
    file.write(reinterpret_cast<const char*>(&far), 4);
  }
}

// Inputs: "good" pictures, "bad" text files named .jpg, and "blocked"
// pictures whose output path holds a non-empty folder (a write failure even
// as root, with overwrite on).
struct Batch : SessionKit {
  std::vector<SourceFile> sources;

  explicit Batch(std::shared_ptr<HeadlessConverter> custom = nullptr) {
    if (custom) {
      view = std::move(custom);
      engine = view->importedImage();
    }
    ImageModifyInfo info;
    info.conversionType = ConversionType::PNG;
    view->setSettings(info);
    view->state().saveWithStoredFileURL = 1;
    view->state().fileURLForSaving = output;
    view->state().overwriteFiles = true;
  }
  void add(const std::string& kind, const std::string& stem) {
    if (kind == "bad") {
      const std::string path = input + "/" + stem + ".jpg";
      std::ofstream(path) << "not an image";
      sources.push_back({path, std::nullopt});
      return;
    }
    // Sources that vanished, are folders or links that loop.
    const std::string path = input + "/" + stem + ".png";
    if (kind == "missing" || kind == "folder" || kind == "loop") {
      if (kind == "folder") fs::create_directory(path);
      if (kind == "loop") fs::create_symlink(stem + ".png", path);
      sources.push_back({path, std::nullopt});
      return;
    }
    // A two-page TIFF whose second page cannot be decoded: the first gives
    // the picture, with the damage noted. Its output name is blocked.
    if (kind == "damaged page") {
      const std::string tiff = makeInput(stem + ".tiff", {"-size", "8x6", "xc:red", "xc:blue", "-compress", "none"});
      pointSecondPageStripPastTheEnd(tiff);
      sources.push_back({tiff, std::nullopt});
      fs::create_directories(output + "/" + stem + ".png/inside");
      return;
    }
    sources.push_back({makeInput(stem + ".png", {"-size", "8x6", "xc:red"}), std::nullopt});
    if (kind == "blocked") {
      fs::create_directories(output + "/" + stem + ".png/inside");
    }
  }
  void addAll(const std::vector<std::string>& kinds) {
    for (std::size_t i = 0; i < kinds.size(); ++i) add(kinds[i], kinds[i] + std::to_string(i));
  }
  // Runs the request and pumps the main loop until the session has ended.
  std::shared_ptr<SessionInfo> run(ConversionRequest request = {}) {
    request.sources = sources;
    std::shared_ptr<SessionInfo> record = processNewImageAfterDragging(view, request);
    EXPECT_TRUE(record);
    if (!record) return record;
    EXPECT_TRUE(mainLoop().runUntil([&] { return !record->currentSession(); }, 120));
    mainLoop().runPending();
    return record;
  }
  std::vector<std::string> alerts() const {
    std::vector<std::string> found;
    for (const std::string& step : view->steps())
      if (step.rfind("alert ", 0) == 0) found.push_back(step.substr(6));
    return found;
  }
};

TEST(SessionLoop, EndDecisionTable) {
  struct Case {
    const char* label;
    std::vector<std::string> kinds;
    std::int64_t conversionType;
    bool eyeBlink, copyOnly, ignoreAlerts;
    std::int64_t code;
    std::vector<std::string> alerts;
    std::size_t outputs;
  };
  const Case cases[] = {
      {"one good", {"good"}, ConversionType::PNG, false, false, false, 1, {}, 1},
      {"one bad", {"bad"}, ConversionType::PNG, false, false, false, 0, {kNotAnImage}, 0},
      {"one blocked", {"blocked"}, ConversionType::PNG, false, false, false, 0, {kFolderInTheWay}, 0},
      {"partial failure listed",
       {"good", "bad", "good"},
       ConversionType::PNG,
       false,
       false,
       false,
       1,
       {"Couldn't read file(s) | 1 of 3 files failed:\nbad1.jpg: The file format is not supported."},
       2},
      {"partial failure, alerts ignored", {"good", "bad"}, ConversionType::PNG, false, false, true, 1, {}, 1},
      {"mixed total failure",
       {"bad", "blocked"},
       ConversionType::PNG,
       false,
       false,
       false,
       0,
       {"Couldn't convert file(s) | 2 of 2 files failed:\nbad0.jpg: The file format is not supported.\n"
        "blocked1.png: A folder has the output file's name."},
       0},
      {"every conversion failed",
       {"bad", "bad"},
       ConversionType::PNG,
       false,
       false,
       false,
       0,
       {kTwoNotImages},
       0},
      {"eye-blink skips are no failures", {"bad", "bad"}, ConversionType::PNG, true, false, false, 1, {}, 0},
      {"failure with alerts ignored", {"bad", "bad"}, ConversionType::PNG, false, false, true, 0, {}, 0},
      {"multi-page TIFF", {"good", "good"}, ConversionType::TIFFMultiple, false, false, false, 1, {}, 1},
      {"multi-page TIFF of nothing",
       {"bad", "bad"},
       ConversionType::TIFFMultiple,
       false,
       false,
       false,
       0,
       {kTwoNotImages},
       0},
      {"copy-only with a collecting code",
       {"good", "good"},
       ConversionType::TIFFMultiple,
       false,
       true,
       false,
       1,
       {},
       2},
      {"copy-only of a missing source",
       {"missing"},
       ConversionType::PNG,
       false,
       true,
       false,
       0,
       {"Couldn't read file(s) | The source file does not exist."},
       0},
      {"no files", {}, ConversionType::PNG, false, false, false, 0, {kWriteFailed}, 0},
  };
  for (const Case& c : cases) {
    Batch batch;
    batch.addAll(c.kinds);
    ImageModifyInfo info;
    info.conversionType = c.conversionType;
    info.convertMultipleImagesInTIFF = c.conversionType == ConversionType::TIFFMultiple;
    info.optionFeaturesEyeBlink = c.eyeBlink;
    batch.view->setSettings(info);
    batch.view->state().renameIgnoreProcessing = c.copyOnly;
    ConversionRequest request;
    request.ignoreAlerts = c.ignoreAlerts;
    const auto record = batch.run(request);
    ASSERT_TRUE(record) << c.label;
    EXPECT_EQ(record->completitionCode, c.code) << c.label;
    EXPECT_EQ(batch.alerts(), c.alerts) << c.label;
    std::size_t outputs = 0;
    for (const std::string& file : batch.outputFiles())
      if (file.find("/inside") == std::string::npos) ++outputs;
    EXPECT_EQ(outputs, c.outputs) << c.label;
    EXPECT_FALSE(batch.view->state().isProcessingImages) << c.label;
  }
}

TEST(SessionLoop, LongFailureListIsCut) {
  Batch batch;
  std::vector<std::string> kinds(11, "bad");
  kinds.push_back("good");
  batch.addAll(kinds);
  batch.run();
  const std::vector<std::string> alerts = batch.alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].substr(0, alerts[0].find('\n')), "Couldn't read file(s) | 11 of 12 files failed:");
  EXPECT_EQ(std::count(alerts[0].begin(), alerts[0].end(), '\n'), 11);
  EXPECT_TRUE(alerts[0].ends_with("\nbad9.jpg: The file format is not supported.\nand 1 more."));
}

// Removes the output folder once the batch has started (after its folder
// check, before the first write).
class OutputRemovingConverter : public HeadlessConverter {
 public:
  void removePresetsButtonFromViewMultipleFiles(bool multipleFiles) override {
    HeadlessConverter::removePresetsButtonFromViewMultipleFiles(multipleFiles);
    fs::remove_all(state().fileURLForSaving);
  }
};

TEST(SessionLoop, EveryFailureNamesItsOwnCause) {
  struct Case {
    const char* label;
    std::vector<std::string> kinds;
    bool outputRemoved;
    std::string alert;
  };
  const std::string missing = "The source file does not exist.", unreadable = "The source file cannot be read.",
                    notAFile = unreadable + " (not a regular file)";
  const Case cases[] = {
      {"source deleted before its turn", {"missing"}, false, "Couldn't read file(s) | " + missing},
      {"source is a folder", {"folder"}, false, "Couldn't read file(s) | " + notAFile},
      {"link loop", {"loop"}, false, "Couldn't read file(s) | " + unreadable},
      {"output folder removed before the write",
       {"good"},
       true,
       "Couldn't write file(s) | The destination folder does not exist."},
      {"damaged yet decoded, onto a blocked name", {"damaged page"}, false, kFolderInTheWay},
      {"each file its own cause",
       {"missing", "folder", "loop", "damaged page", "good"},
       false,
       "Couldn't convert file(s) | 4 of 5 files failed:\nmissing0.png: " + missing + "\nfolder1.png: " +
           notAFile + "\nloop2.png: " + unreadable + "\ndamaged page3.tiff: A folder has the output file's name."},
  };
  for (const Case& c : cases) {
    Batch batch(c.outputRemoved ? std::make_shared<OutputRemovingConverter>() : nullptr);
    batch.addAll(c.kinds);
    batch.run();
    EXPECT_EQ(batch.alerts(), std::vector<std::string>{c.alert}) << c.label;
  }
}

std::vector<std::string> withoutSetupSteps(const std::vector<std::string>& steps) {
  std::vector<std::string> kept;
  for (const std::string& step : steps)
    if (step != "previewRefusesImages" && step != "verifyVisibleWindows" && step != "closeAllPopovers" &&
        step != "closeImageView")
      kept.push_back(step);
  return kept;
}

TEST(SessionLoop, DisplaySequences) {
  {
    Batch batch;
    batch.addAll({"good"});
    batch.run();
    EXPECT_EQ(withoutSetupSteps(batch.view->steps()),
              (std::vector<std::string>{"filesCount 1 / 1", "removePresetsButton single", "addPresetsButton",
                                        "previewAcceptsImages", "restoreVisibleWindows"}));
    EXPECT_FALSE(batch.view->display().sheetShown);
  }
  {
    Batch batch;
    batch.addAll({"good", "good", "good", "good", "good"});
    batch.run();
    EXPECT_EQ(withoutSetupSteps(batch.view->steps()),
              (std::vector<std::string>{
                  "filesCount 1 / 5", "startProgressBar", "removePresetsButton multiple", "counter 2 / 5",
                  "counter 3 / 5", "counter 4 / 5", "counter 5 / 5", "counter 5 / 5", "counter 5 / 5",
                  "stopProgressBar", "addPresetsButton", "previewAcceptsImages", "restoreVisibleWindows"}));
    EXPECT_EQ(batch.view->barValues(), (std::vector<double>{0.2, 0.4, 0.6, 0.8, 1.0, 1.0}));
  }
  {
    Batch batch;
    batch.addAll({"good", "good", "good"});
    ImageModifyInfo info;
    info.conversionType = ConversionType::TIFFMultiple;
    info.convertMultipleImagesInTIFF = true;
    batch.view->setSettings(info);
    batch.run();
    const std::vector<double> bar = batch.view->barValues();
    ASSERT_EQ(bar.size(), 4u);
    EXPECT_DOUBLE_EQ(bar[2], 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(bar[3], 1.0);
  }
}

TEST(SessionLoop, RunningNumbersSkipAFailedFile) {
  Batch batch;
  batch.addAll({"good", "bad", "good"});
  batch.view->setRenameInfo(RenameInfo{false, false, false, 2, true, false, 0});
  batch.view->state().initialNumber = 5;
  batch.run();
  EXPECT_EQ(batch.outputFiles(), (std::vector<std::string>{"good05.png", "good26.png"}));
}

// A Look whose lookup image is missing fails its files, naming the image,
// rather than write the pictures unchanged.
TEST(SessionLoop, LookWithoutItsLookupImageFailsTheFile) {
  Batch batch;
  batch.addAll({"good", "good"});
  ImageModifyInfo info;
  info.conversionType = ConversionType::PNG;
  info.filterType0 = 15;
  batch.view->setSettings(info);
  batch.engine->ciPhotoFilters->lookupImageFolder = batch.dir.file("no lookup images");
  const auto record = batch.run();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->completitionCode, 0);
  const std::string cause = ": An unexpected error occurred. (the lookup image lookup0.png is missing)";
  EXPECT_EQ(batch.alerts(), (std::vector<std::string>{"Couldn't convert file(s) | 2 of 2 files failed:\ngood0.png" +
                                                      cause + "\ngood1.png" + cause}));
  EXPECT_TRUE(batch.outputFiles().empty());
}

// Two batches writing the same names into one folder at the same time,
// overwriting off: no output replaces another.
TEST(SessionLoop, TwoBatchesIntoOneFolderKeepEveryOutput) {
  Batch first, second;
  for (Batch* batch : {&first, &second}) {
    for (int i = 0; i < 6; ++i)
      batch->sources.push_back({batch->makeInput("same" + std::to_string(i) + ".png",
                                                 {"-size", "400x300", "plasma:", "-seed", "1"}),
                                std::nullopt});
    batch->view->state().overwriteFiles = false;
    batch->view->state().fileURLForSaving = first.output;
  }
  std::vector<std::shared_ptr<SessionInfo>> records;
  for (Batch* batch : {&first, &second}) {
    ConversionRequest request;
    request.sources = batch->sources;
    records.push_back(processNewImageAfterDragging(batch->view, request));
    ASSERT_TRUE(records.back());
  }
  EXPECT_TRUE(mainLoop().runUntil(
      [&] { return !records[0]->currentSession() && !records[1]->currentSession(); }, 120));
  mainLoop().runPending();
  const std::vector<std::string> outputs = first.outputFiles();
  EXPECT_EQ(outputs.size(), 12u);
  EXPECT_EQ(std::count(outputs.begin(), outputs.end(), "same0 2.png"), 1);
}

// Synchronous runs share the calling thread: without overwriting twice,
// then with it, the last run replaces the first output (a no-replace
// commit of an earlier batch never outlives it).
TEST(SessionLoop, OverwritingAfterBatchesWithoutItReplacesOnTheSameThread) {
  Batch batch;
  batch.addAll({"good"});
  ConversionRequest request;
  request.sources = batch.sources;
  request.ignoreBookmark = true;
  request.asyncQueue = false;
  for (const bool overwrite : {false, false, true}) {
    batch.view->state().overwriteFiles = overwrite;
    const auto record = processNewImageAfterDragging(batch.view, request);
    ASSERT_TRUE(record && !record->currentSession());
  }
  EXPECT_EQ(batch.outputFiles(), (std::vector<std::string>{"good0 2.png", "good0.png"}));
}

// Presses cancel when the counter moves past file 2.
class CancellingConverter : public HeadlessConverter {
 public:
  void updateProgressBarWithCurrentImageCount(std::int64_t current, std::int64_t total) override {
    HeadlessConverter::updateProgressBarWithCurrentImageCount(current, total);
    if (current == 3) state().progressBar.cancelProgress = true;
  }
};

TEST(SessionLoop, CancelAfterTheSecondOfFiveFiles) {
  for (const std::int64_t conversionType : {ConversionType::PNG, ConversionType::TIFFMultiple}) {
    Batch batch;
    batch.view = std::make_shared<CancellingConverter>();
    batch.view->state().saveWithStoredFileURL = 1;
    batch.view->state().fileURLForSaving = batch.output;
    batch.addAll({"good", "good", "good", "good", "good"});
    ImageModifyInfo info;
    info.conversionType = conversionType;
    info.convertMultipleImagesInTIFF = conversionType == ConversionType::TIFFMultiple;
    batch.view->setSettings(info);
    const auto record = batch.run();
    EXPECT_EQ(record->completitionCode, 1);
    EXPECT_TRUE(batch.alerts().empty());
    EXPECT_EQ(batch.outputFiles().size(), conversionType == ConversionType::TIFFMultiple ? 0u : 2u);

    // The next one-file session of a bad file reports its failure.
    batch.sources.clear();
    batch.view->clearSteps();
    info.conversionType = ConversionType::PNG;
    info.convertMultipleImagesInTIFF = false;
    batch.view->setSettings(info);
    batch.add("bad", "next");
    const auto next = batch.run();
    EXPECT_EQ(next->completitionCode, 0);
    EXPECT_EQ(batch.alerts(), std::vector<std::string>{kNotAnImage});
  }
  // A failure before the cancel: the sheet says the batch was cancelled and
  // lists only what failed before.
  Batch batch;
  batch.view = std::make_shared<CancellingConverter>();
  batch.view->state().saveWithStoredFileURL = 1;
  batch.view->state().fileURLForSaving = batch.output;
  batch.addAll({"bad", "good", "bad", "good", "good"});
  ImageModifyInfo info;
  info.conversionType = ConversionType::PNG;
  batch.view->setSettings(info);
  EXPECT_EQ(batch.run()->completitionCode, 1);
  EXPECT_EQ(batch.alerts(), std::vector<std::string>{
                                "Batch cancelled | The batch was cancelled after 2 of 5 files.\n"
                                "1 of 2 files failed:\nbad0.jpg: The file format is not supported."});
}

// Fills the face-crop list and the lookup cache as a conversion does,
// notes whether both were empty when the loop started, and cancels after
// the first file.
class LeftoverWatchingConverter : public HeadlessConverter {
 public:
  std::string face;  // a picture to crop as a face
  std::vector<bool> emptyAtStart;
  CIFiltering& filters() { return *importedImage()->ciPhotoFilters; }
  void fill() {
    filters().cropFacesArray.push_back(
        raster::BitmapImageRep::withImage(imageio::ImageSource::open(face)->createImage(0)));
    filters().setupColorFilterForImageName("lookup0.png");
  }
  bool empty() { return filters().cropFacesArray.empty() && filters().lookups().empty(); }
  void removePresetsButtonFromViewMultipleFiles(bool multipleFiles) override {
    HeadlessConverter::removePresetsButtonFromViewMultipleFiles(multipleFiles);
    emptyAtStart.push_back(empty());
  }
  void updateProgressBarWithCurrentImageCount(std::int64_t current, std::int64_t total) override {
    HeadlessConverter::updateProgressBarWithCurrentImageCount(current, total);
    if (state().progressBar.cancelProgress) return;  // the loop's end
    fill();
    state().progressBar.cancelProgress = true;
  }
};

// Faces and lookup tables of one batch never reach the next: emptied when
// a request starts, and after a collecting batch that was cancelled.
TEST(SessionLoop, FacesAndLookupsNeverOutliveABatch) {
  auto view = std::make_shared<LeftoverWatchingConverter>();
  Batch batch(view);
  batch.addAll({"good", "good", "good"});
  view->face = batch.sources[0].path;
  fs::create_directory(batch.dir.file("looks"));
  batch.makeInput("../looks/lookup0.png", {"-size", "512x512", "gradient:red-blue", "-type", "TrueColor"});
  view->filters().lookupImageFolder = batch.dir.file("looks");
  ImageModifyInfo info;
  info.conversionType = ConversionType::TIFFMultiple;
  info.convertMultipleImagesInTIFF = true;
  view->setSettings(info);
  view->fill();  // what an earlier batch left
  ASSERT_EQ(view->filters().lookups().size(), 1u);
  batch.run();
  EXPECT_EQ(view->emptyAtStart, std::vector<bool>{true});
  EXPECT_TRUE(view->empty());
  EXPECT_TRUE(batch.outputFiles().empty());
}

// Switches the live preview on as a user would once the run shows, and
// moves the injected clock 0.4 s per file.
class PreviewWatchingConverter : public HeadlessConverter {
 public:
  double now = 0;
  std::vector<std::shared_ptr<const raster::ImageSet>> shown;
  void openImageViewWithImage(const std::shared_ptr<const raster::ImageSet>& image) override {
    HeadlessConverter::openImageViewWithImage(image);
    shown.push_back(image);
  }
  void removePresetsButtonFromViewMultipleFiles(bool multipleFiles) override {
    HeadlessConverter::removePresetsButtonFromViewMultipleFiles(multipleFiles);
    state().openPreviewFromThread = true;
  }
  void updateProgressBarWithCurrentImageCount(std::int64_t current, std::int64_t total) override {
    HeadlessConverter::updateProgressBarWithCurrentImageCount(current, total);
    now += 0.4;
  }
};

TEST(SessionLoop, LivePreviewAtMostOncePerSecond) {
  SessionKit kit;
  auto view = std::make_shared<PreviewWatchingConverter>();
  kit.session->setProcessingView(view);
  kit.session->setProcessedImage(view->importedImage());
  std::vector<std::string> paths;
  for (int i = 0; i < 6; ++i)
    paths.push_back(kit.makeInput("p" + std::to_string(i) + ".png", {"-size", "4x4", "xc:red"}));
  kit.setSources(paths);
  ImageModifyInfo info;
  info.conversionType = ConversionType::PNG;
  kit.session->setPresetInfo(info);
  kit.session->asyncQueue = true;
  kit.processing->clock = [&] { return view->now; };
  ASSERT_TRUE(kit.processing->startSession(kit.session));
  ASSERT_TRUE(mainLoop().runUntil([&] { return !kit.session->currentSession(); }, 120));
  // Files at 0.0, 0.4, 0.8, 1.2, 1.6, 2.0 s: shown at 0.0, 1.2 (and not 2.0,
  // 0.8 s after 1.2).
  const std::vector<std::string> steps = view->steps();
  EXPECT_EQ(std::count(steps.begin(), steps.end(), "livePreview"), 2);
}

TEST(SessionLoop, LivePreviewKeepsItsPicturesWhileTheBatchCollects) {
  Batch batch;
  auto view = std::make_shared<PreviewWatchingConverter>();
  view->state().saveWithStoredFileURL = 1;
  view->state().fileURLForSaving = batch.output;
  batch.view = view;
  batch.addAll({"good", "good"});
  ImageModifyInfo info;
  info.conversionType = ConversionType::TIFFMultiple;
  info.convertMultipleImagesInTIFF = true;
  view->setSettings(info);
  batch.run();
  // The first file's preview and the collected file's preview: both still
  // hold their pixels after the collected images gave theirs away.
  ASSERT_EQ(view->shown.size(), 2u);
  for (const auto& image : view->shown) EXPECT_EQ(image->representations().size(), 1u);
  EXPECT_EQ(batch.outputFiles(), std::vector<std::string>{"good0.tiff"});
}

TEST(ConversionRequest, SynchronousTemporaryFolderRequest) {
  testsupport::TempDir home;
  const char* previous = std::getenv("XDG_DATA_HOME");
  const std::string saved = previous ? previous : "";
  ::setenv("XDG_DATA_HOME", home.path().c_str(), 1);
  {
    Batch batch;
    batch.addAll({"good"});
    fs::create_directories(tempDataDirectory() + "/old/deeper");
    std::ofstream(tempDataDirectory() + "/leftover.txt") << "x";
    fs::create_symlink(batch.input, tempDataDirectory() + "/link");
    ConversionRequest request{{}, true, true, 0, tempDataDirectory(), false};
    request.sources = batch.sources;
    const auto record = processNewImageAfterDragging(batch.view, request);
    ASSERT_TRUE(record);
    // The whole session ran before the call returned.
    EXPECT_EQ(record->completitionCode, -1);
    EXPECT_FALSE(record->currentSession());
    const std::string written = tempDataDirectory() + "/good0.png";
    EXPECT_EQ(batch.engine->urlsArray, std::vector<std::string>{written});
    EXPECT_TRUE(fs::exists(written));
    EXPECT_FALSE(fs::exists(tempDataDirectory() + "/leftover.txt"));
    EXPECT_FALSE(fs::exists(tempDataDirectory() + "/old"));
    EXPECT_FALSE(fs::exists(tempDataDirectory() + "/link", *std::make_unique<std::error_code>()));
    EXPECT_TRUE(fs::exists(batch.sources[0].path));  // the link's target stays

    // Any other folder is refused: code 0, never started, nothing emptied.
    request.tempPath = batch.input;
    const auto refused = processNewImageAfterDragging(batch.view, request);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->completitionCode, 0);
    EXPECT_TRUE(fs::exists(batch.sources[0].path));
    EXPECT_FALSE(batch.view->state().isProcessingImages);
    EXPECT_FALSE(clearTemDirectoryForPath(tempDataDirectory() + "/.."));
  }
  if (previous)
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
}

TEST(ConversionRequest, PostedRequestsRunLaterAndAskForAFolder) {
  Batch batch;
  batch.addAll({"good"});
  batch.view->state().fileURLForSaving = kOutputFolderPlaceholder;
  batch.view->scriptFolderChoice(batch.output);
  ConversionRequest request;
  request.sources = batch.sources;
  const auto start = std::chrono::steady_clock::now();
  postConversionRequest(batch.view, request);
  mainLoop().runPending();
  EXPECT_TRUE(batch.view->steps().empty());
  ASSERT_TRUE(mainLoop().runUntil(
      [&] {
        const auto steps = batch.view->steps();
        return std::find(steps.begin(), steps.end(), "restoreVisibleWindows") != steps.end();
      },
      60));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  const auto steps = batch.view->steps();
  EXPECT_NE(std::find(steps.begin(), steps.end(),
                      "chooseFolder Destination Folder | Select destination folder. | Choose"),
            steps.end());
  EXPECT_EQ(batch.outputFiles(), std::vector<std::string>{"good0.png"});
}

TEST(ConversionRequest, RefusedWhileProcessingAndFolderChecks) {
  Batch batch;
  batch.addAll({"good"});
  batch.view->state().isProcessingImages = true;
  EXPECT_FALSE(processNewImageAfterDragging(batch.view, {}));
  EXPECT_TRUE(batch.view->steps().empty());

  ConverterState state;
  state.saveWithStoredFileURL = 1;
  state.fileURLForSaving = batch.output;
  EXPECT_EQ(setupParentDirectoryWithInfo(state, {}, 1), batch.output);
  state.fileURLForSaving = kOutputFolderPlaceholder;
  EXPECT_EQ(setupParentDirectoryWithInfo(state, {}, 1), std::nullopt);
  state.fileURLForSaving = batch.output + "/deleted";
  EXPECT_EQ(setupParentDirectoryWithInfo(state, {}, 1), std::nullopt);
  state.fileURLForSaving = batch.output;
  state.saveWithStoredFileURL = 0;
  EXPECT_EQ(setupParentDirectoryWithInfo(state, {}, 1), std::nullopt);
}

TEST(ConversionRequest, OutputFolderVanishedBeforeTheLoop) {
  SessionKit kit;
  kit.setSources({kit.makeInput("a.png", {"-size", "4x4", "xc:red"})});
  kit.session->setParentDirectory(kit.output + "/gone");
  kit.session->ignoreBookmark = true;
  kit.session->asyncQueue = false;
  EXPECT_TRUE(kit.processing->startSession(kit.session));
  EXPECT_EQ(kit.session->completitionCode, 0);
  EXPECT_EQ(kit.view->steps().back(),
            "alert Couldn't write file(s) | " + kit.output + "/gone: The destination folder does not exist.");
}

// Root reads and writes anywhere, so these run as user nobody: a stored
// output folder that is gone, read-only or not ours names itself and why;
// a source we may not read cannot be read.
TEST(ConversionRequest, UnusableStoredFolderOrUnreadableSourceSaysWhichAndWhere) {
  Batch batch;
  batch.addAll({"good"});
  const std::string gone = batch.dir.file("gone"), readOnly = batch.dir.file("read-only"),
                    notOurs = batch.dir.file("not ours"), aFile = batch.dir.file("a file");
  fs::create_directory(readOnly);
  fs::create_directory(notOurs);
  std::ofstream(aFile) << "not a folder";
  ::chmod(batch.dir.path().c_str(), 0755);
  ::chmod(readOnly.c_str(), 0555);
  ::chmod(batch.output.c_str(), 0777);
  ::chmod(batch.sources[0].path.c_str(), 0600);
  const std::string title = "Couldn't write file(s) | ";
  const std::pair<std::string, std::string> cases[] = {
      {gone, title + gone + ": The destination folder does not exist."},
      {readOnly, title + readOnly + ": The destination folder is read-only."},
      {notOurs, title + notOurs + ": The destination folder is not writable."},
      {aFile, title + aFile + ": The destination is not a folder."},
      {batch.output, "Couldn't read file(s) | The source file cannot be read."},
  };
  // The child forked for the check has none of this process's queue
  // threads: no queue of an earlier batch may be left for it to retire.
  ProcessingQueues::shared().joinAll();
  EXPECT_TRUE(testsupport::checkWithoutWriteAccess([&] {
    bool passed = true;
    for (const auto& [folder, alert] : cases) {
      batch.view->clearSteps();
      batch.view->state().fileURLForSaving = folder;
      batch.run();
      if (batch.alerts() != std::vector<std::string>{alert}) {
        std::fprintf(stderr, "%s: got %s\n", folder.c_str(), ::testing::PrintToString(batch.alerts()).c_str());
        passed = false;
      }
    }
    return passed;
  }));
}

TEST(ConversionRequest, HideAfterOpenWithAndRenderForPrinting) {
  Batch batch;
  ConverterState& state = batch.view->state();
  state.openWithHide = true;
  state.isFromOpenWith = true;
  EXPECT_TRUE(verifyHideAppAfterOpenWith(*batch.view));
  EXPECT_FALSE(state.isFromOpenWith);
  EXPECT_FALSE(verifyHideAppAfterOpenWith(*batch.view));

  batch.addAll({"good", "bad"});
  EXPECT_EQ(processNewImageForURL(*batch.view, batch.sources[0].path).size(), 1u);
  EXPECT_TRUE(processNewImageForURL(*batch.view, batch.sources[1].path).empty());
  const std::string psd = (testsupport::testDataDir() / "psd" / "layers_rle.psd").string();
  EXPECT_FALSE(processNewImageForURL(*batch.view, psd).empty());
  EXPECT_FALSE(batch.engine->imageMetadataArray);
}

}  // namespace
}  // namespace velumar

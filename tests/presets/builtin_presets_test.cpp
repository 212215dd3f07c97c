#include <gtest/gtest.h>

#include <filesystem>

#include "engine/imported_image.h"
#include "platform/foundation/files.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/property_list.h"
#include "platform/imageio/image_source.h"
#include "presets/preset_catalogue.h"
#include "presets/preset_file.h"
#include "presets/preset_loader.h"
#include "presets/presets_test_support.h"
#include "session/conversion_request.h"
#include "session/headless_converter.h"
#include "support/test_support.h"

using namespace velumar;
namespace fs = std::filesystem;

namespace {

fs::path committedFolder() {
  return fs::path(VELUMAR_SOURCE_DIR) / "resources" / "presets";
}

bool hasType(const foundation::Value& value, PresetKeyType type) {
  switch (type) {
    case PresetKeyType::Boolean:
      return value.isBool();
    case PresetKeyType::Integer:
      return value.isInteger();
    case PresetKeyType::Real:
      return value.isReal();
    case PresetKeyType::String:
      return value.isString();
    case PresetKeyType::Array:
      return value.isArray();
    case PresetKeyType::Dictionary:
      return value.isDictionary();
    case PresetKeyType::DataOrBoolean:
      return value.isData() || value.isBool();
  }
  return false;
}

class NoControls : public PresetControlsTarget {
 public:
  bool setPopOverViewFromPreset(std::size_t) override { return true; }
  bool setDefaultPreset() override { return true; }
};

std::shared_ptr<ImageInfo> builtIn(std::size_t position) {
  static const auto engine = presets_test::engineWithInstalledProfiles();
  const std::string path = (committedFolder() / kBuiltInPresetNames[position]).string();
  const auto dictionary = foundation::readPropertyList(path);
  if (!dictionary || !dictionary->asDictionary()) return nullptr;
  return imageInfoFromPresetDictionary(*dictionary->asDictionary(), path, *engine);
}

}  // namespace

TEST(BuiltInPresets, CommittedFilesAreExactlyWhatTheGeneratorWritesNow) {
  testsupport::TempDir folder;
  const auto run = testsupport::runCommand({VELUMAR_MAKE_BUILTIN_PRESETS, folder.path().string()});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  std::size_t committed = 0;
  for (const auto& entry : fs::directory_iterator(committedFolder())) {
    (void)entry;
    ++committed;
  }
  EXPECT_EQ(committed, kBuiltInPresetCount);
  for (std::string_view name : kBuiltInPresetNames) {
    const auto fresh = foundation::readFile(folder.file(std::string(name)));
    const auto stored = foundation::readFile((committedFolder() / name).string());
    ASSERT_TRUE(fresh && stored) << name;
    EXPECT_TRUE(*fresh == *stored) << name << " differs from the generator's output";
  }
}

TEST(BuiltInPresets, EveryFileHoldsTheSavedKeysWithTheirTypes) {
  for (std::string_view name : kBuiltInPresetNames) {
    const auto dictionary = foundation::readPropertyList((committedFolder() / name).string());
    ASSERT_TRUE(dictionary && dictionary->asDictionary()) << name;
    EXPECT_EQ(dictionary->asDictionary()->size(), kPresetKeysAlwaysWritten) << name;
    for (const PresetKey& row : presetKeyTable()) {
      const foundation::Value* value = dictionary->asDictionary()->find(row.key);
      const bool written = row.key != "LUTArray" && row.number <= 129;
      ASSERT_EQ(value != nullptr, written) << name << ": " << row.key;
      if (value) {
        EXPECT_TRUE(hasType(*value, row.type)) << name << ": " << row.key;
      }
    }
  }
}

TEST(BuiltInPresets, TheCatalogueLoadsAllSixteenFromTheResourceFolder) {
  testsupport::TempDir home;
  const presets_test::ScopedDataHome dataHome(home.path().string());
  auto engine = presets_test::engineWithInstalledProfiles();
  ConverterState state;
  NoControls controls;
  PresetCatalogue catalogue(*engine, state, controls);  // the bundled resources
  catalogue.addPresetsFromFiles();

  ASSERT_EQ(engine->presetsArray.size(), kBuiltInPresetCount);
  for (std::size_t i = 0; i < kBuiltInPresetCount; ++i) {
    const ImageInfo& preset = *engine->presetsArray[i];
    EXPECT_EQ(preset.imageInfoName, kBuiltInPresetNames[i]);
    EXPECT_EQ(catalogue.menus().popUpItems[i].title, kBuiltInPresetNames[i]);
    EXPECT_FALSE(preset.canDeletePreset) << preset.imageInfoName;
    EXPECT_FALSE(preset.presetFilePath.empty()) << "loaded from a file: " << preset.imageInfoName;
    EXPECT_EQ(preset.presetSavingMethod, -2);
    EXPECT_EQ(preset.filterValues.size(), kFilterValueCount);
    const ImageModifyInfo r = preset.imageModifyInfo();
    EXPECT_GT(r.dpi, 0);
    EXPECT_GT(r.jpegCompressionFactor, 0);
    EXPECT_EQ(r.rFactorW, 1.0);
  }
  const std::int64_t codes[] = {0, 0, 0, 0, 0, 0, 0, 3, 4, 5, 7, 11, 10, 9, 13, 8};
  for (std::size_t i = 0; i < kBuiltInPresetCount; ++i)
    EXPECT_EQ(engine->presetsArray[i]->imageModifyInfo().conversionType, codes[i]) << kBuiltInPresetNames[i];
}

// Each built-in whose writer exists converts a real photo into a file our
// reader opens again.
TEST(BuiltInPresets, EachConvertsARealPhoto) {
  const fs::path root = testsupport::fetchDebianPackageFiles("python3-skimage");
  fs::path photo;
  for (const fs::path& file : testsupport::findFiles(root, {"png"}))
    if (file.filename() == "coffee.png") photo = file;
  if (photo.empty()) GTEST_SKIP() << "needs the coffee photo of python3-skimage";

  testsupport::TempDir output;
  const struct {
    std::size_t position;
    const char* extension;
    const char* colorModel;  // expected "ColorModel" of the result, or null
    double dpi;              // expected resolution, or 0
  } cases[] = {{0, "jpg", "RGB", 0},   {2, "jpg", "RGB", 72},  {3, "jpg", nullptr, 144},
               {7, "tiff", "CMYK", 0}, {8, "pdf", nullptr, 0}, {10, "tiff", "RGB", 0},
               {15, "tiff", "RGB", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(kBuiltInPresetNames[c.position]);
    const auto preset = builtIn(c.position);
    ASSERT_TRUE(preset);
    const ImageModifyInfo settings = preset->imageModifyInfo();
    ImportedImage engine;
    std::int64_t fileType = 0;
    const auto image = engine.resizePixelSizeForURL(photo.string(), settings, &fileType, nullptr);
    ASSERT_TRUE(image && !image->isEmpty());
    const std::string path = output.file(std::to_string(c.position) + "." + c.extension);
    bool written = false;
    switch (settings.conversionType) {
      case 7:
        written =
            engine.saveImageReps2xTIFFFromBitmapRep(image->representations().front(), 0, path, settings);
        break;
      case 8:
        written = engine.saveATiffVersionFromImage(*image, path, settings.doTiffCompression,
                                                   settings.jpegCompressionFactor, false, std::nullopt);
        break;
      default:
        written = engine.saveImage(*image, settings.conversionType, path, fileType,
                                   settings.jpegCompressionFactor, settings.doTiffCompression, false, true,
                                   settings.roundedCornersICNS, settings.shadowICNS);
    }
    ASSERT_TRUE(written);
    const auto source = imageio::ImageSource::open(path);
    ASSERT_TRUE(source);
    ASSERT_GE(source->count(), settings.conversionType == ConversionType::TIFF2x ? 2u : 1u);
    EXPECT_TRUE(source->createImage(0));
    const foundation::Value properties = source->properties(0);
    if (c.colorModel) {
      EXPECT_EQ(properties.get("ColorModel") ? properties.get("ColorModel")->stringOr("") : "", c.colorModel);
    }
    if (c.dpi > 0) {
      EXPECT_NEAR(properties.get("DPIWidth") ? properties.get("DPIWidth")->doubleOr(0) : 0, c.dpi, 0.5);
    }
  }
}

// The multi-layer PSD preset through a whole batch: one file whose layers
// are the photos, read back by psd-tools.
TEST(BuiltInPresets, LayeredPSDPresetMakesOneFileOfLayers) {
  const fs::path root = testsupport::fetchDebianPackageFiles("python3-skimage");
  std::vector<fs::path> photos;
  for (const fs::path& file : testsupport::findFiles(root, {"png"}))
    if (file.filename() == "coffee.png" || file.filename() == "chelsea.png") photos.push_back(file);
  if (photos.size() != 2) GTEST_SKIP() << "needs two photos of python3-skimage";
  const auto preset = builtIn(14);
  ASSERT_TRUE(preset);
  ASSERT_EQ(preset->imageModifyInfo().conversionType, 13);

  testsupport::TempDir output;
  auto view = std::make_shared<HeadlessConverter>(preset->imageModifyInfo());
  view->state().saveWithStoredFileURL = 1;
  view->state().fileURLForSaving = output.path().string();
  ConversionRequest request;
  for (const fs::path& photo : photos) request.sources.push_back({photo.string(), std::nullopt});
  request.ignoreBookmark = request.ignoreAlerts = true;
  request.setupMode = 0;
  request.asyncQueue = false;
  ASSERT_TRUE(processNewImageAfterDragging(view, request));
  auto* loop = dynamic_cast<foundation::PlainMainLoop*>(foundation::MainLoop::installed());
  ASSERT_NE(loop, nullptr);
  loop->runPending();

  const auto written = testsupport::findFiles(output.path(), {"psd"});
  ASSERT_EQ(written.size(), 1u);
  const auto layers = testsupport::runCommand(
      {"/usr/bin/python3", "-c",
       "import sys; from psd_tools import PSDImage; print(len(list(PSDImage.open(sys.argv[1]))))",
       written.front().string()});
  ASSERT_EQ(layers.exitCode, 0) << layers.output;
  EXPECT_EQ(layers.output.substr(0, 1), "2");
}

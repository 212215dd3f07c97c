#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/files.h"
#include "platform/foundation/plist_dict_colliding_keys.h"
#include "platform/foundation/property_list.h"
#include "presets/headless_window_services.h"
#include "presets/preset_file.h"
#include "presets/presets_test_support.h"
#include "presets/user_presets.h"
#include "session/rename_info.h"
#include "support/test_support.h"

using namespace velumar;
namespace fs = std::filesystem;

namespace {

// The converter's form and the catalogue over a fresh application-support
// folder and a fixture folder of built-in presets.
class UserPresetsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    presets_test::writeBuiltInFixtures(home_.file("builtin"));
    catalogue_.addPresetsFromFiles();
  }

  fs::path folder() const { return fs::path(PresetCatalogue::getAppSupportPath()); }
  std::optional<foundation::Dictionary> saved(const std::string& name) const {
    auto value = foundation::readPropertyList((folder() / name).string());
    if (!value || !value->asDictionary()) return std::nullopt;
    return *value->asDictionary();
  }
  bool save(const std::string& name) {
    form_.controls.presetTextField.text = name;
    return savePresetFrom(form_, catalogue_);
  }
  // An image in a drop well, with or without alpha.
  void fillWell(ImageWell& well, bool alpha) {
    const std::string path = home_.file(alpha ? "alpha.png" : "opaque.png");
    ASSERT_EQ(
        testsupport::runCommand({"/usr/bin/convert", "-size", "8x6", alpha ? "xc:#00ff0080" : "xc:#00ff00",
                                 "-define", alpha ? "png:color-type=6" : "png:color-type=2", path})
            .exitCode,
        0);
    well.fullSizeImage = services_.loadImage(path);
    well.originalImageHasAlpha = alpha;
    ASSERT_TRUE(well.fullSizeImage);
  }
  void withComposite(bool alpha) {
    ConverterControls& c = form_.controls;
    c.compositePopUp.select(3);
    c.compositeTypeFilteredCheck.set(false);
    c.compositeTypeImageCheck.set(true);
    fillWell(c.compositeDragAndDropView, alpha);
  }
  std::vector<std::string> userTitles() const {
    std::vector<std::string> out;
    for (const auto& item : catalogue_.menus().userItems) out.push_back(item.title);
    return out;
  }

  testsupport::TempDir home_;
  presets_test::ScopedDataHome dataHome_{home_.path().string()};
  std::unique_ptr<ImportedImage> engine_ = presets_test::engineWithInstalledProfiles();
  ConverterState state_;
  HeadlessWindowServices services_;
  ConverterForm form_{state_, *engine_, services_};
  PresetCatalogue catalogue_{*engine_, state_, form_, home_.file("builtin")};
};

std::string bytesAt(const fs::path& path, std::size_t count) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(count, '\0');
  in.read(bytes.data(), std::streamsize(count));
  return bytes;
}

}  // namespace

TEST_F(UserPresetsTest, SavedNamesAreFreeAndMended) {
  struct Case {
    std::string typed;
    std::optional<std::string> savedAs;
  };
  const Case cases[] = {
      {"JPG for Web", "JPG for Web 2"},  // a built-in's name
      {"JPG for Web", "JPG for Web 3"},   {"a/b/c", "a b c"}, {"   ", "   "}, {"", std::nullopt},
      {std::string("nul\0l", 5), "null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const bool savedNow = save(c.typed);
    ASSERT_EQ(savedNow, c.savedAs.has_value());
    if (!c.savedAs) continue;
    const auto dictionary = saved(*c.savedAs);
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(*dictionary->find("Cancel Preset"), foundation::Value(true));
    EXPECT_EQ(state_.lastSelectedPresetName, *c.savedAs);
    const auto& menus = catalogue_.menus();
    ASSERT_GE(menus.selectedIndex, std::int64_t(kBuiltInPresetCount));
    EXPECT_EQ(menus.popUpItems[std::size_t(menus.selectedIndex)].title, *c.savedAs);
    EXPECT_TRUE(form_.controls.presetTextField.text.empty());
  }
  // A name too long for the file system is cut so that its copies fit too.
  const std::string longName(300, 'x');
  ASSERT_TRUE(save(longName + "/"));
  EXPECT_TRUE(saved(std::string(241, 'x')));
  // Whether the name is cut is known before the save, for the window to say.
  const struct {
    std::string typed, name;
    bool shortened;
  } names[] = {{"a/b", "a b", false},
               {std::string(241, 'x'), std::string(241, 'x'), false},
               {std::string(240, 'x') + "\xc3\xa9", std::string(240, 'x'), true},  // not inside the é
               {longName, std::string(241, 'x'), true}};
  for (const auto& n : names) {
    const PresetFileName fileName = presetFileName(n.typed);
    EXPECT_EQ(fileName.name, n.name);
    EXPECT_EQ(fileName.shortened, n.shortened) << n.typed.size();
  }
}

TEST_F(UserPresetsTest, SavedValuesFollowTheFileOptionRules) {
  state_.saveWithStoredFileURL = 0;
  state_.fileURLForSaving = "/home/user/Out";
  ASSERT_TRUE(save("Plain"));
  const auto plain = saved("Plain");
  ASSERT_TRUE(plain);
  EXPECT_EQ(*plain->find("Preset Path"), foundation::Value(kOutputFolderPlaceholder));
  EXPECT_EQ(state_.fileURLForSaving, kOutputFolderPlaceholder);
  EXPECT_EQ(*plain->find("Initial Number"), foundation::Value(-1));
  EXPECT_EQ(*plain->find("Zeros"), foundation::Value(-1));
  for (const char* key : {"Prefix File", "Name File", "Suffix File"})
    EXPECT_EQ(*plain->find(key), foundation::Value("")) << key;
  EXPECT_EQ(plain->size(), kPresetKeysAlwaysWritten);
}

TEST_F(UserPresetsTest, ImageCopiesArePNGWithAlphaElseJPEG) {
  for (bool alpha : {true, false}) {
    SCOPED_TRACE(alpha);
    withComposite(alpha);
    const std::string name = alpha ? "With alpha" : "Opaque";
    ASSERT_TRUE(save(name));
    const fs::path copy = folder() / (name + (alpha ? "_composite.png" : "_composite.jpg"));
    ASSERT_TRUE(fs::exists(copy));
    EXPECT_EQ(bytesAt(copy, 4),
              alpha ? std::string("\x89PNG", 4) : std::string("\xFF\xD8\xFF", 3) + bytesAt(copy, 4)[3]);
    const auto dictionary = saved(name);
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(*dictionary->find("Composite Image URL"), foundation::Value(copy.string()));
    EXPECT_EQ(*dictionary->find("Composite Alpha"), foundation::Value(alpha));
    // The catalogue lists the preset, never its copy.
    for (const auto& item : catalogue_.menus().popUpItems) EXPECT_NE(item.title, copy.filename().string());
  }
}

TEST_F(UserPresetsTest, ACopyNeverOverwritesAnotherPreset) {
  // A user preset whose name is what a copy of "foo" would be called.
  ASSERT_TRUE(
      presets_test::writePreset((folder() / "foo_composite.png").string(),
                                presetDictionaryFromImageInfo(*presets_test::presetWithJpegFactor(0.3))));
  const auto before = foundation::readFile((folder() / "foo_composite.png").string());
  withComposite(true);
  ASSERT_TRUE(save("foo"));
  EXPECT_EQ(foundation::readFile((folder() / "foo_composite.png").string()), before);
  EXPECT_TRUE(saved("foo 2"));
  EXPECT_TRUE(fs::exists(folder() / "foo 2_composite.png"));
}

TEST_F(UserPresetsTest, AFailedSaveLeavesNothingBehind) {
  withComposite(true);
  const fs::path presets = folder();
  fs::remove_all(presets);
  std::ofstream(presets) << "not a folder";
  EXPECT_FALSE(save("Lost"));
  EXPECT_TRUE(fs::is_regular_file(presets));
  for (const auto& entry : fs::directory_iterator(presets.parent_path()))
    EXPECT_EQ(entry.path().filename().string().find("Lost"), std::string::npos) << entry.path();
  EXPECT_EQ(form_.controls.presetTextField.text, "Lost");
}

TEST_F(UserPresetsTest, SaveLoadApplyReadGivesTheControlsRecord) {
  ConverterControls& c = form_.controls;
  c.buttonsArray[ConversionType::JPEG].on = false;
  c.buttonsArray[ConversionType::TIFF].on = true;
  c.tiffCompressionPopUp.select(1);
  c.addBorderCheck.set(true);
  c.topBorderTextField.text = "10%";
  c.dpiCheck.set(true);
  c.dpiTextField.text = "300";
  c.addWatermarkTextCheck.set(true);
  engine_->watermarkDrawString = "© Velumar";
  const ImageModifyInfo before = form_.readCurrentPresetValues();
  ASSERT_TRUE(save("Round trip"));  // the catalogue applies it again
  ImageModifyInfo after = form_.readCurrentPresetValues();
  after.searchSubFolders = before.searchSubFolders;  // a file option, not applied
  ImageModifyInfo want = before;
  want.jpegCompressionFactor = 1.0;  // saved so for every output but JPEG
  EXPECT_EQ(after, want) << presets_test::differences(after, want);
  EXPECT_EQ(engine_->watermarkDrawString, "© Velumar");
}

TEST_F(UserPresetsTest, DeletingUpdatesTheListsInPlace) {
  ASSERT_TRUE(save("Only"));
  services_.confirmations = {true};
  ASSERT_TRUE(deletePresetFrom(form_, catalogue_));
  const auto& menus = catalogue_.menus();
  EXPECT_EQ(menus.selectedIndex, 15);
  EXPECT_TRUE(menus.builtInItems[15].on);
  EXPECT_EQ(userTitles(), (std::vector<std::string>{kNoPresetsTitle}));
  EXPECT_FALSE(menus.userItems[0].enabled);
  EXPECT_EQ(state_.lastSelectedPresetName, std::string(kBuiltInPresetNames[15]));
  EXPECT_FLOAT_EQ(form_.controls.jpegSlider.value, 16.0f / 32);  // preset 15 applied
  EXPECT_FALSE(fs::exists(folder() / "Only"));
  EXPECT_EQ(services_.steps.back(), "filter values");

  for (const char* name : {"One", "Two", "Three"}) ASSERT_TRUE(save(name));
  ASSERT_TRUE(catalogue_.updateCurrentPresetFrom(18));
  const std::string title17 = menus.popUpItems[17].title;
  services_.confirmations = {true};
  ASSERT_TRUE(deletePresetFrom(form_, catalogue_));
  EXPECT_EQ(menus.selectedIndex, 17);
  EXPECT_TRUE(menus.userItems[1].on);
  EXPECT_EQ(state_.lastSelectedPresetName, title17);
  EXPECT_EQ(engine_->presetsArray.size(), kBuiltInPresetCount + 2);
}

TEST_F(UserPresetsTest, DeletingIsRefusedUnlessConfirmedDeletableAndAUserPreset) {
  ASSERT_TRUE(save("Keep"));
  const std::size_t count = engine_->presetsArray.size();
  // "Cancel": nothing changes.
  services_.confirmations = {false};
  EXPECT_FALSE(deletePresetFrom(form_, catalogue_));
  EXPECT_TRUE(fs::exists(folder() / "Keep"));
  EXPECT_FALSE(form_.controls.deleteButton.on);
  // Not deletable: no question at all.
  engine_->presetsArray.back()->canDeletePreset = false;
  services_.steps.clear();
  EXPECT_FALSE(deletePresetFrom(form_, catalogue_));
  EXPECT_TRUE(services_.steps.empty());
  // A built-in position, even when marked deletable.
  engine_->presetsArray[3]->canDeletePreset = true;
  ASSERT_TRUE(catalogue_.updateCurrentPresetFrom(3));
  services_.confirmations = {true};
  EXPECT_FALSE(deletePresetFrom(form_, catalogue_));
  EXPECT_EQ(engine_->presetsArray.size(), count);
  // While a batch runs.
  engine_->presetsArray.back()->canDeletePreset = true;
  ASSERT_TRUE(catalogue_.updateCurrentPresetFrom(std::int64_t(count - 1)));
  state_.isProcessingImages = true;
  services_.confirmations = {true};
  EXPECT_FALSE(deletePresetFrom(form_, catalogue_));
  EXPECT_TRUE(fs::exists(folder() / "Keep"));
}

TEST_F(UserPresetsTest, DeletingRemovesOnlyTheFlaggedCopiesOfThePreset) {
  withComposite(false);
  ASSERT_TRUE(save("Pic"));
  ASSERT_TRUE(fs::exists(folder() / "Pic_composite.jpg"));
  services_.confirmations = {true};
  ASSERT_TRUE(deletePresetFrom(form_, catalogue_));
  EXPECT_FALSE(fs::exists(folder() / "Pic_composite.jpg"));

  // Crafted files: a flag that is NO, and a URL outside the presets folder.
  testsupport::TempDir outside;
  const std::string victim = outside.file("precious.txt");
  std::ofstream(victim) << "keep me";
  std::ofstream(folder() / "Kept_watermark.png") << "copy";
  foundation::Dictionary crafted = presetDictionaryFromImageInfo(ImageInfo());
  crafted.set("Composite Image", true);
  crafted.set("Composite Image URL", victim);
  crafted.set("Watermark Image", false);
  crafted.set("Watermark Image URL", (folder() / "Kept_watermark.png").string());
  ASSERT_TRUE(presets_test::writePreset((folder() / "Kept").string(), crafted));
  fs::create_directories(folder() / "Sub");
  ASSERT_TRUE(presets_test::writePreset((folder() / "Sub" / "Nested").string(),
                                        presetDictionaryFromImageInfo(ImageInfo())));
  catalogue_.addPresetsFromFiles();
  for (const char* name : {"Kept", "Nested"}) {
    SCOPED_TRACE(name);
    std::size_t position = 0;
    while (catalogue_.menus().popUpItems[position].title != name) ++position;
    ASSERT_TRUE(catalogue_.updateCurrentPresetFrom(std::int64_t(position)));
    services_.confirmations = {true};
    ASSERT_TRUE(deletePresetFrom(form_, catalogue_));
  }
  EXPECT_TRUE(fs::exists(victim));
  EXPECT_TRUE(fs::exists(folder() / "Kept_watermark.png"));
  EXPECT_FALSE(fs::exists(folder() / "Kept"));
  EXPECT_FALSE(fs::exists(folder() / "Sub" / "Nested"));
  EXPECT_EQ(userTitles(), (std::vector<std::string>{kNoPresetsTitle}));
}

// A user preset whose keys, and the keys of the archive in its watermark
// text's data, share one bucket of the property-list library's dictionary
// hash loads at once.
TEST_F(UserPresetsTest, PresetOfKeysCollidingInThePropertyListLibrarysHashLoadsAtOnce) {
  for (const auto& [count, blocks] : {std::pair{32768, 15}, {131072, 17}}) {
    const std::string name = std::to_string(count) + " colliding keys";
    const auto keys = plisttest::plistDictionaryKeys(std::size_t(count), blocks, true);
    const std::string archive = plisttest::xmlDictionaryOfKeys(keys, 1);
    foundation::Dictionary preset{
        {"Add Watermark Text", true},
        {"Watermark Text Attributes", foundation::Data(archive.begin(), archive.end())}};
    for (const std::string& key : keys) preset.set(key, 1);
    ASSERT_TRUE(presets_test::writePreset((folder() / name).string(), preset));
    plisttest::runWithHangGuard(name + " as a preset", 10, [&] { catalogue_.addPresetsFromFiles(); });
    const std::vector<std::string> titles = userTitles();
    EXPECT_NE(std::find(titles.begin(), titles.end(), name), titles.end()) << name;
  }
}

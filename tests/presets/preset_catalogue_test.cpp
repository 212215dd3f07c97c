#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/foundation/files.h"
#include "platform/foundation/property_list.h"
#include "presets/preset_catalogue.h"
#include "presets/preset_file.h"
#include "presets/presets_test_support.h"
#include "support/test_support.h"

using namespace velumar;
namespace fs = std::filesystem;

namespace {

class RecordingControls : public PresetControlsTarget {
 public:
  std::vector<std::string> calls;
  bool setPopOverViewFromPreset(std::size_t position) override {
    calls.push_back("apply " + std::to_string(position));
    return true;
  }
  bool setDefaultPreset() override {
    calls.push_back("default");
    return true;
  }
};

// A catalogue over a fresh application-support folder and a fixture folder
// of the 16 built-in files.
class PresetCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    presets_test::writeBuiltInFixtures(builtIns());
    engine_ = presets_test::engineWithInstalledProfiles();
  }

  std::string builtIns() const { return home_.file("builtin"); }
  fs::path userFolder() const { return fs::path(PresetCatalogue::getAppSupportPath()); }
  void writeUserPreset(const fs::path& relative, double factor = 0.5) {
    fs::create_directories((userFolder() / relative).parent_path());
    auto preset = presets_test::presetWithJpegFactor(factor);
    ASSERT_TRUE(presets_test::writePreset((userFolder() / relative).string(),
                                          presetDictionaryFromImageInfo(*preset)));
  }
  PresetCatalogue& build() {
    catalogue_ = std::make_unique<PresetCatalogue>(*engine_, state_, controls_, builtIns());
    catalogue_->addPresetsFromFiles();
    return *catalogue_;
  }
  std::vector<std::string> userTitles() const {
    std::vector<std::string> titles;
    for (const auto& item : catalogue_->menus().userItems) titles.push_back(item.title);
    std::sort(titles.begin(), titles.end());
    return titles;
  }
  std::size_t positionOf(const std::string& title) const {
    const auto& items = catalogue_->menus().popUpItems;
    for (std::size_t i = 0; i < items.size(); ++i)
      if (items[i].title == title) return i;
    return std::size_t(-1);
  }

  testsupport::TempDir home_;
  presets_test::ScopedDataHome dataHome_{home_.path().string()};
  std::unique_ptr<ImportedImage> engine_;
  ConverterState state_;
  RecordingControls controls_;
  std::unique_ptr<PresetCatalogue> catalogue_;
};

}  // namespace

TEST_F(PresetCatalogueTest, AnEmptyFolderGivesTheBuiltInsAndNoPresets) {
  PresetCatalogue& catalogue = build();
  const PresetMenus& menus = catalogue.menus();
  ASSERT_EQ(engine_->presetsArray.size(), kBuiltInPresetCount);
  ASSERT_EQ(menus.popUpItems.size(), kBuiltInPresetCount);
  ASSERT_EQ(menus.builtInItems.size(), kBuiltInPresetCount);
  for (std::size_t i = 0; i < kBuiltInPresetCount; ++i) {
    EXPECT_EQ(menus.popUpItems[i], (PresetPopUpItem{std::string(kBuiltInPresetNames[i]), false}));
    EXPECT_EQ(engine_->presetsArray[i]->imageInfoName, kBuiltInPresetNames[i]);
    EXPECT_EQ(engine_->presetsArray[i]->imageModifyInfo().jpegCompressionFactor, double(i + 1) / 32);
    EXPECT_FALSE(engine_->presetsArray[i]->canDeletePreset);
    EXPECT_EQ(menus.builtInItems[i].on, i == 0);
  }
  EXPECT_EQ(menus.userItems, (std::vector<PresetMenuItem>{{"No presets", false, false, false}}));
  EXPECT_EQ(menus.selectedIndex, 0);
  EXPECT_EQ(controls_.calls, (std::vector<std::string>{"apply 0"}));
  EXPECT_FALSE(state_.lastSelectedPresetName);
  EXPECT_TRUE(fs::is_directory(userFolder()));
  EXPECT_FALSE(catalogue.changeCustomPresetSubmenuFrom(0));  // "No presets" does nothing
}

TEST_F(PresetCatalogueTest, UserFilesInSubfoldersAndHiddenOnesAreListedImageCopiesAndBadFilesAreNot) {
  writeUserPreset("Mine");
  writeUserPreset("Nested/Deeper/Holiday");
  writeUserPreset(".Hidden");
  // Image copies and foreign or malformed files are no presets.
  const std::vector<std::pair<std::string, std::string>> junk = {
      {"Mine_composite.png", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"},
      {"Mine_watermark.jpg", "\xff\xd8\xff\xe0"},
      {"empty", ""},
      {"array root", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"},
      {"truncated", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Dpi</key><real>3"},
      {"binary truncated", std::string("bplist00\xd1\x01\x02", 11)},
      {"binary garbage", std::string("bplist00") + std::string(64, '\xff')},
  };
  for (const auto& [name, bytes] : junk) std::ofstream(userFolder() / name, std::ios::binary) << bytes;
  {  // A file above the size bound, without using the disk.
    std::ofstream huge(userFolder() / "huge", std::ios::binary);
    huge << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>";
  }
  fs::resize_file(userFolder() / "huge", foundation::kMaxPropertyListBytes + 1);
  // A link to a folder outside is not followed.
  testsupport::TempDir outside;
  ASSERT_TRUE(presets_test::writePreset(outside.file("Linked"), presetDictionaryFromImageInfo(ImageInfo())));
  fs::create_directory_symlink(outside.path(), userFolder() / "link");

  build();
  EXPECT_EQ(userTitles(), (std::vector<std::string>{".Hidden", "Holiday", "Mine"}));
  EXPECT_EQ(engine_->presetsArray.size(), kBuiltInPresetCount + 3);
  const auto& menus = catalogue_->menus();
  for (std::size_t i = kBuiltInPresetCount; i < menus.popUpItems.size(); ++i) {
    EXPECT_TRUE(menus.popUpItems[i].bold);
    EXPECT_EQ(menus.popUpItems[i].title, engine_->presetsArray[i]->imageInfoName);
    EXPECT_EQ(menus.userItems[i - kBuiltInPresetCount].title, menus.popUpItems[i].title);
  }
  const std::size_t holiday = positionOf("Holiday");
  EXPECT_EQ(engine_->presetsArray[holiday]->presetFilePath,
            (userFolder() / "Nested/Deeper/Holiday").string());
}

TEST_F(PresetCatalogueTest, RememberedNameIsReselectedLastEqualTitleWinsUnknownNameIsCleared) {
  writeUserPreset("A/JPG for Web", 0.11);  // named like a built-in: a separate entry
  writeUserPreset("B/JPG for Web", 0.22);
  state_.lastSelectedPresetName = "JPG for Web";
  build();
  const auto& items = catalogue_->menus().popUpItems;
  ASSERT_EQ(items.size(), kBuiltInPresetCount + 2);
  const std::size_t last = items.size() - 1;
  EXPECT_EQ(items[last].title, "JPG for Web");
  EXPECT_EQ(catalogue_->menus().selectedIndex, std::int64_t(last));
  EXPECT_TRUE(catalogue_->menus().userItems[1].on);
  EXPECT_FALSE(catalogue_->menus().builtInItems[2].on);
  EXPECT_EQ(controls_.calls.back(), "apply " + std::to_string(last));

  controls_.calls.clear();
  state_.lastSelectedPresetName = "Deleted long ago";
  catalogue_->addPresetsFromFiles();
  EXPECT_FALSE(state_.lastSelectedPresetName);
  EXPECT_EQ(catalogue_->menus().selectedIndex, 0);
  EXPECT_EQ(controls_.calls, (std::vector<std::string>{"apply 0"}));
}

TEST_F(PresetCatalogueTest, SelectionActionsKeepTheListsInStepAndAreRefusedWhileProcessing) {
  writeUserPreset("One");
  writeUserPreset("Two");
  PresetCatalogue& catalogue = build();
  const PresetMenus& menus = catalogue.menus();
  int notified = 0;
  catalogue.menus().changed = [&] { ++notified; };

  // User submenu item k is catalogue position 16 + k.
  ASSERT_TRUE(catalogue.changeCustomPresetSubmenuFrom(1));
  EXPECT_EQ(menus.selectedIndex, 17);
  EXPECT_TRUE(menus.userItems[1].on);
  EXPECT_FALSE(menus.userItems[0].on);
  EXPECT_FALSE(menus.builtInItems[0].on);
  EXPECT_EQ(state_.lastSelectedPresetName, menus.popUpItems[17].title);
  EXPECT_EQ(controls_.calls.back(), "apply 17");

  ASSERT_TRUE(catalogue.changePresetSubmenuFrom(7));
  EXPECT_EQ(menus.selectedIndex, 7);
  EXPECT_TRUE(menus.builtInItems[7].on);
  EXPECT_FALSE(menus.userItems[1].on);
  EXPECT_EQ(state_.lastSelectedPresetName, "TIFF CMYK");

  ASSERT_TRUE(catalogue.updateCurrentPresetFrom(16));
  EXPECT_TRUE(menus.userItems[0].on);
  EXPECT_FALSE(menus.builtInItems[7].on);
  EXPECT_EQ(notified, 3);

  // Out of range or while a batch runs: nothing changes.
  const PresetMenus before = menus;
  const auto calls = controls_.calls;
  EXPECT_FALSE(catalogue.updateCurrentPresetFrom(-1));
  EXPECT_FALSE(catalogue.updateCurrentPresetFrom(18));
  EXPECT_FALSE(catalogue.changePresetSubmenuFrom(16));
  EXPECT_FALSE(catalogue.changeCustomPresetSubmenuFrom(2));
  state_.isProcessingImages = true;
  EXPECT_FALSE(catalogue.updateCurrentPresetFrom(3));
  EXPECT_FALSE(catalogue.changePresetSubmenuFrom(3));
  EXPECT_FALSE(catalogue.changeCustomPresetSubmenuFrom(1));
  catalogue.memorizeSavingMethodToPresetFrom(1);
  EXPECT_EQ(menus.popUpItems, before.popUpItems);
  EXPECT_EQ(menus.selectedIndex, before.selectedIndex);
  EXPECT_EQ(menus.builtInItems, before.builtInItems);
  EXPECT_EQ(menus.userItems, before.userItems);
  EXPECT_EQ(controls_.calls, calls);
  EXPECT_EQ(state_.lastSelectedPresetName, menus.popUpItems[16].title);
}

TEST_F(PresetCatalogueTest, MemorizeCheckReappliesTheSelectedPresetOnlyWhenOn) {
  PresetCatalogue& catalogue = build();
  ASSERT_TRUE(catalogue.updateCurrentPresetFrom(5));
  controls_.calls.clear();
  catalogue.memorizeSavingMethodToPresetFrom(1);
  EXPECT_TRUE(state_.loadFileOptionsFromPreset);
  EXPECT_EQ(controls_.calls, (std::vector<std::string>{"apply 5"}));
  catalogue.memorizeSavingMethodToPresetFrom(0);
  catalogue.memorizeSavingMethodToPresetFrom(-1);  // mixed
  EXPECT_FALSE(state_.loadFileOptionsFromPreset);
  EXPECT_EQ(controls_.calls.size(), 1u);
}

TEST_F(PresetCatalogueTest, AMissingOrUnreadableBuiltInKeepsItsPosition) {
  fs::remove(fs::path(builtIns()) / kBuiltInPresetNames[3]);
  std::ofstream(fs::path(builtIns()) / kBuiltInPresetNames[9]) << "not a property list";
  writeUserPreset("Mine");
  build();
  ASSERT_EQ(engine_->presetsArray.size(), kBuiltInPresetCount + 1);
  for (std::size_t i : {3, 9}) {
    EXPECT_EQ(engine_->presetsArray[i]->imageInfoName, kBuiltInPresetNames[i]);
    EXPECT_FALSE(engine_->presetsArray[i]->canDeletePreset);
    EXPECT_EQ(engine_->presetsArray[i]->imageModifyInfo(), ImageInfo().imageModifyInfo());
  }
  EXPECT_EQ(engine_->presetsArray[16]->imageInfoName, "Mine");
  EXPECT_EQ(catalogue_->menus().userItems.size(), 1u);
}

TEST_F(PresetCatalogueTest, FoldersAreMadeOnDemandAndTempDataIsEmptied) {
  const fs::path support = fs::path(home_.path()) / "velumar";
  EXPECT_EQ(PresetCatalogue::getAppSupportPath(), (support / "ImagePresets").string());
  EXPECT_TRUE(fs::is_directory(support / "ImagePresets"));
  PresetCatalogue& catalogue = build();
  const fs::path temp = PresetCatalogue::getTempDataPath();
  EXPECT_EQ(temp, support / "TempData");
  fs::create_directories(temp / "job");
  std::ofstream(temp / "job" / "out.jpg") << "x";
  std::ofstream(temp / ".hidden") << "x";
  catalogue.clearTempDirectory();
  EXPECT_TRUE(fs::is_directory(temp));
  EXPECT_TRUE(fs::is_empty(temp));
  EXPECT_TRUE(fs::is_directory(support / "ImagePresets"));
}

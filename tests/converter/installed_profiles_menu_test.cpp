// The colour-space pop-up lists the RGB, gray and CMYK profiles installed in
// the base directories, once per description; CMYK ones are dead for
// formats without CMYK, and a preset finds its profile by description.

#include <gtest/gtest.h>
#include <lcms2.h>

#include <QComboBox>
#include <QStandardItemModel>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "engine/imported_image.h"
#include "platform/color/icc_profile.h"
#include "presets/preset_loader.h"
#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

// Writes profile (closed here) to path with the given description.
void save(cmsHPROFILE profile, const fs::path& path, const char* description) {
  fs::create_directories(path.parent_path());
  cmsMLU* text = cmsMLUalloc(nullptr, 1);
  cmsMLUsetASCII(text, "en", "US", description);
  cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
  cmsMLUfree(text);
  ASSERT_TRUE(cmsSaveProfileToFile(profile, path.c_str()));
  cmsCloseProfile(profile);
}

// Sets an environment variable for the scope of the test.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(InstalledProfilesMenu, PrivateDataFoldersFillTheColourSpaceItems) {
  testsupport::TempDir dir;
  const color::ProfileRef cmyk = color::IccProfile::named(color::NamedProfile::GenericCMYK);
  ASSERT_TRUE(cmyk && !cmyk->path().empty());
  save(cmsCreate_sRGBProfile(), dir.path() / "data/icc/one.icc", "Studio RGB");
  save(cmsCreate_sRGBProfile(), dir.path() / "system/color/icc/two.icm", "Studio RGB");
  save(cmsOpenProfileFromFile(cmyk->path().c_str(), "r"), dir.path() / "home/.color/icc/press.icc",
       "Studio Press CMYK");
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
  save(cmsCreateGrayProfile(cmsD50_xyY(), gamma), dir.path() / "system/color/icc/gray.icc", "Studio Gray");
  cmsFreeToneCurve(gamma);
  const ScopedVariable dataHome("XDG_DATA_HOME", (dir.path() / "data").string());
  const ScopedVariable dataDirs("XDG_DATA_DIRS", (dir.path() / "system").string());
  const ScopedVariable home("HOME", (dir.path() / "home").string());

  ConverterWindow window;
  ConverterView& view = *window.converterView();
  ImportedImage& engine = *view.importedImage();
  EXPECT_EQ(engine.profilesRGB.size(), 2u);
  EXPECT_EQ(engine.profilesCMYK.size(), 1u);
  EXPECT_EQ(engine.profilesGray.size(), 1u);
  ASSERT_EQ(engine.profiles.size(), 3u);  // one item per description

  auto* popUp = view.findChild<QComboBox*>(QStringLiteral("colorSpacePopUp"));
  ASSERT_NE(popUp, nullptr);
  ASSERT_EQ(popUp->count(), 11);
  EXPECT_EQ(popUp->itemText(8), "Studio RGB");
  EXPECT_EQ(popUp->itemText(9), "Studio Gray");
  EXPECT_EQ(popUp->itemText(10), "Studio Press CMYK");

  // PNG takes no CMYK: the CMYK profile chosen for JPEG falls back.
  auto* items = qobject_cast<QStandardItemModel*>(popUp->model());
  ASSERT_NE(items, nullptr);
  view.form().controls.colorSpacePopUp.select(10);
  view.setButtonFormatFrom(ConversionType::PNG);
  EXPECT_TRUE(items->item(8)->isEnabled());
  EXPECT_TRUE(items->item(9)->isEnabled());
  EXPECT_FALSE(items->item(10)->isEnabled());
  EXPECT_EQ(popUp->currentIndex(), 0);
  view.setButtonFormatFrom(ConversionType::JPEG);
  EXPECT_TRUE(items->item(10)->isEnabled());

  // A preset stored where the profile sat at another position.
  foundation::Dictionary stored;
  stored.set("Color Space", foundation::Value(std::int64_t(8)));
  stored.set("Profile Description", foundation::Value(std::string("Studio Press CMYK")));
  const std::shared_ptr<ImageInfo> preset = imageInfoFromPresetDictionary(stored, "", engine);
  ASSERT_TRUE(preset);
  EXPECT_EQ(preset->imageModifyInfo().colorSpace, 10);
  EXPECT_EQ(preset->imageModifyInfo().colorSpaceModel, 2);
}

}  // namespace
}  // namespace velumar

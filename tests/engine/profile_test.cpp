#include "engine/profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/foundation/user_defaults.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using color::fourCC;

std::vector<std::uint8_t> withDeviceClass(std::vector<std::uint8_t> bytes, color::Signature deviceClass) {
  for (int i = 0; i < 4; ++i) bytes[12 + std::size_t(i)] = std::uint8_t(deviceClass >> (24 - 8 * i));
  std::fill(bytes.begin() + 84, bytes.begin() + 100, 0);  // the profile ID no longer fits
  return bytes;
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Points $HOME at a temporary folder for the test's lifetime, so that
// ~/.color/icc holds the profiles the test puts there.
class ProfileListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* home = std::getenv("HOME")) savedHome_ = home;
    setenv("HOME", home_.path().c_str(), 1);
  }
  void TearDown() override {
    if (savedHome_)
      setenv("HOME", savedHome_->c_str(), 1);
    else
      unsetenv("HOME");
  }
  std::filesystem::path userFolder() const { return home_.path() / ".color/icc"; }

  testsupport::TempDir home_;
  std::optional<std::string> savedHome_;
};

bool containsPath(const Profile::List& list, const std::filesystem::path& path) {
  for (const auto& profile : list)
    if (profile->path() == path.string()) return true;
  return false;
}

TEST_F(ProfileListTest, MenusKeepPrinterAndDisplayProfilesOfTheirSpaceOnly) {
  auto cmyk = color::IccProfile::named(color::NamedProfile::GenericCMYK);
  if (!cmyk) GTEST_SKIP() << "no CMYK profile installed";
  auto rgb = color::IccProfile::named(color::NamedProfile::AdobeRGB1998)->data();
  writeBytes(userFolder() / "printer.icc", withDeviceClass(cmyk->data(), fourCC("prtr")));
  writeBytes(userFolder() / "scanner.icc", withDeviceClass(cmyk->data(), fourCC("scnr")));
  writeBytes(userFolder() / "display.icc", rgb);
  writeBytes(userFolder() / "camera.icc", withDeviceClass(rgb, fourCC("scnr")));
  writeBytes(userFolder() / "space.icc", withDeviceClass(rgb, fourCC("spac")));

  auto all = Profile::arrayOfAllProfiles();
  for (const char* name : {"printer.icc", "scanner.icc", "display.icc", "camera.icc", "space.icc"})
    EXPECT_TRUE(containsPath(all, userFolder() / name)) << name;

  auto cmykMenu = Profile::arrayOfAllProfilesWithSpace(fourCC("CMYK"));
  EXPECT_TRUE(containsPath(cmykMenu, userFolder() / "printer.icc"));
  EXPECT_FALSE(containsPath(cmykMenu, userFolder() / "scanner.icc"));
  EXPECT_FALSE(containsPath(cmykMenu, userFolder() / "display.icc"));
  auto rgbMenu = Profile::arrayOfAllProfilesWithSpace(fourCC("RGB "));
  EXPECT_TRUE(containsPath(rgbMenu, userFolder() / "display.icc"));
  EXPECT_FALSE(containsPath(rgbMenu, userFolder() / "camera.icc"));
  EXPECT_FALSE(containsPath(rgbMenu, userFolder() / "space.icc"));
  for (const auto& profile : rgbMenu) {
    EXPECT_EQ(profile->spaceType(), fourCC("RGB "));
    EXPECT_TRUE(profile->description());
  }
  // The menus keep the installed list's order.
  auto grayMenu = Profile::arrayOfAllProfilesWithSpace(fourCC("GRAY"));
  for (const auto& profile : grayMenu) EXPECT_EQ(profile->spaceType(), fourCC("GRAY"));
}

TEST_F(ProfileListTest, IteratedProfilesAreReadOnFirstUse) {
  writeBytes(userFolder() / "adobe.icc", color::IccProfile::named(color::NamedProfile::AdobeRGB1998)->data());
  std::shared_ptr<Profile> listed;
  for (auto& profile : Profile::arrayOfAllProfiles())
    if (profile->path() == (userFolder() / "adobe.icc").string()) listed = profile;
  ASSERT_NE(listed, nullptr);
  EXPECT_EQ(listed->description(), "Adobe RGB (1998)");
  EXPECT_EQ(listed->classType(), fourCC("mntr"));
  ASSERT_NE(listed->ref(), nullptr);
  EXPECT_EQ(listed->ref(), listed->ref()) << "kept after first use";
  auto space = listed->colorspace();
  ASSERT_NE(space, nullptr);
  EXPECT_EQ(space, listed->colorspace());
  EXPECT_EQ(space->model(), raster::ColorModel::RGB);
  EXPECT_EQ(space->name(), "Adobe RGB (1998)");
}

TEST_F(ProfileListTest, AVanishedFileLeavesNoProfileAndNoColourSpace) {
  writeBytes(userFolder() / "gone.icc", color::IccProfile::named(color::NamedProfile::GenericRGB)->data());
  auto profile = Profile::profileWithIterateData(
      {(userFolder() / "gone.icc").string(), fourCC("mntr"), fourCC("RGB "), "Gone"});
  std::filesystem::remove(userFolder() / "gone.icc");
  EXPECT_EQ(profile->ref(), nullptr);
  EXPECT_EQ(profile->colorspace(), nullptr);
  EXPECT_EQ(profile->description(), "Gone");
  EXPECT_EQ(profile->path(), (userFolder() / "gone.icc").string());
}

TEST(Profile, NamedProfilesHaveTheirTableClassAndSpace) {
  struct Case {
    std::shared_ptr<Profile> (*make)();
    color::Signature space;
  };
  const Case cases[] = {
      {Profile::profileWithSRGB, fourCC("RGB ")},        {Profile::profileWithGenericRGB, fourCC("RGB ")},
      {Profile::profileWithGenericGray, fourCC("GRAY")}, {Profile::profileWithGenericCMYK, fourCC("CMYK")},
      {Profile::profileWithAdobeRGB, fourCC("RGB ")},    {Profile::profileWithGrayGamma2_2, fourCC("GRAY")},
      {Profile::profileWithLinearRGB, fourCC("RGB ")}};
  for (const Case& c : cases) {
    auto profile = c.make();
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->classType(), fourCC("mntr")) << *profile->description();
    EXPECT_EQ(profile->spaceType(), c.space) << *profile->description();
    ASSERT_TRUE(profile->description());
    EXPECT_FALSE(profile->description()->empty());
    ASSERT_NE(profile->colorspace(), nullptr);
    EXPECT_EQ(profile->colorspace()->name(), *profile->description());
  }
  EXPECT_EQ(Profile::profileWithLinearRGB()->description(), "Linear RGB Profile");
}

TEST(Profile, EqualityIsByPath) {
  const std::string cmykPath = "/usr/share/color/icc/ghostscript/default_cmyk.icc";
  if (!std::filesystem::exists(cmykPath)) GTEST_SKIP() << "libgs-common not installed";
  auto first = Profile::profileWithPath(cmykPath);
  auto second = Profile::profileWithPath(cmykPath);
  ASSERT_TRUE(first && second);
  EXPECT_NE(first, second);
  EXPECT_TRUE(first->isEqual(second));
  EXPECT_EQ(first->classType(), fourCC("prtr")) << "class from the file's header";
  // The named generic CMYK profile lies in the same file, so it is equal too.
  EXPECT_TRUE(first->isEqual(Profile::profileWithGenericCMYK()));
  auto other = Profile::profileWithPath("/usr/share/color/icc/ghostscript/default_rgb.icc");
  ASSERT_NE(other, nullptr);
  EXPECT_FALSE(first->isEqual(other));
  EXPECT_FALSE(first->isEqual(nullptr));

  auto linear = Profile::profileWithLinearRGB();
  EXPECT_FALSE(linear->path());
  EXPECT_FALSE(linear->url());
  EXPECT_FALSE(linear->isEqual(Profile::profileWithLinearRGB()));
  EXPECT_FALSE(Profile::profileWithLinearRGB()->isEqual(linear));
  EXPECT_FALSE(linear->isEqual(first));
  EXPECT_FALSE(first->isEqual(linear));
}

TEST(Profile, PathsThatAreNoProfilesGiveNothing) {
  testsupport::TempDir dir;
  std::ofstream(dir.file("notes.icc"))
      << "not a colour profile at all, but long enough to be read as a header. "
         "not a colour profile at all, but long enough to be read as a header.";
  EXPECT_EQ(Profile::profileWithPath(dir.file("notes.icc")), nullptr);
  EXPECT_EQ(Profile::profileWithPath(dir.file("missing.icc")), nullptr);
  EXPECT_EQ(Profile::profileWithPath(dir.path().string()), nullptr);
  EXPECT_EQ(Profile::profileWithPath(std::nullopt), nullptr);
  EXPECT_EQ(Profile::profileWithPath(std::string()), nullptr);
}

TEST(Profile, UndefinedKeysAnswerZero) {
  auto profile = Profile::profileWithAdobeRGB();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(profile->valueForKey("noSuchKey"), "0");
  EXPECT_EQ(profile->valueForUndefinedKey("anything"), "0");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Called\nCalled\n");
  EXPECT_EQ(profile->valueForKey("description"), "Adobe RGB (1998)");
  EXPECT_EQ(profile->valueForKey("spaceType"), std::to_string(fourCC("RGB ")));
  EXPECT_EQ(profile->valueForKey("path"), std::nullopt);
}

TEST(Profile, DefaultProfilesComeFromTheUserDefaults) {
  auto& defaults = foundation::UserDefaults::standard();
  struct Case {
    const char* key;
    std::shared_ptr<Profile> (*read)();
    const char* path;
  };
  const Case cases[] = {
      {"DefaultRGBProfile", Profile::profileDefaultRGB, "/usr/share/color/icc/ghostscript/default_rgb.icc"},
      {"DefaultGrayProfile", Profile::profileDefaultGray,
       "/usr/share/color/icc/ghostscript/default_gray.icc"},
      {"DefaultCMYKProfile", Profile::profileDefaultCMYK,
       "/usr/share/color/icc/ghostscript/default_cmyk.icc"}};
  for (const Case& c : cases) {
    auto saved = defaults.object(c.key);
    defaults.remove(c.key);
    EXPECT_EQ(c.read(), nullptr) << c.key;
    if (std::filesystem::exists(c.path)) {
      defaults.set(c.key, foundation::Value(std::string(c.path)));
      auto profile = c.read();
      ASSERT_NE(profile, nullptr) << c.key;
      EXPECT_EQ(profile->path(), c.path);
    }
    defaults.set(c.key, foundation::Value(std::string("/nonexistent/profile.icc")));
    EXPECT_EQ(c.read(), nullptr) << c.key;
    if (saved)
      defaults.set(c.key, *saved);
    else
      defaults.remove(c.key);
  }
}

}  // namespace
}  // namespace velumar

#include "platform/color/installed_profiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/test_support.h"

namespace color {
namespace {

void writeProfile(const std::filesystem::path& path, NamedProfile which) {
  std::filesystem::create_directories(path.parent_path());
  const auto& bytes = IccProfile::named(which)->data();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::string> pathsOf(const std::vector<InstalledProfile>& profiles) {
  std::vector<std::string> paths;
  for (const auto& p : profiles) paths.push_back(p.path);
  return paths;
}

TEST(InstalledProfiles, ScansFoldersRecursivelyInOrderSkippingNonProfiles) {
  testsupport::TempDir first, second;
  writeProfile(first.path() / "b.icc", NamedProfile::SRGB);
  writeProfile(first.path() / "sub/deeper/a.ICM", NamedProfile::GrayGamma22);
  writeProfile(first.path() / "not-a-profile-extension.txt", NamedProfile::SRGB);
  std::ofstream(first.path() / "broken.icc") << "definitely not a profile";
  writeProfile(second.path() / "c.icc", NamedProfile::AdobeRGB1998);
  std::filesystem::create_symlink(first.path() / "b.icc", second.path() / "link to b.icc");

  auto profiles = scanProfileFolders({first.path(), second.path(), first.path() / "missing"});
  EXPECT_EQ(pathsOf(profiles), (std::vector<std::string>{(first.path() / "b.icc").string(),
                                                         (first.path() / "sub/deeper/a.ICM").string(),
                                                         (second.path() / "c.icc").string()}));
  ASSERT_EQ(profiles.size(), 3u);
  EXPECT_EQ(profiles[0].description, "sRGB IEC61966-2.1");
  EXPECT_EQ(profiles[0].deviceClass, fourCC("mntr"));
  EXPECT_EQ(profiles[0].dataColorSpace, fourCC("RGB "));
  EXPECT_EQ(profiles[1].dataColorSpace, fourCC("GRAY"));
}

TEST(InstalledProfiles, IncludeTheUsersFoldersAndTheSystemOnes) {
  testsupport::TempDir home;
  writeProfile(home.path() / ".color/icc/mine.icc", NamedProfile::GenericRGB);
  writeProfile(home.path() / ".local/share/color/icc/vendor/theirs.icm", NamedProfile::GenericGray);
  const char* oldHome = std::getenv("HOME");
  std::string saved = oldHome ? oldHome : "";
  setenv("HOME", home.path().c_str(), 1);
  auto profiles = installedProfiles();
  auto again = installedProfiles();
  if (oldHome)
    setenv("HOME", saved.c_str(), 1);
  else
    unsetenv("HOME");

  auto paths = pathsOf(profiles);
  EXPECT_EQ(pathsOf(again), paths);
  auto mine = std::find(paths.begin(), paths.end(), (home.path() / ".color/icc/mine.icc").string());
  auto theirs = std::find(paths.begin(), paths.end(),
                          (home.path() / ".local/share/color/icc/vendor/theirs.icm").string());
  ASSERT_NE(mine, paths.end());
  ASSERT_NE(theirs, paths.end());
  EXPECT_LT(theirs, mine) << "~/.local/share/color/icc comes before ~/.color/icc";
  if (std::filesystem::exists("/usr/share/color/icc/colord/sRGB.icc")) {
    auto system = std::find(paths.begin(), paths.end(), "/usr/share/color/icc/colord/sRGB.icc");
    ASSERT_NE(system, paths.end());
    EXPECT_LT(theirs, system) << "the user's data home comes before the system's data folders";
  }
}

}  // namespace
}  // namespace color

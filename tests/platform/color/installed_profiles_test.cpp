#include "platform/color/installed_profiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>
#include <vector>

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

TEST(InstalledProfiles, CapitalExtensionsUnderTurkishCaseRules) {
  testsupport::TempDir folder;
  writeProfile(folder.path() / "MINE.ICC", NamedProfile::SRGB);
  writeProfile(folder.path() / "THEIRS.ICM", NamedProfile::GrayGamma22);
  testsupport::withLocale("tr_TR.UTF-8", [&] { EXPECT_EQ(scanProfileFolders({folder.path()}).size(), 2u); });
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

// Sets environment variables for a scope and restores them after.
class ScopedEnvironment {
 public:
  void set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second)
        setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        unsetenv(it->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(InstalledProfiles, RelativeDataFoldersAreIgnored) {
  testsupport::TempDir home;
  const struct {
    const char* dataHome;
    const char* dataDirs;
    std::vector<std::string> expected;  // below the home folder, or absolute
  } cases[] = {
      {"relative/data", "also/relative:/opt/share::./here",
       {"~/.local/share/icc", "~/.local/share/color/icc", "/opt/share/color/icc", "~/.color/icc"}},
      {"", "", {"~/.local/share/icc", "~/.local/share/color/icc", "/usr/local/share/color/icc",
                "/usr/share/color/icc", "~/.color/icc"}},
      {"/data", "relative", {"/data/icc", "/data/color/icc", "/usr/local/share/color/icc",
                             "/usr/share/color/icc", "~/.color/icc"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.dataHome) + " | " + c.dataDirs);
    ScopedEnvironment environment;
    environment.set("HOME", home.path().c_str());
    environment.set("XDG_DATA_HOME", c.dataHome);
    environment.set("XDG_DATA_DIRS", c.dataDirs);
    std::vector<std::string> folders;
    for (const auto& folder : installedProfileFolders()) {
      std::string text = folder.string();
      if (text.rfind(home.path().string(), 0) == 0) text = "~" + text.substr(home.path().string().size());
      folders.push_back(text);
    }
    EXPECT_EQ(folders, c.expected);
  }
}

// A private data folder, named as the data home and again among the data
// folders, with profiles in both of its profile folders.
TEST(InstalledProfiles, EachProfileOfAPrivateDataFolderIsListedOnceInItsSpace) {
  ProfileRef cmyk = IccProfile::named(NamedProfile::GenericCMYK);
  if (!cmyk) GTEST_SKIP() << "no CMYK profile installed";
  testsupport::TempDir data, home;
  writeProfile(data.path() / "icc/rgb.icc", NamedProfile::AdobeRGB1998);
  writeProfile(data.path() / "color/icc/gray.icc", NamedProfile::GrayGamma22);
  writeProfile(data.path() / "color/icc/printers/cmyk.icc", NamedProfile::GenericCMYK);
  ScopedEnvironment environment;
  environment.set("HOME", home.path().c_str());
  environment.set("XDG_DATA_HOME", data.path().c_str());
  environment.set("XDG_DATA_DIRS", (data.path().string() + ":" + data.path().string() + "/").c_str());
  const auto profiles = installedProfiles();
  const struct {
    std::filesystem::path path;
    Signature space;
  } cases[] = {{data.path() / "icc/rgb.icc", fourCC("RGB ")},
               {data.path() / "color/icc/gray.icc", fourCC("GRAY")},
               {data.path() / "color/icc/printers/cmyk.icc", fourCC("CMYK")}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.string());
    int listed = 0;
    for (const auto& profile : profiles)
      if (profile.dataColorSpace == c.space && profile.path == c.path.string()) ++listed;
    EXPECT_EQ(listed, 1);
  }
}

}  // namespace
}  // namespace color

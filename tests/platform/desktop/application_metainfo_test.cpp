#include "platform/desktop/application_metainfo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/test_support.h"

namespace desktop {
namespace {

namespace fs = std::filesystem;

// GLib reads the data folders once per process, so this binary's are made
// private before any test runs: the user's own and two system folders. No
// other test of the binary asks GLib for them.
class PrivateDataFolders {
 public:
  PrivateDataFolders() {
    setenv("XDG_DATA_HOME", folder("home").c_str(), 1);
    setenv("XDG_DATA_DIRS", (folder("system") + ":" + folder("other")).c_str(), 1);
    ApplicationVersions();  // GLib reads the folders now
  }
  std::string folder(const std::string& name) const { return root_.file(name); }
  void clear() const {
    for (const char* name : {"home", "system", "other"}) fs::remove_all(root_.path() / name);
  }
  // A file of the folders (as "system/metainfo/x.metainfo.xml") holding text.
  void write(const std::string& file, const std::string& text) const {
    fs::create_directories((root_.path() / file).parent_path());
    std::ofstream(root_.path() / file) << text;
  }

 private:
  testsupport::TempDir root_;
};
const PrivateDataFolders dataFolders;

std::string component(const std::string& inside, const std::string& version) {
  return "<component>" + inside + "<releases><release version=\"" + version + "\"/></releases></component>";
}

// Which file names an application when several could.
TEST(ApplicationVersions, TheFileThatNamesTheApplication) {
  dataFolders.clear();
  const std::pair<const char*, std::string> files[] = {
      {"system/metainfo/mine.metainfo.xml", component("", "1.0")},
      {"home/metainfo/mine.metainfo.xml", component("", "2.0")},
      {"system/metainfo/a.metainfo.xml", component("<id>shared</id>", "1.0")},
      {"home/appdata/z.appdata.xml", component("<id>shared</id>", "2.0")},
      {"other/metainfo/com.vendor.Tool.metainfo.xml", component("<id>tool</id>", "3.0")},
      {"other/metainfo/com.vendor.Other.metainfo.xml",
       component("<id>com.vendor.Other</id><launchable type=\"desktop-id\">launched.desktop</launchable>",
                 "4.0")},
      {"system/metainfo/dual.appdata.xml", component("", "1.0")},
      {"system/metainfo/dual.metainfo.xml", component("", "5.0")},
  };
  for (const auto& [file, text] : files) dataFolders.write(file, text);
  const struct {
    const char* desktopId;
    const char* version;
  } cases[] = {
      {"mine.desktop", "2.0"},      // named after it: the user's folder first
      {"shared.desktop", "2.0"},    // by component id: the user's folder first
      {"tool.desktop", "3.0"},      // by component id only
      {"launched.desktop", "4.0"},  // by launchable only
      {"dual.desktop", "5.0"},      // ".metainfo.xml" before ".appdata.xml"
      {"com.vendor.desktop", ""},
  };
  ApplicationVersions versions;
  for (const auto& c : cases) EXPECT_EQ(versions.versionOf(c.desktopId), c.version) << c.desktopId;
}

// Bytes this process has read so far.
std::uint64_t bytesReadByProcess() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::uint64_t value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return 0;
}

// Looking through every metainfo file reads at most 4,096 files a folder and
// 64 MiB in all; a file above 2 MiB is refused unread. Files are sparse.
TEST(ApplicationVersions, ReadingEveryFileStaysWithinItsBudget) {
  constexpr std::uint64_t kMiB = 1 << 20;
  const struct {
    const char* name;
    int files;
    std::uint64_t size, mostRead;
  } cases[] = {
      {"files just above the size of one", 4096, 2 * kMiB + 1, 0},
      {"more bytes than the budget", 40, 2 * kMiB, 64 * kMiB},
      {"more files than a folder's", 4100, 8192, 4096 * 8192},
  };
  for (const auto& c : cases) {
    dataFolders.clear();
    const std::string folder = dataFolders.folder("home/metainfo");
    fs::create_directories(folder);
    for (int i = 0; i < c.files; ++i) {
      const std::string file = folder + "/f" + std::to_string(i) + ".metainfo.xml";
      std::ofstream{file};
      ASSERT_EQ(::truncate(file.c_str(), off_t(c.size)), 0);
    }
    ApplicationVersions versions;
    const std::uint64_t before = bytesReadByProcess();
    EXPECT_EQ(versions.versionOf("absent.desktop"), "");
    // Reading /proc/self/io itself counts a few hundred bytes.
    EXPECT_LE(bytesReadByProcess() - before, c.mostRead + 4096) << c.name;
  }
}

}  // namespace
}  // namespace desktop

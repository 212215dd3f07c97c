#include "session/folder_scan.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <filesystem>
#include <fstream>

#include "engine/imported_image.h"
#include "platform/foundation/files.h"
#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

// A folder tree of real images (one PNG copied under many names) and other
// files, checked by the engine's own file-type test.
class FolderScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    png_ = dir_.file("seed.png");
    ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "4x3", "xc:red", png_}).exitCode, 0);
  }
  std::string image(const std::string& relative) {
    const fs::path path = dir_.path() / relative;
    fs::create_directories(path.parent_path());
    fs::copy_file(png_, path, fs::copy_options::overwrite_existing);
    return path.string();
  }
  std::string text(const std::string& relative) {
    const fs::path path = dir_.path() / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "not an image";
    return path.string();
  }
  FolderScanResult scan(const std::vector<std::string>& relatives, bool subfolders = true) {
    std::vector<std::string> paths;
    for (const auto& relative : relatives) paths.push_back(dir_.file(relative));
    return findRecursiveDirectoryForArray(paths, subfolders, check_);
  }
  // File names and parent paths of the result, "name@parent" ("name" when none).
  static std::vector<std::string> names(const FolderScanResult& result) {
    std::vector<std::string> out;
    for (const SourceFile& file : result.files)
      out.push_back(fs::path(file.path).filename().string() +
                    (file.parentPath ? "@" + *file.parentPath : ""));
    return out;
  }

  testsupport::TempDir dir_;
  std::string png_;
  ImportedImage engine_;
  SupportedImageCheck check_ = [this](const std::string& path) {
    return engine_.verifyFileTypeFromURL(path).has_value();
  };
};

TEST_F(FolderScanTest, SortsByFileNameAcrossSubfolders) {
  image("F/b10.png");
  image("F/b9.png");
  image("F/B1.png");
  image("G/x/2.jpg");
  image("G/y/1.jpg");
  EXPECT_EQ(names(scan({"F"})), (std::vector<std::string>{"B1.png@/F", "b9.png@/F", "b10.png@/F"}));
  EXPECT_EQ(names(scan({"G"})), (std::vector<std::string>{"1.jpg@/G/y", "2.jpg@/G/x"}));
  EXPECT_EQ(names(scan({"G"}, false)), std::vector<std::string>{});
}

// Equal names keep their folders' order, however many share a name and in
// whatever order the folders were made; the sort key is the whole name.
TEST_F(FolderScanTest, SameNamesKeepTheirPathOrderAndNamesSortWhole) {
  std::vector<std::string> expected;
  for (int folder = 39; folder >= 0; --folder) image("S/d" + std::to_string(100 + folder) + "/same.png");
  for (int folder = 0; folder < 40; ++folder) expected.push_back("same.png@/S/d" + std::to_string(100 + folder));
  EXPECT_EQ(names(scan({"S"})), expected);
  image("N/x/b1.png");
  image("N/y/a2.png");
  EXPECT_EQ(names(scan({"N"})), (std::vector<std::string>{"a2.png@/N/y", "b1.png@/N/x"}));
}

TEST_F(FolderScanTest, SkipsHiddenUnsupportedAndLinkedFolders) {
  image("F/a.png");
  image("F/.hidden.png");
  image("F/.cache/b.png");
  text("F/notes.txt");
  image("Other/c.png");
  fs::create_directory_symlink(dir_.path() / "Other", dir_.path() / "F/link");
  EXPECT_EQ(names(scan({"F"})), std::vector<std::string>{"a.png@/F"});
}

TEST_F(FolderScanTest, ResultFlagAndDirectFiles) {
  image("one.png");
  text("notes.txt");
  fs::create_directories(dir_.path() / "Empty");
  // Special files under picture names: never listed (nor opened).
  ASSERT_EQ(::mkfifo(dir_.file("a.jpg").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = dir_.file("s.png");
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(sock);
  struct Case {
    std::vector<std::string> items;
    std::vector<std::string> files;
    bool folderLeftNothing;
  };
  const Case cases[] = {
      {{"one.png", "notes.txt"}, {"one.png"}, false},  // dropped files carry no parent
      {{"notes.txt"}, {}, false},                      // unsupported only: the alert case
      {{"Empty"}, {}, true},                           // image-less folder: silent
      {{"missing.png", "one.png"}, {"one.png"}, false},
      {{"a.jpg", "s.png", "one.png"}, {"one.png"}, false},
      {{}, {}, false},
  };
  for (const Case& c : cases) {
    const FolderScanResult result = scan(c.items);
    EXPECT_EQ(names(result), c.files) << ::testing::PrintToString(c.items);
    EXPECT_EQ(result.scannedFolderLeftNothing, c.folderLeftNothing) << ::testing::PrintToString(c.items);
  }
  // The scan itself passes them over, whatever the check would answer.
  const auto everything = [](const std::string&) { return true; };
  EXPECT_TRUE(findRecursiveDirectoryForArray({dir_.file("a.jpg"), socketPath}, true, everything).files.empty());
}

TEST_F(FolderScanTest, NonUtf8NameSurvives) {
  const std::string name = std::string("F/caf\xFF") + ".png";
  const std::string path = image(name);
  const FolderScanResult result = scan({"F"});
  ASSERT_EQ(result.files.size(), 1u);
  EXPECT_EQ(result.files[0].path, path);
}

TEST(FolderScanPaths, ParentPathCutAtTheFrontOnly) {
  struct Case {
    std::string file, folder, parent;
  };
  const Case cases[] = {
      {"/A/B/Trip/x/y.jpg", "/A/B/Trip", "/Trip/x"},
      {"/A/B/Trip/A/B/x.jpg", "/A/B/Trip", "/Trip/A/B"},  // a repeat further down stays
      {"/A/B/Trip/y.jpg", "/A/B/Trip/", "/Trip"},
      {"/Trip/x/y.jpg", "/Trip", "/Trip/x"},  // folder at the root: nothing to cut
      {"/A/BC/y.jpg", "/A/B/Trip", "/A/BC"},   // the parent's name is only a prefix
      {"/X/Y/Trip/y.jpg", "/A/B/Trip", "/X/Y/Trip"},  // elsewhere: nothing to cut
  };
  for (const Case& c : cases) EXPECT_EQ(relativeParentPath(c.file, c.folder), c.parent) << c.file;
}

TEST(FolderScanPaths, MountPointAddsNothing) {
  std::vector<SourceFile> files;
  searchRecursiveSubDirectoryFrom("/", files, true, [](const std::string&) { return true; });
  EXPECT_TRUE(files.empty());
  EXPECT_TRUE(foundation::isMountPoint("/"));
  EXPECT_FALSE(foundation::isMountPoint("/usr/share"));
}

}  // namespace
}  // namespace velumar

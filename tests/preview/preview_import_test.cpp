#include "preview/preview_import.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

TEST(PreviewImport, FoldersAndFilesBecomeEntries) {
  testsupport::TempDir dir;
  const auto make = [&](const std::string& relative) {
    const fs::path path = dir.path() / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
    return path.string();
  };
  make("Trip/x/2.jpg");
  make("Trip/y/1.jpg");
  make("Trip/.hidden.jpg");
  make("Trip/notes.txt");
  const std::string loose = make("\xff loose.jpg");  // not UTF-8: kept as bytes
  const auto isImage = [](const std::string& path) { return fs::path(path).extension() == ".jpg"; };
  const std::vector<std::string> given = {dir.file("Trip"), loose};

  const std::string first = firstOriginalPath(given, false);
  EXPECT_EQ(first, dir.path().string());
  EXPECT_EQ(firstOriginalPath(given, true), "");
  EXPECT_EQ(firstOriginalPath({}, false), "");

  struct Case {
    bool subfolders;
    bool media;
    std::vector<std::string> expected;  // name@parent key
  };
  const Case cases[] = {
      {true, false, {"1.jpg@/Trip/y", "2.jpg@/Trip/x", "\xff loose.jpg@"}},
      {false, true, {"\xff loose.jpg@"}},
  };
  for (const auto& c : cases) {
    const auto entries =
        findRecursiveDirectoryForArray(given, c.subfolders, c.media, c.media ? "" : first, isImage);
    std::vector<std::string> described;
    for (const auto& entry : entries) {
      described.push_back(entry->fileName() + "@" + entry->parentPathKey.value_or(""));
      EXPECT_EQ(entry->mediaFolder, c.media);
      EXPECT_EQ(entry->parentFolder, c.media ? "" : first);
    }
    EXPECT_EQ(described, c.expected);
  }
  EXPECT_EQ(findRecursiveDirectoryForArray({loose}, true, false, first, isImage).front()->path, loose);
}

}  // namespace
}  // namespace velumar

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/foundation/notification_center.h"
#include "preview/preview_import.h"
#include "preview/preview_window.h"
#include "support/test_support.h"

namespace velumar {
namespace {

// Images another window scanned and sent as a notification: listed when
// the notification carries the first path and the entries, else ignored.
TEST(PreviewWindowSentImages, ListedOnlyWithTheirFirstPathAndEntries) {
  testsupport::TempDir dir;
  std::vector<std::string> paths;
  for (const char* name : {"a.png", "b.png"}) {
    paths.push_back(dir.file(name));
    ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "8x8", "xc:red", paths.back()}).exitCode,
              0);
  }
  const std::string first = dir.path().string();
  const auto scanned = [&] {
    return findRecursiveDirectoryForArray(paths, false, false, first,
                                          [](const std::string&) { return true; });
  };
  const foundation::Value details(foundation::Array{first, foundation::Array{paths[0], paths[1]}});
  struct Case {
    const char* name;
    foundation::Value userInfo;
    bool withEntries;
    bool listed;
  };
  const Case cases[] = {
      {"path and entries", details, true, true},
      {"no entries", details, false, false},
      {"no first path", foundation::Value(foundation::Array{foundation::Array{paths[0]}}), true, false},
      {"details not an array", foundation::Value(first), true, false},
  };
  for (const Case& c : cases) {
    PreviewWindow window;
    std::any payload;
    if (c.withEntries) payload = scanned();
    foundation::NotificationCenter::defaultCenter().post("multipleImageViewDragAndDrop", nullptr, c.userInfo,
                                                         payload);
    EXPECT_EQ(window.listedFiles(), c.listed ? paths : std::vector<std::string>()) << c.name;
    EXPECT_EQ(window.isVisible(), c.listed) << c.name;
  }
}

}  // namespace
}  // namespace velumar

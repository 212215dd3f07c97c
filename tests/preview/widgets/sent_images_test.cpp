#include <gtest/gtest.h>

#include <QWidget>
#include <filesystem>
#include <fstream>

#include "platform/foundation/notification_center.h"
#include "preview/preview_import.h"
#include "preview/preview_window.h"
#include "support/test_support.h"

namespace velumar {
namespace {

// Images another window scanned and sent as a notification: listed when
// the notification carries the first path and the entries, else ignored;
// image files its scan could not take are said to be unshowable.
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
  const std::string noise = dir.file("noise.png");
  std::ofstream(noise) << std::string(64, '\x7f');
  const foundation::Value details(foundation::Array{first, foundation::Array{paths[0], paths[1]}});
  struct Case {
    const char* name;
    foundation::Value userInfo;
    std::any entries;
    bool listed, alerted;
  };
  const Case cases[] = {
      {"path and entries", details, scanned(), true, false},
      {"no entries", details, {}, false, false},
      {"no first path", foundation::Value(foundation::Array{foundation::Array{paths[0]}}), scanned(), false,
       false},
      {"details not an array", foundation::Value(first), scanned(), false, false},
      {"unshowable image files",
       foundation::Value(foundation::Array{first, foundation::Array{}, foundation::Array{noise}}),
       OrganizedURLList{}, false, true},
  };
  for (const Case& c : cases) {
    PreviewWindow window;
    foundation::NotificationCenter::defaultCenter().post("multipleImageViewDragAndDrop", nullptr, c.userInfo,
                                                         c.entries);
    EXPECT_EQ(window.listedFiles(), c.listed ? paths : std::vector<std::string>()) << c.name;
    EXPECT_EQ(window.isVisible(), c.listed || c.alerted) << c.name;
    EXPECT_EQ(window.findChild<QWidget*>("unshownImportAlert") != nullptr, c.alerted) << c.name;
  }
}

}  // namespace
}  // namespace velumar

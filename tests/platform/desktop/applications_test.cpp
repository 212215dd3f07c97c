#include "platform/desktop/applications.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "support/test_support.h"

namespace desktop {
namespace {

TEST(DesktopApplications, DesktopIdNamesAnApplicationIgnoringCaseAndReverseDnsPrefix) {
  const struct {
    const char* id;
    const char* name;
    bool names;
  } cases[] = {
      {"org.gnome.Shotwell.desktop", "shotwell", true},
      {"shotwell.desktop", "Shotwell", true},
      {"org.gimp.GIMP.desktop", "gimp", true},
      {"GIMP.DESKTOP", "gimp", true},
      {"org.gnome.Shotwell.desktop", "gnome", false},
      {"shotwell-viewer.desktop", "shotwell", false},
      {"myshotwell.desktop", "shotwell", false},
      {"shotwell", "shotwell", false},
      {".desktop", "", false},
      {"gimp.desktop", "", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(desktopIdNamesApplication(c.id, c.name), c.names) << c.id << " " << c.name;
}

// Icons as desktop entries name them, found in the data folders' icon
// theme and pixmaps; names that would leave those folders find nothing.
TEST(DesktopApplications, IconFilesFromTheDataFolders) {
  namespace fs = std::filesystem;
  testsupport::TempDir dir;
  const fs::path home = dir.path() / "home", system = dir.path() / "system";
  const std::string files[] = {"home/icons/hicolor/48x48/apps/viewer.png",
                               "system/icons/hicolor/48x48/apps/viewer.png",
                               "system/icons/hicolor/256x256/apps/editor.png", "system/pixmaps/mail.xpm",
                               "home/icons/hicolor/48x48/apps/folder.png/x", "system/secret.png"};
  for (const std::string& file : files) {
    fs::create_directories((dir.path() / file).parent_path());
    std::ofstream(dir.path() / file) << "icon";
  }
  struct Variable {
    const char* name;
    std::optional<std::string> old;
  } saved[] = {{"XDG_DATA_HOME", {}}, {"XDG_DATA_DIRS", {}}};
  for (Variable& variable : saved)
    if (const char* old = std::getenv(variable.name)) variable.old = old;
  setenv("XDG_DATA_HOME", home.c_str(), 1);
  setenv("XDG_DATA_DIRS", ("relative:" + system.string()).c_str(), 1);
  const struct {
    std::string name, found;
  } cases[] = {
      {"viewer", dir.file("home/icons/hicolor/48x48/apps/viewer.png")},  // the home folder first
      {"editor", dir.file("system/icons/hicolor/256x256/apps/editor.png")},
      {"mail", dir.file("system/pixmaps/mail.xpm")},
      {dir.file("system/pixmaps/mail.xpm"), dir.file("system/pixmaps/mail.xpm")},  // a path as it is
      {dir.file("system/pixmaps/none.png"), ""},
      {"folder", ""},  // a folder is no icon
      {"missing", ""},
      {"", ""},
      {"../secret", ""},  // would be system/secret.png
  };
  for (const auto& c : cases) EXPECT_EQ(iconFilePath(c.name), c.found) << c.name;
  for (const Variable& variable : saved) {
    if (variable.old)
      setenv(variable.name, variable.old->c_str(), 1);
    else
      unsetenv(variable.name);
  }
}

}  // namespace
}  // namespace desktop

#include "platform/desktop/applications.h"

#include <gtest/gtest.h>

#include "platform/desktop/application_metainfo.h"

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
  // Turkish case rules keep a capital I as it is.
  for (const char* locale : {"C", "tr_TR.UTF-8"}) {
    testsupport::withLocale(locale, [&] {
      for (const auto& c : cases)
        EXPECT_EQ(desktopIdNamesApplication(c.id, c.name), c.names) << locale << " " << c.id << " " << c.name;
    });
  }
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

// The newest stable release of a metainfo file, compared as versions; files that
// are malformed, hostile or too large give none, in one bounded pass.
TEST(DesktopApplications, VersionOfTheNewestReleaseInMetainfo) {
  testsupport::TempDir dir;
  const auto releases = [](const std::string& inside) {
    return "<?xml version=\"1.0\"?>\n<component type=\"desktop-application\"><id>x</id><releases>" + inside +
           "</releases></component>\n";
  };
  const std::string deep = std::string(200000, '<') + "a>";
  const struct {
    std::string xml, version;
  } cases[] = {
      {releases("<release version=\"2.9\" date=\"2020-01-01\"/><release version=\"2.10\"/>"), "2.10"},
      {releases("<release version=\"3.0\"><description><p>x</p></description></release>"
                "<release version=\"2.99.1\"/>"),
       "3.0"},
      {"<application><releases><release version=\"1.2\"/></releases></application>", "1.2"},  // older files
      {releases("<release version=\"1.0\"/><release version=\"1.0~rc1\"/>"), "1.0"},  // "~" comes first
      {releases("<release version=\"2.0\" type=\"development\"/><release version=\"1.5\" type=\"stable\"/>"),
       "1.5"},
      {releases("<release version=\"1.2.3\t\"/>"), "1.2.3"},  // a tab reads as a trailing space
      {releases("<release version=\" 2.0&#9;\"/><release version=\"1.9\"/>"), "2.0"},
      {releases("<release version=\"1.0\xe2\x80\xaegnp.exe\"/>"), ""},            // a bidi override
      {releases("<release version=\"1.0\xe2\x80\x8b\"/>"), ""},                   // a zero-width space
      {releases("<release version=\"1.0\"/>") + std::string(3u << 20, ' '), ""},  // too large
      {releases(""), ""},
      {"<component><release version=\"9\"/></component>", ""},  // not in the release list
      {releases("<release version=\"1.0\">"), ""},              // cut short
      {"<!DOCTYPE c [<!ENTITY v \"5.0\">]>" + releases("<release version=\"&v;\"/>"), ""},
      {releases("<release version=\"\xff\xfe\"/>"), ""},                      // not UTF-8
      {releases("<release version=\"" + std::string(65, '1') + "\"/>"), ""},  // not a version
      {releases("<release version=\"1&#10;2\"/>"), ""},
      {releases("<release/><release version=\"\"/>"), ""},
      {"<component>" + deep, ""},
      {"", ""},
      {"\x89PNG\r\n\x1a\n", ""},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string file = dir.file("case" + std::to_string(i) + ".metainfo.xml");
    std::ofstream(file, std::ios::binary) << cases[i].xml;
    EXPECT_EQ(newestReleaseVersion(file), cases[i].version) << i;
  }
  EXPECT_EQ(newestReleaseVersion(dir.file("missing.xml")), "");
  EXPECT_EQ(newestReleaseVersion(dir.path().string()), "");  // a folder
  ASSERT_EQ(mkfifo(dir.file("pipe.metainfo.xml").c_str(), 0600), 0);
  EXPECT_EQ(newestReleaseVersion(dir.file("pipe.metainfo.xml")), "");  // never waits for a writer
}

// The program an application starts, with symbolic links resolved, so that
// a link of another name to a program is known as that program.
TEST(DesktopApplications, ExecutablePathResolvesLinks) {
  namespace fs = std::filesystem;
  testsupport::TempDir dir;
  fs::create_directories(dir.path() / "bin");
  std::ofstream(dir.file("bin/program")) << "#!/bin/sh\n";
  fs::permissions(dir.file("bin/program"), fs::perms(0755));
  fs::create_symlink("program", dir.path() / "bin/viewer");
  fs::create_symlink(dir.path() / "bin/viewer", dir.path() / "alias");
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  setenv("PATH", dir.file("bin").c_str(), 1);
  const struct {
    std::string exec, program;
  } cases[] = {
      {dir.file("bin/viewer"), dir.file("bin/program")},
      {dir.file("alias"), dir.file("bin/program")},  // a link to a link
      {"viewer", dir.file("bin/program")},           // found on PATH
      {dir.file("missing"), ""},
  };
  for (const auto& c : cases) {
    const std::string entry = dir.file("entry.desktop");
    std::ofstream(entry) << "[Desktop Entry]\nType=Application\nName=Viewer\nExec=" << c.exec << " %F\n";
    EXPECT_EQ(applicationFromDesktopFile(entry).executablePath(), c.program) << c.exec;
  }
  setenv("PATH", savedPath.c_str(), 1);
}

}  // namespace
}  // namespace desktop

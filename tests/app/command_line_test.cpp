// The program's arguments split before the toolkit reads them: files (even
// named like toolkit options) never reach the toolkit, and what comes back
// is every file and every argument the toolkit left, in the order given.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/command_line.h"
#include "support/test_support.h"

using namespace velumar;
namespace fs = std::filesystem;

TEST(CommandLine, FilesReachTheProgramAndOptionsTheToolkit) {
  struct Row {
    const char* label;
    std::vector<std::string> arguments;
    std::vector<std::string> onDisk;     // a trailing slash makes a folder
    std::set<std::size_t> toolkitTakes;  // positions in arguments
    std::vector<std::string> toolkit, files;
  };
  const Row rows[] = {
      {"options named like files",
       {"-reverse", "-style", "fusion", "x.jpg"},
       {"-reverse", "x.jpg"},
       {1, 2},
       {"-style", "fusion"},
       {"-reverse", "x.jpg"}},
      {"two missing files",
       {"gone1.jpg", "a.jpg", "gone2.jpg"},
       {"a.jpg"},
       {},
       {"gone1.jpg", "gone2.jpg"},
       {"gone1.jpg", "a.jpg", "gone2.jpg"}},
      {"one missing file twice",
       {"gone.jpg", "gone.jpg"},
       {},
       {},
       {"gone.jpg", "gone.jpg"},
       {"gone.jpg", "gone.jpg"}},
      {"an option's value named like a later argument",
       {"-title", "gone.jpg", "a.jpg", "gone.jpg"},
       {"a.jpg"},
       {0, 1},
       {"-title", "gone.jpg", "gone.jpg"},
       {"a.jpg", "gone.jpg"}},
      {"a folder and a file URL",
       {"in", "file:///nowhere/x.jpg"},
       {"in/"},
       {},
       {},
       {"in", "file:///nowhere/x.jpg"}},
  };
  testsupport::TempDir dir;
  const fs::path before = fs::current_path();
  fs::current_path(dir.path());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    for (const std::string& name : row.onDisk)
      name.ends_with('/') ? void(fs::create_directories(name)) : void(std::ofstream(name) << "x");
    std::vector<std::string> strings{"velumar"};
    strings.insert(strings.end(), row.arguments.begin(), row.arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    CommandLine line(int(argv.size()), argv.data());
    // The toolkit removes what it takes from its arguments in place.
    std::vector<std::string> toolkit;
    int kept = 1;
    for (int i = 1; i < line.toolkitArgc(); ++i) {
      char* argument = line.toolkitArgv()[i];
      toolkit.emplace_back(argument);
      const auto position = std::size_t(std::find(argv.begin(), argv.end(), argument) - argv.begin() - 1);
      if (!row.toolkitTakes.count(position)) line.toolkitArgv()[kept++] = argument;
    }
    line.toolkitArgv()[kept] = nullptr;
    line.toolkitArgc() = kept;
    EXPECT_EQ(toolkit, row.toolkit);
    std::vector<std::string> files;
    for (const QString& file : line.files()) files.push_back(file.toStdString());
    EXPECT_EQ(files, row.files);
    for (const std::string& name : row.onDisk) fs::remove_all(name);
  }
  fs::current_path(before);
}

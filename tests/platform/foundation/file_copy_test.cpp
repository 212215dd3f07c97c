// Copies that never replace and never leave partial files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/file_copy.h"
#include "platform/foundation/files.h"
#include "support/test_support.h"

namespace foundation {
namespace {

namespace fs = std::filesystem;

TEST(FileCopy, CopiesWithoutReplacingAndLeavesNothingOnFailure) {
  testsupport::TempDir dir;
  const std::string source = dir.file("source.bin");
  std::ofstream(source) << std::string(3 << 20, 'x');  // more than one buffer
  ::chmod(source.c_str(), 0640);
  std::ofstream(dir.file("taken.bin")) << "old";
  fs::create_directory(dir.file("folder"));
  struct Case {
    const char* label;
    std::string from, to;
    bool copied;
  };
  const Case cases[] = {
      {"new name", source, dir.file("copy.bin"), true},
      {"name taken", source, dir.file("taken.bin"), false},
      {"missing source", dir.file("missing.bin"), dir.file("other.bin"), false},
      {"folder as source", dir.file("folder"), dir.file("other.bin"), false},
      {"missing destination folder", source, dir.file("nowhere/copy.bin"), false},
  };
  for (const Case& c : cases) EXPECT_EQ(copyFileWithoutReplacing(c.from, c.to), c.copied) << c.label;
  EXPECT_EQ(readFile(dir.file("copy.bin")), readFile(source));
  EXPECT_EQ(fs::status(dir.file("copy.bin")).permissions(), fs::status(source).permissions());
  EXPECT_EQ(fs::last_write_time(dir.file("copy.bin")), fs::last_write_time(source));
  EXPECT_EQ(readFile(dir.file("taken.bin")), (Data{'o', 'l', 'd'}));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 4u);  // source, taken, folder, copy: no temporary left
}

}  // namespace
}  // namespace foundation

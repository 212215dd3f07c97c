#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "platform/foundation/failure_cause.h"
#include "platform/foundation/files.h"
#include "support/test_support.h"

using namespace foundation;
namespace fs = std::filesystem;

namespace {

Data bytesOf(std::string_view text) {
  return Data(text.begin(), text.end());
}

void touch(const fs::path& path) {
  std::ofstream(path) << "x";
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(Files, AtomicWriteReplacesAndLeavesNoTemporaryFile) {
  testsupport::TempDir dir;
  const std::string path = dir.file("out.bin");
  ASSERT_TRUE(writeFileAtomically(path, bytesOf("first")));
  ASSERT_TRUE(writeFileAtomically(path, bytesOf("second, longer")));
  EXPECT_EQ(readFile(path), bytesOf("second, longer"));
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"out.bin"});
}

TEST(Files, AtomicWriteKeepsPermissionsOfTheReplacedFile) {
  testsupport::TempDir dir;
  const std::string path = dir.file("script.sh");
  ASSERT_TRUE(writeFileAtomically(path, bytesOf("a")));
  ASSERT_EQ(::chmod(path.c_str(), 0751), 0);
  ASSERT_TRUE(writeFileAtomically(path, bytesOf("b")));
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0751u);
}

TEST(Files, FailedAtomicWriteKeepsTheOldFile) {
  testsupport::TempDir dir;
  const std::string path = dir.file("keep.txt");
  ASSERT_TRUE(writeFileAtomically(path, bytesOf("old contents")));
  // A path whose parent is a file: no temporary file can be made.
  EXPECT_FALSE(writeFileAtomically(path + "/child", bytesOf("new")));
  // The destination is a non-empty folder: the rename fails after the
  // temporary file was written, which must be removed again.
  fs::create_directories(dir.path() / "folder" / "inside");
  EXPECT_FALSE(writeFileAtomically(dir.file("folder"), bytesOf("new")));
  EXPECT_EQ(readFile(path), bytesOf("old contents"));
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"folder", "keep.txt"}));
  EXPECT_FALSE(writeFileAtomically("", bytesOf("x")));
}

TEST(Files, ReadFileHonoursTheLimit) {
  testsupport::TempDir dir;
  const std::string path = dir.file("ten.bin");
  ASSERT_TRUE(writeFileAtomically(path, Data(10, 7)));
  EXPECT_EQ(readFile(path, 10), Data(10, 7));
  EXPECT_FALSE(readFile(path, 9));
  EXPECT_FALSE(readFile(dir.file("missing")));
  EXPECT_FALSE(readFile(dir.path().string()));
  ASSERT_TRUE(writeFileAtomically(dir.file("empty"), {}));
  EXPECT_EQ(readFile(dir.file("empty")), Data{});
}

// A FIFO without a writer, a folder and a device are refused at once as
// unreadable. Each call runs on a thread of its own under a watchdog: one
// that blocks fails by name within seconds, and a writer opened on the
// FIFO frees it.
TEST(Files, SpecialFilesAreRefusedAtOnce) {
  testsupport::TempDir dir;
  const std::string fifo = dir.file("a.jpg");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  using Reader = std::function<bool(const std::string&)>;
  const Reader read = [](const std::string& path) { return readFile(path, 1 << 20).has_value(); };
  const Reader check = [](const std::string& path) { return isReadableRegularFile(path); };
  const struct {
    const char* label;
    std::string path;
    Reader reader;
  } cases[] = {
      {"readFile of a FIFO", fifo, read},
      {"isReadableRegularFile of a FIFO", fifo, check},
      {"readFile of a folder", dir.path().string(), read},
      {"isReadableRegularFile of a folder", dir.path().string(), check},
      {"readFile of /dev/zero", "/dev/zero", read},
      {"isReadableRegularFile of /dev/zero", "/dev/zero", check},
  };
  for (const auto& c : cases) {
    auto promise = std::make_shared<std::promise<std::pair<bool, FailureCause>>>();
    std::future<std::pair<bool, FailureCause>> answer = promise->get_future();
    std::thread([promise, path = c.path, reader = c.reader] {
      clearFailure();
      const bool accepted = reader(path);
      promise->set_value({accepted, takeFailure().cause});
    }).detach();
    if (answer.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      ADD_FAILURE() << c.label << " blocked";
      const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
      answer.wait_for(std::chrono::seconds(5));
      continue;
    }
    const auto [accepted, cause] = answer.get();
    EXPECT_FALSE(accepted) << c.label;
    EXPECT_EQ(cause, FailureCause::SourceUnreadable) << c.label;
  }
}

TEST(Files, FreeNameSequences) {
  struct Case {
    const char* name;
    std::vector<const char*> taken;  // files made first (a trailing "/" makes a folder)
    const char* path;
    const char* expectedBeforeExtension;
    const char* expectedAppended;
  };
  const Case cases[] = {
      {"free", {}, "photo.jpg", "photo.jpg", "photo.jpg"},
      {"taken", {"photo.jpg"}, "photo.jpg", "photo 2.jpg", "photo.jpg 2"},
      {"2 taken too", {"photo.jpg", "photo 2.jpg"}, "photo.jpg", "photo 3.jpg", "photo.jpg 2"},
      {"gap", {"a.png", "a 2.png", "a 4.png"}, "a.png", "a 3.png", "a.png 2"},
      {"no extension", {"photo"}, "photo", "photo 2", "photo 2"},
      {"folder taken", {"photo.png/"}, "photo.png", "photo 2.png", "photo.png 2"},
      {"folder name", {"Icons/", "Icons 2/"}, "Icons", "Icons 3", "Icons 3"},
      {"dotted folder", {"set.iconset/"}, "set.iconset", "set 2.iconset", "set.iconset 2"},
      {"two dots", {"archive.tar.gz"}, "archive.tar.gz", "archive.tar 2.gz", "archive.tar.gz 2"},
      {"hidden file", {".profile"}, ".profile", ".profile 2", ".profile 2"},
      {"dot in folder", {"v1.2/photo"}, "v1.2/photo", "v1.2/photo 2", "v1.2/photo 2"},
  };
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    for (std::string taken : c.taken) {
      const fs::path path = dir.path() / taken;
      if (taken.back() == '/') {
        fs::create_directories(path);
      } else {
        fs::create_directories(path.parent_path());
        touch(path);
      }
    }
    EXPECT_EQ(freeName(dir.file(c.path)), dir.file(c.expectedBeforeExtension)) << c.name;
    EXPECT_EQ(freeNameAppendingNumber(dir.file(c.path)), dir.file(c.expectedAppended)) << c.name;
  }
}

TEST(Files, FreeNameCountsADanglingLinkAsTaken) {
  testsupport::TempDir dir;
  fs::create_symlink(dir.path() / "nowhere", dir.path() / "link.jpg");
  EXPECT_EQ(freeName(dir.file("link.jpg")), dir.file("link 2.jpg"));
}

TEST(Files, CreationDateIsNearNow) {
  testsupport::TempDir dir;
  const std::string path = dir.file("new.txt");
  const auto before = std::chrono::system_clock::now() - std::chrono::seconds(5);
  ASSERT_TRUE(writeFileAtomically(path, bytesOf("x")));
  auto created = creationDate(path);
  ASSERT_TRUE(created);
  EXPECT_GE(*created, before);
  EXPECT_LE(*created, std::chrono::system_clock::now() + std::chrono::seconds(5));
  EXPECT_FALSE(creationDate(dir.file("missing")));
}

TEST(Files, TagsRoundTrip) {
  testsupport::TempDir dir;
  const std::string path = dir.file("tagged.jpg");
  ASSERT_TRUE(writeFileAtomically(path, bytesOf("x")));
  if (::setxattr(path.c_str(), "user.velumar.probe", "1", 1, 0) != 0) {
    GTEST_SKIP() << "the file system refuses user extended attributes";
  }
  EXPECT_TRUE(readTags(path).empty());
  const std::vector<std::string> tags{"Red", "Holiday 2024", "Ünïcode"};
  ASSERT_TRUE(writeTags(path, tags));
  EXPECT_EQ(readTags(path), tags);
  char raw[256];
  ssize_t size = ::getxattr(path.c_str(), "user.xdg.tags", raw, sizeof raw);
  ASSERT_GT(size, 0);
  EXPECT_EQ(std::string(raw, std::size_t(size)), "Red,Holiday 2024,Ünïcode");
  ASSERT_TRUE(writeTags(path, {}));
  EXPECT_TRUE(readTags(path).empty());
  EXPECT_FALSE(writeTags(dir.file("missing"), tags));
  EXPECT_TRUE(readTags(dir.file("missing")).empty());
}

TEST(Files, EnumerationSkipsHiddenAndDoesNotFollowFolderLinks) {
  testsupport::TempDir dir;
  const fs::path root = dir.path() / "root";
  fs::create_directories(root / "sub" / "deeper");
  fs::create_directories(root / ".hidden");
  fs::create_directories(dir.path() / "outside");
  touch(root / "a.jpg");
  touch(root / ".dotfile");
  touch(root / "sub" / "b.png");
  touch(root / "sub" / "deeper" / "c.tif");
  touch(root / ".hidden" / "d.jpg");
  touch(dir.path() / "outside" / "e.jpg");
  fs::create_directory_symlink(dir.path() / "outside", root / "linked-folder");
  fs::create_directory_symlink(root, root / "sub" / "loop");
  fs::create_symlink(root / "a.jpg", root / "file-link.jpg");
  // Special files are never reported, directly or through a link.
  ASSERT_EQ(::mkfifo((root / "pipe.jpg").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", root / "sub" / "device.png");

  auto collect = [&](bool recursive, bool includeHidden) {
    std::vector<std::string> found;
    enumerateFiles(
        root.string(), recursive,
        [&](const fs::path& path) { found.push_back(path.lexically_relative(root).string()); },
        includeHidden);
    std::sort(found.begin(), found.end());
    return found;
  };
  EXPECT_EQ(collect(true, false),
            (std::vector<std::string>{"a.jpg", "file-link.jpg", "sub/b.png", "sub/deeper/c.tif"}));
  EXPECT_EQ(collect(false, false), (std::vector<std::string>{"a.jpg", "file-link.jpg"}));
  EXPECT_EQ(collect(true, true),
            (std::vector<std::string>{".dotfile", ".hidden/d.jpg", "a.jpg", "file-link.jpg", "sub/b.png",
                                      "sub/deeper/c.tif"}));
  std::vector<fs::path> none;
  enumerateFiles(dir.file("missing"), true, [&](const fs::path& path) { none.push_back(path); });
  EXPECT_TRUE(none.empty());
}

TEST(Files, ApplicationSupportFollowsXdgDataHomeAndIsCreated) {
  testsupport::TempDir dir;
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
  const std::string folder = applicationSupportDirectory();
  if (old) {
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_DATA_HOME");
  }
  EXPECT_EQ(folder, (dir.path() / "data" / "velumar").string());
  EXPECT_TRUE(fs::is_directory(folder));
}

TEST(Files, BundleResourcePathFindsTheSourceTreesResources) {
  const fs::path resources = fs::path(VELUMAR_SOURCE_DIR) / "resources";
  std::error_code error;
  if (!fs::is_directory(resources, error) || fs::is_empty(resources, error)) {
    GTEST_SKIP() << "no resources yet";
  }
  const fs::path first = fs::directory_iterator(resources)->path();
  EXPECT_TRUE(fs::equivalent(bundleResourcePath(first.filename().string()), first));
  EXPECT_NE(bundleResourcePath("no-such-resource").find("share/velumar/no-such-resource"), std::string::npos);
}

// Reading the umask never changes it, even for an instant: files another
// thread creates meanwhile keep the mask's permissions.
TEST(Files, ReadingTheUmaskLeavesOtherThreadsFilesAlone) {
  testsupport::TempDir dir;
  const mode_t previous = ::umask(022);
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done) EXPECT_EQ(modeForNewOrExisting(dir.file("missing")), mode_t(0644));
  });
  int wrongModes = 0;
  for (int i = 0; i < 2000; ++i) {
    const std::string path = dir.file("f" + std::to_string(i));
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0666);
    struct stat status {};
    if (fd >= 0 && ::fstat(fd, &status) == 0 && (status.st_mode & 0777) != 0644) ++wrongModes;
    if (fd >= 0) ::close(fd);
  }
  done = true;
  reader.join();
  EXPECT_EQ(processUmask(), mode_t(022));
  ::umask(previous);
  EXPECT_EQ(wrongModes, 0);
}


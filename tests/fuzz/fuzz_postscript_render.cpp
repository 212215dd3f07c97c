// PostScript rendered by the confined Ghostscript, within a short time
// limit. The check that the confinement holds lives outside the input: a
// watched folder of the temporary folder holds one marker file, and while
// each input renders, nothing may open or read the marker, or create,
// change or remove anything in the folder (inotify sees every such access,
// also the child's). Ghostscript may open the folder itself: its file
// enumeration reads a folder before it drops the names it may not show.
// The committed reproducers aim at that folder under /tmp. No file may take
// more than its one time limit.
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_input.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/postscript_time_budget.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kWatchedFolder = "/tmp/velumar-fuzz-watched";
constexpr const char* kMarkerName = "marker";

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "postscript: %s\n", what);
  std::abort();
}

// The watched folder: the fixed one when it is this user's, else a fresh
// private one. Made once per process, with its marker.
const std::string& watchedFolder() {
  static const std::string folder = [] {
    std::string path = kWatchedFolder;
    ::mkdir(path.c_str(), 0700);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
      std::error_code error;
      path = (fs::temp_directory_path(error) / "velumar-fuzz-watched-XXXXXX").string();
      if (::mkdtemp(path.data()) == nullptr) fail("no watched folder");
    }
    const std::string marker = path + "/" + kMarkerName;
    const int fd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, "marker\n", 7) != 7) fail("no marker file");
    ::close(fd);
    return path;
  }();
  return folder;
}

// The folder holds its marker and nothing else.
bool holdsOnlyTheMarker(const std::string& folder) {
  std::error_code error;
  int entries = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().filename() != kMarkerName) return false;
    ++entries;
  }
  return !error && entries == 1;
}

// Every access to the folder and what is in it, from any process, while
// the object lives.
class FolderWatch {
 public:
  explicit FolderWatch(const std::string& folder) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0 || ::inotify_add_watch(fd_, folder.c_str(), IN_ALL_EVENTS | IN_ONLYDIR) < 0)
      fail("cannot watch the watched folder");
  }
  ~FolderWatch() { ::close(fd_); }
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Whether anything but reading the folder itself happened since the
  // watch began.
  bool touched() const {
    constexpr std::uint32_t kFolderRead = IN_OPEN | IN_ACCESS | IN_CLOSE_NOWRITE | IN_ISDIR;
    alignas(inotify_event) char events[4096];
    for (;;) {
      const ssize_t size = ::read(fd_, events, sizeof events);
      if (size <= 0) return false;
      for (ssize_t at = 0; at < size;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        if (event->len > 0 || (event->mask & ~kFolderRead) != 0) return true;
        at += ssize_t(sizeof(inotify_event) + event->len);
      }
    }
  }

 private:
  int fd_ = -1;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr double kLimit = 2.0;
  imageio::setPostScriptTimeLimit(kLimit);
  const std::string& folder = watchedFolder();
  fuzzing::InputFile file(data, size, true);
  if (!file.ok()) return 0;
  const auto start = std::chrono::steady_clock::now();
  {
    const FolderWatch watch(folder);
    const auto source = imageio::ImageSource::open(file.path(), 1 << 20);
    const auto image = source ? source->createImage(0) : nullptr;
    if (watch.touched()) fail("the file reached the watched folder");
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (seconds > 2 * kLimit + 1) {
    std::fprintf(stderr, "postscript: %.1f s for one file\n", seconds);
    std::abort();
  }
  if (!holdsOnlyTheMarker(folder)) fail("the watched folder changed");
  return 0;
}

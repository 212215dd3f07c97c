#include "platform/imageio/ghostscript.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "platform/foundation/log.h"

namespace imageio {

namespace {

// The Ghostscript executable, found once in the usual system folders.
const std::string& ghostscriptPath() {
  static const std::string path = [] {
    for (const char* candidate : {"/usr/bin/gs", "/usr/local/bin/gs", "/bin/gs"})
      if (::access(candidate, X_OK) == 0) return std::string(candidate);
    return std::string("gs");
  }();
  return path;
}

// A new private folder under the system temporary folder; removed with
// everything in it when the run ends.
class RunFolder {
 public:
  RunFolder() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
    std::string pattern = (base / "velumar-gs-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~RunFolder() {
    if (path_.empty()) return;
    std::error_code error;
    std::filesystem::remove_all(path_, error);
    if (error) foundation::log("ghostscript: cannot remove {}: {}", path_, error.message());
  }
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

BoundedResult runGhostscript(const std::vector<std::string>& arguments, double timeoutSeconds,
                             std::size_t maxOutputBytes) {
  RunFolder folder;
  if (folder.path().empty()) {
    foundation::log("ghostscript: cannot create a temporary folder");
    return {};
  }
  std::vector<std::string> argv = {ghostscriptPath(), "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  ChildSetting setting;
  setting.workingDirectory = folder.path();
  // Ghostscript's temporary files go to the run's own folder; HOME points
  // there too so nothing reads or writes the user's files.
  setting.environment = {"PATH=/usr/bin:/bin",    "LC_ALL=C",
                         "HOME=" + folder.path(), "TMPDIR=" + folder.path(),
                         "TEMP=" + folder.path(), "TMP=" + folder.path()};
  return runBounded(argv, timeoutSeconds, maxOutputBytes, setting);
}

}  // namespace imageio

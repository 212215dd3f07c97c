// An entry of the desktop's thumbnail cache, as other programs may leave it:
// looked up for the file it claims to show, decoded when it matches.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fuzz/fuzz_input.h"
#include "platform/desktop/thumbnail_cache.h"

namespace {

// A cache folder of this process, removed at exit.
struct CacheFolder {
  CacheFolder() {
    std::error_code error;
    path = (std::filesystem::temp_directory_path(error) / ("velumar-fuzz-thumbnails-" + std::to_string(::getpid())))
               .string();
  }
  ~CacheFolder() {
    std::error_code error;
    std::filesystem::remove_all(path, error);
  }
  std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const CacheFolder folder;
  std::error_code error;
  const desktop::ThumbnailCache cache(folder.path);
  // The stamp the seeds were written for.
  const desktop::ThumbnailStamp stamp{"file:///fuzz/source.png", 1700000000, 1234};
  const std::string path = cache.thumbnailPath(stamp.uri, desktop::ThumbnailSize::Normal);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }
  (void)cache.lookup(stamp, desktop::ThumbnailSize::Normal);
  return 0;
}

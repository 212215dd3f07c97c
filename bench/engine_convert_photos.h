#pragma once
// Real camera photos for the whole-batch benchmark: Debian's wallpaper
// packages are downloaded with `apt-get download`, unpacked with
// `dpkg-deb -x` into a cache folder, and a fixed, repeatable choice of
// distinct large JPEG photos is taken from them.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/ascii_case.h"
#include "platform/foundation/log.h"
#include "platform/imageio/image_source.h"

namespace enginebench {

namespace fs = std::filesystem;

// Runs argv without a shell in workingDirectory, output discarded; true
// when it exited with status 0.
inline bool runQuietly(const std::vector<std::string>& argv, const fs::path& workingDirectory) {
  std::vector<char*> arguments;
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    if (chdir(workingDirectory.c_str()) != 0) _exit(127);
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
    }
    execvp(arguments[0], arguments.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The cache shared with the test programs, so a package is fetched once.
inline fs::path sampleCacheRoot() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  return (cache && *cache ? fs::path(cache) : fs::path("/tmp")) / "velumar-test-samples";
}

// The unpacked root of a package (<root>/usr/share/...); empty on failure.
// A ".done" marker beside the folder tells a finished unpack; a lock file
// keeps two processes from unpacking at once.
inline fs::path fetchDebianPackage(const std::string& package) {
  std::error_code error;
  const fs::path root = sampleCacheRoot();
  fs::create_directories(root, error);
  const fs::path target = root / package;
  const fs::path doneMarker = root / (package + ".done");
  if (fs::exists(doneMarker, error)) return target;

  const int lock = open((root / (package + ".lock")).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock < 0) return {};
  while (flock(lock, LOCK_EX) != 0 && errno == EINTR) {
  }
  fs::path answer;
  if (fs::exists(doneMarker, error)) {
    answer = target;
  } else {
    const fs::path download = root / (package + ".download");
    const fs::path partial = root / (package + ".partial");
    fs::remove_all(download, error);
    fs::remove_all(partial, error);
    fs::create_directories(download, error);
    fs::path deb;
    if (runQuietly({"apt-get", "download", package}, download)) {
      for (const auto& entry : fs::directory_iterator(download, error)) {
        if (entry.path().extension() == ".deb") deb = entry.path();
      }
    }
    if (!deb.empty() && runQuietly({"dpkg-deb", "-x", deb.string(), partial.string()}, root)) {
      fs::remove_all(target, error);
      fs::rename(partial, target, error);
      if (!error) {
        std::ofstream(doneMarker).put('\n');
        answer = target;
      }
    }
    fs::remove_all(download, error);
    fs::remove_all(partial, error);
  }
  flock(lock, LOCK_UN);
  close(lock);
  if (answer.empty()) foundation::log("engine_convert: could not fetch package {}", package);
  return answer;
}

// FNV-1a of a file's bytes, to tell copies of one photo apart from
// distinct photos (the packages ship one picture under many names).
inline std::uint64_t contentHash(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::uint64_t hash = 1469598103934665603ull;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      hash = (hash ^ std::uint8_t(buffer[i])) * 1099511628211ull;
    }
  }
  return hash;
}

struct Photo {
  fs::path path;
  std::int64_t width = 0;
  std::int64_t height = 0;
  bool fromCamera = false;  // carries the camera model in its EXIF
};

// Distinct JPEG photos of at least 1000 pixels a side and more than 1600 on
// the longer side, so that a long-side-1600 conversion really shrinks them.
// Camera photos come first, then the rest, each group in path order.
inline std::vector<Photo> photosInFolders(const std::vector<fs::path>& folders) {
  std::vector<fs::path> candidates;
  std::error_code error;
  for (const fs::path& folder : folders) {
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::end(it);
         it.increment(error)) {
      if (!it->is_regular_file(error) || it->is_symlink(error)) continue;
      const std::string extension = foundation::asciiLowercase(it->path().extension().string());
      if (extension == ".jpg" || extension == ".jpeg") candidates.push_back(it->path());
    }
  }
  std::sort(candidates.begin(), candidates.end());

  std::set<std::pair<std::uintmax_t, std::uint64_t>> seen;
  std::vector<Photo> cameras, others;
  for (const fs::path& path : candidates) {
    if (!seen.insert({fs::file_size(path, error), contentHash(path)}).second) continue;
    const auto source = imageio::ImageSource::open(path.string());
    if (!source || source->count() == 0) continue;
    const foundation::Value properties = source->properties(0);
    Photo photo{path, 0, 0, false};
    if (const auto* width = properties.get("PixelWidth")) photo.width = width->intOr(0);
    if (const auto* height = properties.get("PixelHeight")) photo.height = height->intOr(0);
    const auto* model = properties.get({"{TIFF}", "Model"});
    photo.fromCamera = model && !model->stringOr("").empty();
    if (std::min(photo.width, photo.height) < 1000 || std::max(photo.width, photo.height) <= 1600) continue;
    (photo.fromCamera ? cameras : others).push_back(photo);
  }
  cameras.insert(cameras.end(), std::make_move_iterator(others.begin()),
                 std::make_move_iterator(others.end()));
  return cameras;
}

// count photos from the wallpaper packages, fetching the next package only
// while fewer are found. Fewer than count when the packages hold fewer.
inline std::vector<Photo> fetchWallpaperPhotos(std::size_t count) {
  std::vector<fs::path> folders;
  std::vector<Photo> photos;
  for (const char* package : {"mate-backgrounds", "plasma-workspace-wallpapers", "lomiri-wallpapers"}) {
    const fs::path root = fetchDebianPackage(package);
    if (root.empty()) continue;
    folders.push_back(root);
    photos = photosInFolders(folders);
    if (photos.size() >= count) break;
  }
  if (photos.size() > count) photos.resize(count);
  return photos;
}

// The count photos with the most pixels from every wallpaper package (ties
// in path order): a set dominated by large camera photos.
inline std::vector<Photo> largestWallpaperPhotos(std::size_t count) {
  std::vector<fs::path> folders;
  for (const char* package : {"mate-backgrounds", "plasma-workspace-wallpapers", "lomiri-wallpapers"}) {
    const fs::path root = fetchDebianPackage(package);
    if (!root.empty()) folders.push_back(root);
  }
  std::vector<Photo> photos = photosInFolders(folders);
  std::stable_sort(photos.begin(), photos.end(), [](const Photo& a, const Photo& b) {
    if (a.width * a.height != b.width * b.height) return a.width * a.height > b.width * b.height;
    return a.path < b.path;
  });
  if (photos.size() > count) photos.resize(count);
  return photos;
}

}  // namespace enginebench

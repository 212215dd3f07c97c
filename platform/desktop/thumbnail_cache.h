#pragma once
// The desktop's shared thumbnail cache, as file managers keep it:
// $XDG_CACHE_HOME/thumbnails/<size>/<md5 of the file URI>.png, each an
// 8-bit RGBA PNG naming its source (Thumb::URI) and the source's version
// (Thumb::MTime, Thumb::Size) in text chunks before the image data. A
// thumbnail is valid while those match the file. Files that cannot be
// thumbnailed get a marker under fail/velumar-<version>/ so they are not
// tried again until they change. Thread-safe: every call works on files.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/raster/image.h"

namespace desktop {

enum class ThumbnailSize { Normal, Large, XLarge, XXLarge };

// 128, 256, 512 or 1024: the longer side of a thumbnail of that size.
int thumbnailPixels(ThumbnailSize size);
// The smallest size whose thumbnails are at least pixels long (the largest
// for anything beyond).
ThumbnailSize thumbnailSizeFor(int pixels);

// The file URI of an absolute path, exactly as GLib makes it (the cache
// key other programs compute); empty for a relative path.
std::string fileUriForPath(const std::string& path);

// What a thumbnail is checked against: the file's URI, modification time
// in whole seconds and size in bytes.
struct ThumbnailStamp {
  std::string uri;
  std::int64_t mtime = 0;
  std::int64_t size = 0;
  bool operator==(const ThumbnailStamp&) const = default;
};
// The stamp of a regular file; nullopt when it cannot be examined.
std::optional<ThumbnailStamp> thumbnailStampForFile(const std::string& path);

// A cache entry that was read: the thumbnail, and the source's upright
// pixel size when the entry records it (our own entries do; other programs
// may record the size before the camera orientation, so theirs is not used).
struct CachedThumbnail {
  raster::ImageRef image;
  std::int64_t sourceWidth = 0, sourceHeight = 0;
};

class ThumbnailCache {
 public:
  // The cache under root; by default $XDG_CACHE_HOME/thumbnails (or
  // ~/.cache/thumbnails).
  explicit ThumbnailCache(std::string root = defaultRoot());
  static std::string defaultRoot();

  const std::string& root() const { return root_; }
  std::string thumbnailPath(const std::string& uri, ThumbnailSize size) const;
  std::string failurePath(const std::string& uri) const;

  // The cached thumbnail when it exists, decodes and matches the stamp;
  // nullptr otherwise (a stale or corrupt entry is then simply replaced by
  // the next store).
  std::optional<CachedThumbnail> lookup(const ThumbnailStamp& stamp, ThumbnailSize size) const;
  // Whether a failure marker for this version of the file exists.
  bool hasFailure(const ThumbnailStamp& stamp) const;

  // Writes the thumbnail, an 8-bit sRGB image, with the source's upright
  // pixel size (owner-only file in owner-only folders, put in place in one
  // step); false (logged) when the cache cannot be written.
  bool store(const ThumbnailStamp& stamp, ThumbnailSize size, const raster::ImageRef& image,
             std::int64_t sourceWidth, std::int64_t sourceHeight) const;
  // Records that this version of the file could not be thumbnailed.
  bool storeFailure(const ThumbnailStamp& stamp) const;

 private:
  bool write(const std::string& path, const ThumbnailStamp& stamp, const raster::ImageRef& image,
             std::int64_t sourceWidth, std::int64_t sourceHeight) const;
  std::string root_;
};

}  // namespace desktop

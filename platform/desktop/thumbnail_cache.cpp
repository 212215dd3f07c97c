#include "platform/desktop/thumbnail_cache.h"

#include <glib.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>

#include "platform/foundation/log.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/image_source.h"

namespace desktop {

namespace {

// Cache entries larger than this are not ours and not read.
constexpr std::int64_t kMaxEntryBytes = std::int64_t(16) << 20;
constexpr std::int64_t kMaxEntryPixels = std::int64_t(2048) * 2048;
// Marks our own entries, whose recorded source size is upright.
constexpr const char* kSoftware = "velumar " VELUMAR_VERSION;

const char* folderName(ThumbnailSize size) {
  switch (size) {
    case ThumbnailSize::Normal:
      return "normal";
    case ThumbnailSize::Large:
      return "large";
    case ThumbnailSize::XLarge:
      return "x-large";
    case ThumbnailSize::XXLarge:
      return "xx-large";
  }
  return "normal";
}

std::string entryName(const std::string& uri) {
  gchar* md5 = g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.c_str(), gssize(uri.size()));
  std::string name = std::string(md5 ? md5 : "") + ".png";
  g_free(md5);
  return name;
}

// Creates path as an owner-only folder unless it exists.
bool makePrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return true;
  struct stat info {};
  return errno == EEXIST && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool makeParentFolders(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return true;
  const std::string parent = path.substr(0, slash);
  struct stat info {};
  if (::stat(parent.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  return makeParentFolders(parent) && makePrivateFolder(parent);
}

std::optional<std::int64_t> parseWhole(const std::string& text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Whether the entry at path is a PNG naming this version of the file; the
// decoded entry when wanted.
bool entryMatches(const std::string& path, const ThumbnailStamp& stamp, CachedThumbnail* entry) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxEntryBytes)
    return false;
  const auto source = imageio::ImageSource::open(path, kMaxEntryPixels);
  if (!source || source->type() != "public.png") return false;
  const foundation::Value properties = source->properties(0);
  const foundation::Value* uri = properties.get({"{PNG}", "Thumb::URI"});
  const foundation::Value* mtime = properties.get({"{PNG}", "Thumb::MTime"});
  const foundation::Value* size = properties.get({"{PNG}", "Thumb::Size"});
  if (uri == nullptr || mtime == nullptr || uri->stringOr("") != stamp.uri) return false;
  if (parseWhole(mtime->stringOr("")) != stamp.mtime) return false;
  if (size != nullptr && parseWhole(size->stringOr("")) != stamp.size) return false;
  if (entry == nullptr) return true;
  const foundation::Value* software = properties.get({"{PNG}", "Software"});
  if (software != nullptr && software->stringOr("") == kSoftware) {
    const foundation::Value* width = properties.get({"{PNG}", "Thumb::Image::Width"});
    const foundation::Value* height = properties.get({"{PNG}", "Thumb::Image::Height"});
    entry->sourceWidth = width ? parseWhole(width->stringOr("")).value_or(0) : 0;
    entry->sourceHeight = height ? parseWhole(height->stringOr("")).value_or(0) : 0;
  }
  imageio::DecodeOptions options;
  options.applyOrientation = false;
  entry->image = source->createImage(0, options);
  return entry->image != nullptr;
}

}  // namespace

int thumbnailPixels(ThumbnailSize size) {
  switch (size) {
    case ThumbnailSize::Normal:
      return 128;
    case ThumbnailSize::Large:
      return 256;
    case ThumbnailSize::XLarge:
      return 512;
    case ThumbnailSize::XXLarge:
      return 1024;
  }
  return 128;
}

ThumbnailSize thumbnailSizeFor(int pixels) {
  for (ThumbnailSize size : {ThumbnailSize::Normal, ThumbnailSize::Large, ThumbnailSize::XLarge}) {
    if (pixels <= thumbnailPixels(size)) return size;
  }
  return ThumbnailSize::XXLarge;
}

std::string fileUriForPath(const std::string& path) {
  if (path.empty() || path.front() != '/') return {};
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  std::string result = uri ? uri : "";
  g_free(uri);
  return result;
}

std::optional<ThumbnailStamp> thumbnailStampForFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  ThumbnailStamp stamp{fileUriForPath(path), std::int64_t(info.st_mtime), std::int64_t(info.st_size)};
  if (stamp.uri.empty()) return std::nullopt;
  return stamp;
}

ThumbnailCache::ThumbnailCache(std::string root) : root_(std::move(root)) {}

std::string ThumbnailCache::defaultRoot() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && cache[0] == '/') return std::string(cache) + "/thumbnails";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && home[0] != '\0' ? home : g_get_home_dir()) + "/.cache/thumbnails";
}

std::string ThumbnailCache::thumbnailPath(const std::string& uri, ThumbnailSize size) const {
  return root_ + "/" + folderName(size) + "/" + entryName(uri);
}

std::string ThumbnailCache::failurePath(const std::string& uri) const {
  return root_ + "/fail/velumar-" VELUMAR_VERSION "/" + entryName(uri);
}

std::optional<CachedThumbnail> ThumbnailCache::lookup(const ThumbnailStamp& stamp, ThumbnailSize size) const {
  CachedThumbnail entry;
  if (!entryMatches(thumbnailPath(stamp.uri, size), stamp, &entry)) return std::nullopt;
  return entry;
}

bool ThumbnailCache::hasFailure(const ThumbnailStamp& stamp) const {
  return entryMatches(failurePath(stamp.uri), stamp, nullptr);
}

bool ThumbnailCache::store(const ThumbnailStamp& stamp, ThumbnailSize size, const raster::ImageRef& image,
                           std::int64_t sourceWidth, std::int64_t sourceHeight) const {
  return image != nullptr && write(thumbnailPath(stamp.uri, size), stamp, image, sourceWidth, sourceHeight);
}

bool ThumbnailCache::storeFailure(const ThumbnailStamp& stamp) const {
  const raster::ImageRef marker =
      raster::Image::make(1, 1, raster::PixelFormat{8, 3, raster::AlphaInfo::Last},
                          raster::ColorSpace::sRGB(), std::vector<std::uint8_t>(4, 0));
  return write(failurePath(stamp.uri), stamp, marker, 0, 0);
}

bool ThumbnailCache::write(const std::string& path, const ThumbnailStamp& stamp,
                           const raster::ImageRef& image, std::int64_t sourceWidth,
                           std::int64_t sourceHeight) const {
  if (!makeParentFolders(path)) {
    foundation::log("thumbnails: cannot make the folder of {}", path);
    return false;
  }
  auto destination = imageio::ImageDestination::create(path, "public.png", 1);
  if (!destination) return false;
  foundation::Dictionary texts;
  texts.set("Thumb::URI", stamp.uri);
  texts.set("Thumb::MTime", std::to_string(stamp.mtime));
  texts.set("Thumb::Size", std::to_string(stamp.size));
  if (sourceWidth > 0 && sourceHeight > 0) {
    texts.set("Thumb::Image::Width", std::to_string(sourceWidth));
    texts.set("Thumb::Image::Height", std::to_string(sourceHeight));
  }
  texts.set("Software", std::string(kSoftware));
  foundation::Dictionary properties;
  properties.set("{PNG}", foundation::Value(std::move(texts)));
  destination->addImage(image, foundation::Value(std::move(properties)));
  if (!destination->finalize()) {
    foundation::log("thumbnails: cannot write {}", path);
    return false;
  }
  // The thumbnail folders are made owner-only, so others never saw the file.
  ::chmod(path.c_str(), 0600);
  return true;
}

}  // namespace desktop

#include "preview/list_sorting.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>

#include "engine/image_date.h"
#include "platform/foundation/files.h"
#include "platform/foundation/locale_compare.h"
#include "platform/imageio/image_source.h"

namespace velumar {

namespace {

using foundation::Value;
namespace fs = std::filesystem;

std::optional<foundation::Date> modificationDateOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return foundation::Date(std::chrono::duration_cast<foundation::Date::duration>(
      std::chrono::seconds(status.st_mtim.tv_sec) + std::chrono::nanoseconds(status.st_mtim.tv_nsec)));
}

std::int64_t fileSizeOf(const std::string& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  return error ? 0 : std::int64_t(size);
}

// Reads every entry's key once, then orders by it; `less` sees keys only.
template <typename Key, typename Less>
OrganizedURLList sortByKey(const OrganizedURLList& entries,
                           const std::function<Key(const std::string&)>& read, Less less) {
  std::vector<std::pair<Key, OrganizedURLRef>> keyed;
  keyed.reserve(entries.size());
  for (const auto& entry : entries) keyed.emplace_back(read ? read(entry->path) : Key{}, entry);
  // Missing dates compare equal to everything, which is no strict weak order:
  // a merge sort stays inside the range whatever the comparator answers.
  std::stable_sort(keyed.begin(), keyed.end(),
                   [&](const auto& a, const auto& b) { return less(a.first, b.first); });
  OrganizedURLList sorted;
  sorted.reserve(keyed.size());
  for (auto& [key, entry] : keyed) sorted.push_back(std::move(entry));
  return sorted;
}

bool earlierWhenBothKnown(const std::optional<foundation::Date>& a,
                          const std::optional<foundation::Date>& b) {
  return a && b && *a < *b;
}

std::string extensionOf(const OrganizedURL& entry) {
  const std::string extension = fs::path(entry.path).extension().string();
  return extension.empty() ? extension : extension.substr(1);
}

}  // namespace

SortKeyReaders SortKeyReaders::fromDisk() {
  return {dateForUrl, modificationDateOf, foundation::creationDate, fileSizeOf, pixelCountForUrl};
}

bool readsFiles(SortOrder order) {
  return order != SortOrder::Name && order != SortOrder::Format && order != SortOrder::None;
}

bool sortsInBackground(SortOrder order, std::size_t count) {
  return readsFiles(order) && count > kForegroundSortLimit;
}

OrganizedURLList sortedEntries(OrganizedURLList entries, SortOrder order, bool ascending,
                               const SortKeyReaders& readers) {
  using DateReader = std::function<std::optional<foundation::Date>(const std::string&)>;
  const auto byDate = [&](const DateReader& read) { return sortByKey(entries, read, earlierWhenBothKnown); };
  const auto bySize = [&](const std::function<std::int64_t(const std::string&)>& read) {
    return sortByKey(entries, read, std::less<std::int64_t>());
  };
  switch (order) {
    case SortOrder::Name:
      std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return foundation::compareFileNames(a->fileName(), b->fileName()) < 0;
      });
      break;
    case SortOrder::Format:
      std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return foundation::compareFileNames(extensionOf(*a), extensionOf(*b)) < 0;
      });
      break;
    case SortOrder::ExifDate:
      entries = byDate(readers.exifDate);
      break;
    case SortOrder::ModificationDate:
      entries = byDate(readers.modificationDate);
      break;
    case SortOrder::CreationDate:
      entries = byDate(readers.creationDate);
      break;
    case SortOrder::FileSize:
      entries = bySize(readers.fileSize);
      break;
    case SortOrder::PixelDimensions:
      entries = bySize(readers.pixelCount);
      break;
    case SortOrder::None:
      break;
  }
  if (!ascending) std::reverse(entries.begin(), entries.end());
  return entries;
}

std::optional<foundation::Date> dateForUrl(const std::string& path) {
  const auto source = imageio::ImageSource::open(path);
  if (!source) return std::nullopt;
  return imageDate(*source, path);
}

std::int64_t pixelCountForUrl(const std::string& path) {
  const auto source = imageio::ImageSource::open(path);
  if (!source) return 0;
  const Value properties = source->properties(0);
  const auto dimension = [&](const char* key) {
    const Value* value = properties.get(key);
    const double number = value ? value->doubleOr(0) : 0;
    // Truncated like the key's integer conversion; out-of-range values count 0.
    return number >= 0 && number < 1e9 ? std::int64_t(number) : std::int64_t(0);
  };
  return dimension("PixelWidth") * dimension("PixelHeight");
}

}  // namespace velumar

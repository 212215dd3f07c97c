#pragma once
// Sorting the preview list by one of seven keys. Each file's key is read
// once per sort; entries whose key cannot be read sort as the key rules say
// (dates: equal to everything, sizes: 0). The sort is stable.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/value.h"
#include "preview/organized_url.h"

namespace velumar {

// Codes as recorded in lastOrder.
enum class SortOrder : int {
  None = -1,
  Name = 0,
  ExifDate = 1,
  ModificationDate = 2,
  CreationDate = 3,
  Format = 4,
  FileSize = 5,
  PixelDimensions = 6,
};

// Readers of the file-based keys; the defaults read the disk.
struct SortKeyReaders {
  std::function<std::optional<foundation::Date>(const std::string&)> exifDate;
  std::function<std::optional<foundation::Date>(const std::string&)> modificationDate;
  std::function<std::optional<foundation::Date>(const std::string&)> creationDate;
  std::function<std::int64_t(const std::string&)> fileSize;
  std::function<std::int64_t(const std::string&)> pixelCount;

  static SortKeyReaders fromDisk();
};

// Lists longer than this are sorted by file-based keys in the background.
inline constexpr std::size_t kForegroundSortLimit = 100;

// Name and format compare strings; the other keys read each file.
bool readsFiles(SortOrder order);
bool sortsInBackground(SortOrder order, std::size_t count);

// The entries in the order of the key, reversed when descending.
OrganizedURLList sortedEntries(OrganizedURLList entries, SortOrder order, bool ascending,
                               const SortKeyReaders& readers);

// The date the picture was taken: the EXIF original date, else the
// digitised date; a date that does not parse gives none. Without either
// (or without EXIF), the file's creation date.
std::optional<foundation::Date> dateForUrl(const std::string& path);
// Width times height of image 0 (each truncated); 0 when unreadable.
std::int64_t pixelCountForUrl(const std::string& path);

}  // namespace velumar

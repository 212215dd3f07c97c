#pragma once
// One cell of the library grid: a list entry with its title and the
// subtitle "W x H, ext". The pixel size comes from the thumbnail loader, so
// the grid never reads a file on the main thread; until then the subtitle
// is the extension alone.

#include <cstdint>
#include <optional>
#include <string>

#include "preview/organized_url.h"

namespace velumar {

struct BrowserOrganizedURL {
  OrganizedURLRef organizedURL;  // a copy of the list entry
  std::string path;
  // Raised when the file was overwritten, so the grid reloads its thumbnail.
  std::uint64_t version = 0;
  double width = 0, height = 0;  // upright pixel size, 0 until known
  // The file's extension, or its detected type, or "--"; unset until known.
  std::optional<std::string> extension;
  std::optional<std::string> subtitleInfo;

  static BrowserOrganizedURL withEntry(const OrganizedURL& entry);

  const std::string& imageUID() const { return path; }
  // The file name without its extension.
  std::string imageTitle() const;
  // The subtitle, cached once the file's size is known.
  std::string imageSubtitle();
  // Takes what the thumbnail loader read: the upright size and, for files
  // without an extension, their detected type ("" when none).
  void setImageInfo(std::int64_t pixelWidth, std::int64_t pixelHeight, const std::string& detectedType);
  // Forgets the subtitle and raises the version (the file was overwritten).
  void markOverwritten();

 private:
  bool sized_ = false;
};

// "%ld x %ld, %@" when both sides are positive, else the extension alone.
std::string browserSubtitle(double width, double height, const std::string& extension);

}  // namespace velumar

#include "preview/image_browser_item.h"

#include <cmath>
#include <filesystem>

namespace velumar {

namespace {

std::string extensionOf(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  return extension.empty() ? std::string() : extension.substr(1);
}

}  // namespace

std::string browserSubtitle(double width, double height, const std::string& extension) {
  if (width > 0 && height > 0 && std::isfinite(width) && std::isfinite(height))
    return std::to_string(std::int64_t(width)) + " x " + std::to_string(std::int64_t(height)) + ", " +
           extension;
  return extension;
}

BrowserOrganizedURL BrowserOrganizedURL::withEntry(const OrganizedURL& entry) {
  BrowserOrganizedURL item;
  item.organizedURL = entry.copy();
  item.path = entry.path;
  return item;
}

std::string BrowserOrganizedURL::imageTitle() const {
  return std::filesystem::path(path).stem().string();
}

std::string BrowserOrganizedURL::imageSubtitle() {
  if (subtitleInfo) return *subtitleInfo;
  if (!sized_) {
    // Until the loader has read the file: the extension alone, not cached.
    const std::string own = extensionOf(path);
    return own.empty() ? std::string("--") : own;
  }
  subtitleInfo = browserSubtitle(width, height, extension.value_or("--"));
  return *subtitleInfo;
}

void BrowserOrganizedURL::setImageInfo(std::int64_t pixelWidth, std::int64_t pixelHeight,
                                       const std::string& detectedType) {
  width = double(pixelWidth);
  height = double(pixelHeight);
  const std::string own = extensionOf(path);
  extension = !own.empty() ? own : !detectedType.empty() ? detectedType : std::string("--");
  sized_ = true;
  subtitleInfo.reset();
}

void BrowserOrganizedURL::markOverwritten() {
  subtitleInfo.reset();
  sized_ = false;
  ++version;
}

}  // namespace velumar

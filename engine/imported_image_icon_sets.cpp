// Icon outputs: an ICNS file, the Xcode and iOS icon-set folders and the
// @2x folder. Every set starts from one master bitmap drawn once from the
// source (with the icon look when asked); every other size is scaled down
// from the master.

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <system_error>

#include "engine/icon_look.h"
#include "engine/icon_set_files.h"
#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/image_destination.h"
#include "platform/imageio/unnamed_file.h"

namespace velumar {

using foundation::Dictionary;
using foundation::Value;

namespace {

constexpr const char* kTypeICNS = "com.apple.icns";
constexpr std::int64_t kMasterPixels = 1024;

// The point sizes of an ICNS file, each written as a 144-dpi @2x image and
// a 72-dpi one; the 64-pixel image is the 32-point @2x entry.
constexpr std::array<std::int64_t, 5> kIcnsPointSizes{512, 256, 128, 32, 16};

std::string baseNameOf(const std::string& path) {
  return std::filesystem::path(path).stem().string();
}

// The folder an icon set goes into, beside the output path; created unless
// overwriting into an existing folder. Nothing when it cannot be made.
std::optional<std::string> iconSetFolder(const std::string& path, const std::string& suffix, bool overwrite) {
  const std::filesystem::path output(path);
  std::string folder = (output.parent_path() / (baseNameOf(path) + suffix)).string();
  std::error_code error;
  if (!overwrite)
    folder = ImportedImage::verifyIOSPathName(folder);
  else if (std::filesystem::is_directory(folder, error))
    return folder;
  if (!std::filesystem::create_directory(folder, error) || error) {
    foundation::log("icon set: cannot create folder {}: {}", folder,
                    error ? error.message() : std::string("something else is in its place"));
    return std::nullopt;
  }
  return folder;
}

// A pixels × pixels copy of master; nullptr when it cannot be made.
BitmapRepRef scaledIcon(const BitmapRepRef& master, std::int64_t pixels) {
  auto rep = ImportedImage::createNewBmpImageRep(pixels, pixels, 1.0, true);
  if (rep) ImportedImage::drawInBmpRep(rep, master, raster::Rect(0, 0, double(pixels), double(pixels)));
  return rep;
}

// The 1024-pixel master of the icon sets: source fitted and centred.
BitmapRepRef iconMaster(const BitmapRepRef& source, bool rounded, bool shadow) {
  auto master = ImportedImage::createNewBmpImageRep(kMasterPixels, kMasterPixels, 1.0, true);
  if (!master) return nullptr;
  const raster::Rect rect = ImportedImage::calcRectFromRect(
      raster::Rect(0, 0, double(source->pixelsWide()), double(source->pixelsHigh())),
      raster::Rect(0, 0, double(kMasterPixels), double(kMasterPixels)), 1.0);
  ImportedImage::drawInRoundedBmpRep(master, source, rect, 1.0, rounded, shadow);
  return master;
}

bool usable(const BitmapRepRef& rep) {
  return rep && rep->image() && rep->pixelsWide() > 0 && rep->pixelsHigh() > 0;
}

}  // namespace

std::string ImportedImage::verifyIOSPathName(const std::string& path) {
  return foundation::freeNameAppendingNumber(path);
}

raster::Rect ImportedImage::calcRectFromRect(raster::Rect source, raster::Rect target, double scaling) {
  const float widthRatio = float((target.size.width / scaling) / source.size.width);
  const float heightRatio = float((target.size.height / scaling) / source.size.height);
  const double m = heightRatio < widthRatio ? heightRatio : widthRatio;
  const double width = scaling * m * source.size.width, height = scaling * m * source.size.height;
  return raster::Rect((target.size.width - width) / 2, (target.size.height - height) / 2, width, height);
}

void ImportedImage::drawInBmpRep(const BitmapRepRef& destination, const BitmapRepRef& source,
                                 raster::Rect rect) {
  if (!destination || !usable(source)) return;
  auto context = destination->makeContext();
  if (!context) return;
  context->setInterpolationQuality(raster::InterpolationQuality::High);
  context->drawImage(source->image(), rect);
  destination->setImage(context->makeImage());
}

void ImportedImage::drawInRoundedBmpRep(const BitmapRepRef& destination, const BitmapRepRef& source,
                                        raster::Rect rect, double dpiFactor, bool addRoundedRect,
                                        bool addShadow) {
  if (!destination || !usable(source)) return;
  auto context = destination->makeContext();
  if (!context) return;
  context->clearRect(raster::Rect(0, 0, double(context->width()), double(context->height())));
  context->setInterpolationQuality(raster::InterpolationQuality::High);
  icon_look::drawImage(*context, source->image(), rect, dpiFactor, addRoundedRect, addShadow);
  destination->setImage(context->makeImage());
}

Dictionary ImportedImage::createDictionaryWithDpiW(double dpiWidth, double dpiHeight) {
  Dictionary dictionary;
  dictionary.set("DPIWidth", Value(dpiWidth));
  dictionary.set("DPIHeight", Value(dpiHeight));
  return dictionary;
}

bool ImportedImage::saveIcnsFromImageRep(const BitmapRepRef& rep, const std::string& path,
                                         bool addRoundedCorners, bool addShadow) {
  if (!usable(rep)) return false;
  auto destination = imageio::ImageDestination::create(path, kTypeICNS, 2 * kIcnsPointSizes.size());
  if (!destination) return false;
  const BitmapRepRef master = iconMaster(rep, addRoundedCorners, addShadow);
  if (!master) return false;
  // Index 2i is point size i at 2x, 2i + 1 the same at 1x.
  std::array<BitmapRepRef, 2 * kIcnsPointSizes.size()> icons;
  foundation::parallelFor(0, std::int64_t(icons.size()), [&](std::int64_t i) {
    const std::int64_t pixels = kIcnsPointSizes[std::size_t(i / 2)] * (i % 2 == 0 ? 2 : 1);
    icons[std::size_t(i)] = pixels == kMasterPixels ? master : scaledIcon(master, pixels);
  });
  const Value retina(createDictionaryWithDpiW(144, 144)), standard(createDictionaryWithDpiW(72, 72));
  for (std::size_t i = 0; i < icons.size(); ++i) {
    if (!icons[i]) return false;
    destination->addImage(icons[i]->image(), i % 2 == 0 ? retina : standard);
  }
  if (!destination->finalize()) return false;
  urlsArray.push_back(imageio::committedPath(path));
  return true;
}

namespace {

// Writes an icon-set folder: the first file is the master, the others are
// scaled from it; every file is tried. The folder when all were written.
std::optional<std::string> writeIconSet(const BitmapRepRef& source, const std::string& path, bool overwrite,
                                        bool rounded, bool shadow, const std::string& suffix,
                                        std::span<const IconFile> files) {
  if (!usable(source)) return std::nullopt;
  const auto folder = iconSetFolder(path, suffix, overwrite);
  if (!folder) return std::nullopt;
  const BitmapRepRef master = iconMaster(source, rounded, shadow);
  std::vector<char> written(files.size(), 0);
  foundation::parallelFor(0, std::int64_t(files.size()), [&](std::int64_t i) {
    const IconFile& file = files[std::size_t(i)];
    const BitmapRepRef icon = i == 0 ? master : scaledIcon(master, file.pixels);
    written[std::size_t(i)] = writers::writePlainPNG(icon, *folder + "/" + file.name);
  });
  if (!std::all_of(written.begin(), written.end(), [](char ok) { return ok != 0; })) return std::nullopt;
  return folder;
}

}  // namespace

bool ImportedImage::saveXcodeIconsetFromImageRep(const BitmapRepRef& rep, const std::string& path,
                                                 bool overwrite, bool addRoundedCorners, bool addShadow) {
  const auto folder =
      writeIconSet(rep, path, overwrite, addRoundedCorners, addShadow, "_Xcode Iconset", kXcodeFiles);
  if (folder) urlsArray.push_back(*folder);
  return folder.has_value();
}

bool ImportedImage::saveIOSIconsetFromImageRep(const BitmapRepRef& rep, const std::string& path,
                                               bool overwrite, bool addRoundedCorners, bool addShadow) {
  const auto folder =
      writeIconSet(rep, path, overwrite, addRoundedCorners, addShadow, "_iOS Icons", kIOSFiles);
  if (folder) urlsArray.push_back(*folder);
  return folder.has_value();
}

bool ImportedImage::saveXcode2XSetFromImageRep(const BitmapRepRef& rep, const std::string& path,
                                               bool overwrite, bool addRoundedCorners, bool addShadow) {
  if (!usable(rep)) return false;
  const auto folder = iconSetFolder(path, "_Xcode @2X", overwrite);
  if (!folder) return false;
  const std::int64_t width = rep->pixelsWide(), height = rep->pixelsHigh();
  const std::string base = *folder + "/" + baseNameOf(path);
  const BitmapRepRef master = createNewBmpImageRep(width, height, 1.0, true);
  if (master) {
    drawInRoundedBmpRep(master, rep, raster::Rect(0, 0, double(width), double(height)), 1.0,
                        addRoundedCorners, addShadow);
  }
  const bool masterWritten = writers::writePlainPNG(master, base + "@2x.png");
  // A source one pixel wide or high has no half-size copy: that file fails.
  BitmapRepRef half = master ? createNewBmpImageRep(width / 2, height / 2, 1.0, true) : nullptr;
  if (half) drawInBmpRep(half, master, raster::Rect(0, 0, double(width / 2), double(height / 2)));
  const bool halfWritten = writers::writePlainPNG(half, base + ".png");
  if (!masterWritten || !halfWritten) return false;
  urlsArray.push_back(*folder);
  return true;
}

}  // namespace velumar

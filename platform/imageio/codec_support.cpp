#include "platform/imageio/codec_support.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/color/icc_profile.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/imageio/pixel_convert.h"

namespace imageio {

foundation::Dictionary basicProperties(std::int64_t width, std::int64_t height, int depth,
                                       int colorComponents, bool hasAlpha,
                                       const std::vector<std::uint8_t>* iccProfile) {
  foundation::Dictionary d;
  d.set("PixelWidth", width);
  d.set("PixelHeight", height);
  d.set("Depth", depth);
  d.set("ColorModel", colorModelName(colorComponents));
  d.set("HasAlpha", hasAlpha);
  if (iccProfile != nullptr && !iccProfile->empty()) {
    if (auto profile = color::IccProfile::fromData(*iccProfile)) d.set("ProfileName", profile->description());
  }
  return d;
}

void setDpi(foundation::Dictionary& properties, double x, double y) {
  properties.set("DPIWidth", x);
  properties.set("DPIHeight", y);
}

std::optional<Resolution> frameResolution(const foundation::Value& properties) {
  const auto* w = properties.get("DPIWidth");
  const auto* h = properties.get("DPIHeight");
  if (w != nullptr && w->toDouble() && *w->toDouble() > 0) {
    const double x = *w->toDouble();
    const double y = (h != nullptr && h->toDouble() && *h->toDouble() > 0) ? *h->toDouble() : x;
    return Resolution{x, y};
  }
  const auto* xr = properties.get({"{TIFF}", "XResolution"});
  const auto* yr = properties.get({"{TIFF}", "YResolution"});
  if (xr != nullptr && xr->toDouble() && *xr->toDouble() > 0) {
    double x = *xr->toDouble();
    double y = (yr != nullptr && yr->toDouble() && *yr->toDouble() > 0) ? *yr->toDouble() : x;
    const auto* unit = properties.get({"{TIFF}", "ResolutionUnit"});
    if (unit != nullptr && unit->intOr(2) == 3) {
      x *= 2.54;
      y *= 2.54;
    }
    return Resolution{x, y};
  }
  return std::nullopt;
}

int frameOrientation(const foundation::Value& properties) {
  const auto* o = properties.get("Orientation");
  if (o == nullptr) o = properties.get({"{TIFF}", "Orientation"});
  const std::int64_t value = o != nullptr ? o->intOr(1) : 1;
  return value >= 1 && value <= 8 ? int(value) : 1;
}

std::vector<std::uint8_t> iccOf(const raster::Image& image) {
  const auto& space = image.colorSpace();
  if (!space || !space->profile()) return {};
  return space->profile()->data();
}

std::string absolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

std::optional<std::vector<std::uint8_t>> readFileBytes(const std::string& path) {
  auto bytes = foundation::readFile(path, std::size_t(4) << 30);
  if (!bytes) foundation::log("imageio: cannot read {}", path);
  return bytes;
}

bool writeFileBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) {
    foundation::log("imageio: cannot create {}", path);
    return false;
  }
  if (size > 0 && std::fwrite(data, 1, size, file.get()) != size) {
    foundation::log("imageio: write to {} failed", path);
    return false;
  }
  if (std::fclose(file.release()) != 0) {
    foundation::log("imageio: write to {} failed", path);
    return false;
  }
  return true;
}

}  // namespace imageio

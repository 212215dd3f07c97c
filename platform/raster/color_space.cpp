#include "platform/raster/color_space.h"

#include <array>
#include <mutex>

namespace raster {

namespace {

ColorModel modelOf(color::Model model) {
  switch (model) {
    case color::Model::Gray:
      return ColorModel::Gray;
    case color::Model::RGB:
      return ColorModel::RGB;
    case color::Model::CMYK:
      return ColorModel::CMYK;
    case color::Model::Lab:
      return ColorModel::Lab;
    default:
      return ColorModel::Unknown;
  }
}

}  // namespace

ColorSpaceRef ColorSpace::withProfile(color::ProfileRef profile) {
  if (!profile) return nullptr;
  ColorModel model = modelOf(profile->model());
  if (model == ColorModel::Unknown) return nullptr;
  std::string name = profile->description();
  if (name.empty()) name = "Untitled profile";
  return std::make_shared<const ColorSpace>(model, std::move(profile), std::move(name));
}

ColorSpaceRef ColorSpace::named(color::NamedProfile which) {
  constexpr std::size_t count = std::size_t(color::NamedProfile::GenericCMYK) + 1;
  static std::mutex mutex;
  static std::array<ColorSpaceRef, count> spaces;
  auto index = std::size_t(which);
  if (index >= count) return nullptr;
  std::lock_guard lock(mutex);
  if (!spaces[index]) spaces[index] = withProfile(color::IccProfile::named(which));
  return spaces[index];
}

int ColorSpace::components() const {
  switch (model_) {
    case ColorModel::Gray:
      return 1;
    case ColorModel::RGB:
    case ColorModel::Lab:
      return 3;
    case ColorModel::CMYK:
      return 4;
    default:
      return 0;
  }
}

}  // namespace raster

#include "engine/color_space_menu.h"

#include <algorithm>

#include "engine/imported_image.h"

namespace velumar {

namespace {

constexpr std::int64_t kFirstProfileItem = 8;
constexpr std::int64_t kGrayModel = 0, kRGBModel = 1, kCMYKModel = 2;

}  // namespace

bool searchColorSpaceModelForDescription(const std::string& description, const Profile::List& profiles) {
  return std::any_of(profiles.begin(), profiles.end(), [&](const std::shared_ptr<Profile>& profile) {
    if (!profile) return false;
    const std::optional<std::string> own = profile->description();
    return own && *own == description;
  });
}

std::int64_t selectColorSpaceModelFromColorSpace(std::int64_t& colorSpace,
                                                 const std::optional<std::string>& itemTitle,
                                                 const Profile::List& profilesRGB,
                                                 const Profile::List& profilesGray,
                                                 const Profile::List& profilesCMYK) {
  if (colorSpace >= 1 && colorSpace <= 3) return kRGBModel;
  if (colorSpace == 4 || colorSpace == 5) return kCMYKModel;
  if (colorSpace == 6 || colorSpace == 7) return kGrayModel;
  if (colorSpace >= kFirstProfileItem && itemTitle) {
    if (searchColorSpaceModelForDescription(*itemTitle, profilesRGB)) return kRGBModel;
    if (searchColorSpaceModelForDescription(*itemTitle, profilesGray)) return kGrayModel;
    if (searchColorSpaceModelForDescription(*itemTitle, profilesCMYK)) return kCMYKModel;
  }
  colorSpace = 0;
  return kRGBModel;
}

std::int64_t selectColorSpaceModelFromColorSpace(std::int64_t& colorSpace, const ImportedImage& engine) {
  std::optional<std::string> title;
  if (colorSpace >= kFirstProfileItem) {
    const std::uint64_t index = std::uint64_t(colorSpace - kFirstProfileItem);
    if (index < engine.profiles.size() && engine.profiles[index])
      title = engine.profiles[index]->description();
  }
  return selectColorSpaceModelFromColorSpace(colorSpace, title, engine.profilesRGB, engine.profilesGray,
                                             engine.profilesCMYK);
}

}  // namespace velumar

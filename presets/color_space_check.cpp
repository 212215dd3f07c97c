#include "presets/color_space_check.h"

#include "platform/foundation/locale_compare.h"

namespace velumar {

namespace {

bool hasDescription(const std::shared_ptr<Profile>& profile, const std::string& description) {
  if (!profile) return false;
  const std::optional<std::string> own = profile->description();
  return own && foundation::localizedEqual(*own, description);
}

}  // namespace

void verifyColorSpaceForIndex(std::int64_t& colorSpace, const std::optional<std::string>& description,
                              const Profile::List& profiles, std::size_t menuItemCount) {
  if (colorSpace < kFirstProfileMenuItem) return;
  const std::uint64_t stored = std::uint64_t(colorSpace - kFirstProfileMenuItem);
  if (!description || description->empty() || stored >= profiles.size()) {
    colorSpace = 0;
    return;
  }
  if (hasDescription(profiles[stored], *description)) return;
  colorSpace = 0;
  for (std::size_t i = 0; i < profiles.size(); ++i) {
    if (!hasDescription(profiles[i], *description)) continue;
    const std::uint64_t item = std::uint64_t(kFirstProfileMenuItem) + i;
    if (item < menuItemCount) colorSpace = std::int64_t(item);
    return;
  }
}

}  // namespace velumar

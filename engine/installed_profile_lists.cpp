#include "engine/installed_profile_lists.h"

#include <algorithm>
#include <set>

#include "engine/imported_image.h"
#include "engine/profile.h"

namespace velumar {

namespace {

bool listed(const Profile::List& list, const Profile& profile) {
  return std::any_of(list.begin(), list.end(),
                     [&](const std::shared_ptr<Profile>& entry) { return entry && *entry == profile; });
}

}  // namespace

std::vector<std::string> fillInstalledProfileLists(ImportedImage& engine,
                                                   const std::vector<std::string>& takenTitles) {
  engine.profilesRGB = Profile::arrayOfAllProfilesWithSpace(color::fourCC("RGB "));
  engine.profilesGray = Profile::arrayOfAllProfilesWithSpace(color::fourCC("GRAY"));
  engine.profilesCMYK = Profile::arrayOfAllProfilesWithSpace(color::fourCC("CMYK"));
  std::set<std::string> titles(takenTitles.begin(), takenTitles.end());
  std::vector<std::string> added;
  engine.profiles.clear();
  for (const std::shared_ptr<Profile>& profile : Profile::arrayOfAllProfiles()) {
    if (!profile) continue;
    const std::optional<std::string> description = profile->description();
    if (!description || description->empty()) continue;
    if (!listed(engine.profilesRGB, *profile) && !listed(engine.profilesGray, *profile) &&
        !listed(engine.profilesCMYK, *profile))
      continue;
    if (!titles.insert(*description).second) continue;
    engine.profiles.push_back(profile);
    added.push_back(*description);
  }
  return added;
}

}  // namespace velumar

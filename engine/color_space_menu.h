#pragma once
// The converter's colour-space menu: item 0 keeps the source's space, items
// 1 to 7 are the named spaces (1 to 3 RGB, 4 and 5 CMYK, 6 and 7 gray), and
// from item 8 on each item is an installed profile titled with its
// description. The colour model a conversion uses follows from the item.

#include <cstdint>
#include <optional>
#include <string>

#include "engine/profile.h"

namespace velumar {

class ImportedImage;

// Whether a profile of the list has the description.
bool searchColorSpaceModelForDescription(const std::string& description, const Profile::List& profiles);

// The colour model (0 gray, 1 RGB, 2 CMYK) of menu item colorSpace whose
// title is itemTitle (read for items from 8 on): profiles named by the
// title are looked for among the RGB, then gray, then CMYK profiles. Items
// 0 and below, and profile items whose title none of the lists holds, set
// colorSpace to 0 and answer 1.
std::int64_t selectColorSpaceModelFromColorSpace(std::int64_t& colorSpace,
                                                 const std::optional<std::string>& itemTitle,
                                                 const Profile::List& profilesRGB,
                                                 const Profile::List& profilesGray,
                                                 const Profile::List& profilesCMYK);

// The same for the engine's menu: item 8 + i is titled with the description
// of the engine's profiles entry i.
std::int64_t selectColorSpaceModelFromColorSpace(std::int64_t& colorSpace, const ImportedImage& engine);

}  // namespace velumar

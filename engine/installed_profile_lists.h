#pragma once
// The engine's lists of installed profiles, filled once when a converter
// window wakes: the RGB, gray and CMYK display and printer profiles, and
// the profiles that get a colour-space menu item of their own.

#include <string>
#include <vector>

namespace velumar {

class ImportedImage;

// Fills profilesRGB, profilesGray and profilesCMYK, then profiles: each
// installed profile of those lists, in the installed order, whose
// description is not yet a title of the menu (takenTitles, the fixed
// items, or an earlier profile). Answers the new items' titles.
std::vector<std::string> fillInstalledProfileLists(ImportedImage& engine,
                                                   const std::vector<std::string>& takenTitles);

}  // namespace velumar

#pragma once
// Keeps a stored colour-space menu index pointing at the installed profile
// it was saved with, although the installed list may have changed since.

#include <cstdint>
#include <optional>
#include <string>

#include "engine/profile.h"

namespace velumar {

// The first menu item that names an installed profile.
inline constexpr std::int64_t kFirstProfileMenuItem = 8;

// Leaves indexes below 8 alone. From 8 on: no (or an empty) description, or
// an index past the installed profiles, gives 0; a profile at index - 8 with
// that description (equal in the user's locale) keeps the index; else the
// index moves to 8 + the position of the first profile with the description,
// or to 0 when none has it or that item is not below menuItemCount.
void verifyColorSpaceForIndex(std::int64_t& colorSpace, const std::optional<std::string>& description,
                              const Profile::List& profiles, std::size_t menuItemCount);

}  // namespace velumar

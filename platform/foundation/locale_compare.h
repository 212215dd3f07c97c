#pragma once
// Comparison of user-visible names in the user's locale: preset titles and
// profile descriptions are matched the way the user reads them.

#include <string_view>

namespace foundation {

// True when a and b (UTF-8) collate equal in the user's locale at tertiary
// strength: case and accents count, canonically equivalent spellings of one
// text are equal. Without a usable collator, answers plain byte equality.
bool localizedEqual(std::string_view a, std::string_view b);

}  // namespace foundation

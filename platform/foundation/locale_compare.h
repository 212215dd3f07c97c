#pragma once
// Comparison of user-visible names in the user's locale: preset titles and
// profile descriptions are matched the way the user reads them, file names,
// folders and menu titles are ordered the way a file manager lists them.

#include <string_view>

namespace foundation {

// True when a and b (UTF-8) collate equal in the user's locale at tertiary
// strength: case and accents count, canonically equivalent spellings of one
// text are equal. Without a usable collator, answers plain byte equality.
bool localizedEqual(std::string_view a, std::string_view b);

// Orders file names, folder names and menu titles (UTF-8, or any bytes) in
// the user's locale: case- and accent-insensitive first, digit runs as
// numbers ("img2" before "img10"); names equal so far are ordered by case
// and accents, then by their bytes, so the order is total. Answers <0, 0
// (only for identical bytes) or >0.
int compareFileNames(std::string_view a, std::string_view b);

}  // namespace foundation

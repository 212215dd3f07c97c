#pragma once
// Images whose data a decoder found damaged, by file and image index. A
// damaged image met again (the batch's look-ahead, the loop, a fallback
// loader) fails at once, with the same cause and no second report, until
// the file changes.

#include <cstddef>
#include <string>

namespace imageio {

bool isKnownDamaged(const std::string& path, std::size_t index);
void rememberDamaged(const std::string& path, std::size_t index);

}  // namespace imageio

#pragma once
// How a stored preference value becomes a flag or a number: numbers as
// they are, numeric strings as far as they go ("YES", "true", "1" are on;
// " 42abc" is 42), anything else is no value and the caller's default
// applies.

#include <cstdint>
#include <optional>

#include "platform/foundation/value.h"

namespace velumar {

// A string is on when its first non-space character is Y, y, T, t or 1-9.
std::optional<bool> preferenceBool(const std::optional<foundation::Value>& value);
// A string gives its leading integer (spaces, an optional sign, digits);
// none or one out of range is no value. Reals are truncated.
std::optional<std::int64_t> preferenceInteger(const std::optional<foundation::Value>& value);

}  // namespace velumar

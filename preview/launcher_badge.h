#pragma once
// The number of listed images on the application's launcher icon: the
// com.canonical.Unity.LauncherEntry "Update" signal on the session bus,
// which the docks and panels of several desktops show as a badge.

#include <cstdint>
#include <optional>

namespace velumar {

inline constexpr const char* kLauncherEntryPath = "/com/velumar/LauncherEntry";
inline constexpr const char* kLauncherEntryInterface = "com.canonical.Unity.LauncherEntry";

// Shows count on the badge; none removes it. false without a session bus.
bool setLauncherBadge(std::optional<std::int64_t> count);

}  // namespace velumar

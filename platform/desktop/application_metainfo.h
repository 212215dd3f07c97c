#pragma once
// The version of an installed application as its AppStream metainfo file
// names it: desktop entries carry none. The file is "<id>.metainfo.xml" (or
// the older "<id>.appdata.xml") in the "metainfo" (or older "appdata")
// folder of a data folder; its newest <release version="..."> is the
// version. Files are read up to a fixed size, and anything malformed gives
// no version.

#include <string>
#include <string_view>

namespace desktop {

// The version of the newest release a metainfo file lists, by version order
// ("2.10" after "2.9"); empty when it lists none, is not well formed or is
// too large.
std::string newestReleaseVersion(const std::string& metainfoFile);

// The version of the application with this desktop-file id, from the first
// metainfo file found in the user's data folder, then the system data
// folders; empty when there is none.
std::string applicationVersion(std::string_view desktopId);

}  // namespace desktop

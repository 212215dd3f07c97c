#pragma once
// The version of an installed application as its AppStream metainfo file
// names it: desktop entries carry none. The file is "<id>.metainfo.xml" (or
// the older "<id>.appdata.xml") in the "metainfo" (or older "appdata")
// folder of a data folder, or any such file whose component id or desktop
// launchable names the application. Files above a fixed size are refused
// unread, and anything malformed gives no version.

#include <string>
#include <string_view>
#include <vector>

namespace desktop {

// What a metainfo file says about its application.
struct Metainfo {
  std::string componentId;              // <id>
  std::vector<std::string> desktopIds;  // <launchable type="desktop-id">
  std::string version;                  // of the newest stable release
};

// Reads a metainfo file; false when it is missing, not well formed or too
// large. The version is the highest, in version order, of the stable
// releases (development releases are left out, as are versions that are
// not plain text: control or format characters such as bidi overrides).
bool readMetainfo(const std::string& metainfoFile, Metainfo& metainfo);

// The version readMetainfo finds; empty when there is none.
std::string newestReleaseVersion(const std::string& metainfoFile);

// Versions of installed applications by desktop-file id, from the same data
// folders the desktop lists applications from (the user's own first). A
// file named after the id wins; otherwise the first file whose component
// id or desktop launchable names it. Every metainfo file is read at most
// once per lookup object, when some id has no file of its own name, and
// all of them together within a fixed number of bytes.
class ApplicationVersions {
 public:
  ApplicationVersions();
  // Empty when no metainfo file names the application or it has no version.
  std::string versionOf(std::string_view desktopId);

 private:
  std::string fileNamedAfter(const std::string& stem, const std::string& desktopId) const;
  void readAllFiles();

  std::vector<std::string> folders_;
  bool readAll_ = false;
  std::vector<Metainfo> all_;
};

}  // namespace desktop

#pragma once
// One ICC colour profile as the engine and the converter see it: the
// profile, where its file lies, its header class and data colour space, its
// description and a colour space made from it. Also lists the installed
// profiles (all, or those of one colour space for the colour-space menus)
// and makes the named standard profiles. Members not known at construction
// are made on first use and kept; a Profile may be shared between threads.

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/color/icc_profile.h"
#include "platform/color/installed_profiles.h"
#include "platform/raster/color_space.h"

namespace velumar {

class Profile {
 public:
  using List = std::vector<std::shared_ptr<Profile>>;

  // Every installed profile, in the installed list's order.
  static List arrayOfAllProfiles();
  // The installed printer and display profiles whose data colour space is
  // space (e.g. color::fourCC("CMYK")), in the same order.
  static List arrayOfAllProfilesWithSpace(color::Signature space);

  // The named profiles; nullptr when the system has no such profile.
  static std::shared_ptr<Profile> profileWithSRGB();
  static std::shared_ptr<Profile> profileWithGenericRGB();
  static std::shared_ptr<Profile> profileWithGenericGray();
  static std::shared_ptr<Profile> profileWithGenericCMYK();
  static std::shared_ptr<Profile> profileWithAdobeRGB();
  static std::shared_ptr<Profile> profileWithGrayGamma2_2();
  // The built-in linear RGB profile: no file, so no path.
  static std::shared_ptr<Profile> profileWithLinearRGB();

  // An entry of the installed list; the profile itself is read on first use.
  static std::shared_ptr<Profile> profileWithIterateData(const color::InstalledProfile& data);
  // The profile in the file at path; nullptr for no path or a file that is
  // not a readable profile.
  static std::shared_ptr<Profile> profileWithPath(const std::optional<std::string>& path);

  // profileWithPath of the paths stored under "DefaultRGBProfile",
  // "DefaultGrayProfile" and "DefaultCMYKProfile" in the user defaults.
  static std::shared_ptr<Profile> profileDefaultRGB();
  static std::shared_ptr<Profile> profileDefaultGray();
  static std::shared_ptr<Profile> profileDefaultCMYK();

  // The profile, read from the file on first use; nullptr when unreadable.
  color::ProfileRef ref() const;
  // The profile's file.
  std::optional<std::filesystem::path> url() const;
  color::Signature classType() const { return mClass; }
  color::Signature spaceType() const { return mSpace; }
  std::optional<std::string> description() const;
  // The file's path; nullopt when the profile has no file.
  std::optional<std::string> path() const;
  // A colour space of the profile, made on first use; nullptr when the
  // profile cannot be read.
  raster::ColorSpaceRef colorspace() const;

  // True when other is a Profile with the same path; profiles without a
  // path equal no profile.
  bool isEqual(const std::shared_ptr<const Profile>& other) const;
  bool operator==(const Profile& other) const;

  // Key-value access by property name ("description", "path", "url",
  // "classType", "spaceType"); any other key goes to valueForUndefinedKey.
  std::optional<std::string> valueForKey(const std::string& key) const;
  // "0" for any key, after writing "Called" to standard output.
  std::string valueForUndefinedKey(const std::string& key) const;

 private:
  Profile() = default;
  static std::shared_ptr<Profile> named(color::NamedProfile which);

  color::ProfileRef refLocked() const;
  std::optional<std::filesystem::path> urlLocked() const;

  mutable std::mutex mMutex;  // guards the members made on first use
  mutable color::ProfileRef mRef;
  mutable raster::ColorSpaceRef mColorspace;
  mutable std::optional<std::filesystem::path> mURL;
  color::Signature mClass = 0;
  color::Signature mSpace = 0;
  mutable std::optional<std::string> mName;
  mutable std::optional<std::string> mPath;
};

}  // namespace velumar

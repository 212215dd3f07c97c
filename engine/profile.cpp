#include "engine/profile.h"

#include <cstdio>

#include "platform/foundation/user_defaults.h"

namespace velumar {

Profile::List Profile::arrayOfAllProfiles() {
  List profiles;
  for (const color::InstalledProfile& entry : color::installedProfiles())
    if (auto profile = profileWithIterateData(entry)) profiles.push_back(std::move(profile));
  return profiles;
}

Profile::List Profile::arrayOfAllProfilesWithSpace(color::Signature space) {
  List matching;
  for (auto& profile : arrayOfAllProfiles()) {
    bool menuClass =
        profile->classType() == color::fourCC("prtr") || profile->classType() == color::fourCC("mntr");
    if (profile->spaceType() == space && profile->description() && menuClass)
      matching.push_back(std::move(profile));
  }
  return matching;
}

// Class and space come from the table of named profiles: every one is a
// display profile, whatever its file's header says.
std::shared_ptr<Profile> Profile::named(color::NamedProfile which) {
  color::ProfileRef ref = color::IccProfile::named(which);
  if (!ref) return nullptr;
  auto profile = std::shared_ptr<Profile>(new Profile());
  profile->mRef = ref;
  if (!ref->path().empty()) profile->mURL = std::filesystem::path(ref->path());
  profile->mClass = color::fourCC("mntr");
  profile->mSpace = ref->dataColorSpace();
  return profile;
}

std::shared_ptr<Profile> Profile::profileWithSRGB() {
  return named(color::NamedProfile::SRGB);
}
std::shared_ptr<Profile> Profile::profileWithGenericRGB() {
  return named(color::NamedProfile::GenericRGB);
}
std::shared_ptr<Profile> Profile::profileWithGenericGray() {
  return named(color::NamedProfile::GenericGray);
}
std::shared_ptr<Profile> Profile::profileWithGenericCMYK() {
  return named(color::NamedProfile::GenericCMYK);
}
std::shared_ptr<Profile> Profile::profileWithAdobeRGB() {
  return named(color::NamedProfile::AdobeRGB1998);
}
std::shared_ptr<Profile> Profile::profileWithGrayGamma2_2() {
  return named(color::NamedProfile::GrayGamma22);
}
std::shared_ptr<Profile> Profile::profileWithLinearRGB() {
  return named(color::NamedProfile::LinearRGB);
}

std::shared_ptr<Profile> Profile::profileWithIterateData(const color::InstalledProfile& data) {
  if (data.path.empty()) return nullptr;
  auto profile = std::shared_ptr<Profile>(new Profile());
  profile->mURL = std::filesystem::absolute(data.path);
  profile->mClass = data.deviceClass;
  profile->mSpace = data.dataColorSpace;
  if (!data.description.empty()) profile->mName = data.description;
  return profile;
}

std::shared_ptr<Profile> Profile::profileWithPath(const std::optional<std::string>& path) {
  if (!path || path->empty()) return nullptr;
  std::error_code error;
  std::filesystem::path file = std::filesystem::absolute(*path, error);
  if (error) return nullptr;
  color::ProfileRef ref = color::IccProfile::fromFile(file.string());
  if (!ref) return nullptr;
  auto profile = std::shared_ptr<Profile>(new Profile());
  profile->mRef = std::move(ref);
  profile->mURL = std::move(file);
  profile->mClass = profile->mRef->deviceClass();
  profile->mSpace = profile->mRef->dataColorSpace();
  return profile;
}

std::shared_ptr<Profile> Profile::profileDefaultRGB() {
  return profileWithPath(foundation::UserDefaults::standard().stringForKey("DefaultRGBProfile"));
}

std::shared_ptr<Profile> Profile::profileDefaultGray() {
  return profileWithPath(foundation::UserDefaults::standard().stringForKey("DefaultGrayProfile"));
}

std::shared_ptr<Profile> Profile::profileDefaultCMYK() {
  return profileWithPath(foundation::UserDefaults::standard().stringForKey("DefaultCMYKProfile"));
}

color::ProfileRef Profile::refLocked() const {
  if (!mRef && mURL) mRef = color::IccProfile::fromFile(mURL->string());
  return mRef;
}

std::optional<std::filesystem::path> Profile::urlLocked() const {
  if (!mURL && mRef && !mRef->path().empty()) mURL = std::filesystem::path(mRef->path());
  return mURL;
}

color::ProfileRef Profile::ref() const {
  std::lock_guard lock(mMutex);
  return refLocked();
}

std::optional<std::filesystem::path> Profile::url() const {
  std::lock_guard lock(mMutex);
  return urlLocked();
}

std::optional<std::string> Profile::description() const {
  std::lock_guard lock(mMutex);
  if (!mName)
    if (color::ProfileRef profile = refLocked()) mName = profile->description();
  return mName;
}

std::optional<std::string> Profile::path() const {
  std::lock_guard lock(mMutex);
  if (!mPath)
    if (auto url = urlLocked()) mPath = url->string();
  return mPath;
}

raster::ColorSpaceRef Profile::colorspace() const {
  std::lock_guard lock(mMutex);
  if (!mColorspace) mColorspace = raster::ColorSpace::withProfile(refLocked());
  return mColorspace;
}

bool Profile::isEqual(const std::shared_ptr<const Profile>& other) const {
  return other && *this == *other;
}

bool Profile::operator==(const Profile& other) const {
  std::optional<std::string> mine = path();
  if (!mine) return false;
  std::optional<std::string> theirs = other.path();
  return theirs && *mine == *theirs;
}

std::optional<std::string> Profile::valueForKey(const std::string& key) const {
  if (key == "description") return description();
  if (key == "path") return path();
  if (key == "url") {
    auto file = url();
    return file ? std::optional<std::string>(file->string()) : std::nullopt;
  }
  if (key == "classType") return std::to_string(classType());
  if (key == "spaceType") return std::to_string(spaceType());
  return valueForUndefinedKey(key);
}

std::string Profile::valueForUndefinedKey(const std::string&) const {
  std::fputs("Called\n", stdout);
  return "0";
}

}  // namespace velumar

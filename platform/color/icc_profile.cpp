#include "platform/color/icc_profile.h"

#include <lcms2.h>

#include <array>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string_view>

#include "platform/color/icc_profile_factory.h"
#include "platform/foundation/files.h"
#include "platform/foundation/keyed_hash.h"
#include "platform/foundation/log.h"

namespace color {
namespace {

// Profiles beyond this size are refused rather than read into memory.
constexpr std::size_t kMaxProfileBytes = 64u << 20;
constexpr std::size_t kHeaderBytes = 128;

std::uint32_t readBigEndian32(const std::uint8_t* bytes) {
  return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) | (std::uint32_t(bytes[2]) << 8) |
         std::uint32_t(bytes[3]);
}

// Cheap sanity check before lcms2 parses the bytes: a header with the 'acsp'
// magic and a declared size that the buffer holds.
bool looksLikeProfile(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < kHeaderBytes + 4) return false;
  if (readBigEndian32(bytes.data() + 36) != fourCC("acsp")) return false;
  std::uint32_t declared = readBigEndian32(bytes.data());
  return declared >= kHeaderBytes && declared <= bytes.size();
}

// The signature as a plain number: a damaged profile may hold any value,
// which the library's enumeration type cannot.
Model modelOf(Signature space) {
  switch (space) {
    case Signature(cmsSigGrayData):
      return Model::Gray;
    case Signature(cmsSigRgbData):
      return Model::RGB;
    case Signature(cmsSigCmykData):
      return Model::CMYK;
    case Signature(cmsSigLabData):
      return Model::Lab;
    default:
      return Model::Unknown;
  }
}

void logLcmsError(cmsContext, cmsUInt32Number code, const char* text) {
  foundation::log("lcms2 error {}: {}", code, text ? text : "");
}

// A device profile must hold the tags of at least one direction of use;
// links, abstract and named-colour profiles are taken as they are.
bool usable(cmsHPROFILE handle) {
  switch (cmsGetDeviceClass(handle)) {
    case cmsSigInputClass:
    case cmsSigDisplayClass:
    case cmsSigOutputClass:
    case cmsSigColorSpaceClass:
      for (cmsUInt32Number intent : {INTENT_PERCEPTUAL, INTENT_RELATIVE_COLORIMETRIC})
        if (cmsIsIntentSupported(handle, intent, LCMS_USED_AS_INPUT) ||
            cmsIsIntentSupported(handle, intent, LCMS_USED_AS_OUTPUT))
          return true;
      return false;
    default:
      return true;
  }
}

ProfileRef openFromBytes(std::vector<std::uint8_t> bytes, std::string path) {
  installLcmsErrorHandler();
  if (!looksLikeProfile(bytes)) {
    foundation::log("not an ICC profile: {}", path.empty() ? std::string("(data)") : path);
    return nullptr;
  }
  std::uint32_t declared = readBigEndian32(bytes.data());
  bytes.resize(declared);
  cmsHPROFILE handle = cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size()));
  if (!handle) {
    foundation::log("unreadable ICC profile: {}", path.empty() ? std::string("(data)") : path);
    return nullptr;
  }
  if (!usable(handle)) {
    foundation::log("ICC profile lacks the tags it needs: {}", path.empty() ? std::string("(data)") : path);
    cmsCloseProfile(handle);
    return nullptr;
  }
  return IccProfileFactory::make(handle, std::move(bytes), std::move(path));
}

}  // namespace

void installLcmsErrorHandler() {
  static std::once_flag once;
  std::call_once(once, [] { cmsSetLogErrorHandler(logLcmsError); });
}

std::string readDescription(cmsHPROFILE handle) {
  cmsUInt32Number length = cmsGetProfileInfoASCII(handle, cmsInfoDescription, "en", "US", nullptr, 0);
  if (length <= 1) return {};
  std::string text(length, '\0');
  cmsGetProfileInfoASCII(handle, cmsInfoDescription, "en", "US", text.data(), length);
  text.resize(std::string_view(text.c_str()).size());
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.pop_back();
  return text;
}

ProfileRef IccProfileFactory::make(cmsHPROFILE handle, std::vector<std::uint8_t> data, std::string path) {
  if (data.empty()) {
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(handle, nullptr, &size) || size == 0) {
      cmsCloseProfile(handle);
      return nullptr;
    }
    data.resize(size);
    if (!cmsSaveProfileToMem(handle, data.data(), &size)) {
      cmsCloseProfile(handle);
      return nullptr;
    }
    data.resize(size);
  }
  auto profile = std::shared_ptr<IccProfile>(new IccProfile());
  profile->handle_ = handle;
  const Signature space = Signature(cmsGetColorSpace(handle));
  profile->model_ = modelOf(space);
  profile->deviceClass_ = Signature(cmsGetDeviceClass(handle));
  profile->dataColorSpace_ = space;
  profile->description_ = readDescription(handle);
  if (profile->description_.empty() && !path.empty())
    profile->description_ = std::filesystem::path(path).filename().string();
  if (profile->description_.empty()) profile->description_ = "Untitled profile";
  profile->path_ = std::move(path);
  profile->data_ = std::move(data);
  profile->dataHash_ = foundation::keyedHash(
      std::string_view(reinterpret_cast<const char*>(profile->data_.data()), profile->data_.size()));
  return profile;
}

ProfileRef IccProfile::fromFile(const std::string& path) {
  std::optional<foundation::Data> bytes = foundation::readFile(path, kMaxProfileBytes);
  if (!bytes) {
    foundation::log("cannot read ICC profile {}", path);
    return nullptr;
  }
  return openFromBytes(std::move(*bytes), path);
}

ProfileRef IccProfile::fromData(const std::vector<std::uint8_t>& bytes) {
  return openFromBytes(bytes, {});
}

IccProfile::~IccProfile() {
  if (handle_) cmsCloseProfile(handle_);
}

int IccProfile::channels() const {
  return int(cmsChannelsOf(cmsColorSpaceSignature(dataColorSpace_)));
}

}  // namespace color

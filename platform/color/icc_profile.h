#pragma once
// ICC colour profiles over lcms2. A profile is immutable and shared; the
// lcms handle lives as long as the last reference.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace color {

// Colour model of a profile's data colour space (numbers as the raster
// layer's colour-space models).
enum class Model : int { Unknown = -1, Gray = 0, RGB = 1, CMYK = 2, Lab = 3 };

// Profile/device class from the header ('mntr', 'prtr', 'scnr', 'spac',
// 'abst', 'link', 'nmcl'), as the four-character signature.
using Signature = std::uint32_t;

// The signature spelled by four characters, e.g. fourCC("prtr").
constexpr Signature fourCC(const char (&code)[5]) {
  return (Signature(std::uint8_t(code[0])) << 24) | (Signature(std::uint8_t(code[1])) << 16) |
         (Signature(std::uint8_t(code[2])) << 8) | Signature(std::uint8_t(code[3]));
}

class IccProfile;
using ProfileRef = std::shared_ptr<const IccProfile>;

// The built-in profiles, each made once and shared.
enum class NamedProfile {
  SRGB,          // IEC 61966-2.1
  GenericRGB,    // P22 primaries, D65 white, gamma 1.8
  AdobeRGB1998,  // an Adobe RGB (1998)-compatible space
  GenericGray,   // gamma 1.8 gray
  GrayGamma22,   // gray, gamma 2.2
  GraySRGB,      // gray with the sRGB tone curve: what untagged gray means
  LinearRGB,     // linear curves, built-in colorants
  GenericCMYK,   // SWOP-coated CMYK
};

class IccProfile {
 public:
  // nullptr when the file or bytes are not a usable ICC profile.
  static ProfileRef fromFile(const std::string& path);
  static ProfileRef fromData(const std::vector<std::uint8_t>& bytes);
  // Never nullptr except GenericCMYK when no CMYK profile is installed.
  static ProfileRef named(NamedProfile which);

  ~IccProfile();
  IccProfile(const IccProfile&) = delete;
  IccProfile& operator=(const IccProfile&) = delete;

  Model model() const { return model_; }
  Signature deviceClass() const { return deviceClass_; }
  Signature dataColorSpace() const { return dataColorSpace_; }
  // Number of colour channels (1 gray, 3 RGB/Lab, 4 CMYK).
  int channels() const;
  // Never empty: the profile's description, else its file name, else
  // "Untitled profile".
  const std::string& description() const { return description_; }
  // The file it came from, empty for profiles made in memory.
  const std::string& path() const { return path_; }
  // The serialised profile.
  const std::vector<std::uint8_t>& data() const { return data_; }
  // The lcms2 handle (cmsHPROFILE), for the transform cache.
  void* handle() const { return handle_; }

  // Hash of data() under the process's key (profiles come from files), for
  // caches keyed by profile contents.
  std::size_t dataHash() const { return dataHash_; }

  // Same serialised bytes.
  bool sameAs(const IccProfile& other) const { return dataHash_ == other.dataHash_ && data_ == other.data_; }

 private:
  IccProfile() = default;
  friend struct IccProfileFactory;

  void* handle_ = nullptr;
  Model model_ = Model::Unknown;
  Signature deviceClass_ = 0;
  Signature dataColorSpace_ = 0;
  std::string description_;
  std::string path_;
  std::vector<std::uint8_t> data_;
  std::size_t dataHash_ = 0;
};

}  // namespace color

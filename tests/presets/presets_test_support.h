#pragma once
// Shared helpers of the preset tests: an engine with the installed profiles
// and preset files written through our own writer.

#include <memory>
#include <optional>
#include <string>

#include "engine/image_info.h"
#include "engine/imported_image.h"
#include "platform/foundation/value.h"

namespace presets_test {

// An engine whose profile lists hold the installed profiles, as the
// converter sets them up.
std::unique_ptr<velumar::ImportedImage> engineWithInstalledProfiles();

// Points XDG_DATA_HOME at folder while it lives, so the application-support
// folders land there.
class ScopedDataHome {
 public:
  explicit ScopedDataHome(const std::string& folder);
  ~ScopedDataHome();
  ScopedDataHome(const ScopedDataHome&) = delete;
  ScopedDataHome& operator=(const ScopedDataHome&) = delete;

 private:
  std::optional<std::string> previous_;
};

// Writes dictionary as an XML property list at path; false on failure.
bool writePreset(const std::string& path, const foundation::Dictionary& dictionary);

// A preset named name whose JPEG factor tells it apart.
std::shared_ptr<velumar::ImageInfo> presetWithJpegFactor(double factor);

// The preset keys whose record fields differ, for readable failures.
std::string differences(const velumar::ImageModifyInfo& a, const velumar::ImageModifyInfo& b);

// Writes the 16 built-in files into folder, built-in i with JPEG factor
// (i + 1) / 32, none deletable.
void writeBuiltInFixtures(const std::string& folder);

}  // namespace presets_test

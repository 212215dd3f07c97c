#include "presets/presets_test_support.h"

#include <cstdlib>
#include <filesystem>

#include <variant>
#include "engine/profile.h"
#include "platform/foundation/property_list.h"
#include "presets/preset_catalogue.h"
#include "presets/preset_file.h"

namespace presets_test {

std::unique_ptr<velumar::ImportedImage> engineWithInstalledProfiles() {
  auto engine = std::make_unique<velumar::ImportedImage>();
  using velumar::Profile;
  engine->profiles = Profile::arrayOfAllProfiles();
  engine->profilesRGB = Profile::arrayOfAllProfilesWithSpace(color::fourCC("RGB "));
  engine->profilesGray = Profile::arrayOfAllProfilesWithSpace(color::fourCC("GRAY"));
  engine->profilesCMYK = Profile::arrayOfAllProfilesWithSpace(color::fourCC("CMYK"));
  return engine;
}

ScopedDataHome::ScopedDataHome(const std::string& folder) {
  if (const char* value = std::getenv("XDG_DATA_HOME")) previous_ = value;
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
}

ScopedDataHome::~ScopedDataHome() {
  if (previous_)
    setenv("XDG_DATA_HOME", previous_->c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
}

bool writePreset(const std::string& path, const foundation::Dictionary& dictionary) {
  return foundation::writePropertyList(path, foundation::Value(dictionary));
}

std::shared_ptr<velumar::ImageInfo> presetWithJpegFactor(double factor) {
  auto preset = std::make_shared<velumar::ImageInfo>();
  velumar::ImageModifyInfo record = preset->imageModifyInfo();
  record.jpegCompressionFactor = factor;
  preset->setImageModifyInfo(record);
  return preset;
}

std::string differences(const velumar::ImageModifyInfo& a, const velumar::ImageModifyInfo& b) {
  using namespace velumar;
  std::string out;
  for (const PresetKey& row : presetKeyTable()) {
    std::visit(
        [&](const auto& target) {
          using T = std::decay_t<decltype(target)>;
          if constexpr (std::is_same_v<T, PresetPointAxis>) {
            if (!(a.*(target.point) == b.*(target.point))) out += std::string(row.key) + "; ";
          } else if constexpr (!std::is_same_v<T, PresetSpecialKey>) {
            if constexpr (std::is_same_v<typename PresetMemberOf<T>::Class, ImageModifyInfo>) {
              if (!(a.*target == b.*target)) out += std::string(row.key) + "; ";
            }
          }
        },
        row.target);
  }
  return out;
}

void writeBuiltInFixtures(const std::string& folder) {
  std::filesystem::create_directories(folder);
  for (std::size_t i = 0; i < velumar::kBuiltInPresetNames.size(); ++i) {
    auto preset = presetWithJpegFactor(double(i + 1) / 32);
    preset->canDeletePreset = false;
    writePreset((std::filesystem::path(folder) / velumar::kBuiltInPresetNames[i]).string(),
                velumar::presetDictionaryFromImageInfo(*preset));
  }
}

}  // namespace presets_test

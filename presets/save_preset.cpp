#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "platform/imageio/image_destination.h"
#include "presets/color_space_check.h"
#include "presets/preset_file.h"
#include "presets/user_presets.h"
#include "session/rename_info.h"

namespace velumar {

namespace fs = std::filesystem;

namespace {

// The longest file name the file systems we write to accept.
constexpr std::size_t kLongestFileName = 255;
// The longest suffix a copy adds to a preset's name.
constexpr std::string_view kLongestCopySuffix = "_composite.png";
constexpr int kMostNumberedNames = 100000;

bool existsAt(const fs::path& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

// The names of a preset's image copies.
std::array<std::string, 4> copyNames(const std::string& name) {
  return {name + "_composite.png", name + "_composite.jpg", name + "_watermark.png", name + "_watermark.jpg"};
}

// text cut to at most bytes, at a UTF-8 character boundary.
std::string cutUTF8(const std::string& text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// The room a preset's name has in a file name beside its copies' suffixes.
constexpr std::size_t kNameRoom = kLongestFileName - kLongestCopySuffix.size();

// The first free name from base: free in both folders, and no copy of that
// name in the presets folder (a copy must never overwrite another file).
std::optional<std::string> freePresetName(const std::string& base, const fs::path& presets,
                                          const fs::path& resources) {
  const std::size_t room = kNameRoom;
  for (int n = 1; n <= kMostNumberedNames; ++n) {
    const std::string number = n == 1 ? std::string() : " " + std::to_string(n);
    const std::string name = cutUTF8(base, room - number.size()) + number;
    bool taken = existsAt(presets / name) || existsAt(resources / name);
    for (const std::string& copy : copyNames(name)) taken = taken || existsAt(presets / copy);
    if (!taken) return name;
  }
  return std::nullopt;
}

// The well's image encoded into path: PNG when the source had alpha, else
// JPEG at the encoder's default quality.
bool writeImageCopy(const ImageWell& well, const std::string& path) {
  const raster::ImageRef image = well.fullSizeImage && !well.fullSizeImage->isEmpty()
                                     ? well.fullSizeImage->representations().front()->image()
                                     : nullptr;
  if (!image) return false;
  auto destination =
      imageio::ImageDestination::create(path, well.originalImageHasAlpha ? "public.png" : "public.jpeg", 1);
  if (!destination) return false;
  destination->addImage(image, foundation::Value(foundation::Dictionary{}));
  return destination->finalize();
}

// The preset the controls describe, with the file options the converter
// holds; its image copies are added by the caller.
std::shared_ptr<ImageInfo> presetFromControls(ConverterForm& form) {
  ConverterControls& c = form.controls;
  ConverterState& state = form.state();
  ImportedImage& engine = form.engine();
  auto preset = std::make_shared<ImageInfo>();
  ImageModifyInfo r = form.readCurrentPresetValues();
  const std::int64_t code = r.conversionType;
  r.searchSubFolders = state.searchInSubFolders;
  if (code != ConversionType::JPEG) r.jpegCompressionFactor = 1.0;
  if (code != ConversionType::TIFF && code != ConversionType::TIFF2x && code != ConversionType::TIFFMultiple)
    r.doTiffCompression = 0;
  const bool composite = r.compositeMode != 0, overImage = composite && r.compositeModeType == 1;
  if (!composite) r.compositeModeType = 0;
  if (!overImage) {
    r.compositeOrigin = {50, 50};
    r.compositeSizePercent = 1.0;
  }
  if (!composite) r.compositeOpacity = 1.0;
  r.compositeOriginalAlpha = r.watermarkOriginalAlpha = false;
  preset->setImageModifyInfo(r);

  preset->canDeletePreset = true;
  const std::int64_t profile = r.colorSpace - kFirstProfileMenuItem;
  if (profile >= 0 && std::size_t(profile) < engine.profiles.size() && engine.profiles[std::size_t(profile)])
    preset->profileDescription = engine.profiles[std::size_t(profile)]->description().value_or("");
  if (r.openWith == 14) preset->openWithAppID = engine.openWithAppID;
  form.saveFilterValuesToArray(preset->filterValues);
  if (r.addWatermarkText) {
    preset->watermarkTextAttributes = engine.textAttributes;
    preset->watermarkPresetText = engine.watermarkDrawString;
  }
  preset->overwriteFiles = state.overwriteFiles;
  preset->maintainHierarchy = state.maintainHierarchy;
  preset->renameIgnoreProcessing = state.renameIgnoreProcessing;
  preset->presetSavingMethod = state.saveWithStoredFileURL;
  if (state.saveWithStoredFileURL == -1 || state.saveWithStoredFileURL == 0) {
    state.fileURLForSaving = kOutputFolderPlaceholder;
    preset->presetSavingPath = kOutputFolderPlaceholder;
  } else {
    state.fileURLForSaving = c.fileURLTextField.text;
    preset->presetSavingPath = c.fileURLTextField.text;
  }
  const std::int64_t numbering = c.numberSelectPopUp.selectedIndex;
  preset->selectedNumberPopUp = numbering > 0 ? std::uint64_t(numbering) : 0;
  preset->initialNumber = numbering > 0 ? state.initialNumber : -1;
  preset->zerosNumber = numbering > 0 ? state.zerosNumber : -1;
  auto renameText = [](const TextField& field, const std::string& value, const char* placeholder) {
    return field.enabled && field.text != placeholder ? value : std::string();
  };
  preset->prefixFile = renameText(c.prefixTextField, state.prefixString, kPrefixPlaceholder);
  preset->nameFile = renameText(c.nameTextField, state.nameString, kNamePlaceholder);
  preset->suffixFile = renameText(c.suffixTextField, state.suffixString, kSuffixPlaceholder);
  if (c.lutView.cubeData) {
    foundation::Array lut{foundation::Value(c.lutView.cubeSize), foundation::Value(*c.lutView.cubeData)};
    if (!c.lutView.cubeURL.empty()) lut.emplace_back(c.lutView.cubeURL);
    preset->lutArray = lut;
  }
  preset->toneCurvePoints = c.curveView.percentPoints;
  preset->toneCurvePointsRed = c.redCurveView.percentPoints;
  preset->toneCurvePointsGreen = c.greenCurveView.percentPoints;
  preset->toneCurvePointsBlue = c.blueCurveView.percentPoints;
  return preset;
}

}  // namespace

PresetFileName presetFileName(const std::string& typed) {
  std::string name = typed;
  name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
  std::replace(name.begin(), name.end(), '/', ' ');
  PresetFileName result{cutUTF8(name, kNameRoom), false};
  result.shortened = result.name.size() < name.size();
  return result;
}

bool savePresetFrom(ConverterForm& form, PresetCatalogue& catalogue) {
  ConverterControls& c = form.controls;
  c.savePresetButton.on = false;
  if (form.state().isProcessingImages.load()) return false;
  const PresetFileName typed = presetFileName(c.presetTextField.text);
  const std::string& base = typed.name;
  if (base.empty()) return false;
  if (typed.shortened)
    foundation::log("Preset: the name \"{}\" is too long and is shortened", c.presetTextField.text);
  if (std::none_of(c.buttonsArray.begin(), c.buttonsArray.end(), [](const ToggleButton& b) { return b.on; }))
    return false;

  std::shared_ptr<ImageInfo> preset = presetFromControls(form);
  ImageModifyInfo r = preset->imageModifyInfo();
  const fs::path folder(PresetCatalogue::getAppSupportPath());
  const std::optional<std::string> name = freePresetName(base, folder, catalogue.systemPresetFolder());
  if (!name) return false;

  // The copies first: the preset names their paths.
  std::vector<fs::path> written;
  auto copy = [&](const ImageWell& well, bool wanted, const char* kind, std::optional<std::string>& url,
                  bool& alpha) {
    if (!wanted || !well.hasFullSizeImage()) return;
    const fs::path path = folder / (*name + "_" + kind + (well.originalImageHasAlpha ? ".png" : ".jpg"));
    if (!writeImageCopy(well, path.string())) {
      foundation::log("Preset: cannot write the image copy {}", path.string());
      return;
    }
    written.push_back(path);
    url = path.string();
    alpha = well.originalImageHasAlpha;
  };
  copy(c.compositeDragAndDropView, r.compositeMode != 0 && r.compositeModeType == 1, "composite",
       preset->compositePresetURL, r.compositeOriginalAlpha);
  copy(c.watermarkImageView, r.addWatermarkImage, "watermark", preset->watermarkPresetURL,
       r.watermarkOriginalAlpha);
  preset->setImageModifyInfo(r);

  const fs::path path = folder / *name;
  if (!foundation::writePropertyList(path.string(),
                                     foundation::Value(presetDictionaryFromImageInfo(*preset)))) {
    std::error_code error;
    for (const fs::path& orphan : written) fs::remove(orphan, error);
    return false;
  }
  form.state().lastSelectedPresetName = *name;
  catalogue.addPresetsFromFiles();
  c.presetTextField.text.clear();
  return true;
}

}  // namespace velumar

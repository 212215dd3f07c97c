#pragma once
// One preset: a settings record beside the preset's naming, output-folder,
// rename, filter-control, watermark, composite, lookup-table and tone-curve
// values. Shared through std::shared_ptr; nothing in it changes by itself.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/image_modify_info.h"
#include "platform/foundation/value.h"
#include "platform/raster/attributed_text.h"
#include "platform/raster/geometry.h"

namespace velumar {

class ImageInfo {
 public:
  // A preset with the record's defaults and the default property values.
  ImageInfo();
  ImageInfo(const ImageInfo&) = delete;
  ImageInfo& operator=(const ImageInfo&) = delete;

  // Writes the defaults of a new preset into info, field for field, except
  // imageDepth, imageTransparency and drawWithAlpha, which keep their values.
  static void initializeImageInfo(ImageModifyInfo& info);

  // The settings, copied whole in and out under the record's own lock, so a
  // reader on another thread never sees half a record.
  ImageModifyInfo imageModifyInfo() const;
  void setImageModifyInfo(const ImageModifyInfo& info);

  // Plain properties, touched by one thread at a time.
  std::string imageInfoName = "Preset";
  // The file the preset was loaded from; empty for a preset made in memory.
  std::string presetFilePath;
  bool canDeletePreset = true;
  bool overwriteFiles = false;
  bool maintainHierarchy = true;
  bool renameIgnoreProcessing = false;
  std::string presetSavingPath;
  std::int64_t presetSavingMethod = -2;
  std::string profileDescription;
  std::string prefixFile;
  std::string nameFile;
  std::string suffixFile;
  std::uint64_t selectedNumberPopUp = 0;
  std::int64_t initialNumber = -1;  // -1: numbering off
  std::int64_t zerosNumber = -1;    // -1: numbering off
  // One entry per option control: a number, a colour dictionary or a string.
  foundation::Array filterValues;
  // {"AppDisplayName", "AppFullPath"}; empty when none is chosen.
  foundation::Dictionary openWithAppID;
  std::optional<foundation::Data> watermarkPresetData;
  std::optional<std::string> watermarkPresetURL;  // a file path
  std::string watermarkPresetText;
  raster::TextAttributes watermarkTextAttributes;  // only the system font of 144 points
  std::optional<foundation::Data> compositePresetData;
  std::optional<std::string> compositePresetURL;  // a file path
  // [cube size, cube data, path of the .cube file]
  std::optional<foundation::Array> lutArray;
  // Five points each when a curve is set.
  std::optional<std::vector<raster::Point>> toneCurvePoints;
  std::optional<std::vector<raster::Point>> toneCurvePointsRed;
  std::optional<std::vector<raster::Point>> toneCurvePointsGreen;
  std::optional<std::vector<raster::Point>> toneCurvePointsBlue;

 private:
  mutable std::mutex recordLock_;
  ImageModifyInfo imageModifyInfo_;
};

}  // namespace velumar

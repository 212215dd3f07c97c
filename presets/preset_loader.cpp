#include "presets/preset_loader.h"

#include <filesystem>

#include "engine/color_space_menu.h"
#include "filters/cube_file.h"
#include "filters/curve_interpolation.h"
#include "platform/foundation/log.h"
#include "presets/color_space_check.h"
#include "presets/preset_catalogue.h"
#include "presets/preset_file.h"
#include "presets/watermark_text_archive.h"

namespace velumar {

namespace {

using foundation::Array;
using foundation::Dictionary;
using foundation::Value;

// Bytes of one cube entry: four floats.
constexpr std::size_t kCubeBytesPerEntry = 4 * sizeof(float);

// One key with a plain target: the file's value, or the table's value for
// a missing key or one of the wrong type; kept fields stay as they are.
void readPlainKey(const PresetKey& row, const Value* value, ImageModifyInfo& record, ImageInfo& preset) {
  std::visit(
      [&](const auto& target) {
        using T = std::decay_t<decltype(target)>;
        if constexpr (std::is_same_v<T, PresetSpecialKey>) {
          return;
        } else if constexpr (std::is_same_v<T, PresetPointAxis>) {
          const std::optional<double> x = presetReal(value);
          if (!x && !row.whenAbsent) return;
          raster::Point& point = record.*(target.point);
          (target.y ? point.y : point.x) = x ? *x : double(float(*row.whenAbsent));
        } else {
          using Field = typename PresetMemberOf<T>::Type;
          auto& field = [&]() -> Field& {
            if constexpr (std::is_same_v<typename PresetMemberOf<T>::Class, ImageModifyInfo>)
              return record.*target;
            else
              return preset.*target;
          }();
          if constexpr (std::is_same_v<Field, std::string>) {
            if (value && value->isString()) field = *value->asString();
          } else if constexpr (std::is_same_v<Field, bool>) {
            const std::optional<bool> b = presetBoolean(value);
            if (b)
              field = *b;
            else if (row.whenAbsent)
              field = *row.whenAbsent != 0;
          } else if constexpr (std::is_same_v<Field, double>) {
            const std::optional<double> x = presetReal(value);
            if (x)
              field = *x;
            else if (row.whenAbsent)
              field = double(float(*row.whenAbsent));
          } else {
            std::optional<std::int64_t> n = presetInteger(value);
            if (!n && row.whenAbsent) n = std::int64_t(*row.whenAbsent);
            if (!n) return;
            // A menu index out of range would select no item, or worse.
            if (row.maxIndex && (*n < 0 || *n > *row.maxIndex)) n = 0;
            field = Field(*n);
          }
        }
      },
      row.target);
}

bool isFiniteNumber(const Value& value) {
  return value.isInteger() || (value.isReal() && std::isfinite(*value.toDouble()));
}

// One "Filter Values" element: a number, a colour of four numbers or a
// string; anything else stands for a control without a value.
Value filterValue(const Value& item) {
  if (isFiniteNumber(item) || item.isString()) return item;
  if (const Dictionary* colour = item.asDictionary()) {
    Dictionary out;
    for (const char* key : {"redComponent", "greenComponent", "blueComponent", "alphaComponent"}) {
      const Value* component = colour->find(key);
      if (!component || !isFiniteNumber(*component)) return Value("");
      out.set(key, *component);
    }
    return out;
  }
  return Value("");
}

Array filterValuesFrom(const Value* value) {
  const Array* items = value ? value->asArray() : nullptr;
  if (!items) return {};
  Array out;
  for (std::size_t i = 0; i < items->size() && i < kFilterValueCount; ++i)
    out.push_back(filterValue((*items)[i]));
  while (out.size() < kFilterValueCount) out.push_back(Value(""));
  return out;
}

// [edge size, cube data, .cube path]; the path may be missing. A size the
// cube reader would refuse, or data of another length, means no cube.
std::optional<Array> lutArrayFrom(const Value* value) {
  if (!value) return std::nullopt;
  const Array* items = value->asArray();
  if (!items || items->size() < 2) {
    foundation::log("Preset: \"LUTArray\" is not a lookup table; none is loaded");
    return std::nullopt;
  }
  const Value& sizeValue = (*items)[0];
  const std::optional<std::int64_t> size = presetInteger(&sizeValue);
  const bool integral = size && !sizeValue.isBool() && double(*size) == *sizeValue.toDouble();
  if (!integral || *size < std::int64_t(kSmallestCubeSize) || *size > std::int64_t(kLargestCubeSize)) {
    foundation::log("Preset: lookup table size {} is out of range; none is loaded", sizeValue.debugString());
    return std::nullopt;
  }
  const foundation::Data* data = (*items)[1].asData();
  const std::size_t expected =
      std::size_t(*size) * std::size_t(*size) * std::size_t(*size) * kCubeBytesPerEntry;
  if (!data || data->size() != expected) {
    foundation::log("Preset: lookup table data does not hold {}³ entries; none is loaded", *size);
    return std::nullopt;
  }
  Array out{Value(*size), (*items)[1]};
  if (items->size() >= 3 && (*items)[2].isString()) out.push_back((*items)[2]);
  return out;
}

std::vector<raster::Point> curvePointsFrom(const Value* value) {
  const Array* items = value ? value->asArray() : nullptr;
  std::vector<CurvePoint> points;
  if (items && items->size() == diagonalCurvePoints().size()) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    for (const Value& item : *items) {
      const Array* xy = item.asArray();
      const bool pair = xy && xy->size() == 2;
      points.push_back({pair ? presetReal(&(*xy)[0]).value_or(kNaN) : kNaN,
                        pair ? presetReal(&(*xy)[1]).value_or(kNaN) : kNaN});
    }
  }
  std::vector<raster::Point> out;
  for (const CurvePoint& p : normalizeCurvePoints(points)) out.push_back({p.x, p.y});
  return out;
}

// The path of an image copy when its flag is YES and the URL key holds an
// absolute path; then the alpha key, when present, sets alpha.
std::optional<std::string> imageCopyPath(const Dictionary& dictionary, const char* flagKey,
                                         const char* urlKey, const char* alphaKey, bool& alpha) {
  if (!presetBoolean(dictionary.find(flagKey)).value_or(false)) return std::nullopt;
  const Value* url = dictionary.find(urlKey);
  if (!url || !url->isString()) return std::nullopt;
  const std::string& path = *url->asString();
  if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos) {
    foundation::log("Preset: \"{}\" is not an absolute path; ignored", urlKey);
    return std::nullopt;
  }
  if (const std::optional<bool> a = presetBoolean(dictionary.find(alphaKey))) alpha = *a;
  return path;
}

void readColorSpace(const Dictionary& dictionary, ImageModifyInfo& record, ImageInfo& preset,
                    const ImportedImage& engine) {
  const Value* stored = dictionary.find("Profile Description");
  const std::optional<std::string> description =
      stored && stored->isString() ? std::optional(*stored->asString()) : std::nullopt;
  preset.profileDescription = description.value_or("");
  const std::size_t menuItems = std::size_t(kFirstProfileMenuItem) + engine.profiles.size();
  if (std::uint64_t(record.colorSpace) >= menuItems) record.colorSpace = 0;
  verifyColorSpaceForIndex(record.colorSpace, description, engine.profiles, menuItems);
  record.colorSpaceModel = selectColorSpaceModelFromColorSpace(record.colorSpace, engine);
}

}  // namespace

std::shared_ptr<ImageInfo> imageInfoFromPresetDictionary(const Dictionary& dictionary,
                                                         const std::string& path,
                                                         const ImportedImage& engine) {
  auto preset = std::make_shared<ImageInfo>();
  ImageModifyInfo record = preset->imageModifyInfo();
  for (const PresetKey& row : presetKeyTable()) readPlainKey(row, dictionary.find(row.key), record, *preset);

  readColorSpace(dictionary, record, *preset, engine);
  preset->filterValues = filterValuesFrom(dictionary.find("Filter Values"));
  if (record.openWith == 14) {
    const Value* appID = dictionary.find("Open With AppID");
    if (appID && appID->asDictionary()) preset->openWithAppID = *appID->asDictionary();
  }
  preset->compositePresetURL = imageCopyPath(dictionary, "Composite Image", "Composite Image URL",
                                             "Composite Alpha", record.compositeOriginalAlpha);
  preset->watermarkPresetURL = imageCopyPath(dictionary, "Watermark Image", "Watermark Image URL",
                                             "Watermark Alpha", record.watermarkOriginalAlpha);
  preset->lutArray = lutArrayFrom(dictionary.find("LUTArray"));
  preset->toneCurvePoints = curvePointsFrom(dictionary.find("ToneCurvePoints"));
  preset->toneCurvePointsRed = curvePointsFrom(dictionary.find("ToneCurvePointsRed"));
  preset->toneCurvePointsGreen = curvePointsFrom(dictionary.find("ToneCurvePointsGreen"));
  preset->toneCurvePointsBlue = curvePointsFrom(dictionary.find("ToneCurvePointsBlue"));
  if (const Value* attributes = dictionary.find("Watermark Text Attributes");
      attributes && attributes->asData()) {
    if (auto decoded = unarchiveTextAttributes(*attributes->asData()))
      preset->watermarkTextAttributes = *decoded;
  }

  preset->setImageModifyInfo(record);
  preset->imageInfoName = std::filesystem::path(path).filename().string();
  preset->presetFilePath = path;
  return preset;
}

void PresetCatalogue::setupPresetValuesWithDictionary(const std::optional<foundation::Value>& dictionary,
                                                      const std::string& path, bool isSystemPreset) {
  const Dictionary* entries = dictionary ? dictionary->asDictionary() : nullptr;
  if (!entries) return;
  std::shared_ptr<ImageInfo> preset = imageInfoFromPresetDictionary(*entries, path, engine_);
  engine_.presetsArray.push_back(preset);
  menus_.appendPreset(preset->imageInfoName, isSystemPreset);
}

}  // namespace velumar

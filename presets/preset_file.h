#pragma once
// The preset file format: one property-list dictionary per preset. The key
// table below is the single description of every key (name, type, where a
// loaded value goes, what a missing key leaves) and drives both the reader
// and the writer. Reals are stored at single precision, except the
// tone-curve coordinates, which are written as doubles.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "engine/image_info.h"
#include "engine/image_modify_info.h"
#include "platform/foundation/value.h"

namespace velumar {

// The type of a key's value in the file.
enum class PresetKeyType { Boolean, Integer, Real, String, Array, Dictionary, DataOrBoolean };

// One coordinate of a point field of the settings record.
struct PresetPointAxis {
  raster::Point ImageModifyInfo::*point;
  bool y;
};

// Keys whose values need more than a plain field: each has its own step in
// the reader and the writer.
enum class PresetSpecialKey {
  FilterValues,
  LUTArray,
  ToneCurvePoints,
  ToneCurvePointsRed,
  ToneCurvePointsGreen,
  ToneCurvePointsBlue,
  OpenWithAppID,
  CompositeAlpha,
  CompositeImage,
  CompositeImageURL,
  WatermarkAlpha,
  WatermarkImage,
  WatermarkImageURL,
  WatermarkTextAttributes,
};

// Where a loaded value goes: a field of the settings record, a property of
// the preset, or a step of its own.
using PresetTarget =
    std::variant<bool ImageModifyInfo::*, std::int64_t ImageModifyInfo::*, std::uint64_t ImageModifyInfo::*,
                 double ImageModifyInfo::*, PresetPointAxis, bool ImageInfo::*, std::int64_t ImageInfo::*,
                 std::uint64_t ImageInfo::*, std::string ImageInfo::*, PresetSpecialKey>;

struct PresetKey {
  int number;  // 1 to 131: the order in which a saved file holds the keys
  std::string_view key;
  PresetKeyType type;
  PresetTarget target;
  // The value a missing key loads as; none keeps the new preset's value.
  std::optional<double> whenAbsent;
  // For menu indexes: values outside 0 to maxIndex load as 0.
  std::optional<std::int64_t> maxIndex;
};

// The class and the type of a member pointer of the table.
template <class T>
struct PresetMemberOf;
template <class C, class V>
struct PresetMemberOf<V C::*> {
  using Class = C;
  using Type = V;
};

// The 131 keys in file order.
std::span<const PresetKey> presetKeyTable();
// The table's row for key; nullptr when no key has that name.
const PresetKey* presetKeyNamed(std::string_view key);

// The keys every save writes: all of the table but "LUTArray" and the two
// image URLs.
inline constexpr std::size_t kPresetKeysAlwaysWritten = 128;
// The number of option controls whose values "Filter Values" holds.
inline constexpr std::size_t kFilterValueCount = 18;

// Value readers with the file's coercions: a boolean, integer or real is
// accepted for any numeric or boolean key; reals are narrowed to single
// precision; a value of another type, a NaN or an infinity reads as none.
std::optional<bool> presetBoolean(const foundation::Value* value);
std::optional<std::int64_t> presetInteger(const foundation::Value* value);
std::optional<double> presetReal(const foundation::Value* value);

// The dictionary of preset as saved: the 128 keys in file order, then
// "LUTArray" at its place when a cube is held, and the image URLs last when
// the preset names image copies. "Watermark Text Attributes" is NO while the
// text watermark is off.
foundation::Dictionary presetDictionaryFromImageInfo(const ImageInfo& preset);

// The five points of an unchanged tone curve.
std::vector<raster::Point> diagonalCurvePoints();

}  // namespace velumar

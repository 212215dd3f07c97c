#include "platform/imageio/metadata_convert.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numeric>
#include <string_view>
#include <utility>

#include "platform/foundation/log.h"
#include "platform/imageio/gps_time_text.h"

namespace imageio::metadata_detail {

using foundation::Array;
using foundation::Dictionary;
using foundation::Value;

namespace {

// {TIFF} keys: IFD0 tags that describe the picture rather than its layout.
constexpr std::string_view kTiffKeys[] = {
    "ImageDescription", "Make",     "Model",  "Orientation",  "XResolution", "YResolution", "ResolutionUnit",
    "Software",         "DateTime", "Artist", "HostComputer", "Copyright",   "DocumentName"};

// exiv2 Photo-group names that the dictionaries spell differently.
constexpr std::pair<std::string_view, std::string_view> kExifRenames[] = {
    {"FocalLengthIn35mmFilm", "FocalLenIn35mmFilm"},
    {"SubSecTime", "SubsecTime"},
    {"SubSecTimeOriginal", "SubsecTimeOriginal"},
    {"SubSecTimeDigitized", "SubsecTimeDigitized"},
};

// Exif tags kept as arrays even when they hold one element.
constexpr std::string_view kExifArrayKeys[] = {"ISOSpeedRatings",   "SubjectArea",
                                               "LensSpecification", "ExifVersion",
                                               "FlashpixVersion",   "ComponentsConfiguration"};

struct IptcName {
  std::string_view exiv2;  // after "Iptc.Application2."
  std::string_view key;
  bool repeatable;
};
constexpr IptcName kIptcNames[] = {
    {"ObjectName", "ObjectName", false},
    {"Urgency", "Urgency", false},
    {"Category", "Category", false},
    {"SuppCategory", "SupplementalCategory", true},
    {"Keywords", "Keywords", true},
    {"SpecialInstructions", "SpecialInstructions", false},
    {"DateCreated", "DateCreated", false},
    {"TimeCreated", "TimeCreated", false},
    {"Program", "OriginatingProgram", false},
    {"ProgramVersion", "ProgramVersion", false},
    {"ObjectCycle", "ObjectCycle", false},
    {"Byline", "Byline", true},
    {"BylineTitle", "BylineTitle", true},
    {"City", "City", false},
    {"SubLocation", "SubLocation", false},
    {"ProvinceState", "Province/State", false},
    {"CountryCode", "Country/PrimaryLocationCode", false},
    {"CountryName", "Country/PrimaryLocationName", false},
    {"TransmissionReference", "OriginalTransmissionReference", false},
    {"Headline", "Headline", false},
    {"Credit", "Credit", false},
    {"Source", "Source", false},
    {"Copyright", "CopyrightNotice", false},
    {"Contact", "Contact", true},
    {"Caption", "Caption/Abstract", false},
    {"Writer", "Writer/Editor", true},
    {"LocationName", "ContentLocationName", true},
    {"EditStatus", "EditStatus", false},
};

bool contains(const auto& list, std::string_view name) {
  return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\0' || s.back() == ' ')) s.pop_back();
  return s;
}

double rationalToDouble(const Exiv2::Rational& r) {
  return r.second == 0 ? 0.0 : double(r.first) / r.second;
}

// A tag's value as a property: strings, integers, reals, or arrays of them.
Value convertDatum(const Exiv2::Exifdatum& datum, bool forceArray) {
  const Exiv2::Value& value = datum.value();
  const long count = value.count();
  switch (value.typeId()) {
    case Exiv2::asciiString:
      return Value(trimmed(value.toString()));
    case Exiv2::unsignedByte:
    case Exiv2::signedByte:
    case Exiv2::unsignedShort:
    case Exiv2::signedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedLong: {
      if (count == 1 && !forceArray) return Value(std::int64_t(value.toLong(0)));
      Array items;
      for (long i = 0; i < count && i < 256; ++i) items.emplace_back(std::int64_t(value.toLong(i)));
      return Value(std::move(items));
    }
    case Exiv2::unsignedRational:
    case Exiv2::signedRational: {
      auto at = [&](long i) { return rationalToDouble(value.toRational(i)); };
      if (count == 1 && !forceArray) return Value(at(0));
      Array items;
      for (long i = 0; i < count && i < 256; ++i) items.emplace_back(at(i));
      return Value(std::move(items));
    }
    case Exiv2::tiffFloat:
    case Exiv2::tiffDouble:
      if (count >= 1) return Value(double(value.toFloat(0)));
      return {};
    case Exiv2::comment:
      return Value(trimmed(static_cast<const Exiv2::CommentValue&>(value).comment()));
    case Exiv2::undefined: {
      // Version tags are four ASCII digits ("0232"); ComponentsConfiguration
      // four small numbers. Everything else undefined is opaque.
      if (!forceArray || count > 16) return {};
      Array items;
      const bool digits = datum.tagName().find("Version") != std::string::npos;
      for (long i = 0; i < count; ++i) {
        long byte = value.toLong(i);
        if (digits) {
          if (byte < '0' || byte > '9') continue;
          byte -= '0';
        }
        items.emplace_back(std::int64_t(byte));
      }
      return Value(std::move(items));
    }
    default:
      return {};
  }
}

// Degrees, minutes, seconds to decimal degrees.
std::optional<double> degreesFrom(const Exiv2::Value& value) {
  if (value.count() < 1) return std::nullopt;
  double result = 0.0, scale = 1.0;
  for (long i = 0; i < value.count() && i < 3; ++i) {
    result += rationalToDouble(value.toRational(i)) / scale;
    scale *= 60.0;
  }
  if (!std::isfinite(result)) return std::nullopt;
  return result;
}

void addGpsDatum(const Exiv2::Exifdatum& datum, Dictionary& gps) {
  std::string name = datum.tagName();
  if (name.rfind("GPS", 0) == 0) name.erase(0, 3);
  if (name == "Tag") return;
  const Exiv2::Value& value = datum.value();
  if (name == "VersionID") {
    Array items;
    for (long i = 0; i < value.count() && i < 4; ++i) items.emplace_back(std::int64_t(value.toLong(i)));
    gps.set("Version", Value(std::move(items)));
    return;
  }
  if (name == "Latitude" || name == "Longitude" || name == "DestLatitude" || name == "DestLongitude") {
    if (auto degrees = degreesFrom(value)) gps.set(name, Value(*degrees));
    return;
  }
  if (name == "TimeStamp") {
    if (value.count() < 3) return;
    const double h = rationalToDouble(value.toRational(0)), m = rationalToDouble(value.toRational(1)),
                 s = rationalToDouble(value.toRational(2));
    if (!std::isfinite(h + m + s) || h < 0 || m < 0 || s < 0 || h > 99 || m > 99 || s > 99) return;
    gps.set("TimeStamp", Value(gpsTimeText(h, m, s)));
    return;
  }
  Value converted = convertDatum(datum, false);
  if (!converted.isNull()) gps.set(name, std::move(converted));
}

std::once_flag exiv2Once;
std::mutex xmpMutex;

void xmpLock(void*, bool lock) {
  if (lock)
    xmpMutex.lock();
  else
    xmpMutex.unlock();
}

// exiv2's own messages (e.g. duplicate XMP nodes in ordinary camera files)
// are developer detail: the failures that matter reach the user through our
// own results and causes.
void exiv2Log(int, const char* message) {
  if (!message) return;
  std::string text = message;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  foundation::logDebug("exiv2: {}", text);
}

// Rational of a double with a denominator that keeps four decimals.
std::string rationalText(double value, bool isSigned) {
  if (!std::isfinite(value)) value = 0.0;
  if (!isSigned && value < 0) value = 0.0;
  std::int64_t denominator = 1;
  while (denominator < 10000 && std::abs(value * denominator - std::round(value * denominator)) > 1e-9)
    denominator *= 10;
  double numerator = std::round(value * double(denominator));
  const double limit = isSigned ? 2147483647.0 : 4294967295.0;
  while (std::abs(numerator) > limit && denominator > 1) {
    denominator /= 10;
    numerator = std::round(value * double(denominator));
  }
  numerator = std::clamp(numerator, -limit, limit);
  const std::int64_t whole = std::int64_t(numerator);
  const std::int64_t divisor = std::gcd(whole < 0 ? -whole : whole, denominator);
  return std::to_string(whole / (divisor ? divisor : 1)) + "/" +
         std::to_string(denominator / (divisor ? divisor : 1));
}

// The value as space-separated exiv2 text for a numeric type; empty when it
// is no number or array of numbers.
std::string numericText(const Value& value, Exiv2::TypeId type) {
  const bool rational = type == Exiv2::unsignedRational || type == Exiv2::signedRational;
  auto one = [&](const Value& v) -> std::optional<std::string> {
    auto d = v.toDouble();
    if (!d) return std::nullopt;
    if (rational) return rationalText(*d, type == Exiv2::signedRational);
    return std::to_string(std::int64_t(std::llround(std::clamp(*d, -4294967295.0, 4294967295.0))));
  };
  std::string text;
  if (const Array* items = value.asArray()) {
    for (const Value& item : *items) {
      auto part = one(item);
      if (!part) return {};
      if (!text.empty()) text += ' ';
      text += *part;
    }
    return text;
  }
  auto part = one(value);
  return part ? *part : std::string();
}

// Decimal degrees as three rationals.
std::string degreesText(double degrees) {
  degrees = std::abs(degrees);
  const double d = std::floor(degrees);
  const double minutes = (degrees - d) * 60.0;
  const double m = std::floor(minutes);
  const double s = (minutes - m) * 60.0;
  return rationalText(d, false) + " " + rationalText(m, false) + " " +
         std::to_string(std::llround(s * 10000.0)) + "/10000";
}

}  // namespace

void initializeExiv2() {
  std::call_once(exiv2Once, [] {
    Exiv2::LogMsg::setLevel(foundation::debugLogging() ? Exiv2::LogMsg::info : Exiv2::LogMsg::error);
    Exiv2::LogMsg::setHandler(exiv2Log);
    Exiv2::XmpParser::initialize(xmpLock, nullptr);
#ifdef EXV_ENABLE_BMFF
    Exiv2::enableBMFF(true);
#endif
  });
}

Dictionary dictionariesFromExif(const Exiv2::ExifData& exif) {
  Dictionary exifDict, tiffDict, gpsDict, result;
  for (const Exiv2::Exifdatum& datum : exif) {
    try {
      const std::string group = datum.groupName();
      const std::string name = datum.tagName();
      if (group == "Image") {
        if (!contains(kTiffKeys, name)) continue;
        Value v = convertDatum(datum, false);
        if (!v.isNull()) tiffDict.set(name, std::move(v));
      } else if (group == "Photo") {
        if (name == "MakerNote" || name == "InteroperabilityTag") continue;
        std::string key = name;
        for (const auto& [from, to] : kExifRenames)
          if (name == from) key = std::string(to);
        Value v = convertDatum(datum, contains(kExifArrayKeys, key));
        if (!v.isNull()) exifDict.set(key, std::move(v));
      } else if (group == "GPSInfo") {
        addGpsDatum(datum, gpsDict);
      }
    } catch (const std::exception& e) {
      foundation::log("metadata: skipped an unreadable Exif tag: {}", e.what());
    }
  }
  if (!exifDict.empty()) result.set(kExifDictionary, Value(std::move(exifDict)));
  if (const Value* orientation = tiffDict.find("Orientation")) {
    const auto o = orientation->toInt();
    if (o && *o >= 1 && *o <= 8)
      result.set("Orientation", Value(*o));
    else
      tiffDict.erase("Orientation");
  }
  if (!tiffDict.empty()) result.set(kTiffDictionary, Value(std::move(tiffDict)));
  if (!gpsDict.empty()) result.set(kGpsDictionary, Value(std::move(gpsDict)));
  return result;
}

Dictionary dictionaryFromIptc(const Exiv2::IptcData& iptc) {
  Dictionary result;
  for (const Exiv2::Iptcdatum& datum : iptc) {
    try {
      if (datum.recordName() != "Application2") continue;
      const std::string name = datum.tagName();
      for (const IptcName& entry : kIptcNames) {
        if (name != entry.exiv2) continue;
        std::string text = trimmed(datum.value().toString());
        if (entry.key == "DateCreated") text.erase(std::remove(text.begin(), text.end(), '-'), text.end());
        if (entry.key == "TimeCreated") {
          text.erase(std::remove(text.begin(), text.end(), ':'), text.end());
        }
        const std::string key(entry.key);
        if (entry.repeatable) {
          Value* existing = result.find(key);
          if (!existing || !existing->isArray()) {
            result.set(key, Value(Array{}));
            existing = result.find(key);
          }
          existing->asArray()->emplace_back(std::move(text));
        } else {
          result.set(key, Value(std::move(text)));
        }
      }
    } catch (const std::exception& e) {
      foundation::log("metadata: skipped an unreadable IPTC dataset: {}", e.what());
    }
  }
  return result;
}

std::string exifKeyFor(const std::string& dictionary, const std::string& key) {
  if (dictionary == kTiffDictionary) return contains(kTiffKeys, key) ? "Exif.Image." + key : std::string();
  if (dictionary == kExifDictionary) {
    for (const auto& [from, to] : kExifRenames)
      if (key == to) return "Exif.Photo." + std::string(from);
    return "Exif.Photo." + key;
  }
  if (dictionary == kGpsDictionary) {
    if (key == "Version") return "Exif.GPSInfo.GPSVersionID";
    return "Exif.GPSInfo.GPS" + key;
  }
  return {};
}

std::string iptcKeyFor(const std::string& key) {
  for (const IptcName& entry : kIptcNames)
    if (key == entry.key) return "Iptc.Application2." + std::string(entry.exiv2);
  return {};
}

bool setExifValue(Exiv2::ExifData& exif, const std::string& key, const Value& value) {
  try {
    Exiv2::ExifKey exifKey(key);
    if (exifKey.tagName().rfind("0x", 0) == 0) return false;  // unknown tag name
    Exiv2::TypeId type = exifKey.defaultTypeId();
    auto existing = exif.findKey(exifKey);
    if (existing != exif.end()) type = existing->typeId();

    std::string text;
    const std::string name = exifKey.tagName();
    const bool isGps = exifKey.groupName() == "GPSInfo";
    if (isGps && (name == "GPSLatitude" || name == "GPSLongitude" || name == "GPSDestLatitude" ||
                  name == "GPSDestLongitude")) {
      auto d = value.toDouble();
      if (!d || !std::isfinite(*d)) return false;
      type = Exiv2::unsignedRational;
      text = degreesText(*d);
    } else if (isGps && name == "GPSTimeStamp") {
      const std::string* s = value.asString();
      const std::optional<std::array<double, 3>> time = s ? gpsTimeFromText(*s) : std::nullopt;
      if (!time) return false;
      type = Exiv2::unsignedRational;
      text = rationalText((*time)[0], false) + " " + rationalText((*time)[1], false) + " " +
             rationalText((*time)[2], false);
    } else {
      switch (type) {
        case Exiv2::asciiString:
        case Exiv2::comment:
          if (!value.asString()) return false;
          text = *value.asString();
          break;
        case Exiv2::unsignedByte:
        case Exiv2::signedByte:
        case Exiv2::unsignedShort:
        case Exiv2::signedShort:
        case Exiv2::unsignedLong:
        case Exiv2::signedLong:
        case Exiv2::unsignedRational:
        case Exiv2::signedRational:
          text = numericText(value, type);
          break;
        default:
          return false;  // opaque tags are only ever carried over, not rebuilt
      }
      if (text.empty() && type != Exiv2::asciiString && type != Exiv2::comment) return false;
    }
    Exiv2::Value::AutoPtr converted = Exiv2::Value::create(type);
    if (converted->read(text) != 0) return false;
    if (existing != exif.end())
      existing->setValue(converted.get());
    else
      exif.add(exifKey, converted.get());
    return true;
  } catch (const std::exception& e) {
    foundation::log("metadata: cannot set {}: {}", key, e.what());
    return false;
  }
}

bool setIptcValue(Exiv2::IptcData& iptc, const std::string& key, const Value& value) {
  try {
    Exiv2::IptcKey iptcKey(key);
    std::vector<std::string> texts;
    if (const Array* items = value.asArray()) {
      for (const Value& item : *items)
        if (item.asString()) texts.push_back(*item.asString());
    } else if (value.asString()) {
      texts.push_back(*value.asString());
    } else {
      return false;
    }
    // Remove every dataset of this key, then add the new ones.
    for (auto it = iptc.begin(); it != iptc.end();) {
      if (it->key() == key)
        it = iptc.erase(it);
      else
        ++it;
    }
    for (std::string text : texts) {
      if (key == "Iptc.Application2.DateCreated" && text.size() == 8 && text.find('-') == std::string::npos)
        text = text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2);
      const Exiv2::TypeId type = Exiv2::IptcDataSets::dataSetType(iptcKey.tag(), iptcKey.record());
      Exiv2::Value::AutoPtr converted = Exiv2::Value::create(type);
      if (converted->read(text) != 0) continue;
      iptc.add(iptcKey, converted.get());
    }
    return true;
  } catch (const std::exception& e) {
    foundation::log("metadata: cannot set {}: {}", key, e.what());
    return false;
  }
}

}  // namespace imageio::metadata_detail

#include "platform/foundation/property_list.h"

#include <fmt/format.h>
#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>

#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/property_list_limits.h"
#include "platform/foundation/property_list_nodes.h"
#include "platform/foundation/property_list_xml.h"

namespace foundation {

namespace {

constexpr int kMaxDepth = kMaxPropertyListDepth;
// More values than this are refused rather than risking memory.
constexpr std::uint64_t kMaxNodes = 1'000'000;

std::optional<Value> fromPlist(plist_t node, int depth);

std::optional<Value> arrayFromPlist(plist_t node, int depth) {
  Array array;
  const bool complete = forEachArrayItem(node, [&](plist_t item) {
    auto value = fromPlist(item, depth + 1);
    if (value) array.push_back(std::move(*value));
    return value.has_value();
  });
  if (!complete) return std::nullopt;
  return Value(std::move(array));
}

std::optional<Value> dictionaryFromPlist(plist_t node, int depth) {
  std::vector<Dictionary::Entry> entries;
  const bool complete = forEachDictionaryItem(node, [&](std::string key, plist_t item) {
    auto value = fromPlist(item, depth + 1);
    if (value) entries.emplace_back(std::move(key), std::move(*value));
    return value.has_value();
  });
  if (!complete) return std::nullopt;
  return Value(Dictionary::fromEntries(std::move(entries)));
}

Date dateFromPlist(plist_t node) {
  std::int32_t seconds = 0;
  std::int32_t micros = 0;
  plist_get_date_val(node, &seconds, &micros);
  // Before the reference date the library answers the fraction's magnitude,
  // taken in 64 bits: a damaged file may answer INT32_MIN.
  double total =
      seconds < 0 ? double(seconds) - double(std::abs(std::int64_t(micros))) / 1e6 : double(seconds) + micros / 1e6;
  auto sinceUnix = std::chrono::duration<double>(total + double(kReferenceDateUnixSeconds));
  return Date(std::chrono::duration_cast<Date::duration>(sinceUnix));
}

std::optional<Value> fromPlist(plist_t node, int depth) {
  if (node == nullptr || depth > kMaxDepth) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return Value(b != 0);
    }
    case PLIST_UINT: {
      // The library keeps every integer in 64 bits; signed ones come back
      // in two's complement.
      std::uint64_t u = 0;
      plist_get_uint_val(node, &u);
      return Value(static_cast<std::int64_t>(u));
    }
    case PLIST_UID: {
      std::uint64_t u = 0;
      plist_get_uid_val(node, &u);
      return Value(static_cast<std::int64_t>(u));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return Value(d);
    }
    case PLIST_STRING: {
      std::uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return Value(std::string(text ? text : "", text ? length : 0));
    }
    case PLIST_KEY: {
      char* text = nullptr;
      plist_get_key_val(node, &text);
      Value value(std::string(text ? text : ""));
      std::free(text);
      return value;
    }
    case PLIST_DATA: {
      std::uint64_t length = 0;
      const char* bytes = plist_get_data_ptr(node, &length);
      if (bytes == nullptr) return Value(Data());
      const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes);
      return Value(Data(begin, begin + length));
    }
    case PLIST_DATE:
      return Value(dateFromPlist(node));
    case PLIST_ARRAY:
      return arrayFromPlist(node, depth);
    case PLIST_DICT:
      return dictionaryFromPlist(node, depth);
    default:
      return std::nullopt;
  }
}

plist_t dateToPlist(const Date& date) {
  return plist_new_date(wholeSecondsSinceReferenceDate(date), 0);
}

PlistPtr toPlist(const Value& value, int depth) {
  if (depth > kMaxDepth) return nullptr;
  switch (value.type()) {
    case Value::Type::Null:
      return nullptr;
    case Value::Type::Bool:
      return PlistPtr(plist_new_bool(*value.toBool() ? 1 : 0));
    case Value::Type::Integer:
      return PlistPtr(plist_new_uint(static_cast<std::uint64_t>(*value.toInt())));
    case Value::Type::Real:
      return PlistPtr(plist_new_real(*value.toDouble()));
    case Value::Type::String:
      return PlistPtr(plist_new_string(value.asString()->c_str()));
    case Value::Type::Data: {
      const Data& data = *value.asData();
      return PlistPtr(plist_new_data(reinterpret_cast<const char*>(data.data()), data.size()));
    }
    case Value::Type::Date:
      return PlistPtr(dateToPlist(*value.asDate()));
    case Value::Type::Array: {
      PlistPtr array(plist_new_array());
      for (const Value& item : *value.asArray()) {
        PlistPtr node = toPlist(item, depth + 1);
        if (!node) return nullptr;
        plist_array_append_item(array.get(), node.release());
      }
      return array;
    }
    case Value::Type::Dictionary: {
      PlistPtr dictionary(plist_new_dict());
      for (const auto& [key, item] : *value.asDictionary()) {
        if (item.isNull()) continue;
        PlistPtr node = toPlist(item, depth + 1);
        if (!node) return nullptr;
        plist_dict_set_item(dictionary.get(), key.c_str(), node.release());
      }
      return dictionary;
    }
  }
  return nullptr;
}

using Encoder = void (*)(plist_t, char**, std::uint32_t*);
using EncodingRelease = void (*)(char*);

std::optional<Data> encodedNodes(plist_t root, Encoder encode, EncodingRelease release) {
  char* encoded = nullptr;
  std::uint32_t length = 0;
  encode(root, &encoded, &length);
  if (encoded == nullptr) return std::nullopt;
  const auto* begin = reinterpret_cast<const std::uint8_t*>(encoded);
  Data bytes(begin, begin + length);
  release(encoded);
  return bytes;
}

bool startsWith(const Data& bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

// Whether bytes pass the checks every read runs before parsing: size,
// nesting, values and, for the binary form, structure and expanded bytes;
// *problem and *refusal say why not.
bool passesReadChecks(const Data& bytes, std::string* problem, PropertyListRefusal* refusal) {
  *refusal = PropertyListRefusal::Malformed;
  if (bytes.empty()) {
    *problem = "empty data";
    return false;
  }
  if (bytes.size() > kMaxPropertyListBytes) {
    *problem = fmt::format("{} bytes is too large", bytes.size());
    *refusal = PropertyListRefusal::TooManyBytes;
    return false;
  }
  const PropertyListLimits limits{kMaxDepth, kMaxNodes};
  if (startsWith(bytes, "bplist00")) {
    std::string detail;
    if (!binaryPropertyListWithinLimits(bytes.data(), bytes.size(), limits, &detail, refusal)) {
      *problem = fmt::format("malformed binary property list ({})", detail);
      return false;
    }
  } else if (!xmlPropertyListWithinLimits(bytes.data(), bytes.size(), limits, refusal)) {
    *problem = "XML nested too deeply, too many elements or a dictionary of too many keys";
    return false;
  }
  return true;
}

bool passesReadChecks(const Data& bytes, std::string* problem) {
  PropertyListRefusal refusal;
  return passesReadChecks(bytes, problem, &refusal);
}

// The parsed node tree of binary bytes, or nullptr with *problem saying why.
PlistPtr binaryNodesOf(const Data& bytes, std::string* problem) {
  plist_t root = nullptr;
  plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()),
                 &root);
  if (root == nullptr) *problem = "not a well-formed property list";
  return PlistPtr(root);
}

// The dictionary bytes hold, or nullopt with *problem and *refusal saying
// why; the callers log, so each failure gives one line. The XML form is
// read without the library, whose dictionaries index keys by a fixed hash
// that a file can choose keys to collide under.
std::optional<Value> dictionaryOf(const Data& bytes, std::string* problem, PropertyListRefusal* refusal) {
  if (!passesReadChecks(bytes, problem, refusal)) return std::nullopt;
  *refusal = PropertyListRefusal::Malformed;
  if (!startsWith(bytes, "bplist00")) {
    std::optional<Value> value = readXmlPropertyList(bytes, problem);
    if (value && !value->isDictionary()) {
      *problem = "the root is not a dictionary";
      return std::nullopt;
    }
    return value;
  }
  PlistPtr owner = binaryNodesOf(bytes, problem);
  if (!owner) return std::nullopt;
  plist_t root = owner.get();
  if (plist_get_node_type(root) != PLIST_DICT) {
    *problem = "the root is not a dictionary";
    return std::nullopt;
  }
  auto value = fromPlist(root, 0);
  if (!value) *problem = "unreadable contents";
  return value;
}

}  // namespace

std::int32_t wholeSecondsSinceReferenceDate(const Date& date) {
  // Rounded down: the XML form keeps no fraction.
  double seconds =
      std::chrono::duration<double>(date.time_since_epoch()).count() - double(kReferenceDateUnixSeconds);
  seconds = std::floor(seconds);
  constexpr double lowest = double(std::numeric_limits<std::int32_t>::min());
  constexpr double highest = double(std::numeric_limits<std::int32_t>::max());
  if (!(seconds >= lowest && seconds <= highest)) {
    log("Property list: date out of range, clamped");
    seconds = seconds < lowest || std::isnan(seconds) ? lowest : highest;
  }
  return static_cast<std::int32_t>(seconds);
}

PlistPtr parsePropertyListNodes(const Data& bytes) {
  std::string problem;
  PropertyListRefusal refusal;
  PlistPtr root;
  if (passesReadChecks(bytes, &problem, &refusal)) {
    if (startsWith(bytes, "bplist00")) {
      root = binaryNodesOf(bytes, &problem);
    } else if (const std::optional<Value> value = readXmlPropertyList(bytes, &problem)) {
      // The library builds a dictionary from the binary form without
      // looking its keys up.
      if (const std::optional<Data> binary = propertyListBinary(*value))
        root = binaryNodesOf(*binary, &problem);
    }
  }
  if (!root) log("Property list: {}", problem);
  return root;
}

bool forEachDictionaryItem(plist_t dictionary, const std::function<bool(std::string, plist_t)>& visit) {
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(dictionary, &iterator);
  if (iterator == nullptr) return false;
  bool complete = true;
  for (;;) {
    char* key = nullptr;
    plist_t item = nullptr;
    plist_dict_next_item(dictionary, iterator, &key, &item);
    std::string keyText = key ? key : "";
    std::free(key);
    if (item == nullptr) break;
    if (!visit(std::move(keyText), item)) {
      complete = false;
      break;
    }
  }
  std::free(iterator);
  return complete;
}

bool forEachArrayItem(plist_t array, const std::function<bool(plist_t)>& visit) {
  // The library answers an item by index by walking from the first one, so
  // the items are iterated instead.
  plist_array_iter iterator = nullptr;
  plist_array_new_iter(array, &iterator);
  if (iterator == nullptr) return false;
  bool complete = true;
  for (;;) {
    plist_t item = nullptr;
    plist_array_next_item(array, iterator, &item);
    if (item == nullptr) break;
    if (!visit(item)) {
      complete = false;
      break;
    }
  }
  std::free(iterator);
  return complete;
}

std::optional<Data> binaryOfNodes(plist_t root) {
  return encodedNodes(root, plist_to_bin, plist_to_bin_free);
}

std::optional<Value> valueFromPlistNode(plist_t node) {
  return fromPlist(node, 0);
}

PlistPtr plistNodeFromValue(const Value& value) {
  return toPlist(value, 0);
}

std::optional<Value> readPropertyListData(const Data& bytes) {
  std::string problem;
  PropertyListRefusal refusal;
  auto value = dictionaryOf(bytes, &problem, &refusal);
  if (!value) log("Property list: {}", problem);
  return value;
}

std::optional<Value> readPropertyList(const std::string& path, PropertyListRefusal* refusal) {
  PropertyListRefusal why = PropertyListRefusal::Malformed;
  if (!refusal) refusal = &why;
  auto bytes = readFile(path, kMaxPropertyListBytes);
  if (!bytes) {
    std::error_code error;
    const bool tooLarge = std::filesystem::file_size(path, error) > kMaxPropertyListBytes && !error;
    *refusal = tooLarge ? PropertyListRefusal::TooManyBytes : PropertyListRefusal::Malformed;
    log("Property list: cannot read {}{}", path, tooLarge ? ": too large" : "");
    return std::nullopt;
  }
  std::string problem;
  auto value = dictionaryOf(*bytes, &problem, refusal);
  if (!value) log("Property list: {} is not a readable dictionary ({})", path, problem);
  return value;
}

namespace {

// Whether a text of value holds a NUL character, which the XML form cannot
// hold (the library's writer ends the text there).
bool holdsTextWithNul(const Value& value) {
  switch (value.type()) {
    case Value::Type::String:
      return value.asString()->find('\0') != std::string::npos;
    case Value::Type::Array:
      return std::any_of(value.asArray()->begin(), value.asArray()->end(), holdsTextWithNul);
    case Value::Type::Dictionary:
      return std::any_of(value.asDictionary()->begin(), value.asDictionary()->end(),
                         [](const Dictionary::Entry& entry) { return holdsTextWithNul(entry.second); });
    default:
      return false;
  }
}

}  // namespace

namespace {

// The XML form of a value from its binary form: the library builds a
// dictionary key by key in time that grows with the square of its size
// (seconds for a few hundred thousand keys), while it reads the binary form
// in linear time.
std::optional<Data> xmlFromBinary(const Data& binary) {
  plist_t root = nullptr;
  plist_from_bin(reinterpret_cast<const char*>(binary.data()), std::uint32_t(binary.size()), &root);
  const PlistPtr owner(root);
  if (!root) {
    log("Property list: the binary form of the value does not parse");
    return std::nullopt;
  }
  return encodedNodes(root, plist_to_xml, plist_to_xml_free);
}

}  // namespace

std::optional<Data> propertyListXML(const Value& value) {
  const std::optional<Data> binary = propertyListBinary(value);
  if (!binary) return std::nullopt;
  if (holdsTextWithNul(value)) {
    log("Property list: the XML form cannot hold a text with a NUL character");
    return std::nullopt;
  }
  return xmlFromBinary(*binary);
}

namespace {

struct BinarySize {
  std::uint64_t bytes = 0;
  std::uint64_t objects = 0;
  bool keysReadable = true;  // no key holds a NUL character
};

// Adds to size the objects of value (keys count) and the bytes of the
// binary form's objects for it, at most: each with its offset-table entry
// and the reference to it, every count and reference at full width,
// integers at 16 bytes, nothing shared, and strings at three bytes each, the
// most the readers count for one as UTF-16 (two as written). The bytes are
// also at least what the readers count against their byte budget.
void addBinarySizeAtMost(const Value& value, BinarySize& size) {
  constexpr std::uint64_t kPerObject = 8 + 8 + 10;
  size.objects += 1;
  size.bytes += kPerObject;
  switch (value.type()) {
    case Value::Type::Integer:
      size.bytes += 16;
      break;
    case Value::Type::Real:
    case Value::Type::Date:
      size.bytes += 8;
      break;
    case Value::Type::String:
      size.bytes += 3 * value.asString()->size();
      break;
    case Value::Type::Data:
      size.bytes += value.asData()->size();
      break;
    case Value::Type::Array:
      for (const Value& item : *value.asArray()) addBinarySizeAtMost(item, size);
      break;
    case Value::Type::Dictionary:
      for (const auto& [key, item] : *value.asDictionary()) {
        size.objects += 1;
        size.bytes += kPerObject + 3 * key.size();
        if (key.find('\0') != std::string::npos) size.keysReadable = false;
        addBinarySizeAtMost(item, size);
      }
      break;
    default:
      break;
  }
}

// Bytes of the XML form of value at least: its texts, keys and the base64
// text of its data, without markup.
std::uint64_t xmlBytesAtLeast(const Value& value) {
  switch (value.type()) {
    case Value::Type::String:
      return value.asString()->size();
    case Value::Type::Data:
      return (value.asData()->size() + 2) / 3 * 4;
    case Value::Type::Array: {
      std::uint64_t total = 0;
      for (const Value& item : *value.asArray()) total += xmlBytesAtLeast(item);
      return total;
    }
    case Value::Type::Dictionary: {
      std::uint64_t total = 0;
      for (const auto& [key, item] : *value.asDictionary()) total += key.size() + xmlBytesAtLeast(item);
      return total;
    }
    default:
      return 0;
  }
}

}  // namespace

std::optional<Data> propertyListFile(const Value& value) {
  const std::optional<Data> binary = propertyListBinary(value);
  if (!binary) return std::nullopt;
  std::string xmlProblem = "larger than a file the readers take", binaryProblem;
  // The XML form is not made when it cannot fit or cannot hold every text.
  const bool nulInText = holdsTextWithNul(value);
  if (nulInText) xmlProblem = "a text holds a NUL character";
  if (!nulInText && xmlBytesAtLeast(value) <= kMaxPropertyListBytes) {
    auto xml = xmlFromBinary(*binary);
    if (!xml) return std::nullopt;
    if (passesReadChecks(*xml, &xmlProblem)) return xml;
  }
  if (passesReadChecks(*binary, &binaryProblem)) return binary;
  log("Property list: no form of the value would be read back (XML: {}; binary: {})", xmlProblem,
      binaryProblem);
  return std::nullopt;
}

bool propertyListFileFits(const Value& value, std::uint64_t spareValues, std::uint64_t spareBytes) {
  constexpr std::uint64_t kHeaderAndTrailer = 8 + 32;
  BinarySize size;
  addBinarySizeAtMost(value, size);
  if (!size.keysReadable || size.objects + spareValues > kMaxNodes) return false;
  if (kHeaderAndTrailer + size.bytes + spareBytes <= kMaxPropertyListBytes) return true;
  const std::optional<Data> file = propertyListFile(value);
  return file && file->size() + spareBytes <= kMaxPropertyListBytes;
}

bool writePropertyList(const std::string& path, const Value& value) {
  // A file that would be refused when read back is not written.
  auto bytes = propertyListFile(value);
  if (!bytes) {
    log("Property list: nothing written to {}", path);
    return false;
  }
  if (!writeFileAtomically(path, *bytes)) {
    log("Property list: cannot write {}", path);
    return false;
  }
  return true;
}

Value singlePrecisionReal(double x) {
  // Out-of-range values become infinities, as a float store would make them.
  if (std::isfinite(x) && std::abs(x) > double(std::numeric_limits<float>::max())) {
    return Value(std::copysign(std::numeric_limits<double>::infinity(), x));
  }
  return Value(double(static_cast<float>(x)));
}

}  // namespace foundation

// The binary property-list form, written straight from a Value in one pass:
// children before their container, every dictionary key its own object,
// nothing shared. Time and size are linear in the value (the library's
// writer looks every object up in a table that slows to minutes for a few
// hundred thousand objects).
#include <unicode/ustring.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_nodes.h"

namespace foundation {

namespace {

// Bytes needed for unsigned numbers up to value: 1, 2, 4 or 8.
int widthFor(std::uint64_t value) {
  if (value <= 0xff) return 1;
  if (value <= 0xffff) return 2;
  if (value <= 0xffffffff) return 4;
  return 8;
}

class BinaryWriter {
 public:
  std::optional<Data> write(const Value& root) {
    std::uint64_t objects = 0, payload = 0;
    if (const char* problem = count(root, 0, objects, payload)) {
      log("Property list: value cannot be written ({})", problem);
      return std::nullopt;
    }
    refWidth_ = widthFor(objects);
    out_.reserve(payload + 24 * objects + 40);  // grown at most once more
    out_.assign({'b', 'p', 'l', 'i', 's', 't', '0', '0'});
    const std::uint64_t top = object(root);
    const std::uint64_t table = out_.size();
    const int offsetWidth = widthFor(table);
    for (std::uint64_t offset : offsets_) appendBig(offset, offsetWidth);
    out_.insert(out_.end(), 6, 0);
    out_.push_back(std::uint8_t(offsetWidth));
    out_.push_back(std::uint8_t(refWidth_));
    appendBig(offsets_.size(), 8);
    appendBig(top, 8);
    appendBig(table, 8);
    return std::move(out_);
  }

 private:
  // Counts the objects of value into objects and the bytes of its texts,
  // keys and data into payload; answers why it cannot be written (a null
  // outside a dictionary, nesting too deep, a key the readers refuse), or
  // nullptr.
  static const char* count(const Value& value, int depth, std::uint64_t& objects, std::uint64_t& payload) {
    if (depth > kMaxPropertyListDepth) return "nested too deeply";
    if (value.isNull()) return "a null outside a dictionary";
    ++objects;
    if (const std::string* text = value.asString()) payload += text->size();
    if (const Data* data = value.asData()) payload += data->size();
    if (const Array* array = value.asArray()) {
      for (const Value& item : *array)
        if (const char* problem = count(item, depth + 1, objects, payload)) return problem;
    } else if (const Dictionary* dictionary = value.asDictionary()) {
      for (const auto& [key, item] : *dictionary) {
        if (item.isNull()) continue;
        if (key.find('\0') != std::string::npos) return "a dictionary key holds a NUL character";
        ++objects;
        payload += key.size();
        if (const char* problem = count(item, depth + 1, objects, payload)) return problem;
      }
    }
    return nullptr;
  }

  void appendBig(std::uint64_t value, int width) {
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) out_.push_back(std::uint8_t(value >> shift));
  }

  // Starts a new object; answers its number.
  std::uint64_t begin() {
    offsets_.push_back(out_.size());
    return offsets_.size() - 1;
  }

  // A marker of kind with its count: in the low nibble, or as an integer
  // object after it.
  void marker(std::uint8_t kind, std::uint64_t count) {
    if (count < 15) {
      out_.push_back(std::uint8_t(kind << 4 | count));
      return;
    }
    out_.push_back(std::uint8_t(kind << 4 | 0x0f));
    const int width = widthFor(count);
    out_.push_back(std::uint8_t(0x10 | std::countr_zero(unsigned(width))));
    appendBig(count, width);
  }

  std::uint64_t string(const std::string& text) {
    const std::uint64_t number = begin();
    // The readers end an ASCII string at a NUL character but keep one
    // inside a UTF-16 string, so a text holding one is written as UTF-16.
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](char c) { return c != '\0' && std::uint8_t(c) < 0x80; });
    if (ascii) {
      marker(0x5, text.size());
      out_.insert(out_.end(), text.begin(), text.end());
      return number;
    }
    // Malformed UTF-8 becomes U+FFFD, one unit per byte at most.
    std::u16string units(text.size(), u'\0');
    std::int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(units.data(), std::int32_t(units.size()), &length, text.data(), std::int32_t(text.size()),
                         0xfffd, nullptr, &status);
    if (U_FAILURE(status)) length = 0;
    marker(0x6, std::uint64_t(length));
    for (std::int32_t i = 0; i < length; ++i) appendBig(units[std::size_t(i)], 2);
    return number;
  }

  void references(const std::vector<std::uint64_t>& numbers) {
    for (std::uint64_t number : numbers) appendBig(number, refWidth_);
  }

  // Writes value (known to be writable) and answers its object number.
  std::uint64_t object(const Value& value) {
    switch (value.type()) {
      case Value::Type::Array: {
        std::vector<std::uint64_t> items;
        items.reserve(value.asArray()->size());
        for (const Value& item : *value.asArray()) items.push_back(object(item));
        const std::uint64_t number = begin();
        marker(0xA, items.size());
        references(items);
        return number;
      }
      case Value::Type::Dictionary: {
        std::vector<std::uint64_t> keys, items;
        for (const auto& [key, item] : *value.asDictionary()) {
          if (item.isNull()) continue;
          keys.push_back(string(key));
          items.push_back(object(item));
        }
        const std::uint64_t number = begin();
        marker(0xD, keys.size());
        references(keys);
        references(items);
        return number;
      }
      case Value::Type::String:
        return string(*value.asString());
      default:
        break;
    }
    const std::uint64_t number = begin();
    switch (value.type()) {
      case Value::Type::Bool:
        out_.push_back(*value.toBool() ? 0x09 : 0x08);
        break;
      case Value::Type::Integer: {
        // Negative numbers take all eight bytes (their high bits are set),
        // the one width readers sign-extend.
        const auto bits = std::uint64_t(*value.toInt());
        const int width = widthFor(bits);
        out_.push_back(std::uint8_t(0x10 | std::countr_zero(unsigned(width))));
        appendBig(bits, width);
        break;
      }
      case Value::Type::Real:
        out_.push_back(0x23);
        appendBig(std::bit_cast<std::uint64_t>(*value.toDouble()), 8);
        break;
      case Value::Type::Date:
        out_.push_back(0x33);
        appendBig(std::bit_cast<std::uint64_t>(double(wholeSecondsSinceReferenceDate(*value.asDate()))), 8);
        break;
      case Value::Type::Data:
        marker(0x4, value.asData()->size());
        out_.insert(out_.end(), value.asData()->begin(), value.asData()->end());
        break;
      default:
        break;
    }
    return number;
  }

  Data out_;
  std::vector<std::uint64_t> offsets_;
  int refWidth_ = 1;
};

}  // namespace

std::optional<Data> propertyListBinary(const Value& value) {
  return BinaryWriter().write(value);
}

}  // namespace foundation

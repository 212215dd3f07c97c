#pragma once
// A property-list shaped value: null, bool, integer, real, string, data,
// date, array, or a dictionary that keeps insertion order. Used for preset
// files, image properties, user defaults and notification objects.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace foundation {

class Value;

using Data = std::vector<std::uint8_t>;
using Date = std::chrono::system_clock::time_point;
using Array = std::vector<Value>;

// An insertion-ordered dictionary with string keys. Small dictionaries are
// scanned; larger ones keep a hash index of positions beside the entries,
// under a hash keyed per process (keys from a file cannot be chosen to
// collide), so a lookup, set or insert takes constant time on average and
// equality, building from entries and copying take time linear in the
// size. Erasing takes time linear in the size (the later entries move up).
class Dictionary {
 public:
  using Entry = std::pair<std::string, Value>;

  Dictionary() = default;
  Dictionary(std::initializer_list<Entry> entries);
  // The dictionary that setting each entry in order makes.
  static Dictionary fromEntries(std::vector<Entry> entries);

  bool contains(std::string_view key) const { return find(key) != nullptr; }
  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);
  // Inserts or replaces, keeping the key's first position.
  void set(std::string key, Value value);
  // Returns the existing value or inserts a null one at the end.
  Value& operator[](std::string_view key);
  bool erase(std::string_view key);
  // Erases every entry whose key erased accepts, keeping the order of the
  // rest, in one pass.
  template <typename Predicate>
  void eraseIf(Predicate erased);

  // Defined below Value: a pair holding a Value needs the complete type.
  std::size_t size() const;
  bool empty() const;
  const std::vector<Entry>& entries() const { return entries_; }
  std::vector<Entry>::const_iterator begin() const;
  std::vector<Entry>::const_iterator end() const;

  bool operator==(const Dictionary& other) const;

  // The most slots of the index a lookup examines (0 when there is no
  // index): bounds the time of a lookup, set or insert whatever the keys.
  std::size_t longestProbe() const;

 private:
  // The position of key in entries_, entries_.size() when absent.
  std::size_t position(std::string_view key) const;
  void append(std::string key, Value value);
  // Makes the index hold every entry, or drops it for a small dictionary.
  void rebuildIndex();
  void indexPosition(std::size_t position);

  std::vector<Entry> entries_;
  // Beyond a few entries: an open-addressing table (linear probing, at most
  // half full) of positions in entries_ plus one, 0 marking a free slot.
  // Empty for small dictionaries, which need no more memory than their
  // entries.
  std::vector<std::uint32_t> slots_;
};

class Value {
 public:
  enum class Type { Null, Bool, Integer, Real, String, Data, Date, Array, Dictionary };

  Value() = default;
  Value(std::nullptr_t) {}
  Value(bool b) : v_(b) {}
  Value(int i) : v_(std::int64_t(i)) {}
  Value(long i) : v_(std::int64_t(i)) {}
  Value(long long i) : v_(std::int64_t(i)) {}
  Value(unsigned i) : v_(std::int64_t(i)) {}
  Value(unsigned long i) : v_(std::int64_t(i)) {}
  Value(unsigned long long i) : v_(std::int64_t(i)) {}
  Value(double d) : v_(d) {}
  Value(float f) : v_(double(f)) {}
  Value(const char* s) : v_(std::string(s)) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(std::string_view s) : v_(std::string(s)) {}
  Value(foundation::Data d) : v_(std::move(d)) {}
  Value(foundation::Date d) : v_(d) {}
  Value(foundation::Array a) : v_(std::make_shared<foundation::Array>(std::move(a))) {}
  Value(foundation::Dictionary d) : v_(std::make_shared<foundation::Dictionary>(std::move(d))) {}

  Type type() const { return Type(v_.index()); }
  bool isNull() const { return type() == Type::Null; }
  bool isBool() const { return type() == Type::Bool; }
  bool isInteger() const { return type() == Type::Integer; }
  bool isReal() const { return type() == Type::Real; }
  bool isNumber() const { return isBool() || isInteger() || isReal(); }
  bool isString() const { return type() == Type::String; }
  bool isData() const { return type() == Type::Data; }
  bool isDate() const { return type() == Type::Date; }
  bool isArray() const { return type() == Type::Array; }
  bool isDictionary() const { return type() == Type::Dictionary; }

  // Numeric coercions as preset files need them: a bool, integer or real is
  // accepted for any numeric key; real to integer truncates toward zero.
  // Non-numbers answer nullopt.
  std::optional<double> toDouble() const;
  std::optional<std::int64_t> toInt() const;
  std::optional<bool> toBool() const;

  // Typed access: nullptr when the value is of another type.
  const std::string* asString() const { return std::get_if<std::string>(&v_); }
  const foundation::Data* asData() const { return std::get_if<foundation::Data>(&v_); }
  const foundation::Date* asDate() const { return std::get_if<foundation::Date>(&v_); }
  const foundation::Array* asArray() const;
  foundation::Array* asArray();
  const foundation::Dictionary* asDictionary() const;
  foundation::Dictionary* asDictionary();

  // Convenience with fallbacks.
  double doubleOr(double fallback) const { return toDouble().value_or(fallback); }
  std::int64_t intOr(std::int64_t fallback) const { return toInt().value_or(fallback); }
  bool boolOr(bool fallback) const { return toBool().value_or(fallback); }
  std::string stringOr(std::string fallback) const { return asString() ? *asString() : fallback; }

  // Dictionary member lookup; nullptr when not a dictionary or no such key.
  const Value* get(std::string_view key) const;
  // Nested lookup: get({"{Exif}", "DateTimeOriginal"}).
  const Value* get(std::initializer_list<std::string_view> path) const;

  bool operator==(const Value& other) const;

  // A short human-readable rendering for logs and test failures.
  std::string debugString() const;

 private:
  // Arrays and dictionaries are shared and copied on write, so copying a
  // large property dictionary is cheap.
  using Storage = std::variant<std::monostate, bool, std::int64_t, double, std::string, foundation::Data,
                               foundation::Date, std::shared_ptr<foundation::Array>,
                               std::shared_ptr<foundation::Dictionary>>;
  Storage v_;
};

template <typename Predicate>
void Dictionary::eraseIf(Predicate erased) {
  const std::size_t before = entries_.size();
  // Headers here are also compiled as C++17, without std::erase_if.
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [&](const Entry& entry) { return erased(entry.first); }),
                 entries_.end());
  if (entries_.size() != before) rebuildIndex();
}

inline std::size_t Dictionary::size() const {
  return entries_.size();
}
inline bool Dictionary::empty() const {
  return entries_.empty();
}
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::begin() const {
  return entries_.begin();
}
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::end() const {
  return entries_.end();
}

}  // namespace foundation

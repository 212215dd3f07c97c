#include "platform/foundation/value.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include "platform/foundation/keyed_hash.h"

namespace foundation {

namespace {

// Up to this many entries a scan is as quick as hashing, and the dictionary
// carries no index.
constexpr std::size_t kScannedEntries = 16;

// Keyed per process: keys read from a file cannot be chosen to share one
// probe run, which would make every operation linear in the size.
constexpr KeyedStringHash hashOf{};

}  // namespace

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
  entries_.reserve(entries.size());
  for (const auto& e : entries) set(e.first, e.second);
}

Dictionary Dictionary::fromEntries(std::vector<Entry> entries) {
  Dictionary dictionary;
  dictionary.entries_.reserve(entries.size());
  for (Entry& entry : entries) dictionary.set(std::move(entry.first), std::move(entry.second));
  return dictionary;
}

std::size_t Dictionary::position(std::string_view key) const {
  if (slots_.empty()) {
    for (std::size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].first == key) return i;
    return entries_.size();
  }
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = hashOf(key) & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
    const std::size_t at = slots_[slot] - 1;
    if (entries_[at].first == key) return at;
  }
  return entries_.size();
}

void Dictionary::indexPosition(std::size_t position) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hashOf(entries_[position].first) & mask;
  while (slots_[slot] != 0) slot = (slot + 1) & mask;
  slots_[slot] = std::uint32_t(position + 1);
}

void Dictionary::rebuildIndex() {
  if (entries_.size() <= kScannedEntries) {
    std::vector<std::uint32_t>().swap(slots_);
    return;
  }
  // A quarter full after a rebuild, so appends rebuild at doublings only.
  std::size_t capacity = 64;
  while (capacity < 4 * entries_.size()) capacity *= 2;
  slots_.assign(capacity, 0);
  for (std::size_t i = 0; i < entries_.size(); ++i) indexPosition(i);
}

void Dictionary::append(std::string key, Value value) {
  entries_.emplace_back(std::move(key), std::move(value));
  if (slots_.empty() && entries_.size() <= kScannedEntries) return;
  if (2 * entries_.size() > slots_.size()) {
    rebuildIndex();
  } else {
    indexPosition(entries_.size() - 1);
  }
}

const Value* Dictionary::find(std::string_view key) const {
  const std::size_t at = position(key);
  return at < entries_.size() ? &entries_[at].second : nullptr;
}

Value* Dictionary::find(std::string_view key) {
  const std::size_t at = position(key);
  return at < entries_.size() ? &entries_[at].second : nullptr;
}

void Dictionary::set(std::string key, Value value) {
  if (Value* existing = find(key)) {
    *existing = std::move(value);
    return;
  }
  append(std::move(key), std::move(value));
}

Value& Dictionary::operator[](std::string_view key) {
  if (Value* existing = find(key)) return *existing;
  append(std::string(key), Value());
  return entries_.back().second;
}

bool Dictionary::erase(std::string_view key) {
  const std::size_t at = position(key);
  if (at == entries_.size()) return false;
  entries_.erase(entries_.begin() + std::ptrdiff_t(at));
  // Every later entry moved up one place.
  if (!slots_.empty()) rebuildIndex();
  return true;
}

std::size_t Dictionary::longestProbe() const {
  if (slots_.empty()) return 0;
  // The longest run of occupied slots, wrapping around the end, plus the
  // free slot that ends a search. The index is at most half full, so a free
  // slot to start from exists.
  const std::size_t mask = slots_.size() - 1;
  std::size_t start = 0;
  while (slots_[start] != 0) ++start;
  std::size_t longest = 0, run = 0;
  for (std::size_t i = 1; i <= slots_.size(); ++i) {
    run = slots_[(start + i) & mask] != 0 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest + 1;
}

bool Dictionary::operator==(const Dictionary& other) const {
  // Equality ignores order, as property-list dictionaries do.
  if (entries_.size() != other.entries_.size()) return false;
  for (const auto& e : entries_) {
    const Value* o = other.find(e.first);
    if (!o || !(*o == e.second)) return false;
  }
  return true;
}

std::optional<double> Value::toDouble() const {
  switch (type()) {
    case Type::Bool:
      return std::get<bool>(v_) ? 1.0 : 0.0;
    case Type::Integer:
      return double(std::get<std::int64_t>(v_));
    case Type::Real:
      return std::get<double>(v_);
    default:
      return std::nullopt;
  }
}

std::optional<std::int64_t> Value::toInt() const {
  switch (type()) {
    case Type::Bool:
      return std::get<bool>(v_) ? 1 : 0;
    case Type::Integer:
      return std::get<std::int64_t>(v_);
    case Type::Real: {
      double d = std::get<double>(v_);
      if (!(d == d)) return std::int64_t(0);
      if (d >= 9.2e18) return INT64_MAX;
      if (d <= -9.2e18) return INT64_MIN;
      return std::int64_t(d);
    }
    default:
      return std::nullopt;
  }
}

std::optional<bool> Value::toBool() const {
  switch (type()) {
    case Type::Bool:
      return std::get<bool>(v_);
    case Type::Integer:
      return std::get<std::int64_t>(v_) != 0;
    case Type::Real:
      return std::get<double>(v_) != 0.0;
    default:
      return std::nullopt;
  }
}

const Array* Value::asArray() const {
  auto p = std::get_if<std::shared_ptr<foundation::Array>>(&v_);
  return p ? p->get() : nullptr;
}

Array* Value::asArray() {
  auto p = std::get_if<std::shared_ptr<foundation::Array>>(&v_);
  if (!p) return nullptr;
  if (p->use_count() > 1) *p = std::make_shared<foundation::Array>(**p);
  return p->get();
}

const Dictionary* Value::asDictionary() const {
  auto p = std::get_if<std::shared_ptr<foundation::Dictionary>>(&v_);
  return p ? p->get() : nullptr;
}

Dictionary* Value::asDictionary() {
  auto p = std::get_if<std::shared_ptr<foundation::Dictionary>>(&v_);
  if (!p) return nullptr;
  if (p->use_count() > 1) *p = std::make_shared<foundation::Dictionary>(**p);
  return p->get();
}

const Value* Value::get(std::string_view key) const {
  const Dictionary* d = asDictionary();
  return d ? d->find(key) : nullptr;
}

const Value* Value::get(std::initializer_list<std::string_view> path) const {
  const Value* v = this;
  for (auto key : path) {
    v = v->get(key);
    if (!v) return nullptr;
  }
  return v;
}

bool Value::operator==(const Value& other) const {
  if (type() != other.type()) return false;
  switch (type()) {
    case Type::Array:
      return *asArray() == *other.asArray();
    case Type::Dictionary:
      return *asDictionary() == *other.asDictionary();
    default:
      return v_ == other.v_;
  }
}

std::string Value::debugString() const {
  switch (type()) {
    case Type::Null:
      return "null";
    case Type::Bool:
      return std::get<bool>(v_) ? "true" : "false";
    case Type::Integer:
      return fmt::format("{}", std::get<std::int64_t>(v_));
    case Type::Real:
      return fmt::format("{}", std::get<double>(v_));
    case Type::String:
      return fmt::format("\"{}\"", std::get<std::string>(v_));
    case Type::Data:
      return fmt::format("<{} bytes>", asData()->size());
    case Type::Date:
      return fmt::format("{:%Y-%m-%dT%H:%M:%SZ}",
                         std::chrono::time_point_cast<std::chrono::seconds>(std::get<foundation::Date>(v_)));
    case Type::Array: {
      std::string s = "(";
      bool first = true;
      for (const auto& v : *asArray()) {
        s += first ? "" : ", ";
        s += v.debugString();
        first = false;
      }
      return s + ")";
    }
    case Type::Dictionary: {
      std::string s = "{";
      bool first = true;
      for (const auto& [k, v] : *asDictionary()) {
        s += first ? "" : "; ";
        s += k + " = " + v.debugString();
        first = false;
      }
      return s + "}";
    }
  }
  return {};
}

}  // namespace foundation

#include "platform/foundation/value.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <unordered_map>

namespace foundation {

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
  for (const auto& e : entries) set(e.first, e.second);
}

const Value* Dictionary::find(std::string_view key) const {
  for (const auto& e : entries_)
    if (e.first == key) return &e.second;
  return nullptr;
}

Value* Dictionary::find(std::string_view key) {
  for (auto& e : entries_)
    if (e.first == key) return &e.second;
  return nullptr;
}

Dictionary Dictionary::fromEntries(std::vector<Entry> entries) {
  Dictionary dictionary;
  dictionary.entries_.reserve(entries.size());
  std::unordered_map<std::string_view, std::size_t> positions;
  positions.reserve(entries.size());
  for (Entry& entry : entries) {
    // The views point into entries, which is neither moved nor resized.
    const auto [at, added] = positions.emplace(entry.first, dictionary.entries_.size());
    if (added) {
      dictionary.entries_.emplace_back(entry.first, std::move(entry.second));
    } else {
      dictionary.entries_[at->second].second = std::move(entry.second);
    }
  }
  return dictionary;
}

void Dictionary::set(std::string key, Value value) {
  if (Value* existing = find(key)) {
    *existing = std::move(value);
    return;
  }
  entries_.emplace_back(std::move(key), std::move(value));
}

Value& Dictionary::operator[](std::string_view key) {
  if (Value* existing = find(key)) return *existing;
  entries_.emplace_back(std::string(key), Value());
  return entries_.back().second;
}

bool Dictionary::erase(std::string_view key) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->first == key) {
      entries_.erase(it);
      return true;
    }
  }
  return false;
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

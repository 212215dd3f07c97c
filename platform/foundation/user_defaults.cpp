#include "platform/foundation/user_defaults.h"

#include <cstdlib>
#include <filesystem>

#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list.h"

namespace foundation {

std::string UserDefaults::standardPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path folder;
  if (config != nullptr && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::filesystem::path(home != nullptr && home[0] != '\0' ? home : "/tmp") / ".config";
  }
  return (folder / "velumar" / "velumar.plist").string();
}

UserDefaults& UserDefaults::standard() {
  static UserDefaults defaults(standardPath());
  return defaults;
}

UserDefaults::UserDefaults(std::string path) : path_(std::move(path)) {}

void UserDefaults::loadLocked() const {
  if (loaded_) return;
  loaded_ = true;
  std::error_code error;
  if (!std::filesystem::exists(path_, error)) return;
  auto contents = readPropertyList(path_);
  if (!contents) {
    log("User defaults: {} is unreadable; starting with none", path_);
    return;
  }
  values_ = *contents->asDictionary();
}

std::optional<Value> UserDefaults::object(const std::string& key) const {
  std::lock_guard lock(mutex_);
  loadLocked();
  const Value* value = values_.find(key);
  if (value == nullptr) return std::nullopt;
  return *value;
}

std::optional<bool> UserDefaults::boolForKey(const std::string& key) const {
  auto value = object(key);
  return value ? value->toBool() : std::nullopt;
}

std::optional<std::int64_t> UserDefaults::integerForKey(const std::string& key) const {
  auto value = object(key);
  return value ? value->toInt() : std::nullopt;
}

std::optional<double> UserDefaults::doubleForKey(const std::string& key) const {
  auto value = object(key);
  return value ? value->toDouble() : std::nullopt;
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
  auto value = object(key);
  if (!value || !value->asString()) return std::nullopt;
  return *value->asString();
}

std::optional<Data> UserDefaults::dataForKey(const std::string& key) const {
  auto value = object(key);
  if (!value || !value->asData()) return std::nullopt;
  return *value->asData();
}

void UserDefaults::announce() {
  NotificationCenter::defaultCenter().post(kDidChangeNotification, this);
}

void UserDefaults::set(const std::string& key, Value value) {
  if (value.isNull()) {
    remove(key);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    loadLocked();
    values_.set(key, std::move(value));
    unsaved_.insert(key);
  }
  announce();
}

void UserDefaults::remove(const std::string& key) {
  {
    std::lock_guard lock(mutex_);
    loadLocked();
    if (!values_.erase(key)) return;
    unsaved_.insert(key);
  }
  announce();
}

void UserDefaults::reload() {
  std::error_code error;
  std::optional<Value> contents;
  if (std::filesystem::exists(path_, error)) {
    contents = readPropertyList(path_);
    if (!contents) return;
  } else {
    contents = Value(Dictionary());
  }
  {
    std::lock_guard lock(mutex_);
    loadLocked();
    Dictionary merged = *contents->asDictionary();
    for (const std::string& key : unsaved_) {
      if (const Value* local = values_.find(key)) {
        merged.set(key, *local);
      } else {
        merged.erase(key);
      }
    }
    if (merged == values_) return;
    values_ = std::move(merged);
  }
  announce();
}

bool UserDefaults::synchronize() {
  std::lock_guard lock(mutex_);
  loadLocked();
  if (unsaved_.empty()) return true;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), error);
  if (!writePropertyList(path_, Value(values_))) {
    log("User defaults: cannot save {}", path_);
    return false;
  }
  unsaved_.clear();
  return true;
}

}  // namespace foundation

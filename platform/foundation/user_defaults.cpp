#include "platform/foundation/user_defaults.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/foundation/files.h"
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

namespace {

// "2026-12-07-190512" in local time: sorts by date and suits a file name.
std::string fileDateStamp(std::time_t now) {
  std::tm local{};
  char text[32] = {};
  if (localtime_r(&now, &local) == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d-%H%M%S", &local) == 0)
    return std::to_string(now);
  return text;
}

// The settings in the file at path; nullopt (logged, the cause in *cause)
// when it cannot be read or when what it holds could not be saved again, as
// a file the readers would refuse: such a file is treated as unreadable,
// not overwritten.
std::optional<Value> readSettings(const std::string& path, UserDefaults::UnreadableCause* cause) {
  using Cause = UserDefaults::UnreadableCause;
  PropertyListRefusal refusal = PropertyListRefusal::Malformed;
  auto contents = readPropertyList(path, &refusal);
  if (!contents) {
    *cause = refusal == PropertyListRefusal::TooManyValues  ? Cause::TooManyKeys
             : refusal == PropertyListRefusal::TooManyBytes ? Cause::TooLargeToRead
                                                            : Cause::Damaged;
    return std::nullopt;
  }
  // Room for what this program adds before it writes the settings back:
  // its own few dozen keys and folder bookmarks.
  constexpr std::uint64_t kSpareValues = 10'000;
  constexpr std::uint64_t kSpareBytes = 1 << 20;
  if (!propertyListFileFits(*contents, kSpareValues, kSpareBytes)) {
    log("User defaults: {} is too large to be saved again", path);
    *cause = Cause::TooLargeToSave;
    return std::nullopt;
  }
  return contents;
}

}  // namespace

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
  auto contents = readSettings(path_, &unreadableCause_);
  if (!contents) {
    unreadableKeptAs_ = path_ + ".unreadable-" + fileDateStamp(std::time(nullptr));
    log("User defaults: {} is unreadable; starting with none and keeping it as {}", path_, *unreadableKeptAs_);
    return;
  }
  values_ = std::move(*contents->asDictionary());
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
    UnreadableCause ignored;
    contents = readSettings(path_, &ignored);
    if (!contents) return;
  } else {
    contents = Value(Dictionary());
  }
  {
    std::lock_guard lock(mutex_);
    loadLocked();
    // The file's entries in its order, less the keys removed here and not
    // yet written; then this program's unsaved values, in their place or
    // after them.
    Dictionary merged = std::move(*contents->asDictionary());
    merged.eraseIf([&](const std::string& key) { return unsaved_.contains(key) && !values_.contains(key); });
    for (const std::string& key : unsaved_) {
      if (const Value* local = values_.find(key)) merged.set(key, *local);
    }
    if (merged == values_) return;
    values_ = std::move(merged);
  }
  announce();
}

void UserDefaults::announceWriteFailure() {
  NotificationCenter::defaultCenter().post(kWriteFailedNotification, this);
}

bool UserDefaults::keepUnreadableFileLocked() {
  if (!unreadableKeptAs_ || unreadableMoved_) return true;
  if (std::rename(path_.c_str(), unreadableKeptAs_->c_str()) != 0 && errno != ENOENT) {
    log("User defaults: cannot keep the unreadable {} as {}: {}", path_, *unreadableKeptAs_, std::strerror(errno));
    return false;
  }
  unreadableMoved_ = true;
  return true;
}

bool UserDefaults::synchronize() {
  bool written = true;
  {
    std::lock_guard lock(mutex_);
    loadLocked();
    if (unsaved_.empty()) return true;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), error);
    // The values are moved into the Value encoded and back, not copied.
    Value file(std::move(values_));
    const std::optional<Data> bytes = propertyListFile(file);
    values_ = std::move(*file.asDictionary());
    // The unreadable file is never replaced by the settings written now.
    written = bytes && keepUnreadableFileLocked() && writeFileAtomically(path_, *bytes);
    if (written) {
      unsaved_.clear();
    } else {
      lastWriteFailure_ = bytes ? WriteFailure::NotWritable : WriteFailure::TooLarge;
      log("User defaults: cannot save {}{}", path_, bytes ? "" : ": the settings are too large");
    }
  }
  if (!written) announceWriteFailure();
  return written;
}

std::optional<std::string> UserDefaults::unreadableFileKeptAs() const {
  std::lock_guard lock(mutex_);
  loadLocked();
  return unreadableKeptAs_;
}

UserDefaults::UnreadableCause UserDefaults::unreadableCause() const {
  std::lock_guard lock(mutex_);
  loadLocked();
  return unreadableCause_;
}

UserDefaults::WriteFailure UserDefaults::lastWriteFailure() const {
  std::lock_guard lock(mutex_);
  return lastWriteFailure_;
}

bool UserDefaults::canWrite() {
  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::string probe = (folder / ".velumar-write-test-XXXXXX").string();
  const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
  if (fd < 0) {
    log("User defaults: the folder {} cannot be written: {}", folder.string(), std::strerror(errno));
    {
      std::lock_guard lock(mutex_);
      lastWriteFailure_ = WriteFailure::NotWritable;
    }
    announceWriteFailure();
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace foundation

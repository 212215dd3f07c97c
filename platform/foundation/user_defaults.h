#pragma once
// The user's settings: a property-list dictionary kept in
// $XDG_CONFIG_HOME/velumar/velumar.plist (default ~/.config/velumar/), read at
// first use and written by synchronize(). Every getter answers nullopt when
// the key is missing, so a stored false/0/"" is told apart from no value.
// Thread-safe. Every change is announced with kDidChangeNotification on the
// default notification center (the defaults as sender), on the changing
// thread, after the change.
//
// A file that exists but cannot be read is never overwritten, nor is one
// whose settings could not be written back within the size the readers
// take (it would be refused as too large at the next start): the first
// write moves it aside (renamed beside it with the date and time it was
// found unreadable) before writing the settings.

#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/foundation/value.h"

namespace foundation {

class UserDefaults {
 public:
  static constexpr const char* kDidChangeNotification = "UserDefaultsDidChange";
  // Posted (the defaults as sender) after every failed write, on the
  // writing thread.
  static constexpr const char* kWriteFailedNotification = "UserDefaultsWriteFailed";

  // The process's defaults.
  static UserDefaults& standard();
  // The default file location under the configuration folder.
  static std::string standardPath();

  // Defaults kept in the property list at path (read at first use).
  explicit UserDefaults(std::string path);

  std::optional<Value> object(const std::string& key) const;
  // Numbers coerce as Value's do (bool, integer or real for any of them).
  std::optional<bool> boolForKey(const std::string& key) const;
  std::optional<std::int64_t> integerForKey(const std::string& key) const;
  std::optional<double> doubleForKey(const std::string& key) const;
  std::optional<std::string> stringForKey(const std::string& key) const;
  std::optional<Data> dataForKey(const std::string& key) const;

  // Stores value (a null value removes the key).
  void set(const std::string& key, Value value);
  void remove(const std::string& key);

  // Writes the settings atomically when anything changed since the last
  // write; creates the folder when missing. False when the write failed.
  bool synchronize();

  // Why the last failed write failed: the folder or file could not be
  // written, or the settings are too large for a file the readers take.
  enum class WriteFailure { NotWritable, TooLarge };
  WriteFailure lastWriteFailure() const;

  // When the file existed but could not be read at first use: the path it
  // is kept under ("velumar.plist.unreadable-2026-12-07-190512"), where the
  // next write moves it.
  std::optional<std::string> unreadableFileKeptAs() const;
  // Why it could not be read: it is damaged (or not a settings file), holds
  // more keys than the readers take, is larger than they take (the file, or
  // its shared values expanded), or is too large to be saved again.
  enum class UnreadableCause { Damaged, TooManyKeys, TooLargeToRead, TooLargeToSave };
  UnreadableCause unreadableCause() const;

  // Whether the settings' folder can be written: creates it when missing
  // and creates and removes a temporary file in it. Posts
  // kWriteFailedNotification when it cannot.
  bool canWrite();

  // Rereads the file after another program changed it; keys changed here
  // and not yet written keep this program's values. Announces a change when
  // any value differs. An unreadable file changes nothing.
  void reload();

  const std::string& path() const { return path_; }

 private:
  void loadLocked() const;
  void announce();
  void announceWriteFailure();
  // Moves the unreadable file aside, once; false when it could not be.
  bool keepUnreadableFileLocked();

  std::string path_;
  mutable std::mutex mutex_;
  mutable bool loaded_ = false;
  mutable Dictionary values_;
  // Keys set or removed since the last write.
  std::set<std::string> unsaved_;
  // Where an unreadable file goes, until it was moved there.
  mutable std::optional<std::string> unreadableKeptAs_;
  mutable UnreadableCause unreadableCause_ = UnreadableCause::Damaged;
  bool unreadableMoved_ = false;
  WriteFailure lastWriteFailure_ = WriteFailure::NotWritable;
};

}  // namespace foundation

#pragma once
// Named notifications delivered synchronously to observers, on the thread
// that posts. An observer is registered for a name (and optionally only for
// one sender) and stays registered as long as its token lives.

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/value.h"

namespace foundation {

struct Notification {
  std::string name;
  // The sender's identity (compared, never dereferenced); nullptr for none.
  const void* object = nullptr;
  // Property-list shaped details (null when there are none).
  Value userInfo;
  // Any other payload, for typed objects that are not property-list shaped.
  std::any payload;
};

class NotificationCenter;

// Removes its observer when destroyed or reset. Movable, not copyable.
class ObserverToken {
 public:
  ObserverToken() = default;
  ObserverToken(ObserverToken&& other) noexcept;
  ObserverToken& operator=(ObserverToken&& other) noexcept;
  ObserverToken(const ObserverToken&) = delete;
  ObserverToken& operator=(const ObserverToken&) = delete;
  ~ObserverToken();

  // Removes the observer now; safe to call more than once.
  void reset();
  bool active() const { return id_ != 0; }

 private:
  friend class NotificationCenter;
  struct Registry;
  ObserverToken(std::weak_ptr<Registry> registry, std::uint64_t id)
      : registry_(std::move(registry)), id_(id) {}
  std::weak_ptr<Registry> registry_;
  std::uint64_t id_ = 0;
};

class NotificationCenter {
 public:
  using Callback = std::function<void(const Notification&)>;

  NotificationCenter();
  ~NotificationCenter();
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  static NotificationCenter& defaultCenter();

  // Calls callback for every notification of that name; with a sender, only
  // for notifications posted by that sender. Keep the token: destroying it
  // removes the observer.
  [[nodiscard]] ObserverToken addObserver(std::string name, const void* object, Callback callback);
  [[nodiscard]] ObserverToken addObserver(std::string name, Callback callback) {
    return addObserver(std::move(name), nullptr, std::move(callback));
  }

  // Delivers to the matching observers, in the order they were added, before
  // returning. An observer removed meanwhile (even by another observer of the
  // same post) is not called; one added meanwhile waits for the next post.
  void post(const Notification& notification);
  void post(std::string name, const void* object = nullptr, Value userInfo = Value(), std::any payload = {});

 private:
  std::shared_ptr<ObserverToken::Registry> registry_;
};

}  // namespace foundation

#include "platform/foundation/notification_center.h"

#include <algorithm>

namespace foundation {

struct ObserverToken::Registry {
  struct Observer {
    std::uint64_t id;
    std::string name;
    const void* object;
    // Shared so a post can call it after releasing the lock, even when the
    // observer is removed while it runs.
    std::shared_ptr<NotificationCenter::Callback> callback;
  };
  std::mutex mutex;
  std::vector<Observer> observers;
  std::uint64_t nextId = 1;

  bool isRegistered(std::uint64_t id) {
    std::lock_guard lock(mutex);
    return std::any_of(observers.begin(), observers.end(), [id](const Observer& o) { return o.id == id; });
  }

  void remove(std::uint64_t id) {
    std::shared_ptr<NotificationCenter::Callback> released;
    {
      std::lock_guard lock(mutex);
      auto it =
          std::find_if(observers.begin(), observers.end(), [id](const Observer& o) { return o.id == id; });
      if (it == observers.end()) return;
      released = std::move(it->callback);
      observers.erase(it);
    }
    // The callback (and what it captured) is destroyed outside the lock.
  }
};

ObserverToken::ObserverToken(ObserverToken&& other) noexcept
    : registry_(std::move(other.registry_)), id_(std::exchange(other.id_, 0)) {}

ObserverToken& ObserverToken::operator=(ObserverToken&& other) noexcept {
  if (this != &other) {
    reset();
    registry_ = std::move(other.registry_);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

ObserverToken::~ObserverToken() {
  reset();
}

void ObserverToken::reset() {
  if (id_ == 0) return;
  if (auto registry = registry_.lock()) registry->remove(id_);
  registry_.reset();
  id_ = 0;
}

NotificationCenter::NotificationCenter() : registry_(std::make_shared<ObserverToken::Registry>()) {}
NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter center;
  return center;
}

ObserverToken NotificationCenter::addObserver(std::string name, const void* object, Callback callback) {
  std::lock_guard lock(registry_->mutex);
  const std::uint64_t id = registry_->nextId++;
  registry_->observers.push_back(
      {id, std::move(name), object, std::make_shared<Callback>(std::move(callback))});
  return ObserverToken(registry_, id);
}

void NotificationCenter::post(const Notification& notification) {
  struct Pending {
    std::uint64_t id;
    std::shared_ptr<Callback> callback;
  };
  std::vector<Pending> pending;
  {
    std::lock_guard lock(registry_->mutex);
    for (const auto& observer : registry_->observers) {
      if (observer.name != notification.name) continue;
      if (observer.object != nullptr && observer.object != notification.object) continue;
      pending.push_back({observer.id, observer.callback});
    }
  }
  for (const Pending& entry : pending) {
    if (!registry_->isRegistered(entry.id)) continue;
    if (*entry.callback) (*entry.callback)(notification);
  }
}

void NotificationCenter::post(std::string name, const void* object, Value userInfo, std::any payload) {
  post(Notification{std::move(name), object, std::move(userInfo), std::move(payload)});
}

}  // namespace foundation

// A notification centre that records what the client asks of it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/WallClock.h"

namespace vuko::test {

class RecordingNotificationCenter final : public NotificationCenter {
 public:
  // With a wall clock, a request for later falls due at its moment like the
  // desktop's: it leaves the pending list, is shown and reaches onDelivered.
  explicit RecordingNotificationCenter(Clock& loop = Clock::main(), WallClock* wall = nullptr)
      : loop_(loop), wall_(wall) {}

  NotificationAuthorization answer{true, NotificationAuthorization::Refusal::none};
  // Whether a window of the client has the focus: requests shown now are then
  // presented through onWillPresent.
  bool active = false;

  Future<NotificationAuthorization> requestAuthorization() override {
    ++authorizationRequests;
    Future<NotificationAuthorization> f;
    f.resolver()(answer);
    return f;
  }
  void setCategories(std::vector<NotificationCategory> c) override { categories = std::move(c); }
  void add(NotificationRequest r) override {
    added.push_back(r);
    if (r.trigger.kind == NotificationTrigger::Kind::none) {
      pendingById.erase(r.id);
      shown.push_back(r);
      // Like the desktop's centre: told on a later turn of the loop, never
      // inside the caller's add.
      if (active)
        loop_.defer([this, r, alive = std::weak_ptr<int>(life_)] {
          if (alive.lock() && onWillPresent) onWillPresent(r);
        });
    } else {
      pendingById[r.id] = r;
      if (wall_) {
        auto at = r.trigger.kind == NotificationTrigger::Kind::interval
                      ? wall_->now() + r.trigger.interval
                      : r.trigger.date;
        timers_[r.id] = wall_->at(at, [this, id = r.id] { due(id); });
      }
    }
  }
  Future<std::vector<NotificationRequest>> pending() override {
    std::vector<NotificationRequest> list;
    for (const auto& [id, r] : pendingById) list.push_back(r);
    Future<std::vector<NotificationRequest>> f;
    f.resolver()(std::move(list));
    return f;
  }
  void removePending(const std::vector<std::string>& ids) override {
    for (const auto& id : ids) {
      removed.push_back(id);
      pendingById.erase(id);
    }
  }

  // Counts the immediate requests shown under an id.
  size_t shownCount(const std::string& id) const {
    size_t n = 0;
    for (const auto& r : shown) n += r.id == id;
    return n;
  }

  int authorizationRequests = 0;
  std::vector<NotificationCategory> categories;
  std::vector<NotificationRequest> added;
  std::vector<NotificationRequest> shown;
  std::map<std::string, NotificationRequest> pendingById;
  std::vector<std::string> removed;

 private:
  void due(const std::string& id) {
    auto it = pendingById.find(id);
    if (it == pendingById.end()) return;
    auto request = it->second;
    pendingById.erase(it);
    shown.push_back(request);
    if (onDelivered) onDelivered(request);
    if (active)
      loop_.defer([this, request, alive = std::weak_ptr<int>(life_)] {
        if (alive.lock() && onWillPresent) onWillPresent(request);
      });
  }

  Clock& loop_;
  WallClock* wall_;
  std::map<std::string, Timer> timers_;
  std::shared_ptr<int> life_ = std::make_shared<int>();
};

}  // namespace vuko::test

// A notification centre that records what the client asks of it.
#pragma once

#include <algorithm>
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
  // Whether a window of the client has the focus: requests shown are then
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
    pendingById.erase(r.id);
    if (r.trigger.kind == NotificationTrigger::Kind::none) return show(r);
    pendingById[r.id] = r;
    if (!wall_) return;
    auto at = r.trigger.kind == NotificationTrigger::Kind::interval
                  ? wall_->now() + r.trigger.interval
                  : r.trigger.date;
    timers_[r.id] = wall_->at(at, [this, id = r.id] {
      auto it = pendingById.find(id);
      if (it == pendingById.end()) return;
      auto request = it->second;
      pendingById.erase(it);
      if (onDelivered) onDelivered(request);
      show(request);
    });
  }
  Future<std::vector<NotificationRequest>> pending() override {
    std::vector<NotificationRequest> list;
    for (const auto& [id, r] : pendingById) list.push_back(r);
    Future<std::vector<NotificationRequest>> f;
    f.resolver()(std::move(list));
    return f;
  }
  void removePending(const std::vector<std::string>& ids) override {
    for (const auto& id : ids) pendingById.erase(id);
  }

  // Counts the requests shown under an id.
  size_t shownCount(const std::string& id) const {
    return std::count_if(shown.begin(), shown.end(), [&](const auto& r) { return r.id == id; });
  }

  int authorizationRequests = 0;
  std::vector<NotificationCategory> categories;
  std::vector<NotificationRequest> shown;
  std::map<std::string, NotificationRequest> pendingById;

 private:
  void show(const NotificationRequest& r) {
    shown.push_back(r);
    // Like the desktop's centre: told on a later turn of the loop, never
    // inside the caller's add.
    if (active)
      loop_.defer([this, r, alive = std::weak_ptr<int>(life_)] {
        if (alive.lock() && onWillPresent) onWillPresent(r);
      });
  }

  Clock& loop_;
  WallClock* wall_;
  std::map<std::string, Timer> timers_;
  std::shared_ptr<int> life_ = std::make_shared<int>();
};

}  // namespace vuko::test

// The notification centre of own mode, where the client's banners stand in
// for the desktop's notifications: requests for later wait here on the wall
// clock (in memory), and each one reaches onDelivered when it falls due.
#pragma once

#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/PendingNotifications.h"
#include "platform/WallClock.h"

namespace vuko {

class OwnCenter final : public NotificationCenter {
 public:
  OwnCenter(WallClock& wall, Clock& loop);

  // Banners need no permission.
  Future<NotificationAuthorization> requestAuthorization() override;
  // Banners draw their own buttons.
  void setCategories(std::vector<NotificationCategory>) override {}
  // A request for now reaches onDelivered on the next turn of the loop.
  void add(NotificationRequest request) override;
  Future<std::vector<NotificationRequest>> pending() override;
  void removePending(const std::vector<std::string>& ids) override;

  // The requests waiting now, for the keep-awake look-ahead.
  std::vector<NotificationRequest> list() { return pending_.list(); }

 private:
  Clock& loop_;
  PendingNotifications pending_;
  Lifetime life_;
};

}  // namespace vuko

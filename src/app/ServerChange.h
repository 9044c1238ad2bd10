// What follows an accepted server choice: everything that learned something
// from the old server is reset or reloaded. The steps are hooks that the
// application delegate fills; a hook left empty is skipped.
#pragma once

#include <functional>
#include <string>

#include "platform/Clock.h"

namespace vuko {

class ServerChange {
 public:
  // The badge and the reminder poll wait this long after a change, so the
  // main page has had a moment to load and keep the new server's token.
  static constexpr Clock::Duration kSettleDelay = std::chrono::seconds(4);

  explicit ServerChange(Clock& clock = Clock::main()) : clock_(clock) {}

  std::function<void()> refreshSettings;
  std::function<void()> reloadMain;
  std::function<void()> clearBadge;
  std::function<void()> reloadMini;
  std::function<void(const std::string& path)> openMain;
  std::function<void()> resetReminders;
  // Run kSettleDelay after a change, in this order.
  std::function<void()> updateBadge;
  std::function<void()> syncReminders;

  // The sheet's completion: changed tells whether the stored server changed.
  void operator()(bool changed);

 private:
  Clock& clock_;
  Timer settle_;
};

}  // namespace vuko

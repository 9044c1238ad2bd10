// Reports the machine's wake from sleep (where the login manager tells it).
#pragma once

#include <functional>
#include <memory>

namespace vuko {

class WakeMonitor {
 public:
  // Starts listening; without a system bus or login manager nothing happens.
  explicit WakeMonitor(std::function<void()> onWake);
  ~WakeMonitor();
  WakeMonitor(const WakeMonitor&) = delete;
  WakeMonitor& operator=(const WakeMonitor&) = delete;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace vuko

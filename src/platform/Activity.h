// Keeping the process from being treated as idle while it waits for a
// reminder timer: the machine is kept from suspending while held. Holding is
// counted by the platform; release undoes one hold.
#pragma once

#include <memory>
#include <string>

namespace vuko {

class Activity {
 public:
  virtual ~Activity() = default;
  virtual void hold(const std::string& reason) = 0;
  virtual void release() = 0;

  // The process-wide service (the application's hold unless a test replaced it).
  static Activity& current();
  static void setCurrent(std::shared_ptr<Activity> a);
};

}  // namespace vuko

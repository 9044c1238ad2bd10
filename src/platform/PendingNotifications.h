// Notification requests waiting for their moment on the wall clock. Each
// request has exactly one timer here; kept in a file, a request that falls
// due while the client is not running comes once right after the next start.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/NotificationCenter.h"

namespace vuko {

class Defaults;
class WallClock;

class PendingNotifications {
 public:
  // file: where the requests are kept; none keeps them in memory.
  PendingNotifications(WallClock& wall, std::optional<std::filesystem::path> file);
  ~PendingNotifications();
  PendingNotifications(const PendingNotifications&) = delete;
  PendingNotifications& operator=(const PendingNotifications&) = delete;

  // A request fell due. Runs on the wall clock's own turn of the main loop;
  // the request is off the list, and out of the file, by then.
  std::function<void(NotificationRequest)> onDue;

  // Reads the file the first time; requests already due fire on a later turn.
  void load();
  // Keeps the request until its trigger's moment (an interval counts from
  // now); it replaces a pending one with the same id.
  void add(NotificationRequest request);
  // Whether one of the ids was pending.
  bool remove(const std::vector<std::string>& ids);
  std::vector<NotificationRequest> list();
  // Where a corrupt file was moved at load, if that happened.
  std::optional<std::filesystem::path> setAside();

 private:
  struct Entry;

  void arm(NotificationRequest request);
  void fire(const std::string& id);
  void save();

  WallClock& wall_;
  std::optional<std::filesystem::path> file_;
  std::unique_ptr<Defaults> store_;
  std::map<std::string, std::unique_ptr<Entry>> pending_;
};

}  // namespace vuko

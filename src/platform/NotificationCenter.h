// The desktop's notification service as the client uses it: permission,
// categories of action buttons, requests shown now or at a wall-clock
// moment, the list of pending requests, and the answers of the user.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/AppId.h"
#include "platform/Task.h"

namespace vuko {

struct NotificationAction {
  std::string id;
  std::string title;
};

struct NotificationCategory {
  std::string id;
  std::vector<NotificationAction> actions;
};

struct NotificationContent {
  std::string title;
  std::string body;
  std::string categoryId;
  std::string threadId;
  bool sound = true;
  nlohmann::json userInfo = nlohmann::json::object();
};

struct NotificationTrigger {
  enum class Kind { none, calendar, interval };
  Kind kind = Kind::none;
  // calendar: the moment; interval: counted from when the request is added.
  std::chrono::system_clock::time_point date{};
  std::chrono::seconds interval{0};

  static NotificationTrigger at(std::chrono::system_clock::time_point t) {
    return {Kind::calendar, t, {}};
  }
  static NotificationTrigger after(std::chrono::seconds s) { return {Kind::interval, {}, s}; }
};

struct NotificationRequest {
  std::string id;
  NotificationContent content;
  NotificationTrigger trigger;
};

struct NotificationResponse {
  NotificationResponse() = default;
  NotificationResponse(NotificationRequest r, std::string action, std::string token = {})
      : request(std::move(r)), actionId(std::move(action)), activationToken(std::move(token)) {}

  NotificationRequest request;
  // One of the category's action ids, or defaultAction for a click.
  std::string actionId;
  // What the notification server handed over for raising a window of the
  // client; empty when it sent nothing.
  std::string activationToken;
  static constexpr const char* defaultAction = "default";
};

struct NotificationAuthorization {
  enum class Refusal {
    none,
    // The desktop shows no notifications at all (no notification server).
    notAllowed,
    // The user switched this client's notifications off.
    other,
  };
  bool granted = false;
  Refusal refusal = Refusal::none;
};

// Its callbacks run on a turn of the main loop of their own, never inside a
// call the client makes to the centre.
class NotificationCenter {
 public:
  virtual ~NotificationCenter() = default;

  virtual Future<NotificationAuthorization> requestAuthorization() = 0;
  virtual void setCategories(std::vector<NotificationCategory> categories) = 0;
  // A request with the id of an earlier one replaces it, pending or shown.
  virtual void add(NotificationRequest request) = 0;
  virtual Future<std::vector<NotificationRequest>> pending() = 0;
  virtual void removePending(const std::vector<std::string>& ids) = 0;

  // A pending request fell due. A client that takes it (returns true) shows
  // it its own way; the centre then neither shows it nor reports it delivered.
  std::function<bool(const NotificationRequest&)> onDue;
  // A pending request fell due and went on to be shown; the client records it.
  std::function<void(const NotificationRequest&)> onDelivered;
  // A request is shown while a window of the client has the focus.
  std::function<void(const NotificationRequest&)> onWillPresent;
  // The user clicked a notification or one of its buttons.
  std::function<void(const NotificationResponse&)> onDidReceive;
  // A request fell due but the desktop would not show it (its notification
  // server went away); the client shows it another way.
  std::function<void(const NotificationRequest&)> onUndelivered;

  // The process-wide centre (the desktop's unless a test replaced it).
  static NotificationCenter& current();
  static void setCurrent(std::shared_ptr<NotificationCenter> c);
};

class Clock;
class WallClock;

// The desktop's notification server (org.freedesktop.Notifications on the
// session bus). Requests for later wait inside the client on the wall clock
// and are kept in a file, so one that falls due while the client is not
// running is shown once right after the next start.
class DesktopNotificationCenter final : public NotificationCenter {
 public:
  struct Options {
    // Where pending requests are kept; none keeps them in memory.
    std::optional<std::filesystem::path> store;
    WallClock* wall = nullptr;
    // The client's desktop entry, without ".desktop".
    std::string desktopId = kAppId;
    // Where the callbacks are posted; none is the main-loop clock.
    Clock* loop = nullptr;
  };

  // Keeps pending requests in defaultStore().
  DesktopNotificationCenter();
  explicit DesktopNotificationCenter(Options options);
  ~DesktopNotificationCenter() override;
  DesktopNotificationCenter(const DesktopNotificationCenter&) = delete;
  DesktopNotificationCenter& operator=(const DesktopNotificationCenter&) = delete;

  Future<NotificationAuthorization> requestAuthorization() override;
  void setCategories(std::vector<NotificationCategory> categories) override;
  void add(NotificationRequest request) override;
  Future<std::vector<NotificationRequest>> pending() override;
  void removePending(const std::vector<std::string>& ids) override;

  // Whether a window of the client has the focus now.
  std::function<bool()> isActive;
  // The label of a click on the notification, for servers that show it as a
  // button; the client words it.
  std::string openTitle;

  // $XDG_STATE_HOME/vuko/notifications.json.
  static std::optional<std::filesystem::path> defaultStore();
  // Where a corrupt store was moved at load, if that happened.
  std::optional<std::filesystem::path> setAside() const;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace vuko

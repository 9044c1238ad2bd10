// The native reminder engine: polls the server's upcoming reminders, hands
// them to the desktop's notification centre or shows own banners at their
// time, reports them fired, and carries out the answers of the user.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/Activity.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/NotificationCenter.h"
#include "platform/Task.h"
#include "platform/WallClock.h"
#include "reminders/Banner.h"
#include "reminders/Item.h"
#include "reminders/OwnCenter.h"
#include "server/TaskApi.h"

namespace vuko {

// The services the engine runs on; each left empty is the process-wide one.
struct ReminderServices {
  Clock* clock = nullptr;
  WallClock* wall = nullptr;
  NotificationCenter* center = nullptr;
  Defaults* defaults = nullptr;
  Activity* activity = nullptr;
  BannerHost* banners = nullptr;
  // Keeps the maps in memory (a test run); off by default.
  std::optional<bool> testMode;
};

// The user's answer to a reminder: done, snooze, or anything else to open it.
struct ReminderAnswer {
  std::string action;
  // The reminder answered: its id, task, kind, title and body.
  ReminderItem item;
  // Lets the window take the focus when the answer came from a notification.
  std::string activationToken;
};

// Pending reminders live in a notification centre, one timer each: the
// desktop's in system mode, the own centre feeding the banners in own mode.
// The engine asks the centre what is pending and records what was shown.
class Reminders {
 public:
  enum class Mode { unknown, system, own, off };
  using Item = ReminderItem;
  using TimePoint = std::chrono::system_clock::time_point;

  static constexpr const char* taskCategory = "vuko.task";
  static constexpr const char* digestCategory = "vuko.digest";
  static constexpr const char* doneAction = "vuko.done";
  static constexpr const char* snoozeAction = "vuko.snooze";
  // The title of a notification's click action where the desktop shows one.
  static constexpr const char* openTitle = "Открыть";
  // Reminders that fall due more than kLateAfter after their moment (after a
  // sleep, or while the client was not running) are gathered for a moment;
  // more than kMostOneByOne of them come as one notification.
  static constexpr auto kLateAfter = std::chrono::minutes(10);
  static constexpr std::size_t kMostOneByOne = 3;
  static constexpr const char* missedTitle = "Пропущенные напоминания";
  // "5 напоминаний, пока компьютер спал: «a», «b» и ещё 3".
  static std::string missedBody(const std::vector<std::string>& titles);
  // Why the machine is kept awake, as the desktop may show it.
  static constexpr const char* keepAwakeReason = "Vuko ждёт напоминания";

  using Services = ReminderServices;

  // The server's calls go through api (which outlives the engine) with the
  // token its source gives; the engine's own calls end with it.
  explicit Reminders(TaskApi& api, Services services = {});
  ~Reminders();
  Reminders(const Reminders&) = delete;
  Reminders& operator=(const Reminders&) = delete;

  // A page to show; activationToken lets the window take the focus when the
  // answer came from a notification (empty otherwise).
  std::function<void(const std::string& path, const std::string& activationToken)> onOpen;
  std::function<void()> onChanged;
  std::function<void(bool)> onNative;
  std::function<void(Mode)> onMode;
  // After a poll the server answered, with the token it took.
  std::function<void(const std::string& token)> onReached;
  // The server refused the token a poll sent.
  std::function<void()> onRefused;
  // A reminder reached the user for the first time: shown, or gathered into
  // a notification of missed ones.
  std::function<void()> onDelivered;

  void start();
  void soon(double seconds = 2);
  // The machine woke: passed appointments fire, and a poll follows.
  void wake();
  Task<std::string> sync();
  // The account is gone (signed out, or another server chosen): its token,
  // its pending reminders and snoozes and its banners on screen go with it.
  void reset();
  void clearScheduled();

  Mode mode() const { return mode_; }
  // Whether the page may count on notifications after asking for permission:
  // granted, or refused while own banners stand in.
  static bool permissionAllowed(const NotificationAuthorization& answer, Mode mode) {
    return answer.granted || mode == Mode::own;
  }
  const std::vector<Item>& lastSync() const { return lastSync_; }

  static std::optional<Item> item(const nlohmann::json& dict) { return Item::from(dict); }
  static std::optional<TimePoint> parseDate(const std::string& t) { return Item::parseDate(t); }

  // Delivery through the notification centre.
  static NotificationContent content(const Item& item);
  void schedule(const Item& item);
  void present(const Item& item);
  // A reminder reached the user: recorded and reported fired once.
  void delivered(const NotificationRequest& request);
  void notifyNow(const std::string& title, const std::string& body, const std::string& tag);

  // Own banners.
  void showBanner(const Item& item);
  void layoutBanners();
  const std::vector<std::unique_ptr<ReminderBanner>>& banners() const { return banners_; }

  // The answers of the user.
  void handle(const NotificationResponse& response);
  void handle(const ReminderAnswer& answer);

  // Keep-awake while an own banner's moment is near.
  void updateActivity();

  // The ids waiting in the own centre (own mode's reminders and snoozes).
  std::vector<std::string> ownPending();
  // The persistent maps of the current server.
  std::map<std::string, TimePoint> shownMap() const;
  std::map<std::string, TimePoint> scheduledMap() const;

 private:
  void setMode(Mode m);
  std::string key(const std::string& name) const;
  void saveShown(const std::map<std::string, TimePoint>& map);
  void saveScheduled(std::map<std::string, TimePoint> map);
  std::map<std::string, TimePoint> readMap(const std::string& name) const;
  void writeMap(const std::string& name, const std::map<std::string, TimePoint>& map);
  Task<std::string> syncSteps();
  void finishSync();
  // The centre pending reminders live in for the mode.
  NotificationCenter& active() { return mode_ == Mode::own ? own_ : center_; }
  void ownDue(const NotificationRequest& request);
  void withdraw(NotificationCenter& center);
  Task<> done(long long taskId);
  Task<> reportFired(std::string id);
  Task<> askPermission();
  void snooze(const Item& item);
  static std::optional<Item> itemOf(const NotificationRequest& request);

  // Late reminders, by where they fell due.
  enum class From { desktop, own, poll };
  struct Late {
    Item item;
    NotificationRequest request;
    From from;
  };
  bool takeLate(const NotificationRequest& request, From from);
  void gatherLate(Late late);
  void showLate();

  TaskApi& api_;
  Clock& clock_;
  WallClock& wall_;
  NotificationCenter& center_;
  Defaults& d_;
  Activity& activitySvc_;
  BannerHost* bannerHost_;
  bool testMode_;
  OwnCenter own_;

  Mode mode_ = Mode::unknown;
  std::vector<Item> lastSync_;
  std::optional<std::string> lastToken_;
  // Counts resets, so work begun for one account stops at its sign-out.
  unsigned account_ = 0;
  // From a reset until a poll succeeds with the next sign-in's token.
  bool signedOut_ = false;
  std::vector<std::unique_ptr<ReminderBanner>> banners_;
  std::vector<Late> late_;
  Timer lateTimer_;
  Timer activityCheck_;
  bool running_ = false;
  bool rerun_ = false;
  Timer soonWork_;
  Timer pollTimer_;
  bool activity_ = false;
  std::map<std::string, TimePoint> testShown_;
  std::map<std::string, TimePoint> testScheduled_;
  Lifetime life_;
};

}  // namespace vuko

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
#include "platform/Http.h"
#include "platform/NotificationCenter.h"
#include "platform/Task.h"
#include "platform/WallClock.h"
#include "reminders/Banner.h"
#include "reminders/Item.h"

namespace vuko {

// The services the engine runs on; each left empty is the process-wide one.
struct ReminderServices {
  Clock* clock = nullptr;
  WallClock* wall = nullptr;
  NotificationCenter* center = nullptr;
  Defaults* defaults = nullptr;
  Activity* activity = nullptr;
  BannerHost* banners = nullptr;
  std::function<Task<HttpResponse>(HttpRequest)> http;
  // Keeps the maps in memory (a test run); off by default.
  std::optional<bool> testMode;
};

class Reminders {
 public:
  enum class Mode { unknown, system, own, off };
  using Item = ReminderItem;
  using TimePoint = std::chrono::system_clock::time_point;
  using TokenProvider = std::function<Task<std::optional<std::string>>()>;
  using HttpSend = std::function<Task<HttpResponse>(HttpRequest)>;

  static constexpr const char* taskCategory = "vuko.task";
  static constexpr const char* digestCategory = "vuko.digest";
  static constexpr const char* doneAction = "vuko.done";
  static constexpr const char* snoozeAction = "vuko.snooze";
  // Why the machine is kept awake, as the desktop may show it.
  static constexpr const char* keepAwakeReason = "Vuko ждёт напоминания";

  using Services = ReminderServices;

  explicit Reminders(TokenProvider token, Services services = {});
  ~Reminders();
  Reminders(const Reminders&) = delete;
  Reminders& operator=(const Reminders&) = delete;

  // A page to show; activationToken lets the window take the focus when the
  // answer came from a notification (empty otherwise).
  std::function<void(const std::string& path, const std::string& activationToken)> onOpen;
  std::function<void()> onChanged;
  std::function<void(bool)> onNative;
  std::function<void(Mode)> onMode;

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

  Task<std::pair<int, std::optional<nlohmann::json>>> get(std::string path, std::string token);
  Task<int> post(std::string path, std::string token);

  static std::optional<Item> item(const nlohmann::json& dict) { return Item::from(dict); }
  static std::optional<TimePoint> parseDate(const std::string& t) { return Item::parseDate(t); }

  // Delivery through the notification centre.
  static NotificationContent content(const Item& item);
  void schedule(const Item& item);
  void present(const Item& item);
  void delivered(const NotificationRequest& request);
  void notifyNow(const std::string& title, const std::string& body, const std::string& tag);

  // Own banners and reminder timers.
  void showBanner(const Item& item);
  void layoutBanners();
  const std::vector<std::unique_ptr<ReminderBanner>>& banners() const { return banners_; }
  void arm(const Item& item);

  // The answers of the user.
  void handle(const NotificationResponse& response);
  void handle(const std::string& action, const std::string& rid, std::optional<long long> taskId,
              const std::string& title, const std::string& body, const std::string& kind,
              const std::string& activationToken = {});

  // Keep-awake while an own timer is near.
  void updateActivity();

  // For tests and the self-test: the keys of the timers now set.
  std::vector<std::string> timerKeys() const;
  // The persistent maps of the current server.
  std::map<std::string, TimePoint> shownMap() const;
  std::map<std::string, TimePoint> scheduledMap() const;

 private:
  struct TimerEntry {
    Timer timer;
    TimePoint at;
    bool fired = false;
  };

  void setMode(Mode m);
  std::string key(const std::string& name) const;
  void saveShown(const std::map<std::string, TimePoint>& map);
  void saveScheduled(std::map<std::string, TimePoint> map);
  std::map<std::string, TimePoint> readMap(const std::string& name) const;
  void writeMap(const std::string& name, const std::map<std::string, TimePoint>& map);
  Task<std::string> syncSteps();
  void finishSync();
  Task<> timerFired(Item item);
  Task<> done(long long taskId);
  Task<> reportFired(std::string id);
  Task<> askPermission();
  void snooze(const Item& item);
  static std::optional<Item> itemOf(const NotificationRequest& request);

  TokenProvider token_;
  Clock& clock_;
  WallClock& wall_;
  NotificationCenter& center_;
  Defaults& d_;
  Activity& activitySvc_;
  BannerHost* bannerHost_;
  HttpSend http_;
  bool testMode_;

  Mode mode_ = Mode::unknown;
  std::vector<Item> lastSync_;
  std::optional<std::string> lastToken_;
  // Counts resets, so work begun for one account stops at its sign-out.
  unsigned account_ = 0;
  // From a reset until a poll succeeds with the next sign-in's token.
  bool signedOut_ = false;
  std::map<std::string, TimerEntry> timers_;
  std::vector<std::unique_ptr<ReminderBanner>> banners_;
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

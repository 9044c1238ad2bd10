#include "reminders/Reminders.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "server/Settings.h"
#include "wording/SystemWording.h"

namespace vuko {

namespace {

constexpr auto pollEvery = std::chrono::seconds(300);
constexpr auto keepFor = std::chrono::hours(48);
constexpr size_t perPoll = 60;

bool startsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

}  // namespace

Reminders::Reminders(TaskApi& api, Services s)
    : api_(api),
      clock_(s.clock ? *s.clock : Clock::main()),
      wall_(s.wall ? *s.wall : WallClock::main()),
      center_(s.center ? *s.center : NotificationCenter::current()),
      d_(s.defaults ? *s.defaults : Defaults::standard()),
      activitySvc_(s.activity ? *s.activity : Activity::current()),
      bannerHost_(s.banners),
      testMode_(s.testMode.value_or(false)),
      own_(wall_, clock_) {}

Reminders::~Reminders() {
  if (activity_) activitySvc_.release();
  if (center_.onUndelivered) center_.onUndelivered = nullptr;
  if (center_.onDue) center_.onDue = nullptr;
  if (center_.onDelivered) center_.onDelivered = nullptr;
  if (center_.onWillPresent) center_.onWillPresent = nullptr;
  if (center_.onDidReceive) center_.onDidReceive = nullptr;
}

void Reminders::setMode(Mode m) {
  if (m == mode_) return;
  mode_ = m;
  if (onMode) onMode(m);
}

void Reminders::start() {
  center_.setCategories({
      {taskCategory, {{doneAction, "Готово"}, {snoozeAction, "Отложить на 10 мин"}}},
      {digestCategory, {}},
  });
  auto alive = life_.guard();
  // A request the desktop would not take still reaches the user.
  center_.onUndelivered = [this, alive](const NotificationRequest& r) {
    if (alive) showBanner(*itemOf(r));
  };
  center_.onDue = [this, alive](const NotificationRequest& r) {
    return alive && takeLate(r, From::desktop);
  };
  center_.onDelivered = [this, alive](const NotificationRequest& r) {
    if (alive) delivered(r);
  };
  // Shown over the focused window, and the user's answers: straight to the
  // engine, which owns every reminder request.
  center_.onWillPresent = [this, alive](const NotificationRequest& r) {
    if (alive) delivered(r);
  };
  center_.onDidReceive = [this, alive](const NotificationResponse& r) {
    if (alive) handle(r);
  };
  own_.onDelivered = [this, alive](const NotificationRequest& r) {
    if (alive) ownDue(r);
  };
  askPermission().detach();
  pollTimer_ = clock_.schedule(
      pollEvery,
      [this, alive] {
        if (alive) sync().detach();
      },
      true);
}

void Reminders::wake() {
  wall_.recheck();
  soon(5);
}

Task<> Reminders::askPermission() {
  auto alive = life_.guard();
  auto answer = co_await center_.requestAuthorization();
  if (!alive) co_return;
  using Refusal = NotificationAuthorization::Refusal;
  setMode(answer.granted                          ? Mode::system
          : answer.refusal == Refusal::notAllowed ? Mode::own
                                                  : Mode::off);
  soon(0);
}

void Reminders::soon(double seconds) {
  auto alive = life_.guard();
  auto ms = std::chrono::milliseconds(static_cast<long long>(std::max(0.0, seconds) * 1000));
  soonWork_ = clock_.schedule(ms, [this, alive] {
    if (alive) sync().detach();
  });
}

Task<std::string> Reminders::sync() {
  if (running_) {
    rerun_ = true;
    co_return "уже идёт";
  }
  running_ = true;
  auto alive = life_.guard();
  std::string text = co_await syncSteps();
  if (alive) finishSync();
  co_return text;
}

void Reminders::finishSync() {
  running_ = false;
  if (rerun_) {
    rerun_ = false;
    soon(1);
  }
}

Task<std::string> Reminders::syncSteps() {
  auto alive = life_.guard();
  auto account = account_;
  auto gone = [&] { return !alive || account != account_; };
  if (mode_ == Mode::off) {
    if (onNative) onNative(false);
    clearScheduled();
    co_return wording::notifyOffShort;
  }
  if (mode_ == Mode::unknown) co_return wording::awaitingPermission;

  auto provided = co_await api_.token();
  if (gone()) co_return "";
  std::optional<std::string> token = provided ? provided : lastToken_;
  if (!token || token->empty()) co_return "не выполнен вход";

  auto [status, items] = co_await api_.upcoming(*token, alive);
  if (gone()) co_return "";
  if (status == 401) {
    lastToken_.reset();
    clearScheduled();
    if (onRefused) onRefused();
    co_return "вход истёк";
  }
  if (status == 404) {
    if (onNative) onNative(false);
    co_return "сервер без /upcoming — напоминания опрашивает веб-версия";
  }
  if (!items) co_return "нет связи (" + std::to_string(status) + ")";

  lastToken_ = token;
  signedOut_ = false;
  if (onNative) onNative(true);
  if (onReached) onReached(*token);
  std::vector<Item> list;
  for (const auto& e : *items)
    if (auto i = Item::from(e)) list.push_back(std::move(*i));
  std::stable_sort(list.begin(), list.end(),
                   [](const Item& a, const Item& b) { return a.at < b.at; });
  lastSync_ = list;

  auto& centre = active();
  auto pending = co_await centre.pending();
  if (gone()) co_return "";
  std::set<std::string> wanted;
  for (const auto& i : list) wanted.insert(i.nid());
  std::set<std::string> pendingIds;
  std::vector<std::string> stale;
  for (const auto& r : pending) {
    pendingIds.insert(r.id);
    if (startsWith(r.id, "rem") && !wanted.count(r.id)) stale.push_back(r.id);
  }
  if (!stale.empty()) centre.removePending(stale);

  auto shown = shownMap();
  auto scheduled = scheduledMap();
  auto now = wall_.now();
  std::vector<std::string> fired;
  for (size_t n = 0; n < list.size() && n < perPoll; ++n) {
    const Item& item = list[n];
    auto key = item.nid();
    if (item.at > now + std::chrono::seconds(1)) {
      schedule(item);
      scheduled[key] = item.at;
      continue;
    }
    if (!shown.count(key)) {
      auto sched = scheduled.find(key);
      // A request still pending has not shown or recorded its reminder yet
      // (the poll can come before its timer after a wake).
      if (sched == scheduled.end() || sched->second > now || pendingIds.count(key)) {
        centre.removePending({key});
        if (now - item.at > kLateAfter)
          gatherLate({item, {}, From::poll});
        else
          present(item);
        if (onDelivered) onDelivered();
      }
    }
    shown[key] = now;
    fired.push_back(item.id);
  }
  std::erase_if(scheduled, [&](const auto& e) { return e.second <= now - keepFor; });
  saveScheduled(scheduled);
  saveShown(shown);

  for (const auto& id : fired) {
    co_await api_.fired(*token, id, alive);
    if (gone()) co_return "";
  }
  updateActivity();
  co_return "запланировано " + std::to_string(list.size() - fired.size()) + ", показано сейчас " +
      std::to_string(fired.size());
}

void Reminders::reset() {
  lastToken_.reset();
  ++account_;
  signedOut_ = true;
  // Destroyed here rather than finished: no answer of theirs is wanted.
  auto shownBanners = std::move(banners_);
  banners_.clear();
  late_.clear();
  lateTimer_.cancel();
  clearScheduled();
}

void Reminders::clearScheduled() {
  withdraw(center_);
  withdraw(own_);
  lastSync_.clear();
  updateActivity();
}

void Reminders::withdraw(NotificationCenter& center) {
  [](NotificationCenter& c, Lifetime::Guard g) -> Task<> {
    auto pending = co_await c.pending();
    if (!g) co_return;
    std::vector<std::string> ids;
    for (const auto& r : pending)
      if (startsWith(r.id, "rem") || startsWith(r.id, "snooze-")) ids.push_back(r.id);
    if (!ids.empty()) c.removePending(ids);
  }(center, life_.guard())
                                                      .detach();
}

// The persistent maps.

std::string Reminders::key(const std::string& name) const {
  auto server = Settings::server();
  std::string k = "reminders." + name + "." + server.host().value_or("");
  if (server.port()) k += ":" + std::to_string(*server.port());
  return k;
}

std::map<std::string, Reminders::TimePoint> Reminders::readMap(const std::string& name) const {
  std::map<std::string, TimePoint> out;
  auto dict = d_.dictionary(key(name));
  if (!dict) return out;
  // An entry that is not a date is skipped; the others stay usable.
  for (const auto& [k, v] : dict->items()) {
    const nlohmann::json* text = &v;
    if (v.is_object() && v.contains("$date")) text = &v["$date"];
    if (!text->is_string()) continue;
    if (auto t = Item::parseDate(text->get<std::string>())) out[k] = *t;
  }
  return out;
}

void Reminders::writeMap(const std::string& name, const std::map<std::string, TimePoint>& map) {
  nlohmann::json dict = nlohmann::json::object();
  for (const auto& [k, t] : map) dict[k] = {{"$date", Item::formatDate(t)}};
  d_.setDictionary(key(name), dict);
}

std::map<std::string, Reminders::TimePoint> Reminders::shownMap() const {
  auto map = testMode_ ? testShown_ : readMap("shown");
  auto limit = wall_.now() - keepFor;
  std::erase_if(map, [&](const auto& e) { return e.second <= limit; });
  return map;
}

std::map<std::string, Reminders::TimePoint> Reminders::scheduledMap() const {
  return testMode_ ? testScheduled_ : readMap("scheduled");
}

void Reminders::saveShown(const std::map<std::string, TimePoint>& map) {
  if (testMode_)
    testShown_ = map;
  else
    writeMap("shown", map);
}

void Reminders::saveScheduled(std::map<std::string, TimePoint> map) {
  if (testMode_)
    testScheduled_ = std::move(map);
  else
    writeMap("scheduled", map);
}

Task<> Reminders::reportFired(std::string id) {
  if (!lastToken_) co_return;
  co_await api_.fired(*lastToken_, id, life_.guard());
}

std::vector<std::string> Reminders::ownPending() {
  std::vector<std::string> keys;
  for (const auto& r : own_.list()) keys.push_back(r.id);
  return keys;
}

}  // namespace vuko

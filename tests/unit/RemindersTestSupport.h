// The reminder engine on fakes: a fake clock, a recording notification centre,
// a scripted task API, banner windows that only remember where they are.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Defaults.h"
#include "reminders/Reminders.h"
#include "support/FakeClock.h"
#include "support/FakeTaskApi.h"

namespace vuko::test {

template <typename T>
Future<T> resolved(T value) {
  Future<T> f;
  f.resolver()(std::move(value));
  return f;
}

// Requests for later fall due at their moment like the desktop's: they leave
// the pending list, are shown and reach onDelivered.
class RecordingNotificationCenter final : public NotificationCenter {
 public:
  explicit RecordingNotificationCenter(FakeClock& c) : clock_(c) {}

  NotificationAuthorization answer;
  // A window of the client has the focus: what is shown is then presented
  // through onWillPresent.
  bool active = false;
  std::vector<NotificationCategory> categories;
  std::vector<NotificationRequest> shown;
  std::map<std::string, NotificationRequest> pendingById;

  Future<NotificationAuthorization> requestAuthorization() override { return resolved(answer); }
  void setCategories(std::vector<NotificationCategory> c) override { categories = std::move(c); }
  void add(NotificationRequest r) override {
    pendingById.erase(r.id);
    if (r.trigger.kind == NotificationTrigger::Kind::none) return show(r);
    pendingById[r.id] = r;
    auto at = r.trigger.kind == NotificationTrigger::Kind::interval
                  ? clock_.wall.now() + r.trigger.interval
                  : r.trigger.date;
    timers_[r.id] = clock_.wall.at(at, [this, id = r.id] {
      auto it = pendingById.find(id);
      if (it == pendingById.end()) return;
      auto request = it->second;
      pendingById.erase(it);
      if (onDue && onDue(request)) return;
      if (onDelivered) onDelivered(request);
      show(request);
    });
  }
  Future<std::vector<NotificationRequest>> pending() override {
    std::vector<NotificationRequest> list;
    for (const auto& [id, r] : pendingById) list.push_back(r);
    return resolved(std::move(list));
  }
  void removePending(const std::vector<std::string>& ids) override {
    for (const auto& id : ids) pendingById.erase(id);
  }
  size_t shownCount(const std::string& id) const {
    return std::count_if(shown.begin(), shown.end(), [&](const auto& r) { return r.id == id; });
  }

 private:
  void show(const NotificationRequest& r) {
    shown.push_back(r);
    // Told on a later turn of the loop, never inside the caller's add.
    if (active)
      clock_.defer([this, r] {
        if (onWillPresent) onWillPresent(r);
      });
  }

  FakeClock& clock_;
  std::map<std::string, Timer> timers_;
};

class FakeBannerView final : public BannerView {
 public:
  FakeBannerView(BannerContent c, int& alive) : content(std::move(c)), alive_(alive) { ++alive_; }
  ~FakeBannerView() override { --alive_; }
  int width() const override { return 340; }
  int height() const override { return content.buttons ? 96 : 64; }
  void moveTo(int nx, int ny) override { std::tie(x, y) = std::tie(nx, ny); }
  void appear() override {}
  void hide() override {}
  void press(std::optional<std::string> action) { onInput(std::move(action)); }

  BannerContent content;
  int x = -1, y = -1;

 private:
  int& alive_;
};

class FakeBannerHost final : public BannerHost {
 public:
  std::unique_ptr<BannerView> make(const BannerContent& c) override {
    ++made;
    return std::make_unique<FakeBannerView>(c, alive);
  }
  std::optional<WorkArea> workArea() const override { return WorkArea{0, 30, 1920, 1050}; }
  void playSound() override {}

  int made = 0, alive = 0;
};

class CountingActivity final : public Activity {
 public:
  void hold(const std::string&) override { ++holds; }
  void release() override { ++releases; }
  bool held() const { return holds > releases; }
  int holds = 0, releases = 0;
};

class RemindersFixture : public testing::Test {
 protected:
  using Mode = Reminders::Mode;

  FakeClock clock;
  FakeClock::Wall& wall = clock.wall;
  RecordingNotificationCenter center{clock};
  MemoryDefaults defaults;
  CountingActivity activity;
  FakeBannerHost host;
  FakeTaskApi api;
  std::vector<FakeTaskApi::Call>& sent = api.calls;  // in order

  // The API's answers: the page's token, the upcoming list (not an array:
  // an answer without a usable list) with its status (0: no answer), and
  // the status of the other calls (a task's completion).
  std::optional<std::string> token = "tok";
  nlohmann::json upcoming = nlohmann::json::array();
  int upcomingStatus = 200;
  int putStatus = 200;

  std::vector<std::string> opened;  // pages, with the activation token if any
  int changed = 0;
  std::vector<bool> native;
  std::vector<Mode> modes;
  std::unique_ptr<Reminders> r;

  void make(bool testMode = true) {
    r.reset();
    api.setTokenSource([this]() -> Task<std::optional<std::string>> {  // lives with its owner
      co_return token;
    });
    api.respond = [this](const FakeTaskApi::Call& call) {
      FakeTaskApi::Answer a;
      if (call.name == "upcoming") a.json = upcoming;
      a.status = call.name == "upcoming" ? upcomingStatus : putStatus;
      return a;
    };
    ReminderServices s{&clock, &wall, &center, &defaults, &activity, &host, testMode};
    r = std::make_unique<Reminders>(api, s);
    r->onOpen = [this](const std::string& p, const std::string& a) {
      opened.push_back(a.empty() ? p : p + " " + a);
    };
    r->onChanged = [this] { ++changed; };
    r->onNative = [this](bool on) { native.push_back(on); };
    r->onMode = [this](Mode m) { modes.push_back(m); };
  }

  // Starts a new engine with the centre answering for mode m; the first poll runs.
  void start(Mode m, bool testMode = true) {
    using Refusal = NotificationAuthorization::Refusal;
    center.answer = m == Mode::system ? NotificationAuthorization{true, Refusal::none}
                    : m == Mode::own  ? NotificationAuthorization{false, Refusal::notAllowed}
                                      : NotificationAuthorization{false, Refusal::other};
    make(testMode);
    r->start();
    clock.flush();
  }

  std::string sync() {
    auto t = r->sync();
    EXPECT_TRUE(t.done());
    return t.done() ? t.result() : std::string();
  }

  nlohmann::json reminder(const std::string& id, std::chrono::milliseconds fromNow,
                          std::optional<long long> task = 42) {
    nlohmann::json j = {{"id", id}, {"remind_at", ReminderItem::formatDate(wall.now() + fromNow)}};
    if (task) j["task_id"] = *task;
    return j;
  }

  // The user's answer to reminder 1 of task 42.
  void answer(const std::string& action, std::optional<long long> task = 42) {
    r->handle(ReminderAnswer{action, {"1", task, "task", "t", "", {}}, {}});
  }

  // The engine's banner i from the top.
  FakeBannerView& banner(size_t i) {
    return static_cast<FakeBannerView&>(*r->banners().at(i)->view());
  }

  size_t count(const std::string& fragment) const {
    return std::count_if(sent.begin(), sent.end(), [&](const auto& s) {
      return ("/api" + s.path).find(fragment) != std::string::npos;
    });
  }
};

}  // namespace vuko::test

// The reminder engine on fakes: a fake clock, a recording notification centre,
// a scripted task API, banner windows that only remember where they are.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Defaults.h"
#include "reminders/Reminders.h"
#include "support/FakeClock.h"
#include "support/FakeTaskApi.h"
#include "support/RecordingNotificationCenter.h"

namespace vuko::test {

class FakeBannerHost;

class FakeBannerView final : public BannerView {
 public:
  FakeBannerView(FakeBannerHost& host, BannerContent c);
  ~FakeBannerView() override;
  int width() const override { return 340; }
  int height() const override { return content.buttons ? 96 : 64; }
  void moveTo(int nx, int ny) override {
    x = nx;
    y = ny;
  }
  void appear() override { onScreen = true; }
  void hide() override { onScreen = false; }
  void press(std::optional<std::string> action) { onInput(std::move(action)); }

  FakeBannerHost& host;
  BannerContent content;
  int x = -1, y = -1;
  bool onScreen = false;
};

class FakeBannerHost final : public BannerHost {
 public:
  std::unique_ptr<BannerView> make(const BannerContent& c) override {
    ++made;
    return std::make_unique<FakeBannerView>(*this, c);
  }
  std::optional<WorkArea> workArea() const override { return WorkArea{0, 30, 1920, 1050}; }
  void playSound() override { ++sounds; }

  std::vector<FakeBannerView*> views;  // alive, in order of making
  int made = 0, sounds = 0;
};

inline FakeBannerView::FakeBannerView(FakeBannerHost& h, BannerContent c)
    : host(h), content(std::move(c)) {
  host.views.push_back(this);
}
inline FakeBannerView::~FakeBannerView() {
  std::erase(host.views, this);
}

class CountingActivity final : public Activity {
 public:
  void hold(const std::string& why) override {
    ++holds;
    reason = why;
  }
  void release() override { ++releases; }
  bool held() const { return holds > releases; }
  int holds = 0, releases = 0;
  std::string reason;
};

class RemindersFixture : public testing::Test {
 protected:
  using Mode = Reminders::Mode;

  FakeClock clock;
  FakeClock::Wall& wall = clock.wall;
  RecordingNotificationCenter center{clock, &wall};
  MemoryDefaults defaults;
  CountingActivity activity;
  FakeBannerHost host;
  FakeTaskApi api;
  // Every call the engine made, in order.
  std::vector<FakeTaskApi::Call>& sent = api.calls;

  // The API's answers: the page's token, the upcoming list (not an array:
  // an answer without a usable list) with its status (0: no answer), and
  // the status of a task's completion.
  std::optional<std::string> token = "tok";
  nlohmann::json upcoming = nlohmann::json::array();
  int upcomingStatus = 200;
  int putStatus = 200;

  std::vector<std::string> opened;  // pages, with the activation token if any
  int changed = 0;
  std::vector<bool> native;
  std::vector<Mode> modes;
  std::unique_ptr<Reminders> r;
  // The process-wide keep-awake instead of the counting one.
  bool realActivity = false;

  // The engine on the fakes; the API answers from the fields above.
  void make(bool testMode = true) {
    api.setTokenSource([this]() -> Task<std::optional<std::string>> {  // lives with its owner
      co_return token;
    });
    api.respond = [this](const FakeTaskApi::Call& call) {
      FakeTaskApi::Answer a;
      if (call.name == "upcoming") {
        a.status = upcomingStatus;
        a.json = upcoming;
      } else if (call.name == "complete") {
        a.status = putStatus;
      }
      return a;
    };
    ReminderServices s;
    s.clock = &clock;
    s.wall = &wall;
    s.center = &center;
    s.defaults = &defaults;
    s.activity = realActivity ? nullptr : &activity;
    s.banners = &host;
    s.testMode = testMode;
    r = std::make_unique<Reminders>(api, s);
    r->onOpen = [this](const std::string& p, const std::string& a) {
      opened.push_back(a.empty() ? p : p + " " + a);
    };
    r->onChanged = [this] { ++changed; };
    r->onNative = [this](bool on) { native.push_back(on); };
    r->onMode = [this](Mode m) { modes.push_back(m); };
  }

  // Starts the engine with the centre answering for mode m; the first poll runs.
  void start(Mode m, bool testMode = true) {
    using Refusal = NotificationAuthorization::Refusal;
    center.answer = m == Mode::system ? NotificationAuthorization{true, Refusal::none}
                    : m == Mode::own  ? NotificationAuthorization{false, Refusal::notAllowed}
                                      : NotificationAuthorization{false, Refusal::other};
    if (!r) make(testMode);
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

  size_t count(const std::string& fragment, const std::string& method = "") const {
    return std::count_if(sent.begin(), sent.end(), [&](const auto& s) {
      return ("/api" + s.path).find(fragment) != std::string::npos &&
             (method.empty() || s.method == method);
    });
  }
};

}  // namespace vuko::test

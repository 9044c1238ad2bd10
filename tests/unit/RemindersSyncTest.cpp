#include "RemindersTestSupport.h"

namespace vuko::test {
namespace {

using namespace std::chrono_literals;

class RemindersSync : public RemindersFixture {};

struct Outcome {
  const char* name;
  int status;
  const char* text;
  friend void PrintTo(const Outcome& o, std::ostream* os) { *os << o.name; }
};

class RemindersAnswers : public RemindersFixture, public testing::WithParamInterface<Outcome> {};

TEST_P(RemindersAnswers, StatusTextFollowsTheServersAnswer) {
  start(Mode::system);
  upcoming = {reminder("1", 10min)};
  sync();
  ASSERT_EQ(r->lastSync().size(), 1u);
  const auto& o = GetParam();
  upcomingStatus = o.status;
  upcoming = nullptr;
  EXPECT_EQ(sync(), o.text);
  // None of these answers replaces what the last good poll learned, and
  // only an expired sign-in withdraws what was planned and forgets the
  // token that stands in when the page gives none.
  bool expired = o.status == 401;
  EXPECT_EQ(r->lastSync().empty(), expired);
  EXPECT_EQ(center.pendingById.empty(), expired);
  EXPECT_EQ(native.back(), o.status != 404);
  token.reset();
  EXPECT_EQ(sync(), expired ? "не выполнен вход" : o.text);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RemindersAnswers,
    testing::Values(Outcome{"expired", 401, "вход истёк"},
                    Outcome{"noEndpoint", 404,
                            "сервер без /upcoming — напоминания опрашивает веб-версия"},
                    Outcome{"serverError", 500, "нет связи (500)"},
                    Outcome{"noUsableList", 200, "нет связи (200)"},
                    Outcome{"noAnswer", 0, "нет связи (0)"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(RemindersSync, ModesWithoutDeliveryDoNotPoll) {
  make();
  EXPECT_EQ(sync(), "ждём ответа системы о разрешении");
  r.reset();
  start(Mode::off);
  EXPECT_EQ(modes, std::vector<Mode>{Mode::off});
  EXPECT_EQ(sync(), "уведомления выключены в настройках рабочего стола");
  EXPECT_EQ(count("/upcoming"), 0u);
  EXPECT_EQ(native.back(), false);
}

TEST_F(RemindersSync, APollDuringAPollRunsOnceMoreAfterIt) {
  start(Mode::system);
  sent.clear();
  api.respond = [](const FakeTaskApi::Call&) { return FakeTaskApi::held(); };
  auto first = r->sync();
  EXPECT_EQ(sync(), "уже идёт");
  api.release(FakeTaskApi::reply(nlohmann::json::array()));
  ASSERT_TRUE(first.done());
  clock.advance(999ms);
  EXPECT_EQ(sent.size(), 1u);
  clock.advance(1ms);
  EXPECT_EQ(sent.size(), 2u);
}

TEST_F(RemindersSync, SoonCollapsesABurstIntoOnePoll) {
  start(Mode::system);
  sent.clear();
  for (int i = 0; i < 3; ++i) {
    r->soon();
    clock.advance(1s);
  }
  clock.advance(1s);
  EXPECT_EQ(count("/upcoming"), 1u);
  clock.advance(300s);
  EXPECT_EQ(count("/upcoming"), 2u);
}

TEST_F(RemindersSync, DueAtOneSecondFutureAtOneAndAHalf) {
  start(Mode::system);
  upcoming = {reminder("due", 1s)};
  EXPECT_EQ(sync(), "запланировано 0, показано сейчас 1");
  EXPECT_EQ(center.shownCount("remdue"), 1u);
  // Half a second on, one more than a second ahead waits for its timer.
  clock.advance(500ms);
  upcoming.push_back(reminder("later", 1700ms));
  EXPECT_EQ(sync(), "запланировано 1, показано сейчас 1");
  ASSERT_EQ(center.pendingById.size(), 1u);
  // Requested to the whole second, as the calendar trigger counts.
  const auto& later = center.pendingById.at("remlater");
  EXPECT_EQ(later.trigger.kind, NotificationTrigger::Kind::calendar);
  EXPECT_EQ(later.trigger.date, std::chrono::floor<std::chrono::seconds>(wall.now() + 1700ms));
  EXPECT_EQ(center.shownCount("remdue"), 1u);
  EXPECT_EQ(count("/api/reminders/later/fired"), 0u);
}

// The server's list, sorted, without objects that are not reminders; of it
// the first sixty are requested.
TEST_F(RemindersSync, TheFirstSixtyInTimeOrderAreRequested) {
  start(Mode::system);
  for (int i = 60; i >= 0; --i) upcoming.push_back(reminder(std::to_string(i), (i + 1) * 1min));
  upcoming.insert(upcoming.begin() + 1, {{"id", 5}});
  EXPECT_EQ(sync(), "запланировано 61, показано сейчас 0");
  ASSERT_EQ(r->lastSync().size(), 61u);
  EXPECT_EQ(r->lastSync()[0].id, "0");
  EXPECT_EQ(center.pendingById.size(), 60u);
  EXPECT_FALSE(center.pendingById.count("rem60"));
  // Nothing of system mode waits in the own centre; a test run keeps its
  // plans in memory only.
  EXPECT_TRUE(r->ownPending().empty());
  EXPECT_EQ(r->scheduledMap().size(), 60u);
  EXPECT_TRUE(defaults.all().empty());
}

// A due reminder is presented by the poll only when no timer showed it: a
// request moved earlier is taken back and shown; one the system showed (no
// longer pending) is only recorded; one already shown is only reported.
TEST_F(RemindersSync, APollPresentsOnlyWhatNoTimerShowed) {
  start(Mode::system);
  upcoming = {reminder("moved", 1h), reminder("system", 10min)};
  sync();
  // The system shows "system" at its moment without telling the engine.
  center.removePending({"remsystem"});
  wall.jump(10min);
  upcoming = {reminder("moved", 0s), reminder("system", 0s)};
  sync();
  EXPECT_FALSE(center.pendingById.count("remmoved"));
  EXPECT_EQ(center.shownCount("remmoved"), 1u);
  EXPECT_EQ(center.shownCount("remsystem"), 0u);
  EXPECT_EQ(count("/api/reminders/system/fired"), 1u);
  clock.advance(1min);
  sync();
  EXPECT_EQ(center.shownCount("remmoved"), 1u);
  EXPECT_EQ(count("/api/reminders/moved/fired"), 2u);
  EXPECT_EQ(r->shownMap().at("remmoved"), wall.now());
}

// A system-mode snooze is a ten-minute request of its own that polls leave
// alone, while reminders gone from the server are withdrawn.
TEST_F(RemindersSync, GoneRemindersAreWithdrawnButNotSnoozes) {
  start(Mode::system);
  upcoming = {reminder("1", 10min), reminder("2", 20min)};
  sync();
  answer(Reminders::snoozeAction);
  upcoming = {reminder("2", 20min)};
  sync();
  EXPECT_FALSE(center.pendingById.count("rem1"));
  EXPECT_TRUE(center.pendingById.count("rem2"));
  ASSERT_EQ(center.pendingById.size(), 2u);
  const auto& snooze = center.pendingById.rbegin()->second;
  EXPECT_EQ(snooze.id.rfind("snooze-1-", 0), 0u);
  EXPECT_EQ(snooze.trigger.kind, NotificationTrigger::Kind::interval);
  EXPECT_EQ(snooze.trigger.interval, 600s);
  EXPECT_EQ(snooze.content.userInfo["task"], 42);
  // The desktop's centre wakes the machine itself.
  EXPECT_EQ(activity.holds, 0);
}

// An own snooze is one appointment the polls leave alone; it keeps the
// machine awake until it comes.
TEST_F(RemindersSync, OwnSnoozeSurvivesPollsAndHoldsTheActivity) {
  start(Mode::own);
  r->handle(ReminderAnswer{Reminders::snoozeAction, {"9", 42, "task", "Позвонить", "", {}}, {}});
  auto secs = std::chrono::duration_cast<std::chrono::seconds>(wall.now().time_since_epoch());
  auto key = "snooze-9-" + std::to_string(secs.count());
  sync();
  sync();
  EXPECT_EQ(r->ownPending(), std::vector<std::string>{key});
  EXPECT_TRUE(activity.held());
  clock.advance(599s);
  EXPECT_EQ(host.made, 0);
  clock.advance(1s);
  ASSERT_EQ(host.made, 1);
  EXPECT_EQ(host.views[0]->content.title, "Позвонить");
  EXPECT_TRUE(host.views[0]->content.buttons);
  EXPECT_FALSE(activity.held());
}

TEST_F(RemindersSync, RearmingLeavesOneTimer) {
  start(Mode::own);
  upcoming = {reminder("1", 10min)};
  sync();
  sync();
  upcoming = {reminder("1", 15min)};
  sync();
  EXPECT_EQ(r->ownPending().size(), 1u);
  // The poll and one appointment: the reminder is near, so no activity
  // re-check is set.
  EXPECT_EQ(clock.pending(), 2u);
  clock.advance(10min);
  EXPECT_EQ(host.made, 0);
  clock.advance(5min);
  EXPECT_EQ(host.made, 1);
}

TEST_F(RemindersSync, StoredMapsArePrunedAfterTwoDays) {
  start(Mode::own, false);
  upcoming = {reminder("old", 0s), reminder("later", 1h)};
  sync();
  auto stored = [&](const std::string& map) {
    for (const auto& [key, value] : defaults.all())
      if (key.rfind("reminders." + map + ".", 0) == 0) return value;
    return nlohmann::json();
  };
  EXPECT_TRUE(stored("shown").contains("remold"));
  upcoming = nlohmann::json::array();
  // Just short of two days everything is still known.
  wall.jump(48h - 1s);
  sync();
  EXPECT_EQ(r->shownMap().count("remold"), 1u);
  wall.jump(1s);
  EXPECT_EQ(r->shownMap().count("remold"), 0u);
  EXPECT_EQ(r->scheduledMap().count("remlater"), 1u);
  wall.jump(1h);
  sync();
  EXPECT_EQ(r->scheduledMap().count("remlater"), 0u);
  EXPECT_FALSE(stored("shown").contains("remold"));
  EXPECT_TRUE(stored("scheduled").empty());
}

// A sign-out or another server: the account's plans, snoozes and banners go.
TEST_F(RemindersSync, ResetWithdrawsEverything) {
  for (auto mode : {Mode::system, Mode::own}) {
    r.reset();
    start(mode);
    upcoming = {reminder("1", 0s), reminder("2", 10min)};
    sync();
    answer(Reminders::snoozeAction);
    r->reset();
    EXPECT_TRUE(r->lastSync().empty());
    EXPECT_TRUE(center.pendingById.empty());
    EXPECT_TRUE(r->ownPending().empty());
    EXPECT_TRUE(host.views.empty());
    EXPECT_FALSE(activity.held());
    // Nor does its token stand in for a page that gives none.
    token.reset();
    EXPECT_EQ(sync(), "не выполнен вход");
    token = "tok";
  }
}

TEST_F(RemindersSync, CallsStillRunningAreCancelledWhenTheEngineGoes) {
  start(Mode::system);
  sent.clear();
  api.respond = [](const FakeTaskApi::Call&) { return FakeTaskApi::held(); };
  auto poll = r->sync();
  ASSERT_EQ(api.heldCount(), 1u);
  r.reset();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(sent[0].cancelled);
  EXPECT_EQ(api.heldCount(), 0u);
  EXPECT_TRUE(poll.done());
}

}  // namespace
}  // namespace vuko::test

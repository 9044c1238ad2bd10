#include "RemindersTestSupport.h"

namespace vuko::test {
namespace {

using namespace std::chrono_literals;

class RemindersSync : public RemindersFixture {};

// None of the failed answers replaces what the last good poll learned, and
// only an expired sign-in withdraws what was planned and forgets the token
// that stands in when the page gives none.
TEST_F(RemindersSync, StatusTextFollowsTheServersAnswer) {
  const struct {
    int status;
    const char* text;
  } cases[] = {
      {401, "вход истёк"},      {404, "сервер без /upcoming — напоминания опрашивает веб-версия"},
      {500, "нет связи (500)"}, {200, "нет связи (200)"},  // no usable list
      {0, "нет связи (0)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    token = "tok";
    upcoming = {reminder("1", 10min)};
    upcomingStatus = 200;
    start(Mode::system);
    upcoming = nullptr;
    upcomingStatus = c.status;
    EXPECT_EQ(sync(), c.text);
    bool expired = c.status == 401;
    EXPECT_EQ(r->lastSync().empty(), expired);
    EXPECT_EQ(center.pendingById.empty(), expired);
    EXPECT_EQ(native.back(), c.status != 404);
    token.reset();
    EXPECT_EQ(sync(), expired ? "не выполнен вход" : c.text);
  }
}

TEST_F(RemindersSync, OnlyModesThatDeliverPollAndCountAsAllowed) {
  make();
  EXPECT_EQ(sync(), "ждём ответа системы о разрешении");
  start(Mode::off);
  EXPECT_EQ(sync(), "уведомления выключены в настройках рабочего стола");
  EXPECT_EQ(count("/upcoming"), 0u);
  EXPECT_EQ(native.back(), false);
  start(Mode::system);
  EXPECT_EQ(modes, (std::vector<Mode>{Mode::off, Mode::system}));
  EXPECT_EQ(count("/upcoming"), 1u);
  // Tasks get done and snooze buttons, digests none.
  ASSERT_EQ(center.categories.size(), 2u);
  EXPECT_EQ(center.categories[0].actions.size(), 2u);
  EXPECT_TRUE(center.categories[1].actions.empty());
  // Refused while own banners stand in counts as allowed.
  using Refusal = NotificationAuthorization::Refusal;
  EXPECT_TRUE(Reminders::permissionAllowed({true, Refusal::none}, Mode::system));
  EXPECT_TRUE(Reminders::permissionAllowed({false, Refusal::notAllowed}, Mode::own));
  for (auto mode : {Mode::unknown, Mode::system, Mode::off})
    EXPECT_FALSE(Reminders::permissionAllowed({false, Refusal::other}, mode));
}

// A burst of requests for a poll is one poll; one asked for during a poll
// runs once more a second after it; one still running when the engine goes
// is cancelled.
TEST_F(RemindersSync, PollsAreCollapsed) {
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
  sent.clear();
  api.respond = [](const FakeTaskApi::Call&) { return FakeTaskApi::held(); };
  auto first = r->sync();
  EXPECT_EQ(sync(), "уже идёт");
  api.release(FakeTaskApi::reply(nlohmann::json::array()));
  ASSERT_TRUE(first.done());
  clock.advance(999ms);
  EXPECT_EQ(sent.size(), 1u);
  clock.advance(1ms);
  ASSERT_EQ(sent.size(), 2u);
  ASSERT_EQ(api.heldCount(), 1u);
  r.reset();
  EXPECT_TRUE(sent[1].cancelled);
  EXPECT_EQ(api.heldCount(), 0u);
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
  // A test run keeps its plans in memory only.
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

// A snooze is a ten-minute request of its own that polls leave alone, while
// reminders gone from the server are withdrawn.
TEST_F(RemindersSync, SnoozesSurvivePollsThatWithdrawGoneReminders) {
  for (auto mode : {Mode::system, Mode::own}) {
    SCOPED_TRACE(mode == Mode::own ? "own" : "system");
    upcoming = {reminder("1", 10min)};
    start(mode);
    r->handle(ReminderAnswer{Reminders::snoozeAction, {"9", 42, "task", "t", "", {}}, {}});
    upcoming = nlohmann::json::array();
    sync();
    // Only the snooze waits, in one centre or the other. Own banners need the
    // machine awake for it; the desktop's centre wakes it itself.
    EXPECT_EQ(center.pendingById.size() + r->ownPending().size(), 1u);
    EXPECT_EQ(activity.held(), mode == Mode::own);
    clock.advance(599s);
    EXPECT_EQ(host.made + center.shown.size(), 0u);
    clock.advance(1s);
    ASSERT_EQ(host.made + center.shown.size(), 1u);
    if (mode == Mode::own)
      EXPECT_TRUE(banner(0).content.buttons);
    else
      EXPECT_EQ(center.shown[0].content.userInfo["task"], 42);
    EXPECT_FALSE(activity.held());
    // It is no reminder the server knows.
    EXPECT_TRUE(r->shownMap().empty());
    EXPECT_EQ(count("/fired"), 0u);
    center.shown.clear();
  }
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

// A sign-out or another server: the account's plans, snoozes, banners and
// answers go; the next account's token completes none of its tasks.
TEST_F(RemindersSync, ResetEndsTheOldAccount) {
  for (auto mode : {Mode::system, Mode::own}) {
    upcoming = {reminder("1", 0s), reminder("2", 10min)};
    start(mode);
    answer(Reminders::snoozeAction);
    r->reset();
    EXPECT_TRUE(r->lastSync().empty());
    EXPECT_TRUE(center.pendingById.empty());
    EXPECT_TRUE(r->ownPending().empty());
    EXPECT_EQ(host.alive, 0);
    EXPECT_FALSE(activity.held());
    // Nor does its token stand in for a page that gives none.
    token.reset();
    EXPECT_EQ(sync(), "не выполнен вход");
    token = "tok";
  }
  // Whether the answer was waiting for a token or came after the reset.
  token.reset();
  start(Mode::system);
  answer(Reminders::doneAction);
  clock.advance(1s);
  r->reset();
  token = "someone else";
  answer(Reminders::doneAction);
  answer(Reminders::snoozeAction);
  clock.advance(10s);
  EXPECT_EQ(count("/api/tasks/42"), 0u);
  EXPECT_TRUE(center.pendingById.empty());
  EXPECT_EQ(opened, std::vector<std::string>{"/today?task=42"});
  sync();
  answer(Reminders::doneAction);
  EXPECT_EQ(count("/api/tasks/42"), 1u);
}

}  // namespace
}  // namespace vuko::test

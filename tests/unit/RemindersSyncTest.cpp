#include "RemindersTestSupport.h"

namespace vuko::test {
namespace {

using namespace std::chrono_literals;

class RemindersSync : public RemindersFixture {};

struct Outcome {
  const char* name;
  int status;
  nlohmann::json items;  // not an array: no usable list in the answer
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
  upcoming = o.items;
  EXPECT_EQ(sync(), o.text);
  // None of these answers replaces what the last good poll learned, and
  // only an expired sign-in withdraws what was planned.
  bool withdrawn = o.status == 401;
  EXPECT_EQ(r->lastSync().empty(), withdrawn);
  EXPECT_EQ(center.pendingById.empty(), withdrawn);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RemindersAnswers,
    testing::Values(Outcome{"expired", 401, nullptr, "вход истёк"},
                    Outcome{"noEndpoint", 404, nullptr,
                            "сервер без /upcoming — напоминания опрашивает веб-версия"},
                    Outcome{"serverError", 500, nullptr, "нет связи (500)"},
                    Outcome{"noUsableList", 200, nullptr, "нет связи (200)"},
                    Outcome{"noAnswer", 0, nullptr, "нет связи (0)"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(RemindersSync, ExpiredSignInForgetsTheTokenAndWithdrawsRequests) {
  start(Mode::system);
  upcoming = {reminder("1", 10min)};
  sync();
  ASSERT_TRUE(center.pendingById.count("rem1"));
  upcomingStatus = 401;
  sync();
  EXPECT_FALSE(center.pendingById.count("rem1"));
  token.reset();
  upcomingStatus = 200;
  EXPECT_EQ(sync(), "не выполнен вход");
}

TEST_F(RemindersSync, NoEndpointTellsTheHostAndKeepsRequests) {
  start(Mode::system);
  upcoming = {reminder("1", 10min)};
  sync();
  upcomingStatus = 404;
  sync();
  EXPECT_EQ(native.back(), false);
  EXPECT_TRUE(center.pendingById.count("rem1"));
}

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

TEST_F(RemindersSync, NoTokenAndNoLastToken) {
  token.reset();
  start(Mode::system);
  EXPECT_EQ(sync(), "не выполнен вход");
  EXPECT_EQ(count("/upcoming"), 0u);
}

TEST_F(RemindersSync, LastTokenStandsInWhenThePageGivesNone) {
  start(Mode::system);
  token.reset();
  EXPECT_EQ(sync(), "запланировано 0, показано сейчас 0");
  EXPECT_EQ(sent.back().name, "upcoming");
  EXPECT_EQ(sent.back().token, "tok");
}

TEST_F(RemindersSync, APollDuringAPollRunsOnceMoreAfterIt) {
  Future<std::optional<std::string>> held;
  auto resolve = held.resolver();
  bool hold = true;
  scriptApi();
  // A token source that waits until the test lets it answer.
  api.setTokenSource([&]() -> Task<std::optional<std::string>> {  // lives with its owner
    if (hold) {
      hold = false;
      co_return co_await held;
    }
    co_return std::optional<std::string>("tok");
  });
  Reminders engine(api, services());
  engine.start();
  clock.flush();  // the first poll now waits for its token
  auto second = engine.sync();
  ASSERT_TRUE(second.done());
  EXPECT_EQ(second.result(), "уже идёт");
  EXPECT_EQ(sent.size(), 0u);
  resolve(std::optional<std::string>("tok"));
  EXPECT_EQ(sent.size(), 1u);
  clock.advance(999ms);
  EXPECT_EQ(sent.size(), 1u);
  clock.advance(1ms);
  EXPECT_EQ(sent.size(), 2u);
}

TEST_F(RemindersSync, SoonCollapsesABurstIntoOnePoll) {
  start(Mode::system);
  sent.clear();
  r->soon();
  clock.advance(1s);
  r->soon();
  clock.advance(1s);
  r->soon();
  clock.advance(2s);
  EXPECT_EQ(count("/upcoming"), 1u);
  clock.advance(300s);
  EXPECT_EQ(count("/upcoming"), 2u);
}

TEST_F(RemindersSync, DueAtOneSecondFutureAtOneAndAHalf) {
  start(Mode::system);
  upcoming = {reminder("due", 1s)};
  EXPECT_EQ(sync(), "запланировано 0, показано сейчас 1");
  EXPECT_EQ(center.shownCount("remdue"), 1u);
  // The wire has whole seconds: half a second on, a whole second is 1.5 s ahead.
  clock.advance(500ms);
  upcoming.push_back(reminder("later", 1500ms));
  EXPECT_EQ(sync(), "запланировано 1, показано сейчас 1");
  EXPECT_EQ(center.pendingById.size(), 1u);
  EXPECT_TRUE(center.pendingById.count("remlater"));
  EXPECT_EQ(count("/api/reminders/due/fired", "POST"), 2u);
  EXPECT_EQ(center.shownCount("remdue"), 1u);
  EXPECT_EQ(count("/api/reminders/later/fired"), 0u);
}

TEST_F(RemindersSync, ServerOrderIsSortedAndBadObjectsSkipped) {
  start(Mode::own);
  upcoming = {reminder("b", 20min),
              {{"id", 5}},
              reminder("a", 10min),
              {{"id", "x"}, {"remind_at", "2025-03-01 09:00"}}};
  upcoming.push_back(reminder("c", 30min));
  upcoming.back()["id"] = 57;
  EXPECT_EQ(sync(), "запланировано 3, показано сейчас 0");
  ASSERT_EQ(r->lastSync().size(), 3u);
  EXPECT_EQ(r->lastSync()[0].id, "a");
  EXPECT_EQ(r->lastSync()[2].nid(), "rem57");
}

TEST_F(RemindersSync, MovedEarlierIsPresentedAtOnce) {
  start(Mode::system);
  upcoming = {reminder("1", 1h)};
  sync();
  ASSERT_TRUE(center.pendingById.count("rem1"));
  upcoming = {reminder("1", 0s)};
  sync();
  EXPECT_FALSE(center.pendingById.count("rem1"));
  EXPECT_EQ(center.shownCount("rem1"), 1u);
  EXPECT_EQ(count("/api/reminders/1/fired"), 1u);
}

TEST_F(RemindersSync, ShownBySystemIsOnlyRecorded) {
  start(Mode::system);
  upcoming = {reminder("1", 10min)};
  sync();
  // The system showed the request: it is no longer pending.
  r->clearScheduled();
  wall.jump(10min);
  sync();
  EXPECT_EQ(center.shownCount("rem1"), 0u);
  EXPECT_EQ(count("/api/reminders/1/fired"), 1u);
}

TEST_F(RemindersSync, AlreadyShownIsReportedAgainNotShown) {
  start(Mode::own);
  upcoming = {reminder("1", 0s)};
  sync();
  EXPECT_EQ(host.made, 1);
  clock.advance(1min);
  upcoming = {reminder("1", -1min)};
  sync();
  EXPECT_EQ(host.made, 1);
  EXPECT_EQ(count("/api/reminders/1/fired"), 2u);
  EXPECT_EQ(r->shownMap().at("rem1"), wall.now());
}

TEST_F(RemindersSync, SixtyOneItemsHandleTheFirstSixty) {
  start(Mode::system);
  for (int i = 60; i >= 0; --i) upcoming.push_back(reminder(std::to_string(i), (i + 1) * 1min));
  EXPECT_EQ(sync(), "запланировано 61, показано сейчас 0");
  EXPECT_EQ(center.pendingById.size(), 60u);
  EXPECT_FALSE(center.pendingById.count("rem60"));
  // Nothing of system mode waits in the own centre.
  EXPECT_TRUE(r->ownPending().empty());
}

TEST_F(RemindersSync, GoneRemindersAreWithdrawnButNotSnoozes) {
  start(Mode::system);
  upcoming = {reminder("1", 10min), reminder("2", 20min)};
  sync();
  r->handle(ReminderAnswer{Reminders::snoozeAction, {"9", 42, "task", "t", "b", {}}, {}});
  upcoming = {reminder("2", 20min)};
  sync();
  EXPECT_FALSE(center.pendingById.count("rem1"));
  EXPECT_TRUE(center.pendingById.count("rem2"));
  ASSERT_EQ(center.pendingById.size(), 2u);
  EXPECT_EQ(center.pendingById.rbegin()->first.rfind("snooze-9-", 0), 0u);
}

TEST_F(RemindersSync, OwnSnoozeTimerSurvivesPolls) {
  start(Mode::own);
  r->handle(ReminderAnswer{Reminders::snoozeAction, {"9", 42, "task", "Позвонить", "", {}}, {}});
  ASSERT_EQ(r->ownPending().size(), 1u);
  auto key = r->ownPending()[0];
  EXPECT_EQ(key, "snooze-9-" + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                                                  wall.now().time_since_epoch())
                                                  .count()));
  sync();
  sync();
  EXPECT_EQ(r->ownPending(), std::vector<std::string>{key});
  clock.advance(599s);
  EXPECT_EQ(host.made, 0);
  clock.advance(1s);
  ASSERT_EQ(host.made, 1);
  EXPECT_EQ(host.views[0]->content.title, "Позвонить");
  EXPECT_TRUE(host.views[0]->content.buttons);
}

TEST_F(RemindersSync, RearmingLeavesOneTimer) {
  start(Mode::own);
  upcoming = {reminder("1", 10min)};
  sync();
  sync();
  upcoming = {reminder("1", 15min)};
  sync();
  EXPECT_EQ(r->ownPending().size(), 1u);
  // One appointment: the reminder is near, so no activity re-check is set.
  EXPECT_EQ(wall.pending(), 1u);
  clock.advance(10min);
  EXPECT_EQ(host.made, 0);
  clock.advance(5min);
  EXPECT_EQ(host.made, 1);
}

TEST_F(RemindersSync, MapsLiveInMemoryInTestMode) {
  start(Mode::own);
  upcoming = {reminder("1", 0s), reminder("2", 1h)};
  sync();
  EXPECT_TRUE(defaults.all().empty());
  EXPECT_EQ(r->shownMap().size(), 1u);
  EXPECT_EQ(r->scheduledMap().size(), 1u);
}

TEST_F(RemindersSync, MapsArePrunedAfterTwoDays) {
  start(Mode::own, false);
  upcoming = {reminder("old", 0s), reminder("later", 1h)};
  sync();
  auto keys = [&] {
    std::vector<std::string> k;
    for (const auto& [key, v] : defaults.all()) k.push_back(key);
    return k;
  };
  ASSERT_EQ(keys().size(), 2u);
  EXPECT_EQ(keys()[0].rfind("reminders.scheduled.", 0), 0u);
  EXPECT_EQ(r->shownMap().count("remold"), 1u);
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
  auto stored = *defaults.dictionary(keys()[1]);
  EXPECT_FALSE(stored.contains("remold"));
  EXPECT_TRUE(stored.contains("remlater"));
}

TEST_F(RemindersSync, ResetForgetsTokenAndPlans) {
  start(Mode::system);
  upcoming = {reminder("1", 10min)};
  sync();
  r->reset();
  EXPECT_TRUE(r->lastSync().empty());
  EXPECT_FALSE(center.pendingById.count("rem1"));
  token.reset();
  EXPECT_EQ(sync(), "не выполнен вход");
}

TEST_F(RemindersSync, ResetWithdrawsSnoozesToo) {
  start(Mode::system);
  r->handle(ReminderAnswer{Reminders::snoozeAction, {"7", 42, "task", "t", "", {}}, {}});
  ASSERT_EQ(center.pendingById.size(), 1u);
  r->reset();
  EXPECT_TRUE(center.pendingById.empty());
}

TEST_F(RemindersSync, ResetTakesOwnBannersDown) {
  start(Mode::own);
  upcoming = {reminder("1", 0ms)};
  sync();
  ASSERT_EQ(host.views.size(), 1u);
  r->reset();
  EXPECT_TRUE(r->banners().empty());
  EXPECT_TRUE(host.views.empty());
}

TEST_F(RemindersSync, CallsStillRunningAreCancelledWhenTheEngineGoes) {
  start(Mode::system);
  sent.clear();
  api.respond = [](const FakeTaskApi::Call&) { return FakeTaskApi::held(); };
  auto poll = r->sync();
  ASSERT_EQ(api.heldCount(), 1u);
  r.reset();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].name, "upcoming");
  EXPECT_TRUE(sent[0].cancelled);
  EXPECT_EQ(api.heldCount(), 0u);
  EXPECT_TRUE(poll.done());
}

}  // namespace
}  // namespace vuko::test

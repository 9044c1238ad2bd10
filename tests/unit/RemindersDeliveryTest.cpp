#include "RemindersTestSupport.h"

namespace vuko::test {
namespace {

using namespace std::chrono_literals;

class RemindersDelivery : public RemindersFixture {};

TEST(ReminderItem, DatesWithFractionsAndZones) {
  auto a = ReminderItem::parseDate("2025-03-01T09:00:00.123Z");
  auto b = ReminderItem::parseDate("2025-03-01T12:00:00+03:00");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(*a, *b);
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(a->time_since_epoch()).count(),
            1740819600);
  for (const char* bad : {"2025-03-01 09:00", "2025-03-01T09:00:00", "2025-02-30T09:00:00Z",
                          "2025-03-01T09:00:00+0300", "2025-03-01T09:00:00Zjunk", ""})
    EXPECT_FALSE(ReminderItem::parseDate(bad)) << bad;
  auto t = *ReminderItem::parseDate("2030-12-31T23:59:59Z");
  EXPECT_EQ(ReminderItem::parseDate(ReminderItem::formatDate(t)), t);
}

TEST(ReminderItem, ObjectsFromTheServer) {
  auto i = ReminderItem::from({{"id", 57}, {"remind_at", "2025-03-01T09:00:00Z"}, {"task_id", 3}});
  ASSERT_TRUE(i);
  EXPECT_EQ(i->nid(), "rem57");
  EXPECT_EQ(i->kind, "task");
  EXPECT_EQ(i->taskId, 3);
  EXPECT_EQ(i->shownBody(), "Напоминание");
  auto j = ReminderItem::from(
      {{"id", "x"}, {"remind_at", "2025-03-01T09:00:00Z"}, {"task_id", "3"}, {"kind", 5}});
  ASSERT_TRUE(j);
  EXPECT_FALSE(j->taskId);
  EXPECT_EQ(j->kind, "task");
  EXPECT_FALSE(ReminderItem::from({{"remind_at", "2025-03-01T09:00:00Z"}}));
  EXPECT_FALSE(ReminderItem::from({{"id", 1}, {"remind_at", 1740819600}}));
  EXPECT_FALSE(ReminderItem::from(nlohmann::json::array()));
}

TEST(ReminderContent, TaskAndDigest) {
  ReminderItem task{"5", std::nullopt, "task", "Купить", "", {}};
  auto c = Reminders::content(task);
  EXPECT_EQ(c.body, "Напоминание");
  EXPECT_EQ(c.categoryId, "vuko.task");
  EXPECT_EQ(c.threadId, "reminders");
  EXPECT_EQ(c.userInfo,
            (nlohmann::json{
                {"rid", "5"}, {"task", 0}, {"kind", "task"}, {"title", "Купить"}, {"body", ""}}));
  EXPECT_EQ(Reminders::content({"8", 1, "note", "Купить", "", {}}).body, "Напоминание");
  ReminderItem digest{"6", 7, "digest", "Сводка", "", {}};
  auto d = Reminders::content(digest);
  EXPECT_EQ(d.body, "");
  EXPECT_EQ(d.categoryId, "vuko.digest");
  EXPECT_EQ(d.threadId, "digest");
  EXPECT_FALSE(BannerContent::of(digest).buttons);
  EXPECT_FALSE(BannerContent::of(task).buttons);
  task.taskId = 1;
  EXPECT_TRUE(BannerContent::of(task).buttons);
}

TEST(ReminderPermission, RefusedWhileOwnBannersStandInCountsAsAllowed) {
  using Refusal = NotificationAuthorization::Refusal;
  using Mode = Reminders::Mode;
  EXPECT_TRUE(Reminders::permissionAllowed({true, Refusal::none}, Mode::system));
  EXPECT_TRUE(Reminders::permissionAllowed({false, Refusal::notAllowed}, Mode::own));
  for (auto mode : {Mode::unknown, Mode::system, Mode::off})
    EXPECT_FALSE(Reminders::permissionAllowed({false, Refusal::other}, mode));
}

TEST_F(RemindersDelivery, StartRegistersCategoriesAndAsksOnce) {
  start(Mode::system);
  ASSERT_EQ(center.categories.size(), 2u);
  EXPECT_EQ(center.categories[0].id, "vuko.task");
  ASSERT_EQ(center.categories[0].actions.size(), 2u);
  EXPECT_EQ(center.categories[0].actions[0].title, "Готово");
  EXPECT_EQ(center.categories[0].actions[1].id, "vuko.snooze");
  EXPECT_TRUE(center.categories[1].actions.empty());
  EXPECT_EQ(center.authorizationRequests, 1);
  EXPECT_EQ(modes, std::vector<Mode>{Mode::system});
  EXPECT_EQ(count("/upcoming"), 1u);
}

TEST_F(RemindersDelivery, ScheduledToTheWholeSecond) {
  start(Mode::system);
  clock.advance(250ms);
  upcoming = {reminder("1", 1h)};
  sync();
  const auto& req = center.pendingById.at("rem1");
  EXPECT_EQ(req.trigger.kind, NotificationTrigger::Kind::calendar);
  EXPECT_EQ(req.trigger.date, std::chrono::floor<std::chrono::seconds>(wall.now() + 1h));
}

TEST_F(RemindersDelivery, PageNotifications) {
  start(Mode::off);
  r->notifyNow("Заголовок", "Текст", "t1");
  r->notifyNow("Заголовок", "Текст", "");
  r->notifyNow("Заголовок", "Текст", "");
  ASSERT_EQ(center.shown.size(), 3u);
  EXPECT_EQ(center.shown[0].id, "t1");
  EXPECT_NE(center.shown[1].id, center.shown[2].id);
  EXPECT_EQ(center.shown[1].id.size(), 36u);
  EXPECT_TRUE(center.shown[0].content.userInfo.empty());
  EXPECT_EQ(host.made, 0);
}

TEST_F(RemindersDelivery, PageNotificationInOwnModeIsABannerWithoutButtons) {
  start(Mode::own);
  r->notifyNow("Заголовок", "Текст", "t1");
  EXPECT_TRUE(center.shown.empty());
  ASSERT_EQ(host.views.size(), 1u);
  EXPECT_FALSE(host.views[0]->content.buttons);
  EXPECT_EQ(host.views[0]->content.body, "Текст");
}

TEST_F(RemindersDelivery, DeliveredWhileActiveRecordsAndReports) {
  start(Mode::system);
  NotificationRequest req{"rem5", Reminders::content({"5", 1, "task", "t", "", {}}), {}};
  r->delivered(req);
  EXPECT_EQ(r->shownMap().count("rem5"), 1u);
  EXPECT_EQ(count("/api/reminders/5/fired", "POST"), 1u);
  NotificationRequest snooze{"snooze-5-1", req.content, {}};
  r->delivered(snooze);
  EXPECT_EQ(r->shownMap().count("snooze-5-1"), 0u);
  EXPECT_EQ(count("/fired"), 1u);
}

// Whether the poll, the centre's timer or its presentation to the focused
// window sees a reminder first, it is reported fired once.
TEST_F(RemindersDelivery, ShownWhileActiveIsReportedFiredOnce) {
  center.active = true;
  start(Mode::system);
  upcoming = {reminder("1", 0s), reminder("2", 10min)};
  sync();
  clock.flush();
  EXPECT_EQ(center.shownCount("rem1"), 1u);
  EXPECT_EQ(count("/api/reminders/1/fired", "POST"), 1u);
  wall.jump(10min);
  EXPECT_EQ(center.shownCount("rem2"), 1u);
  EXPECT_EQ(count("/api/reminders/2/fired", "POST"), 1u);
}

TEST_F(RemindersDelivery, UndeliveredRequestBecomesABanner) {
  start(Mode::system);
  ASSERT_TRUE(center.onUndelivered);
  center.onUndelivered({"rem5", Reminders::content({"5", 42, "task", "Позвонить", "", {}}), {}});
  ASSERT_EQ(host.views.size(), 1u);
  EXPECT_EQ(host.views[0]->content.title, "Позвонить");
  EXPECT_TRUE(host.views[0]->content.buttons);
}

TEST_F(RemindersDelivery, DoneCompletesTheTask) {
  start(Mode::system);
  sent.clear();
  r->handle({NotificationRequest{"rem1", Reminders::content({"1", 42, "task", "t", "", {}}), {}},
             Reminders::doneAction});
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].name, "complete");
  EXPECT_EQ(sent[0].path, "/tasks/42");
  EXPECT_EQ(sent[0].token, "tok");
  EXPECT_EQ(changed, 1);
  clock.advance(999ms);
  EXPECT_EQ(count("/upcoming"), 0u);
  clock.advance(1ms);
  EXPECT_EQ(count("/upcoming"), 1u);
}

TEST_F(RemindersDelivery, DoneThatFailsChangesNothing) {
  start(Mode::system);
  putStatus = 500;
  r->handle(ReminderAnswer{Reminders::doneAction, {"1", 42, "task", "t", "", {}}, {}});
  EXPECT_EQ(count("/api/tasks/42", "PUT"), 1u);
  EXPECT_EQ(changed, 0);
}

TEST_F(RemindersDelivery, DoneWithoutTaskDoesNothing) {
  start(Mode::system);
  sent.clear();
  r->handle(ReminderAnswer{Reminders::doneAction, {"1", 0, "task", "t", "", {}}, {}});
  r->handle(ReminderAnswer{Reminders::doneAction, {"1", std::nullopt, "task", "t", "", {}}, {}});
  clock.advance(20s);
  EXPECT_TRUE(sent.empty());
  EXPECT_TRUE(opened.empty());
}

TEST_F(RemindersDelivery, DoneSignedOutOpensTheTaskAfterTwentyTries) {
  token.reset();
  start(Mode::system);
  sent.clear();
  r->handle(ReminderAnswer{Reminders::doneAction, {"1", 42, "task", "t", "", {}}, {}});
  clock.advance(9400ms);
  EXPECT_TRUE(opened.empty());
  clock.advance(100ms);
  EXPECT_EQ(opened, std::vector<std::string>{"/today?task=42"});
  EXPECT_TRUE(sent.empty());
}

TEST_F(RemindersDelivery, ResetStopsADoneWaitingForAToken) {
  token.reset();
  start(Mode::system);
  sent.clear();
  r->handle(ReminderAnswer{Reminders::doneAction, {"1", 42, "task", "t", "", {}}, {}});
  clock.advance(1s);
  r->reset();
  token = "someone else";
  clock.advance(10s);
  EXPECT_EQ(count("/api/tasks/42"), 0u);
}

TEST_F(RemindersDelivery, AnswersAfterResetWaitForTheNextPoll) {
  start(Mode::system);
  r->reset();
  token = "someone else";
  sent.clear();
  r->handle(ReminderAnswer{Reminders::doneAction, {"1", 42, "task", "t", "", {}}, {}});
  r->handle(ReminderAnswer{Reminders::snoozeAction, {"1", 42, "task", "t", "", {}}, {}});
  clock.advance(10s);
  EXPECT_EQ(count("/api/tasks/42"), 0u);
  EXPECT_TRUE(center.pendingById.empty());
  EXPECT_EQ(opened, std::vector<std::string>{"/today?task=42"});
  sync();
  r->handle(ReminderAnswer{Reminders::doneAction, {"1", 42, "task", "t", "", {}}, {}});
  EXPECT_EQ(count("/api/tasks/42", "PUT"), 1u);
}

TEST_F(RemindersDelivery, ClicksOpenTheTaskOrToday) {
  start(Mode::system);
  r->handle({NotificationRequest{"rem1", Reminders::content({"1", 42, "task", "t", "", {}}), {}},
             NotificationResponse::defaultAction});
  r->handle({NotificationRequest{"rem2", Reminders::content({"2", {}, "digest", "t", "", {}}), {}},
             NotificationResponse::defaultAction});
  r->handle({NotificationRequest{"x", {}, {}}, NotificationResponse::defaultAction});
  EXPECT_EQ(opened, (std::vector<std::string>{"/today?task=42", "/today", "/today"}));
}

TEST_F(RemindersDelivery, AClickPassesItsActivationTokenOn) {
  start(Mode::system);
  NotificationResponse click{
      NotificationRequest{"rem1", Reminders::content({"1", 42, "task", "t", "", {}}), {}},
      NotificationResponse::defaultAction, "token-1"};
  r->handle(click);
  EXPECT_EQ(activations, std::vector<std::string>{"token-1"});
}

TEST_F(RemindersDelivery, SnoozeInSystemModeIsATenMinuteRequest) {
  start(Mode::system);
  r->handle(ReminderAnswer{Reminders::snoozeAction, {"7", 42, "task", "t", "b", {}}, {}});
  ASSERT_EQ(center.pendingById.size(), 1u);
  const auto& req = center.pendingById.begin()->second;
  EXPECT_EQ(req.id.rfind("snooze-7-", 0), 0u);
  EXPECT_EQ(req.trigger.kind, NotificationTrigger::Kind::interval);
  EXPECT_EQ(req.trigger.interval, 600s);
  EXPECT_EQ(req.content.categoryId, "vuko.task");
  EXPECT_EQ(req.content.userInfo["task"], 42);
}

TEST_F(RemindersDelivery, BannersStackAndCloseOnce) {
  start(Mode::own);
  upcoming = {reminder("1", 0s), reminder("2", 0s, std::nullopt), reminder("3", 0s)};
  sync();
  ASSERT_EQ(host.views.size(), 3u);
  EXPECT_EQ(host.sounds, 3);
  auto* top = host.views[0];
  auto* middle = host.views[1];
  auto* low = host.views[2];
  EXPECT_EQ(top->x, 1920 - 340 - 12);
  EXPECT_EQ(top->y, 30 + 12);
  EXPECT_EQ(middle->y, top->y + top->height() + 8);
  EXPECT_EQ(low->y, middle->y + middle->height() + 8);
  middle->press(std::nullopt);
  EXPECT_EQ(low->y, top->y + top->height() + 8);
  EXPECT_EQ(r->banners().size(), 2u);
  clock.flush();
  // Done on the top banner: one request, however the banner is closed later.
  top->press(std::string(Reminders::doneAction));
  EXPECT_EQ(count("/api/tasks/42", "PUT"), 1u);
  EXPECT_EQ(r->banners().size(), 1u);
  clock.advance(61s);
  EXPECT_EQ(count("/api/tasks/42", "PUT"), 1u);
  // The last one closed itself after a minute, with no action.
  EXPECT_TRUE(r->banners().empty());
  EXPECT_TRUE(opened.empty());
}

TEST_F(RemindersDelivery, BannerActionReportsAtMostOnce) {
  ReminderItem item{"1", 42, "task", "t", "", {}};
  ReminderBanner banner(item, host, clock);
  std::vector<std::optional<std::string>> got;
  banner.onAction = [&](std::optional<std::string> a) { got.push_back(a); };
  banner.appear();
  ASSERT_EQ(host.views.size(), 1u);
  EXPECT_TRUE(host.views[0]->onScreen);
  host.views[0]->press(std::string("vuko.snooze"));
  host.views[0]->press(std::string("vuko.done"));
  clock.advance(61s);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], "vuko.snooze");
  EXPECT_FALSE(host.views[0]->onScreen);
}

// The centre's one timer shows the request; the engine only records it.
TEST_F(RemindersDelivery, SystemModeRequestFallingDueIsRecordedWithoutDrawing) {
  start(Mode::system);
  upcoming = {reminder("1", 10min)};
  sync();
  sent.clear();
  wall.jump(10min - 1s);
  EXPECT_EQ(r->shownMap().count("rem1"), 0u);
  wall.jump(1s);
  EXPECT_EQ(host.made, 0);
  EXPECT_EQ(center.shownCount("rem1"), 1u);
  EXPECT_EQ(r->shownMap().count("rem1"), 1u);
  EXPECT_EQ(count("/api/reminders/1/fired", "POST"), 1u);
  // The poll after it reports it again but does not show it again.
  sync();
  EXPECT_EQ(center.shownCount("rem1"), 1u);
}

// A suspend carries the wall clock past a reminder. Whether its timer or the
// poll after the wake comes first, the reminder is presented exactly once.
TEST_F(RemindersDelivery, SuspendPastAReminderPresentsItOnce) {
  for (bool pollFirst : {false, true}) {
    SCOPED_TRACE(pollFirst);
    r.reset();
    host.made = 0;
    sent.clear();
    start(Mode::own);
    upcoming = {reminder("1", 10min)};
    sync();
    wall.jump(1h, /*noticed=*/!pollFirst);
    if (pollFirst) sync();
    r->wake();
    clock.advance(5s);
    EXPECT_EQ(host.made, 1);
    EXPECT_EQ(r->shownMap().count("rem1"), 1u);
    EXPECT_TRUE(r->ownPending().empty());
  }
}

TEST_F(RemindersDelivery, SuspendInSystemModeStillReachesTheUser) {
  start(Mode::system);
  upcoming = {reminder("1", 10min)};
  sync();
  // The poll comes before the centre's timer noticed the wake: it takes the
  // request back and shows it, and the timer then finds nothing.
  wall.jump(1h, false);
  sync();
  EXPECT_EQ(center.shownCount("rem1"), 1u);
  wall.recheck();
  EXPECT_EQ(center.shownCount("rem1"), 1u);
  EXPECT_EQ(count("/api/reminders/1/fired"), 1u);
}

TEST_F(RemindersDelivery, ActivityHeldWhileAnOwnTimerIsNear) {
  start(Mode::own);
  upcoming = {reminder("1", 10min)};
  sync();
  EXPECT_TRUE(activity.held());
  EXPECT_EQ(activity.reason, Reminders::keepAwakeReason);
  wall.jump(10min);
  EXPECT_EQ(host.made, 1);
  EXPECT_FALSE(activity.held());
  EXPECT_EQ(activity.holds, 1);
}

TEST_F(RemindersDelivery, ActivityTakenHalfAnHourAhead) {
  start(Mode::own);
  upcoming = {reminder("1", 2h)};
  sync();
  EXPECT_FALSE(activity.held());
  // 10 s after the timer comes within half an hour.
  wall.jump(90min + 9s);
  EXPECT_FALSE(activity.held());
  wall.jump(1s);
  EXPECT_TRUE(activity.held());
  r->clearScheduled();
  EXPECT_FALSE(activity.held());
}

TEST_F(RemindersDelivery, ActivityNeverHeldInSystemMode) {
  start(Mode::system);
  upcoming = {reminder("1", 1min)};
  sync();
  r->handle(ReminderAnswer{Reminders::snoozeAction, {"1", 42, "task", "t", "", {}}, {}});
  EXPECT_EQ(activity.holds, 0);
}

TEST_F(RemindersDelivery, OwnSnoozeHoldsTheActivity) {
  start(Mode::own);
  r->handle(ReminderAnswer{Reminders::snoozeAction, {"1", 42, "task", "t", "", {}}, {}});
  EXPECT_TRUE(activity.held());
  clock.advance(600s);
  EXPECT_EQ(host.made, 1);
  EXPECT_FALSE(activity.held());
}

}  // namespace
}  // namespace vuko::test

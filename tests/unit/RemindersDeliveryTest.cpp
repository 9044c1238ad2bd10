#include "RemindersTestSupport.h"

namespace vuko::test {
namespace {

using namespace std::chrono_literals;

class RemindersDelivery : public RemindersFixture {};

TEST(ReminderItem, DatesObjectsAndContentFromTheServer) {
  auto a = ReminderItem::parseDate("2025-03-01T09:00:00.123Z");
  auto b = ReminderItem::parseDate("2025-03-01T12:00:00+03:00");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(*a, *b);
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(a->time_since_epoch()).count(),
            1740819600);
  for (const char* bad : {"2025-03-01 09:00", "2025-03-01T09:00:00", "2025-02-30T09:00:00Z",
                          "2025-03-01T09:00:00+0300", "2025-03-01T09:00:00Zjunk", ""})
    EXPECT_FALSE(ReminderItem::parseDate(bad)) << bad;

  auto i = ReminderItem::from({{"id", 57}, {"remind_at", "2025-03-01T09:00:00Z"}, {"task_id", 3}});
  ASSERT_TRUE(i);
  EXPECT_EQ(i->nid(), "rem57");
  EXPECT_EQ(i->taskId, 3);
  EXPECT_EQ(Reminders::content(*i).body, "Напоминание");
  EXPECT_TRUE(BannerContent::of(*i).buttons);
  // Fields of the wrong type fall back rather than reject the reminder; a
  // reminder without a task has nothing to complete.
  auto j = ReminderItem::from(
      {{"id", "x"}, {"remind_at", "2025-03-01T09:00:00Z"}, {"task_id", "3"}, {"kind", 5}});
  ASSERT_TRUE(j);
  EXPECT_FALSE(j->taskId);
  EXPECT_EQ(j->kind, "task");
  EXPECT_FALSE(BannerContent::of(*j).buttons);
  for (const auto& bad :
       {nlohmann::json{{"remind_at", "2025-03-01T09:00:00Z"}},
        nlohmann::json{{"id", 1}, {"remind_at", 1740819600}}, nlohmann::json::array()})
    EXPECT_FALSE(ReminderItem::from(bad)) << bad;
  // A digest has its own category, no body and no buttons.
  ReminderItem digest{"6", 7, "digest", "Сводка", "", {}};
  EXPECT_NE(Reminders::content(digest).categoryId, Reminders::content(*i).categoryId);
  EXPECT_NE(Reminders::content(digest).threadId, Reminders::content(*i).threadId);
  EXPECT_EQ(Reminders::content(digest).body, "");
  EXPECT_FALSE(BannerContent::of(digest).buttons);
}

TEST_F(RemindersDelivery, PageNotificationsAreNotificationsOrPlainBanners) {
  start(Mode::off);
  r->notifyNow("Заголовок", "Текст", "t1");
  r->notifyNow("Заголовок", "Текст", "");
  r->notifyNow("Заголовок", "Текст", "");
  ASSERT_EQ(center.shown.size(), 3u);
  EXPECT_EQ(center.shown[0].id, "t1");
  EXPECT_NE(center.shown[1].id, center.shown[2].id);
  start(Mode::own);
  r->notifyNow("Заголовок", "Текст", "t1");
  EXPECT_EQ(center.shown.size(), 3u);
  ASSERT_EQ(host.alive, 1);
  EXPECT_FALSE(banner(0).content.buttons);
  EXPECT_EQ(banner(0).content.body, "Текст");
}

// Whether the poll, the centre's timer or its presentation to the focused
// window sees a reminder first, it is shown and reported fired once.
TEST_F(RemindersDelivery, ShownWhileActiveIsReportedFiredOnce) {
  center.active = true;
  start(Mode::system);
  upcoming = {reminder("1", 0s), reminder("2", 10min)};
  sync();
  clock.flush();
  wall.jump(10min);
  clock.flush();
  for (const char* id : {"1", "2"}) {
    EXPECT_EQ(center.shownCount("rem" + std::string(id)), 1u) << id;
    EXPECT_EQ(count("/api/reminders/" + std::string(id) + "/fired"), 1u) << id;
  }
  EXPECT_EQ(host.made, 0);
}

// A suspend carries the wall clock past a reminder. Whether its timer or the
// poll after the wake comes first, the reminder is presented exactly once.
TEST_F(RemindersDelivery, SuspendPastAReminderPresentsItOnce) {
  for (auto mode : {Mode::own, Mode::system}) {
    for (bool pollFirst : {false, true}) {
      SCOPED_TRACE(testing::Message() << (mode == Mode::own ? "own" : "system") << pollFirst);
      center.shown.clear();
      host.made = 0;
      upcoming = {reminder("1", 10min)};
      start(mode);
      int heard = 0;
      r->onDelivered = [&] { ++heard; };
      wall.jump(1h, /*noticed=*/!pollFirst);
      if (pollFirst) sync();
      r->wake();
      clock.advance(5s);
      EXPECT_EQ(host.made + center.shownCount("rem1"), 1u);
      EXPECT_EQ(r->shownMap().count("rem1"), 1u);
      EXPECT_TRUE(r->ownPending().empty());
      EXPECT_GT(heard, 0);
    }
  }
}

// After a long sleep (or a start) more than three reminders late by over ten
// minutes come as one notification, fresher ones one by one; each is reported
// fired once and none comes again after a restart.
TEST_F(RemindersDelivery, ManyLateRemindersComeAsOne) {
  for (auto mode : {Mode::system, Mode::own}) {
    for (int late : {12, 3}) {
      SCOPED_TRACE(testing::Message() << (mode == Mode::own ? "own " : "system ") << late);
      defaults = MemoryDefaults();
      center.shown.clear();
      host.made = 0;
      upcoming = nlohmann::json::array();
      for (int i = 0; i < late + 2; ++i) {
        auto at = i < late ? 1h + i * 1min : 2h + (18 + 2 * i - 2 * late) * 1min;
        upcoming.push_back(reminder(std::to_string(i), at));
        upcoming.back()["title"] = "задача " + std::to_string(i);
      }
      start(mode, false);
      sent.clear();
      wall.jump(2h + 25min);
      clock.advance(1s);
      const size_t shown = late > 3 ? 3 : late + 2;
      EXPECT_EQ(center.shown.size() + host.made, shown);
      EXPECT_EQ(count("/fired"), size_t(late + 2));
      if (late > 3 && mode == Mode::system) {
        // After the fresh ones, which need no gathering.
        EXPECT_EQ(center.shown.back().content.title, Reminders::missedTitle);
        EXPECT_EQ(center.shown.back().content.body,
                  "12 напоминаний, пока компьютер спал: «задача 0», «задача 1» и ещё 10");
      } else if (late > 3) {
        EXPECT_EQ(banner(2).content.title, Reminders::missedTitle);
        banner(2).press("open");
      }
      start(mode, false);
      EXPECT_EQ(center.shown.size() + host.made, shown);
    }
  }
  EXPECT_EQ(opened, std::vector<std::string>{"/today"});
  // At a start the server's list brings what fell due while the client was off.
  center.shown.clear();
  upcoming = nlohmann::json::array();
  for (int i = 0; i < 5; ++i) upcoming.push_back(reminder("s" + std::to_string(i), -1h));
  start(Mode::system, false);
  clock.advance(1s);
  ASSERT_EQ(center.shown.size(), 1u);
  EXPECT_EQ(center.shown[0].content.title, Reminders::missedTitle);
  const std::pair<std::size_t, const char*> words[] = {
      {1, "1 напоминание,"},   {4, "4 напоминания,"},   {11, "11 напоминаний,"},
      {21, "21 напоминание,"}, {22, "22 напоминания,"}, {25, "25 напоминаний,"}};
  for (const auto& [n, start] : words)
    EXPECT_TRUE(Reminders::missedBody(std::vector<std::string>(n, "a")).starts_with(start)) << n;
}

TEST_F(RemindersDelivery, DoneCompletesTheTaskOrOpensIt) {
  start(Mode::system);
  sent.clear();
  putStatus = 500;
  answer(Reminders::doneAction);
  EXPECT_EQ(changed, 0);
  putStatus = 200;
  answer(Reminders::doneAction);
  EXPECT_EQ(count("/api/tasks/42"), 2u);
  EXPECT_EQ(sent.back().token, "tok");
  EXPECT_EQ(changed, 1);
  clock.advance(999ms);
  EXPECT_EQ(count("/upcoming"), 0u);
  clock.advance(1ms);
  EXPECT_EQ(count("/upcoming"), 1u);
  // Without a task there is nothing to complete or open.
  answer(Reminders::doneAction, 0);
  answer(Reminders::doneAction, std::nullopt);
  clock.advance(20s);
  EXPECT_EQ(sent.size(), 3u);
  EXPECT_TRUE(opened.empty());
  // Signed out, it opens the task after twenty tries for a token.
  token.reset();
  start(Mode::system);
  sent.clear();
  answer(Reminders::doneAction);
  clock.advance(9400ms);
  EXPECT_TRUE(opened.empty());
  clock.advance(100ms);
  EXPECT_EQ(opened, std::vector<std::string>{"/today?task=42"});
  EXPECT_TRUE(sent.empty());
}

// A click opens the task or today; a notification the desktop could not
// show becomes a banner.
TEST_F(RemindersDelivery, ClicksAndUndeliveredNotifications) {
  start(Mode::system);
  r->handle({NotificationRequest{"rem1", Reminders::content({"1", 42, "task", "t", "", {}}), {}},
             NotificationResponse::defaultAction, "token-1"});
  r->handle({NotificationRequest{"rem2", Reminders::content({"2", {}, "digest", "t", "", {}}), {}},
             NotificationResponse::defaultAction});
  r->handle({NotificationRequest{"x", {}, {}}, NotificationResponse::defaultAction});
  EXPECT_EQ(opened, (std::vector<std::string>{"/today?task=42 token-1", "/today", "/today"}));
  center.onUndelivered({"rem5", Reminders::content({"5", 42, "task", "Позвонить", "", {}}), {}});
  ASSERT_EQ(host.alive, 1);
  EXPECT_EQ(banner(0).content.title, "Позвонить");
  EXPECT_TRUE(banner(0).content.buttons);
}

TEST_F(RemindersDelivery, BannersStackAndCloseOnce) {
  start(Mode::own);
  upcoming = {reminder("1", 0s), reminder("2", 0s, std::nullopt), reminder("3", 0s)};
  sync();
  ASSERT_EQ(host.alive, 3);
  auto *top = &banner(0), *middle = &banner(1), *low = &banner(2);
  EXPECT_EQ(top->x, 1920 - 340 - 12);
  EXPECT_EQ(top->y, 30 + 12);
  EXPECT_EQ(middle->y, top->y + top->height() + 8);
  EXPECT_EQ(low->y, middle->y + middle->height() + 8);
  middle->press(std::nullopt);
  EXPECT_EQ(low->y, top->y + top->height() + 8);
  EXPECT_EQ(r->banners().size(), 2u);
  clock.flush();
  // Done on the top banner: one answer, whatever else reaches the banner.
  top->press(std::string(Reminders::doneAction));
  top->press(std::string(Reminders::snoozeAction));
  clock.advance(61s);
  EXPECT_EQ(count("/api/tasks/42"), 1u);
  EXPECT_TRUE(r->ownPending().empty());
  // The last one closed itself after a minute, with no action.
  EXPECT_TRUE(r->banners().empty());
  EXPECT_TRUE(opened.empty());
}

// Own banners need the machine awake: held from half an hour before the
// first one (checked 10 s late) until it has been shown.
TEST_F(RemindersDelivery, ActivityHeldWhileAnOwnTimerIsNear) {
  start(Mode::own);
  upcoming = {reminder("1", 2h)};
  sync();
  EXPECT_FALSE(activity.held());
  wall.jump(90min + 9s);
  EXPECT_FALSE(activity.held());
  wall.jump(1s);
  EXPECT_TRUE(activity.held());
  wall.jump(30min);
  EXPECT_EQ(host.made, 1);
  EXPECT_FALSE(activity.held());
  EXPECT_EQ(activity.holds, 1);
}

}  // namespace
}  // namespace vuko::test

#include <gtest/gtest.h>

#include "platform/Defaults.h"
#include "support/FakeClock.h"
#include "web/Hibernation.h"

namespace vuko {
namespace {

using std::chrono::seconds;

TEST(HibernationTest, SleepsAfterTheDelayOnlyWhileNothingNeedsThePage) {
  test::FakeClock clock;
  Hibernation h(clock);
  int slept = 0, woke = 0;
  h.onSleep = [&] { ++slept; };
  h.onWake = [&] { ++woke; };
  h.delaySource = [] { return Clock::Duration(seconds(60)); };
  h.remindersNative(true);
  h.windowShown(false);
  clock.advance(seconds(59));
  // Showing the window starts the wait over.
  h.windowShown(true);
  h.windowShown(false);
  clock.advance(seconds(59));
  EXPECT_EQ(slept, 0);
  // The pomodoro window and the page's own reminders keep the page.
  h.pomodoroOpen(true);
  clock.advance(seconds(120));
  h.pomodoroOpen(false);
  h.remindersNative(false);
  clock.advance(seconds(120));
  EXPECT_EQ(slept, 0);
  h.remindersNative(true);
  clock.advance(seconds(60));
  EXPECT_EQ(slept, 1);
  EXPECT_TRUE(h.asleep());
  h.pomodoroOpen(true);
  EXPECT_EQ(woke, 0);
  h.windowShown(true);
  EXPECT_EQ(woke, 1);
  EXPECT_FALSE(h.asleep());
  clock.advance(seconds(600));
  EXPECT_EQ(slept, 1);
}

TEST(HibernationTest, TheDelayComesFromTheStoreAndZeroIsNever) {
  MemoryDefaults store;
  EXPECT_EQ(Hibernation::delay(store), Clock::Duration(seconds(1800)));
  store.setNumber(Hibernation::kDelayKey, 2.5);
  EXPECT_EQ(Hibernation::delay(store), Clock::Duration(2500));
  store.setNumber(Hibernation::kDelayKey, 0);
  EXPECT_EQ(Hibernation::delay(store), std::nullopt);
  store.setNumber(Hibernation::kDelayKey, -5);
  EXPECT_EQ(Hibernation::delay(store), Clock::Duration(seconds(1800)));
  store.setString(Hibernation::kDelayKey, "soon");
  EXPECT_EQ(Hibernation::delay(store), Clock::Duration(seconds(1800)));
}

}  // namespace
}  // namespace vuko

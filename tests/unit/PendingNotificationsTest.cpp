// The one timer and the one store of a pending request, and the own centre
// that feeds the banners from them.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/PendingNotifications.h"
#include "reminders/OwnCenter.h"
#include "support/FakeClock.h"
#include "support/Wait.h"

namespace vuko::test {
namespace {

using namespace std::chrono_literals;
using Ids = std::vector<std::string>;

// A restart in between: the second run shows what fell due once, and a third
// run finds nothing left.
TEST(PendingStore, FallsDueOnceAcrossARestart) {
  FakeClock clock;
  auto file = std::filesystem::path(tempDir()) / "notifications.json";
  {
    PendingNotifications first(clock.wall, file);
    first.add({"rem1", {}, NotificationTrigger::at(clock.wall.now() + 10min)});
    first.add({"rem2", {}, NotificationTrigger::at(clock.wall.now() + 1h)});
    first.remove({"rem2"});
  }
  clock.wall.jump(20min);
  Ids due;
  auto record = [&](NotificationRequest r) { due.push_back(r.id); };
  {
    PendingNotifications second(clock.wall, file);
    second.onDue = record;
    second.load();
    EXPECT_TRUE(due.empty());  // on a later turn, not inside the load
    clock.flush();
    EXPECT_EQ(due, Ids{"rem1"});
  }
  PendingNotifications third(clock.wall, file);
  third.onDue = record;
  third.load();
  clock.wall.jump(2h);
  EXPECT_EQ(due, Ids{"rem1"});
}

TEST(PendingStore, OneTimerPerIdAndIntervalsCountFromNow) {
  FakeClock clock;
  PendingNotifications pending(clock.wall, std::nullopt);
  Ids due;
  pending.onDue = [&](NotificationRequest r) { due.push_back(r.id); };
  pending.add({"rem1", {}, NotificationTrigger::at(clock.wall.now() + 10min)});
  pending.add({"rem1", {}, NotificationTrigger::at(clock.wall.now() + 15min)});
  pending.add({"snooze-1-0", {}, NotificationTrigger::after(600s)});
  EXPECT_EQ(clock.pending(), 2u);
  clock.advance(10min);
  EXPECT_EQ(due, Ids{"snooze-1-0"});
  clock.advance(5min);
  EXPECT_EQ(due, (Ids{"snooze-1-0", "rem1"}));
  EXPECT_EQ(clock.pending(), 0u);
}

TEST(OwnCenter, DeliversOnItsOwnTurnOfTheLoop) {
  FakeClock clock;
  OwnCenter center(clock.wall, clock);
  Ids delivered;
  center.onDelivered = [&](const NotificationRequest& r) { delivered.push_back(r.id); };
  center.add({"rem2", {}, {}});
  EXPECT_TRUE(delivered.empty());
  clock.flush();
  EXPECT_EQ(delivered, Ids{"rem2"});
}

}  // namespace
}  // namespace vuko::test

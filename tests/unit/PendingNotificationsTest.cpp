// The one timer and the one store of a pending request, and the own centre
// that feeds the banners from them.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/PendingNotifications.h"
#include "reminders/OwnCenter.h"
#include "support/FakeClock.h"
#include "support/FakeWallClock.h"
#include "support/Wait.h"

namespace vuko::test {
namespace {

using namespace std::chrono_literals;

NotificationRequest request(const std::string& id, NotificationTrigger trigger) {
  NotificationContent c;
  c.title = "Позвонить";
  c.userInfo = {{"rid", id.substr(3)}};
  return {id, c, trigger};
}

std::vector<std::string> ids(std::vector<NotificationRequest> list) {
  std::vector<std::string> out;
  for (const auto& r : list) out.push_back(r.id);
  return out;
}

class PendingStore : public testing::Test {
 protected:
  FakeClock clock;
  FakeWallClock wall{clock};
  std::filesystem::path file = std::filesystem::path(tempDir()) / "notifications.json";
};

// A restart in between: the second run shows what fell due once, and a third
// run finds nothing left.
TEST_F(PendingStore, FallsDueOnceAcrossARestart) {
  {
    PendingNotifications first(wall, file);
    first.add(request("rem1", NotificationTrigger::at(wall.now() + 10min)));
    first.add(request("rem2", NotificationTrigger::at(wall.now() + 1h)));
    first.remove({"rem2"});
  }
  wall.jump(20min);
  std::vector<std::string> due;
  {
    PendingNotifications second(wall, file);
    second.onDue = [&](NotificationRequest r) { due.push_back(r.id); };
    second.load();
    EXPECT_TRUE(due.empty());  // on a later turn, not inside the load
    clock.flush();
    EXPECT_EQ(due, std::vector<std::string>{"rem1"});
    EXPECT_EQ(second.list().size(), 0u);
  }
  PendingNotifications third(wall, file);
  third.onDue = [&](NotificationRequest r) { due.push_back(r.id); };
  EXPECT_TRUE(third.list().empty());
  wall.jump(2h);
  EXPECT_EQ(due.size(), 1u);
}

TEST_F(PendingStore, OneTimerPerIdAndIntervalsCountFromNow) {
  PendingNotifications pending(wall, std::nullopt);
  std::vector<std::string> due;
  pending.onDue = [&](NotificationRequest r) { due.push_back(r.id); };
  pending.add(request("rem1", NotificationTrigger::at(wall.now() + 10min)));
  pending.add(request("rem1", NotificationTrigger::at(wall.now() + 15min)));
  pending.add(request("snooze-1-0", NotificationTrigger::after(600s)));
  EXPECT_EQ(wall.pending(), 2u);
  EXPECT_EQ(pending.list()[1].trigger.kind, NotificationTrigger::Kind::calendar);
  clock.advance(10min);
  EXPECT_EQ(due, std::vector<std::string>{"snooze-1-0"});
  clock.advance(5min);
  EXPECT_EQ(due, (std::vector<std::string>{"snooze-1-0", "rem1"}));
  EXPECT_EQ(wall.pending(), 0u);
}

TEST(OwnCenter, DeliversOnItsOwnTurnOfTheLoop) {
  FakeClock clock;
  FakeWallClock wall{clock};
  OwnCenter center(wall, clock);
  std::vector<std::string> delivered;
  center.onDelivered = [&](const NotificationRequest& r) { delivered.push_back(r.id); };
  center.add(request("rem1", NotificationTrigger::at(wall.now() + 1min)));
  center.add(request("rem2", {}));
  EXPECT_TRUE(delivered.empty());
  EXPECT_EQ(ids(center.list()), std::vector<std::string>{"rem1"});
  clock.flush();
  EXPECT_EQ(delivered, std::vector<std::string>{"rem2"});
  // The machine slept past the moment.
  wall.jump(2min);
  EXPECT_EQ(delivered, (std::vector<std::string>{"rem2", "rem1"}));
  EXPECT_TRUE(center.list().empty());
}

}  // namespace
}  // namespace vuko::test

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ServerChange.h"
#include "support/FakeClock.h"

using namespace vuko;
using namespace std::chrono_literals;

namespace {

class ServerChangeTest : public testing::Test {
 protected:
  void SetUp() override {
    auto note = [this](const char* what) { return [this, what] { steps.push_back(what); }; };
    change.refreshSettings = note("settings.refresh");
    change.reloadMain = note("main.reload");
    change.clearBadge = note("badge.clear");
    change.reloadMini = note("mini.reload");
    change.openMain = [this](const std::string& path) { steps.push_back("main.open " + path); };
    change.resetReminders = note("reminders.reset");
    change.updateBadge = note("badge.update");
    change.syncReminders = note("reminders.soon(0)");
  }
  test::FakeClock clock;
  ServerChange change{clock};
  std::vector<std::string> steps;
};

}  // namespace

TEST_F(ServerChangeTest, UnchangedServerOnlyReloadsTheMainPage) {
  change(false);
  clock.advance(1min);
  EXPECT_EQ(steps, (std::vector<std::string>{"settings.refresh", "main.reload"}));
}

TEST_F(ServerChangeTest, ChangedServerResetsEverythingAndRefreshesFourSecondsLater) {
  change(true);
  EXPECT_EQ(steps, (std::vector<std::string>{"settings.refresh", "badge.clear", "mini.reload",
                                             "main.open /today", "reminders.reset"}));
  steps.clear();
  clock.advance(3999ms);
  EXPECT_TRUE(steps.empty()) << "the badge stays blank until the deferred refresh";
  clock.advance(1ms);
  EXPECT_EQ(steps, (std::vector<std::string>{"badge.update", "reminders.soon(0)"}));
  steps.clear();
  clock.advance(1h);
  EXPECT_TRUE(steps.empty()) << "the deferred refresh runs once";
}

TEST_F(ServerChangeTest, SecondChangeWithinTheDelayRefreshesOnceAfterIt) {
  change(true);
  clock.advance(2s);
  change(true);
  steps.clear();
  clock.advance(3s);
  EXPECT_TRUE(steps.empty());
  clock.advance(1s);
  EXPECT_EQ(steps, (std::vector<std::string>{"badge.update", "reminders.soon(0)"}));
}

TEST_F(ServerChangeTest, UnsetStepsAreSkipped) {
  ServerChange bare{clock};
  bare.openMain = [this](const std::string& path) { steps.push_back("main.open " + path); };
  bare(true);
  clock.advance(5s);
  bare(false);
  EXPECT_EQ(steps, std::vector<std::string>{"main.open /today"});
}

TEST_F(ServerChangeTest, GoneBeforeTheDelayLeavesNothingScheduled) {
  {
    ServerChange shortLived{clock};
    shortLived.updateBadge = [this] { steps.push_back("badge.update"); };
    shortLived(true);
    EXPECT_EQ(clock.pending(), 1u);
  }
  EXPECT_EQ(clock.pending(), 0u);
  clock.advance(5s);
  EXPECT_TRUE(steps.empty());
}

#include "app/ServerChange.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FakeClock.h"

using namespace vuko;
using namespace std::chrono_literals;
using Steps = std::vector<std::string>;

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
    change.syncReminders = note("reminders.sync");
  }
  test::FakeClock clock;
  ServerChange change{clock};
  Steps steps;
};

}  // namespace

// An unchanged server only reloads the main page. After a change the badge
// stays blank until the refresh; a second change within the delay moves the
// one refresh after it.
TEST_F(ServerChangeTest, ChangedServerResetsEverythingAndRefreshesOnceFourSecondsAfterTheLast) {
  change(false);
  clock.advance(1min);
  EXPECT_EQ(steps, (Steps{"settings.refresh", "main.reload"}));
  steps.clear();
  change(true);
  EXPECT_EQ(steps, (Steps{"settings.refresh", "badge.clear", "mini.reload", "main.open /today",
                          "reminders.reset"}));
  clock.advance(2s);
  change(true);
  steps.clear();
  clock.advance(3999ms);
  EXPECT_TRUE(steps.empty());
  clock.advance(1ms);
  EXPECT_EQ(steps, (Steps{"badge.update", "reminders.sync"}));
  clock.advance(1h);
  EXPECT_EQ(steps.size(), 2u);
}

TEST_F(ServerChangeTest, UnsetStepsAreSkippedAndNothingOutlivesTheChange) {
  {
    ServerChange bare{clock};
    bare.openMain = [this](const std::string& path) { steps.push_back("main.open " + path); };
    bare(false);
    bare(true);
    EXPECT_EQ(clock.pending(), 1u);
  }
  EXPECT_EQ(clock.pending(), 0u);
  clock.advance(5s);
  EXPECT_EQ(steps, Steps{"main.open /today"});
}

#include <gtest/gtest.h>

#include "support/SettingsScope.h"
#include "web/NavigationPolicy.h"
#include "web/Snapshot.h"

namespace vuko {
namespace {

Url url(const char* text) {
  return *Url::parse(text);
}

TEST(SnapshotTest, OneFilePerServer) {
  EXPECT_EQ(Snapshot::fileName(url("https://Tasks.Example:443")),
            Snapshot::fileName(url("https://tasks.example")));
  EXPECT_NE(Snapshot::fileName(url("https://tasks.example")),
            Snapshot::fileName(url("https://tasks.example:8443")));
  EXPECT_NE(Snapshot::fileName(url("http://tasks.example")),
            Snapshot::fileName(url("https://tasks.example")));
  EXPECT_EQ(Snapshot::fileName(url("http://127.0.0.1:8080")), "snapshot-http___127.0.0.1_8080.png");
}

TEST(SnapshotTest, OnlyALoadedPageOfTheServerInUseIsKeptAndASignOutForgetsIt) {
  using enum Snapshot::Keeping;
  test::SettingsScope scope{"https://tasks.example"};
  const std::string auth = "https://" + *Navigation::authHosts().begin() + "/";
  EXPECT_EQ(Snapshot::onLeave(Url::parse("https://tasks.example/today"), false, false), save);
  EXPECT_EQ(Snapshot::onLeave(Url::parse("https://tasks.example/today"), true, false), leave);
  EXPECT_EQ(Snapshot::onLeave(Url::parse("https://tasks.example/today"), false, true), leave);
  EXPECT_EQ(Snapshot::onLeave(Url::parse("https://tasks.example/login"), false, false), forget);
  EXPECT_EQ(Snapshot::onLeave(Url::parse("https://other.example/today"), false, false), leave);
  EXPECT_EQ(Snapshot::onLeave(Url::parse(auth), false, false), leave);
  EXPECT_EQ(Snapshot::onLeave(Url::parse("about:blank"), false, false), leave);
  EXPECT_EQ(Snapshot::onLeave(std::nullopt, false, false), leave);
}

TEST(SnapshotTest, APictureFitsOnlyItsServerAndTheWindowAtItsScale) {
  const Url server = url("https://tasks.example");
  EXPECT_TRUE(Snapshot::fits("https://TASKS.example:443", server, 800, 600, 800, 600, 1));
  EXPECT_TRUE(Snapshot::fits("https://tasks.example", server, 1600, 1200, 800, 600, 2));
  EXPECT_FALSE(Snapshot::fits("https://tasks.example", server, 800, 600, 800, 600, 2));
  EXPECT_FALSE(Snapshot::fits("https://tasks.example", server, 801, 600, 800, 600, 1));
  EXPECT_FALSE(Snapshot::fits("https://tasks.example:8443", server, 800, 600, 800, 600, 1));
  EXPECT_FALSE(Snapshot::fits("", server, 800, 600, 800, 600, 1));
}

}  // namespace
}  // namespace vuko

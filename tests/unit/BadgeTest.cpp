// Today's count from a scripted task API. (The launcher signal that carries
// it is tested on a session bus with the integration tests.)
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/Badge.h"
#include "platform/Defaults.h"
#include "server/NetworkText.h"
#include "server/Settings.h"
#include "support/FakeTaskApi.h"

using namespace vuko;
using test::FakeTaskApi;
using Failure = TaskApi::Failure;

namespace {

class BadgeTest : public testing::Test {
 protected:
  void SetUp() override {
    Defaults::setStandard(std::make_shared<MemoryDefaults>());
    api.useTokenField();
    api.pageToken = "t-1";
    api.respond = [this](const FakeTaskApi::Call&) { return answer; };
  }

  Badge::Label refresh() {
    size_t before = labels.size();
    badge->update();
    EXPECT_EQ(labels.size(), before + 1);
    return badge->label();
  }

  FakeTaskApi api;
  FakeTaskApi::Answer answer = FakeTaskApi::reply({{"today", 0}});
  std::vector<Badge::Label> labels;
  std::unique_ptr<Badge> badge =
      std::make_unique<Badge>(api, [this](const Badge::Label& label) { labels.push_back(label); });
};

}  // namespace

TEST_F(BadgeTest, CountsFromTheServerBecomeTheLabel) {
  struct Case {
    FakeTaskApi::Answer answer;
    std::optional<std::string> label;
  } cases[] = {
      {FakeTaskApi::reply({{"today", 12}}), "12"},
      {FakeTaskApi::reply({{"today", 0}}), std::nullopt},
      {FakeTaskApi::reply({{"today", "7"}}), std::nullopt},
      {FakeTaskApi::reply({{"today", 3}}), "3"},
      {FakeTaskApi::failing(Failure::server(500, "упал")), std::nullopt},
      {FakeTaskApi::reply({{"today", 4}}), "4"},
      {FakeTaskApi::failing(Failure::notSignedIn()), std::nullopt},
      {FakeTaskApi::reply({{"today", 5}}), "5"},
      {FakeTaskApi::failing(Failure::network(networkFailureText(TransportError::Kind::refused))),
       std::nullopt},
  };
  for (const auto& c : cases) {
    answer = c.answer;
    EXPECT_EQ(refresh(), c.label);
    EXPECT_EQ(labels.back(), c.label);
  }
  ASSERT_FALSE(api.calls.empty());
  EXPECT_EQ(api.calls.back().name, "counts");
  EXPECT_EQ(api.calls.back().token, "t-1");
}

TEST_F(BadgeTest, SignedOutOrSwitchedOffClearsWithoutAsking) {
  answer = FakeTaskApi::reply({{"today", 9}});
  ASSERT_EQ(refresh(), "9");
  ASSERT_EQ(api.calls.size(), 1u);

  api.pageToken.reset();
  EXPECT_EQ(refresh(), std::nullopt);
  EXPECT_EQ(api.calls.size(), 1u);

  api.pageToken = "t-1";
  ASSERT_EQ(refresh(), "9");
  Settings::setDockBadge(false);
  // Switched off, the badge goes at once, before any answer could come.
  badge->update();
  EXPECT_EQ(badge->label(), std::nullopt);
  EXPECT_EQ(labels.back(), std::nullopt);
  EXPECT_EQ(api.calls.size(), 2u);

  Settings::setDockBadge(true);
  EXPECT_EQ(refresh(), "9");
}

TEST_F(BadgeTest, TheLastRefreshToFinishSetsTheLabel) {
  answer = FakeTaskApi::held();
  badge->update();
  badge->update();
  ASSERT_EQ(api.heldCount(), 2u);
  api.release(FakeTaskApi::reply({{"today", 2}}));
  api.release(FakeTaskApi::reply({{"today", 8}}));
  EXPECT_EQ(labels, (std::vector<Badge::Label>{"2", "8"}));
}

TEST_F(BadgeTest, ARefreshStillRunningIsCancelledWhenTheBadgeGoes) {
  answer = FakeTaskApi::held();
  badge->update();
  ASSERT_EQ(api.heldCount(), 1u);
  badge.reset();
  ASSERT_EQ(api.calls.size(), 1u);
  EXPECT_TRUE(api.calls[0].cancelled);
  EXPECT_EQ(api.heldCount(), 0u);
  EXPECT_TRUE(labels.empty());
}

// Today's count from a scripted task API. (The launcher signal that carries
// it is tested on a session bus with the integration tests.)
#include "app/Badge.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/Defaults.h"
#include "server/Settings.h"
#include "support/FakeTaskApi.h"

using namespace vuko;
using test::FakeTaskApi;

namespace {

TEST(BadgeLabel, OnlyAPositiveIntegerTodayShows) {
  struct Case {
    const char* counts;
    std::optional<std::string> label;
  } cases[] = {
      {R"({"today":12,"inbox":3})", "12"}, {R"({"today":1})", "1"},
      {R"({"today":0})", std::nullopt},    {R"({"today":-4})", std::nullopt},
      {R"({"today":"12"})", std::nullopt}, {R"({"today":2.5})", std::nullopt},
      {R"({"inbox":3})", std::nullopt},    {R"([{"today":3}])", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Badge::labelFor(nlohmann::json::parse(c.counts)), c.label) << c.counts;
}

class BadgeTest : public testing::Test {
 protected:
  void SetUp() override {
    Defaults::setStandard(std::make_shared<MemoryDefaults>());
    api.useTokenField();
    api.pageToken = "t-1";
    api.respond = [this](const FakeTaskApi::Call&) { return answer; };
  }

  FakeTaskApi api;
  FakeTaskApi::Answer answer = FakeTaskApi::reply({{"today", 9}});
  std::vector<Badge::Label> labels;
  std::unique_ptr<Badge> badge =
      std::make_unique<Badge>(api, [this](const Badge::Label& label) { labels.push_back(label); });
};

// Whatever stops the count from coming clears the badge rather than leave a
// stale number; switched off, it clears at once, before any answer.
TEST_F(BadgeTest, ClearedWhenTheCountCannotBeHad) {
  badge->update();
  ASSERT_EQ(api.calls.size(), 1u);
  EXPECT_EQ(api.calls[0].token, "t-1");
  answer = FakeTaskApi::failing(TaskApi::Failure::server(500, "упал"));
  badge->update();
  answer = FakeTaskApi::reply({{"today", 9}});
  api.pageToken.reset();
  badge->update();
  api.pageToken = "t-1";
  Settings::setDockBadge(false);
  badge->update();
  EXPECT_EQ(api.calls.size(), 2u);  // neither without a token nor switched off
  Settings::setDockBadge(true);
  badge->update();
  EXPECT_EQ(labels,
            (std::vector<Badge::Label>{"9", std::nullopt, std::nullopt, std::nullopt, "9"}));
}

// The last refresh to finish sets the label; one still running when the
// badge goes is cancelled.
TEST_F(BadgeTest, RefreshesInFlight) {
  answer = FakeTaskApi::held();
  badge->update();
  badge->update();
  ASSERT_EQ(api.heldCount(), 2u);
  api.release(FakeTaskApi::reply({{"today", 2}}));
  api.release(FakeTaskApi::reply({{"today", 8}}));
  EXPECT_EQ(labels, (std::vector<Badge::Label>{"2", "8"}));
  badge->update();
  badge.reset();
  EXPECT_TRUE(api.calls.back().cancelled);
  EXPECT_EQ(api.heldCount(), 0u);
  EXPECT_EQ(labels.size(), 2u);
}

}  // namespace

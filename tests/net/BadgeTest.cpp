// Today's count from a task server on 127.0.0.1. (The launcher signal that
// carries it is tested on a session bus with the integration tests.)
#include <gtest/gtest.h>

#include <vector>

#include "app/Badge.h"
#include "platform/Defaults.h"
#include "server/Settings.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko;
using namespace vuko::test;

namespace {

class BadgeTest : public testing::Test {
 protected:
  void SetUp() override {
    Defaults::setStandard(std::make_shared<MemoryDefaults>());
    Settings::setServer(*Url::parse(server.url()));
    server.handle("/api/tasks/counts", [this](const Received&) { return answer; });
  }

  // Runs one refresh and waits for the label it sets.
  Badge::Label refresh() {
    size_t before = labels.size();
    badge.update();
    EXPECT_TRUE(waitUntil([&] { return labels.size() > before; }));
    return badge.label();
  }

  size_t countRequests() const {
    size_t n = 0;
    for (const auto& r : server.received()) n += r.path == "/api/tasks/counts";
    return n;
  }

  std::vector<Badge::Label> labels;
  TestServer server;
  Reply answer = jsonReply(200, R"({"today":0})");
  std::optional<std::string> token = "t-1";
  Badge badge{[this]() -> Task<std::optional<std::string>> {  // lives with its owner
                co_return token;
              },
              [this](const Badge::Label& label) { labels.push_back(label); }};
};

}  // namespace

TEST_F(BadgeTest, CountsFromTheServerBecomeTheLabel) {
  struct Case {
    int status;
    const char* body;
    std::optional<std::string> label;
  } cases[] = {
      {200, R"({"today":12})", "12"},   {200, R"({"today":0})", std::nullopt},
      {200, R"({"today":500})", "500"}, {200, R"({"today":"7"})", std::nullopt},
      {200, R"({"today":3})", "3"},     {500, R"({"detail":"упал"})", std::nullopt},
      {200, R"({"today":4})", "4"},     {401, R"({})", std::nullopt},
  };
  for (const auto& c : cases) {
    answer = jsonReply(c.status, c.body);
    EXPECT_EQ(refresh(), c.label) << c.body;
    EXPECT_EQ(labels.back(), c.label) << c.body;
  }
  EXPECT_EQ(server.received().back().headers.at("authorization"), "Bearer t-1");
  EXPECT_EQ(server.received().back().method, "GET");
}

TEST_F(BadgeTest, SignedOutOrSwitchedOffClearsWithoutAsking) {
  answer = jsonReply(200, R"({"today":9})");
  ASSERT_EQ(refresh(), "9");
  ASSERT_EQ(countRequests(), 1u);

  token.reset();
  EXPECT_EQ(refresh(), std::nullopt);
  EXPECT_EQ(countRequests(), 1u);

  token = "t-1";
  ASSERT_EQ(refresh(), "9");
  Settings::setDockBadge(false);
  // Switched off, the badge goes at once, before any answer could come.
  badge.update();
  EXPECT_EQ(badge.label(), std::nullopt);
  EXPECT_EQ(labels.back(), std::nullopt);
  EXPECT_EQ(countRequests(), 2u);

  Settings::setDockBadge(true);
  EXPECT_EQ(refresh(), "9");
}

TEST_F(BadgeTest, NoServerClearsTheBadge) {
  answer = jsonReply(200, R"({"today":5})");
  ASSERT_EQ(refresh(), "5");
  Settings::setServer(*Url::parse("http://127.0.0.1:" + std::to_string(TestServer::closedPort())));
  EXPECT_EQ(refresh(), std::nullopt);
}

// The outbox sends each kept line once, in order, across restarts, and only
// for its own server and account.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "quick/Outbox.h"
#include "support/FakeClock.h"
#include "support/FakeTaskApi.h"

using namespace vuko;
using test::FakeTaskApi;

namespace {

class OutboxTest : public testing::Test, public OutboxStore {
 protected:
  void SetUp() override {
    api.useTokenField();
    api.respond = [this](const FakeTaskApi::Call& c) {
      if (c.path == "/auth/me") return FakeTaskApi::reply({{"id", account}});
      return hold ? FakeTaskApi::held() : FakeTaskApi::reply({{"id", 1}});
    };
  }
  std::optional<std::string> load() override { return doc; }
  void save(const std::string& d) override { doc = d; }
  std::vector<std::string> created() const {
    std::vector<std::string> titles;
    for (const auto& c : api.calls)
      if (c.name == "create") titles.push_back(c.body["title"]);
    return titles;
  }

  FakeTaskApi api;
  test::FakeClock clock;
  std::optional<std::string> doc;
  std::string server = "http://a", account = "7";
  bool hold = false;
};

}  // namespace

TEST_F(OutboxTest, EachLineIsMarkedBeforeSendingAndSentAgainAfterACrash) {
  {
    Outbox outbox(
        api, *this, [this] { return server; }, clock);
    for (const char* line : {"а", "б", "в"}) outbox.keep(line);
    hold = true;
    outbox.send("tok").detach();
    ASSERT_EQ(api.heldCount(), 1u);
    // The process dies here, before the answer.
    EXPECT_NE(doc->find("\"sending\": true"), std::string::npos);
  }
  hold = false;
  Outbox again(
      api, *this, [this] { return server; }, clock);
  // Sent once the page has a token again.
  api.pageToken.reset();
  clock.advance(Outbox::kRetry);
  EXPECT_EQ(again.waiting(), 3u);
  api.pageToken = "tok";
  clock.advance(Outbox::kRetry);
  EXPECT_EQ(created(), (std::vector<std::string>{"а", "а", "б", "в"}));
  EXPECT_TRUE(Outbox(api, *this, [] { return "http://a"; }).entries().empty());
}

TEST_F(OutboxTest, LinesWaitForTheirOwnServerAndAccount) {
  doc = R"({"entries": [1, {"server": 2}], "accounts": []})";  // bad input is skipped
  Outbox outbox(
      api, *this, [this] { return server; }, clock);
  outbox.send("tok").detach();
  outbox.keep("для 7");
  account = "8";
  outbox.send("other").detach();
  server = "http://b";
  outbox.send("other").detach();
  EXPECT_TRUE(created().empty());
  server = "http://a";
  EXPECT_EQ(outbox.menuLine(), std::nullopt);  // not the last account's line
  account = "7";
  outbox.send("tok").detach();
  EXPECT_EQ(created(), (std::vector<std::string>{"для 7"}));
}

TEST_F(OutboxTest, ALineTheServerRefusesForGoodReachesTheUser) {
  Outbox outbox(
      api, *this, [this] { return server; }, clock);
  std::vector<std::string> refused;
  outbox.onRefused = [&](const std::string& text, const std::string& why) {
    refused.push_back(text + ": " + why);
  };
  for (const char* line : {"слишком длинная", "обычная"}) outbox.keep(line);
  api.respond = [](const FakeTaskApi::Call& c) {
    if (c.path == "/auth/me") return FakeTaskApi::reply({{"id", "7"}});
    if (c.body["title"] == "обычная") return FakeTaskApi::reply({{"id", 2}});
    return FakeTaskApi::failing(TaskApi::Failure::server(422, "Название слишком длинное"));
  };
  outbox.send("tok").detach();
  EXPECT_EQ(refused, std::vector<std::string>{"слишком длинная: Название слишком длинное"});
  EXPECT_TRUE(outbox.entries().empty());
}

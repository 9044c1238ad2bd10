// Lines kept while the server is out of reach: the panel keeps them instead
// of dropping them, and the outbox sends each once, in order, across restarts.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "quick/Outbox.h"
#include "quick/QuickEntry.h"
#include "support/FakeClock.h"
#include "support/FakeTaskApi.h"

using namespace vuko;
using test::FakeTaskApi;
using Failure = TaskApi::Failure;

namespace {

class MemoryStore final : public OutboxStore {
 public:
  std::optional<std::string> load() override { return doc; }
  void save(const std::string& d) override { doc = d; }
  std::optional<std::string> doc;
};

class View final : public QuickView {
 public:
  std::string text() const override { return field; }
  void setText(const std::string& t) override { field = t; }
  void setPreview(const std::string& t) override { preview = t; }
  void setPreviewTint(Tint t) override { tint = t; }
  void present(std::uint32_t) override { visible = true; }
  void orderOut() override { visible = false; }
  bool isVisible() const override { return visible; }
  std::string field, preview;
  Tint tint = Tint::blue;
  bool visible = false;
};

class OutboxTest : public testing::Test {
 protected:
  void SetUp() override {
    api.useTokenField();
    api.respond = [this](const FakeTaskApi::Call& c) {
      if (c.path == "/auth/me") return FakeTaskApi::reply({{"id", account}});
      if (offline) return FakeTaskApi::failing(Failure::network("Нет соединения"));
      return hold ? FakeTaskApi::held() : FakeTaskApi::reply({{"id", 1}});
    };
  }
  std::vector<std::string> created() const {
    std::vector<std::string> titles;
    for (const auto& c : api.calls)
      if (c.name == "create") titles.push_back(c.body["title"]);
    return titles;
  }
  void enter(QuickEntry& entry, View& view, const std::string& line) {
    view.field = line;
    entry.submit();
  }

  FakeTaskApi api;
  MemoryStore store;
  std::string server = "http://a", account = "7";
  bool offline = false, hold = false;
};

}  // namespace

TEST_F(OutboxTest, ThePanelKeepsWhatCannotReachTheServerAndTellsTheTruth) {
  Outbox outbox(api, store, [this] { return server; });
  test::FakeClock clock;
  View view;
  QuickEntry entry(view, api, clock);
  bool pageOffline = true;
  entry.keepOffline(outbox, [&] { return pageOffline; });
  entry.show();

  // Nobody was signed in on this server yet: no token still means no sign-in.
  api.pageToken.reset();
  enter(entry, view, "первая");
  EXPECT_EQ(view.preview, Failure::notSignedIn().description());
  EXPECT_EQ(view.field, "первая");

  outbox.send("tok").detach();  // a poll succeeded before: the account is known
  ASSERT_TRUE(outbox.knowsAccount());
  enter(entry, view, "первая");
  EXPECT_EQ(view.tint, QuickView::Tint::amber);
  EXPECT_EQ(view.field, "");

  api.pageToken = "tok";
  offline = true;
  enter(entry, view, "вторая");
  view.field = "т";
  entry.textChanged();
  clock.advance(QuickEntry::kDebounce);
  EXPECT_EQ(view.preview, Outbox::kUnreachable);
  EXPECT_EQ(outbox.menuLine(), "Ждут отправки: 2");
  EXPECT_TRUE(created().size() == 1 && created()[0] == "вторая");  // tried once, kept

  // The server answers a new line: the kept ones follow, in order.
  offline = false;
  enter(entry, view, "третья");
  EXPECT_EQ(created(), (std::vector<std::string>{"вторая", "третья", "первая", "вторая"}));
  EXPECT_EQ(outbox.menuLine(), std::nullopt);
}

TEST_F(OutboxTest, EachLineIsMarkedBeforeSendingAndSentAgainAfterACrash) {
  {
    Outbox outbox(api, store, [this] { return server; });
    outbox.send("tok").detach();
    for (const char* line : {"а", "б", "в"}) outbox.keep(line);
    hold = true;
    outbox.send("tok").detach();
    ASSERT_EQ(api.heldCount(), 1u);
    // The process dies here, before the answer.
    EXPECT_NE(store.doc->find("\"sending\": true"), std::string::npos);
  }
  hold = false;
  test::FakeClock clock;
  Outbox again(
      api, store, [this] { return server; }, clock);
  EXPECT_EQ(again.waiting(), 3u);
  // Sent once the page has a token again.
  api.pageToken.reset();
  clock.advance(Outbox::kRetry);
  EXPECT_EQ(created().size(), 1u);
  api.pageToken = "tok";
  clock.advance(Outbox::kRetry);
  EXPECT_EQ(created(), (std::vector<std::string>{"а", "а", "б", "в"}));
  EXPECT_EQ(again.waiting(), 0u);
  Outbox third(api, store, [this] { return server; });
  EXPECT_TRUE(third.entries().empty());
}

TEST_F(OutboxTest, LinesWaitForTheirOwnServerAndAccount) {
  store.doc = "{\"entries\": [1, {\"server\": 2}], \"accounts\": []}";  // bad input is skipped
  Outbox outbox(api, store, [this] { return server; });
  outbox.send("tok").detach();
  outbox.keep("для 7");
  account = "8";
  outbox.send("other").detach();
  server = "http://b";
  outbox.send("other").detach();
  EXPECT_TRUE(created().empty());
  server = "http://a";
  // The last account seen on a is 8: the line is not this user's to send.
  EXPECT_EQ(outbox.waiting(), 0u);
  EXPECT_EQ(outbox.entries().size(), 1u);
  account = "7";
  outbox.send("tok").detach();
  EXPECT_EQ(created(), (std::vector<std::string>{"для 7"}));
}

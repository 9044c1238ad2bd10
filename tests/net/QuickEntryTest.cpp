// The quick panel's behaviour against a task server on 127.0.0.1, with the
// pauses on a fake clock: the preview request after a pause in typing, its
// cancellation, stale answers, and the submission of the typed line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Defaults.h"
#include "quick/QuickEntry.h"
#include "server/Settings.h"
#include "support/FakeClock.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko;
using namespace std::chrono_literals;
using test::jsonReply;
using test::Received;
using test::Reply;

namespace {

// Records what the entry does to its panel.
class FakeView final : public QuickView {
 public:
  std::string text() const override { return field; }
  void setText(const std::string& t) override { field = t; }
  void setPreview(const std::string& t) override {
    preview = t;
    previews.push_back(t);
  }
  void setPreviewTint(Tint t) override { tint = t; }
  void present(std::uint32_t eventTime) override {
    visible = true;
    presentedAt.push_back(eventTime);
  }
  void orderOut() override { visible = false; }
  bool isVisible() const override { return visible; }

  std::string field, preview;
  std::vector<std::string> previews;
  Tint tint = Tint::blue;
  bool visible = false;
  std::vector<std::uint32_t> presentedAt;
};

const char* const kNotSignedIn = "Сначала войдите в «Vuko» в главном окне";

class QuickEntryTest : public testing::Test {
 protected:
  void SetUp() override {
    Defaults::setStandard(std::make_shared<MemoryDefaults>());
    Settings::setServer(*Url::parse(server.url()));
    entry.onAdded = [this] { ++added; };
    entry.show(42);
  }

  // The user's edit of the field.
  void type(const std::string& text) {
    view.field = text;
    entry.textChanged();
  }

  std::vector<Received> requests(const std::string& path) const {
    std::vector<Received> out;
    for (const auto& r : server.received())
      if (r.path == path) out.push_back(r);
    return out;
  }

  bool previewSet(size_t count) {
    return test::waitUntil([&] { return view.previews.size() >= count; });
  }

  // New tasks get this answer only when the test releases it.
  void holdTasks(const std::string& answer) {
    server.handle("/api/tasks", [answer](const Received&) {
      Reply r = jsonReply(201, answer);
      r.hold = true;
      return r;
    });
  }

  test::TestServer server;
  test::FakeClock clock;
  FakeView view;
  std::optional<std::string> token = "tok";
  int tokenAsks = 0;
  int added = 0;
  QuickEntry entry{view,
                   [this]() -> Task<std::optional<std::string>> {  // lives with its owner
                     ++tokenAsks;
                     co_return token;
                   },
                   clock};
};

nlohmann::json bodyOf(const Received& r) {
  return nlohmann::json::parse(r.body, nullptr, false);
}

}  // namespace

TEST_F(QuickEntryTest, ShowStartsFromAnEmptyLineWithTheKeyPressTime) {
  view.field = "старое";
  view.preview = "старое";
  view.tint = QuickView::Tint::red;
  entry.hide();
  EXPECT_FALSE(entry.isVisible());
  entry.toggle(77);
  EXPECT_TRUE(entry.isVisible());
  EXPECT_EQ(view.field, "");
  EXPECT_EQ(view.preview, "");
  EXPECT_EQ(view.tint, QuickView::Tint::blue);
  EXPECT_EQ(view.presentedAt.back(), 77u);
  entry.toggle(78);
  EXPECT_FALSE(entry.isVisible());
}

TEST_F(QuickEntryTest, KeystrokesWithinThePauseSendOneRequestWithTheWholeUntrimmedLine) {
  server.handle("/api/tasks/parse", [](const Received&) {
    return jsonReply(200, R"({"priority": 3, "tags": ["семья"]})");
  });
  for (const char* text : {"з", "за", "зав", "завт", "завтра \t"}) {
    type(text);
    clock.advance(100ms);
  }
  EXPECT_EQ(tokenAsks, 0);
  clock.advance(119ms);
  EXPECT_EQ(tokenAsks, 0);
  clock.advance(1ms);
  EXPECT_EQ(tokenAsks, 1);
  ASSERT_TRUE(previewSet(2));  // cleared by show, then the answer
  EXPECT_EQ(view.preview, "Высокий · #семья");
  EXPECT_EQ(view.tint, QuickView::Tint::blue);
  auto sent = requests("/api/tasks/parse");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].method, "POST");
  EXPECT_EQ(sent[0].headers["authorization"], "Bearer tok");
  EXPECT_EQ(bodyOf(sent[0]), nlohmann::json({{"text", "завтра \t"}}));
}

TEST_F(QuickEntryTest, BlankLineClearsThePreviewAndSendsNothing) {
  view.preview = "Высокий";
  type(" \t \u00a0");
  EXPECT_EQ(view.preview, "");
  EXPECT_EQ(clock.pending(), 0u);
  clock.advance(1s);
  EXPECT_EQ(tokenAsks, 0);
}

TEST_F(QuickEntryTest, EscapeAndSubmitDuringThePauseCancelTheRequest) {
  server.handle("/api/tasks", [](const Received&) { return jsonReply(201, "{}"); });
  size_t before = view.previews.size();
  type("купить хлеб");
  clock.advance(200ms);
  entry.escape();
  EXPECT_FALSE(entry.isVisible());
  clock.advance(1s);
  EXPECT_EQ(tokenAsks, 0);
  EXPECT_EQ(view.previews.size(), before);

  entry.show();
  type("купить хлеб");
  clock.advance(200ms);
  entry.submit();
  ASSERT_TRUE(test::waitUntil([&] { return added == 1; }));
  clock.advance(1s);
  EXPECT_EQ(tokenAsks, 1);  // the submission's own
  EXPECT_FALSE(entry.busy());
  EXPECT_TRUE(requests("/api/tasks/parse").empty());
  EXPECT_EQ(requests("/api/tasks").size(), 1u);
}

TEST_F(QuickEntryTest, AnswerToAnEarlierLineIsDroppedAfterANewerEditOrEscape) {
  bool holdNext = true;
  server.handle("/api/tasks/parse", [&](const Received&) {
    Reply r = jsonReply(200, R"({"priority": 2})");
    r.hold = std::exchange(holdNext, false);
    return r;
  });
  type("а");
  clock.advance(220ms);
  ASSERT_TRUE(test::waitUntil([&] { return server.heldCount() == 1; }));
  type("аб");
  server.answerHeld(jsonReply(200, R"({"priority": 1})"));
  clock.advance(220ms);
  ASSERT_TRUE(test::waitUntil([&] { return view.preview == "Средний"; }));
  for (const auto& p : view.previews) EXPECT_NE(p, "Низкий");

  holdNext = true;
  type("абв");
  clock.advance(220ms);
  ASSERT_TRUE(test::waitUntil([&] { return server.heldCount() == 1; }));
  entry.escape();
  server.answerHeld(jsonReply(200, R"({"priority": 1})"));
  entry.show();
  type("где");
  clock.advance(220ms);
  ASSERT_TRUE(test::waitUntil([&] { return view.preview == "Средний"; }));
  for (const auto& p : view.previews) EXPECT_NE(p, "Низкий");
}

TEST_F(QuickEntryTest, PreviewFailuresAreRedAndNotSignedInSendsNothing) {
  struct Case {
    Reply reply;
    const char* preview;
    QuickView::Tint tint;
  } cases[] = {
      {jsonReply(401, R"({"detail": "token expired"})"), kNotSignedIn, QuickView::Tint::red},
      {jsonReply(500, R"({"detail": "Парсер недоступен"})"), "Парсер недоступен",
       QuickView::Tint::red},
      {jsonReply(502, "<html>bad gateway</html>"), "Ошибка сервера 502", QuickView::Tint::red},
      {jsonReply(200, R"(["дедлайн"])"), "", QuickView::Tint::blue},
      {jsonReply(200, R"({"priority": "3", "tags": [{"name": "дом"}]})"), "#дом",
       QuickView::Tint::blue},
  };
  for (const auto& c : cases) {
    server.handle("/api/tasks/parse", [&](const Received&) { return c.reply; });
    size_t before = view.previews.size();
    type("позвонить маме");
    clock.advance(220ms);
    ASSERT_TRUE(previewSet(before + 1)) << c.preview;
    EXPECT_EQ(view.preview, c.preview);
    EXPECT_EQ(view.tint, c.tint) << c.preview;
    EXPECT_EQ(view.field, "позвонить маме");
  }

  server.clear();
  token.reset();
  type("позвонить маме");
  clock.advance(220ms);
  EXPECT_EQ(view.preview, kNotSignedIn);
  EXPECT_EQ(view.tint, QuickView::Tint::red);
  EXPECT_TRUE(server.received().empty());
}

TEST_F(QuickEntryTest, PreviewOfAClosedPortSaysSoInRussian) {
  Settings::setServer(
      *Url::parse("http://127.0.0.1:" + std::to_string(test::TestServer::closedPort())));
  type("позвонить маме");
  clock.advance(220ms);
  ASSERT_TRUE(previewSet(2));
  EXPECT_EQ(view.preview, "Сервер отклонил соединение.");
  EXPECT_EQ(view.tint, QuickView::Tint::red);
}

TEST_F(QuickEntryTest, SubmissionConfirmsInGreenOrKeepsTheLineWithTheFailure) {
  struct Case {
    Reply reply;
    const char* preview;
    bool created;
  } cases[] = {
      {jsonReply(201, R"({"id": 7, "title": "позвонить маме", "priority": 3})"),
       "✓ Добавлено: «позвонить маме» · Высокий", true},
      {jsonReply(201, R"({"id": 7})"), "✓ Добавлено: «купить хлеб» во «Входящие»", true},
      {jsonReply(201, R"({"title": 5, "tags": ["дом"]})"), "✓ Добавлено: «купить хлеб» · #дом",
       true},
      {jsonReply(200, R"([1, 2])"), "✓ Добавлено: «купить хлеб» во «Входящие»", true},
      {jsonReply(200, "готово"), "✓ Добавлено: «купить хлеб» во «Входящие»", true},
      {jsonReply(401, R"({"detail": "expired"})"), kNotSignedIn, false},
      {jsonReply(500, R"({"detail": "База недоступна"})"), "База недоступна", false},
      {jsonReply(500, R"({"detail": ["a"]})"), "Ошибка сервера 500", false},
  };
  for (const auto& c : cases) {
    server.clear();
    server.handle("/api/tasks", [&](const Received&) { return c.reply; });
    entry.show();
    added = 0;
    view.field = " \n купить хлеб \t\n";
    entry.submit();
    EXPECT_TRUE(entry.busy());
    ASSERT_TRUE(test::waitUntil([&] { return view.preview != ""; })) << c.preview;
    EXPECT_EQ(view.preview, c.preview);
    auto sent = requests("/api/tasks");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "POST");
    EXPECT_EQ(bodyOf(sent[0]), nlohmann::json({{"title", "купить хлеб"}, {"smart", true}}));
    if (c.created) {
      EXPECT_EQ(view.tint, QuickView::Tint::green);
      EXPECT_EQ(view.field, "");
      EXPECT_EQ(added, 1);
      clock.advance(899ms);
      EXPECT_TRUE(entry.isVisible());
      clock.advance(1ms);
      EXPECT_FALSE(entry.isVisible());
    } else {
      EXPECT_EQ(view.tint, QuickView::Tint::red);
      EXPECT_EQ(view.field, " \n купить хлеб \t\n");
      EXPECT_EQ(added, 0);
      clock.advance(1s);
      EXPECT_TRUE(entry.isVisible());
    }
    EXPECT_FALSE(entry.busy());
  }
}

TEST_F(QuickEntryTest, DoubleEnterSendsOneRequestAndBlankEnterNone) {
  holdTasks(R"({"title": "позвонить маме"})");
  view.field = " \t\n\u2028";
  entry.submit();
  EXPECT_FALSE(entry.busy());
  EXPECT_EQ(tokenAsks, 0);

  view.field = "позвонить маме";
  entry.submit();
  entry.submit();
  EXPECT_EQ(tokenAsks, 1);
  ASSERT_TRUE(test::waitUntil([&] { return server.heldCount() == 1; }));
  server.answerHeld(jsonReply(201, R"({"title": "позвонить маме"})"));
  ASSERT_TRUE(test::waitUntil([&] { return added == 1; }));
  entry.submit();  // the field is empty now
  EXPECT_EQ(tokenAsks, 1);
  EXPECT_EQ(requests("/api/tasks").size(), 1u);
}

TEST_F(QuickEntryTest, WithoutATokenNothingIsSentAndTheLineStays) {
  token.reset();
  view.field = "позвонить маме";
  entry.submit();
  EXPECT_EQ(view.preview, kNotSignedIn);
  EXPECT_EQ(view.tint, QuickView::Tint::red);
  EXPECT_EQ(view.field, "позвонить маме");
  EXPECT_FALSE(entry.busy());
  EXPECT_TRUE(server.received().empty());
}

TEST_F(QuickEntryTest, SubmissionOnAClosedPortKeepsTheLine) {
  Settings::setServer(
      *Url::parse("http://127.0.0.1:" + std::to_string(test::TestServer::closedPort())));
  view.field = "позвонить маме";
  entry.submit();
  ASSERT_TRUE(test::waitUntil([&] { return !entry.busy(); }));
  EXPECT_EQ(view.preview, "Сервер отклонил соединение.");
  EXPECT_EQ(view.field, "позвонить маме");
  EXPECT_EQ(added, 0);
}

TEST_F(QuickEntryTest, TypingDuringTheConfirmationStartsTheNextTask) {
  server.handle("/api/tasks", [](const Received&) { return jsonReply(201, "{}"); });
  view.field = "позвонить маме";
  entry.submit();
  ASSERT_TRUE(test::waitUntil([&] { return added == 1; }));
  type("купить хлеб");
  clock.advance(900ms);
  EXPECT_TRUE(entry.isVisible());
  EXPECT_EQ(view.field, "купить хлеб");
  entry.submit();
  ASSERT_TRUE(test::waitUntil([&] { return added == 2; }));
  auto sent = requests("/api/tasks");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(bodyOf(sent[1])["title"], "купить хлеб");
  clock.advance(900ms);
  EXPECT_FALSE(entry.isVisible());
}

TEST_F(QuickEntryTest, TextTypedWhileTheLineIsSentStaysInTheField) {
  holdTasks("{}");
  view.field = "позвонить маме";
  entry.submit();
  ASSERT_TRUE(test::waitUntil([&] { return server.heldCount() == 1; }));
  type("позвонить мамекуп");
  server.answerHeld(jsonReply(201, "{}"));
  ASSERT_TRUE(test::waitUntil([&] { return added == 1; }));
  EXPECT_EQ(view.field, "куп");
  clock.advance(900ms);
  EXPECT_TRUE(entry.isVisible());
}

TEST_F(QuickEntryTest, EnterOnTheNextLineWhileTheFirstIsSentSendsItAfter) {
  holdTasks("{}");
  view.field = "позвонить маме";
  entry.submit();
  ASSERT_TRUE(test::waitUntil([&] { return server.heldCount() == 1; }));
  type("позвонить маме купить хлеб");
  entry.submit();
  server.answerHeld(jsonReply(201, "{}"));
  ASSERT_TRUE(test::waitUntil([&] { return requests("/api/tasks").size() == 2; }));
  EXPECT_EQ(bodyOf(requests("/api/tasks")[1])["title"], "купить хлеб");
}

TEST_F(QuickEntryTest, HotKeyDuringTheConfirmationKeepsThePanelOpen) {
  server.handle("/api/tasks", [](const Received&) { return jsonReply(201, "{}"); });
  view.field = "позвонить маме";
  entry.submit();
  ASSERT_TRUE(test::waitUntil([&] { return added == 1; }));
  entry.toggle(9);
  EXPECT_TRUE(entry.isVisible());
  EXPECT_EQ(view.presentedAt.back(), 9u);
  clock.advance(900ms);
  EXPECT_TRUE(entry.isVisible());
  entry.toggle();
  EXPECT_FALSE(entry.isVisible());
}

// The quick panel's behaviour against a scripted task API, with the pauses on
// a fake clock: the preview request after a pause in typing, its
// cancellation, stale answers, and the submission of the typed line.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "quick/QuickEntry.h"
#include "server/NetworkText.h"
#include "support/FakeClock.h"
#include "support/FakeTaskApi.h"

using namespace vuko;
using namespace std::chrono_literals;
using test::FakeTaskApi;
using Failure = TaskApi::Failure;

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
    api.useTokenField();
    entry.onAdded = [this] { ++added; };
    entry.show(42);
  }

  // The user's edit of the field.
  void type(const std::string& text) {
    view.field = text;
    entry.textChanged();
  }

  // Every call gets this answer.
  void answerAll(FakeTaskApi::Answer a) {
    api.respond = [a](const FakeTaskApi::Call&) { return a; };
  }

  FakeTaskApi api;
  test::FakeClock clock;
  FakeView view;
  int added = 0;
  QuickEntry entry{view, api, clock};
};

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
  answerAll(FakeTaskApi::reply({{"priority", 3}, {"tags", nlohmann::json::array({"семья"})}}));
  for (const char* text : {"з", "за", "зав", "завт", "завтра \t"}) {
    type(text);
    clock.advance(100ms);
  }
  EXPECT_EQ(api.tokenAsks, 0);
  clock.advance(119ms);
  EXPECT_EQ(api.tokenAsks, 0);
  clock.advance(1ms);
  EXPECT_EQ(api.tokenAsks, 1);
  EXPECT_EQ(view.preview, "Высокий · #семья");
  EXPECT_EQ(view.tint, QuickView::Tint::blue);
  ASSERT_EQ(api.calls.size(), 1u);
  EXPECT_EQ(api.calls[0].name, "parse");
  EXPECT_EQ(api.calls[0].token, "tok");
  EXPECT_EQ(api.calls[0].body, nlohmann::json({{"text", "завтра \t"}}));
}

TEST_F(QuickEntryTest, BlankLineClearsThePreviewAndSendsNothing) {
  view.preview = "Высокий";
  type(" \t \u00a0");
  EXPECT_EQ(view.preview, "");
  EXPECT_EQ(clock.pending(), 0u);
  clock.advance(1s);
  EXPECT_EQ(api.tokenAsks, 0);
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(QuickEntryTest, EscapeAndSubmitDuringThePauseCancelTheRequest) {
  size_t before = view.previews.size();
  type("купить хлеб");
  clock.advance(200ms);
  entry.escape();
  EXPECT_FALSE(entry.isVisible());
  clock.advance(1s);
  EXPECT_EQ(api.tokenAsks, 0);
  EXPECT_EQ(view.previews.size(), before);

  entry.show();
  type("купить хлеб");
  clock.advance(200ms);
  entry.submit();
  EXPECT_EQ(added, 1);
  clock.advance(1s);
  EXPECT_EQ(api.tokenAsks, 1);  // the submission's own
  EXPECT_FALSE(entry.busy());
  EXPECT_TRUE(api.callsTo("parse").empty());
  EXPECT_EQ(api.callsTo("create").size(), 1u);
}

TEST_F(QuickEntryTest, ANewerEditOrEscapeCancelsTheRunningPreviewAndDropsItsAnswer) {
  answerAll(FakeTaskApi::held());
  type("а");
  clock.advance(220ms);
  ASSERT_EQ(api.heldCount(), 1u);
  answerAll(FakeTaskApi::reply({{"priority", 2}}));
  type("аб");
  EXPECT_TRUE(api.calls[0].cancelled);
  EXPECT_EQ(api.heldCount(), 0u);
  clock.advance(220ms);
  EXPECT_EQ(view.preview, "Средний");
  EXPECT_EQ(view.tint, QuickView::Tint::blue);
  for (const auto& p : view.previews) EXPECT_EQ(p.find("отменён"), std::string::npos) << p;

  answerAll(FakeTaskApi::held());
  type("абв");
  clock.advance(220ms);
  ASSERT_EQ(api.heldCount(), 1u);
  entry.escape();
  EXPECT_TRUE(api.calls.back().cancelled);
  EXPECT_EQ(view.preview, "Средний");
}

TEST_F(QuickEntryTest, PreviewFailuresAreRedAndNotSignedInSendsNothing) {
  auto refused = networkFailureText(TransportError::Kind::refused);
  struct Case {
    FakeTaskApi::Answer answer;
    std::string preview;
    QuickView::Tint tint;
  } cases[] = {
      {FakeTaskApi::failing(Failure::notSignedIn()), kNotSignedIn, QuickView::Tint::red},
      {FakeTaskApi::failing(Failure::server(500, "Парсер недоступен")), "Парсер недоступен",
       QuickView::Tint::red},
      {FakeTaskApi::failing(Failure::server(502)), "Ошибка сервера 502", QuickView::Tint::red},
      {FakeTaskApi::failing(Failure::network(refused)), "Сервер отклонил соединение.",
       QuickView::Tint::red},
      {FakeTaskApi::failing(Failure::unencodable()), "Не удалось отправить текст",
       QuickView::Tint::red},
      {FakeTaskApi::reply(nlohmann::json::array({"дедлайн"})), "", QuickView::Tint::blue},
      {FakeTaskApi::reply(
           {{"priority", "3"}, {"tags", nlohmann::json::array({nlohmann::json{{"name", "дом"}}})}}),
       "#дом", QuickView::Tint::blue},
  };
  for (const auto& c : cases) {
    answerAll(c.answer);
    size_t before = view.previews.size();
    type("позвонить маме");
    clock.advance(220ms);
    ASSERT_EQ(view.previews.size(), before + 1) << c.preview;
    EXPECT_EQ(view.preview, c.preview);
    EXPECT_EQ(view.tint, c.tint) << c.preview;
    EXPECT_EQ(view.field, "позвонить маме");
  }

  api.calls.clear();
  api.pageToken.reset();
  type("позвонить маме");
  clock.advance(220ms);
  EXPECT_EQ(view.preview, kNotSignedIn);
  EXPECT_EQ(view.tint, QuickView::Tint::red);
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(QuickEntryTest, SubmissionConfirmsInGreenOrKeepsTheLineWithTheFailure) {
  auto refused = networkFailureText(TransportError::Kind::refused);
  struct Case {
    FakeTaskApi::Answer answer;
    std::string preview;
    bool created;
  } cases[] = {
      {FakeTaskApi::reply({{"id", 7}, {"title", "позвонить маме"}, {"priority", 3}}),
       "✓ Добавлено: «позвонить маме» · Высокий", true},
      {FakeTaskApi::reply({{"id", 7}}), "✓ Добавлено: «купить хлеб» во «Входящие»", true},
      {FakeTaskApi::reply({{"title", 5}, {"tags", nlohmann::json::array({"дом"})}}),
       "✓ Добавлено: «купить хлеб» · #дом", true},
      {FakeTaskApi::reply(nlohmann::json::array({1, 2})),
       "✓ Добавлено: «купить хлеб» во «Входящие»", true},
      {FakeTaskApi::failing(Failure::notSignedIn()), kNotSignedIn, false},
      {FakeTaskApi::failing(Failure::server(500, "База недоступна")), "База недоступна", false},
      {FakeTaskApi::failing(Failure::server(500)), "Ошибка сервера 500", false},
      {FakeTaskApi::failing(Failure::network(refused)), "Сервер отклонил соединение.", false},
  };
  for (const auto& c : cases) {
    api.calls.clear();
    answerAll(FakeTaskApi::held());
    entry.show();
    added = 0;
    view.field = " \n купить хлеб \t\n";
    entry.submit();
    EXPECT_TRUE(entry.busy());
    ASSERT_EQ(api.heldCount(), 1u);
    api.release(c.answer);
    EXPECT_EQ(view.preview, c.preview);
    ASSERT_EQ(api.calls.size(), 1u);
    EXPECT_EQ(api.calls[0].name, "create");
    EXPECT_EQ(api.calls[0].body, nlohmann::json({{"title", "купить хлеб"}, {"smart", true}}));
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
  answerAll(FakeTaskApi::held());
  view.field = " \t\n\u2028";
  entry.submit();
  EXPECT_FALSE(entry.busy());
  EXPECT_EQ(api.tokenAsks, 0);

  view.field = "позвонить маме";
  entry.submit();
  entry.submit();
  EXPECT_EQ(api.tokenAsks, 1);
  ASSERT_EQ(api.heldCount(), 1u);
  api.release(FakeTaskApi::reply({{"title", "позвонить маме"}}));
  EXPECT_EQ(added, 1);
  entry.submit();  // the field is empty now
  EXPECT_EQ(api.tokenAsks, 1);
  EXPECT_EQ(api.callsTo("create").size(), 1u);
}

TEST_F(QuickEntryTest, WithoutATokenNothingIsSentAndTheLineStays) {
  api.pageToken.reset();
  view.field = "позвонить маме";
  entry.submit();
  EXPECT_EQ(view.preview, kNotSignedIn);
  EXPECT_EQ(view.tint, QuickView::Tint::red);
  EXPECT_EQ(view.field, "позвонить маме");
  EXPECT_FALSE(entry.busy());
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(QuickEntryTest, TypingDuringTheConfirmationStartsTheNextTask) {
  view.field = "позвонить маме";
  entry.submit();
  ASSERT_EQ(added, 1);
  answerAll(FakeTaskApi::reply(nlohmann::json::object()));
  type("купить хлеб");
  clock.advance(900ms);
  EXPECT_TRUE(entry.isVisible());
  EXPECT_EQ(view.field, "купить хлеб");
  entry.submit();
  ASSERT_EQ(added, 2);
  auto sent = api.callsTo("create");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].body["title"], "купить хлеб");
  clock.advance(900ms);
  EXPECT_FALSE(entry.isVisible());
}

TEST_F(QuickEntryTest, TextTypedWhileTheLineIsSentStaysInTheField) {
  answerAll(FakeTaskApi::held());
  view.field = "позвонить маме";
  entry.submit();
  ASSERT_EQ(api.heldCount(), 1u);
  type("позвонить мамекуп");
  api.respond = nullptr;
  api.release();
  ASSERT_EQ(added, 1);
  EXPECT_EQ(view.field, "куп");
  clock.advance(900ms);
  EXPECT_TRUE(entry.isVisible());
}

TEST_F(QuickEntryTest, EnterOnTheNextLineWhileTheFirstIsSentSendsItAfter) {
  answerAll(FakeTaskApi::held());
  view.field = "позвонить маме";
  entry.submit();
  ASSERT_EQ(api.heldCount(), 1u);
  type("позвонить маме купить хлеб");
  entry.submit();
  api.respond = nullptr;
  api.release();
  auto sent = api.callsTo("create");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].body["title"], "купить хлеб");
}

TEST_F(QuickEntryTest, HotKeyDuringTheConfirmationKeepsThePanelOpen) {
  view.field = "позвонить маме";
  entry.submit();
  ASSERT_EQ(added, 1);
  entry.toggle(9);
  EXPECT_TRUE(entry.isVisible());
  EXPECT_EQ(view.presentedAt.back(), 9u);
  clock.advance(900ms);
  EXPECT_TRUE(entry.isVisible());
  entry.toggle();
  EXPECT_FALSE(entry.isVisible());
}

TEST_F(QuickEntryTest, RequestsStillRunningAreCancelledWhenTheEntryGoes) {
  FakeView own;
  int ownAdded = 0;
  auto gone = std::make_unique<QuickEntry>(own, api, clock);
  gone->onAdded = [&] { ++ownAdded; };
  gone->show();
  answerAll(FakeTaskApi::held());
  own.field = "позвонить маме";
  gone->textChanged();
  clock.advance(220ms);
  gone->submit();
  ASSERT_EQ(api.heldCount(), 1u);  // the submission ended the preview
  ASSERT_EQ(api.calls.size(), 2u);
  EXPECT_TRUE(api.calls[0].cancelled);
  size_t previews = own.previews.size();
  gone.reset();
  EXPECT_TRUE(api.calls[1].cancelled);
  EXPECT_EQ(api.heldCount(), 0u);
  EXPECT_EQ(ownAdded, 0);
  EXPECT_EQ(own.previews.size(), previews);
}

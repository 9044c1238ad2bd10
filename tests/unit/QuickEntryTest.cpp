// The quick panel's behaviour against a scripted task API, with the pauses on
// a fake clock: the preview request after a pause in typing, its
// cancellation, stale answers, and the submission of the typed line.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "quick/Outbox.h"
#include "quick/QuickEntry.h"
#include "support/FakeClock.h"
#include "support/FakeTaskApi.h"

using namespace vuko;
using namespace std::chrono_literals;
using test::FakeTaskApi;
using Failure = TaskApi::Failure;
using Tint = QuickView::Tint;

namespace {

// Records what the entry does to its panel.
class FakeView final : public QuickView {
 public:
  std::string text() const override { return field; }
  void setText(const std::string& t) override { field = t; }
  void setPreview(const std::string& t) override { preview = t; }
  void setPreviewTint(Tint t) override { tint = t; }
  void present(std::uint32_t eventTime) override {
    visible = true;
    presentedAt = eventTime;
  }
  void orderOut() override { visible = false; }
  bool isVisible() const override { return visible; }

  std::string field, preview;
  Tint tint = Tint::blue;
  bool visible = false;
  std::uint32_t presentedAt = 0;
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
  void answerAll(FakeTaskApi::Answer a) {
    api.respond = [a](const FakeTaskApi::Call&) { return a; };
  }
  // Enter on a line whose creation the test answers later.
  void submitHeld(const std::string& line) {
    answerAll(FakeTaskApi::held());
    view.field = line;
    entry.submit();
    ASSERT_EQ(api.heldCount(), 1u);
    api.respond = nullptr;
  }

  FakeTaskApi api;
  test::FakeClock clock;
  FakeView view;
  int added = 0;
  QuickEntry entry{view, api, clock};
};

}  // namespace

TEST_F(QuickEntryTest, ShowStartsFromAnEmptyLineWithTheKeyPressTime) {
  view.field = view.preview = "старое";
  view.tint = Tint::red;
  entry.hide();
  entry.toggle(77);
  EXPECT_EQ(view.field + view.preview, "");
  EXPECT_EQ(view.tint, Tint::blue);
  EXPECT_EQ(view.presentedAt, 77u);
  entry.toggle(78);
  EXPECT_FALSE(entry.isVisible());
}

TEST_F(QuickEntryTest, KeystrokesWithinThePauseSendOneRequestWithTheWholeUntrimmedLine) {
  answerAll(FakeTaskApi::reply({{"priority", 3}}));
  for (const char* text : {"з", "за", "завтра \t"}) {
    type(text);
    clock.advance(100ms);
  }
  clock.advance(119ms);
  EXPECT_EQ(api.tokenAsks, 0);
  clock.advance(1ms);
  EXPECT_EQ(view.preview, "Высокий");
  ASSERT_EQ(api.calls.size(), 1u);
  EXPECT_EQ(api.calls[0].token, "tok");
  EXPECT_EQ(api.calls[0].body, nlohmann::json({{"text", "завтра \t"}}));

  // A blank line clears the preview and sends nothing.
  type(" \t \u00a0\u3000");
  EXPECT_EQ(view.preview, "");
  clock.advance(1s);
  EXPECT_EQ(api.calls.size(), 1u);
}

// Enter cancels a waiting request; a newer edit or Escape a running one, and
// its answer never shows.
TEST_F(QuickEntryTest, ANewerEditEscapeOrEnterCancelsThePreview) {
  type("купить хлеб");
  clock.advance(200ms);
  entry.submit();
  clock.advance(1s);
  EXPECT_EQ(api.calls.size(), 1u);  // the submission's own

  answerAll(FakeTaskApi::held());
  type("а");
  clock.advance(220ms);
  answerAll(FakeTaskApi::reply({{"priority", 2}}));
  const std::string before = view.preview;
  type("аб");
  EXPECT_TRUE(api.calls[1].cancelled);
  EXPECT_EQ(view.preview, before);
  clock.advance(220ms);
  EXPECT_EQ(view.preview, "Средний");

  answerAll(FakeTaskApi::held());
  type("абв");
  clock.advance(220ms);
  entry.escape();
  EXPECT_FALSE(entry.isVisible());
  EXPECT_TRUE(api.calls.back().cancelled);
  EXPECT_EQ(view.preview, "Средний");
}

TEST_F(QuickEntryTest, PreviewFailuresAreRedAndNotSignedInSendsNothing) {
  answerAll(FakeTaskApi::failing(Failure::server(500, "Парсер недоступен")));
  type("позвонить маме");
  clock.advance(220ms);
  EXPECT_EQ(view.preview, "Парсер недоступен");
  EXPECT_EQ(view.tint, Tint::red);

  api.calls.clear();
  api.pageToken.reset();
  type("позвонить маме!");
  clock.advance(220ms);
  EXPECT_EQ(view.preview, kNotSignedIn);
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(QuickEntryTest, SubmissionConfirmsInGreenOrKeepsTheLineWithTheFailure) {
  const std::pair<FakeTaskApi::Answer, std::string> cases[] = {
      {FakeTaskApi::reply({{"id", 7}}), "✓ Добавлено: «купить хлеб» во «Входящие»"},
      {FakeTaskApi::reply({{"title", 5}, {"tags", nlohmann::json::array({"дом"})}}),
       "✓ Добавлено: «купить хлеб» · #дом"},
      {FakeTaskApi::failing(Failure::server(500, "База недоступна")), "База недоступна"},
  };
  const std::string typed = " \n купить хлеб \t\n";
  for (const auto& [answer, preview] : cases) {
    api.calls.clear();
    entry.show();
    added = 0;
    submitHeld(typed);
    api.release(answer);
    EXPECT_EQ(view.preview, preview);
    EXPECT_EQ(api.calls[0].body, nlohmann::json({{"title", "купить хлеб"}, {"smart", true}}));
    const bool created = !answer.failure;
    EXPECT_EQ(view.tint, created ? Tint::green : Tint::red) << preview;
    EXPECT_EQ(view.field, created ? "" : typed) << preview;
    EXPECT_EQ(added, created ? 1 : 0) << preview;
    clock.advance(899ms);
    EXPECT_TRUE(entry.isVisible());
    clock.advance(1ms);
    EXPECT_EQ(entry.isVisible(), !created) << preview;
  }
}

// No answer, or no token while the offline page shows for someone signed in
// before: the line is kept and the panel says so.
TEST_F(QuickEntryTest, WhatCannotReachTheServerIsKeptInTheOutbox) {
  struct : OutboxStore {
    std::optional<std::string> load() override { return std::nullopt; }
    void save(const std::string&) override {}
  } store;
  Outbox outbox(
      api, store, [] { return "http://a"; }, clock);
  entry.keepOffline(outbox, [] { return true; });
  api.pageToken.reset();
  view.field = "первая";
  entry.submit();  // nobody signed in here yet: nothing kept
  EXPECT_EQ(view.preview, kNotSignedIn);

  outbox.send("tok").detach();  // a poll reached the server before
  entry.submit();
  EXPECT_EQ(view.tint, Tint::amber);
  EXPECT_EQ(view.field, "");
  api.pageToken = "tok";
  answerAll(FakeTaskApi::failing(Failure::network("Нет соединения")));
  type("вторая");
  clock.advance(220ms);
  EXPECT_EQ(view.preview, Outbox::kUnreachable);
  entry.submit();
  EXPECT_EQ(outbox.menuLine(), "Ждут отправки: 2");
  answerAll(FakeTaskApi::reply({{"id", 1}}));
  view.field = "третья";
  entry.submit();  // the server answers: the kept lines follow
  EXPECT_EQ(outbox.menuLine(), std::nullopt);
}

TEST_F(QuickEntryTest, DoubleEnterSendsOneRequestAndBlankOrSignedOutEnterNone) {
  view.field = " \t\n\u2028";
  entry.submit();
  EXPECT_EQ(api.tokenAsks, 0);

  submitHeld("позвонить маме");
  entry.submit();
  api.release(FakeTaskApi::reply({}));
  EXPECT_EQ(added, 1);
  EXPECT_EQ(api.calls.size(), 1u);

  api.pageToken.reset();
  view.field = "позвонить маме";
  entry.submit();
  EXPECT_EQ(view.preview, kNotSignedIn);
  EXPECT_EQ(view.field, "позвонить маме");
  EXPECT_FALSE(entry.busy());
  EXPECT_EQ(api.calls.size(), 1u);
}

// Text typed while a line is sent stays as the next line, and Enter on it
// sends it after; typing or the hot key during the confirmation keeps the
// panel open.
TEST_F(QuickEntryTest, WhatIsTypedAfterEnterIsKeptAndSentAfter) {
  submitHeld("позвонить маме");
  type("позвонить мамекуп");
  api.release(FakeTaskApi::reply({}));
  EXPECT_EQ(view.field, "куп");
  clock.advance(900ms);
  EXPECT_TRUE(entry.isVisible());

  submitHeld("купить хлеб");
  type("купить хлеб молоко");
  entry.submit();
  api.release(FakeTaskApi::reply({}));
  EXPECT_EQ(added, 3);
  EXPECT_EQ(api.calls.back().body["title"], "молоко");
  entry.toggle(9);
  EXPECT_EQ(view.presentedAt, 9u);
  clock.advance(900ms);
  EXPECT_TRUE(entry.isVisible());

  view.field = "сыр";
  entry.submit();
  type("м");
  clock.advance(900ms);
  EXPECT_TRUE(entry.isVisible());
}

TEST_F(QuickEntryTest, RequestsStillRunningAreCancelledWhenTheEntryGoes) {
  FakeView own;
  auto gone = std::make_unique<QuickEntry>(own, api, clock);
  answerAll(FakeTaskApi::held());
  own.field = "позвонить маме";
  gone->textChanged();
  clock.advance(220ms);
  gone->submit();
  ASSERT_EQ(api.heldCount(), 1u);  // the submission ended the preview
  EXPECT_TRUE(api.calls[0].cancelled);
  gone.reset();
  EXPECT_TRUE(api.calls[1].cancelled);
  EXPECT_EQ(own.preview, "");
}

// The task API's HTTP client against a server on 127.0.0.1: what goes on the
// wire, how answers and statuses are decoded, time-outs, transport failures
// and cancellation by the owner.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

#include "platform/Defaults.h"
#include "server/HttpTaskApi.h"
#include "server/NetworkText.h"
#include "server/Settings.h"
#include "support/FakeClock.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko;
using test::jsonReply;
using test::Received;
using test::Reply;
using Failure = TaskApi::Failure;

namespace {

class HttpTaskApiTest : public testing::Test {
 protected:
  void SetUp() override {
    Defaults::setStandard(std::make_shared<MemoryDefaults>());
    Settings::setServer(*Url::parse(server.url()));
  }

  static Url closed() {
    return *Url::parse("http://127.0.0.1:" + std::to_string(test::TestServer::closedPort()));
  }

  test::TestServer server;
  HttpTaskApi api;
};

// The failure a call ends with ("(no failure)" when it succeeds).
template <class T>
Failure failureOf(Task<T> task) {
  try {
    test::run(std::move(task));
  } catch (const Failure& f) {
    return f;
  }
  return Failure::server(0, "(no failure)");
}

}  // namespace

TEST_F(HttpTaskApiTest, ProbeAcceptsOnlyOkTrueAndSendsNoToken) {
  struct Case {
    int status;
    const char* body;
    bool ok;
  } cases[] = {
      {200, R"({"ok":true})", true},    {200, R"({"ok":true,"version":"2"})", true},
      {200, R"({"ok":"true"})", false}, {200, R"({"ok":false})", false},
      {200, R"([true])", false},        {200, "<html>hello</html>", false},
      {500, R"({"ok":true})", false},   {404, R"({"detail":"nope"})", false},
  };
  for (const auto& c : cases) {
    server.handle("/api/health", [&](const Received&) { return jsonReply(c.status, c.body); });
    auto message = test::run(api.probe(*Url::parse(server.url())));
    if (c.ok)
      EXPECT_FALSE(message) << c.body;
    else
      EXPECT_EQ(message, std::optional<std::string>(TaskApi::kNotOurServer)) << c.status << c.body;
  }
  ASSERT_FALSE(server.received().empty());
  EXPECT_EQ(server.received().back().headers.count("authorization"), 0u);
  EXPECT_EQ(server.received().back().method, "GET");
}

TEST_F(HttpTaskApiTest, ProbeReportsAClosedPortInRussian) {
  auto message = test::run(api.probe(closed()));
  ASSERT_TRUE(message);
  EXPECT_EQ(*message, "Не удалось подключиться: Сервер отклонил соединение.");
}

TEST(NetworkFailureTextTest, NamesTheCauseRatherThanRepeatingThePrefix) {
  struct Case {
    std::uint32_t domain;
    int code;
    const char* cause;
  } cases[] = {
      {G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED, "отклонил"},
      {G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND, "не найден"},
      {G_IO_ERROR, G_IO_ERROR_TIMED_OUT, "лимит времени"},
      {G_TLS_ERROR, G_TLS_ERROR_BAD_CERTIFICATE, "сертификат"},
  };
  for (const auto& c : cases) {
    std::string text = networkFailureText(networkErrorKind(c.domain, c.code));
    EXPECT_NE(text.find(c.cause), std::string::npos) << text;
    EXPECT_EQ(text.find("подключиться"), std::string::npos) << text;
  }
}

TEST_F(HttpTaskApiTest, StatusesBecomeResultsOrTheUsersSentence) {
  struct Case {
    int status;
    const char* body;
    const char* failure;  // nullptr: success
    Failure::Kind kind;
    nlohmann::json result;
  } cases[] = {
      {200, R"({"today":3})", nullptr, {}, {{"today", 3}}},
      {200, R"([1,2])", nullptr, {}, nlohmann::json::array({1, 2})},
      {200, "not json", nullptr, {}, nlohmann::json::object()},
      {201, "42", nullptr, {}, nlohmann::json::object()},
      {204, "", nullptr, {}, nlohmann::json::object()},
      {401,
       R"({"detail":"Token expired"})",
       "Сначала войдите в «Vuko» в главном окне",
       Failure::Kind::notSignedIn,
       {}},
      {422,
       R"({"detail":[{"loc":["title"],"msg":"required"}]})",
       "Ошибка сервера 422",
       Failure::Kind::server,
       {}},
      {400,
       R"({"detail":"Название слишком длинное"})",
       "Название слишком длинное",
       Failure::Kind::server,
       {}},
      {502, "<html>Bad gateway</html>", "Ошибка сервера 502", Failure::Kind::server, {}},
      {500, R"({"detail":5})", "Ошибка сервера 500", Failure::Kind::server, {}},
  };
  for (const auto& c : cases) {
    server.handle("/api/tasks/counts",
                  [&](const Received&) { return jsonReply(c.status, c.body); });
    if (c.failure) {
      auto f = failureOf(api.counts("t"));
      EXPECT_EQ(f.description(), c.failure) << c.status;
      EXPECT_EQ(f.kind(), c.kind) << c.status;
      EXPECT_EQ(f.status(), c.status);
    } else {
      EXPECT_EQ(test::run(api.counts("t")), c.result) << c.status << c.body;
    }
  }
}

TEST_F(HttpTaskApiTest, EachCallSendsItsMethodPathTokenAndBodyExactly) {
  for (const char* path : {"/api/tasks/parse", "/api/tasks", "/api/tasks/counts", "/api/tasks/42",
                           "/api/reminders/r-7/fired", "/api/reminders/upcoming"})
    server.handle(path, [](const Received&) { return jsonReply(200, "{}"); });
  auto last = [&] { return server.received().back(); };
  auto json = [](const Received& r) { return nlohmann::json::parse(r.body, nullptr, false); };

  test::run(api.parse("abc", "завтра \t"));
  EXPECT_EQ(last().method, "POST");
  EXPECT_EQ(last().path, "/api/tasks/parse");
  EXPECT_EQ(last().headers["authorization"], "Bearer abc");
  EXPECT_EQ(last().headers["content-type"], "application/json");
  EXPECT_EQ(json(last()), nlohmann::json({{"text", "завтра \t"}}));

  test::run(api.create("abc", "Купить хлеб"));
  EXPECT_EQ(last().method, "POST");
  EXPECT_EQ(last().path, "/api/tasks");
  EXPECT_EQ(json(last()), nlohmann::json({{"title", "Купить хлеб"}, {"smart", true}}));

  test::run(api.counts("abc"));
  EXPECT_EQ(last().method, "GET");
  EXPECT_EQ(last().path, "/api/tasks/counts");
  EXPECT_EQ(last().headers.count("content-type"), 0u);
  EXPECT_TRUE(last().body.empty());

  EXPECT_EQ(test::run(api.complete("abc", 42)), 200);
  EXPECT_EQ(last().method, "PUT");
  EXPECT_EQ(last().path, "/api/tasks/42");
  EXPECT_EQ(last().headers["content-type"], "application/json");
  EXPECT_EQ(last().body, R"({"completed":true})");

  EXPECT_EQ(test::run(api.fired("abc", "r-7")), 200);
  EXPECT_EQ(last().method, "POST");
  EXPECT_EQ(last().path, "/api/reminders/r-7/fired");
  EXPECT_TRUE(last().body.empty());

  test::run(api.upcoming("abc"));
  EXPECT_EQ(last().method, "GET");
  EXPECT_EQ(last().path, "/api/reminders/upcoming?hours=24");
  EXPECT_EQ(last().headers["authorization"], "Bearer abc");

  // An empty token still sends the header; HTTP parsers drop the value's
  // trailing blank, so the server sees the bare word.
  test::run(api.counts(""));
  EXPECT_EQ(last().headers.at("authorization"), "Bearer");
}

TEST_F(HttpTaskApiTest, UpcomingGivesTheItemsOnlyWhenTheyAreAllObjects) {
  struct Case {
    int status;
    const char* body;
    bool items;
  } cases[] = {
      {200, R"({"items":[{"id":1},{"id":2}]})", true},
      {200, R"({"items":[]})", true},
      {200, R"({"now":1})", false},
      {200, R"({"items":[1,2]})", false},
      {200, R"({"items":{"id":1}})", false},
      {200, "<html>", false},
      {401, R"({"items":[]})", false},
      {404, R"({"detail":"Not Found"})", false},
  };
  for (const auto& c : cases) {
    server.handle("/api/reminders/upcoming",
                  [&](const Received&) { return jsonReply(c.status, c.body); });
    auto answer = test::run(api.upcoming("t"));
    EXPECT_EQ(answer.status, c.status) << c.body;
    EXPECT_EQ(answer.items.has_value(), c.items) << c.body;
  }
  server.handle("/api/reminders/upcoming",
                [](const Received&) { return jsonReply(200, R"({"items":[{"id":1},{"id":2}]})"); });
  auto answer = test::run(api.upcoming("t"));
  ASSERT_TRUE(answer.items);
  EXPECT_EQ(answer.items->size(), 2u);
  EXPECT_EQ((*answer.items)[1]["id"], 2);
}

TEST_F(HttpTaskApiTest, CallsFollowTheServerInUseAndReportTransportFailures) {
  test::TestServer other;
  other.handle("/api/tasks/counts",
               [&](const Received&) { return jsonReply(200, R"({"today":7})"); });
  Settings::setServer(*Url::parse(other.url()));
  EXPECT_EQ(test::run(api.counts("t"))["today"], 7);
  EXPECT_TRUE(server.received().empty());

  Settings::setServer(closed());
  auto f = failureOf(api.counts("t"));
  EXPECT_EQ(f.kind(), Failure::Kind::network);
  EXPECT_EQ(f.description(), "Сервер отклонил соединение.");
  EXPECT_FALSE(f.cancelled());
  // The reminder engine's calls answer "no answer" instead.
  EXPECT_EQ(test::run(api.upcoming("t")).status, 0);
  EXPECT_EQ(test::run(api.fired("t", "1")), 0);
  EXPECT_EQ(test::run(api.complete("t", 1)), 0);
}

TEST_F(HttpTaskApiTest, TextThatCannotBeEncodedOrABodyThatIsNoObjectIsNotSent) {
  server.handle("/api/tasks", [&](const Received&) { return jsonReply(200, "{}"); });
  auto f = failureOf(api.create("t", "\xff\xfe"));
  EXPECT_EQ(f.kind(), Failure::Kind::unencodable);
  EXPECT_EQ(f.description(), "Не удалось отправить текст");
  for (const auto& body : {nlohmann::json::array({1, 2}), nlohmann::json("text"), nlohmann::json(5),
                           nlohmann::json(nullptr)}) {
    EXPECT_THROW(test::run(api.request("t", "POST", "/tasks", body)), std::invalid_argument)
        << body;
  }
  EXPECT_TRUE(server.received().empty());
}

TEST_F(HttpTaskApiTest, TheOwnersEndCancelsARunningCall) {
  Reply held;
  held.hold = true;
  server.handle("/api/tasks", [held](const Received&) { return held; });
  auto owner = std::make_unique<Lifetime>();
  auto call = api.create("t", "позвонить маме", owner->guard());
  ASSERT_TRUE(test::waitUntil([&] { return server.heldCount() == 1; }));
  owner.reset();
  auto f = failureOf(std::move(call));
  EXPECT_EQ(f.kind(), Failure::Kind::network);
  EXPECT_TRUE(f.cancelled());
  server.answerHeld(jsonReply(200, "{}"));
}

// The probe gives up after 6 seconds and an API call after 15, on the clock
// the client runs on.
TEST_F(HttpTaskApiTest, ProbeAndCallsTimeOutOnTheClientsClock) {
  auto clock = std::make_shared<test::FakeClock>();
  Clock::setMain(clock);
  Reply held;
  held.hold = true;
  server.handle("/api/health", [held](const Received&) { return held; });
  server.handle("/api/tasks/counts", [held](const Received&) { return held; });

  auto probe = api.probe(*Url::parse(server.url()));
  ASSERT_TRUE(test::waitUntil([&] { return server.heldCount() == 1; }));
  clock->advance(std::chrono::milliseconds(5999));
  test::spin(std::chrono::milliseconds(50));
  EXPECT_FALSE(probe.done());
  clock->advance(std::chrono::milliseconds(1));
  ASSERT_TRUE(test::waitUntil([&] { return probe.done(); }));
  EXPECT_EQ(probe.result(), std::optional<std::string>(
                                "Не удалось подключиться: Превышен лимит времени на запрос."));

  auto call = api.counts("t");
  ASSERT_TRUE(test::waitUntil([&] { return server.heldCount() == 2; }));
  clock->advance(std::chrono::milliseconds(14999));
  test::spin(std::chrono::milliseconds(50));
  EXPECT_FALSE(call.done());
  clock->advance(std::chrono::milliseconds(1));
  auto f = failureOf(std::move(call));
  EXPECT_EQ(f.kind(), Failure::Kind::network);
  EXPECT_EQ(f.description(), "Превышен лимит времени на запрос.");
  EXPECT_FALSE(f.cancelled());
  server.answerHeld(jsonReply(200, "{}"));
  Clock::setMain(nullptr);
}

TEST_F(HttpTaskApiTest, TheTokenComesFromTheSourceSetOnce) {
  EXPECT_EQ(test::run(api.token()), std::nullopt);
  std::optional<std::string> page = "abc";
  api.setTokenSource([&]() -> Task<std::optional<std::string>> {  // lives with its owner
    co_return page;
  });
  EXPECT_EQ(test::run(api.token()), std::optional<std::string>("abc"));
  page = "";
  EXPECT_EQ(test::run(api.token()), std::nullopt);
  api.setTokenSource([]() -> Task<std::optional<std::string>> {
    throw std::runtime_error("the page is gone");
    co_return std::nullopt;
  });
  EXPECT_EQ(test::run(api.token()), std::nullopt);
}

// The task API's HTTP client against a server on 127.0.0.1: what goes on the
// wire, how answers and statuses are decoded, time-outs, transport failures
// and cancellation by the owner.
#include <gtest/gtest.h>

#include <stdexcept>

#include "server/HttpTaskApi.h"
#include "server/NetworkText.h"
#include "support/FakeClock.h"
#include "support/SettingsScope.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko;
using nlohmann::json;
using test::jsonReply;
using test::Received;
using Failure = TaskApi::Failure;

namespace {

class HttpTaskApiTest : public testing::Test {
 protected:
  // Every path answers with this status and body.
  void answer(const std::vector<std::string>& paths, int status, const std::string& body) {
    for (const auto& path : paths)
      server.handle(path, [=](const Received&) { return jsonReply(status, body); });
  }
  // Requests wait until answered at the end of the test.
  void hold(const std::vector<std::string>& paths) {
    test::Reply held;
    held.hold = true;
    for (const auto& path : paths) server.handle(path, [=](const Received&) { return held; });
  }
  static Url closed() {
    return *Url::parse("http://127.0.0.1:" + std::to_string(test::TestServer::closedPort()));
  }

  test::TestServer server;
  test::SettingsScope settings{server.url()};
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

// The result of a call, or its failure's status and sentence.
std::string outcomeOf(Task<json> task) {
  try {
    return test::run(std::move(task)).dump();
  } catch (const Failure& f) {
    return std::to_string(f.status()) + " " + f.description();
  }
}

}  // namespace

TEST_F(HttpTaskApiTest, ProbeAcceptsOnlyOkTrueAndSendsNoToken) {
  const std::tuple<int, const char*, bool> cases[] = {
      {200, R"({"ok":true,"version":"2"})", true},
      {200, R"({"ok":"true"})", false},
      {200, R"([true])", false},
      {200, "<html>hello</html>", false},
      {500, R"({"ok":true})", false},
  };
  for (const auto& [status, body, ok] : cases) {
    answer({"/api/health"}, status, body);
    EXPECT_EQ(test::run(api.probe(*Url::parse(server.url()))),
              ok ? std::nullopt : std::optional<std::string>(TaskApi::kNotOurServer))
        << status << body;
  }
  EXPECT_EQ(server.received().back().headers.count("authorization"), 0u);
}

TEST_F(HttpTaskApiTest, StatusesBecomeResultsOrTheUsersSentence) {
  // The result, or the failure's status and sentence.
  const std::tuple<int, const char*, std::string> cases[] = {
      {200, R"({"today":3})", R"({"today":3})"},
      {204, "", "{}"},
      {400, R"({"detail":"Название слишком длинное"})", "400 Название слишком длинное"},
      {422, R"({"detail":[{"msg":"required"}]})", "422 Ошибка сервера 422"},
      {502, "<html>Bad gateway</html>", "502 Ошибка сервера 502"},
      {401, R"({"detail":"Token expired"})", "401 Сначала войдите в «Vuko» в главном окне"},
  };
  for (const auto& [status, body, outcome] : cases) {
    answer({"/api/tasks/counts"}, status, body);
    EXPECT_EQ(outcomeOf(api.counts("t")), outcome);
  }
  EXPECT_EQ(failureOf(api.counts("t")).kind(), Failure::Kind::notSignedIn);
}

TEST_F(HttpTaskApiTest, EachCallSendsItsMethodPathTokenAndBodyExactly) {
  answer({"/api/tasks", "/api/tasks/counts", "/api/tasks/42", "/api/reminders/upcoming"}, 200,
         "{}");
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[&] { test::run(api.create("abc", "Купить хлеб")); },
       R"(POST /api/tasks application/json {"smart":true,"title":"Купить хлеб"})"},
      {[&] { test::run(api.counts("abc")); }, "GET /api/tasks/counts  "},
      {[&] { test::run(api.complete("abc", 42)); },
       R"(PUT /api/tasks/42 application/json {"completed":true})"},
      {[&] { test::run(api.upcoming("abc")); }, "GET /api/reminders/upcoming?hours=24  "},
  };
  for (const auto& [call, expected] : cases) {
    call();
    auto r = server.received().back();
    json body = json::parse(r.body, nullptr, false);
    EXPECT_EQ(r.method + " " + r.path + " " + r.headers["content-type"] + " " +
                  (body.is_discarded() ? r.body : body.dump()),
              expected);
    EXPECT_EQ(r.headers["authorization"], "Bearer abc") << expected;
  }
  // An empty token still sends the header; HTTP parsers drop the value's
  // trailing blank, so the server sees the bare word.
  test::run(api.counts(""));
  EXPECT_EQ(server.received().back().headers.at("authorization"), "Bearer");
}

TEST_F(HttpTaskApiTest, UpcomingGivesTheItemsOnlyWhenTheyAreAllObjects) {
  const std::tuple<int, const char*, std::optional<json>> cases[] = {
      {200, R"({"items":[{"id":1},{"id":2}]})", json::array({{{"id", 1}}, {{"id", 2}}})},
      {200, R"({"now":1})", std::nullopt},
      {200, R"({"items":[1,2]})", std::nullopt},
      {401, R"({"items":[]})", std::nullopt},
  };
  for (const auto& [status, body, items] : cases) {
    answer({"/api/reminders/upcoming"}, status, body);
    auto got = test::run(api.upcoming("t"));
    EXPECT_EQ(got.status, status) << body;
    EXPECT_EQ(got.items, items) << body;
  }
}

TEST_F(HttpTaskApiTest, TransportFailuresAreTheUsersSentenceOrNoAnswer) {
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
  answer({"/api/tasks"}, 200, "{}");
  auto f = failureOf(api.create("t", "\xff\xfe"));
  EXPECT_EQ(f.kind(), Failure::Kind::unencodable);
  EXPECT_EQ(f.description(), "Не удалось отправить текст");
  for (const auto& body : {json::array({1, 2}), json("text"), json(nullptr)})
    EXPECT_THROW(test::run(api.request("t", "POST", "/tasks", body)), std::invalid_argument);
  EXPECT_TRUE(server.received().empty());
}

TEST_F(HttpTaskApiTest, TheOwnersEndCancelsARunningCall) {
  hold({"/api/tasks"});
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
  hold({"/api/health", "/api/tasks/counts"});
  // Runs the clock to just before the limit, then to it.
  auto expire = [&](std::size_t held, auto& task, std::chrono::seconds limit) {
    ASSERT_TRUE(test::waitUntil([&] { return server.heldCount() == held; }));
    clock->advance(limit - std::chrono::milliseconds(1));
    test::spin(std::chrono::milliseconds(50));
    EXPECT_FALSE(task.done());
    clock->advance(std::chrono::milliseconds(1));
  };
  auto probe = api.probe(*Url::parse(server.url()));
  expire(1, probe, std::chrono::seconds(6));
  EXPECT_EQ(test::run(std::move(probe)),
            std::optional<std::string>("Не удалось подключиться: " +
                                       networkFailureText(TransportError::Kind::timedOut)));

  auto call = api.counts("t");
  expire(2, call, std::chrono::seconds(15));
  auto f = failureOf(std::move(call));
  EXPECT_EQ(f.kind(), Failure::Kind::network);
  EXPECT_EQ(f.description(), networkFailureText(TransportError::Kind::timedOut));
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

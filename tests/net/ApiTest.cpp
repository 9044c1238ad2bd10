#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "platform/Defaults.h"
#include "platform/Http.h"
#include "server/API.h"
#include "server/NetworkText.h"
#include "server/Settings.h"
#include "support/FakeClock.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko;
using test::jsonReply;
using test::Received;
using test::Reply;

namespace {

class ServerTest : public testing::Test {
 protected:
  void SetUp() override {
    Defaults::setStandard(std::make_shared<MemoryDefaults>());
    Settings::setServer(*Url::parse(server.url()));
  }
  test::TestServer server;
};

std::string failureOf(Task<nlohmann::json> task) {
  try {
    test::run(std::move(task));
  } catch (const API::Failure& f) {
    return f.description();
  }
  return "(no failure)";
}

}  // namespace

TEST_F(ServerTest, CheckAcceptsOnlyOkTrue) {
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
    auto message = test::run(Settings::check(*Url::parse(server.url())));
    if (c.ok)
      EXPECT_FALSE(message) << c.body;
    else
      EXPECT_EQ(message, std::optional<std::string>(Settings::kNotOurServer)) << c.status << c.body;
  }
  // The probe sends no token.
  ASSERT_FALSE(server.received().empty());
  EXPECT_EQ(server.received().back().headers.count("authorization"), 0u);
  EXPECT_EQ(server.received().back().method, "GET");
}

TEST_F(ServerTest, CheckReportsAClosedPortInRussian) {
  auto base = *Url::parse("http://127.0.0.1:" + std::to_string(test::TestServer::closedPort()));
  auto message = test::run(Settings::check(base));
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

TEST_F(ServerTest, RequestTurnsStatusesIntoResultsAndFailures) {
  struct Case {
    int status;
    const char* body;
    const char* failure;  // nullptr: success
    nlohmann::json result;
  } cases[] = {
      {200, R"({"today":3})", nullptr, {{"today", 3}}},
      {200, R"([1,2])", nullptr, nlohmann::json::array({1, 2})},
      {200, "not json", nullptr, nlohmann::json::object()},
      {201, "42", nullptr, nlohmann::json::object()},
      {204, "", nullptr, nlohmann::json::object()},
      {401, R"({"detail":"Token expired"})", "Сначала войдите в «Vuko» в главном окне", {}},
      {422, R"({"detail":[{"loc":["title"],"msg":"required"}]})", "Ошибка сервера 422", {}},
      {400, R"({"detail":"Название слишком длинное"})", "Название слишком длинное", {}},
      {502, "<html>Bad gateway</html>", "Ошибка сервера 502", {}},
      {500, R"({"detail":5})", "Ошибка сервера 500", {}},
  };
  for (const auto& c : cases) {
    server.handle("/api/tasks/counts",
                  [&](const Received&) { return jsonReply(c.status, c.body); });
    if (c.failure) {
      EXPECT_EQ(failureOf(API::request("/tasks/counts", "t")), c.failure) << c.status;
    } else {
      EXPECT_EQ(test::run(API::request("/tasks/counts", "t")), c.result) << c.status << c.body;
    }
  }
}

TEST_F(ServerTest, RequestSendsTokenAndBodyHeadersExactly) {
  server.handle("/api/tasks", [&](const Received&) { return jsonReply(200, R"({"id":1})"); });
  test::run(API::request("/tasks", "abc"));
  Received get = server.received().back();
  EXPECT_EQ(get.method, "GET");
  EXPECT_EQ(get.headers["authorization"], "Bearer abc");
  EXPECT_EQ(get.headers.count("content-type"), 0u);
  EXPECT_TRUE(get.body.empty());

  test::run(API::request("/tasks", "abc", "POST",
                         nlohmann::json{{"title", "Купить хлеб"}, {"smart", true}}));
  Received post = server.received().back();
  EXPECT_EQ(post.method, "POST");
  EXPECT_EQ(post.headers["content-type"], "application/json");
  EXPECT_EQ(nlohmann::json::parse(post.body),
            (nlohmann::json{{"title", "Купить хлеб"}, {"smart", true}}));

  // An empty token still sends the header; HTTP parsers drop the value's
  // trailing blank, so the server sees the bare word.
  test::run(API::request("/tasks", ""));
  EXPECT_EQ(server.received().back().headers.at("authorization"), "Bearer");
}

TEST_F(ServerTest, RequestFollowsServerChangeAndSurfacesTransportErrors) {
  test::TestServer other;
  other.handle("/api/tasks/counts",
               [&](const Received&) { return jsonReply(200, R"({"today":7})"); });
  Settings::setServer(*Url::parse(other.url()));
  EXPECT_EQ(test::run(API::request("/tasks/counts", "t"))["today"], 7);
  EXPECT_TRUE(server.received().empty());

  Settings::setServer(
      *Url::parse("http://127.0.0.1:" + std::to_string(test::TestServer::closedPort())));
  EXPECT_THROW(test::run(API::request("/tasks/counts", "t")), TransportError);
}

TEST_F(ServerTest, BodyThatCannotBeEncodedIsNotSent) {
  server.handle("/api/tasks", [&](const Received&) { return jsonReply(200, "{}"); });
  EXPECT_THROW(
      test::run(API::request("/tasks", "t", "POST", nlohmann::json{{"title", "\xff\xfe"}})),
      nlohmann::json::exception);
  EXPECT_TRUE(server.received().empty());
}

TEST_F(ServerTest, RequestThatGetsNoAnswerTimesOut) {
  Reply held;
  held.hold = true;
  server.handle("/slow", [&](const Received&) { return held; });
  HttpRequest req;
  req.url = server.url() + "/slow";
  req.timeout = std::chrono::milliseconds(200);
  try {
    test::run(Http::send(req));
    ADD_FAILURE() << "no time-out";
  } catch (const TransportError& e) {
    EXPECT_EQ(e.kind(), TransportError::Kind::timedOut);
    EXPECT_EQ(networkFailureText(e.kind()), "Превышен лимит времени на запрос.");
  }
  server.answerHeld(jsonReply(200, "{}"));
}

TEST_F(ServerTest, OnlyAnObjectIsSentAsABody) {
  server.handle("/api/tasks", [&](const Received&) { return jsonReply(200, "{}"); });
  for (const auto& body : {nlohmann::json::array({1, 2}), nlohmann::json("text"), nlohmann::json(5),
                           nlohmann::json(nullptr)}) {
    EXPECT_THROW(test::run(API::request("/tasks", "t", "POST", body)), std::invalid_argument)
        << body;
  }
  EXPECT_TRUE(server.received().empty());
}

// The probe gives up after 6 seconds and an API call after 15, on the clock
// the client runs on.
TEST_F(ServerTest, ProbeAndApiCallsTimeOutOnTheClientsClock) {
  auto clock = std::make_shared<test::FakeClock>();
  Clock::setMain(clock);
  Reply held;
  held.hold = true;
  server.handle("/api/health", [held](const Received&) { return held; });
  server.handle("/api/tasks/counts", [held](const Received&) { return held; });

  auto probe = Settings::check(*Url::parse(server.url()));
  ASSERT_TRUE(test::waitUntil([&] { return server.heldCount() == 1; }));
  clock->advance(std::chrono::milliseconds(5999));
  test::spin(std::chrono::milliseconds(50));
  EXPECT_FALSE(probe.done());
  clock->advance(std::chrono::milliseconds(1));
  ASSERT_TRUE(test::waitUntil([&] { return probe.done(); }));
  EXPECT_EQ(probe.result(), std::optional<std::string>(
                                "Не удалось подключиться: Превышен лимит времени на запрос."));

  auto call = API::request("/tasks/counts", "t");
  ASSERT_TRUE(test::waitUntil([&] { return server.heldCount() == 2; }));
  clock->advance(std::chrono::milliseconds(14999));
  test::spin(std::chrono::milliseconds(50));
  EXPECT_FALSE(call.done());
  clock->advance(std::chrono::milliseconds(1));
  try {
    test::run(std::move(call));
    ADD_FAILURE() << "no time-out";
  } catch (const TransportError& e) {
    EXPECT_EQ(e.kind(), TransportError::Kind::timedOut);
  }
  server.answerHeld(jsonReply(200, "{}"));
  Clock::setMain(nullptr);
}

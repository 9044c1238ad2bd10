// Lines typed into the quick panel while the server is down survive a crash
// of the client and reach the server once, in order, when it is back.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/Desktop.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko::test;
using namespace std::chrono_literals;

namespace {

// A signed-in account's server; the tasks it was asked to create.
std::unique_ptr<TestServer> serve(int port, std::vector<std::string>& created) {
  auto server = std::make_unique<TestServer>(port);
  server->handle("/api/health", [](const Received&) { return healthy(); });
  server->handle("/today", [](const Received&) {
    return html("<title>today</title><script>localStorage.setItem('token', 'tok-7');</script>");
  });
  server->handle("/api/auth/me", [](const Received&) { return jsonReply(200, R"({"id":7})"); });
  server->handle("/api/tasks", [&created](const Received& r) {
    created.push_back(r.body);
    return jsonReply(201, "{}");
  });
  return server;
}

}  // namespace

TEST(QuickOfflineTest, TasksTypedWhileTheServerIsDownSurviveACrashAndArriveOnce) {
  if (!ClientProcess::possible()) GTEST_SKIP() << "needs a display and a session bus";
  constexpr const char* kPanel = "Быстрая задача";
  std::vector<std::string> created;
  auto server = serve(0, created);
  const int port = server->port();
  ClientProcess client(server->url());
  client.start({"--quick"});
  ASSERT_TRUE(waitUntil([&] { return visible(kPanel); }, 30s));
  ASSERT_TRUE(waitUntil([&] { return focusedWindow() == windowNamed(kPanel); }));
  // A preview asked with the page's token: the user is signed in.
  ASSERT_TRUE(waitUntil(
      [&] {
        runSync({"xdotool", "type", "x"});
        auto parsed = [](const Received& r) { return r.path == "/api/tasks/parse"; };
        return waitUntil([&] { return std::ranges::any_of(server->received(), parsed); }, 2s);
      },
      30s));
  runSync({"xdotool", "key", "ctrl+a", "BackSpace"});

  server.reset();
  for (const char* line : {"first", "second", "third"}) {
    runSync({"xdotool", "type", line});
    runSync({"xdotool", "key", "Return"});
  }
  const std::string file = client.stateDir() + "/outbox.json";
  auto kept = [&](const char* what) {
    std::ifstream in(file);
    return std::string{std::istreambuf_iterator<char>(in), {}}.find(what) != std::string::npos;
  };
  ASSERT_TRUE(waitUntil([&] { return kept("first") && kept("third"); }, 20s));

  client.crash();
  client.start();
  // The page finds the server down at start; then it is back.
  ASSERT_TRUE(waitUntil([&] { return visible("Vuko"); }, 30s));
  server = serve(port, created);
  // Every line confirmed and taken off the file, each sent once, in order.
  ASSERT_TRUE(waitUntil([&] { return !kept("\"text\""); }, 60s));
  ASSERT_EQ(created.size(), 3u);
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(created[i].find(std::vector<std::string>{"first", "second", "third"}[i]) !=
                std::string::npos);
}

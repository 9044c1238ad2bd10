// The real client while its task server goes away and comes back on the same
// address: the offline page takes the place of the page, and its "Повторить"
// probes the server again and brings the page back.
#include <glib.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko::test;

namespace {

std::string xdotool(const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>("xdotool")};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  gchar* out = nullptr;
  g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out, nullptr,
               nullptr, nullptr);
  std::string text = out ? out : "";
  g_free(out);
  return text.substr(0, text.find('\n'));
}

size_t count(const TestServer& s, const std::string& path) {
  size_t n = 0;
  for (const auto& r : s.received()) n += r.path == path;
  return n;
}

// The page checks its server every 200 ms and reloads once the server is
// gone, as a page does when the user navigates.
void serve(TestServer& s) {
  s.handle("/api/health", [](const Received&) { return healthy(); });
  s.handle("/today", [](const Received&) {
    return html(
        "<!doctype html><title>today</title><body>Сегодня<script>"
        "setInterval(() => fetch('/poll').catch(() => location.reload()), 200);</script>");
  });
  s.handle("/poll", [](const Received&) { return jsonReply(200, "{}"); });
}

}  // namespace

TEST(ServerOutage, OfflinePageAppearsAndRetryBringsThePageBack) {
  if (!std::getenv("DISPLAY") || !std::getenv("DBUS_SESSION_BUS_ADDRESS"))
    GTEST_SKIP() << "needs a display and a session bus";
  auto first = std::make_unique<TestServer>();
  const int port = first->port();
  const std::string url = first->url();
  serve(*first);

  std::string home = tempDir("outage");
  std::vector<std::string> env = {
      "DISPLAY=" + std::string(std::getenv("DISPLAY")),
      "DBUS_SESSION_BUS_ADDRESS=" + std::string(std::getenv("DBUS_SESSION_BUS_ADDRESS")),
      "LANG=C.UTF-8",
      "GDK_BACKEND=x11",
      "NO_AT_BRIDGE=1",
      "HOME=" + home,
      "XDG_CONFIG_HOME=" + home + "/config",
      "XDG_DATA_HOME=" + home + "/data",
      "XDG_CACHE_HOME=" + home + "/cache",
      "VUKO_TEST_SERVER=" + url};
  std::vector<char*> envp, argv{const_cast<char*>(VUKO_BINARY), nullptr};
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  GPid pid = 0;
  ASSERT_TRUE(g_spawn_async(nullptr, argv.data(), envp.data(), G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                            nullptr, &pid, nullptr));
  bool exited = false;
  g_child_watch_add(
      pid, [](GPid, gint, gpointer done) { *static_cast<bool*>(done) = true; }, &exited);

  ASSERT_TRUE(waitUntil([&] { return count(*first, "/poll") >= 2; }, std::chrono::seconds(30)))
      << "the page runs";
  EXPECT_EQ(count(*first, "/today"), 1u);

  // Gone: connections are refused. The page's next check fails, it reloads,
  // and the load fails. The offline page is static and asks nothing of the
  // server, so there is no event to await here: give it a moment.
  first->stop();
  spin(std::chrono::seconds(2));
  EXPECT_FALSE(exited);

  // Back on the same address. Nothing is asked of it until the user retries:
  // the page that polled is gone.
  first.reset();
  TestServer second(port);
  serve(second);
  spin(std::chrono::milliseconds(600));
  EXPECT_EQ(second.received().size(), 0u) << "the polling page was replaced";

  std::string window = xdotool({"search", "--onlyvisible", "--name", "^Vuko$"});
  ASSERT_FALSE(window.empty());
  xdotool({"windowactivate", "--sync", window});
  // "Повторить" is the page's first button.
  xdotool({"key", "--clearmodifiers", "Tab", "Return"});
  ASSERT_TRUE(waitUntil([&] { return count(second, "/today") == 1; }, std::chrono::seconds(30)))
      << "Повторить loads the page again";
  ASSERT_FALSE(second.received().empty());
  EXPECT_EQ(second.received().front().path, "/api/health") << "the server is probed first";
  EXPECT_TRUE(waitUntil([&] { return count(second, "/poll") >= 1; })) << "the page runs again";
  EXPECT_FALSE(exited);

  kill(pid, SIGTERM);
  waitUntil([&] { return exited; });
  g_spawn_close_pid(pid);
}

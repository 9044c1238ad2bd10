// A client started at login with a kept token: no window and no web process,
// yet a reminder reaches the notification server; the first show loads the page.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "devserver/DevServer.h"
#include "platform/Http.h"
#include "platform/SealedFile.h"
#include "platform/Url.h"
#include "support/Desktop.h"
#include "support/FakeDesktop.h"
#include "support/Processes.h"

using namespace vuko::test;
using namespace std::chrono_literals;
using nlohmann::json;

namespace {

json call(const std::string& base, const char* method, const char* path, const json& body,
          const std::string& token = {}) {
  vuko::HttpRequest request{
      method, base + path, {{"Content-Type", "application/json"}}, body.dump()};
  if (!token.empty()) request.headers.push_back({"Authorization", "Bearer " + token});
  auto response = run(vuko::Http::send(request));
  EXPECT_LT(response.status, 300) << path << ": " << response.body;
  return json::parse(response.body, nullptr, false);
}

// Whether a web process runs as a child of the process pid.
bool webProcessUnder(int pid) {
  for (const auto& child : childrenOf(pid))
    if (child.name == "WebKitWebProces") return true;
  return false;
}

}  // namespace

TEST(BackgroundStartTest, RemindsWithoutWindowOrWebProcessUntilShown) {
  if (!ClientProcess::possible()) GTEST_SKIP() << "needs a display and a session bus";
  PrivateBus bus;
  FakeDesktop notifications("notifications");
  vuko::dev::DevServer server({});
  const std::string base = server.url();
  const std::string token = call(base, "POST", "/api/auth/register",
                                 {{"email", "a@b.c"}, {"password", "secret1"}})["token"];
  call(base, "PUT", "/api/settings", {{"timezone", "UTC"}, {"remindBefore", 0}}, token);
  GDateTime* due = g_date_time_add_seconds(g_date_time_new_now_utc(), 6);
  char* day = g_date_time_format(due, "%F");
  char* time = g_date_time_format(due, "%T");
  call(base, "POST", "/api/tasks", {{"title", "Позвонить"}, {"due_date", day}, {"due_time", time}},
       token);
  g_free(day);
  g_free(time);
  g_date_time_unref(due);

  ClientProcess client(base);
  std::filesystem::create_directories(client.home() + "/config/autostart");
  std::ofstream(client.home() + "/config/autostart/app.vuko.Vuko.desktop")
      << "[Desktop Entry]\nType=Application\nName=Vuko\nExec=vuko --background\n";
  const vuko::SealedFile copy(client.home() + "/state/vuko/session",
                              client.home() + "/data/vuko/session.key");
  ASSERT_TRUE(copy.seal(token, vuko::Url::parse(base)->str()));

  client.start({"--background"});
  ASSERT_TRUE(waitUntil([&] { return !notifications.calls("Notify").empty(); }, 60s));
  EXPECT_EQ(notifications.calls("Notify")[0][2], "Позвонить");
  EXPECT_TRUE(client.runOnce({"--background"}));
  EXPECT_FALSE(visible("Vuko"));
  EXPECT_FALSE(webProcessUnder(client.pid()));

  EXPECT_TRUE(client.runOnce({"--show"}));
  EXPECT_TRUE(waitUntil([&] { return visible("Vuko"); }, 30s));
  // The page loads; without its own token it signs out, and the copy goes.
  EXPECT_TRUE(waitUntil([&] { return webProcessUnder(client.pid()); }, 30s));
  EXPECT_TRUE(waitUntil([&] { return !std::filesystem::exists(copy.path()); }, 60s));
}

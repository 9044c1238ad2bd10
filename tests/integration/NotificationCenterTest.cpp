// The desktop notification centre against a notification server written for
// the tests, on a private session bus.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/NotificationCenter.h"
#include "reminders/Reminders.h"
#include "support/FakeDesktop.h"
#include "support/Wait.h"

namespace vuko::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

NotificationRequest taskRequest(const std::string& id, NotificationTrigger trigger = {}) {
  ReminderItem item{id.substr(3), 42, "task", "Позвонить", "Молоко & хлеб <b>", {}};
  return {id, Reminders::content(item), trigger};
}

NotificationAuthorization authorize(NotificationCenter& c) {
  std::optional<NotificationAuthorization> got;
  [](NotificationCenter& center, std::optional<NotificationAuthorization>& out)
      -> Task<> { out = co_await center.requestAuthorization(); }(c, got).detach();
  waitUntil([&] { return got.has_value(); }, 30s);
  return got.value_or(NotificationAuthorization{});
}

// A notification server with these capabilities, and a centre that has been
// allowed to use it. Notify calls are logged as [id, replaces, summary, body,
// actions, string hints].
class Server {
 public:
  explicit Server(std::vector<std::string> capabilities = {})
      : fake("notifications", capabilities) {
    center.openTitle = "Открыть";
    center.setCategories(
        {{"vuko.task", {{"vuko.done", "Готово"}, {"vuko.snooze", "Позже"}}}, {"vuko.digest", {}}});
    EXPECT_TRUE(authorize(center).granted);
  }
  std::vector<json> notified(size_t count) {
    EXPECT_TRUE(waitUntil([&] { return fake.calls("Notify").size() >= count; }, 30s));
    return fake.calls("Notify");
  }

  PrivateBus bus;
  FakeDesktop fake;
  DesktopNotificationCenter center{DesktopNotificationCenter::Options{}};
};

TEST(NotificationCenter, NotificationCarriesButtonsAndHints) {
  Server s;
  // The client hears of a request shown while it is in front on a later turn
  // of the main loop, never inside its own add.
  std::vector<std::string> presented;
  s.center.isActive = [] { return true; };
  s.center.onWillPresent = [&](const NotificationRequest& r) { presented.push_back(r.id); };
  s.center.add(taskRequest("rem1"));
  EXPECT_TRUE(presented.empty());
  auto digest = taskRequest("rem2");
  digest.content.categoryId = "vuko.digest";
  s.center.add(digest);
  auto calls = s.notified(2);
  EXPECT_EQ(calls[0][2], "Позвонить");
  EXPECT_EQ(calls[0][3], "Молоко & хлеб <b>");  // a server without markup: as it is
  EXPECT_EQ(calls[0][4],
            json({"default", "Открыть", "vuko.done", "Готово", "vuko.snooze", "Позже"}));
  EXPECT_EQ(calls[0][5]["sound-name"], "message-new-instant");
  EXPECT_EQ(calls[0][5]["desktop-entry"], "app.vuko.Vuko");
  EXPECT_EQ(calls[1][4], json({"default", "Открыть"}));
  // One more round trip on the same connection: the answers to both Notify
  // calls, with their ids, have arrived once it is back.
  EXPECT_TRUE(authorize(s.center).granted);
  // The same id again replaces the shown notification.
  s.center.add(taskRequest("rem1"));
  EXPECT_EQ(s.notified(3)[2][1], calls[0][0]);
  EXPECT_TRUE(waitUntil([&] {
    return presented == std::vector<std::string>{"rem1", "rem2", "rem1"};
  }));
}

// Buttons only where the server has actions; the body escaped only where it
// reads markup.
TEST(NotificationCenter, WhatIsSentFollowsTheServersCapabilities) {
  Server s({"body", "body-markup"});
  auto marked = taskRequest("rem1");
  marked.content.title = "a & b";
  s.center.add(marked);
  auto call = s.notified(1)[0];
  EXPECT_EQ(call[2], "a & b");
  EXPECT_EQ(call[3], "Молоко &amp; хлеб &lt;b&gt;");
  EXPECT_EQ(call[4], json::array());
}

TEST(NotificationCenter, NoServerIsNotAllowed) {
  PrivateBus bus;
  DesktopNotificationCenter center(DesktopNotificationCenter::Options{});
  auto answer = authorize(center);
  EXPECT_FALSE(answer.granted);
  EXPECT_EQ(answer.refusal, NotificationAuthorization::Refusal::notAllowed);
  // A request that falls due anyway reaches the client's own display.
  std::vector<std::string> undelivered;
  center.onUndelivered = [&](const NotificationRequest& r) { undelivered.push_back(r.id); };
  center.add(taskRequest("rem1", NotificationTrigger::after(0s)));
  EXPECT_TRUE(waitUntil([&] { return undelivered == std::vector<std::string>{"rem1"}; }));
}

TEST(NotificationCenter, AClickCarriesTheActivationTokenSentBeforeIt) {
  Server s;
  std::vector<NotificationResponse> responses;
  s.center.onDidReceive = [&](const NotificationResponse& r) { responses.push_back(r); };
  s.center.add(taskRequest("rem1"));
  s.center.add(taskRequest("rem2"));
  auto calls = s.notified(2);
  ASSERT_TRUE(authorize(s.center).granted);  // a round trip: both ids are known
  s.fake.invoke(calls[0][0], "default", "token-1");
  s.fake.invoke(calls[1][0], "vuko.done");
  ASSERT_TRUE(waitUntil([&] { return responses.size() == 2; }));
  EXPECT_EQ(responses[0].activationToken, "token-1");
  EXPECT_EQ(responses[1].activationToken, "");
  EXPECT_EQ(responses[1].actionId, "vuko.done");
  // Some servers leave a notification up after a click: the client closes it.
  EXPECT_TRUE(waitUntil([&] { return s.fake.calls("CloseNotification").size() == 2; }));
}

TEST(NotificationCenter, AServerThatVanishesLosesNothing) {
  PrivateBus bus;
  auto server = std::make_unique<FakeDesktop>("notifications");
  DesktopNotificationCenter center(DesktopNotificationCenter::Options{});
  ASSERT_TRUE(authorize(center).granted);
  std::vector<std::string> undelivered;
  center.onUndelivered = [&](const NotificationRequest& r) { undelivered.push_back(r.id); };
  center.add(taskRequest("rem1"));
  ASSERT_TRUE(waitUntil([&] { return server->calls("Notify").size() == 1; }));
  server.reset();
  center.add(taskRequest("rem2"));
  ASSERT_TRUE(waitUntil([&] { return !undelivered.empty(); }, 30s));
  EXPECT_EQ(undelivered, std::vector<std::string>{"rem2"});
  // A server that comes back is used again by the next delivery.
  FakeDesktop again("notifications");
  center.add(taskRequest("rem3"));
  ASSERT_TRUE(waitUntil([&] { return again.calls("Notify").size() == 1; }, 30s));
  EXPECT_EQ(undelivered.size(), 1u);
}

// A desktop with a per-application switch (its schema, compiled here
// into a private folder) that is off for the client.
TEST(NotificationCenter, SwitchedOffForTheClientMeansOff) {
  auto dir = tempDir();
  std::ofstream(dir + "/app.gschema.xml")
      << R"(<schemalist><schema id="org.gnome.desktop.notifications.application">)"
      << R"(<key name="enable" type="b"><default>true</default></key></schema></schemalist>)";
  ASSERT_EQ(std::system(("glib-compile-schemas " + dir).c_str()), 0);
  setenv("GSETTINGS_SCHEMA_DIR", dir.c_str(), 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  Server s;
  GSettings* app =
      g_settings_new_with_path("org.gnome.desktop.notifications.application",
                               "/org/gnome/desktop/notifications/application/app-vuko-vuko/");
  g_settings_set_boolean(app, "enable", FALSE);
  auto answer = authorize(s.center);
  EXPECT_FALSE(answer.granted);
  EXPECT_EQ(answer.refusal, NotificationAuthorization::Refusal::other);
  g_object_unref(app);
}

TEST(NotificationCenter, CorruptStoreIsSetAside) {
  auto store = tempDir() + "/notifications.json";
  std::ofstream(store) << "{not json";
  DesktopNotificationCenter center(DesktopNotificationCenter::Options{store});
  auto aside = center.setAside();
  ASSERT_TRUE(aside);
  EXPECT_TRUE(std::filesystem::exists(*aside));
  center.add(taskRequest("rem1", NotificationTrigger::at(std::chrono::system_clock::now() + 1h)));
  std::ifstream in(store);
  EXPECT_NE(std::string(std::istreambuf_iterator<char>(in), {}).find("rem1"), std::string::npos);
}

}  // namespace
}  // namespace vuko::test

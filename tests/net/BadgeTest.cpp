// Today's count from a task server on 127.0.0.1, and the launcher-entry
// signal that carries it, heard on a private session bus.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/Badge.h"
#include "platform/Defaults.h"
#include "platform/DockTile.h"
#include "server/Settings.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko;
using namespace vuko::test;

namespace {

struct Update {
  std::string app;
  std::int64_t count = -1;
  bool visible = false;
};

class BadgeTest : public testing::Test {
 protected:
  void SetUp() override {
    bus = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(bus);
    GError* error = nullptr;
    listener = g_dbus_connection_new_for_address_sync(
        g_test_dbus_get_bus_address(bus),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    ASSERT_TRUE(listener) << (error ? error->message : "");
    subscription = g_dbus_connection_signal_subscribe(
        listener, nullptr, "com.canonical.Unity.LauncherEntry", "Update", nullptr, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
           GVariant* params, gpointer self) {
          Update u;
          const gchar* app = nullptr;
          GVariant* props = nullptr;
          g_variant_get(params, "(&s@a{sv})", &app, &props);
          u.app = app;
          g_variant_lookup(props, "count", "x", &u.count);
          gboolean visible = FALSE;
          g_variant_lookup(props, "count-visible", "b", &visible);
          u.visible = visible;
          g_variant_unref(props);
          static_cast<BadgeTest*>(self)->updates.push_back(u);
        },
        this, nullptr);
    // The match rule is in place once a round trip has been made.
    GVariant* id = g_dbus_connection_call_sync(
        listener, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId",
        nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (id) g_variant_unref(id);

    Defaults::setStandard(std::make_shared<MemoryDefaults>());
    Settings::setServer(*Url::parse(server.url()));
    server.handle("/api/tasks/counts", [this](const Received&) { return answer; });
  }

  void TearDown() override {
    if (listener) {
      g_dbus_connection_signal_unsubscribe(listener, subscription);
      g_object_unref(listener);
    }
    // The launcher keeps its bus connection for the life of the process.
    g_test_dbus_stop(bus);
    g_object_unref(bus);
  }

  // Runs one refresh and waits for the signal it sends.
  Badge::Label refresh() {
    size_t before = updates.size();
    badge.update();
    EXPECT_TRUE(waitUntil([&] { return updates.size() > before; }));
    return badge.label();
  }

  size_t countRequests() const {
    size_t n = 0;
    for (const auto& r : server.received()) n += r.path == "/api/tasks/counts";
    return n;
  }

  GTestDBus* bus = nullptr;
  GDBusConnection* listener = nullptr;
  guint subscription = 0;
  std::vector<Update> updates;
  TestServer server;
  Reply answer = jsonReply(200, R"({"today":0})");
  std::optional<std::string> token = "t-1";
  Badge badge{[this]() -> Task<std::optional<std::string>> { co_return token; },
              [](const Badge::Label& label) { DockTile::setBadgeLabel(label); }};
};

}  // namespace

TEST_F(BadgeTest, CountsFromTheServerReachTheLauncher) {
  struct Case {
    int status;
    const char* body;
    std::optional<std::string> label;
  } cases[] = {
      {200, R"({"today":12})", "12"},   {200, R"({"today":0})", std::nullopt},
      {200, R"({"today":500})", "500"}, {200, R"({"today":"7"})", std::nullopt},
      {200, R"({"today":3})", "3"},     {500, R"({"detail":"упал"})", std::nullopt},
      {200, R"({"today":4})", "4"},     {401, R"({})", std::nullopt},
  };
  for (const auto& c : cases) {
    answer = jsonReply(c.status, c.body);
    EXPECT_EQ(refresh(), c.label) << c.body;
    ASSERT_FALSE(updates.empty());
    EXPECT_EQ(updates.back().app, "application://vuko.desktop");
    EXPECT_EQ(updates.back().visible, c.label.has_value()) << c.body;
    EXPECT_EQ(updates.back().count, c.label ? std::stoll(*c.label) : 0) << c.body;
    EXPECT_EQ(DockTile::badgeLabel(), c.label);
  }
  EXPECT_EQ(server.received().back().headers.at("authorization"), "Bearer t-1");
  EXPECT_EQ(server.received().back().method, "GET");
}

TEST_F(BadgeTest, SignedOutOrSwitchedOffClearsWithoutAsking) {
  answer = jsonReply(200, R"({"today":9})");
  ASSERT_EQ(refresh(), "9");
  ASSERT_EQ(countRequests(), 1u);

  token.reset();
  EXPECT_EQ(refresh(), std::nullopt);
  EXPECT_FALSE(updates.back().visible);
  EXPECT_EQ(countRequests(), 1u);

  token = "t-1";
  ASSERT_EQ(refresh(), "9");
  Settings::setDockBadge(false);
  // Switched off, the badge goes at once, before any answer could come.
  badge.update();
  EXPECT_EQ(badge.label(), std::nullopt);
  EXPECT_TRUE(waitUntil([&] { return !updates.back().visible; }));
  EXPECT_EQ(countRequests(), 2u);

  Settings::setDockBadge(true);
  EXPECT_EQ(refresh(), "9");
}

TEST_F(BadgeTest, NoServerClearsTheBadge) {
  answer = jsonReply(200, R"({"today":5})");
  ASSERT_EQ(refresh(), "5");
  Settings::setServer(*Url::parse("http://127.0.0.1:" + std::to_string(TestServer::closedPort())));
  EXPECT_EQ(refresh(), std::nullopt);
  EXPECT_FALSE(updates.back().visible);
}

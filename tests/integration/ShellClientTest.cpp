// The real client process with a status area and a launcher on the private
// session bus: a watcher that the status item registers with, whose menu is
// read and clicked over D-Bus, and the launcher badge heard on the bus.
#include <gio/gio.h>
#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Desktop.h"
#include "support/FakeDesktop.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko::test;

namespace {

class ShellClientTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!ClientProcess::possible()) GTEST_SKIP() << "needs a display and a session bus";
    server.handle("/api/health", [](const Received&) { return healthy(); });
    // A signed-in page: the token is where the web application keeps it.
    server.handle("/today", [](const Received&) {
      return html(
          "<!doctype html><title>today</title><body>Сегодня<script>"
          "localStorage.setItem('token', 'tok-7');</script>");
    });
    server.handle("/api/tasks/counts",
                  [](const Received&) { return jsonReply(200, R"({"today":7,"inbox":2})"); });
    bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    shell.emplace(std::vector<std::string>{"shell"});
  }
  void TearDown() override {
    if (bus) g_object_unref(bus);
  }

  GVariant* call(const std::string& path, const char* iface, const char* method, GVariant* args,
                 const char* type) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, itemOwner.c_str(), path.c_str(), iface,
                                                  method, args, G_VARIANT_TYPE(type),
                                                  G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, &error);
    EXPECT_TRUE(reply) << method << ": " << (error ? error->message : "");
    if (error) g_error_free(error);
    return reply;
  }

  std::string itemProperty(const char* name) {
    GVariant* reply = call(itemPath, "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", "org.kde.StatusNotifierItem", name), "(v)");
    if (!reply) return {};
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    // Strings and object paths alike.
    std::string out = g_variant_get_string(value, nullptr);
    g_variant_unref(value);
    g_variant_unref(reply);
    return out;
  }

  // Clicks the status menu's top-level entry with that label, once the menu
  // has it, as the desktop's menu would.
  void click(const std::string& label) {
    std::optional<gint32> id;
    waitUntil([&] {
      GVariant* reply =
          call(menuPath, "com.canonical.dbusmenu", "GetLayout",
               g_variant_new("(ii@as)", 0, 1, g_variant_new_strv(nullptr, 0)), "(u(ia{sv}av))");
      GVariantIter* children = nullptr;
      g_variant_get(reply, "(u(ia{sv}av))", nullptr, nullptr, nullptr, &children);
      GVariant* child = nullptr;
      while (g_variant_iter_loop(children, "v", &child)) {
        gint32 entry = 0;
        GVariant* props = nullptr;
        g_variant_get(child, "(i@a{sv}@av)", &entry, &props, nullptr);
        const gchar* text = nullptr;
        if (g_variant_lookup(props, "label", "&s", &text) && label == text) id = entry;
        g_variant_unref(props);
      }
      g_variant_iter_free(children);
      g_variant_unref(reply);
      return id.has_value();
    });
    ASSERT_TRUE(id) << "no status item " << label;
    GVariant* reply =
        call(menuPath, "com.canonical.dbusmenu", "Event",
             g_variant_new("(isvu)", *id, "clicked", g_variant_new_int32(0), 0u), "()");
    if (reply) g_variant_unref(reply);
  }

  TestServer server;
  ClientProcess client{server.url()};
  // The status area and the launcher: items logged as [owner, path],
  // badges as [desktop entry, count].
  std::optional<FakeDesktop> shell;
  GDBusConnection* bus = nullptr;
  std::string itemOwner, itemPath, menuPath;
};

}  // namespace

TEST_F(ShellClientTest, StatusItemReopensTheWindowShowsTheBadgeAndQuits) {
  client.start();
  ASSERT_TRUE(waitUntil([&] { return !shell->calls("Item").empty(); }, std::chrono::seconds(30)))
      << "the status item never registered";
  itemOwner = shell->calls("Item")[0][0];
  itemPath = shell->calls("Item")[0][1];
  EXPECT_EQ(itemProperty("Title"), "Vuko");
  EXPECT_EQ(itemProperty("IconName"), "vuko-status");
  menuPath = itemProperty("Menu");
  ASSERT_FALSE(menuPath.empty());

  // The first refresh comes a few seconds after start with the page's token.
  ASSERT_TRUE(waitUntil([&] { return !shell->calls("Badge").empty(); }, std::chrono::seconds(20)));
  EXPECT_EQ(shell->calls("Badge").back(), nlohmann::json({"application://vuko.desktop", 7}));
  EXPECT_EQ(itemProperty("XAyatanaLabel"), "7");
  bool authorised = false;
  for (const auto& r : server.received())
    if (r.path == "/api/tasks/counts") authorised = r.headers.at("authorization") == "Bearer tok-7";
  EXPECT_TRUE(authorised);

  // Closing the window leaves the client running; the status menu brings
  // the window back.
  ASSERT_TRUE(activate(windowNamed("Vuko")));
  runSync({"xdotool", "key", "alt+F4"});
  ASSERT_TRUE(waitUntil([&] { return !visible("Vuko"); }));
  EXPECT_FALSE(client.exited());
  click("Открыть «Vuko»");
  EXPECT_TRUE(waitUntil([&] { return visible("Vuko"); }));

  click("Выйти из «Vuko»");
  EXPECT_TRUE(client.exitsCleanly(std::chrono::seconds(20)));
}

// The real client process with a status area and a launcher on the private
// session bus: a watcher in this process that the status item registers
// with, whose menu is read and clicked over D-Bus, and a listener for the
// launcher badge.
#include <gio/gio.h>
#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Desktop.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko::test;

namespace {

constexpr const char* kWatcherXml =
    "<node><interface name='org.kde.StatusNotifierWatcher'>"
    "<method name='RegisterStatusNotifierItem'><arg type='s' direction='in'/></method>"
    "<method name='RegisterStatusNotifierHost'><arg type='s' direction='in'/></method>"
    "<property name='RegisteredStatusNotifierItems' type='as' access='read'/>"
    "<property name='IsStatusNotifierHostRegistered' type='b' access='read'/>"
    "<property name='ProtocolVersion' type='i' access='read'/>"
    "<signal name='StatusNotifierItemRegistered'><arg type='s'/></signal>"
    "</interface></node>";

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
    ASSERT_TRUE(bus);
    startWatcher();
    badgeSubscription = g_dbus_connection_signal_subscribe(
        bus, nullptr, "com.canonical.Unity.LauncherEntry", "Update", nullptr, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* p,
           gpointer self) {
          const gchar* app = nullptr;
          GVariant* props = nullptr;
          g_variant_get(p, "(&s@a{sv})", &app, &props);
          gint64 count = -1;
          gboolean shown = FALSE;
          g_variant_lookup(props, "count", "x", &count);
          g_variant_lookup(props, "count-visible", "b", &shown);
          g_variant_unref(props);
          static_cast<ShellClientTest*>(self)->badges.emplace_back(app, shown ? count : 0);
        },
        this, nullptr);
  }

  void TearDown() override {
    if (bus) {
      g_dbus_connection_signal_unsubscribe(bus, badgeSubscription);
      if (registration) g_dbus_connection_unregister_object(bus, registration);
      if (owner) g_bus_unown_name(owner);
      g_object_unref(bus);
    }
    if (info) g_dbus_node_info_unref(info);
  }

  void startWatcher() {
    info = g_dbus_node_info_new_for_xml(kWatcherXml, nullptr);
    static const GDBusInterfaceVTable vtable{
        [](GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
           GVariant* params, GDBusMethodInvocation* call, gpointer self) {
          auto* t = static_cast<ShellClientTest*>(self);
          if (std::string(method) == "RegisterStatusNotifierItem") {
            const gchar* path = nullptr;
            g_variant_get(params, "(&s)", &path);
            t->itemOwner = sender;
            t->itemPath = path && path[0] == '/' ? path : "/StatusNotifierItem";
          }
          g_dbus_method_invocation_return_value(call, nullptr);
        },
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property,
           GError**, gpointer self) -> GVariant* {
          auto* t = static_cast<ShellClientTest*>(self);
          std::string p = property;
          if (p == "IsStatusNotifierHostRegistered") return g_variant_new_boolean(TRUE);
          if (p == "ProtocolVersion") return g_variant_new_int32(0);
          std::string item = t->itemOwner + t->itemPath;
          const gchar* items[] = {item.c_str(), nullptr};
          return g_variant_new_strv(t->itemOwner.empty() ? nullptr : items, -1);
        },
        nullptr,
        {}};
    registration = g_dbus_connection_register_object(
        bus, "/StatusNotifierWatcher", info->interfaces[0], &vtable, this, nullptr, nullptr);
    owner = g_bus_own_name_on_connection(
        bus, "org.kde.StatusNotifierWatcher", G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, gpointer self) {
          static_cast<ShellClientTest*>(self)->watching = true;
        },
        nullptr, this, nullptr);
    ASSERT_TRUE(waitUntil([&] { return watching; }));
  }

  void start() {
    client.start();
    ASSERT_TRUE(waitUntil([&] { return visible("Vuko"); }, std::chrono::seconds(30)));
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
  GDBusConnection* bus = nullptr;
  GDBusNodeInfo* info = nullptr;
  guint registration = 0, owner = 0, badgeSubscription = 0;
  bool watching = false;
  std::string itemOwner, itemPath, menuPath;
  std::vector<std::pair<std::string, gint64>> badges;  // desktop entry, count
};

}  // namespace

TEST_F(ShellClientTest, StatusItemReopensTheWindowShowsTheBadgeAndQuits) {
  start();
  ASSERT_TRUE(waitUntil([&] { return !itemOwner.empty(); }, std::chrono::seconds(20)))
      << "the status item never registered";
  EXPECT_EQ(itemProperty("Title"), "Vuko");
  EXPECT_EQ(itemProperty("IconName"), "vuko-status");
  menuPath = itemProperty("Menu");
  ASSERT_FALSE(menuPath.empty());

  // The first refresh comes a few seconds after start with the page's token.
  ASSERT_TRUE(waitUntil([&] { return !badges.empty(); }, std::chrono::seconds(20)));
  EXPECT_EQ(badges.back(), std::make_pair(std::string("application://vuko.desktop"), gint64(7)));
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

// The launcher badge as the desktop hears it: the launcher-entry signal on
// the session bus.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/DockTile.h"
#include "support/Wait.h"

using namespace vuko;
using namespace vuko::test;

TEST(LauncherEntryTest, LabelsBecomeCountsForTheDesktopEntry) {
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "needs a session bus";
  struct Update {
    std::string app;
    gint64 count;
    bool shown;
  };
  std::vector<Update> updates;
  GError* error = nullptr;
  // A connection of its own, as a launcher in another process would have.
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  GDBusConnection* launcher = g_dbus_connection_new_for_address_sync(
      address,
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  g_free(address);
  ASSERT_TRUE(launcher) << (error ? error->message : "");
  guint id = g_dbus_connection_signal_subscribe(
      launcher, nullptr, "com.canonical.Unity.LauncherEntry", "Update", nullptr, nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* p,
         gpointer out) {
        const gchar* app = nullptr;
        GVariant* props = nullptr;
        g_variant_get(p, "(&s@a{sv})", &app, &props);
        Update u{app, -1, false};
        gboolean shown = FALSE;
        g_variant_lookup(props, "count", "x", &u.count);
        g_variant_lookup(props, "count-visible", "b", &shown);
        u.shown = shown;
        g_variant_unref(props);
        static_cast<std::vector<Update>*>(out)->push_back(u);
      },
      &updates, nullptr);
  // The match rule is in force once a round trip has been made.
  GVariant* reply = g_dbus_connection_call_sync(
      launcher, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId",
      nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  if (reply) g_variant_unref(reply);

  struct Case {
    std::optional<std::string> label;
    gint64 count;
    bool shown;
  } cases[] = {
      {"12", 12, true},
      {std::nullopt, 0, false},
      {"500", 500, true},
      // Anything but a count above zero shows no badge.
      {"0", 0, false},
      {"-3", 0, false},
      {"12a", 0, false},
      {"", 0, false},
      {"7", 7, true},
  };
  for (const auto& c : cases) {
    size_t before = updates.size();
    DockTile::setBadgeLabel(c.label);
    EXPECT_EQ(DockTile::badgeLabel(), c.label);
    ASSERT_TRUE(waitUntil([&] { return updates.size() > before; })) << c.label.value_or("none");
    EXPECT_EQ(updates.back().app, "application://vuko.desktop");
    EXPECT_EQ(updates.back().count, c.count) << c.label.value_or("none");
    EXPECT_EQ(updates.back().shown, c.shown) << c.label.value_or("none");
  }
  g_dbus_connection_signal_unsubscribe(launcher, id);
  g_object_unref(launcher);
}

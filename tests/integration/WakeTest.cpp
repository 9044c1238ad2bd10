// Wake reports from a login manager on a private system bus, and keep-awake
// through a session manager on the session bus.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <string>

#include "platform/Activity.h"
#include "platform/Wake.h"
#include "support/FakeDesktop.h"
#include "support/Wait.h"

namespace vuko::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

TEST(Wake, PrepareForSleepFalseIsAWake) {
  // A second message bus, made the system bus of this process.
  GTestDBus* system = g_test_dbus_new(G_TEST_DBUS_NONE);
  g_test_dbus_up(system);
  setenv("DBUS_SYSTEM_BUS_ADDRESS", g_test_dbus_get_bus_address(system), 1);
  int wakes = 0;
  WakeMonitor monitor([&] { ++wakes; });
  // The login manager: owns its name and announces sleep and wake.
  GDBusConnection* login = g_dbus_connection_new_for_address_sync(
      g_test_dbus_get_bus_address(system),
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  ASSERT_TRUE(login);
  g_bus_own_name_on_connection(login, "org.freedesktop.login1", G_BUS_NAME_OWNER_FLAGS_NONE,
                               nullptr, nullptr, nullptr, nullptr);
  auto emit = [&](bool sleeping) {
    g_dbus_connection_emit_signal(login, nullptr, "/org/freedesktop/login1",
                                  "org.freedesktop.login1.Manager", "PrepareForSleep",
                                  g_variant_new("(b)", sleeping), nullptr);
  };
  // The monitor subscribes once its bus is there; announce until it hears.
  ASSERT_TRUE(waitUntil(
      [&] {
        emit(true);
        emit(false);
        spin(50ms);
        return wakes > 0;
      },
      30s));
  int before = wakes;
  emit(true);
  emit(false);
  EXPECT_TRUE(waitUntil([&] { return wakes == before + 1; }));
  g_object_unref(login);
  g_test_dbus_stop(system);
  g_object_unref(system);
}

// GTK 3 asks org.gnome.SessionManager to keep the machine awake when that
// name has an owner at start-up, and the desktop portal only otherwise.
TEST(KeepAwake, HoldsAreCountedAndOnlyTheFirstAsksTheDesktop) {
  if (!gdk_display_get_default() || !std::getenv("DBUS_SESSION_BUS_ADDRESS"))
    GTEST_SKIP() << "needs a display and a session bus";
  FakeDesktop manager("session");
  GtkApplication* app = gtk_application_new("app.vuko.KeepAwakeTest", G_APPLICATION_NON_UNIQUE);
  ASSERT_TRUE(g_application_register(G_APPLICATION(app), nullptr, nullptr));
  for (const char* reason : {"a", "b"}) Activity::current().hold(reason);
  for (int i = 0; i < 3; ++i) Activity::current().release();  // one too many: nothing to undo
  ASSERT_TRUE(waitUntil([&] { return manager.calls("Uninhibit").size() == 1; }));
  // A hold that asks again after them is the sentinel that no other call came.
  Activity::current().hold("c");
  ASSERT_TRUE(waitUntil([&] { return manager.calls("Inhibit").size() == 2; }));
  const json flags = GTK_APPLICATION_INHIBIT_SUSPEND;
  EXPECT_EQ(manager.calls("Inhibit"),
            (std::vector<json>{json::array({flags, "a"}), json::array({flags, "c"})}));
  EXPECT_EQ(manager.calls("Uninhibit"), std::vector<json>{json::array({1})});
  Activity::current().release();
  g_object_unref(app);
}

}  // namespace
}  // namespace vuko::test

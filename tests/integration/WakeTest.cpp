// Wake reports from a login manager on a private system bus.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/Wake.h"
#include "support/Wait.h"

namespace vuko::test {
namespace {

using namespace std::chrono_literals;

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

}  // namespace
}  // namespace vuko::test

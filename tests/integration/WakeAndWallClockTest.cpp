// Wake reports from a login manager on a private system bus, and wall-clock
// appointments on the real clock.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Wake.h"
#include "platform/WallClock.h"
#include "support/Wait.h"

namespace vuko::test {
namespace {

using namespace std::chrono_literals;

// A second message bus, made the system bus of this process.
class PrivateSystemBus {
 public:
  PrivateSystemBus() {
    FILE* p = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
    if (!p) return;
    char line[512] = {};
    if (fgets(line, sizeof line, p)) address_ = line;
    char pid[32] = {};
    if (fgets(pid, sizeof pid, p)) pid_ = std::atoi(pid);
    pclose(p);
    while (!address_.empty() && (address_.back() == '\n')) address_.pop_back();
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
  }
  ~PrivateSystemBus() {
    if (pid_ > 0) kill(pid_, SIGTERM);
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  }
  const std::string& address() const { return address_; }

 private:
  std::string address_;
  int pid_ = 0;
};

TEST(Wake, PrepareForSleepFalseIsAWake) {
  PrivateSystemBus system;
  ASSERT_FALSE(system.address().empty());
  int wakes = 0;
  WakeMonitor monitor([&] { ++wakes; });
  // The login manager: owns its name and announces sleep and wake.
  GDBusConnection* login = g_dbus_connection_new_for_address_sync(
      system.address().c_str(),
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  ASSERT_TRUE(login);
  GVariant* r = g_dbus_connection_call_sync(
      login, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", "org.freedesktop.login1", 4u), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  ASSERT_TRUE(r);
  g_variant_unref(r);
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
}

TEST(Wake, NoSystemBusIsQuiet) {
  setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/vuko-test-bus", 1);
  int wakes = 0;
  {
    WakeMonitor monitor([&] { ++wakes; });
    spin(200ms);
  }
  unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  EXPECT_EQ(wakes, 0);
}

TEST(WallClock, AppointmentsFireAtTheirMoment) {
  SystemWallClock wall;
  auto start = wall.now();
  std::vector<std::string> fired;
  auto later = wall.at(start + 400ms, [&] { fired.push_back("later"); });
  auto past = wall.at(start - 1h, [&] { fired.push_back("past"); });
  auto cancelled = wall.at(start + 200ms, [&] { fired.push_back("cancelled"); });
  cancelled.cancel();
  ASSERT_TRUE(waitUntil([&] { return fired.size() == 2; }));
  EXPECT_EQ(fired, (std::vector<std::string>{"past", "later"}));
  EXPECT_GE(wall.now(), start + 400ms);
}

}  // namespace
}  // namespace vuko::test

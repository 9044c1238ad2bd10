// Desktop services of tests/support/fake_desktop.py on the session bus (a
// notification server, a file manager, a status-item watcher), with what
// they were asked; and a private session bus for one test.
#pragma once

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <string>
#include <vector>

#include "support/Wait.h"

namespace vuko::test {

class FakeDesktop {
 public:
  // role and its arguments, as fake_desktop.py takes them.
  explicit FakeDesktop(const std::string& role, const std::vector<std::string>& args = {})
      : log_(tempDir("fake") + "/log") {
    std::vector<const char*> argv{"/usr/bin/python3",
                                  VUKO_SOURCE_DIR "/tests/support/fake_desktop.py", log_.c_str(),
                                  role.c_str()};
    for (const auto& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    process_ = g_subprocess_newv(argv.data(), G_SUBPROCESS_FLAGS_NONE, nullptr);
    EXPECT_TRUE(waitUntil([&] { return !lines().empty(); }, std::chrono::seconds(30)))
        << "the fake " << role << " did not start";
  }
  ~FakeDesktop() {
    if (!process_) return;
    g_subprocess_force_exit(process_);
    g_subprocess_wait(process_, nullptr, nullptr);
    g_object_unref(process_);
  }
  FakeDesktop(const FakeDesktop&) = delete;
  FakeDesktop& operator=(const FakeDesktop&) = delete;

  // The calls of that kind in order, each without its name: [id, ...].
  std::vector<nlohmann::json> calls(const std::string& kind) const {
    std::vector<nlohmann::json> out;
    for (auto& line : lines())
      if (line[0] == kind) {
        line.erase(0);
        out.push_back(std::move(line));
      }
    return out;
  }

  // The user clicked notification id's button key ("default" for the body);
  // a non-empty activationToken is sent first.
  void invoke(std::uint32_t id, const std::string& key, const std::string& activationToken = {}) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GVariant* r = g_dbus_connection_call_sync(
        bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications", "test.Fake",
        "Invoke", g_variant_new("(uss)", id, key.c_str(), activationToken.c_str()), nullptr,
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    EXPECT_TRUE(r);
    if (r) g_variant_unref(r);
    g_object_unref(bus);
  }

 private:
  std::vector<nlohmann::json> lines() const {
    std::vector<nlohmann::json> out;
    std::ifstream in(log_);
    // A line being written is not an array yet.
    for (std::string line; std::getline(in, line);)
      if (auto call = nlohmann::json::parse(line, nullptr, false); call.is_array())
        out.push_back(std::move(call));
    return out;
  }

  std::string log_;
  GSubprocess* process_ = nullptr;
};

// A private session bus with no activatable services, for one test.
class PrivateBus {
 public:
  PrivateBus() : bus_(g_test_dbus_new(G_TEST_DBUS_NONE)) {
    // Up clears the display too, which the tests' own programs still need.
    std::string display = g_getenv("DISPLAY") ? g_getenv("DISPLAY") : "";
    g_test_dbus_up(bus_);
    if (!display.empty()) g_setenv("DISPLAY", display.c_str(), TRUE);
    // The test's own shared connection, held while the bus runs: by default
    // its worker thread raises SIGTERM when the bus goes, which could end the
    // test between the bus's stop and the test's end.
    connection_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (connection_) g_dbus_connection_set_exit_on_close(connection_, FALSE);
  }
  ~PrivateBus() {
    // Let go first: stopping waits for the last reference to the connection.
    if (connection_) g_object_unref(connection_);
    // Stop rather than down: the client's shared connection may outlive the test.
    g_test_dbus_stop(bus_);
    g_object_unref(bus_);
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

 private:
  GTestDBus* bus_;
  GDBusConnection* connection_ = nullptr;
};

}  // namespace vuko::test

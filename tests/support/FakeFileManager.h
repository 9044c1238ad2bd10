// A file manager on the session bus that records which files it was asked to
// show. It has a bus connection of its own, so that the client's calls really
// travel through the bus; both ends run on this thread's main loop.
#pragma once

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/Wait.h"

namespace vuko::test {

class FakeFileManager {
 public:
  // fail: answer every call with an error, as a broken file manager would.
  explicit FakeFileManager(bool fail = false) : fail_(fail) {
    GError* error = nullptr;
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    connection_ = address
                      ? g_dbus_connection_new_for_address_sync(
                            address,
                            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                            nullptr, nullptr, &error)
                      : nullptr;
    if (!connection_) {
      ADD_FAILURE() << (error ? error->message : "no session bus");
      g_clear_error(&error);
      return;
    }
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
    static const GDBusInterfaceVTable vtable{&FakeFileManager::called, nullptr, nullptr, {}};
    registration_ = g_dbus_connection_register_object(connection_, kPath, node->interfaces[0],
                                                      &vtable, this, nullptr, &error);
    g_dbus_node_info_unref(node);
    if (!registration_) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
      return;
    }
    owner_ = g_bus_own_name_on_connection(
        connection_, "org.freedesktop.FileManager1", G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const char*, gpointer self) {
          static_cast<FakeFileManager*>(self)->owned_ = true;
        },
        nullptr, this, nullptr);
    EXPECT_TRUE(waitUntil([&] { return owned_; }));
  }

  ~FakeFileManager() {
    if (owner_) g_bus_unown_name(owner_);
    if (registration_) g_dbus_connection_unregister_object(connection_, registration_);
    if (connection_) {
      g_dbus_connection_close_sync(connection_, nullptr, nullptr);
      g_object_unref(connection_);
    }
  }

  FakeFileManager(const FakeFileManager&) = delete;
  FakeFileManager& operator=(const FakeFileManager&) = delete;

  // The URIs of every ShowItems call, one list per call.
  const std::vector<std::vector<std::string>>& shown() const { return shown_; }

 private:
  static constexpr const char* kPath = "/org/freedesktop/FileManager1";
  static constexpr const char* kInterface = R"(<node>
  <interface name='org.freedesktop.FileManager1'>
    <method name='ShowItems'>
      <arg type='as' name='URIs' direction='in'/>
      <arg type='s' name='StartupId' direction='in'/>
    </method>
  </interface>
</node>)";

  static void called(GDBusConnection*, const char*, const char*, const char*, const char*,
                     GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    gchar** uris = nullptr;
    g_variant_get(parameters, "(^as&s)", &uris, nullptr);
    auto* self = static_cast<FakeFileManager*>(data);
    self->shown_.emplace_back(uris, uris + g_strv_length(uris));
    g_strfreev(uris);
    if (self->fail_)
      g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.Failed",
                                                 "cannot show");
    else
      g_dbus_method_invocation_return_value(invocation, nullptr);
  }

  bool fail_;
  GDBusConnection* connection_ = nullptr;
  guint registration_ = 0, owner_ = 0;
  bool owned_ = false;
  std::vector<std::vector<std::string>> shown_;
};

}  // namespace vuko::test

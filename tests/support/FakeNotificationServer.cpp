#include "support/FakeNotificationServer.h"

#include <gio/gio.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace vuko::test {

namespace {

const char* introspection = R"(
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="GetServerInformation">
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
    </method>
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="out"/>
    </method>
    <method name="CloseNotification"><arg type="u" direction="in"/></method>
    <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
    <signal name="ActivationToken"><arg type="u"/><arg type="s"/></signal>
    <signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
  </interface>
</node>)";

}  // namespace

struct FakeNotificationServer::Impl {
  std::vector<std::string> caps;
  mutable std::mutex lock;
  std::vector<Call> calls;
  std::vector<std::uint32_t> closed;
  std::uint32_t next = 1;
  std::atomic<bool> owned{false};
  GMainContext* context = g_main_context_new();
  GMainLoop* loop = g_main_loop_new(context, FALSE);
  GDBusConnection* conn = nullptr;
  std::thread thread;

  void run() {
    g_main_context_push_thread_default(context);
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (address)
      conn = g_dbus_connection_new_for_address_sync(
          address,
          GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                               G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
          nullptr, nullptr, nullptr);
    g_free(address);
    if (conn) {
      GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, nullptr);
      static const GDBusInterfaceVTable vtable = {
          [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
             GVariant* params, GDBusMethodInvocation* inv,
             gpointer p) { static_cast<Impl*>(p)->method(method, params, inv); },
          nullptr,
          nullptr,
          {}};
      g_dbus_connection_register_object(conn, "/org/freedesktop/Notifications", node->interfaces[0],
                                        &vtable, this, nullptr, nullptr);
      g_dbus_node_info_unref(node);
      GVariant* r = g_dbus_connection_call_sync(
          conn, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
          "RequestName", g_variant_new("(su)", "org.freedesktop.Notifications", 4u),
          G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
      if (r) {
        guint32 code = 0;
        g_variant_get(r, "(u)", &code);
        owned = code == 1;
        g_variant_unref(r);
      }
    }
    g_main_loop_run(loop);
    if (conn) {
      g_dbus_connection_flush_sync(conn, nullptr, nullptr);
      g_dbus_connection_close_sync(conn, nullptr, nullptr);
      g_object_unref(conn);
    }
    g_main_context_pop_thread_default(context);
  }

  void method(const std::string& name, GVariant* params, GDBusMethodInvocation* inv) {
    if (name == "GetServerInformation") {
      g_dbus_method_invocation_return_value(inv,
                                            g_variant_new("(ssss)", "test", "vuko", "1", "1.2"));
    } else if (name == "GetCapabilities") {
      GVariantBuilder b;
      g_variant_builder_init(&b, G_VARIANT_TYPE("as"));
      for (const auto& c : caps) g_variant_builder_add(&b, "s", c.c_str());
      g_dbus_method_invocation_return_value(inv, g_variant_new("(as)", &b));
    } else if (name == "Notify") {
      Call c;
      const gchar *app, *icon, *summary, *body;
      GVariantIter *actions, *hints;
      gint32 timeout;
      g_variant_get(params, "(&su&s&s&sasa{sv}i)", &app, &c.replaces, &icon, &summary, &body,
                    &actions, &hints, &timeout);
      c.appName = app;
      c.icon = icon;
      c.summary = summary;
      c.body = body;
      const gchar* a;
      while (g_variant_iter_loop(actions, "&s", &a)) c.actions.push_back(a);
      const gchar* k;
      GVariant* v;
      while (g_variant_iter_loop(hints, "{&sv}", &k, &v))
        if (g_variant_is_of_type(v, G_VARIANT_TYPE_STRING))
          c.hints[k] = g_variant_get_string(v, nullptr);
      g_variant_iter_free(actions);
      g_variant_iter_free(hints);
      {
        std::lock_guard g(lock);
        c.id = c.replaces ? c.replaces : next++;
        calls.push_back(c);
      }
      g_dbus_method_invocation_return_value(inv, g_variant_new("(u)", c.id));
    } else if (name == "CloseNotification") {
      guint32 id = 0;
      g_variant_get(params, "(u)", &id);
      {
        std::lock_guard g(lock);
        closed.push_back(id);
      }
      g_dbus_method_invocation_return_value(inv, nullptr);
    }
  }
};

FakeNotificationServer::FakeNotificationServer(std::vector<std::string> capabilities)
    : impl_(std::make_unique<Impl>()) {
  impl_->caps = std::move(capabilities);
  impl_->thread = std::thread([this] { impl_->run(); });
}

FakeNotificationServer::~FakeNotificationServer() {
  g_main_context_invoke(
      impl_->context,
      [](gpointer p) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(p));
        return G_SOURCE_REMOVE;
      },
      impl_->loop);
  impl_->thread.join();
  g_main_loop_unref(impl_->loop);
  g_main_context_unref(impl_->context);
}

bool FakeNotificationServer::ready() const {
  return impl_->owned;
}

std::vector<FakeNotificationServer::Call> FakeNotificationServer::calls() const {
  std::lock_guard g(impl_->lock);
  return impl_->calls;
}

std::vector<std::uint32_t> FakeNotificationServer::closedByClient() const {
  std::lock_guard g(impl_->lock);
  return impl_->closed;
}

void FakeNotificationServer::invoke(std::uint32_t id, const std::string& key,
                                    const std::string& activationToken) {
  struct Args {
    Impl* impl;
    std::uint32_t id;
    std::string key, token;
  };
  g_main_context_invoke_full(
      impl_->context, G_PRIORITY_DEFAULT,
      [](gpointer p) -> gboolean {
        auto* a = static_cast<Args*>(p);
        auto emit = [&](const char* name, GVariant* v) {
          g_dbus_connection_emit_signal(a->impl->conn, nullptr, "/org/freedesktop/Notifications",
                                        "org.freedesktop.Notifications", name, v, nullptr);
        };
        if (!a->token.empty())
          emit("ActivationToken", g_variant_new("(us)", a->id, a->token.c_str()));
        emit("ActionInvoked", g_variant_new("(us)", a->id, a->key.c_str()));
        emit("NotificationClosed", g_variant_new("(uu)", a->id, 2u));
        return G_SOURCE_REMOVE;
      },
      new Args{impl_.get(), id, key, activationToken},
      [](gpointer p) { delete static_cast<Args*>(p); });
}

PrivateBus::PrivateBus() {
  GTestDBus* bus = g_test_dbus_new(G_TEST_DBUS_NONE);
  g_test_dbus_up(bus);
  bus_ = bus;
}

PrivateBus::~PrivateBus() {
  auto* bus = static_cast<GTestDBus*>(bus_);
  // Stop rather than down: the client's shared connection may outlive the test.
  g_test_dbus_stop(bus);
  g_object_unref(bus);
}

}  // namespace vuko::test

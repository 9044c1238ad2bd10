#include "platform/ShortcutPortal.h"

#include <gio/gio.h>

#include <set>
#include <utility>

namespace vuko {

namespace {

constexpr const char* kBusName = "org.freedesktop.portal.Desktop";
constexpr const char* kPath = "/org/freedesktop/portal/desktop";
constexpr const char* kShortcuts = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* kRegistry = "org.freedesktop.host.portal.Registry";
constexpr const char* kRequest = "org.freedesktop.portal.Request";
// The desktop may ask the user before it answers a request: the call itself
// returns at once, the Response signal comes when the user has decided.
constexpr int kCallTimeoutMs = 25000;

std::string lookupString(GVariant* dict, const char* key) {
  if (!dict || !g_variant_is_of_type(dict, G_VARIANT_TYPE_VARDICT)) return {};
  GVariant* value = g_variant_lookup_value(dict, key, nullptr);
  if (!value) return {};
  std::string out;
  // Portals have sent the session handle both as a string and as a path.
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ||
      g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH))
    out = g_variant_get_string(value, nullptr);
  g_variant_unref(value);
  return out;
}

// a(sa{sv}) → the ids with their trigger descriptions; anything else is empty.
std::vector<ShortcutPortal::Bound> boundList(GVariant* shortcuts) {
  std::vector<ShortcutPortal::Bound> out;
  if (!shortcuts || !g_variant_is_of_type(shortcuts, G_VARIANT_TYPE("a(sa{sv})"))) return out;
  GVariantIter iter;
  g_variant_iter_init(&iter, shortcuts);
  const char* id = nullptr;
  GVariant* props = nullptr;
  while (g_variant_iter_next(&iter, "(&s@a{sv})", &id, &props)) {
    out.push_back({id, lookupString(props, "trigger_description")});
    g_variant_unref(props);
  }
  return out;
}

}  // namespace

class DBusShortcutPortal final : public ShortcutPortal {
 public:
  DBusShortcutPortal();
  ~DBusShortcutPortal() override;
  void open(const std::string& appId, Ready ready) override;
  void bind(const std::vector<Shortcut>& shortcuts) override;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

struct DBusShortcutPortal::Impl : std::enable_shared_from_this<Impl> {
  using Done = std::function<void(guint32 response, GVariant* results)>;
  struct Waiting {
    std::weak_ptr<Impl> self;
    Done done;
    guint subscription = 0;
  };

  DBusShortcutPortal* owner;
  GDBusConnection* bus = nullptr;
  GCancellable* cancel = g_cancellable_new();
  std::string session;
  std::set<guint> subscriptions;
  unsigned tokens = 0;

  explicit Impl(DBusShortcutPortal* o) : owner(o) {}

  ~Impl() {
    g_cancellable_cancel(cancel);
    g_object_unref(cancel);
    if (!bus) return;
    for (guint s : subscriptions) g_dbus_connection_signal_unsubscribe(bus, s);
    if (!session.empty())
      g_dbus_connection_call(bus, kBusName, session.c_str(), "org.freedesktop.portal.Session",
                             "Close", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                             nullptr, nullptr);
    g_object_unref(bus);
  }

  // A method call on the portal object; done gets the reply or null.
  void call(const char* iface, const char* method, GVariant* params,
            std::function<void(GVariant*)> done) {
    struct Call {
      std::weak_ptr<Impl> self;
      std::function<void(GVariant*)> done;
    };
    g_dbus_connection_call(
        bus, kBusName, kPath, iface, method, params, nullptr, G_DBUS_CALL_FLAGS_NONE,
        kCallTimeoutMs, cancel,
        [](GObject* src, GAsyncResult* res, gpointer p) {
          std::unique_ptr<Call> c(static_cast<Call*>(p));
          GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(src), res, nullptr);
          if (c->self.lock()) c->done(reply);
          if (reply) g_variant_unref(reply);
        },
        new Call{weak_from_this(), std::move(done)});
  }

  std::string newToken() { return "vuko" + std::to_string(++tokens); }

  // A portal request: the answer comes as the Response signal on the request
  // object, whose path the handle token fixes, so it is subscribed first.
  void request(const char* method, const std::string& token, GVariant* args, Done done) {
    std::string sender = g_dbus_connection_get_unique_name(bus);
    if (!sender.empty() && sender[0] == ':') sender.erase(0, 1);
    for (char& c : sender)
      if (c == '.') c = '_';
    const std::string path = std::string(kPath) + "/request/" + sender + "/" + token;
    auto* waiting = new Waiting{weak_from_this(), std::move(done)};
    waiting->subscription = g_dbus_connection_signal_subscribe(
        bus, kBusName, kRequest, "Response", path.c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
           GVariant* params, gpointer p) {
          auto* w = static_cast<Waiting*>(p);
          auto self = w->self.lock();
          if (!self || !g_variant_is_of_type(params, G_VARIANT_TYPE("(ua{sv})"))) return;
          Done answer = std::move(w->done);
          self->forget(w->subscription);
          guint32 response = 2;
          GVariant* results = nullptr;
          g_variant_get(params, "(u@a{sv})", &response, &results);
          if (answer) answer(response, results);
          g_variant_unref(results);
        },
        waiting, [](gpointer p) { delete static_cast<Waiting*>(p); });
    const guint subscription = waiting->subscription;
    subscriptions.insert(subscription);
    call(kShortcuts, method, args, [this, subscription, waiting](GVariant* reply) {
      if (reply) return;
      // Refused outright: no Response will come.
      if (!subscriptions.contains(subscription)) return;
      Done answer = std::move(waiting->done);
      forget(subscription);
      if (answer) answer(2, nullptr);
    });
  }

  void forget(guint subscription) {
    if (subscriptions.erase(subscription)) g_dbus_connection_signal_unsubscribe(bus, subscription);
  }

  void signal(const char* name, GDBusSignalCallback callback) {
    subscriptions.insert(g_dbus_connection_signal_subscribe(bus, kBusName, kShortcuts, name, kPath,
                                                            nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                            callback, this, nullptr));
  }

  void listen() {
    signal("Activated", [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                           GVariant* params, gpointer p) {
      auto* self = static_cast<Impl*>(p);
      if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(osta{sv})"))) return;
      const char* handle = nullptr;
      const char* id = nullptr;
      guint64 timestamp = 0;
      GVariant* options = nullptr;
      g_variant_get(params, "(&o&st@a{sv})", &handle, &id, &timestamp, &options);
      const std::string token = lookupString(options, "activation_token");
      g_variant_unref(options);
      if (self->session == handle && self->owner->onActivated) self->owner->onActivated(id, token);
    });
    signal("ShortcutsChanged", [](GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                  const gchar*, GVariant* params, gpointer p) {
      auto* self = static_cast<Impl*>(p);
      if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(oa(sa{sv}))"))) return;
      const char* handle = nullptr;
      GVariant* list = nullptr;
      g_variant_get(params, "(&o@a(sa{sv}))", &handle, &list);
      auto bound = boundList(list);
      g_variant_unref(list);
      if (self->session == handle && self->owner->onBound) self->owner->onBound(bound);
    });
  }

  void introspected(GVariant* reply, const std::string& appId, Ready ready) {
    const char* xml = nullptr;
    if (reply && g_variant_is_of_type(reply, G_VARIANT_TYPE("(s)")))
      g_variant_get(reply, "(&s)", &xml);
    GDBusNodeInfo* node = xml ? g_dbus_node_info_new_for_xml(xml, nullptr) : nullptr;
    const bool offered = node && g_dbus_node_info_lookup_interface(node, kShortcuts);
    const bool registry = node && g_dbus_node_info_lookup_interface(node, kRegistry);
    if (node) g_dbus_node_info_unref(node);
    if (!offered) {
      ready(false);
      return;
    }
    if (!registry) {
      createSession(std::move(ready));
      return;
    }
    // A refused registration leaves the portal to identify the client itself.
    call(kRegistry, "Register", g_variant_new("(sa{sv})", appId.c_str(), nullptr),
         [this, ready = std::move(ready)](GVariant*) mutable { createSession(std::move(ready)); });
  }

  void createSession(Ready ready) {
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    const std::string token = newToken();
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    g_variant_builder_add(&options, "{sv}", "session_handle_token",
                          g_variant_new_string(newToken().c_str()));
    request("CreateSession", token, g_variant_new("(a{sv})", &options),
            [this, ready = std::move(ready)](guint32 response, GVariant* results) {
              if (response == 0) session = lookupString(results, "session_handle");
              if (!session.empty()) listen();
              ready(!session.empty());
            });
  }

  void bind(const std::vector<Shortcut>& shortcuts) {
    if (session.empty()) return;
    GVariantBuilder list;
    g_variant_builder_init(&list, G_VARIANT_TYPE("a(sa{sv})"));
    for (const auto& s : shortcuts) {
      GVariantBuilder props;
      g_variant_builder_init(&props, G_VARIANT_TYPE_VARDICT);
      g_variant_builder_add(&props, "{sv}", "description",
                            g_variant_new_string(s.description.c_str()));
      if (!s.preferredTrigger.empty())
        g_variant_builder_add(&props, "{sv}", "preferred_trigger",
                              g_variant_new_string(s.preferredTrigger.c_str()));
      g_variant_builder_add(&list, "(sa{sv})", s.id.c_str(), &props);
    }
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    const std::string token = newToken();
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    request("BindShortcuts", token,
            g_variant_new("(oa(sa{sv})sa{sv})", session.c_str(), &list, "", &options),
            [this](guint32 response, GVariant* results) {
              // A refusal (the user closed the desktop's dialog) changes nothing bound.
              if (response != 0 || !results) return;
              GVariant* shortcutsValue = g_variant_lookup_value(results, "shortcuts", nullptr);
              auto bound = boundList(shortcutsValue);
              if (shortcutsValue) g_variant_unref(shortcutsValue);
              if (owner->onBound) owner->onBound(bound);
            });
  }
};

DBusShortcutPortal::DBusShortcutPortal() : impl_(std::make_shared<Impl>(this)) {}
DBusShortcutPortal::~DBusShortcutPortal() = default;

void DBusShortcutPortal::open(const std::string& appId, Ready ready) {
  struct Opening {
    std::weak_ptr<Impl> self;
    std::string appId;
    Ready ready;
  };
  g_bus_get(
      G_BUS_TYPE_SESSION, impl_->cancel,
      [](GObject*, GAsyncResult* res, gpointer p) {
        std::unique_ptr<Opening> o(static_cast<Opening*>(p));
        GDBusConnection* conn = g_bus_get_finish(res, nullptr);
        auto self = o->self.lock();
        if (!self || !conn) {
          if (conn) g_object_unref(conn);
          if (self) o->ready(false);
          return;
        }
        if (self->bus) g_object_unref(self->bus);
        self->bus = conn;
        self->call("org.freedesktop.DBus.Introspectable", "Introspect", nullptr,
                   [self = self.get(), appId = o->appId, ready = o->ready](GVariant* reply) {
                     self->introspected(reply, appId, ready);
                   });
      },
      new Opening{impl_, appId, std::move(ready)});
}

void DBusShortcutPortal::bind(const std::vector<Shortcut>& shortcuts) {
  impl_->bind(shortcuts);
}

std::shared_ptr<ShortcutPortal> ShortcutPortal::sessionBus() {
  return std::make_shared<DBusShortcutPortal>();
}

}  // namespace vuko

#include "platform/NotificationCenter.h"

#include <gio/gio.h>

#include <cstdlib>
#include <map>

#include "platform/Clock.h"
#include "platform/PendingNotifications.h"
#include "platform/WallClock.h"

namespace vuko {

namespace {

constexpr const char* busName = "org.freedesktop.Notifications";
constexpr const char* objectPath = "/org/freedesktop/Notifications";
constexpr int callTimeoutMs = 10000;

std::shared_ptr<NotificationCenter>& currentCenter() {
  static std::shared_ptr<NotificationCenter> c;
  return c;
}

}  // namespace

NotificationCenter& NotificationCenter::current() {
  auto& c = currentCenter();
  if (!c) c = std::make_shared<DesktopNotificationCenter>();
  return *c;
}

void NotificationCenter::setCurrent(std::shared_ptr<NotificationCenter> c) {
  currentCenter() = std::move(c);
}

std::optional<std::filesystem::path> DesktopNotificationCenter::defaultStore() {
  return std::filesystem::path(g_get_user_state_dir()) / "vuko" / "notifications.json";
}

struct DesktopNotificationCenter::Impl : std::enable_shared_from_this<Impl> {
  DesktopNotificationCenter* owner;
  Options options;
  WallClock& wall;
  PendingNotifications pending;

  std::map<std::string, std::vector<NotificationAction>> categories;
  // Shown notifications: ours by request id, and the server's ids back.
  std::map<std::string, guint32> shownIds;
  std::map<guint32, NotificationRequest> shown;
  // ActivationToken arrives just before the ActionInvoked it belongs to.
  std::map<guint32, std::string> activationTokens;

  GDBusConnection* bus = nullptr;
  bool connecting = false;
  bool actionsCapability = false;
  bool markupCapability = false;
  std::vector<std::function<void()>> waiting;
  std::vector<guint> subscriptions;
  GCancellable* cancel = g_cancellable_new();

  Impl(DesktopNotificationCenter* o, Options opts)
      : owner(o),
        options(std::move(opts)),
        wall(options.wall ? *options.wall : WallClock::main()),
        pending(wall, options.store) {
    // On the wall clock's own turn: the request is recorded as it is shown.
    pending.onDue = [this](NotificationRequest request) {
      if (owner->onDue && owner->onDue(request)) return;
      if (owner->onDelivered) owner->onDelivered(request);
      deliver(std::move(request));
    };
  }

  ~Impl() {
    g_cancellable_cancel(cancel);
    g_object_unref(cancel);
    if (bus) {
      for (guint s : subscriptions) g_dbus_connection_signal_unsubscribe(bus, s);
      g_object_unref(bus);
    }
  }

  // Runs a callback of the owner on a later turn of the main loop: the
  // event may have come from inside one of the client's own steps.
  void post(std::function<void(DesktopNotificationCenter&)> f) {
    std::weak_ptr<Impl> weak = weak_from_this();
    // The process-wide clock is looked up each time: a test may replace it.
    Clock& loop = options.loop ? *options.loop : Clock::main();
    loop.defer([weak, f = std::move(f)] {
      if (auto self = weak.lock()) f(*self->owner);
    });
  }

  // Runs then once the session bus is there (or known to be absent).
  void withBus(std::function<void()> then) {
    if (bus) {
      then();
      return;
    }
    waiting.push_back(std::move(then));
    if (connecting) return;
    connecting = true;
    auto* weak = new std::weak_ptr<Impl>(weak_from_this());
    g_bus_get(
        G_BUS_TYPE_SESSION, cancel,
        [](GObject*, GAsyncResult* res, gpointer p) {
          std::unique_ptr<std::weak_ptr<Impl>> w(static_cast<std::weak_ptr<Impl>*>(p));
          GDBusConnection* conn = g_bus_get_finish(res, nullptr);
          auto self = w->lock();
          if (!self) {
            if (conn) g_object_unref(conn);
            return;
          }
          self->connected(conn);
        },
        weak);
  }

  void connected(GDBusConnection* conn) {
    connecting = false;
    bus = conn;
    if (bus) subscribe();
    auto queue = std::move(waiting);
    for (auto& f : queue) f();
  }

  void subscribe() {
    auto signal = [&](const char* name, GDBusSignalCallback cb) {
      subscriptions.push_back(
          g_dbus_connection_signal_subscribe(bus, busName, busName, name, objectPath, nullptr,
                                             G_DBUS_SIGNAL_FLAGS_NONE, cb, this, nullptr));
    };
    signal("ActionInvoked", [](GDBusConnection*, const gchar*, const gchar*, const gchar*,
                               const gchar*, GVariant* params, gpointer data) {
      if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(us)"))) return;
      guint32 nid = 0;
      const gchar* key = nullptr;
      g_variant_get(params, "(u&s)", &nid, &key);
      static_cast<Impl*>(data)->actionInvoked(nid, key);
    });
    signal("ActivationToken", [](GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                 const gchar*, GVariant* params, gpointer data) {
      if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(us)"))) return;
      guint32 nid = 0;
      const gchar* token = nullptr;
      g_variant_get(params, "(u&s)", &nid, &token);
      auto* self = static_cast<Impl*>(data);
      if (self->shown.count(nid)) self->activationTokens[nid] = token;
    });
    signal("NotificationClosed", [](GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                    const gchar*, GVariant* params, gpointer data) {
      if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(uu)"))) return;
      guint32 nid = 0, reason = 0;
      g_variant_get(params, "(uu)", &nid, &reason);
      static_cast<Impl*>(data)->forget(nid);
    });
  }

  void forget(guint32 nid) {
    activationTokens.erase(nid);
    auto it = shown.find(nid);
    if (it == shown.end()) return;
    auto s = shownIds.find(it->second.id);
    if (s != shownIds.end() && s->second == nid) shownIds.erase(s);
    shown.erase(it);
  }

  void actionInvoked(guint32 nid, const std::string& key) {
    auto it = shown.find(nid);
    if (it == shown.end()) return;
    auto token = activationTokens.find(nid);
    NotificationResponse response{it->second, key,
                                  token != activationTokens.end() ? token->second : ""};
    forget(nid);
    // Some servers leave the notification up after an action.
    call("CloseNotification", g_variant_new("(u)", nid), nullptr);
    post([response](DesktopNotificationCenter& self) {
      if (self.onDidReceive) self.onDidReceive(response);
    });
  }

  // An asynchronous method call on the notification server; done gets the
  // reply or none (the error is not needed by any caller).
  void call(const char* method, GVariant* params, std::function<void(GVariant*)> done) {
    if (!bus) {
      if (params) g_variant_unref(g_variant_ref_sink(params));
      if (done) done(nullptr);
      return;
    }
    struct Call {
      std::weak_ptr<Impl> self;
      std::function<void(GVariant*)> done;
    };
    g_dbus_connection_call(
        bus, busName, objectPath, busName, method, params, nullptr, G_DBUS_CALL_FLAGS_NONE,
        callTimeoutMs, cancel,
        [](GObject* src, GAsyncResult* res, gpointer p) {
          std::unique_ptr<Call> c(static_cast<Call*>(p));
          GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(src), res, nullptr);
          if (c->self.lock() && c->done) c->done(reply);
          if (reply) g_variant_unref(reply);
        },
        new Call{weak_from_this(), std::move(done)});
  }

  // The per-application switch of desktops that keep one.
  bool switchedOff() const {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source) return false;
    GSettingsSchema* schema = g_settings_schema_source_lookup(
        source, "org.gnome.desktop.notifications.application", TRUE);
    if (!schema) return false;
    bool off = false;
    if (g_settings_schema_has_key(schema, "enable")) {
      std::string path = "/org/gnome/desktop/notifications/application/" + options.desktopId + "/";
      // The desktop keeps the id lower-case, its dots as dashes.
      for (auto& ch : path)
        if (ch == '.')
          ch = '-';
        else
          ch = static_cast<char>(g_ascii_tolower(ch));
      GSettings* settings = g_settings_new_full(schema, nullptr, path.c_str());
      off = !g_settings_get_boolean(settings, "enable");
      g_object_unref(settings);
    }
    g_settings_schema_unref(schema);
    return off;
  }

  void authorize(const Future<NotificationAuthorization>::Resolver& done) {
    using Refusal = NotificationAuthorization::Refusal;
    withBus([this, done] {
      call("GetServerInformation", nullptr, [this, done](GVariant* info) {
        if (!info) {
          done({false, Refusal::notAllowed});
          return;
        }
        if (switchedOff()) {
          done({false, Refusal::other});
          return;
        }
        call("GetCapabilities", nullptr, [this, done](GVariant* caps) {
          if (caps && g_variant_is_of_type(caps, G_VARIANT_TYPE("(as)"))) {
            GVariantIter* iter = nullptr;
            const gchar* cap = nullptr;
            g_variant_get(caps, "(as)", &iter);
            while (g_variant_iter_loop(iter, "&s", &cap))
              if (std::string(cap) == "actions")
                actionsCapability = true;
              else if (std::string(cap) == "body-markup")
                markupCapability = true;
            g_variant_iter_free(iter);
          }
          done({true, Refusal::none});
        });
      });
    });
  }

  void deliver(NotificationRequest request) {
    withBus([this, request = std::move(request)] { notify(request); });
  }

  void notify(const NotificationRequest& request) {
    if (owner->isActive && owner->isActive())
      post([request](DesktopNotificationCenter& self) {
        if (self.onWillPresent) self.onWillPresent(request);
      });
    const auto& c = request.content;
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    if (actionsCapability) {
      g_variant_builder_add(&actions, "s", NotificationResponse::defaultAction);
      g_variant_builder_add(&actions, "s", owner->openTitle.c_str());
      auto cat = categories.find(c.categoryId);
      if (cat != categories.end())
        for (const auto& a : cat->second) {
          g_variant_builder_add(&actions, "s", a.id.c_str());
          g_variant_builder_add(&actions, "s", a.title.c_str());
        }
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                          g_variant_new_string(options.desktopId.c_str()));
    if (c.sound)
      g_variant_builder_add(&hints, "{sv}", "sound-name",
                            g_variant_new_string("message-new-instant"));
    guint32 replaces = 0;
    if (auto it = shownIds.find(request.id); it != shownIds.end()) replaces = it->second;
    // A server that reads markup in the body would take "&" or "<" in a
    // task's text for broken markup.
    gchar* body =
        markupCapability ? g_markup_escape_text(c.body.c_str(), -1) : g_strdup(c.body.c_str());
    GVariant* params = g_variant_new("(susssasa{sv}i)", "Vuko", replaces, kAppIcon, c.title.c_str(),
                                     body, &actions, &hints, -1);
    g_free(body);
    call("Notify", params, [this, request](GVariant* reply) {
      if (!reply || !g_variant_is_of_type(reply, G_VARIANT_TYPE("(u)"))) {
        // The server went away: the request is not lost, the client shows it.
        post([request](DesktopNotificationCenter& self) {
          if (self.onUndelivered) self.onUndelivered(request);
        });
        return;
      }
      guint32 nid = 0;
      g_variant_get(reply, "(u)", &nid);
      if (auto old = shownIds.find(request.id); old != shownIds.end() && old->second != nid)
        shown.erase(old->second);
      shownIds[request.id] = nid;
      shown[nid] = request;
    });
  }
};

DesktopNotificationCenter::DesktopNotificationCenter()
    : DesktopNotificationCenter(Options{defaultStore(), nullptr, kAppId}) {}

DesktopNotificationCenter::DesktopNotificationCenter(Options options)
    : impl_(std::make_shared<Impl>(this, std::move(options))) {
  // Requests kept from an earlier run come due right after start-up, without
  // holding up the start itself.
  std::weak_ptr<Impl> weak = impl_;
  g_idle_add_full(
      G_PRIORITY_LOW,
      [](gpointer p) -> gboolean {
        if (auto self = static_cast<std::weak_ptr<Impl>*>(p)->lock()) self->pending.load();
        return G_SOURCE_REMOVE;
      },
      new std::weak_ptr<Impl>(weak),
      [](gpointer p) { delete static_cast<std::weak_ptr<Impl>*>(p); });
}

DesktopNotificationCenter::~DesktopNotificationCenter() = default;

Future<NotificationAuthorization> DesktopNotificationCenter::requestAuthorization() {
  impl_->pending.load();
  Future<NotificationAuthorization> f;
  impl_->authorize(f.resolver());
  return f;
}

void DesktopNotificationCenter::setCategories(std::vector<NotificationCategory> categories) {
  impl_->categories.clear();
  for (auto& c : categories) impl_->categories[c.id] = std::move(c.actions);
}

void DesktopNotificationCenter::add(NotificationRequest request) {
  if (request.trigger.kind == NotificationTrigger::Kind::none) {
    impl_->pending.remove({request.id});
    impl_->deliver(std::move(request));
    return;
  }
  impl_->pending.add(std::move(request));
}

Future<std::vector<NotificationRequest>> DesktopNotificationCenter::pending() {
  Future<std::vector<NotificationRequest>> f;
  f.resolver()(impl_->pending.list());
  return f;
}

void DesktopNotificationCenter::removePending(const std::vector<std::string>& ids) {
  impl_->pending.remove(ids);
}

std::optional<std::filesystem::path> DesktopNotificationCenter::setAside() const {
  return impl_->pending.setAside();
}

}  // namespace vuko

#include "platform/NotificationCenter.h"

#include <gio/gio.h>

#include <cstdlib>
#include <map>

#include "platform/Defaults.h"
#include "platform/WallClock.h"

namespace vuko {

namespace {

constexpr const char* busName = "org.freedesktop.Notifications";
constexpr const char* objectPath = "/org/freedesktop/Notifications";
constexpr const char* storeKey = "requests";
constexpr int callTimeoutMs = 10000;

std::shared_ptr<NotificationCenter>& currentCenter() {
  static std::shared_ptr<NotificationCenter> c;
  return c;
}

using TimePoint = std::chrono::system_clock::time_point;

long long millis(TimePoint t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

nlohmann::json toJson(const NotificationRequest& r) {
  const auto& c = r.content;
  return {{"id", r.id},
          {"title", c.title},
          {"body", c.body},
          {"category", c.categoryId},
          {"thread", c.threadId},
          {"sound", c.sound},
          {"userInfo", c.userInfo},
          {"due", millis(r.trigger.date)}};
}

std::optional<NotificationRequest> fromJson(const nlohmann::json& j) {
  if (!j.is_object()) return std::nullopt;
  auto str = [&](const char* k) -> std::optional<std::string> {
    auto it = j.find(k);
    if (it == j.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
  };
  auto id = str("id");
  auto due = j.find("due");
  if (!id || due == j.end() || !due->is_number_integer()) return std::nullopt;
  NotificationRequest r;
  r.id = *id;
  r.content.title = str("title").value_or("");
  r.content.body = str("body").value_or("");
  r.content.categoryId = str("category").value_or("");
  r.content.threadId = str("thread").value_or("");
  auto sound = j.find("sound");
  r.content.sound = sound == j.end() || !sound->is_boolean() || sound->get<bool>();
  auto info = j.find("userInfo");
  if (info != j.end() && info->is_object()) r.content.userInfo = *info;
  r.trigger = NotificationTrigger::at(TimePoint(std::chrono::milliseconds(due->get<long long>())));
  return r;
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
  std::unique_ptr<Defaults> store;
  bool loaded = false;

  struct Pending {
    NotificationRequest request;
    Timer timer;
  };
  std::map<std::string, Pending> pending;
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
        wall(options.wall ? *options.wall : WallClock::main()) {}

  ~Impl() {
    g_cancellable_cancel(cancel);
    g_object_unref(cancel);
    if (bus) {
      for (guint s : subscriptions) g_dbus_connection_signal_unsubscribe(bus, s);
      g_object_unref(bus);
    }
  }

  void load() {
    if (loaded) return;
    loaded = true;
    if (options.store)
      store = std::make_unique<FileDefaults>(*options.store);
    else
      store = std::make_unique<MemoryDefaults>();
    auto list = store->array(storeKey);
    if (!list) return;
    for (const auto& j : *list)
      if (auto r = fromJson(j)) arm(std::move(*r));
  }

  void save() {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [id, p] : pending) list.push_back(toJson(p.request));
    store->setArray(storeKey, list);
  }

  void arm(NotificationRequest r) {
    auto id = r.id;
    auto when = r.trigger.date;
    std::weak_ptr<Impl> weak = weak_from_this();
    Pending p{std::move(r), Timer()};
    pending.erase(id);
    auto& slot = pending[id] = std::move(p);
    slot.timer = wall.at(when, [weak, id] {
      if (auto self = weak.lock()) self->fire(id);
    });
  }

  void fire(const std::string& id) {
    auto it = pending.find(id);
    if (it == pending.end()) return;
    auto request = std::move(it->second.request);
    it->second.timer.release();
    pending.erase(it);
    // Taken off the list before it is shown: a crash now loses nothing the
    // next poll would not bring back, and a restart never shows it twice.
    save();
    deliver(std::move(request));
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
    if (owner->onDidReceive) owner->onDidReceive(response);
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
      for (auto& ch : path)
        if (ch == '.') ch = '-';
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

  // Tells the client on a later turn of the main loop: the request may have
  // come from inside one of the client's own steps.
  void willPresent(const NotificationRequest& request) {
    struct Later {
      std::weak_ptr<Impl> self;
      NotificationRequest request;
    };
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer p) -> gboolean {
          auto* later = static_cast<Later*>(p);
          if (auto self = later->self.lock())
            if (self->owner->onWillPresent) self->owner->onWillPresent(later->request);
          return G_SOURCE_REMOVE;
        },
        new Later{weak_from_this(), request}, [](gpointer p) { delete static_cast<Later*>(p); });
  }

  void notify(const NotificationRequest& request) {
    if (owner->isActive && owner->isActive()) willPresent(request);
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
    GVariant* params = g_variant_new("(susssasa{sv}i)", "Vuko", replaces, options.desktopId.c_str(),
                                     c.title.c_str(), body, &actions, &hints, -1);
    g_free(body);
    call("Notify", params, [this, request](GVariant* reply) {
      if (!reply || !g_variant_is_of_type(reply, G_VARIANT_TYPE("(u)"))) {
        // The server went away: the request is not lost, the client shows it.
        if (owner->onUndelivered) owner->onUndelivered(request);
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
    : DesktopNotificationCenter(Options{defaultStore(), nullptr, "vuko"}) {}

DesktopNotificationCenter::DesktopNotificationCenter(Options options)
    : impl_(std::make_shared<Impl>(this, std::move(options))) {
  // Requests kept from an earlier run come due right after start-up, without
  // holding up the start itself.
  std::weak_ptr<Impl> weak = impl_;
  g_idle_add_full(
      G_PRIORITY_LOW,
      [](gpointer p) -> gboolean {
        if (auto self = static_cast<std::weak_ptr<Impl>*>(p)->lock()) self->load();
        return G_SOURCE_REMOVE;
      },
      new std::weak_ptr<Impl>(weak),
      [](gpointer p) { delete static_cast<std::weak_ptr<Impl>*>(p); });
}

DesktopNotificationCenter::~DesktopNotificationCenter() = default;

Future<NotificationAuthorization> DesktopNotificationCenter::requestAuthorization() {
  impl_->load();
  Future<NotificationAuthorization> f;
  impl_->authorize(f.resolver());
  return f;
}

void DesktopNotificationCenter::setCategories(std::vector<NotificationCategory> categories) {
  impl_->categories.clear();
  for (auto& c : categories) impl_->categories[c.id] = std::move(c.actions);
}

void DesktopNotificationCenter::add(NotificationRequest request) {
  impl_->load();
  auto& t = request.trigger;
  if (t.kind == NotificationTrigger::Kind::none) {
    if (impl_->pending.erase(request.id)) impl_->save();
    impl_->deliver(std::move(request));
    return;
  }
  if (t.kind == NotificationTrigger::Kind::interval)
    t = NotificationTrigger::at(impl_->wall.now() + t.interval);
  impl_->arm(std::move(request));
  impl_->save();
}

Future<std::vector<NotificationRequest>> DesktopNotificationCenter::pending() {
  impl_->load();
  Future<std::vector<NotificationRequest>> f;
  std::vector<NotificationRequest> list;
  for (const auto& [id, p] : impl_->pending) list.push_back(p.request);
  f.resolver()(std::move(list));
  return f;
}

void DesktopNotificationCenter::removePending(const std::vector<std::string>& ids) {
  impl_->load();
  bool changed = false;
  for (const auto& id : ids) changed = impl_->pending.erase(id) > 0 || changed;
  if (changed) impl_->save();
}

std::optional<std::filesystem::path> DesktopNotificationCenter::setAside() const {
  impl_->load();
  auto* file = dynamic_cast<FileDefaults*>(impl_->store.get());
  return file ? file->setAside() : std::nullopt;
}

}  // namespace vuko

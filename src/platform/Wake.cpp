#include "platform/Wake.h"

#include <gio/gio.h>

namespace vuko {

struct WakeMonitor::Impl {
  std::function<void()> onWake;
  GCancellable* cancel = g_cancellable_new();
  GDBusConnection* bus = nullptr;
  guint subscription = 0;

  ~Impl() {
    g_cancellable_cancel(cancel);
    g_object_unref(cancel);
    if (bus) {
      if (subscription) g_dbus_connection_signal_unsubscribe(bus, subscription);
      g_object_unref(bus);
    }
  }
};

WakeMonitor::WakeMonitor(std::function<void()> onWake) : impl_(std::make_shared<Impl>()) {
  impl_->onWake = std::move(onWake);
  // The weak handle lets the bus answer arrive after the monitor has gone.
  auto* weak = new std::weak_ptr<Impl>(impl_);
  g_bus_get(
      G_BUS_TYPE_SYSTEM, impl_->cancel,
      [](GObject*, GAsyncResult* res, gpointer p) {
        std::unique_ptr<std::weak_ptr<Impl>> w(static_cast<std::weak_ptr<Impl>*>(p));
        GDBusConnection* bus = g_bus_get_finish(res, nullptr);
        auto impl = w->lock();
        if (!bus) return;  // No system bus: wake is not reported, quietly.
        if (!impl) {
          g_object_unref(bus);
          return;
        }
        impl->bus = bus;
        impl->subscription = g_dbus_connection_signal_subscribe(
            bus, "org.freedesktop.login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
            "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
               GVariant* params, gpointer data) {
              if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(b)"))) return;
              gboolean sleeping = FALSE;
              g_variant_get(params, "(b)", &sleeping);
              auto* self = static_cast<Impl*>(data);
              if (!sleeping && self->onWake) self->onWake();
            },
            impl.get(), nullptr);
      },
      weak);
}

WakeMonitor::~WakeMonitor() = default;

}  // namespace vuko

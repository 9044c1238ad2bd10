// The badge is the launcher-entry "Update" signal that docks and panels on
// this desktop listen for; any of them that knows the desktop entry shows it.
#include "platform/DockTile.h"

#include <gio/gio.h>

#include <charconv>
#include <cstdint>

namespace vuko {

namespace {

constexpr const char* kPath = "/app/vuko/Vuko/LauncherEntry";

struct State {
  std::optional<std::string> label;
  GDBusConnection* bus = nullptr;  // kept for the life of the process
  bool connecting = false;
  bool failed = false;
};

State& state() {
  static State s;
  return s;
}

std::optional<std::int64_t> countOf(const std::optional<std::string>& label) {
  if (!label || label->empty()) return std::nullopt;
  std::int64_t n = 0;
  const char* end = label->data() + label->size();
  auto [ptr, ec] = std::from_chars(label->data(), end, n);
  if (ec != std::errc() || ptr != end || n < 1) return std::nullopt;
  return n;
}

void emit() {
  auto& s = state();
  if (!s.bus) return;
  auto count = countOf(s.label);
  GVariantBuilder props;
  g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&props, "{sv}", "count", g_variant_new_int64(count.value_or(0)));
  g_variant_builder_add(&props, "{sv}", "count-visible", g_variant_new_boolean(count.has_value()));
  g_dbus_connection_emit_signal(s.bus, nullptr, kPath, "com.canonical.Unity.LauncherEntry",
                                "Update", g_variant_new("(sa{sv})", DockTile::kAppUri, &props),
                                nullptr);
  // Sent now, so that a badge set just before quitting is not lost.
  g_dbus_connection_flush(s.bus, nullptr, nullptr, nullptr);
}

void gotBus(GObject*, GAsyncResult* result, gpointer) {
  auto& s = state();
  s.connecting = false;
  GError* error = nullptr;
  s.bus = g_bus_get_finish(result, &error);
  if (!s.bus) {
    // No session bus: no launcher can show a badge, and nothing else is lost.
    g_error_free(error);
    s.failed = true;
    return;
  }
  emit();
}

}  // namespace

void DockTile::setBadgeLabel(const std::optional<std::string>& label) {
  auto& s = state();
  s.label = label;
  if (s.bus) {
    emit();
  } else if (!s.connecting && !s.failed) {
    // The latest label is sent once the bus is there.
    s.connecting = true;
    g_bus_get(G_BUS_TYPE_SESSION, nullptr, gotBus, nullptr);
  }
}

const std::optional<std::string>& DockTile::badgeLabel() {
  return state().label;
}

}  // namespace vuko

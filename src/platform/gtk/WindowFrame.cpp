#include "platform/gtk/WindowFrame.h"

#include <gdk/gdkx.h>
#include <nlohmann/json.hpp>

#include "platform/Defaults.h"

namespace vuko::WindowFrame {

namespace {

constexpr guint kSaveDelayMs = 400;

struct Keeper {
  std::string name;
  guint pending = 0;
};

void save(GtkWindow* window, const std::string& name) {
  int x = 0, y = 0, w = 0, h = 0;
  gtk_window_get_position(window, &x, &y);
  gtk_window_get_size(window, &w, &h);
  if (w <= 0 || h <= 0) return;
  // A Wayland client never learns where its window is: the place saved
  // under X11 stays.
  if (!GDK_IS_X11_DISPLAY(gtk_widget_get_display(GTK_WIDGET(window)))) {
    auto old = Defaults::standard().dictionary("frame." + name);
    x = old && old->contains("x") && (*old)["x"].is_number() ? (*old)["x"].get<int>() : 0;
    y = old && old->contains("y") && (*old)["y"].is_number() ? (*old)["y"].get<int>() : 0;
  }
  Defaults::standard().setDictionary("frame." + name, {{"x", x}, {"y", y}, {"w", w}, {"h", h}});
}

}  // namespace

GdkRectangle workArea() {
  GdkRectangle area{0, 0, 1280, 800};
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return area;
  GdkMonitor* m = gdk_display_get_primary_monitor(display);
  if (!m && gdk_display_get_n_monitors(display) > 0) m = gdk_display_get_monitor(display, 0);
  if (m) gdk_monitor_get_workarea(m, &area);
  return area;
}

bool restore(GtkWindow* window, const std::string& name) {
  auto frame = Defaults::standard().dictionary("frame." + name);
  if (!frame) return false;
  auto num = [&](const char* k) -> std::optional<int> {
    auto it = frame->find(k);
    if (it == frame->end() || !it->is_number()) return std::nullopt;
    return it->get<int>();
  };
  auto x = num("x"), y = num("y"), w = num("w"), h = num("h");
  if (!x || !y || !w || !h || *w <= 0 || *h <= 0) return false;
  // A frame saved on a monitor that is gone would put the window off screen.
  GdkRectangle area = workArea();
  if (*x + *w <= area.x || *y + *h <= area.y || *x >= area.x + area.width ||
      *y >= area.y + area.height)
    return false;
  gtk_window_resize(window, *w, *h);
  gtk_window_move(window, *x, *y);
  return true;
}

void keep(GtkWindow* window, const std::string& name) {
  auto* k = new Keeper{name};
  g_object_set_data_full(G_OBJECT(window), "vuko-frame-keeper", k, [](gpointer p) {
    auto* keeper = static_cast<Keeper*>(p);
    if (keeper->pending) g_source_remove(keeper->pending);
    delete keeper;
  });
  // Moving a window sends a stream of configure events; save once it rests.
  // The keeper is the window's own data: it goes with the window, after the handlers.
  g_signal_connect(window, "configure-event",
                   G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer data) -> gboolean {
                     auto* keeper = static_cast<Keeper*>(data);
                     if (keeper->pending) g_source_remove(keeper->pending);
                     keeper->pending = g_timeout_add(
                         kSaveDelayMs,
                         [](gpointer win) -> gboolean {
                           auto* kk = static_cast<Keeper*>(
                               g_object_get_data(G_OBJECT(win), "vuko-frame-keeper"));
                           kk->pending = 0;
                           save(GTK_WINDOW(win), kk->name);
                           return G_SOURCE_REMOVE;
                         },
                         w);
                     return FALSE;
                   }),
                   k);
  g_signal_connect(window, "hide", G_CALLBACK(+[](GtkWidget* w, gpointer data) {
                     save(GTK_WINDOW(w), static_cast<Keeper*>(data)->name);
                   }),
                   k);
}

}  // namespace vuko::WindowFrame

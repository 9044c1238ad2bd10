#include "quick/gtk/KeyPanel.h"

#include <gdk/gdkx.h>

#include "platform/ActivationToken.h"
#include "platform/WindowLayer.h"

namespace vuko {

KeyPanel::KeyPanel(int width, int height) : width_(width), height_(height) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* w = window();
  gtk_window_set_decorated(w, FALSE);
  gtk_window_set_resizable(w, FALSE);
  gtk_window_set_default_size(w, width, height);
  gtk_widget_set_size_request(window_, width, height);
  gtk_window_set_type_hint(w, GDK_WINDOW_TYPE_HINT_NORMAL);
  gtk_window_set_keep_above(w, TRUE);
  gtk_window_stick(w);
  gtk_window_set_skip_taskbar_hint(w, TRUE);
  gtk_window_set_skip_pager_hint(w, TRUE);
  screenChanged(window_, nullptr, nullptr);
  // No data here; the handlers with data are disconnected by the destructor.
  g_signal_connect(window_, "screen-changed", G_CALLBACK(screenChanged), nullptr);
  gtk_widget_add_events(window_, GDK_BUTTON_PRESS_MASK);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(keyPressed), this);
  g_signal_connect(window_, "button-press-event", G_CALLBACK(buttonPressed), this);
  // Closing by the window manager only hides the panel; it is built once.
  // No data.
  g_signal_connect(window_, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
  // On Wayland, where the compositor allows, a surface above everything that
  // has the keyboard while it is up: as an ordinary window it would get the
  // compositor's title bar and place.
  layered_ = WindowLayer::makeFloating(w, "vuko-quick", WindowLayer::Level::overlay,
                                       WindowLayer::Keyboard::onDemand, false);
  // Realised now, so that showing it only has to place and map it; in a
  // window group of its own, so that the window manager judges it on the
  // user's action alone, not on whether the main window has the focus.
  gtk_widget_realize(window_);
  GdkWindow* gdkWindow = gtk_widget_get_window(window_);
  gdk_window_set_group(gdkWindow, gdkWindow);
}

KeyPanel::~KeyPanel() {
  g_signal_handlers_disconnect_by_data(window_, this);
  gtk_widget_destroy(window_);
}

// A translucent background needs a visual with an alpha channel.
void KeyPanel::screenChanged(GtkWidget* widget, GdkScreen*, gpointer) {
  GdkScreen* screen = gtk_widget_get_screen(widget);
  if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen)) gtk_widget_set_visual(widget, rgba);
}

gboolean KeyPanel::keyPressed(GtkWidget*, GdkEventKey* event, gpointer self) {
  if (event->keyval != GDK_KEY_Escape) return FALSE;
  auto* panel = static_cast<KeyPanel*>(self);
  if (panel->onEscape) panel->onEscape();
  return TRUE;
}

// Presses that reach the window itself fell on the background, not on a
// control: they move the panel.
gboolean KeyPanel::buttonPressed(GtkWidget*, GdkEventButton* event, gpointer self) {
  auto* panel = static_cast<KeyPanel*>(self);
  // A layer surface stays where it is anchored.
  if (event->button != GDK_BUTTON_PRIMARY || event->type != GDK_BUTTON_PRESS || panel->layered_)
    return FALSE;
  gtk_window_begin_move_drag(panel->window(), static_cast<gint>(event->button),
                             static_cast<gint>(event->x_root), static_cast<gint>(event->y_root),
                             event->time);
  return TRUE;
}

bool KeyPanel::isVisible() const {
  return gtk_widget_get_visible(window_);
}

std::uint32_t KeyPanel::focusTime(std::uint32_t eventTime) const {
  if (eventTime) return eventTime;
  if (std::uint32_t current = gtk_get_current_event_time()) return current;
  // A command from another process carries no event: the user acted just
  // now, so the server's present time stands for the action.
  GdkWindow* gdkWindow = gtk_widget_get_window(window_);
  if (gdkWindow && GDK_IS_X11_WINDOW(gdkWindow)) return gdk_x11_get_server_time(gdkWindow);
  return GDK_CURRENT_TIME;
}

void KeyPanel::present(std::uint32_t eventTime) {
  GdkDisplay* display = gtk_widget_get_display(window_);
  int count = gdk_display_get_n_monitors(display);
  if (count <= 0) return;
  GdkMonitor* monitor = nullptr;
  GdkSeat* seat = gdk_display_get_default_seat(display);
  if (GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr) {
    int px = 0, py = 0;
    gdk_device_get_position(pointer, nullptr, &px, &py);
    for (int i = 0; i < count && !monitor; ++i) {
      GdkRectangle frame;
      gdk_monitor_get_geometry(gdk_display_get_monitor(display, i), &frame);
      if (px >= frame.x && px < frame.x + frame.width && py >= frame.y &&
          py < frame.y + frame.height)
        monitor = gdk_display_get_monitor(display, i);
    }
  }
  if (!monitor) monitor = gdk_display_get_primary_monitor(display);
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return;
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  if (layered_)
    WindowLayer::place(window(), area.height / 3 - height_ / 2);
  else
    gtk_window_move(window(), area.x + area.width / 2 - width_ / 2,
                    area.y + area.height / 3 - height_ / 2);
  std::uint32_t time = focusTime(eventTime);
  // A Wayland desktop gives the focus for the token its shortcut came with.
  if (auto token = ActivationToken::take(); !token.empty())
    gtk_window_set_startup_id(window(), token.c_str());
  gtk_window_present_with_time(window(), time);
  // Mapping alone leaves the focus where it was under a window manager that
  // prevents focus stealing: ask for it with the time of the user's action.
  gdk_window_focus(gtk_widget_get_window(window_), time);
}

void KeyPanel::orderOut() {
  gtk_widget_hide(window_);
}

}  // namespace vuko

#include "platform/WindowLayer.h"

#include <gtk-layer-shell.h>
#include <gtk/gtk.h>

#include <gdk/gdkx.h>
#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif

namespace vuko::WindowLayer {

Support support() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || GDK_IS_X11_DISPLAY(display)) return Support::x11;
#ifdef GDK_WINDOWING_WAYLAND
  // The library asks the compositor only on a Wayland display.
  if (GDK_IS_WAYLAND_DISPLAY(display) && gtk_layer_is_supported()) return Support::layers;
#endif
  return Support::none;
}

bool makeFloating(GtkWindow* window, const char* name, Level level, Keyboard keyboard,
                  bool topRight) {
  if (support() != Support::layers || gtk_widget_get_realized(GTK_WIDGET(window))) return false;
  gtk_layer_init_for_window(window);
  gtk_layer_set_namespace(window, name);
  gtk_layer_set_layer(
      window, level == Level::overlay ? GTK_LAYER_SHELL_LAYER_OVERLAY : GTK_LAYER_SHELL_LAYER_TOP);
  gtk_layer_set_keyboard_mode(window, keyboard == Keyboard::onDemand
                                          ? GTK_LAYER_SHELL_KEYBOARD_MODE_ON_DEMAND
                                          : GTK_LAYER_SHELL_KEYBOARD_MODE_NONE);
  gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_TOP, TRUE);
  gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_RIGHT, topRight);
  return true;
}

bool isFloating(GtkWindow* window) {
  return support() == Support::layers && gtk_layer_is_layer_window(window);
}

void place(GtkWindow* window, int top, int right) {
  if (!isFloating(window)) return;
  gtk_layer_set_margin(window, GTK_LAYER_SHELL_EDGE_TOP, top);
  gtk_layer_set_margin(window, GTK_LAYER_SHELL_EDGE_RIGHT, right);
}

}  // namespace vuko::WindowLayer

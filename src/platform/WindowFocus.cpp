#include "platform/WindowFocus.h"

#include <gtk/gtk.h>

// After GTK: the X11 headers define None and Status.
#include <gdk/gdkx.h>
#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif

namespace vuko::WindowFocus {

bool has(GtkWindow* window) {
  GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window));
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
  if (!gdkWindow || !GDK_IS_X11_DISPLAY(display) || !gtk_widget_get_visible(GTK_WIDGET(window)))
    return gtk_window_is_active(window);
  Display* x = GDK_DISPLAY_XDISPLAY(display);
  const Window target = GDK_WINDOW_XID(gdkWindow);
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(x, &focus, &revert);
  // The focus may rest on a child of the toplevel.
  while (focus != 0 && focus != PointerRoot && focus != target) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(x, focus, &root, &parent, &children, &count)) break;
    if (children) XFree(children);
    if (parent == root) break;
    focus = parent;
  }
  return focus == target;
}

void expectActivation(const std::string& token) {
#ifdef GDK_WINDOWING_WAYLAND
  // The toolkit keeps one token for the display and spends it on the next
  // focus request of any of its windows.
  GdkDisplay* display = gdk_display_get_default();
  if (display && GDK_IS_WAYLAND_DISPLAY(display))
    gdk_wayland_display_set_startup_notification_id(display,
                                                    token.empty() ? nullptr : token.c_str());
#else
  (void)token;
#endif
}

void present(GtkWindow* window, const std::string& token) {
#ifdef GDK_WINDOWING_WAYLAND
  if (GDK_IS_WAYLAND_DISPLAY(gtk_widget_get_display(GTK_WIDGET(window)))) {
    expectActivation(token);
    gtk_window_present(window);
    return;
  }
#endif
  // X11 window managers read the token as the window's startup id.
  gtk_window_set_startup_id(window, token.c_str());
  gtk_window_present(window);
}

}  // namespace vuko::WindowFocus

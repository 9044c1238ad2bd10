#include "platform/WindowFocus.h"

#include <gtk/gtk.h>

// After GTK: the X11 headers define None and Status.
#include <gdk/gdkx.h>

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

}  // namespace vuko::WindowFocus

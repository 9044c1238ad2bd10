// Which title-bar controls a window offers. GTK only hints at them (and some
// window managers read its "everything but" form as "everything"), so the
// window's functions and decorations are listed outright.
#pragma once

#include <gtk/gtk.h>

namespace vuko::WindowControls {

// Moving, plus closing when closable; no minimising, maximising or resizing.
inline void titledOnly(GtkWindow* window, bool closable) {
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_deletable(window, closable);
  gtk_widget_realize(GTK_WIDGET(window));
  GdkWindow* w = gtk_widget_get_window(GTK_WIDGET(window));
  gdk_window_set_functions(
      w, closable ? GdkWMFunction(GDK_FUNC_MOVE | GDK_FUNC_CLOSE) : GDK_FUNC_MOVE);
  gdk_window_set_decorations(
      w, closable ? GdkWMDecoration(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU)
                  : GdkWMDecoration(GDK_DECOR_BORDER | GDK_DECOR_TITLE));
}

}  // namespace vuko::WindowControls

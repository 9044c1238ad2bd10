// Finding widgets in a window's tree the way a user sees them: by label.
#pragma once

#include <gtk/gtk.h>

#include <string>

namespace vuko::test {

// The first button (check boxes included) whose label is exactly text.
inline GtkButton* findButton(GtkWidget* root, const std::string& text) {
  if (GTK_IS_BUTTON(root)) {
    const char* label = gtk_button_get_label(GTK_BUTTON(root));
    if (label && text == label) return GTK_BUTTON(root);
  }
  if (!GTK_IS_CONTAINER(root)) return nullptr;
  GtkButton* found = nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(root));
  for (GList* c = children; c && !found; c = c->next) found = findButton(GTK_WIDGET(c->data), text);
  g_list_free(children);
  return found;
}

// The first label whose text is exactly text.
inline GtkLabel* findLabel(GtkWidget* root, const std::string& text) {
  if (GTK_IS_LABEL(root) && text == gtk_label_get_text(GTK_LABEL(root))) return GTK_LABEL(root);
  if (!GTK_IS_CONTAINER(root)) return nullptr;
  GtkLabel* found = nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(root));
  for (GList* c = children; c && !found; c = c->next) found = findLabel(GTK_WIDGET(c->data), text);
  g_list_free(children);
  return found;
}

// Sends a key press to a window as the window system would deliver it.
inline void pressKey(GtkWidget* window, guint keyval) {
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
  event->key.send_event = TRUE;
  event->key.time = GDK_CURRENT_TIME;
  event->key.keyval = keyval;
  GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(window));
  gdk_event_set_device(event, gdk_seat_get_keyboard(seat));
  gtk_widget_event(window, event);
  gdk_event_free(event);
}

}  // namespace vuko::test

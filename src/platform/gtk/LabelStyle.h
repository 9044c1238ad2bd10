// Labels sized in points as the windows' layouts give them (one point is one
// pixel here), bold for headings, dimmed for secondary text.
#pragma once

#include <gtk/gtk.h>

namespace vuko::LabelStyle {

// Gives a label, also one a toolkit dialog made, its size, weight and colour.
inline void style(GtkLabel* l, int size, bool bold = false, bool secondary = false) {
  PangoAttrList* attrs = pango_attr_list_new();
  if (size > 0) pango_attr_list_insert(attrs, pango_attr_size_new_absolute(size * PANGO_SCALE));
  if (bold) pango_attr_list_insert(attrs, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
  gtk_label_set_attributes(l, attrs);
  pango_attr_list_unref(attrs);
  if (secondary)
    gtk_style_context_add_class(gtk_widget_get_style_context(GTK_WIDGET(l)), "dim-label");
}

inline GtkWidget* label(const char* text, int size, bool bold = false, bool secondary = false) {
  GtkWidget* l = gtk_label_new(text);
  style(GTK_LABEL(l), size, bold, secondary);
  gtk_label_set_xalign(GTK_LABEL(l), 0);
  return l;
}

inline GtkWidget* wrapping(const char* text, int size, bool secondary = true) {
  GtkWidget* l = label(text, size, false, secondary);
  gtk_label_set_line_wrap(GTK_LABEL(l), TRUE);
  gtk_label_set_line_wrap_mode(GTK_LABEL(l), PANGO_WRAP_WORD_CHAR);
  // Wrapping labels ask for their natural width otherwise and widen the window.
  gtk_label_set_max_width_chars(GTK_LABEL(l), 1);
  gtk_widget_set_hexpand(l, TRUE);
  return l;
}

}  // namespace vuko::LabelStyle

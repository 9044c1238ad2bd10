#include "quick/gtk/QuickPanel.h"

#include <cmath>

#include "quick/Preview.h"

namespace vuko {

namespace {

constexpr int kWidth = 640, kHeight = 118;

// Frames as (x, y from the bottom, width, height), the panel's own geometry.
struct Frame {
  int x, bottom, width, height;
};
constexpr Frame kIcon{20, 66, 28, 28};
constexpr Frame kField{60, 64, kWidth - 80, 30};
constexpr Frame kPreview{62, 38, kWidth - 82, 18};
constexpr Frame kHint{62, 12, kWidth - 82, 16};

constexpr const char* kPlaceholder = "Новая задача: «завтра в 10 позвонить маме»";
constexpr const char* kHintText = "Enter — добавить во «Входящие» · Esc — закрыть";

// The panel's look. Sizes are in pixels, one per point.
constexpr const char* kStyle = R"css(
window.vuko-quick { background-color: rgba(242, 242, 245, 0.92); border-radius: 16px; }
window.vuko-quick.opaque { background-color: rgb(242, 242, 245); border-radius: 0; }
window.vuko-quick entry {
  font-size: 20px; border: none; background: none; box-shadow: none; outline: none;
  padding: 0; min-height: 0; color: rgb(29, 29, 31);
}
window.vuko-quick .preview { font-size: 13px; font-weight: 500; }
window.vuko-quick .preview.blue { color: rgb(0, 122, 255); }
window.vuko-quick .preview.red { color: rgb(255, 59, 48); }
window.vuko-quick .preview.green { color: rgb(52, 199, 89); }
window.vuko-quick .preview.amber { color: rgb(214, 140, 0); }
window.vuko-quick .hint { font-size: 12px; color: rgba(0, 0, 0, 0.26); }
)css";

// The plus in a filled circle, in the client's blue.
gboolean drawIcon(GtkWidget* widget, cairo_t* cr, gpointer) {
  double w = gtk_widget_get_allocated_width(widget), h = gtk_widget_get_allocated_height(widget);
  double cx = w / 2, cy = h / 2, r = 11;
  cairo_set_source_rgba(cr, 0.176, 0.333, 0.961, 1);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, 2.2);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, cx - 5, cy);
  cairo_line_to(cr, cx + 5, cy);
  cairo_move_to(cr, cx, cy - 5);
  cairo_line_to(cr, cx, cy + 5);
  cairo_stroke(cr);
  return TRUE;
}

GtkWidget* place(GtkWidget* fixed, GtkWidget* child, const Frame& f) {
  gtk_widget_set_size_request(child, f.width, f.height);
  gtk_fixed_put(GTK_FIXED(fixed), child, f.x, kHeight - f.bottom - f.height);
  return child;
}

GtkWidget* label(const char* text, const char* styleClass) {
  GtkWidget* l = gtk_label_new(text);
  gtk_label_set_xalign(GTK_LABEL(l), 0);
  gtk_label_set_ellipsize(GTK_LABEL(l), PANGO_ELLIPSIZE_END);
  gtk_label_set_single_line_mode(GTK_LABEL(l), TRUE);
  gtk_style_context_add_class(gtk_widget_get_style_context(l), styleClass);
  return l;
}

}  // namespace

QuickPanel::QuickPanel(TaskApi& api, Clock& clock)
    : panel_(kWidth, kHeight), entry_(*this, api, clock) {
  build();
  entry_.onAdded = [this] {
    if (onAdded) onAdded();
  };
  panel_.onEscape = [this] { entry_.escape(); };
}

QuickPanel::~QuickPanel() {
  g_signal_handlers_disconnect_by_data(field_, this);
  if (style_)
    gtk_style_context_remove_provider_for_screen(gtk_widget_get_screen(content_),
                                                 GTK_STYLE_PROVIDER(style_.get()));
}

void QuickPanel::build() {
  GtkWidget* window = GTK_WIDGET(panel_.window());
  gtk_window_set_title(panel_.window(), "Быстрая задача");
  gtk_style_context_add_class(gtk_widget_get_style_context(window), "vuko-quick");
  style_ = GObjectPtr<GtkCssProvider>::adopt(gtk_css_provider_new());
  gtk_css_provider_load_from_data(style_.get(), kStyle, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(window),
                                            GTK_STYLE_PROVIDER(style_.get()),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);

  content_ = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(window), content_);

  GtkWidget* icon = place(content_, gtk_drawing_area_new(), kIcon);
  // No data: the icon draws itself.
  g_signal_connect(icon, "draw", G_CALLBACK(drawIcon), nullptr);

  field_ = place(content_, gtk_entry_new(), kField);
  gtk_entry_set_placeholder_text(GTK_ENTRY(field_), kPlaceholder);
  gtk_entry_set_has_frame(GTK_ENTRY(field_), FALSE);
  // All three disconnected by the destructor (by data).
  g_signal_connect_swapped(field_, "changed", G_CALLBACK(+[](QuickPanel* self) {
                             if (!self->writing_) self->entry_.textChanged();
                           }),
                           this);
  g_signal_connect_swapped(field_, "activate",
                           G_CALLBACK(+[](QuickPanel* self) { self->entry_.submit(); }), this);
  // Enter from a virtual keyboard (on-screen keyboards, remote input on
  // Wayland) comes with a keymap of its own that the entry's key bindings do
  // not match, so it reaches here unhandled; Enter the entry took never does.
  g_signal_connect_after(
      field_, "key-press-event",
      G_CALLBACK(+[](GtkWidget*, GdkEventKey* key, QuickPanel* self) -> gboolean {
        const auto mods = key->state & gtk_accelerator_get_default_mod_mask();
        const bool enter = key->keyval == GDK_KEY_Return || key->keyval == GDK_KEY_KP_Enter ||
                           key->keyval == GDK_KEY_ISO_Enter;
        if (!enter || mods != 0) return FALSE;
        self->entry_.submit();
        return TRUE;
      }),
      this);

  preview_ = place(content_, label("", "preview"), kPreview);
  setPreviewTint(Tint::blue);
  hint_ = place(content_, label(kHintText, "hint"), kHint);
  gtk_widget_show_all(content_);
}

std::string QuickPanel::describe(const nlohmann::json& task) {
  return Preview::describe(task);
}

std::string QuickPanel::day(const std::string& text) {
  return Preview::day(text);
}

void QuickPanel::testType(const std::string& text) {
  setText(text);
  entry_.textChanged();
}

std::string QuickPanel::text() const {
  return gtk_entry_get_text(GTK_ENTRY(field_));
}

void QuickPanel::setText(const std::string& text) {
  writing_ = true;
  gtk_entry_set_text(GTK_ENTRY(field_), text.c_str());
  writing_ = false;
}

void QuickPanel::setPreview(const std::string& text) {
  gtk_label_set_text(GTK_LABEL(preview_), text.c_str());
}

void QuickPanel::setPreviewTint(Tint tint) {
  GtkStyleContext* style = gtk_widget_get_style_context(preview_);
  for (const char* c : {"blue", "red", "green", "amber"}) gtk_style_context_remove_class(style, c);
  gtk_style_context_add_class(style, tint == Tint::red     ? "red"
                                     : tint == Tint::green ? "green"
                                     : tint == Tint::amber ? "amber"
                                                           : "blue");
}

void QuickPanel::present(std::uint32_t eventTime) {
  GtkWidget* window = GTK_WIDGET(panel_.window());
  // Without a compositor the corners cannot be see-through: draw them solid.
  GtkStyleContext* style = gtk_widget_get_style_context(window);
  if (gdk_screen_is_composited(gtk_widget_get_screen(window)))
    gtk_style_context_remove_class(style, "opaque");
  else
    gtk_style_context_add_class(style, "opaque");
  gtk_widget_grab_focus(field_);
  panel_.present(eventTime);
}

}  // namespace vuko

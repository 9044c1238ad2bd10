#include "server/gtk/ServerSheet.h"

#include "platform/gtk/LabelStyle.h"
#include "platform/gtk/WindowControls.h"
#include "server/HttpTaskApi.h"

namespace vuko {

namespace {

constexpr int kWidth = 460, kHeight = 250;
constexpr int kInset = 20, kTopInset = 18, kBottomInset = 16;
constexpr int kStatusFont = 12;

template <void (ServerSheet::*Action)()>
void connectSignal(GtkWidget* widget, const char* signal, ServerSheet* owner) {
  // The sheet destroys its widgets, and these handlers with them.
  g_signal_connect(widget, signal, G_CALLBACK(+[](GtkWidget*, gpointer self) {
                     (static_cast<ServerSheet*>(self)->*Action)();
                   }),
                   owner);
}

}  // namespace

ServerSheet::ServerSheet(ServerChoice::Probe probe)
    : choice_(probe ? std::move(probe)
                    : [](Url u) { return HttpTaskApi::checkServer(std::move(u)); }) {
  choice_.onChange = [this] { render(); };
  choice_.onClose = [this] { close(); };
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(window(), ServerChoice::kHeading);
  gtk_window_set_type_hint(window(), GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_skip_taskbar_hint(window(), TRUE);
  // The sheet owns the window and destroys it first: it outlives its handlers.
  g_signal_connect(window_, "delete-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) {
                     static_cast<ServerSheet*>(self)->cancelSheet();
                     return TRUE;
                   }),
                   this);
  g_signal_connect(window_, "key-press-event",
                   G_CALLBACK(+[](GtkWidget*, GdkEventKey* key, gpointer self) -> gboolean {
                     if (key->keyval != GDK_KEY_Escape) return FALSE;
                     static_cast<ServerSheet*>(self)->cancelSheet();
                     return TRUE;
                   }),
                   this);

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_widget_set_size_request(box, kWidth - 2 * kInset, kHeight - kTopInset - kBottomInset);
  g_object_set(box, "margin-start", kInset, "margin-end", kInset, "margin-top", kTopInset,
               "margin-bottom", kBottomInset, nullptr);
  gtk_container_add(GTK_CONTAINER(window_), box);
  auto add = [box](GtkWidget* w, int top, int indent = 0) {
    gtk_widget_set_margin_top(w, top);
    gtk_widget_set_margin_start(w, indent);
    gtk_box_pack_start(GTK_BOX(box), w, FALSE, FALSE, 0);
  };

  add(LabelStyle::label(ServerChoice::kHeading, 15, true), 0);
  add(LabelStyle::wrapping(ServerChoice::kExplanation, 12), 6);
  pub_ = gtk_radio_button_new_with_label(nullptr, ServerChoice::publicTitle().c_str());
  add(pub_, 14);
  own_ =
      gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(pub_), ServerChoice::kOwnTitle);
  add(own_, 8);
  // Either button's toggle comes with the other's; one handler sees them all.
  connectSignal<&ServerSheet::modeChanged>(own_, "toggled", this);

  field_ = gtk_combo_box_text_new_with_entry();
  GtkEntry* text = entry();
  gtk_entry_set_placeholder_text(text, ServerChoice::placeholder().c_str());
  gtk_entry_set_activates_default(text, TRUE);
  GtkEntryCompletion* completion = gtk_entry_completion_new();
  gtk_entry_completion_set_model(completion, gtk_combo_box_get_model(GTK_COMBO_BOX(field_)));
  gtk_entry_completion_set_text_column(completion, 0);
  gtk_entry_completion_set_inline_completion(completion, TRUE);
  gtk_entry_completion_set_popup_completion(completion, FALSE);
  gtk_entry_set_completion(text, completion);
  g_object_unref(completion);
  add(field_, 8, kInset);

  status_ = LabelStyle::wrapping("", kStatusFont, false);
  add(status_, 8, kInset);

  GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
  gtk_widget_set_halign(buttons, GTK_ALIGN_END);
  gtk_widget_set_valign(buttons, GTK_ALIGN_END);
  GtkWidget* cancel = gtk_button_new_with_label(ServerChoice::kCancel);
  connectSignal<&ServerSheet::cancelSheet>(cancel, "clicked", this);
  connect_ = gtk_button_new_with_label(ServerChoice::kConnect);
  gtk_widget_set_can_default(connect_, TRUE);
  connectSignal<&ServerSheet::go>(connect_, "clicked", this);
  gtk_box_pack_start(GTK_BOX(buttons), cancel, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(buttons), connect_, FALSE, FALSE, 0);
  gtk_box_pack_end(GTK_BOX(box), buttons, TRUE, TRUE, 0);
  gtk_window_set_default(window(), connect_);
  gtk_widget_show_all(box);
  // Titled only: the sheet is left through its two buttons.
  WindowControls::titledOnly(window(), false);
}

ServerSheet::~ServerSheet() {
  if (window_) gtk_widget_destroy(window_);
}

void ServerSheet::present(GtkWindow* over, std::function<void(bool)> done) {
  auto filled = choice_.present(std::move(done));
  gtk_combo_box_text_remove_all(field());
  for (const auto& item : filled.items) gtk_combo_box_text_append_text(field(), item.c_str());
  gtk_toggle_button_set_active(filled.own ? own() : pub(), TRUE);
  gtk_entry_set_text(entry(), filled.field.c_str());
  modeChanged();

  if (over && gtk_widget_get_visible(GTK_WIDGET(over))) {
    gtk_window_set_transient_for(window(), over);
    gtk_window_set_modal(window(), TRUE);
    gtk_window_set_position(window(), GTK_WIN_POS_CENTER_ON_PARENT);
  } else {
    gtk_window_set_transient_for(window(), nullptr);
    gtk_window_set_modal(window(), FALSE);
    gtk_window_set_position(window(), GTK_WIN_POS_CENTER);
  }
  gtk_widget_show(window_);
  gtk_window_present(window());
  if (gtk_toggle_button_get_active(own())) gtk_widget_grab_focus(GTK_WIDGET(entry()));
}

void ServerSheet::modeChanged() {
  bool ownMode = gtk_toggle_button_get_active(own());
  gtk_widget_set_sensitive(field_, ownMode);
  if (ownMode) gtk_widget_grab_focus(GTK_WIDGET(entry()));
  choice_.modeChanged();
}

void ServerSheet::go() {
  choice_.connect(gtk_toggle_button_get_active(own()), gtk_entry_get_text(entry()));
}

void ServerSheet::cancelSheet() {
  choice_.cancel();
  close();
}

void ServerSheet::close() {
  gtk_widget_hide(window_);
}

void ServerSheet::render() {
  gtk_widget_set_sensitive(connect_, !choice_.busy());
  const auto& [text, error] = choice_.status();
  gtk_label_set_text(status(), text.c_str());
  PangoAttrList* attrs = pango_attr_list_new();
  pango_attr_list_insert(attrs, pango_attr_size_new_absolute(kStatusFont * PANGO_SCALE));
  if (error) pango_attr_list_insert(attrs, pango_attr_foreground_new(0xc000, 0x1c00, 0x2800));
  gtk_label_set_attributes(status(), attrs);
  pango_attr_list_unref(attrs);
  GtkStyleContext* style = gtk_widget_get_style_context(status_);
  if (error)
    gtk_style_context_remove_class(style, "dim-label");
  else
    gtk_style_context_add_class(style, "dim-label");
}

}  // namespace vuko

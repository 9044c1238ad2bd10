#include "settings/gtk/SettingsWindow.h"

#include "platform/Defaults.h"
#include "platform/gtk/LabelStyle.h"
#include "platform/gtk/WindowControls.h"
#include "server/Settings.h"
#include "settings/Autostart.h"
#include "settings/SettingsLines.h"
#include "wording/SystemWording.h"

namespace vuko {

namespace {

constexpr int kWidth = 500, kHeight = 320;
constexpr int kInset = 20, kBottomInset = 16;
constexpr int kSystemFont = 13;

// signal: "clicked" of a button or "toggled" of a switch.
template <void (SettingsWindow::*Action)()>
void connectAction(GtkWidget* widget, const char* signal, SettingsWindow* owner) {
  // The window destroys its widgets, and this handler with them.
  g_signal_connect(widget, signal, G_CALLBACK(+[](GtkWidget*, gpointer self) {
                     (static_cast<SettingsWindow*>(self)->*Action)();
                   }),
                   owner);
}

GtkWidget* heading(const char* text) {
  return LabelStyle::label(text, 13, true);
}

}  // namespace

SettingsWindow::SettingsWindow() {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(window(), SettingsLines::kTitle);
  gtk_window_set_default_size(window(), kWidth, kHeight);
  gtk_window_set_type_hint(window(), GDK_WINDOW_TYPE_HINT_DIALOG);
  // Closing only hides it: the one window is shown again next time.
  // No data: only the window itself is touched.
  g_signal_connect(window_, "delete-event", G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer) {
                     gtk_widget_hide(w);
                     return TRUE;
                   }),
                   nullptr);
  // Escape closes it, as it closes a dialog. No data either.
  g_signal_connect(window_, "key-press-event",
                   G_CALLBACK(+[](GtkWidget* w, GdkEventKey* key, gpointer) -> gboolean {
                     const auto mods = key->state & gtk_accelerator_get_default_mod_mask();
                     if (key->keyval != GDK_KEY_Escape || mods != 0) return FALSE;
                     gtk_window_close(GTK_WINDOW(w));
                     return TRUE;
                   }),
                   nullptr);

  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  // The content is 500 × 320 with the margins included.
  gtk_widget_set_size_request(column, kWidth - 2 * kInset, kHeight - kInset - kBottomInset);
  g_object_set(column, "margin-start", kInset, "margin-end", kInset, "margin-top", kInset,
               "margin-bottom", kBottomInset, nullptr);
  gtk_container_add(GTK_CONTAINER(window_), column);

  auto add = [column](GtkWidget* w, int top) {
    gtk_widget_set_margin_top(w, top);
    gtk_box_pack_start(GTK_BOX(column), w, FALSE, FALSE, 0);
  };
  // A line that takes the room its button leaves, the button at the right edge.
  auto row = [&add](GtkWidget* line, GtkWidget* button, int top) {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10);
    gtk_widget_set_hexpand(line, TRUE);
    gtk_box_pack_start(GTK_BOX(box), line, TRUE, TRUE, 0);
    gtk_box_pack_end(GTK_BOX(box), button, FALSE, FALSE, 0);
    add(box, top);
  };

  // Added in reading order, so keyboard focus moves as the eye does.
  add(heading(SettingsLines::kServerHeading), 0);
  serverLabel_ = LabelStyle::label("", kSystemFont, false, true);
  gtk_label_set_ellipsize(GTK_LABEL(serverLabel_), PANGO_ELLIPSIZE_MIDDLE);
  gtk_label_set_max_width_chars(GTK_LABEL(serverLabel_), 1);
  GtkWidget* change = gtk_button_new_with_label(SettingsLines::kChangeServer);
  gtk_widget_set_valign(change, GTK_ALIGN_CENTER);
  connectAction<&SettingsWindow::changeServer>(change, "clicked", this);
  row(serverLabel_, change, 6);

  add(heading(SettingsLines::kHotkeysHeading), 18);
  // A long line wraps rather than widening the window or losing its end.
  hotkeyLabel_ = LabelStyle::wrapping("", kSystemFont);
  GtkWidget* edit = gtk_button_new_with_label(SettingsLines::kEditHotkeys);
  gtk_widget_set_valign(edit, GTK_ALIGN_CENTER);
  connectAction<&SettingsWindow::editHotkeys>(edit, "clicked", this);
  row(hotkeyLabel_, edit, 6);

  badgeBox_ = gtk_check_button_new_with_label(wording::badgeSwitch);
  add(badgeBox_, 22);
  connectAction<&SettingsWindow::badge>(badgeBox_, "toggled", this);

  autostartBox_ = gtk_check_button_new_with_label(Autostart::kSwitch);
  add(autostartBox_, 8);
  connectAction<&SettingsWindow::autostart>(autostartBox_, "toggled", this);
  // Under the switch, in line with its text: the hint or why it failed.
  autostartLine_ = LabelStyle::wrapping("", 11);
  gtk_widget_set_margin_start(autostartLine_, 24);
  add(autostartLine_, 2);

  add(heading(SettingsLines::kNotifyHeading), 18);
  notifyLabel_ = LabelStyle::wrapping("", kSystemFont);
  // The button's top stands 4 above the line's.
  gtk_widget_set_valign(notifyLabel_, GTK_ALIGN_START);
  gtk_widget_set_margin_top(notifyLabel_, 4);
  systemButton_ = gtk_button_new_with_label(wording::notifySettingsButton);
  gtk_widget_set_valign(systemButton_, GTK_ALIGN_START);
  connectAction<&SettingsWindow::notifySettings>(systemButton_, "clicked", this);
  row(notifyLabel_, systemButton_, 2);

  add(LabelStyle::wrapping(SettingsLines::kNote, 11), 8);
  gtk_widget_show_all(column);
  WindowControls::titledOnly(window(), true);
}

SettingsWindow::~SettingsWindow() {
  if (window_) gtk_widget_destroy(window_);
}

void SettingsWindow::showWindow() {
  autostartError_.clear();
  refresh();
  gtk_window_set_position(window(), GTK_WIN_POS_CENTER);
  gtk_widget_show(window_);
  gtk_window_present(window());
}

void SettingsWindow::refresh() {
  gtk_label_set_text(serverLabel(), SettingsLines::server().c_str());
  gtk_label_set_text(hotkeyLabel(), hotkeysText ? hotkeysText().c_str() : "");
  filling_ = true;
  gtk_toggle_button_set_active(badgeBox(), Settings::dockBadge());
  const bool starts = Autostart::startsAtLogin();
  gtk_toggle_button_set_active(autostartBox(), starts);
  filling_ = false;
  const std::string line =
      autostartError_.empty() ? Autostart::hint(Defaults::standard(), starts) : autostartError_;
  gtk_label_set_text(autostartLine(), line.c_str());
  gtk_widget_set_visible(autostartLine_, !line.empty());
  gtk_label_set_text(notifyLabel(), notifyText ? notifyText().c_str() : "");
  const bool opens = !notifySettingsOpen || notifySettingsOpen();
  gtk_widget_set_sensitive(systemButton_, opens);
  gtk_widget_set_tooltip_text(systemButton_, opens ? nullptr : wording::notifySettingsWhere);
}

void SettingsWindow::changeServer() {
  if (onChangeServer) onChangeServer();
}

void SettingsWindow::editHotkeys() {
  gtk_widget_hide(window_);
  if (onEditHotkeys) onEditHotkeys();
}

void SettingsWindow::notifySettings() {
  if (onNotifySettings) onNotifySettings();
}

void SettingsWindow::autostart() {
  if (filling_) return;
  auto failed = Autostart::setStartsAtLogin(gtk_toggle_button_get_active(autostartBox()));
  autostartError_ = failed.value_or("");
  // The switch goes back to what the file says when the change failed.
  refresh();
}

void SettingsWindow::badge() {
  if (filling_) return;
  Settings::setDockBadge(gtk_toggle_button_get_active(badgeBox()));
  if (onBadge) onBadge();
}

}  // namespace vuko

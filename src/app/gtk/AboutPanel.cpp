#include "app/gtk/AboutPanel.h"

#include <filesystem>

#include "platform/gtk/LabelStyle.h"
#include "server/Settings.h"

#ifndef VUKO_VERSION
#define VUKO_VERSION ""
#endif

namespace vuko {

namespace {

constexpr int kCreditSize = 11;

// The client's icon is installed beside the program (prefix/bin and
// prefix/share/icons), also when that prefix is not one the desktop searches.
void findOwnIcons() {
  GtkIconTheme* theme = gtk_icon_theme_get_default();
  if (gtk_icon_theme_has_icon(theme, "vuko")) return;
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return;
  auto icons = exe.parent_path().parent_path() / "share" / "icons";
  if (std::filesystem::is_directory(icons, ec))
    gtk_icon_theme_append_search_path(theme, icons.c_str());
}

// The dialog's own label that shows text; its internal children included.
GtkLabel* labelShowing(GtkWidget* root, const std::string& text) {
  if (GTK_IS_LABEL(root))
    return text == gtk_label_get_text(GTK_LABEL(root)) ? GTK_LABEL(root) : nullptr;
  if (!GTK_IS_CONTAINER(root)) return nullptr;
  struct Search {
    const std::string& text;
    GtkLabel* found = nullptr;
  } search{text};
  gtk_container_forall(
      GTK_CONTAINER(root),
      +[](GtkWidget* child, gpointer data) {
        auto* s = static_cast<Search*>(data);
        if (!s->found) s->found = labelShowing(child, s->text);
      },
      &search);
  return search.found;
}

}  // namespace

AboutPanel::~AboutPanel() {
  if (dialog_) gtk_widget_destroy(dialog_);
}

std::string AboutPanel::version() {
  std::string v = VUKO_VERSION;
  return v.empty() ? "1.0" : v;
}

std::string AboutPanel::credit() {
  return "Планировщик задач. Сервер: " + Settings::server().str() + "\n" +
         Settings::publicServer().host().value_or("");
}

void AboutPanel::show(GtkWindow* parent) {
  if (!dialog_) {
    findOwnIcons();
    dialog_ = gtk_about_dialog_new();
    auto* about = GTK_ABOUT_DIALOG(dialog_);
    // The toolkit's own words follow the system language; these are the
    // client's and stay Russian.
    if (GtkWidget* close =
            gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog_), GTK_RESPONSE_DELETE_EVENT))
      gtk_button_set_label(GTK_BUTTON(close), "Закрыть");
    gtk_about_dialog_set_program_name(about, "Vuko");
    gtk_about_dialog_set_logo_icon_name(about, "vuko");
    // Closing only hides it; the next show fills it afresh.
    // No data in either: only the dialog itself is touched.
    g_signal_connect(
        dialog_, "response",
        G_CALLBACK(+[](GtkDialog* d, gint, gpointer) { gtk_widget_hide(GTK_WIDGET(d)); }), nullptr);
    g_signal_connect(dialog_, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
  }
  auto* about = GTK_ABOUT_DIALOG(dialog_);
  gtk_about_dialog_set_version(about, version().c_str());
  // After the name and version, which give the window a title of the
  // toolkit's own.
  gtk_window_set_title(GTK_WINDOW(dialog_), "О программе «Vuko»");
  // The server may have changed since the window was last shown.
  const std::string text = credit();
  gtk_about_dialog_set_comments(about, text.c_str());
  // The credit is secondary text: smaller and dimmed.
  if (GtkLabel* line = labelShowing(dialog_, text))
    LabelStyle::style(line, kCreditSize, false, true);
  gtk_window_set_transient_for(
      GTK_WINDOW(dialog_), parent && gtk_widget_get_visible(GTK_WIDGET(parent)) ? parent : nullptr);
  gtk_widget_show(dialog_);
  gtk_window_present_with_time(GTK_WINDOW(dialog_), GDK_CURRENT_TIME);
}

}  // namespace vuko

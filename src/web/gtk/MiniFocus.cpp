#include "web/gtk/MiniFocus.h"

#include "platform/WindowLayer.h"
#include "platform/gtk/WindowFrame.h"
#include "server/Settings.h"
#include "web/NavigationPolicy.h"
#include "web/gtk/WebController.h"

namespace vuko {

namespace {
constexpr int kWidth = 300, kHeight = 420;
constexpr int kRightInset = 320, kTopInset = 20;
constexpr const char* kPath = "/mini-focus";
}  // namespace

MiniFocus::MiniFocus(const WebConfig& configuration) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(window(), "Помодоро");
  gtk_window_set_default_size(window(), kWidth, kHeight);
  gtk_window_set_resizable(window(), FALSE);
  gtk_window_set_type_hint(window(), GDK_WINDOW_TYPE_HINT_UTILITY);
  gtk_window_set_keep_above(window(), TRUE);
  gtk_window_stick(window());
  gtk_window_set_skip_taskbar_hint(window(), TRUE);
  gtk_window_set_skip_pager_hint(window(), TRUE);
  // A floating helper must not pull the focus away from the user's work as
  // it appears; a click into it gives it the keyboard for its timer and form.
  gtk_window_set_focus_on_map(window(), FALSE);
  // Wayland gives an ordinary window no way to stay above the others: a
  // layer surface in the top-right corner does, where the compositor offers
  // one. Elsewhere the desktop decides, and the window says so.
  if (WindowLayer::makeFloating(window(), "vuko-pomodoro", WindowLayer::Level::top,
                                WindowLayer::Keyboard::onDemand, true)) {
    WindowLayer::place(window(), kTopInset, kRightInset - kWidth);
  } else {
    if (WindowLayer::support() == WindowLayer::Support::none)
      gtk_widget_set_tooltip_text(window_, "Будет ли окно поверх других, решает рабочий стол");
    if (!WindowFrame::restore(window(), "VukoMiniFocus")) {
      GdkRectangle area = WindowFrame::workArea();
      gtk_window_move(window(), area.x + area.width - kRightInset, area.y + kTopInset);
    }
    WindowFrame::keep(window(), "VukoMiniFocus");
  }
  // No data: only the window itself is touched.
  g_signal_connect(window_, "delete-event", G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer) {
                     gtk_widget_hide(w);
                     return TRUE;
                   }),
                   nullptr);
  webView_ = configuration.createView();
  // A fixed window takes its content's size.
  gtk_widget_set_size_request(GTK_WIDGET(webView_), kWidth, kHeight);
  // The panel opens no windows of its own: the page's dialogs are answered at
  // once (alert closes, confirm is false, prompt null), and leaving is allowed.
  // No data: only the dialog request is touched.
  g_signal_connect(
      webView_, "script-dialog",
      G_CALLBACK(+[](WebKitWebView*, WebKitScriptDialog* d, gpointer) -> gboolean {
        if (webkit_script_dialog_get_dialog_type(d) == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM)
          webkit_script_dialog_confirm_set_confirmed(d, TRUE);
        return TRUE;
      }),
      nullptr);
  gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(webView_));
  gtk_widget_show(GTK_WIDGET(webView_));
}

MiniFocus::~MiniFocus() {
  if (window_) gtk_widget_destroy(window_);
}

bool MiniFocus::isVisible() const {
  return window_ && gtk_widget_get_visible(window_);
}

void MiniFocus::toggle() {
  if (isVisible())
    gtk_widget_hide(window_);
  else
    show();
}

void MiniFocus::show() {
  auto current = WebController::pageUrl(webView_);
  bool loaded = current && Navigation::isServerHost(current) && current->path() == kPath;
  if (!loaded) loadPage();
  gtk_widget_show(window_);
  if (GdkWindow* w = gtk_widget_get_window(window_)) gdk_window_raise(w);
}

void MiniFocus::reload() {
  if (isVisible())
    loadPage();
  else
    webkit_web_view_load_html(webView_, "", nullptr);
}

void MiniFocus::loadPage() {
  webkit_web_view_load_uri(webView_, Settings::url(kPath).str().c_str());
}

}  // namespace vuko

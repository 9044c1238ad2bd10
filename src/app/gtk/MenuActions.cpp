#include "app/gtk/MenuActions.h"

#include <webkit2/webkit2.h>

#include "app/Zoom.h"
#include "platform/Clock.h"
#include "web/gtk/WebController.h"

namespace vuko {

namespace {

constexpr auto kQuickInputDelay = std::chrono::milliseconds(500);

// The page's editing commands, and the clipboard signals of native text
// fields, by menu action.
struct EditCommand {
  const char* action;
  const char* web;
  const char* signal;  // none where native fields have no such command
};
constexpr EditCommand kEditCommands[] = {
    {"cut:", WEBKIT_EDITING_COMMAND_CUT, "cut-clipboard"},
    {"copy:", WEBKIT_EDITING_COMMAND_COPY, "copy-clipboard"},
    {"paste:", WEBKIT_EDITING_COMMAND_PASTE, "paste-clipboard"},
    {"selectAll:", WEBKIT_EDITING_COMMAND_SELECT_ALL, nullptr},
    {"undo:", WEBKIT_EDITING_COMMAND_UNDO, nullptr},
    {"redo:", WEBKIT_EDITING_COMMAND_REDO, nullptr},
};

}  // namespace

MenuActions::MenuActions(GtkApplication* app, WebController& main) : app_(app), main_(main) {}

std::map<std::string, std::function<void()>> MenuActions::table() {
  std::map<std::string, std::function<void()>> t{
      {"newTask", [this] { newTask(); }},
      {"palette", [this] { palette(); }},
      {"zoomIn", [this] { zoomIn(); }},
      {"zoomOut", [this] { zoomOut(); }},
      {"zoomReset", [this] { zoomReset(); }},
      {"back", [this] { webkit_web_view_go_back(main_.webView()); }},
      {"forward", [this] { webkit_web_view_go_forward(main_.webView()); }},
      {"reload", [this] { main_.reload(); }},
      {"openMain", [this] { main_.show(); }},
      {"goToday", [this] { main_.go("/today"); }},
      {"goInbox", [this] { main_.go("/inbox"); }},
      {"goWeek", [this] { main_.go("/week"); }},
      {"goCalendar", [this] { main_.go("/calendar"); }},
      {"goFocus", [this] { main_.go("/focus"); }},
      {"hide:", [this] { hideAll(); }},
      {"toggleFullScreen:", [this] { toggleFullScreen(); }},
      {"performMiniaturize:", [this] { minimize(); }},
      {"performClose:", [this] { closeWindow(); }},
      {"terminate:", [this] { g_application_quit(G_APPLICATION(app_)); }},
  };
  for (const auto& c : kEditCommands)
    t[c.action] = [this, name = std::string(c.action)] { edit(name); };
  return t;
}

void MenuActions::newTask() {
  main_.show();
  newTaskRoutine().detach();
}

Task<> MenuActions::newTaskRoutine() {
  auto alive = life_.guard();
  auto result = co_await WebController::evaluateJson(main_.webView(), kNewTaskScript);
  if (!alive) co_return;
  // Only a page that had no field and was sent to the inbox gets a second
  // try, once the inbox has had time to show its field.
  if (!result || !result->is_boolean() || result->get<bool>()) co_return;
  Clock::main().defer(
      [this, alive] {
        if (alive) main_.evaluate(kFocusQuickInput);
      },
      kQuickInputDelay);
}

void MenuActions::palette() {
  main_.show();
  main_.evaluate(kPaletteScript);
}

// The zoom belongs to the main view alone and is not kept between runs.
void MenuActions::zoomIn() {
  auto* view = main_.webView();
  webkit_web_view_set_zoom_level(view, zoom::in(webkit_web_view_get_zoom_level(view)));
}
void MenuActions::zoomOut() {
  auto* view = main_.webView();
  webkit_web_view_set_zoom_level(view, zoom::out(webkit_web_view_get_zoom_level(view)));
}
void MenuActions::zoomReset() {
  webkit_web_view_set_zoom_level(main_.webView(), zoom::kNormal);
}

GtkWindow* MenuActions::activeWindow() const {
  if (GtkWindow* w = gtk_application_get_active_window(app_)) return w;
  return main_.window();
}

void MenuActions::edit(const std::string& command) {
  const EditCommand* c = nullptr;
  for (const auto& e : kEditCommands)
    if (command == e.action) c = &e;
  if (!c) return;
  GtkWidget* focus = gtk_window_get_focus(activeWindow());
  if (!focus) return;
  if (WEBKIT_IS_WEB_VIEW(focus)) {
    webkit_web_view_execute_editing_command(WEBKIT_WEB_VIEW(focus), c->web);
  } else if (c->signal && g_signal_lookup(c->signal, G_OBJECT_TYPE(focus))) {
    g_signal_emit_by_name(focus, c->signal);
  } else if (command == "selectAll:" && GTK_IS_EDITABLE(focus)) {
    gtk_editable_select_region(GTK_EDITABLE(focus), 0, -1);
  } else if (command == "selectAll:" && GTK_IS_TEXT_VIEW(focus)) {
    g_signal_emit_by_name(focus, "select-all", TRUE);
  }
}

void MenuActions::hideAll() {
  for (GList* w = gtk_application_get_windows(app_); w; w = w->next)
    gtk_widget_hide(GTK_WIDGET(w->data));
}

void MenuActions::toggleFullScreen() {
  GtkWindow* window = activeWindow();
  GdkWindow* gdk = gtk_widget_get_window(GTK_WIDGET(window));
  if (gdk && (gdk_window_get_state(gdk) & GDK_WINDOW_STATE_FULLSCREEN))
    gtk_window_unfullscreen(window);
  else
    gtk_window_fullscreen(window);
}

void MenuActions::minimize() {
  gtk_window_iconify(activeWindow());
}

void MenuActions::closeWindow() {
  gtk_window_close(activeWindow());
}

}  // namespace vuko

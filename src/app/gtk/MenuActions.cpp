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
  WindowCommands::Edit action;
  const char* web;
  const char* signal;  // none where native fields have no such command
};
constexpr EditCommand kEditCommands[] = {
    {WindowCommands::Edit::cut, WEBKIT_EDITING_COMMAND_CUT, "cut-clipboard"},
    {WindowCommands::Edit::copy, WEBKIT_EDITING_COMMAND_COPY, "copy-clipboard"},
    {WindowCommands::Edit::paste, WEBKIT_EDITING_COMMAND_PASTE, "paste-clipboard"},
    {WindowCommands::Edit::selectAll, WEBKIT_EDITING_COMMAND_SELECT_ALL, nullptr},
    {WindowCommands::Edit::undo, WEBKIT_EDITING_COMMAND_UNDO, nullptr},
    {WindowCommands::Edit::redo, WEBKIT_EDITING_COMMAND_REDO, nullptr},
};

}  // namespace

MenuActions::MenuActions(GtkApplication* app, WebController& main) : app_(app), main_(main) {}

void MenuActions::back() {
  webkit_web_view_go_back(main_.webView());
}

void MenuActions::forward() {
  webkit_web_view_go_forward(main_.webView());
}

void MenuActions::reload() {
  main_.reload();
}

void MenuActions::go(const std::string& path) {
  main_.go(path);
}

void MenuActions::quit() {
  auto end = [app = app_] { g_application_quit(G_APPLICATION(app)); };
  // A hidden window's page was kept when it hid; a shown one's is kept now,
  // before the process ends (briefly: quitting never waits long).
  if (gtk_widget_get_visible(GTK_WIDGET(main_.window())))
    main_.keepSnapshot(end);
  else
    end();
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

void MenuActions::zoom(Zoom step) {
  auto* view = main_.webView();
  const double level = webkit_web_view_get_zoom_level(view);
  switch (step) {
    case Zoom::in:
      return webkit_web_view_set_zoom_level(view, ::vuko::zoom::in(level));
    case Zoom::out:
      return webkit_web_view_set_zoom_level(view, ::vuko::zoom::out(level));
    case Zoom::reset:
      return webkit_web_view_set_zoom_level(view, ::vuko::zoom::kNormal);
  }
}

GtkWindow* MenuActions::activeWindow() const {
  if (GtkWindow* w = gtk_application_get_active_window(app_)) return w;
  return main_.window();
}

void MenuActions::edit(Edit command) {
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
  } else if (command == Edit::selectAll && GTK_IS_EDITABLE(focus)) {
    gtk_editable_select_region(GTK_EDITABLE(focus), 0, -1);
  } else if (command == Edit::selectAll && GTK_IS_TEXT_VIEW(focus)) {
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

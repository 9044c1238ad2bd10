#include "app/gtk/AppMenus.h"

#include <webkit2/webkit2.h>

#include "hotkeys/Hotkeys.h"
#include "web/gtk/MainWindow.h"

namespace vuko {

namespace {

// Keys a keyboard may give for the zoom commands besides the one shown: "+"
// needs Shift on many layouts, and the keypad has its own keys.
const std::map<MenuAction, std::vector<std::string>>& alternates() {
  static const std::map<MenuAction, std::vector<std::string>> keys{
      {MenuAction::zoomIn, {"<Primary>equal", "<Primary>KP_Add"}},
      {MenuAction::zoomOut, {"<Primary>KP_Subtract"}},
      {MenuAction::zoomReset, {"<Primary>KP_0"}},
  };
  return keys;
}

bool opensMenuBar(GtkWidget* window, const GdkEventKey* event) {
  gchar* accel = nullptr;
  g_object_get(gtk_widget_get_settings(window), "gtk-menu-bar-accel", &accel, nullptr);
  guint key = 0;
  GdkModifierType mods{};
  if (accel) gtk_accelerator_parse(accel, &key, &mods);
  g_free(accel);
  const guint relevant = gtk_accelerator_get_default_mod_mask();
  return key && event->keyval == key && (event->state & relevant) == (mods & relevant);
}

struct Activation {
  AppMenus::Dispatch* dispatch;
  MenuAction action;
};

}  // namespace

void AppMenus::placeMenuBar() {
  // The window's frame holds the bar's place with its titles only, so that
  // the window has its final layout before the client is loaded.
  GtkWidget* frame = gtk_bin_get_child(GTK_BIN(mainWindow_));
  g_return_if_fail(frame && g_object_get_data(G_OBJECT(frame), MainWindow::kMenuFrame));
  GList* children = gtk_container_get_children(GTK_CONTAINER(frame));
  gtk_widget_destroy(GTK_WIDGET(children->data));
  g_list_free(children);
  gtk_box_pack_start(GTK_BOX(frame), menuBar_, FALSE, FALSE, 0);
  gtk_box_reorder_child(GTK_BOX(frame), menuBar_, 0);
}

AppMenus::AppMenus(GtkApplication* app, GtkWindow* mainWindow, Dispatch dispatch,
                   Available available)
    : app_(app),
      mainWindow_(mainWindow),
      dispatch_(std::move(dispatch)),
      available_(std::move(available)),
      mainGroup_(GObjectPtr<GtkAccelGroup>::adopt(gtk_accel_group_new())),
      statusGroup_(GObjectPtr<GtkAccelGroup>::adopt(gtk_accel_group_new())) {
  GtkWidget* bar = gtk_menu_bar_new();
  for (const auto& menu : menus::mainMenu()) {
    GtkWidget* top = gtk_menu_item_new_with_label(menu.title.c_str());
    GtkWidget* sub = gtk_menu_new();
    gtk_menu_set_accel_group(GTK_MENU(sub), mainGroup_.get());
    for (const auto& row : menu.items)
      gtk_menu_shell_append(GTK_MENU_SHELL(sub), makeItem(row, mainGroup_.get()));
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), sub);
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
    windowMenu_ = sub;  // the last one, "Окно"
  }
  // The list of windows is read when the menu opens, so it is never stale.
  // The menus destroy the menu bar, and this handler with it.
  g_signal_connect(windowMenu_, "show", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                     static_cast<AppMenus*>(self)->refreshWindowList();
                   }),
                   this);
  gtk_widget_show_all(bar);
  menuBar_ = bar;

  g_object_add_weak_pointer(G_OBJECT(mainWindow_), reinterpret_cast<gpointer*>(&mainWindow_));
  placeMenuBar();
  gtk_window_add_accel_group(mainWindow_, mainGroup_.get());
  // Disconnected by the destructor (by data).
  g_signal_connect(mainWindow_, "key-press-event", G_CALLBACK(pageFirst), this);
  g_object_ref(menuBar_);

  GtkWidget* status = gtk_menu_new();
  gtk_menu_set_accel_group(GTK_MENU(status), statusGroup_.get());
  for (const auto& row : menus::statusMenu())
    gtk_menu_shell_append(GTK_MENU_SHELL(status), makeItem(row, statusGroup_.get()));
  gtk_widget_show_all(status);
  // A line of information, hidden until there is something to say.
  waitingItem_ = gtk_menu_item_new_with_label("");
  waitingSeparator_ = gtk_separator_menu_item_new();
  gtk_widget_set_sensitive(waitingItem_, FALSE);
  gtk_menu_shell_prepend(GTK_MENU_SHELL(status), waitingSeparator_);
  gtk_menu_shell_prepend(GTK_MENU_SHELL(status), waitingItem_);
  statusMenu_ = GObjectPtr<GtkWidget>::adopt(GTK_WIDGET(g_object_ref_sink(status)));
}

void AppMenus::setWaiting(const std::optional<std::string>& line) {
  gtk_menu_item_set_label(GTK_MENU_ITEM(waitingItem_), line ? line->c_str() : "");
  gtk_widget_set_visible(waitingItem_, line.has_value());
  gtk_widget_set_visible(waitingSeparator_, line.has_value());
}

AppMenus::~AppMenus() {
  // Items die with their menus, and their "activate" handlers with them.
  if (mainWindow_) {
    gtk_window_remove_accel_group(mainWindow_, mainGroup_.get());
    g_signal_handlers_disconnect_by_data(mainWindow_, this);
    g_object_remove_weak_pointer(G_OBJECT(mainWindow_), reinterpret_cast<gpointer*>(&mainWindow_));
  }
  gtk_widget_destroy(menuBar_);
  g_object_unref(menuBar_);
  gtk_widget_destroy(statusMenu_.get());
}

gboolean AppMenus::pageFirst(GtkWidget* window, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<AppMenus*>(data);
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
  if (!focus || !WEBKIT_IS_WEB_VIEW(focus)) return FALSE;
  // The key that opens the menu bar (F10) is the desktop's, not the page's.
  if (opensMenuBar(window, event)) return FALSE;
  // Plain typing never reaches the menus; only presses that may be key
  // equivalents take the detour.
  const guint mods = GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SUPER_MASK | GDK_META_MASK;
  if (!(event->state & mods) && !(event->keyval >= GDK_KEY_F1 && event->keyval <= GDK_KEY_F35))
    return FALSE;
  Press press{event->time, event->keyval, event->hardware_keycode, event->state};
  // The web view hands a press its page left alone back to the window: now
  // the menus' accelerators may have it.
  if (self->forwarded_ == press) {
    self->forwarded_.reset();
    return FALSE;
  }
  self->forwarded_ = press;
  gtk_widget_event(focus, reinterpret_cast<GdkEvent*>(event));
  return TRUE;
}

GtkWidget* AppMenus::makeItem(const menus::Item& row, GtkAccelGroup* group) {
  if (row.separator) return gtk_separator_menu_item_new();
  GtkWidget* item = gtk_menu_item_new_with_label(row.title.c_str());
  gtk_widget_set_sensitive(item, row.enabled && available_ && available_(row.action));
  // The activation record goes with the item; the menus outlive their items.
  g_signal_connect_data(
      item, "activate", G_CALLBACK(+[](GtkMenuItem*, gpointer data) {
        auto* a = static_cast<Activation*>(data);
        if (*a->dispatch) (*a->dispatch)(a->action);
      }),
      new Activation{&dispatch_, row.action},
      [](gpointer data, GClosure*) { delete static_cast<Activation*>(data); }, GConnectFlags(0));
  setAccelerator(item, group, menus::accelerator(row));
  if (group == mainGroup_.get()) {
    if (auto more = alternates().find(row.action); more != alternates().end()) {
      for (const auto& accel : more->second) {
        guint key = 0;
        GdkModifierType mods{};
        gtk_accelerator_parse(accel.c_str(), &key, &mods);
        if (key) gtk_widget_add_accelerator(item, "activate", group, key, mods, GtkAccelFlags(0));
      }
    }
  }
  if (row.follows == menus::Follows::quick) quickItems_.push_back(item);
  if (row.follows == menus::Follows::focus) focusItems_.push_back(item);
  return item;
}

void AppMenus::setAccelerator(GtkWidget* item, GtkAccelGroup* group, const std::string& accel) {
  if (auto old = keys_.find(item); old != keys_.end()) {
    gtk_widget_remove_accelerator(item, group, old->second.first, old->second.second);
    keys_.erase(old);
  }
  guint key = 0;
  GdkModifierType mods{};
  if (!accel.empty()) gtk_accelerator_parse(accel.c_str(), &key, &mods);
  if (!key) return;
  gtk_widget_add_accelerator(item, "activate", group, key, mods, GTK_ACCEL_VISIBLE);
  keys_[item] = {key, mods};
}

void AppMenus::setFollowedKey(menus::Follows which,
                              const std::optional<GlobalCombo::MenuKey>& key) {
  const std::string accel = menus::accelerator(key);
  for (GtkWidget* item : which == menus::Follows::quick ? quickItems_ : focusItems_) {
    GtkWidget* menu = gtk_widget_get_parent(item);
    GtkAccelGroup* group = menu && gtk_menu_get_accel_group(GTK_MENU(menu))
                               ? gtk_menu_get_accel_group(GTK_MENU(menu))
                               : statusGroup_.get();
    setAccelerator(item, group, accel);
  }
}

void AppMenus::followHotkeys(const Hotkeys& hotkeys) {
  setFollowedKey(menus::Follows::quick,
                 menus::followedKey(hotkeys.combo(hotkeyId(HotkeyAction::quick))));
  setFollowedKey(menus::Follows::focus,
                 menus::followedKey(hotkeys.combo(hotkeyId(HotkeyAction::focus))));
}

void AppMenus::refreshWindowList() {
  for (GtkWidget* w : windowItems_) gtk_widget_destroy(w);
  windowItems_.clear();
  std::vector<GtkWindow*> open;
  for (GList* w = gtk_application_get_windows(app_); w; w = w->next)
    if (gtk_widget_get_visible(GTK_WIDGET(w->data))) open.push_back(GTK_WINDOW(w->data));
  if (open.empty()) return;
  GtkWidget* line = gtk_separator_menu_item_new();
  gtk_menu_shell_append(GTK_MENU_SHELL(windowMenu_), line);
  windowItems_.push_back(line);
  for (GtkWindow* window : open) {
    const char* title = gtk_window_get_title(window);
    GtkWidget* item = gtk_check_menu_item_new_with_label(title && *title ? title : "Vuko");
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), gtk_window_is_active(window));
    // The window is looked up again when chosen: it may be gone by then.
    g_object_set_data(G_OBJECT(item), "vuko-window", window);
    // The menus own the window menu, and so outlive its items.
    g_signal_connect(item, "activate", G_CALLBACK(+[](GtkMenuItem* i, gpointer self) {
                       auto* chosen = g_object_get_data(G_OBJECT(i), "vuko-window");
                       auto* menus = static_cast<AppMenus*>(self);
                       for (GList* w = gtk_application_get_windows(menus->app_); w; w = w->next)
                         if (w->data == chosen) {
                           gtk_widget_show(GTK_WIDGET(w->data));
                           gtk_window_present(GTK_WINDOW(w->data));
                         }
                     }),
                     this);
    gtk_menu_shell_append(GTK_MENU_SHELL(windowMenu_), item);
    windowItems_.push_back(item);
  }
  for (GtkWidget* w : windowItems_) gtk_widget_show(w);
}

std::string AppMenus::acceleratorOf(GtkWidget* item) {
  std::string out;
  GList* closures = gtk_widget_list_accel_closures(item);
  for (GList* c = closures; c && out.empty(); c = c->next) {
    auto* closure = static_cast<GClosure*>(c->data);
    GtkAccelGroup* group = gtk_accel_group_from_accel_closure(closure);
    if (!group) continue;
    GtkAccelKey* key = gtk_accel_group_find(
        group, [](GtkAccelKey*, GClosure* cl, gpointer data) -> gboolean { return cl == data; },
        closure);
    if (!key || !(key->accel_flags & GTK_ACCEL_VISIBLE)) continue;
    gchar* name = gtk_accelerator_name(key->accel_key, key->accel_mods);
    out = name;
    g_free(name);
  }
  g_list_free(closures);
  return out;
}

GtkWidget* AppMenus::find(GtkWidget* shell, const std::string& title) {
  GtkWidget* found = nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(shell));
  for (GList* c = children; c && !found; c = c->next) {
    auto* item = GTK_WIDGET(c->data);
    if (!GTK_IS_MENU_ITEM(item)) continue;
    const char* label = gtk_menu_item_get_label(GTK_MENU_ITEM(item));
    if (label && title == label)
      found = item;
    else if (GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(item)))
      found = find(sub, title);
  }
  g_list_free(children);
  return found;
}

}  // namespace vuko

// The menus over a real main window: accelerators that reach the page
// through the router, key equivalents that follow the hot keys, the zoom and
// new-task commands, the window list and the About window.
#include <gtest/gtest.h>

#include <memory>

#include "app/gtk/AboutPanel.h"
#include "app/gtk/AppMenus.h"
#include "app/gtk/MenuActions.h"
#include "hotkeys/Hotkeys.h"
#include "support/GtkFind.h"
#include "support/RecordingAppWindows.h"
#include "support/RecordingHotkeyService.h"
#include "support/WebFixture.h"
#include "web/gtk/MiniFocus.h"

using namespace vuko;
using namespace vuko::test;

namespace {

std::string normal(const std::string& accel) {
  guint key = 0;
  GdkModifierType mods{};
  gtk_accelerator_parse(accel.c_str(), &key, &mods);
  if (!key) return "";
  gchar* name = gtk_accelerator_name(key, mods);
  std::string out = name;
  g_free(name);
  return out;
}

class ShellMenusTest : public WebFixture {
 protected:
  void SetUp() override {
    WebFixture::SetUp();
    if (IsSkipped()) return;
    app = gtk_application_new(nullptr, G_APPLICATION_NON_UNIQUE);
    ASSERT_TRUE(g_application_register(G_APPLICATION(app), nullptr, nullptr));
    start();
    gtk_application_add_window(app, controller->window());
    actions = std::make_unique<MenuActions>(app, *controller);
    rules.setCommands(actions.get());
    menus = std::make_unique<AppMenus>(
        app, controller->window(),
        [this](MenuAction action) {
          dispatched.push_back(action);
          rules.perform(action);
        },
        [this](MenuAction action) { return rules.handles(action); });
  }

  void TearDown() override {
    menus.reset();
    actions.reset();
    WebFixture::TearDown();
    if (app) g_object_unref(app);
  }

  std::string keyOf(GtkWidget* item) { return AppMenus::acceleratorOf(item); }
  GtkWidget* item(const char* title) { return AppMenus::find(menus->menuBar(), title); }

  // Presses a key combination in the main window as the keyboard would.
  bool press(guint key, GdkModifierType mods) {
    return gtk_accel_groups_activate(G_OBJECT(controller->window()), key, mods);
  }

  double zoom() { return webkit_web_view_get_zoom_level(controller->webView()); }

  GtkApplication* app = nullptr;
  // The windows the menus' own rows open are recorded, not made.
  RecordingAppWindows windows;
  RecordingSettingsLauncher launcher;
  AppController rules{windows, launcher};
  std::unique_ptr<MenuActions> actions;
  std::unique_ptr<AppMenus> menus;
  std::vector<MenuAction> dispatched;
};

}  // namespace

TEST_F(ShellMenusTest, GoShortcutsRouteInThePageWithoutReload) {
  controller->show();
  ASSERT_TRUE(waitUntil([&] { return gtk_widget_is_drawable(menus->menuBar()); }));
  struct Case {
    guint key;
    const char* path;
  } cases[] = {{GDK_KEY_2, "/inbox"},
               {GDK_KEY_3, "/week"},
               {GDK_KEY_4, "/calendar"},
               {GDK_KEY_5, "/focus"},
               {GDK_KEY_1, "/today"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(press(c.key, GDK_CONTROL_MASK)) << c.path;
    EXPECT_TRUE(waitForValue("window.routed", c.path)) << c.path;
  }
  EXPECT_EQ(eval("window.marker"), nlohmann::json("kept"));
  EXPECT_EQ(requestCount("/today"), 1u);
}

TEST_F(ShellMenusTest, RowsWithoutAnActionAreInsensitive) {
  for (const char* title : {"Скрыть остальные", "Показать все"})
    EXPECT_FALSE(gtk_widget_get_sensitive(item(title))) << title;
  for (const char* title : {"Сервер…", "Настройки…", "Быстрая задача из любой программы",
                            "Новая задача", "Сегодня", "Крупнее", "Выйти из «Vuko»"})
    EXPECT_TRUE(gtk_widget_get_sensitive(item(title))) << title;
  EXPECT_EQ(keyOf(item("Во весь экран")), normal("F11"));
  EXPECT_EQ(keyOf(item("Главное окно «Vuko»")), normal("<Control><Alt>0"));
}

TEST_F(ShellMenusTest, HotkeyItemsFollowTheRegistry) {
  auto service = std::make_shared<RecordingHotkeyService>();
  MemoryDefaults keys;
  Hotkeys hotkeys({}, service, keys);
  hotkeys.onChange = [&] { menus->followHotkeys(hotkeys); };
  menus->followHotkeys(hotkeys);
  ASSERT_EQ(menus->quickItems().size(), 2u);
  ASSERT_EQ(menus->focusItems().size(), 2u);
  auto shown = [&](const std::vector<GtkWidget*>& items) {
    std::vector<std::string> out;
    for (auto* i : items) out.push_back(keyOf(i));
    return out;
  };
  const std::string quick = normal("<Control><Alt>space");
  const std::string focus = normal(menus::accelerator(hotkeys.combo("focus")->menuKey()));
  ASSERT_FALSE(focus.empty());
  EXPECT_EQ(shown(menus->quickItems()), (std::vector<std::string>{quick, quick}));
  EXPECT_EQ(shown(menus->focusItems()), (std::vector<std::string>{focus, focus}));

  hotkeys.set("quick", std::nullopt);
  EXPECT_EQ(shown(menus->quickItems()), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(shown(menus->focusItems()), (std::vector<std::string>{focus, focus}));

  hotkeys.set("focus", GlobalCombo("KeyF", true, false, true));
  const std::string changed = normal("<Control><Shift>f");
  EXPECT_EQ(shown(menus->focusItems()), (std::vector<std::string>{changed, changed}));
  // The old key no longer opens anything.
  controller->show();
  ASSERT_TRUE(waitUntil([&] { return gtk_widget_is_drawable(menus->menuBar()); }));
  dispatched.clear();
  GdkModifierType oldMods{};
  guint oldKey = 0;
  gtk_accelerator_parse(focus.c_str(), &oldKey, &oldMods);
  press(oldKey, oldMods);
  press(GDK_KEY_f, GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK));
  EXPECT_EQ(dispatched, std::vector<MenuAction>{MenuAction::toggleMini});
  EXPECT_EQ(windows.calls, std::vector<std::string>{"toggleMini"});

  hotkeys.set("quick", GlobalCombo("KeyJ", false, true));
  EXPECT_EQ(shown(menus->quickItems()), (std::vector<std::string>(2, normal("<Alt>j"))));

  // A bare letter stays the page's typing: no menu key takes it.
  hotkeys.set("quick", GlobalCombo("KeyA", false, false));
  EXPECT_EQ(shown(menus->quickItems()), (std::vector<std::string>{"", ""}));
  dispatched.clear();
  EXPECT_FALSE(press(GDK_KEY_a, GdkModifierType(0)));
  EXPECT_TRUE(dispatched.empty());
}

TEST_F(ShellMenusTest, ZoomActsOnTheMainViewWithinItsBounds) {
  MiniFocus mini(controller->sharedConfig());
  webkit_web_view_set_zoom_level(controller->webView(), 1.95);
  gtk_menu_item_activate(GTK_MENU_ITEM(item("Крупнее")));
  EXPECT_DOUBLE_EQ(zoom(), 2.0);
  gtk_menu_item_activate(GTK_MENU_ITEM(item("Крупнее")));
  EXPECT_DOUBLE_EQ(zoom(), 2.0);
  for (int i = 0; i < 20; ++i) gtk_menu_item_activate(GTK_MENU_ITEM(item("Мельче")));
  EXPECT_DOUBLE_EQ(zoom(), 0.6);
  EXPECT_DOUBLE_EQ(webkit_web_view_get_zoom_level(mini.testWebView()), 1.0);
  gtk_menu_item_activate(GTK_MENU_ITEM(item("Обычный размер")));
  EXPECT_DOUBLE_EQ(zoom(), 1.0);
}

TEST_F(ShellMenusTest, NewTaskFocusesThePagesFieldOrGoesToTheInbox) {
  ASSERT_TRUE(showPage("/with-field",
                       "<!doctype html><body><div class='quick'><input id='q'></div>"
                       "<script>window.vukoGo = (p) => { window.routed = p; };</script>"));
  gtk_menu_item_activate(GTK_MENU_ITEM(item("Новая задача")));
  EXPECT_TRUE(waitForValue("document.activeElement && document.activeElement.id", "q"));
  EXPECT_EQ(eval("window.routed === undefined"), nlohmann::json(true));

  // Without the field the page's router goes to the inbox, which shows its
  // field a moment later; the second step focuses it.
  ASSERT_TRUE(showPage("/without-field",
                       "<!doctype html><body><script>window.vukoGo = (p) => { window.routed = p;"
                       " setTimeout(() => { document.body.innerHTML ="
                       " \"<div class='quick'><input id='inbox'></div>\"; }, 100); };</script>"));
  gtk_menu_item_activate(GTK_MENU_ITEM(item("Новая задача")));
  EXPECT_TRUE(waitForValue("window.routed", "/inbox"));
  EXPECT_TRUE(waitForValue("document.activeElement && document.activeElement.id", "inbox"));
}

TEST_F(ShellMenusTest, WindowMenuListsTheOpenWindows) {
  GtkWidget* other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(other), "Помодоро");
  gtk_application_add_window(app, GTK_WINDOW(other));
  controller->show();
  gtk_widget_show(other);
  menus->refreshWindowList();
  GtkWidget* listed = item("Помодоро");
  ASSERT_TRUE(listed);
  EXPECT_TRUE(item("Vuko"));
  gtk_widget_hide(other);
  gtk_menu_item_activate(GTK_MENU_ITEM(listed));
  EXPECT_TRUE(gtk_widget_get_visible(other));
  // A hidden window is not open and is not listed.
  gtk_widget_hide(other);
  menus->refreshWindowList();
  EXPECT_FALSE(item("Помодоро"));
  gtk_widget_destroy(other);
}

TEST_F(ShellMenusTest, AboutNamesTheServerInUse) {
  AboutPanel about;
  about.show(controller->window());
  auto comments = [&] {
    return std::string(gtk_about_dialog_get_comments(GTK_ABOUT_DIALOG(about.dialog())));
  };
  EXPECT_EQ(comments(), "Планировщик задач. Сервер: " + server.url() + "\n" + "app.vuko.example");
  EXPECT_STREQ(gtk_about_dialog_get_program_name(GTK_ABOUT_DIALOG(about.dialog())), "Vuko");
  EXPECT_STREQ(gtk_about_dialog_get_version(GTK_ABOUT_DIALOG(about.dialog())), "1.0");
  EXPECT_TRUE(gtk_widget_get_visible(about.dialog()));
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(about.dialog())), "О программе «Vuko»");
  // The credit is secondary text: 11 points and dimmed.
  GtkLabel* credit = findLabel(about.dialog(), comments());
  ASSERT_TRUE(credit);
  PangoAttrList* attrs = gtk_label_get_attributes(credit);
  ASSERT_TRUE(attrs) << "the dialog's own size";
  PangoAttrIterator* it = pango_attr_list_get_iterator(attrs);
  auto* size =
      reinterpret_cast<PangoAttrSize*>(pango_attr_iterator_get(it, PANGO_ATTR_ABSOLUTE_SIZE));
  EXPECT_EQ(size ? size->size : 0, 11 * PANGO_SCALE);
  pango_attr_iterator_destroy(it);
  EXPECT_TRUE(
      gtk_style_context_has_class(gtk_widget_get_style_context(GTK_WIDGET(credit)), "dim-label"));

  gtk_dialog_response(GTK_DIALOG(about.dialog()), GTK_RESPONSE_DELETE_EVENT);
  EXPECT_FALSE(gtk_widget_get_visible(about.dialog()));
  TestServer other;
  Settings::setServer(*Url::parse(other.url()));
  about.show(controller->window());
  EXPECT_EQ(comments(), "Планировщик задач. Сервер: " + other.url() + "\n" + "app.vuko.example");
}

TEST_F(ShellMenusTest, EditingItemsActOnWhatHasTheFocus) {
  auto activate = [&](const char* title) { gtk_menu_item_activate(GTK_MENU_ITEM(item(title))); };
  // In the page: the web view's own editing commands.
  controller->show();
  ASSERT_TRUE(showPage("/edit",
                       "<!doctype html><body><input id='a' value='первый'>"
                       "<input id='b' value=''></body>"));
  gtk_widget_grab_focus(GTK_WIDGET(controller->webView()));
  eval("document.getElementById('a').focus(); true");
  activate("Выбрать все");
  activate("Вырезать");
  ASSERT_TRUE(waitForValue("document.getElementById('a').value", ""));
  eval("document.getElementById('b').focus(); true");
  activate("Вставить");
  EXPECT_TRUE(waitForValue("document.getElementById('b').value", "первый"));

  // In a native window of the client: the text field's clipboard.
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  GtkWidget* from = gtk_entry_new();
  GtkWidget* to = gtk_entry_new();
  gtk_entry_set_text(GTK_ENTRY(from), "второй");
  gtk_container_add(GTK_CONTAINER(box), from);
  gtk_container_add(GTK_CONTAINER(box), to);
  gtk_container_add(GTK_CONTAINER(window), box);
  gtk_application_add_window(app, GTK_WINDOW(window));
  gtk_widget_show_all(window);
  gtk_window_present(GTK_WINDOW(window));
  ASSERT_TRUE(
      waitUntil([&] { return gtk_application_get_active_window(app) == GTK_WINDOW(window); }));
  gtk_widget_grab_focus(from);
  activate("Выбрать все");
  activate("Скопировать");
  gtk_widget_grab_focus(to);
  activate("Вставить");
  EXPECT_TRUE(
      waitUntil([&] { return std::string(gtk_entry_get_text(GTK_ENTRY(to))) == "второй"; }));
  EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(from)), "второй");

  // Hiding the client hides every window of it.
  activate("Скрыть «Vuko»");
  EXPECT_FALSE(gtk_widget_get_visible(window));
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(controller->window())));
  gtk_widget_destroy(window);
}

// Key presses come from the keyboard here (through the X server), so the page
// is asked before the menus, as in the client.
TEST_F(ShellMenusTest, ThePageSeesKeyEquivalentsFirst) {
  controller->show();
  ASSERT_TRUE(showPage("/keys",
                       "<!doctype html><body><input id='f'><script>"
                       "window.seen = 0; window.keep = false; window.vukoGo = (p) => {};"
                       "document.addEventListener('keydown', (e) => {"
                       " if (e.ctrlKey && e.key === '2') { window.seen++;"
                       "  if (window.keep) e.preventDefault(); } });</script>"));
  gchar* out = nullptr;
  const gchar* find[] = {"xdotool", "search", "--onlyvisible", "--name", "^Vuko$", nullptr};
  g_spawn_sync(nullptr, const_cast<gchar**>(find), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
               &out, nullptr, nullptr, nullptr);
  std::string id = out ? out : "";
  g_free(out);
  id = id.substr(0, id.find('\n'));
  ASSERT_FALSE(id.empty());
  auto key = [&](const char* combo) {
    const gchar* argv[] = {"xdotool", "windowactivate", "--sync", id.c_str(), "key",
                           combo,     nullptr};
    g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                  nullptr, nullptr, nullptr);
  };
  gtk_widget_grab_focus(GTK_WIDGET(controller->webView()));
  eval("document.getElementById('f').focus(); true");

  // A key the page leaves alone reaches the menu after the page saw it.
  key("ctrl+2");
  ASSERT_TRUE(waitForValue("window.seen", 1));
  EXPECT_TRUE(
      waitUntil([&] { return dispatched == std::vector<MenuAction>{MenuAction::goInbox}; }));

  // A key the page takes for itself does not.
  eval("window.keep = true; true");
  key("ctrl+2");
  ASSERT_TRUE(waitForValue("window.seen", 2));
  key("ctrl+3");
  EXPECT_TRUE(waitUntil([&] { return dispatched.size() == 2; }));
  EXPECT_EQ(dispatched, (std::vector<MenuAction>{MenuAction::goInbox, MenuAction::goWeek}));

  // F10 opens the menu bar, as in every program of the desktop.
  key("F10");
  EXPECT_TRUE(waitUntil([&] {
    return gtk_menu_shell_get_selected_item(GTK_MENU_SHELL(menus->menuBar())) != nullptr;
  }));
}

// The menus over a real main window, with key presses from the keyboard
// (through the X server): the page is asked before the menus. What each menu
// row does is unit-tested.
#include <gtest/gtest.h>

#include <memory>

#include "app/gtk/AppMenus.h"
#include "support/Desktop.h"
#include "support/WebFixture.h"

using namespace vuko;
using namespace vuko::test;

namespace {

class ShellMenusTest : public WebFixture {
 protected:
  void SetUp() override {
    WebFixture::SetUp();
    if (IsSkipped()) return;
    app = gtk_application_new(nullptr, G_APPLICATION_NON_UNIQUE);
    ASSERT_TRUE(g_application_register(G_APPLICATION(app), nullptr, nullptr));
    start();
    gtk_application_add_window(app, controller->window());
    // Every row is enabled and only records that it was chosen.
    menus = std::make_unique<AppMenus>(
        app, controller->window(), [this](MenuAction action) { dispatched.push_back(action); },
        [](MenuAction) { return true; });
  }

  void TearDown() override {
    menus.reset();
    WebFixture::TearDown();
    if (app) g_object_unref(app);
  }

  GtkApplication* app = nullptr;
  std::unique_ptr<AppMenus> menus;
  std::vector<MenuAction> dispatched;
};

}  // namespace

TEST_F(ShellMenusTest, ThePageSeesKeyEquivalentsFirst) {
  controller->show();
  ASSERT_TRUE(showPage("/keys",
                       "<!doctype html><body><input id='f'><script>"
                       "window.seen = 0; window.keep = false; window.vukoGo = (p) => {};"
                       "document.addEventListener('keydown', (e) => {"
                       " if (e.ctrlKey && e.key === '2') { window.seen++;"
                       "  if (window.keep) e.preventDefault(); } });</script>"));
  std::string id;
  ASSERT_TRUE(waitUntil([&] { return !(id = windowNamed("Vuko")).empty(); }));
  auto key = [&](const char* combo) {
    runSync({"xdotool", "windowactivate", "--sync", id, "key", combo}, true);
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

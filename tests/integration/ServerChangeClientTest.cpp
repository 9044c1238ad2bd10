// The whole client in this process: started against a closed port, it shows
// the offline page, whose "Другой сервер…" opens the server sheet over the
// main window; a typed address of a running task server switches to it.
#include <gtest/gtest.h>

#include "app/gtk/AppDelegate.h"
#include "devserver/DevServer.h"
#include "platform/Defaults.h"
#include "reminders/Reminders.h"
#include "server/Settings.h"
#include "server/gtk/ServerSheet.h"
#include "settings/SettingsLines.h"
#include "settings/gtk/SettingsWindow.h"
#include "support/GtkFind.h"
#include "support/SettingsScope.h"
#include "support/TestServer.h"
#include "support/Wait.h"
#include "web/gtk/WebController.h"

using namespace vuko;
using namespace vuko::test;

namespace {

class ServerChangeClientTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY") || !std::getenv("DBUS_SESSION_BUS_ADDRESS"))
      GTEST_SKIP() << "needs a display and a session bus";
    closed = "http://127.0.0.1:" + std::to_string(TestServer::closedPort());
    Settings::setServer(*Url::parse(closed));
    dev::DevServer::Options options;
    options.demo = true;
    devserver = std::make_unique<dev::DevServer>(options);
    app = gtk_application_new("app.vuko.ServerChangeTest", G_APPLICATION_NON_UNIQUE);
    ASSERT_TRUE(g_application_register(G_APPLICATION(app), nullptr, nullptr));
    delegate = std::make_unique<AppDelegate>(app);
    delegate->didFinishLaunching();
  }
  void TearDown() override {
    delegate.reset();
    if (app) g_object_unref(app);
  }

  WebController& main() { return *delegate->main(); }
  std::string uri() {
    const char* u = webkit_web_view_get_uri(main().webView());
    return u ? u : "";
  }
  bool sheetShown() {
    return delegate->serverSheet() &&
           gtk_widget_get_mapped(GTK_WIDGET(delegate->serverSheet()->window()));
  }
  // The address of the running task server as a user types it.
  std::string typed() const { return "localhost:" + std::to_string(devserver->port()); }

  // No test server named: the stored one is used, so the choice lands in the
  // recent list.
  SettingsScope scope;
  std::string closed;
  std::unique_ptr<dev::DevServer> devserver;
  GtkApplication* app = nullptr;
  std::unique_ptr<AppDelegate> delegate;
};

}  // namespace

TEST_F(ServerChangeClientTest, OfflinePageSwitchesToATypedServer) {
  ASSERT_TRUE(waitUntil([&] { return main().offline(); }, std::chrono::seconds(30)));
  ASSERT_TRUE(waitUntil([&] { return !webkit_web_view_is_loading(main().webView()); }));
  main().evaluate(
      "[...document.querySelectorAll('button')].find(b => b.textContent === 'Другой сервер…')"
      ".click()");
  ASSERT_TRUE(waitUntil([&] { return sheetShown(); }));
  ServerSheet& sheet = *delegate->serverSheet();
  EXPECT_EQ(gtk_window_get_transient_for(sheet.window()), main().window());
  EXPECT_TRUE(gtk_window_get_modal(sheet.window()));
  EXPECT_TRUE(gtk_toggle_button_get_active(sheet.own()));
  EXPECT_EQ(std::string(gtk_entry_get_text(sheet.entry())), closed);

  // Typed and confirmed with Return, as a user does.
  gtk_entry_set_text(sheet.entry(), typed().c_str());
  gtk_widget_activate(GTK_WIDGET(sheet.entry()));
  std::string chosen = "http://" + typed();
  ASSERT_TRUE(waitUntil(
      [&] {
        return uri().rfind(chosen + "/", 0) == 0 && !webkit_web_view_is_loading(main().webView());
      },
      std::chrono::seconds(60)))
      << uri() << " / " << gtk_label_get_text(sheet.status());
  EXPECT_FALSE(main().offline());
  EXPECT_TRUE(uri() == chosen + "/today" || uri() == chosen + "/login") << uri();
  EXPECT_FALSE(sheetShown());
  EXPECT_EQ(Settings::server().str(), chosen);
  ASSERT_FALSE(Settings::recent().empty());
  EXPECT_EQ(Settings::recent().front(), chosen);
  EXPECT_EQ(Settings::recent().at(1), closed);

  // The settings window then names that server and can open the sheet over itself.
  delegate->openSettings();
  SettingsWindow& settings = *delegate->settings();
  EXPECT_EQ(std::string(gtk_label_get_text(settings.serverLabel())), "Свой сервер — " + chosen);
  // The line follows the reminder engine's delivery mode, whatever it is by now.
  EXPECT_EQ(std::string(gtk_label_get_text(settings.notifyLabel())),
            SettingsLines::notify(delegate->reminders()->mode()));
  EXPECT_EQ(std::string(gtk_label_get_text(settings.hotkeyLabel())).rfind("Быстрая задача: ", 0),
            0u);
  ASSERT_TRUE(waitUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(settings.window())); }));
  gtk_button_clicked(findButton(GTK_WIDGET(settings.window()), "Сменить сервер…"));
  ASSERT_TRUE(waitUntil([&] { return sheetShown(); }));
  EXPECT_EQ(gtk_window_get_transient_for(sheet.window()), settings.window());
  EXPECT_EQ(std::string(gtk_entry_get_text(sheet.entry())), chosen);

  // The same server again only reloads; the settings line is refreshed.
  gtk_widget_activate(GTK_WIDGET(sheet.entry()));
  ASSERT_TRUE(waitUntil([&] { return !sheetShown(); }, std::chrono::seconds(30)));
  EXPECT_EQ(Settings::recent().front(), chosen);
  EXPECT_EQ(std::string(gtk_label_get_text(settings.serverLabel())), "Свой сервер — " + chosen);
}

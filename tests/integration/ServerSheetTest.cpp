// The server sheet as a window, with the real probe against task servers on
// 127.0.0.1. Its decisions are checked without a display in ServerChoiceTest.
#include <gtest/gtest.h>

#include <optional>

#include "platform/Defaults.h"
#include "server/Settings.h"
#include "server/gtk/ServerSheet.h"
#include "support/GtkFind.h"
#include "support/SettingsScope.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko;
using namespace vuko::test;

namespace {

class ServerSheetTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display";
    server.handle("/api/health", [](const Received&) { return healthy(); });
    sheet = std::make_unique<ServerSheet>();
  }
  void TearDown() override {
    sheet.reset();
    if (parent) gtk_widget_destroy(parent);
  }

  void present(GtkWindow* over = nullptr) {
    sheet->present(over, [this](bool changed) { done.push_back(changed); });
    ASSERT_TRUE(waitUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(sheet->window())); }));
  }
  void type(const std::string& text) { gtk_entry_set_text(sheet->entry(), text.c_str()); }
  std::string status() const { return gtk_label_get_text(sheet->status()); }
  bool shown() const { return gtk_widget_get_visible(GTK_WIDGET(sheet->window())); }
  bool connectEnabled() const { return gtk_widget_get_sensitive(sheet->connectButton()); }
  int items() const {
    return gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(sheet->field())),
                                          nullptr);
  }
  // Waits until the probe is over: the button comes back or the sheet closes.
  bool probeOver() {
    return waitUntil([&] { return connectEnabled() || !shown(); }, std::chrono::seconds(30));
  }

  SettingsScope scope;
  TestServer server;
  std::unique_ptr<ServerSheet> sheet;
  GtkWidget* parent = nullptr;
  std::vector<bool> done;
};

}  // namespace

TEST_F(ServerSheetTest, PresentedWhileOnThePublicServer) {
  Settings::setRecent({"http://nas.local:8080", "https://tasks.company.example"});
  present();
  EXPECT_TRUE(gtk_toggle_button_get_active(sheet->pub()));
  EXPECT_FALSE(gtk_toggle_button_get_active(sheet->own()));
  EXPECT_FALSE(gtk_widget_get_sensitive(GTK_WIDGET(sheet->field())));
  EXPECT_EQ(std::string(gtk_entry_get_text(sheet->entry())), "http://nas.local:8080");
  EXPECT_EQ(items(), 2);
  EXPECT_EQ(status(), "");
  // No visible window to attach to: a window of its own.
  EXPECT_EQ(gtk_window_get_transient_for(sheet->window()), nullptr);
  EXPECT_FALSE(gtk_window_get_deletable(sheet->window()));
  EXPECT_FALSE(gtk_window_get_resizable(sheet->window()));
  GdkWMDecoration decorations{};
  ASSERT_TRUE(
      gdk_window_get_decorations(gtk_widget_get_window(GTK_WIDGET(sheet->window())), &decorations));
  EXPECT_EQ(decorations, GDK_DECOR_BORDER | GDK_DECOR_TITLE) << "no close, minimise or maximise";
  int w = 0, h = 0;
  gtk_window_get_size(sheet->window(), &w, &h);
  EXPECT_EQ(w, 460);
  // The toolkit's controls are taller than the layout's points: the window
  // keeps its height unless its content needs a little more.
  EXPECT_GE(h, 250);
  EXPECT_LE(h, 280);
  EXPECT_TRUE(done.empty());
}

TEST_F(ServerSheetTest, PresentedOverAVisibleWindowWhileOnAnOwnServer) {
  Settings::setServer(*Url::parse("http://nas.local:8080"));
  parent = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_widget_show(parent);
  present(GTK_WINDOW(parent));
  EXPECT_TRUE(gtk_toggle_button_get_active(sheet->own()));
  EXPECT_TRUE(gtk_widget_get_sensitive(GTK_WIDGET(sheet->field())));
  EXPECT_EQ(std::string(gtk_entry_get_text(sheet->entry())), "http://nas.local:8080");
  EXPECT_EQ(items(), 1);
  EXPECT_EQ(gtk_window_get_transient_for(sheet->window()), GTK_WINDOW(parent));
  EXPECT_TRUE(gtk_window_get_modal(sheet->window()));

  // Presented again over nothing, it is refilled and stands on its own.
  sheet->cancelSheet();
  Settings::setServer(Settings::publicServer());
  gtk_widget_hide(parent);
  present(GTK_WINDOW(parent));
  EXPECT_TRUE(gtk_toggle_button_get_active(sheet->pub()));
  EXPECT_EQ(gtk_window_get_transient_for(sheet->window()), nullptr);
}

TEST_F(ServerSheetTest, PlainHttpServerTypedWithoutSchemeIsStoredAsHttp) {
  Settings::setServer(*Url::parse("http://nas.local:8080"));
  present();
  // Not one of the local names, so the address comes out as https first.
  std::string typed = "LOCALHOST:" + std::to_string(server.port());
  type(typed);
  sheet->go();
  ASSERT_TRUE(probeOver());
  ASSERT_EQ(done, std::vector<bool>{true}) << status();
  EXPECT_FALSE(shown());
  // Hosts are kept in lower case, as the web engine reports them.
  std::string expected = "http://localhost:" + std::to_string(server.port());
  EXPECT_EQ(Settings::server().str(), expected);
  EXPECT_EQ(Settings::recent().front(), expected);
  ASSERT_FALSE(server.received().empty());
  EXPECT_EQ(server.received().back().path, "/api/health");
}

TEST_F(ServerSheetTest, EscapeClosesWithoutCallingOnDone) {
  Settings::setServer(*Url::parse(server.url()));
  present();
  pressKey(GTK_WIDGET(sheet->window()), GDK_KEY_Escape);
  EXPECT_FALSE(shown());
  // The sheet's own Cancel button does the same.
  present();
  gtk_button_clicked(findButton(GTK_WIDGET(sheet->window()), "Отмена"));
  EXPECT_FALSE(shown());
  spin(std::chrono::milliseconds(100));
  EXPECT_TRUE(done.empty());
  EXPECT_TRUE(server.received().empty());
}

TEST_F(ServerSheetTest, BusySheetStaysResponsiveAndStoresAServerThatAnswersLater) {
  server.handle("/api/health", [](const Received&) {
    Reply r = healthy();
    r.hold = true;
    return r;
  });
  present();
  gtk_toggle_button_set_active(sheet->own(), TRUE);
  type(server.url());
  gtk_button_clicked(findButton(GTK_WIDGET(sheet->window()), "Подключиться"));
  ASSERT_TRUE(waitUntil([&] { return server.heldCount() == 1; }));
  // A slow server leaves the sheet responsive: busy, but Escape works.
  EXPECT_FALSE(connectEnabled());
  EXPECT_EQ(status(), "Проверяем сервер…");
  EXPECT_FALSE(sheet->statusIsError());
  sheet->go();  // Return while busy starts nothing more
  pressKey(GTK_WIDGET(sheet->window()), GDK_KEY_Escape);
  EXPECT_FALSE(shown());
  EXPECT_TRUE(done.empty());
  EXPECT_TRUE(Settings::isPublic());

  server.answerHeld(healthy());
  ASSERT_TRUE(waitUntil([&] { return !done.empty(); }));
  EXPECT_EQ(done, std::vector<bool>{true});
  EXPECT_EQ(Settings::server().str(), server.url());
  EXPECT_FALSE(shown()) << "a cancelled sheet stays closed";
  EXPECT_EQ(server.heldCount(), 0u);
}

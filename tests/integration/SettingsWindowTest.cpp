// The settings window: what it shows, what it stores and what it reports.
#include <gtest/gtest.h>

#include "platform/Defaults.h"
#include "server/Settings.h"
#include "settings/gtk/SettingsWindow.h"
#include "support/GtkFind.h"
#include "support/Wait.h"

using namespace vuko;
using namespace vuko::test;

namespace {

class SettingsWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display";
    store = std::make_shared<MemoryDefaults>();
    Defaults::setStandard(store);
    Settings::useTestServer(std::nullopt);
    Settings::resetTestOverride();
    settings = std::make_unique<SettingsWindow>();
  }
  GtkButton* button(const std::string& label) {
    GtkButton* b = findButton(GTK_WIDGET(settings->window()), label);
    EXPECT_TRUE(b) << label;
    return b;
  }
  static std::string text(GtkLabel* l) { return gtk_label_get_text(l); }
  bool shown() const { return gtk_widget_get_visible(GTK_WIDGET(settings->window())); }

  std::shared_ptr<MemoryDefaults> store;
  std::unique_ptr<SettingsWindow> settings;
  std::vector<std::string> calls;
};

}  // namespace

TEST_F(SettingsWindowTest, ShownTwiceItIsOneWindowReadAfresh) {
  std::string hotkeys = "Быстрая задача: Ctrl+Alt+Пробел · помодоро: Ctrl+Alt+P · окно: не задано";
  std::string notify = "Проверяем…";
  settings->hotkeysText = [&] { return hotkeys; };
  settings->notifyText = [&] { return notify; };
  settings->onBadge = [&] { calls.push_back("badge"); };
  settings->showWindow();
  GtkWindow* first = settings->window();
  ASSERT_TRUE(waitUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(first)); }));
  EXPECT_EQ(std::string(gtk_window_get_title(first)), "Настройки");
  EXPECT_TRUE(gtk_window_get_deletable(first));
  EXPECT_EQ(text(settings->serverLabel()), "Общий сервер «Vuko» — app.vuko.example");
  EXPECT_EQ(text(settings->hotkeyLabel()), hotkeys);
  EXPECT_EQ(text(settings->notifyLabel()), notify);
  EXPECT_TRUE(gtk_toggle_button_get_active(settings->badgeBox()));
  int w = 0, h = 0;
  gtk_window_get_size(first, &w, &h);
  EXPECT_EQ(w, 500);
  // The toolkit's controls are taller than the layout's points: the window
  // keeps its height unless its content needs a little more.
  EXPECT_GE(h, 290);
  EXPECT_LE(h, 330);

  // Closing only hides it.
  gtk_window_close(first);
  ASSERT_TRUE(waitUntil([&] { return !shown(); }));

  Settings::setServer(*Url::parse("http://localhost:5300"));
  Settings::setDockBadge(false);
  hotkeys = "Быстрая задача: выключено · помодоро: выключено · окно: не задано";
  notify = "Приходят как обычные системные уведомления — и при закрытом окне";
  settings->showWindow();
  EXPECT_EQ(settings->window(), first);
  EXPECT_TRUE(shown());
  EXPECT_EQ(text(settings->serverLabel()), "Свой сервер — http://localhost:5300");
  EXPECT_EQ(text(settings->hotkeyLabel()), hotkeys);
  EXPECT_EQ(text(settings->notifyLabel()), notify);
  EXPECT_FALSE(gtk_toggle_button_get_active(settings->badgeBox()));
  EXPECT_TRUE(calls.empty()) << "filling the switch is not the user's toggle";
}

TEST_F(SettingsWindowTest, BadgeSwitchIsStoredBeforeTheCallback) {
  std::vector<std::optional<bool>> seen;
  settings->onBadge = [&] { seen.push_back(store->boolean("dockBadge")); };
  settings->showWindow();
  ASSERT_TRUE(gtk_toggle_button_get_active(settings->badgeBox()));
  GtkButton* box = button("Показывать на значке программы число задач на сегодня");
  gtk_button_clicked(box);
  gtk_button_clicked(box);
  EXPECT_EQ(seen, (std::vector<std::optional<bool>>{false, true}));
  EXPECT_TRUE(Settings::dockBadge());
}

TEST_F(SettingsWindowTest, EditHotkeysClosesTheWindowBeforeTheCallback) {
  settings->onEditHotkeys = [&] { calls.push_back(shown() ? "edit, shown" : "edit, closed"); };
  settings->onChangeServer = [&] { calls.push_back(shown() ? "server, shown" : "server, closed"); };
  settings->onNotifySettings = [&] { calls.push_back("notify"); };
  settings->showWindow();
  gtk_button_clicked(button("Сменить сервер…"));
  gtk_button_clicked(button("Настройки системы…"));
  gtk_button_clicked(button("Изменить…"));
  EXPECT_EQ(calls, (std::vector<std::string>{"server, shown", "notify", "edit, closed"}));
}

TEST_F(SettingsWindowTest, WithoutAnOwnerLinesAreEmptyAndButtonsInert) {
  settings->showWindow();
  EXPECT_EQ(text(settings->hotkeyLabel()), "");
  EXPECT_EQ(text(settings->notifyLabel()), "");
  EXPECT_FALSE(text(settings->serverLabel()).empty());
  gtk_button_clicked(button("Сменить сервер…"));
  gtk_button_clicked(button("Настройки системы…"));
  EXPECT_TRUE(shown());
  gtk_button_clicked(button("Показывать на значке программы число задач на сегодня"));
  EXPECT_FALSE(Settings::dockBadge());
  gtk_button_clicked(button("Изменить…"));
  EXPECT_FALSE(shown());
}

TEST_F(SettingsWindowTest, EscapeClosesItAndTheHotkeyLineIsNeverCut) {
  settings->hotkeysText = [] {
    return "Быстрая задача: Ctrl+Alt+Shift+Пробел · помодоро: Ctrl+Alt+Shift+P · окно: "
           "Ctrl+Alt+Shift+Super+Backspace";
  };
  settings->showWindow();
  ASSERT_TRUE(waitUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(settings->window())); }));
  EXPECT_FALSE(gtk_window_get_resizable(settings->window()));
  EXPECT_FALSE(pango_layout_is_ellipsized(gtk_label_get_layout(settings->hotkeyLabel())));
  int w = 0, h = 0;
  gtk_window_get_size(settings->window(), &w, &h);
  EXPECT_EQ(w, 500);

  pressKey(GTK_WIDGET(settings->window()), GDK_KEY_Escape);
  EXPECT_TRUE(waitUntil([&] { return !shown(); }));
}

TEST_F(SettingsWindowTest, WithoutSystemSettingsTheButtonSaysWhereInstead) {
  bool opens = false;
  settings->notifySettingsOpen = [&] { return opens; };
  settings->showWindow();
  GtkWidget* system = GTK_WIDGET(button("Настройки системы…"));
  EXPECT_FALSE(gtk_widget_get_sensitive(system));
  gchar* tip = gtk_widget_get_tooltip_text(system);
  EXPECT_STREQ(tip, "Разрешите уведомления для «Vuko» в настройках уведомлений рабочего стола");
  g_free(tip);

  opens = true;
  settings->refresh();
  EXPECT_TRUE(gtk_widget_get_sensitive(system));
  EXPECT_FALSE(gtk_widget_get_has_tooltip(system));
}

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/Defaults.h"
#include "server/Settings.h"
#include "settings/SettingsLines.h"
#include "settings/SystemSettings.h"

using namespace vuko;

namespace {

enum class Mode { unknown, system, own, off };

GlobalCombo combo(const char* code, bool ctrl, bool alt) {
  GlobalCombo c;
  c.code = code;
  c.ctrl = ctrl;
  c.alt = alt;
  return c;
}

}  // namespace

TEST(SettingsLinesTest, ServerLineNamesPublicOrOwnServer) {
  Defaults::setStandard(std::make_shared<MemoryDefaults>());
  Settings::useTestServer(std::nullopt);
  Settings::resetTestOverride();
  EXPECT_EQ(SettingsLines::server(), "Общий сервер «Vuko» — app.vuko.example");
  Settings::setServer(*Url::parse("http://localhost:5300"));
  EXPECT_EQ(SettingsLines::server(), "Свой сервер — http://localhost:5300");
}

TEST(SettingsLinesTest, HotkeyLineInItsFixedOrderWithWordsForMissingKeys) {
  std::map<std::string, GlobalCombo> set{{"quick", combo("Space", true, true)},
                                         {"focus", combo("KeyP", true, true)}};
  auto lookup = [&](const std::string& id) -> std::optional<GlobalCombo> {
    auto it = set.find(id);
    if (it == set.end()) return std::nullopt;
    return it->second;
  };
  EXPECT_EQ(SettingsLines::hotkeys(lookup),
            "Быстрая задача: Ctrl+Alt+Пробел · помодоро: Ctrl+Alt+P · окно: не задано");
  set = {{"show", combo("KeyV", true, false)}};
  EXPECT_EQ(SettingsLines::hotkeys(lookup),
            "Быстрая задача: выключено · помодоро: выключено · окно: Ctrl+V");
  EXPECT_EQ(SettingsLines::hotkeys(nullptr), "");
}

TEST(SettingsLinesTest, NotifyLineFollowsTheDeliveryMode) {
  EXPECT_EQ(SettingsLines::notify(Mode::unknown), "Проверяем…");
  EXPECT_EQ(SettingsLines::notify(Mode::system),
            "Приходят как обычные системные уведомления — и при закрытом окне");
  EXPECT_EQ(SettingsLines::notify(Mode::own),
            "Рабочий стол не показывает уведомления программ — показываем своим окошком в углу "
            "экрана");
  EXPECT_EQ(SettingsLines::notify(Mode::off),
            "Выключены в настройках рабочего стола — включите, чтобы получать напоминания");
}

TEST(SystemSettingsTest, NotificationSettingsOfTheRunningDesktopWhereInstalled) {
  using Command = std::vector<std::string>;
  struct Case {
    const char* desktops;
    std::vector<std::string> installed;
    std::optional<Command> command;
  } cases[] = {
      {"GNOME", {"gnome-control-center"}, Command{"gnome-control-center", "notifications"}},
      {"ubuntu:GNOME", {"gnome-control-center"}, Command{"gnome-control-center", "notifications"}},
      {"KDE", {"systemsettings"}, Command{"systemsettings", "kcm_notifications"}},
      {"KDE", {"kcmshell5"}, Command{"kcmshell5", "kcm_notifications"}},
      {"XFCE", {"xfce4-notifyd-config"}, Command{"xfce4-notifyd-config"}},
      {"X-Cinnamon", {"cinnamon-settings"}, Command{"cinnamon-settings", "notifications"}},
      {"MATE", {"mate-notification-properties"}, Command{"mate-notification-properties"}},
      {"LXQt", {"lxqt-config-notificationd"}, Command{"lxqt-config-notificationd"}},
      {"xfce", {"xfce4-notifyd-config"}, Command{"xfce4-notifyd-config"}},
      // Not installed, another desktop's program, no desktop, an unknown one.
      {"GNOME", {}, std::nullopt},
      {"XFCE", {"gnome-control-center"}, std::nullopt},
      {"", {"gnome-control-center", "xfce4-notifyd-config"}, std::nullopt},
      {"Openbox", {"gnome-control-center"}, std::nullopt},
  };
  for (const auto& c : cases) {
    auto installed = [&](const std::string& program) {
      return std::find(c.installed.begin(), c.installed.end(), program) != c.installed.end();
    };
    EXPECT_EQ(SystemSettings::notificationsCommand(c.desktops, installed), c.command) << c.desktops;
  }
}

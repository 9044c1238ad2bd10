#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "server/ServerChoice.h"
#include "settings/SettingsLines.h"
#include "settings/SystemSettings.h"
#include "support/SettingsScope.h"

using namespace vuko;

TEST(SettingsLinesTest, ServerLineNamesPublicOrOwnServer) {
  test::SettingsScope settings;
  EXPECT_EQ(SettingsLines::server(), ServerChoice::publicTitle());
  Settings::setServer(*Url::parse("http://localhost:5300"));
  EXPECT_TRUE(SettingsLines::server().ends_with(" http://localhost:5300"))
      << SettingsLines::server();
}

// Quick task, pomodoro, window: in that order, each with its own key's title
// or a word for a missing one.
TEST(SettingsLinesTest, HotkeyLineInItsFixedOrder) {
  const std::map<std::string, GlobalCombo> set{{"quick", GlobalCombo("KeyQ", true, true)},
                                               {"focus", GlobalCombo("KeyF", true, true)},
                                               {"show", GlobalCombo("KeyS", true, true)}};
  auto all = [&](const std::string& id) { return std::optional(set.at(id)); };
  const std::string line = SettingsLines::hotkeys(all);
  auto q = line.find("Ctrl+Alt+Q"), f = line.find("Ctrl+Alt+F"), s = line.find("Ctrl+Alt+S");
  EXPECT_TRUE(q < f && f < s && s != std::string::npos) << line;
  EXPECT_NE(SettingsLines::hotkeys([](auto&) { return std::optional<GlobalCombo>(); }), "");
  EXPECT_EQ(SettingsLines::hotkeys(nullptr), "");
  // Where no key works, the line tells how to bind each command instead.
  const std::string commands = SettingsLines::hotkeys(all, true);
  for (const char* option : {"vuko --quick", "vuko --show", "vuko --focus"})
    EXPECT_NE(commands.find(option), std::string::npos) << commands;
}

// The desktops run from the most specific name to the one it builds on; the
// first with an installed program wins, names in any letter case.
TEST(SystemSettingsTest, NotificationSettingsOfTheRunningDesktopWhereInstalled) {
  using Command = std::vector<std::string>;
  const std::tuple<const char*, std::vector<std::string>, std::optional<Command>> cases[] = {
      {"ubuntu:GNOME", {"gnome-control-center"}, Command{"gnome-control-center", "notifications"}},
      {"KDE", {"kcmshell5", "systemsettings"}, Command{"systemsettings", "kcm_notifications"}},
      {"kde", {"kcmshell5"}, Command{"kcmshell5", "kcm_notifications"}},
      {"GNOME", {}, std::nullopt},
      {"XFCE", {"gnome-control-center"}, std::nullopt},
      {"", {"gnome-control-center"}, std::nullopt},
      {"Openbox", {"gnome-control-center"}, std::nullopt},
  };
  for (const auto& [desktops, programs, command] : cases) {
    auto installed = [&](const std::string& program) {
      return std::ranges::find(programs, program) != programs.end();
    };
    EXPECT_EQ(SystemSettings::notificationsCommand(desktops, installed), command) << desktops;
  }
}

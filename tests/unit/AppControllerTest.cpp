// The application rules against recorded windows: launches, hot keys and
// their command-line options, the menu actions' bindings, and notification
// permission.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/AppController.h"
#include "app/MenuTable.h"
#include "platform/Clock.h"
#include "support/FakeClock.h"
#include "support/RecordingAppWindows.h"
#include "support/RecordingHotkeyService.h"

namespace vuko {
namespace {

using Calls = std::vector<std::string>;

class AppControllerTest : public testing::Test {
 protected:
  // Every row of both menus that is not a separator.
  static std::vector<menus::Item> allRows() {
    std::vector<menus::Item> rows;
    for (const auto& menu : menus::mainMenu())
      for (const auto& row : menu.items)
        if (!row.separator) rows.push_back(row);
    for (const auto& row : menus::statusMenu())
      if (!row.separator) rows.push_back(row);
    return rows;
  }

  test::RecordingAppWindows windows;
  test::RecordingSettingsLauncher launcher;
  AppController controller{windows, launcher};
  void SetUp() override { controller.setQuick(&windows); }
};

TEST_F(AppControllerTest, TheFirstLaunchOnlyLaunches) {
  windows.isLaunched = false;
  controller.reopen(5);
  EXPECT_EQ(windows.calls, Calls{"launch"});
}

TEST_F(AppControllerTest, ALaterLaunchShowsTheMainWindowOnlyWhenNothingIsOnScreen) {
  controller.reopen(7);
  windows.anyVisible = true;
  controller.reopen(8);
  windows.mainShown = true;
  controller.reopen(9);
  EXPECT_EQ(windows.calls, (Calls{"showMain 7", "raiseMain 9"}));
}

TEST_F(AppControllerTest, TheShowKeyHidesTheMainWindowOnlyWhenItIsInFront) {
  auto show = [&] { controller.run(HotkeyAction::show, 11); };
  show();
  windows.mainShown = true;
  show();
  windows.active = true;
  show();
  windows.mainShown = false;
  show();
  EXPECT_EQ(windows.calls, (Calls{"showMain 11", "showMain 11", "hideMain", "showMain 11"}));
}

TEST_F(AppControllerTest, HotKeyActionsLaunchFirstAndCarryTheirEventTime) {
  windows.isLaunched = false;
  controller.run(HotkeyAction::quick, 21);
  controller.run(HotkeyAction::focus, 22);
  EXPECT_EQ(windows.calls, (Calls{"launch", "toggleQuick 21", "toggleMini"}));
}

TEST_F(AppControllerTest, AKeyPressReachesItsActionWithThePressTime) {
  auto clock = std::make_shared<test::FakeClock>();
  Clock::setMain(clock);
  auto service = std::make_shared<test::RecordingHotkeyService>();
  MemoryDefaults store;
  {
    Hotkeys hotkeys(controller.hotkeyActions(), service, store);
    for (const auto& row : kHotkeyActions) service->press(row.number, 100 + row.number);
    clock->flush();
  }
  Clock::setMain(nullptr);
  EXPECT_EQ(windows.calls, (Calls{"toggleQuick 101", "showMain 102", "toggleMini"}));
}

TEST_F(AppControllerTest, TheHotKeyTableHasNoIdOrNumberTwiceAndEveryIdIsAGrab) {
  std::set<std::string> ids;
  std::set<std::uint32_t> numbers;
  std::set<HotkeyAction> actions;
  for (const auto& row : kHotkeyActions) {
    EXPECT_TRUE(ids.insert(row.id).second) << row.id;
    EXPECT_TRUE(numbers.insert(row.number).second) << row.id;
    EXPECT_TRUE(actions.insert(row.action).second) << row.id;
    EXPECT_NE(row.number, 0u) << row.id;
    EXPECT_STRNE(row.help, "") << row.id;
    EXPECT_EQ(findHotkeyAction(row.id), &row);
    EXPECT_STREQ(hotkeyId(row.action), row.id);
    EXPECT_EQ(Hotkeys::ids().at(row.id), row.number);
  }
  EXPECT_EQ(Hotkeys::ids().size(), ids.size());
  EXPECT_EQ(controller.hotkeyActions().size(), ids.size());
  EXPECT_EQ(findHotkeyAction("quit"), nullptr);
}

TEST_F(AppControllerTest, EveryCommandLineOptionRunsItsHotKeyActionWithTheStartupTime) {
  for (const auto& row : kHotkeyActions) {
    test::RecordingAppWindows alone;
    AppController rules(alone, launcher);
    rules.setQuick(&alone);
    auto outcome = rules.commandLine({{row.id}, 0, "desk-1234_TIME777"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.error.empty());
    test::RecordingAppWindows direct;
    AppController directRules(direct, launcher);
    directRules.setQuick(&direct);
    directRules.run(row.action, 777);
    EXPECT_EQ(alone.calls, direct.calls) << row.id;
    EXPECT_FALSE(alone.calls.empty()) << row.id;
  }
}

TEST_F(AppControllerTest, OptionsRunInTheTablesOrderAndNoneReopens) {
  windows.mainShown = true;
  controller.commandLine({{"focus", "quick"}, 0, ""});
  EXPECT_EQ(windows.calls, (Calls{"toggleQuick 0", "toggleMini"}));
  windows.calls.clear();
  windows.anyVisible = false;
  controller.commandLine({{}, 0, "_TIME55"});
  EXPECT_EQ(windows.calls, Calls{"showMain 55"});
}

TEST_F(AppControllerTest, ExtraArgumentsAreRefusedBeforeAnythingRuns) {
  windows.isLaunched = false;
  auto outcome = controller.commandLine({{"quick"}, 1, ""});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.error,
            "vuko: лишние аргументы; программа принимает только --quick, --show и --focus\n");
  EXPECT_TRUE(windows.calls.empty());
}

TEST_F(AppControllerTest, StartupTimesAreReadOnlyFromAWholeTimeField) {
  EXPECT_EQ(AppController::startupTime("host-12-34_TIME4000000000"), 4000000000u);
  EXPECT_EQ(AppController::startupTime("_TIME0"), 0u);
  EXPECT_EQ(AppController::startupTime(""), 0u);
  EXPECT_EQ(AppController::startupTime("no-time-here"), 0u);
  EXPECT_EQ(AppController::startupTime("x_TIME12ab"), 0u);
  EXPECT_EQ(AppController::startupTime("x_TIME"), 0u);
  EXPECT_EQ(AppController::startupTime("x_TIME99999999999"), 0u);
}

TEST_F(AppControllerTest, EveryEnabledMenuRowHasAHandlerThatActs) {
  controller.setCommands(&windows);
  for (const auto& row : allRows()) {
    if (!row.enabled) continue;
    EXPECT_TRUE(controller.handles(row.action)) << row.title;
    windows.calls.clear();
    controller.perform(row.action);
    EXPECT_EQ(windows.calls.size(), 1u) << row.title;
  }
}

TEST_F(AppControllerTest, DisabledRowsHaveNoHandlerAndDoNothing) {
  controller.setCommands(&windows);
  int disabled = 0;
  for (const auto& row : allRows()) {
    if (row.enabled) continue;
    ++disabled;
    EXPECT_FALSE(controller.handles(row.action)) << row.title;
    controller.perform(row.action);
  }
  EXPECT_GT(disabled, 0);
  EXPECT_TRUE(windows.calls.empty());
}

TEST_F(AppControllerTest, WindowCommandsWaitForTheWindowsWhileTheClientsOwnRowsDoNot) {
  EXPECT_FALSE(controller.handles(MenuAction::newTask));
  controller.perform(MenuAction::newTask);
  EXPECT_TRUE(controller.handles(MenuAction::openSettings));
  controller.perform(MenuAction::openSettings);
  EXPECT_EQ(windows.calls, Calls{"openSettings"});
  controller.setCommands(&windows);
  EXPECT_TRUE(controller.handles(MenuAction::newTask));
}

TEST_F(AppControllerTest, RowsWithTheSameActionDoTheSame) {
  controller.setCommands(&windows);
  std::map<MenuAction, Calls> seen;
  for (const auto& row : allRows()) {
    windows.calls.clear();
    controller.perform(row.action);
    auto [it, fresh] = seen.emplace(row.action, windows.calls);
    if (!fresh) {
      EXPECT_EQ(it->second, windows.calls) << row.title;
    }
  }
  // Distinct actions do distinct things.
  std::set<Calls> effects;
  for (const auto& [action, calls] : seen)
    if (!calls.empty()) {
      EXPECT_TRUE(effects.insert(calls).second) << calls.front();
    }
}

TEST_F(AppControllerTest, NoKeyEquivalentIsUsedTwice) {
  std::map<std::string, std::string> owner;
  int keys = 0;
  for (const auto& menu : menus::mainMenu())
    for (const auto& row : menu.items) {
      const std::string accel = menus::accelerator(row);
      if (accel.empty()) continue;
      ++keys;
      auto [it, fresh] = owner.emplace(accel, row.title);
      EXPECT_TRUE(fresh) << accel << ": " << it->second << " and " << row.title;
    }
  EXPECT_GT(keys, 0);
  // The status menu shows no fixed keys; its hot-key rows follow the grabs.
  for (const auto& row : menus::statusMenu()) EXPECT_EQ(menus::accelerator(row), "") << row.title;
}

TEST_F(AppControllerTest, ReminderModesReadAsThePagesPermission) {
  EXPECT_STREQ(AppController::notifyPermission(Reminders::Mode::off), "denied");
  for (auto mode : {Reminders::Mode::unknown, Reminders::Mode::system, Reminders::Mode::own})
    EXPECT_STREQ(AppController::notifyPermission(mode), "granted");
}

TEST_F(AppControllerTest, AnAllowedAnswerIsOnlyToldToThePage) {
  launcher.names = "GNOME";
  launcher.programs = {"gnome-control-center"};
  controller.permissionAnswered(true);
  EXPECT_EQ(windows.calls, Calls{"permission granted answer"});
  EXPECT_TRUE(launcher.started.empty());
}

TEST_F(AppControllerTest, ARefusalOpensTheDesktopsSettingsWhereItCan) {
  launcher.names = "GNOME";
  launcher.programs = {"gnome-control-center"};
  ASSERT_TRUE(controller.notificationSettingsCommand());
  controller.permissionAnswered(false);
  EXPECT_EQ(windows.calls, Calls{"permission denied answer"});
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.started[0], *controller.notificationSettingsCommand());
}

TEST_F(AppControllerTest, ARefusalWithNoSettingsProgramIsExplainedInThePage) {
  launcher.names = "GNOME";
  controller.permissionAnswered(false);
  EXPECT_EQ(windows.calls, (Calls{"permission denied answer", "tellNotifyRefused"}));
  EXPECT_FALSE(controller.notificationSettingsCommand());

  // A program that is installed but does not start counts as none.
  windows.calls.clear();
  launcher.programs = {"gnome-control-center"};
  launcher.starts = false;
  controller.permissionAnswered(false);
  EXPECT_EQ(windows.calls, (Calls{"permission denied answer", "tellNotifyRefused"}));
  EXPECT_EQ(launcher.started.size(), 1u);
}

}  // namespace
}  // namespace vuko

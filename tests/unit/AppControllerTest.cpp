// The application rules against recorded windows: launches, hot keys and
// their command-line options, the menus and their actions' bindings, and
// notification permission.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/AppController.h"
#include "app/MenuTable.h"
#include "app/Zoom.h"
#include "platform/Clock.h"
#include "support/FakeClock.h"
#include "support/RecordingAppWindows.h"
#include "support/RecordingHotkeyService.h"

namespace vuko {
namespace {

using Calls = std::vector<std::string>;

class AppControllerTest : public testing::Test {
 protected:
  test::RecordingAppWindows windows;
  test::RecordingSettingsLauncher launcher;
  AppController controller{windows, launcher};
  void SetUp() override { controller.setQuick(&windows); }
};

TEST_F(AppControllerTest, ALaunchShowsTheMainWindowOnlyWhenNothingIsOnScreen) {
  windows.isLaunched = false;
  controller.reopen(5);  // the first launch only launches
  controller.reopen(7);
  windows.anyVisible = true;
  controller.reopen(8);
  windows.mainShown = true;
  controller.reopen(9);
  EXPECT_EQ(windows.calls, (Calls{"launch", "showMain 7", "raiseMain 9"}));
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

TEST_F(AppControllerTest, AKeyPressLaunchesFirstAndReachesItsActionWithThePressTime) {
  auto clock = std::make_shared<test::FakeClock>();
  Clock::setMain(clock);
  auto service = std::make_shared<test::RecordingHotkeyService>();
  MemoryDefaults store;
  windows.isLaunched = false;
  {
    Hotkeys hotkeys(controller.hotkeyActions(), service, store);
    for (const auto& row : kHotkeyActions) service->press(row.number, 100 + row.number);
    clock->flush();
  }
  Clock::setMain(nullptr);
  EXPECT_EQ(windows.calls, (Calls{"launch", "toggleQuick 101", "showMain 102", "toggleMini"}));
}

// Options run as their hot keys do, in the table's order, at the startup time.
TEST_F(AppControllerTest, CommandLineOptionsRunTheirHotKeyActionsAndNoneReopens) {
  auto outcome = controller.commandLine({{"focus", "show", "quick"}, 0, "desk-1234_TIME777", ""});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(windows.calls, (Calls{"token desk-1234_TIME777", "toggleQuick 777", "showMain 777",
                                  "toggleMini", "token "}));
  windows.calls.clear();
  controller.commandLine({{}, 0, "_TIME55", ""});
  EXPECT_EQ(windows.calls, (Calls{"token _TIME55", "showMain 55", "token "}));

  windows.calls.clear();
  outcome = controller.commandLine({{"quick"}, 1, "", ""});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.error,
            "vuko: лишние аргументы; программа принимает только --quick, --show, --focus и "
            "--background\n");
  EXPECT_TRUE(windows.calls.empty());
}

// Started at login, the client shows no window; a running one ignores it.
TEST_F(AppControllerTest, BackgroundLaunchesHiddenAndLeavesARunningClientAlone) {
  windows.isLaunched = false;
  controller.commandLine({{}, 0, "", "", true});
  controller.commandLine({{}, 0, "", "", true});
  EXPECT_EQ(windows.calls, (Calls{"launch hidden"}));
}

// The launch's own activation token goes before its startup id, and only to
// the windows this launch shows.
TEST_F(AppControllerTest, ALaunchsActivationTokenServesItsWindowsOnly) {
  controller.commandLine({{"show"}, 0, "desk-1_TIME5", "wl-token"});
  EXPECT_EQ(windows.calls, (Calls{"token wl-token", "showMain 5", "token "}));
}

TEST_F(AppControllerTest, StartupTimesAreReadOnlyFromAWholeTimeField) {
  using Case = std::pair<const char*, std::uint32_t>;
  for (const auto& [id, time] :
       {Case{"host-12-34_TIME4000000000", 4000000000u}, Case{"_TIME0", 0}, Case{"no-time-here", 0},
        Case{"x_TIME12ab", 0}, Case{"x_TIME", 0}, Case{"x_TIME99999999999", 0}})
    EXPECT_EQ(AppController::startupTime(id), time) << id;
}

// Enabled rows act, disabled ones have no handler; rows sharing an action do
// the same, and distinct actions distinct things.
TEST_F(AppControllerTest, EveryEnabledMenuRowHasAHandlerThatActs) {
  // Window commands wait for the windows; the client's own rows do not.
  EXPECT_FALSE(controller.handles(MenuAction::newTask));
  controller.perform(MenuAction::newTask);
  EXPECT_TRUE(windows.calls.empty());
  EXPECT_TRUE(controller.handles(MenuAction::openSettings));
  controller.setCommands(&windows);
  std::map<MenuAction, Calls> seen;
  int disabled = 0;
  auto rows = menus::statusMenu();
  for (const auto& menu : menus::mainMenu())
    rows.insert(rows.end(), menu.items.begin(), menu.items.end());
  for (const auto& row : rows) {
    if (row.separator) continue;
    windows.calls.clear();
    EXPECT_EQ(controller.handles(row.action), row.enabled) << row.title;
    controller.perform(row.action);
    EXPECT_EQ(windows.calls.size(), row.enabled ? 1u : 0u) << row.title;
    disabled += !row.enabled;
    auto [it, fresh] = seen.emplace(row.action, windows.calls);
    EXPECT_EQ(it->second, windows.calls) << row.title;
  }
  EXPECT_GT(disabled, 0);
  std::set<Calls> effects;
  for (const auto& [action, calls] : seen)
    EXPECT_TRUE(calls.empty() || effects.insert(calls).second) << calls.front();
}

// The status menu shows no fixed keys; its hot-key rows follow the grabs.
TEST_F(AppControllerTest, NoKeyIsUsedTwiceAndEachFollowedHotKeyHasOneRowPerMenu) {
  std::map<std::string, std::string> owner;
  std::map<menus::Follows, int> inMain, inStatus;
  for (const auto& menu : menus::mainMenu())
    for (const auto& row : menu.items) {
      ++inMain[row.follows];
      const std::string accel = menus::accelerator(row);
      if (accel.empty()) continue;
      auto [it, fresh] = owner.emplace(accel, row.title);
      EXPECT_TRUE(fresh) << accel << ": " << it->second << " and " << row.title;
    }
  EXPECT_GT(owner.size(), 10u);
  for (const auto& row : menus::statusMenu()) {
    ++inStatus[row.follows];
    EXPECT_EQ(menus::accelerator(row), "") << row.title;
  }
  for (auto follows : {menus::Follows::quick, menus::Follows::focus})
    EXPECT_TRUE(inMain[follows] == 1 && inStatus[follows] == 1);

  // Only letters, digits and Space, and never a key that types into the page.
  const std::pair<std::optional<GlobalCombo>, std::string> cases[] = {
      {GlobalCombo("Space", true, true), "<Control><Alt>space"},
      {GlobalCombo("KeyK", false, false, true, true), "<Shift><Super>k"},
      {GlobalCombo("KeyЖ", false, false, false, true), "<Super>ж"},
      {GlobalCombo("Digit9", false, true, true), "<Alt><Shift>9"},
      {std::nullopt, ""},  // a hot key that is off
      {GlobalCombo("Space", false, false, true), ""},
      {GlobalCombo("F5", true, true), ""},
      {GlobalCombo("Minus", true, true), ""},
      {GlobalCombo("KeyAB", true, true), ""},
  };
  for (const auto& [combo, accel] : cases)
    EXPECT_EQ(menus::accelerator(menus::followedKey(combo)), accel) << (combo ? combo->code : "");
}

TEST(ZoomTest, StepsStopAtTheCapAndTheFloor) {
  const std::pair<double, double> cases[] = {
      {zoom::in(zoom::kNormal), 1.1},  {zoom::in(1.95), 2.0},  {zoom::in(2.0), 2.0},
      {zoom::out(zoom::kNormal), 0.9}, {zoom::out(0.65), 0.6}, {zoom::out(0.6), 0.6},
  };
  for (const auto& [got, want] : cases) EXPECT_DOUBLE_EQ(got, want);
}

TEST_F(AppControllerTest, ReminderModesReadAsThePagesPermission) {
  EXPECT_STREQ(AppController::notifyPermission(Reminders::Mode::off), "denied");
  for (auto mode : {Reminders::Mode::unknown, Reminders::Mode::system, Reminders::Mode::own})
    EXPECT_STREQ(AppController::notifyPermission(mode), "granted");
}

TEST_F(AppControllerTest, ARefusalOpensTheDesktopsSettingsOrIsExplainedInThePage) {
  launcher.names = "GNOME";
  launcher.programs = {"gnome-control-center"};
  controller.permissionAnswered(true);
  EXPECT_TRUE(launcher.started.empty());
  ASSERT_TRUE(controller.notificationSettingsCommand());
  controller.permissionAnswered(false);
  EXPECT_EQ(windows.calls, (Calls{"permission granted answer", "permission denied answer"}));
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.started[0], *controller.notificationSettingsCommand());

  // A program that does not start counts as none: the page explains instead.
  launcher.starts = false;
  for (int i = 0; i < 2; ++i) {
    windows.calls.clear();
    controller.permissionAnswered(false);
    EXPECT_EQ(windows.calls, (Calls{"permission denied answer", "tellNotifyRefused"}));
    launcher.programs.clear();
  }
  EXPECT_EQ(launcher.started.size(), 2u);
}

}  // namespace
}  // namespace vuko

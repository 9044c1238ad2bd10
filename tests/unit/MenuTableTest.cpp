#include <gtest/gtest.h>

#include <string>

#include "app/MenuTable.h"
#include "app/Zoom.h"

using namespace vuko;
using namespace vuko::menus;

TEST(MenuTableTest, InTheStatusMenuOnlyQuitGoesToTheApplication) {
  int quits = 0;
  for (const auto& row : statusMenu()) {
    if (row.separator) continue;
    const bool quit = row.action == MenuAction::terminate;
    quits += quit;
    EXPECT_EQ(row.target == Target::firstResponder, quit) << row.title;
  }
  EXPECT_EQ(quits, 1);
}

TEST(MenuTableTest, EachHotKeyFollowedByAMenuRowHasOneInEachMenu) {
  for (Follows follows : {Follows::quick, Follows::focus}) {
    int inMain = 0, inStatus = 0;
    for (const auto& menu : mainMenu())
      for (const auto& row : menu.items) inMain += row.follows == follows;
    for (const auto& row : statusMenu()) inStatus += row.follows == follows;
    EXPECT_EQ(inMain, 1);
    EXPECT_EQ(inStatus, 1);
  }
}

TEST(MenuTableTest, FollowedKeysKeepTheCombinationsOwnModifiers) {
  struct Case {
    std::optional<GlobalCombo> combo;
    std::string accel;
  } cases[] = {
      {GlobalCombo("Space", true, true), "<Control><Alt>space"},
      {GlobalCombo("KeyK", false, false, true, true), "<Shift><Super>k"},
      {GlobalCombo("Digit7", true, false), "<Control>7"},
      // A hot key that is off, a key no menu can show, a bare Space.
      {std::nullopt, ""},
      {GlobalCombo("F5", true, true), ""},
      {GlobalCombo("Space", false, false, true), ""},
      // A letter without Ctrl, Alt or Super stays the page's typing.
      {GlobalCombo("KeyA", false, false), ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(accelerator(followedKey(c.combo)), c.accel)
        << (c.combo ? c.combo->toJson().dump() : "off");
}

TEST(MenuTableTest, ZoomStopsAtItsBounds) {
  EXPECT_DOUBLE_EQ(zoom::in(1.95), 2.0);
  EXPECT_DOUBLE_EQ(zoom::in(zoom::in(1.95)), 2.0);
  EXPECT_NEAR(zoom::in(1.0), 1.1, 1e-9);
  double z = 1.0;
  for (int i = 0; i < 10; ++i) z = zoom::out(z);
  EXPECT_DOUBLE_EQ(z, 0.6);
  EXPECT_NEAR(zoom::out(0.75), 0.65, 1e-9);
}

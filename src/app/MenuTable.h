// The client's menus as data: the main menu's six top-level menus and the
// status item's menu, with titles, actions, key equivalents and targets. A
// platform layer turns these rows into its own menus; only the rows marked as
// following a hot key change after start-up. What each action does is bound
// in AppController.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hotkeys/GlobalCombo.h"

namespace vuko {

// Every command a menu item can run.
enum class MenuAction {
  about,
  openSettings,
  chooseServer,
  hide,
  hideOthers,
  unhideAll,
  terminate,
  newTask,
  quickTask,
  palette,
  toggleMini,
  undo,
  redo,
  cut,
  copy,
  paste,
  selectAll,
  goToday,
  goInbox,
  goWeek,
  goCalendar,
  goFocus,
  back,
  forward,
  reload,
  zoomIn,
  zoomOut,
  zoomReset,
  toggleFullScreen,
  minimize,
  closeWindow,
  openMain,
};

}  // namespace vuko

namespace vuko::menus {

// Modifier words of a fixed key equivalent, as the menus are designed.
enum Modifier : unsigned {
  command = 1u << 0,
  option = 1u << 1,
  shift = 1u << 2,
  control = 1u << 3,
};

// Who answers an item: the application delegate, or whatever has the focus
// (the standard editing, window and application commands).
enum class Target { delegate, firstResponder };

// Items whose key equivalent follows a global hot key instead of a fixed key.
enum class Follows { none, quick, focus };

struct Item {
  bool separator = false;
  std::string title;
  MenuAction action = MenuAction::about;
  std::string key;  // empty: no key equivalent
  unsigned modifiers = 0;
  Target target = Target::delegate;
  Follows follows = Follows::none;
  // Commands with no honest meaning on this desktop stay visible but
  // disabled.
  bool enabled = true;

  bool operator==(const Item&) const = default;
};

struct Menu {
  std::string title;
  std::vector<Item> items;
};

const std::vector<Menu>& mainMenu();
const std::vector<Item>& statusMenu();

// A fixed key equivalent as an accelerator of this desktop: Command is the
// primary modifier, Option is Alt; the full-screen command, which has no
// Command-Control counterpart here, is F11. Empty for an item without a key.
std::string accelerator(const Item& item);

// A key equivalent that follows a hot key, as an accelerator: the combination
// keeps its own modifier words (control, alt, shift, and meta as Super).
std::string accelerator(const std::optional<GlobalCombo::MenuKey>& key);

// The key equivalent a hot-key item shows for the combination in force:
// none when the hot key is off or its key cannot appear in a menu.
std::optional<GlobalCombo::MenuKey> followedKey(const std::optional<GlobalCombo>& combo);

}  // namespace vuko::menus

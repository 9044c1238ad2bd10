// The menu table turned into GTK menus: a menu bar at the top of the main
// window, whose fixed key equivalents are accelerators of that window, and
// the status item's menu. Choosing an item hands its action to the owner.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/MenuTable.h"
#include "platform/gtk/GObjectPtr.h"

namespace vuko {

class Hotkeys;

class AppMenus {
 public:
  using Dispatch = std::function<void(MenuAction action)>;
  // Whether an action has something to run; items without one are shown
  // insensitive.
  using Available = std::function<bool(MenuAction action)>;

  AppMenus(GtkApplication* app, GtkWindow* mainWindow, Dispatch dispatch, Available available);
  ~AppMenus();
  AppMenus(const AppMenus&) = delete;
  AppMenus& operator=(const AppMenus&) = delete;

  GtkWidget* menuBar() const { return menuBar_; }
  GtkMenu* statusMenu() const { return GTK_MENU(statusMenu_.get()); }

  // Every item that opens the quick panel, and every item that toggles the
  // pomodoro window: one in the main menu, one in the status menu.
  const std::vector<GtkWidget*>& quickItems() const { return quickItems_; }
  const std::vector<GtkWidget*>& focusItems() const { return focusItems_; }

  // Gives every item that follows the hot key the key equivalent of the
  // combination in force, or none.
  void setFollowedKey(menus::Follows which, const std::optional<GlobalCombo::MenuKey>& key);

  // Both of the above for the "quick" and "focus" hot keys of the registry.
  void followHotkeys(const Hotkeys& hotkeys);

  // The status menu's first line (insensitive), or none.
  void setWaiting(const std::optional<std::string>& line);
  GtkWidget* waitingItem() const { return waitingItem_; }

  // Rebuilds the list of the client's open windows at the end of "Окно".
  void refreshWindowList();

  // The accelerator an item answers to, as text ("<Primary>n"); empty when
  // it has none.
  static std::string acceleratorOf(GtkWidget* item);
  // The first item titled so among a menu shell's items and their submenus.
  static GtkWidget* find(GtkWidget* shell, const std::string& title);

 private:
  // Puts the menu bar in the place the main window keeps for it.
  void placeMenuBar();
  // The page sees a key press before the menus do, as it would in a web
  // view that hands only the keys its page leaves to the menus.
  static gboolean pageFirst(GtkWidget* window, GdkEventKey* event, gpointer self);
  struct Press {
    guint32 time;
    guint keyval;
    guint16 keycode;
    guint state;
    bool operator==(const Press&) const = default;
  };
  std::optional<Press> forwarded_;

  GtkWidget* makeItem(const menus::Item& row, GtkAccelGroup* group);
  void setAccelerator(GtkWidget* item, GtkAccelGroup* group, const std::string& accel);

  GtkApplication* app_;
  GtkWindow* mainWindow_;
  Dispatch dispatch_;
  Available available_;
  GObjectPtr<GtkAccelGroup> mainGroup_;
  // Status items show their key equivalents without answering to them: no
  // window of the client holds this group.
  GObjectPtr<GtkAccelGroup> statusGroup_;
  GtkWidget* menuBar_ = nullptr;
  GtkWidget* windowMenu_ = nullptr;
  std::vector<GtkWidget*> windowItems_;
  GObjectPtr<GtkWidget> statusMenu_;
  std::vector<GtkWidget*> quickItems_;
  GtkWidget* waitingItem_ = nullptr;
  GtkWidget* waitingSeparator_ = nullptr;
  std::vector<GtkWidget*> focusItems_;
  // The accelerator each item answers to, so it can be taken off again.
  std::map<GtkWidget*, std::pair<guint, GdkModifierType>> keys_;
};

}  // namespace vuko

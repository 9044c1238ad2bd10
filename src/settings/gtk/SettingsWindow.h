// The small native settings window: the server in use, the hot keys, the
// launcher badge switch, starting at login and how reminders arrive. Its owner supplies the
// texts it cannot know and hears about its buttons through callbacks.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>

namespace vuko {

class SettingsWindow {
 public:
  SettingsWindow();
  ~SettingsWindow();
  SettingsWindow(const SettingsWindow&) = delete;
  SettingsWindow& operator=(const SettingsWindow&) = delete;

  GtkWindow* window() const { return GTK_WINDOW(window_); }

  // Refreshes every line, centres the window and brings it forward.
  void showWindow();
  // Fills the window from the current state.
  void refresh();

  // The buttons and the switches; a switch that refresh() moves does nothing.
  void changeServer();
  void editHotkeys();
  void notifySettings();
  void badge();
  void autostart();

  std::function<std::string()> notifyText = [] { return std::string(); };
  std::function<void()> onNotifySettings;
  // Whether the desktop's notification settings can be opened; where not, the
  // button is disabled and its tooltip says where to allow notifications.
  std::function<bool()> notifySettingsOpen = [] { return true; };
  std::function<void()> onChangeServer;
  std::function<void()> onEditHotkeys;
  std::function<void()> onBadge;
  std::function<std::string()> hotkeysText = [] { return std::string(); };

  // For tests: the widgets that show state.
  GtkLabel* serverLabel() const { return GTK_LABEL(serverLabel_); }
  GtkLabel* hotkeyLabel() const { return GTK_LABEL(hotkeyLabel_); }
  GtkLabel* notifyLabel() const { return GTK_LABEL(notifyLabel_); }
  GtkToggleButton* badgeBox() const { return GTK_TOGGLE_BUTTON(badgeBox_); }
  GtkToggleButton* autostartBox() const { return GTK_TOGGLE_BUTTON(autostartBox_); }
  GtkLabel* autostartLine() const { return GTK_LABEL(autostartLine_); }

 private:
  GtkWidget* window_ = nullptr;
  GtkWidget* serverLabel_ = nullptr;
  GtkWidget* hotkeyLabel_ = nullptr;
  GtkWidget* badgeBox_ = nullptr;
  GtkWidget* autostartBox_ = nullptr;
  GtkWidget* autostartLine_ = nullptr;
  GtkWidget* notifyLabel_ = nullptr;
  GtkWidget* systemButton_ = nullptr;
  // Set while refresh() moves the switch, which is not the user's toggle.
  bool filling_ = false;
  // Why the last turn of the autostart switch failed; cleared when shown again.
  std::string autostartError_;
};

}  // namespace vuko

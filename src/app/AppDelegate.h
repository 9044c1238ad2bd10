// Creates the client's long-lived components once, when launching finishes,
// and joins them with callbacks. Everything lives until the process ends.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "app/ServerChange.h"
#include "platform/Task.h"

namespace vuko {

class WebController;
class MiniFocus;
class Hotkeys;
class ServerSheet;
class SettingsWindow;

class AppDelegate {
 public:
  explicit AppDelegate(GtkApplication* app);
  ~AppDelegate();
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  // The start-up sequence; runs once.
  void didFinishLaunching();
  // A second launch (the counterpart of a Dock click) shows the main window.
  void reopen();
  // The "show" hot key: hide the main window when it is visible and the client
  // is the active application, otherwise bring it forward.
  void toggleMainWindow();
  bool isActive() const;
  // The "focus" hot key.
  void toggleMiniFocus();

  WebController* main() const { return main_.get(); }
  MiniFocus* mini() const { return mini_.get(); }
  Hotkeys* hotkeys() const { return hotkeys_.get(); }
  ServerSheet* serverSheet() const { return serverSheet_.get(); }
  SettingsWindow* settings() const { return settings_.get(); }

  // Presents the server sheet over `over` (or on its own when that is not
  // visible); an accepted server runs the server change.
  void chooseServer(GtkWindow* over);
  // Creates the settings window on first use and shows it.
  void openSettings();

 private:
  void addQuitAction();
  // Tells the user when the settings file could not be read and was kept
  // aside under another name.
  void reportSetAsideSettings();
  void joinServerChange();

  GtkApplication* app_;
  std::unique_ptr<WebController> main_;
  std::unique_ptr<Hotkeys> hotkeys_;
  std::unique_ptr<MiniFocus> mini_;
  std::unique_ptr<ServerSheet> serverSheet_;
  std::unique_ptr<SettingsWindow> settings_;
  ServerChange serverChange_;
  bool launched_ = false;
  Lifetime life_;
};

}  // namespace vuko

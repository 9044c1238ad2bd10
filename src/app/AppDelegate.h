// Creates the client's long-lived components once, when launching finishes,
// and joins them with callbacks. Everything lives until the process ends.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "platform/Task.h"

namespace vuko {

class WebController;
class MiniFocus;
class Hotkeys;
class QuickPanel;

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
  // Runs the hot-key action id ("quick", "show", "focus") as a command from
  // the command line; false for an unknown id.
  bool command(const std::string& id);

  WebController* main() const { return main_.get(); }
  MiniFocus* mini() const { return mini_.get(); }
  Hotkeys* hotkeys() const { return hotkeys_.get(); }
  QuickPanel* quick() const { return quick_.get(); }

 private:
  void addQuitAction();
  // Tells the user when the settings file could not be read and was kept
  // aside under another name.
  void reportSetAsideSettings();
  // The refresh after the user's tasks changed.
  void afterChange();

  GtkApplication* app_;
  std::unique_ptr<WebController> main_;
  std::unique_ptr<QuickPanel> quick_;
  std::unique_ptr<Hotkeys> hotkeys_;
  std::unique_ptr<MiniFocus> mini_;
  bool launched_ = false;
  Lifetime life_;
};

}  // namespace vuko

// Creates the client's long-lived components once, when launching finishes,
// and joins them with callbacks. Everything lives until the process ends.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "platform/Task.h"

namespace vuko {

class WebController;
class MiniFocus;
class Hotkeys;
class Reminders;
class BannerHost;
class WakeMonitor;

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
  Reminders* reminders() const { return reminders_.get(); }

  // After the user's tasks changed: an early poll and a focus event for the page.
  void afterChange();
  // The page asked for notification permission.
  void askNotifyPermission();
  // The desktop's own notification settings, where one is known.
  static void openNotificationSettings();

 private:
  void addQuitAction();
  // Tells the user when the settings file could not be read and was kept
  // aside under another name.
  void reportSetAsideSettings();
  // Start-up steps of the reminder engine and the notification centre.
  void startReminders();
  Task<> askNotifyPermissionRoutine();

  GtkApplication* app_;
  std::unique_ptr<WebController> main_;
  std::unique_ptr<Hotkeys> hotkeys_;
  std::unique_ptr<MiniFocus> mini_;
  std::unique_ptr<BannerHost> bannerHost_;
  std::unique_ptr<Reminders> reminders_;
  std::unique_ptr<WakeMonitor> wake_;
  bool launched_ = false;
  Lifetime life_;
};

}  // namespace vuko

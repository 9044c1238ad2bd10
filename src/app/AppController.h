// The client's application rules without a toolkit: what a new launch, a
// hot key, a command-line option and a menu item do, and how the reminder
// mode reads as the page's notification permission. The views answer
// through AppWindows and WindowCommands; AppDelegate only wires them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/MenuTable.h"
#include "hotkeys/HotkeyActions.h"
#include "hotkeys/Hotkeys.h"
#include "platform/SettingsLauncher.h"
#include "reminders/Reminders.h"
#include "settings/SystemSettings.h"

namespace vuko {

class QuickCommands;

// The client's windows as the rules see them. Event times are the window
// system's time stamps (0 when unknown) of the input that asked for a window.
class AppWindows {
 public:
  virtual ~AppWindows() = default;

  // Makes the long-lived components and, with showMain, shows the main
  // window; once.
  virtual void launch(bool showMain) = 0;
  virtual bool launched() const = 0;
  virtual bool anyWindowVisible() const = 0;
  virtual bool mainVisible() const = 0;
  // Whether one of the client's windows holds the input focus.
  virtual bool isActive() const = 0;
  virtual void showMain(std::uint32_t eventTime) = 0;
  // Brings the main window forward without showing it anew.
  virtual void raiseMain(std::uint32_t eventTime) = 0;
  virtual void hideMain() = 0;
  // The desktop's activation token of the request being handled, for the
  // window it shows; empty once the request is done.
  virtual void expectActivation(const std::string& token) = 0;
  virtual void toggleMini() = 0;
  virtual void about() = 0;
  virtual void openSettings() = 0;
  virtual void chooseServer() = 0;
  // The page's notification permission ("granted" or "denied"); `answer`
  // when it answers the page's own request.
  virtual void setNotifyPermission(const std::string& permission, bool answer) = 0;
  // Tells the user, in the page, where notifications can be allowed.
  virtual void tellNotifyRefused() = 0;
};

// What the menu commands do to the windows: the main view's page commands and
// the standard commands on whatever has the focus.
class WindowCommands {
 public:
  enum class Edit { cut, copy, paste, selectAll, undo, redo };
  enum class Zoom { in, out, reset };

  virtual ~WindowCommands() = default;
  virtual void newTask() = 0;
  virtual void palette() = 0;
  virtual void zoom(Zoom step) = 0;
  virtual void back() = 0;
  virtual void forward() = 0;
  virtual void reload() = 0;
  // Opens a path of the web app in the main window.
  virtual void go(const std::string& path) = 0;
  virtual void edit(Edit command) = 0;
  // Hides every window of the client.
  virtual void hideAll() = 0;
  virtual void toggleFullScreen() = 0;
  virtual void minimize() = 0;
  virtual void closeWindow() = 0;
  virtual void quit() = 0;
};

class AppController {
 public:
  AppController(AppWindows& windows, SettingsLauncher& launcher);
  AppController(const AppController&) = delete;
  AppController& operator=(const AppController&) = delete;

  // The window commands, once the main window exists; until then their menu
  // actions have no handler.
  void setCommands(WindowCommands* commands) { commands_ = commands; }
  // The quick panel, once it exists.
  void setQuick(QuickCommands* quick) { quick_ = quick; }

  // A launch of the program (the first or a later one) without options.
  void reopen(std::uint32_t eventTime = 0);
  // A hot-key action, from a key press or the command line.
  void run(HotkeyAction action, std::uint32_t eventTime);
  // Every hot-key action for the key grabs, from the one table.
  Hotkeys::Actions hotkeyActions();

  // One launch's command line: the options given (long names), arguments
  // beyond the program's name, the desktop's startup id and the activation
  // token the launching desktop gave it (either may be empty).
  struct CommandLine {
    std::vector<std::string> options;
    std::size_t extraArguments = 0;
    std::string startupId;
    std::string activationToken;
    // Start without a window (at login); nothing for a running client.
    bool background = false;
  };
  struct Outcome {
    int status = 0;
    // For the launching terminal; empty when all went well.
    std::string error;
  };
  Outcome commandLine(const CommandLine& line);
  // Whether a first launch with this command line shows the main window.
  static bool showsMainWindow(const CommandLine& line) {
    return line.extraArguments == 0 && line.options.empty() && !line.background;
  }
  // The time stamp a startup id carries ("…_TIME<n>"), 0 when it has none.
  static std::uint32_t startupTime(std::string_view startupId);

  // Whether something in the client answers a menu action now.
  bool handles(MenuAction action) const;
  void perform(MenuAction action);

  // The page's notification permission for a reminder mode.
  static const char* notifyPermission(Reminders::Mode mode);
  // The answer to the page's request for permission: told to the page; a
  // refusal opens the desktop's notification settings, or, where none open,
  // the page says where to allow them.
  void permissionAnswered(bool allowed);
  // The desktop's notification settings program, none where no known one is
  // installed.
  std::optional<SystemSettings::Command> notificationSettingsCommand() const;
  bool openNotificationSettings();

 private:
  void toggleMain(std::uint32_t eventTime);

  AppWindows& windows_;
  SettingsLauncher& launcher_;
  WindowCommands* commands_ = nullptr;
  QuickCommands* quick_ = nullptr;
};

}  // namespace vuko

#include "app/AppController.h"

#include <algorithm>
#include <charconv>

#include "quick/QuickEntry.h"

namespace vuko {

AppController::AppController(AppWindows& windows, SettingsLauncher& launcher)
    : windows_(windows), launcher_(launcher) {}

void AppController::reopen(std::uint32_t eventTime) {
  if (!windows_.launched()) {
    windows_.launch(true);
    return;
  }
  // With no window on screen a new launch brings the main window back;
  // otherwise it only brings the client forward, as launching a running
  // application does.
  if (!windows_.anyWindowVisible())
    windows_.showMain(eventTime);
  else if (windows_.mainVisible())
    windows_.raiseMain(eventTime);
}

// The "show" hot key hides the main window when it is visible and the client
// is the active application, and otherwise brings it forward.
void AppController::toggleMain(std::uint32_t eventTime) {
  if (windows_.mainVisible() && windows_.isActive())
    windows_.hideMain();
  else
    windows_.showMain(eventTime);
}

void AppController::run(HotkeyAction action, std::uint32_t eventTime) {
  if (!windows_.launched()) windows_.launch(true);
  switch (action) {
    case HotkeyAction::quick:
      if (quick_) quick_->togglePanel(eventTime);
      break;
    case HotkeyAction::show:
      toggleMain(eventTime);
      break;
    case HotkeyAction::focus:
      windows_.toggleMini();
      break;
  }
}

Hotkeys::Actions AppController::hotkeyActions() {
  Hotkeys::Actions actions;
  for (const auto& row : kHotkeyActions)
    actions[row.id] = [this, action = row.action](std::uint32_t eventTime) {
      run(action, eventTime);
    };
  return actions;
}

AppController::Outcome AppController::commandLine(const CommandLine& line) {
  if (line.extraArguments > 0)
    return {1,
            "vuko: лишние аргументы; программа принимает только --quick, --show, --focus и "
            "--background\n"};
  const std::uint32_t time = startupTime(line.startupId);
  // Wayland desktops hand the token over as XDG_ACTIVATION_TOKEN, some also
  // as the startup id; it is good for this launch's window only.
  const std::string& token = line.activationToken.empty() ? line.startupId : line.activationToken;
  if (!token.empty()) windows_.expectActivation(token);
  // Started at login, the client waits out of sight; a running client has
  // nothing to do for it.
  if (line.background && !windows_.launched()) windows_.launch(false);
  bool any = false;
  for (const auto& row : kHotkeyActions) {
    if (std::find(line.options.begin(), line.options.end(), row.id) == line.options.end()) continue;
    any = true;
    run(row.action, time);
  }
  if (!any && !line.background) reopen(time);
  if (!token.empty()) windows_.expectActivation({});
  return {};
}

std::uint32_t AppController::startupTime(std::string_view startupId) {
  const auto at = startupId.rfind("_TIME");
  if (at == std::string_view::npos) return 0;
  const std::string_view digits = startupId.substr(at + 5);
  std::uint32_t time = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), time);
  if (error != std::errc() || end != digits.data() + digits.size()) return 0;
  return time;
}

bool AppController::handles(MenuAction action) const {
  switch (action) {
    case MenuAction::about:
    case MenuAction::openSettings:
    case MenuAction::chooseServer:
    case MenuAction::quickTask:
    case MenuAction::toggleMini:
    case MenuAction::openMain:
      return true;
    // Nothing in the client hides or shows other programs.
    case MenuAction::hideOthers:
    case MenuAction::unhideAll:
      return false;
    default:
      return commands_ != nullptr;
  }
}

void AppController::perform(MenuAction action) {
  if (!handles(action)) return;
  using Edit = WindowCommands::Edit;
  using Zoom = WindowCommands::Zoom;
  switch (action) {
    case MenuAction::about:
      return windows_.about();
    case MenuAction::openSettings:
      return windows_.openSettings();
    case MenuAction::chooseServer:
      return windows_.chooseServer();
    case MenuAction::quickTask:
      if (quick_) quick_->showPanel(0);
      return;
    case MenuAction::toggleMini:
      return windows_.toggleMini();
    case MenuAction::openMain:
      return windows_.showMain(0);
    case MenuAction::hideOthers:
    case MenuAction::unhideAll:
      return;
    case MenuAction::hide:
      return commands_->hideAll();
    case MenuAction::terminate:
      return commands_->quit();
    case MenuAction::newTask:
      return commands_->newTask();
    case MenuAction::palette:
      return commands_->palette();
    case MenuAction::undo:
      return commands_->edit(Edit::undo);
    case MenuAction::redo:
      return commands_->edit(Edit::redo);
    case MenuAction::cut:
      return commands_->edit(Edit::cut);
    case MenuAction::copy:
      return commands_->edit(Edit::copy);
    case MenuAction::paste:
      return commands_->edit(Edit::paste);
    case MenuAction::selectAll:
      return commands_->edit(Edit::selectAll);
    case MenuAction::goToday:
      return commands_->go("/today");
    case MenuAction::goInbox:
      return commands_->go("/inbox");
    case MenuAction::goWeek:
      return commands_->go("/week");
    case MenuAction::goCalendar:
      return commands_->go("/calendar");
    case MenuAction::goFocus:
      return commands_->go("/focus");
    case MenuAction::back:
      return commands_->back();
    case MenuAction::forward:
      return commands_->forward();
    case MenuAction::reload:
      return commands_->reload();
    case MenuAction::zoomIn:
      return commands_->zoom(Zoom::in);
    case MenuAction::zoomOut:
      return commands_->zoom(Zoom::out);
    case MenuAction::zoomReset:
      return commands_->zoom(Zoom::reset);
    case MenuAction::toggleFullScreen:
      return commands_->toggleFullScreen();
    case MenuAction::minimize:
      return commands_->minimize();
    case MenuAction::closeWindow:
      return commands_->closeWindow();
  }
}

const char* AppController::notifyPermission(Reminders::Mode mode) {
  return mode == Reminders::Mode::off ? "denied" : "granted";
}

void AppController::permissionAnswered(bool allowed) {
  windows_.setNotifyPermission(allowed ? "granted" : "denied", true);
  if (!allowed && !openNotificationSettings()) windows_.tellNotifyRefused();
}

std::optional<SystemSettings::Command> AppController::notificationSettingsCommand() const {
  return SystemSettings::notificationsCommand(
      launcher_.desktops(),
      [this](const std::string& program) { return launcher_.installed(program); });
}

bool AppController::openNotificationSettings() {
  auto command = notificationSettingsCommand();
  return command && launcher_.run(*command);
}

}  // namespace vuko

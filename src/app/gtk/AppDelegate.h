// Creates the client's long-lived components once, when launching finishes,
// and joins them with callbacks; the rules they follow are AppController's.
// Everything lives until the process ends.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/AppController.h"
#include "app/ServerChange.h"
#include "app/gtk/AppHost.h"
#include "platform/Clock.h"
#include "platform/Task.h"
#include "quick/QuickEntry.h"
#include "selftest/TestVariables.h"

namespace vuko {

class WebController;
class MiniFocus;
class Hotkeys;
class ServerSheet;
class SettingsWindow;
struct TestHooks;
class AppMenus;
class MenuActions;
class StatusItem;
class AboutPanel;
class Badge;
class QuickPanel;
class Reminders;
class BannerHost;
class WakeMonitor;
class TaskApi;
class Outbox;
class OutboxStore;
class SessionCopy;

class AppDelegate final : public AppWindows, public AppHost {
 public:
  explicit AppDelegate(GtkApplication* app, RunConfig config = {},
                       SettingsLauncher& launcher = SettingsLauncher::desktop());
  ~AppDelegate() override;
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  // The start-up sequence; runs once. showMain: false for a start in the
  // background, where the page loads when the window first shows.
  void didFinishLaunching(bool showMain = true);
  AppController& controller() override { return controller_; }
  // The window a start already shows with the last page's picture: the
  // main window when the start shows it.
  void takeShownWindow(std::unique_ptr<MainWindow> shown) { shown_ = std::move(shown); }

  // The key equivalents of the quick-task and pomodoro items follow the hot
  // keys in force.
  void updateHotkeyMenus();
  // Refreshes today's count on the launcher icon (cleared at once when the
  // setting is off).
  void updateBadge();
  // Sets the launcher icon's badge and the status item's label at once.
  void setBadgeLabel(const std::optional<std::string>& label);
  // The last badge label set (none before the first).
  std::optional<std::string> badgeLabel() const;

  WebController* main() const { return main_.get(); }
  Hotkeys* hotkeys() const { return hotkeys_.get(); }
  ServerSheet* serverSheet() const { return serverSheet_.get(); }
  SettingsWindow* settings() const { return settings_.get(); }
  // None until the panel is first asked for.
  QuickPanel* quick() const { return quick_.get(); }
  MiniFocus& miniFocus();
  QuickPanel& quickPanel();
  Reminders* reminders() const { return reminders_.get(); }
  Outbox* outbox() const { return outbox_.get(); }

  // Presents the server sheet over `over` (or on its own when that is not
  // visible); an accepted server runs the server change.
  void chooseServer(GtkWindow* over);

  // The views, as the controller sees them.
  void launch(bool showMain) override { didFinishLaunching(showMain); }
  bool launched() const override { return launched_; }
  bool anyWindowVisible() const override;
  bool mainVisible() const override;
  bool isActive() const override;
  void showMain(std::uint32_t eventTime) override;
  void raiseMain(std::uint32_t eventTime) override;
  void hideMain() override;
  void expectActivation(const std::string& token) override;
  void toggleMini() override;
  void about() override;
  // Creates the settings window on first use and shows it.
  void openSettings() override;
  void chooseServer() override;
  void setNotifyPermission(const std::string& permission, bool answer) override;
  void tellNotifyRefused() override;

  // After the user's tasks changed: an early poll and a focus event for the page.
  void afterChange();
  // The page asked for notification permission.
  void askNotifyPermission();

 private:
  // The main menu, the status item and what their items run.
  void buildMenus();
  // The badge's first refresh a little after start, then one a minute.
  void startBadgeRefresh();
  // Tells the user when the settings file could not be read and was kept
  // aside under another name.
  void reportSetAsideSettings();
  void joinServerChange();
  // The signed-in user's token as the task API asks for it: read from the
  // main page, none once the delegate is gone.
  std::function<Task<std::optional<std::string>>()> tokenProvider();
  // Fills a settings window's callbacks and providers.
  void joinSettings(SettingsWindow& window);
  // What the self-test run may ask of the components.
  TestHooks selfTestHooks();
  // The first start-up step: the notification centre learns whether the
  // client is active and the title of its open action (the engine takes the
  // centre's callbacks when it starts).
  void becomeNotificationDelegate();
  // The lines kept while the server is out of reach, and what sends them.
  void startOutbox();
  void updateWaiting();
  // The kept copy of the token: lent to a page that starts asleep, renewed
  // from the page's reads.
  void keepSession(bool asleep);
  // The account is gone (signed out, another server): its reminders and its
  // kept token with it.
  void forgetAccount();
  // Start-up steps of the reminder engine.
  void startReminders();
  Task<> askNotifyPermissionRoutine();

  GtkApplication* app_;
  const RunConfig config_;
  AppController controller_;
  // The task server's API, shared by every component that calls it; it
  // outlives them all.
  std::unique_ptr<TaskApi> api_;
  std::unique_ptr<WebController> main_;
  std::unique_ptr<MainWindow> shown_;
  std::unique_ptr<SessionCopy> session_;
  std::unique_ptr<OutboxStore> outboxStore_;
  std::unique_ptr<Outbox> outbox_;
  std::unique_ptr<QuickPanel> quick_;
  // What the rules call: it builds the panel when first asked.
  class LazyQuick final : public QuickCommands {
   public:
    explicit LazyQuick(AppDelegate& owner) : owner_(owner) {}
    void showPanel(std::uint32_t eventTime) override;
    void togglePanel(std::uint32_t eventTime) override;

   private:
    AppDelegate& owner_;
  };
  LazyQuick lazyQuick_{*this};
  std::unique_ptr<Hotkeys> hotkeys_;
  std::unique_ptr<MiniFocus> mini_;
  std::unique_ptr<ServerSheet> serverSheet_;
  std::unique_ptr<SettingsWindow> settings_;
  ServerChange serverChange_;
  std::unique_ptr<MenuActions> actions_;
  std::unique_ptr<AppMenus> menus_;
  std::unique_ptr<StatusItem> status_;
  std::unique_ptr<AboutPanel> aboutPanel_;
  std::unique_ptr<Badge> badge_;
  Timer badgeTimer_;
  std::unique_ptr<BannerHost> bannerHost_;
  std::unique_ptr<Reminders> reminders_;
  std::unique_ptr<WakeMonitor> wake_;
  bool launched_ = false;
  Lifetime life_;
};

}  // namespace vuko

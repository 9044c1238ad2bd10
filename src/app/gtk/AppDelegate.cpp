#include "app/gtk/AppDelegate.h"

#include "app/Badge.h"
#include "app/gtk/AboutPanel.h"
#include "app/gtk/AppMenus.h"
#include "app/gtk/MenuActions.h"
#include "app/gtk/StatusItem.h"
#include "hotkeys/Hotkeys.h"
#include "platform/Defaults.h"
#include "platform/HotkeyService.h"
#include "platform/NotificationCenter.h"
#include "platform/ShortcutPortal.h"
#include "platform/Wake.h"
#include "platform/WindowFocus.h"
#include "quick/Outbox.h"
#include "quick/gtk/QuickPanel.h"
#include "reminders/Reminders.h"
#include "selftest/gtk/TestMode.h"
#include "server/HttpTaskApi.h"
#include "server/SessionCopy.h"
#include "server/gtk/ServerSheet.h"
#include "settings/SettingsLines.h"
#include "settings/gtk/SettingsWindow.h"
#include "web/gtk/MiniFocus.h"
#include "web/gtk/WebController.h"

namespace vuko {

AppDelegate::AppDelegate(GtkApplication* app, RunConfig config, SettingsLauncher& launcher)
    : app_(app),
      config_(std::move(config)),
      controller_(*this, launcher),
      api_(std::make_unique<HttpTaskApi>()) {}

// Components are destroyed in the reverse order of their creation, the
// registry (whose actions point at the windows) before the windows.
AppDelegate::~AppDelegate() {
  controller_.setCommands(nullptr);
  controller_.setQuick(nullptr);
  serverSheet_.reset();
  settings_.reset();
  badgeTimer_.cancel();
  badge_.reset();
  status_.reset();
  menus_.reset();
  aboutPanel_.reset();
  actions_.reset();
  hotkeys_.reset();
  wake_.reset();
  reminders_.reset();
  mini_.reset();
  quick_.reset();
  outbox_.reset();
  main_.reset();
}

void AppDelegate::didFinishLaunching(bool showMain) {
  if (launched_) return;
  launched_ = true;
  if (config_.inMemory)
    NotificationCenter::setCurrent(
        std::make_shared<DesktopNotificationCenter>(DesktopNotificationCenter::Options{}));
  becomeNotificationDelegate();
  // Closing the last window must not end the client: reminders, hot keys and
  // the status item keep working. Only the quit command ends it.
  g_application_hold(G_APPLICATION(app_));

  // A start in the background shows no window at all.
  if (!showMain && shown_) gtk_widget_destroy(std::exchange(shown_, nullptr)->window);
  main_ = std::make_unique<WebController>(config_.inMemory, !showMain, std::move(shown_));
  gtk_application_add_window(app_, main_->window());
  keepSession(!showMain);
  api_->setTokenSource(tokenProvider());
  startOutbox();
  startReminders();

  controller_.setQuick(&lazyQuick_);

  auto alive = life_.guard();
  hotkeys_ = std::make_unique<Hotkeys>(controller_.hotkeyActions(), HotkeyService::shared(),
                                       Defaults::standard(), ShortcutPortal::sessionBus());
  main_->hotkeys = hotkeys_.get();
  main_->onEngineDropping = [this, alive] {
    if (alive) mini_.reset();
  };
  main_->onChooseServer = [this, alive] {
    if (alive) chooseServer(main_->window());
  };
  joinServerChange();
  hotkeys_->onChange = [this, alive] {
    if (alive) updateHotkeyMenus();
  };
  buildMenus();
  updateWaiting();
  updateHotkeyMenus();
  if (showMain) main_->show();
  reportSetAsideSettings();
  // The self-test run takes over here: no badge timer, no deferred refresh;
  // it refreshes the badge only when it asks to.
  if (const auto& test = config_.selfTest) {
    TestMode::run(*test, *main_, miniFocus(), selfTestHooks(), life_.guard());
    return;
  }
  startBadgeRefresh();
}

MiniFocus& AppDelegate::miniFocus() {
  // Made when first asked for: its view is a second page in the engine.
  if (!mini_) {
    mini_ = std::make_unique<MiniFocus>(main_->sharedConfig());
    gtk_application_add_window(app_, mini_->window());
    // The pomodoro page lives in the main page's web process.
    g_signal_connect(mini_->window(), "show", G_CALLBACK(+[](GtkWidget*, gpointer main) {
                       static_cast<WebController*>(main)->setPomodoroOpen(true);
                     }),
                     main_.get());
    g_signal_connect(mini_->window(), "hide", G_CALLBACK(+[](GtkWidget*, gpointer main) {
                       static_cast<WebController*>(main)->setPomodoroOpen(false);
                     }),
                     main_.get());
  }
  return *mini_;
}

QuickPanel& AppDelegate::quickPanel() {
  // Built on its first use (a few milliseconds): many never open it, and a
  // window never opened should cost no memory.
  if (!quick_) {
    quick_ = std::make_unique<QuickPanel>(*api_);
    quick_->keepOffline(*outbox_,
                        [this, alive = life_.guard()] { return alive && main_->offline(); });
    quick_->onAdded = [this, alive = life_.guard()] {
      if (alive) afterChange();
    };
  }
  return *quick_;
}

void AppDelegate::reportSetAsideSettings() {
  auto* file = dynamic_cast<FileDefaults*>(&Defaults::standard());
  if (!file || !file->setAside()) return;
  GtkWidget* alert =
      gtk_message_dialog_new(main_->window(), GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_WARNING,
                             GTK_BUTTONS_OK, "%s", "Файл настроек повреждён");
  gtk_message_dialog_format_secondary_text(
      GTK_MESSAGE_DIALOG(alert),
      "Его не удалось прочитать, поэтому программа начала с настройками по умолчанию. "
      "Прежний файл сохранён как %s.",
      file->setAside()->c_str());
  // No data: the alert destroys itself.
  g_signal_connect(alert, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
  gtk_widget_show(alert);
}

bool AppDelegate::anyWindowVisible() const {
  for (GList* w = gtk_application_get_windows(app_); w; w = w->next)
    if (gtk_widget_get_visible(GTK_WIDGET(w->data))) return true;
  return false;
}

bool AppDelegate::mainVisible() const {
  return main_ && gtk_widget_get_visible(GTK_WIDGET(main_->window()));
}

bool AppDelegate::isActive() const {
  for (GList* w = gtk_application_get_windows(app_); w; w = w->next)
    if (WindowFocus::has(GTK_WINDOW(w->data))) return true;
  return false;
}

void AppDelegate::showMain(std::uint32_t eventTime) {
  main_->show(eventTime);
}

void AppDelegate::raiseMain(std::uint32_t eventTime) {
  gtk_window_present_with_time(main_->window(), eventTime);
}

void AppDelegate::hideMain() {
  gtk_widget_hide(GTK_WIDGET(main_->window()));
}

void AppDelegate::expectActivation(const std::string& token) {
  WindowFocus::expectActivation(token);
}

void AppDelegate::toggleMini() {
  miniFocus().toggle();
}

void AppDelegate::chooseServer() {
  chooseServer(main_->window());
}

void AppDelegate::chooseServer(GtkWindow* over) {
  if (!serverSheet_) {
    serverSheet_ = std::make_unique<ServerSheet>(
        [api = api_.get()](Url server) { return api->probe(std::move(server)); });
    gtk_application_add_window(app_, serverSheet_->window());
  }
  auto alive = life_.guard();
  serverSheet_->present(over, [this, alive](bool changed) {
    if (alive) serverChange_(changed);
  });
}

void AppDelegate::joinServerChange() {
  auto alive = life_.guard();
  serverChange_.refreshSettings = [this, alive] {
    if (alive && settings_) settings_->refresh();
  };
  serverChange_.reloadMain = [this, alive] {
    if (alive) main_->reload();
  };
  serverChange_.reloadMini = [this, alive] {
    if (alive && mini_) mini_->reload();
  };
  serverChange_.openMain = [this, alive](const std::string& path) {
    if (alive) main_->open(path);
  };
  serverChange_.clearBadge = [this, alive] {
    if (alive) setBadgeLabel(std::nullopt);
  };
  serverChange_.updateBadge = [this, alive] {
    if (!alive) return;
    updateBadge();
    // Each server has its own waiting lines.
    updateWaiting();
  };
  serverChange_.resetReminders = [this, alive] {
    if (alive) forgetAccount();
  };
  serverChange_.syncReminders = [this, alive] {
    if (alive) reminders_->soon(0);
  };
}

void AppDelegate::openSettings() {
  if (!settings_) {
    settings_ = std::make_unique<SettingsWindow>();
    gtk_application_add_window(app_, settings_->window());
    joinSettings(*settings_);
  }
  settings_->showWindow();
}

void AppDelegate::joinSettings(SettingsWindow& window) {
  auto alive = life_.guard();
  GtkWindow* own = window.window();
  window.onChangeServer = [this, alive, own] {
    if (alive) chooseServer(own);
  };
  window.onEditHotkeys = [this, alive] {
    if (alive) main_->go("/settings/advanced#hotkeys");
  };
  window.hotkeysText = [this, alive] {
    if (!alive || !hotkeys_) return std::string();
    return SettingsLines::hotkeys([this](const std::string& id) { return hotkeys_->combo(id); },
                                  hotkeys_->commandsOnly());
  };
  window.onBadge = [this, alive] {
    if (alive) updateBadge();
  };
  window.onNotifySettings = [this, alive] {
    if (alive) controller_.openNotificationSettings();
  };
  window.notifySettingsOpen = [this, alive] {
    return alive && controller_.notificationSettingsCommand().has_value();
  };
  window.notifyText = [this, alive] {
    if (!alive || !reminders_) return std::string(SettingsLines::kChecking);
    return SettingsLines::notify(reminders_->mode());
  };
}

void AppDelegate::LazyQuick::showPanel(std::uint32_t eventTime) {
  owner_.quickPanel().commands().showPanel(eventTime);
}

void AppDelegate::LazyQuick::togglePanel(std::uint32_t eventTime) {
  owner_.quickPanel().commands().togglePanel(eventTime);
}

}  // namespace vuko

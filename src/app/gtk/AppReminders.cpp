// The delegate's part in reminders: the notification centre's delegate, the
// engine and its callbacks, notification permission and settings.
#include <string>

#include "app/gtk/AppDelegate.h"
#include "platform/Defaults.h"
#include "platform/NotificationCenter.h"
#include "platform/Wake.h"
#include "quick/Outbox.h"
#include "reminders/Reminders.h"
#include "reminders/gtk/BannerWindow.h"
#include "server/SessionCopy.h"
#include "settings/Autostart.h"
#include "settings/gtk/SettingsWindow.h"
#include "web/Bridge.h"
#include "web/gtk/WebController.h"
#include "wording/SystemWording.h"

namespace vuko {

namespace {

Task<std::optional<std::string>> pageToken(WebController* main, Lifetime::Guard alive) {
  if (!alive) co_return std::nullopt;
  auto token = co_await main->token();
  if (!alive) co_return std::nullopt;
  co_return token;
}

}  // namespace

std::function<Task<std::optional<std::string>>()> AppDelegate::tokenProvider() {
  return [this, alive = life_.guard()] { return pageToken(main_.get(), alive); };
}

void AppDelegate::becomeNotificationDelegate() {
  auto alive = life_.guard();
  auto& center = NotificationCenter::current();
  if (auto* desktop = dynamic_cast<DesktopNotificationCenter*>(&center)) {
    desktop->isActive = [this, alive] { return alive && isActive(); };
    desktop->openTitle = Reminders::openTitle;
  }
}

void AppDelegate::startReminders() {
  auto alive = life_.guard();
  bannerHost_ = std::make_unique<GtkBannerHost>();
  ReminderServices services;
  services.banners = bannerHost_.get();
  services.testMode = config_.inMemory;
  reminders_ = std::make_unique<Reminders>(*api_, services);
  reminders_->onOpen = [this, alive](const std::string& path, const std::string& activationToken) {
    if (alive) main_->go(path, activationToken);
  };
  reminders_->onChanged = [this, alive] {
    if (alive) afterChange();
  };
  reminders_->onNative = [this, alive](bool on) {
    if (alive) main_->setNativeReminders(on);
  };
  reminders_->onMode = [this, alive](Reminders::Mode m) {
    if (!alive) return;
    main_->setNotifyPermission(AppController::notifyPermission(m));
    if (settings_) settings_->refresh();
  };

  reminders_->onReached = [this, alive](const std::string& token) {
    if (alive) outbox_->send(token).detach();
  };
  // Tells the user, once, that reminders stop with the client.
  reminders_->onDelivered = [this, alive] {
    if (!alive) return;
    if (Autostart::reminderDelivered(Defaults::standard(), Autostart::startsAtLogin()) && settings_)
      settings_->refresh();
  };

  main_->onTasksChanged = [this, alive] {
    if (alive) reminders_->soon();
  };
  main_->onNotify = [this, alive](const std::string& title, const std::string& body,
                                  const std::string& tag) {
    if (alive) reminders_->notifyNow(title, body, tag);
  };
  main_->onAskPermission = [this, alive] {
    if (alive) askNotifyPermission();
  };
  main_->onLoggedOut = [this, alive] {
    if (alive) forgetAccount();
  };
  reminders_->onRefused = [this, alive] {
    if (alive) session_->forget();
  };

  reminders_->start();
  wake_ = std::make_unique<WakeMonitor>([this, alive] {
    if (alive) reminders_->wake();
  });
}

void AppDelegate::afterChange() {
  updateBadge();
  reminders_->soon();
  main_->evaluate("window.dispatchEvent(new Event('focus'))");
}

void AppDelegate::askNotifyPermission() {
  askNotifyPermissionRoutine().detach();
}

Task<> AppDelegate::askNotifyPermissionRoutine() {
  auto alive = life_.guard();
  auto answer = co_await NotificationCenter::current().requestAuthorization();
  if (!alive) co_return;
  controller_.permissionAnswered(Reminders::permissionAllowed(answer, reminders_->mode()));
}

void AppDelegate::setNotifyPermission(const std::string& permission, bool answer) {
  main_->setNotifyPermission(permission, answer);
}

void AppDelegate::tellNotifyRefused() {
  main_->evaluate(Bridge::alertScript(wording::notifyRefused));
}

}  // namespace vuko

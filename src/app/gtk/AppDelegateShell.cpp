// The delegate's menus, status item, launcher badge and About window.
#include <chrono>

#include "app/Badge.h"
#include "app/gtk/AboutPanel.h"
#include "app/gtk/AppDelegate.h"
#include "app/gtk/AppMenus.h"
#include "app/gtk/MenuActions.h"
#include "app/gtk/StatusItem.h"
#include "hotkeys/Hotkeys.h"
#include "platform/DockTile.h"
#include "quick/gtk/QuickPanel.h"
#include "settings/gtk/SettingsWindow.h"
#include "web/gtk/WebController.h"

namespace vuko {

namespace {

constexpr auto kBadgeEvery = std::chrono::seconds(60);
constexpr auto kFirstBadge = std::chrono::seconds(4);

}  // namespace

void AppDelegate::buildMenus() {
  auto alive = life_.guard();
  actions_ = std::make_unique<MenuActions>(app_, *main_);
  controller_.setCommands(actions_.get());
  menus_ = std::make_unique<AppMenus>(
      app_, main_->window(),
      [this, alive](MenuAction action) {
        if (alive) controller_.perform(action);
      },
      [this](MenuAction action) { return controller_.handles(action); });
  status_ = std::make_unique<StatusItem>(menus_->statusMenu());
  badge_ = std::make_unique<Badge>(*api_, [this, alive](const Badge::Label& label) {
    if (alive) setBadgeLabel(label);
  });
}

void AppDelegate::updateHotkeyMenus() {
  if (menus_ && hotkeys_) menus_->followHotkeys(*hotkeys_);
  if (settings_) settings_->refresh();
  // The desktop binds the portal's shortcuts later than the page asked.
  if (main_) main_->sendHotkeys();
}

void AppDelegate::updateBadge() {
  if (badge_) badge_->update();
}

void AppDelegate::setBadgeLabel(const std::optional<std::string>& label) {
  DockTile::setBadgeLabel(label);
  if (status_) status_->setLabel(label);
}

std::optional<std::string> AppDelegate::badgeLabel() const {
  return DockTile::badgeLabel();
}

void AppDelegate::startBadgeRefresh() {
  auto alive = life_.guard();
  auto refresh = [this, alive] {
    if (alive) updateBadge();
  };
  badgeTimer_ = Clock::main().schedule(kBadgeEvery, refresh, true);
  Clock::main().defer(refresh, kFirstBadge);
}

void AppDelegate::about() {
  if (!aboutPanel_) aboutPanel_ = std::make_unique<AboutPanel>();
  aboutPanel_->show(main_->window());
}

}  // namespace vuko

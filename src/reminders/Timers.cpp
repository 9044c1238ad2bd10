// Own banners, reminder timers and the keep-awake activity.
#include "reminders/Reminders.h"

namespace vuko {

namespace {
constexpr auto lookAhead = std::chrono::seconds(1800);
constexpr auto recheckBefore = std::chrono::seconds(1790);
constexpr int margin = 12;
constexpr int gap = 8;
}  // namespace

void Reminders::arm(const Item& item) {
  auto key = item.nid();
  timers_.erase(key);
  auto alive = life_.guard();
  TimerEntry e;
  e.at = item.at;
  e.timer = wall_.at(item.at, [this, alive, item] {
    if (alive) timerFired(item).detach();
  });
  timers_[key] = std::move(e);
}

Task<> Reminders::timerFired(Item item) {
  auto alive = life_.guard();
  auto key = item.nid();
  timers_.erase(key);
  auto shown = shownMap();
  if (!shown.count(key)) {
    if (mode_ == Mode::own) showBanner(item);
    shown[key] = wall_.now();
    saveShown(shown);
    if (lastToken_) {
      co_await api_.fired(*lastToken_, item.id, alive);
      if (!alive) co_return;
    }
  }
  updateActivity();
}

void Reminders::showBanner(const Item& item) {
  if (!bannerHost_) return;
  auto banner = std::make_unique<ReminderBanner>(item, *bannerHost_, clock_);
  ReminderBanner* raw = banner.get();
  auto alive = life_.guard();
  banner->onAction = [this, alive, raw, item](std::optional<std::string> action) {
    if (!alive) return;
    auto it = std::find_if(banners_.begin(), banners_.end(),
                           [raw](const auto& b) { return b.get() == raw; });
    if (it != banners_.end()) {
      // The window may still be inside its own input handler: free it later.
      std::shared_ptr<ReminderBanner> gone(std::move(*it));
      banners_.erase(it);
      clock_.defer([gone] {});
    }
    layoutBanners();
    if (action) handle(*action, item.id, item.taskId, item.title, item.body, item.kind);
  };
  banners_.push_back(std::move(banner));
  layoutBanners();
  raw->appear();
  bannerHost_->playSound();
}

void Reminders::layoutBanners() {
  if (!bannerHost_) return;
  auto area = bannerHost_->workArea();
  if (!area) return;
  int y = area->y + margin;
  for (const auto& b : banners_) {
    auto* v = b->view();
    if (!v) continue;
    v->moveTo(area->x + area->width - v->width() - margin, y);
    y += v->height() + gap;
  }
}

void Reminders::updateActivity() {
  auto now = wall_.now();
  bool near = false;
  std::optional<TimePoint> earliest;
  for (const auto& [k, e] : timers_) {
    if (e.fired || !e.timer.active()) continue;
    if (e.at - now < lookAhead) near = true;
    if (!earliest || e.at < *earliest) earliest = e.at;
  }
  if (mode_ != Mode::system && near) {
    if (!activity_) {
      activitySvc_.hold(keepAwakeReason);
      activity_ = true;
    }
  } else if (activity_) {
    activitySvc_.release();
    activity_ = false;
  }
  if (mode_ == Mode::system || !earliest) return;
  if (*earliest - now >= lookAhead) {
    auto alive = life_.guard();
    activityCheck_ = wall_.at(*earliest - recheckBefore, [this, alive] {
      if (alive) updateActivity();
    });
  }
}

}  // namespace vuko

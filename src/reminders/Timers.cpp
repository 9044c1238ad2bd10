// Own banners, the own centre's due requests and the keep-awake activity.
#include "reminders/Reminders.h"

namespace vuko {

namespace {
constexpr auto lookAhead = std::chrono::seconds(1800);
constexpr auto recheckBefore = std::chrono::seconds(1790);
constexpr int margin = 12;
constexpr int gap = 8;
}  // namespace

void Reminders::ownDue(const NotificationRequest& request) {
  // A poll after a wake may have shown it before its timer came.
  bool reminder = request.id.rfind("rem", 0) == 0;
  if (reminder && !shownMap().count(request.id) && takeLate(request, From::own)) return;
  if (!reminder || !shownMap().count(request.id)) {
    if (mode_ == Mode::own) showBanner(*itemOf(request));
    delivered(request);
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
    if (action) handle(ReminderAnswer{*action, item, {}});
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
  for (const auto& r : own_.list()) {
    auto at = r.trigger.date;
    if (at - now < lookAhead) near = true;
    if (!earliest || at < *earliest) earliest = at;
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

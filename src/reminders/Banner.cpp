#include "reminders/Banner.h"

namespace vuko {

BannerContent BannerContent::of(const ReminderItem& item) {
  BannerContent c;
  c.title = item.title;
  c.body = item.shownBody();
  c.buttons = !item.isDigest() && item.taskId && *item.taskId >= 1;
  return c;
}

ReminderBanner::ReminderBanner(const ReminderItem& item, BannerHost& host, Clock& clock)
    : item_(item), clock_(clock), view_(host.make(BannerContent::of(item))) {
  auto alive = life_.guard();
  if (view_)
    view_->onInput = [this, alive](std::optional<std::string> action) {
      if (alive) finish(std::move(action));
    };
}

void ReminderBanner::appear() {
  if (view_) view_->appear();
  auto alive = life_.guard();
  hideWork_ = clock_.schedule(lifetime, [this, alive] {
    if (alive) finish(std::nullopt);
  });
}

void ReminderBanner::finish(std::optional<std::string> action) {
  hideWork_.cancel();
  if (view_) view_->hide();
  // The engine hears of each banner once; it may drop the banner in the call.
  if (auto cb = std::exchange(onAction, nullptr)) cb(std::move(action));
}

}  // namespace vuko

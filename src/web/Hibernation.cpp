#include "web/Hibernation.h"

#include <cmath>

#include "platform/Defaults.h"

namespace vuko {

std::optional<Clock::Duration> Hibernation::delay(const Defaults& store) {
  double seconds = store.number(kDelayKey).value_or(kDefaultDelay);
  // Beyond a year is as good as never, and keeps the milliseconds in range.
  if (!std::isfinite(seconds) || seconds < 0) seconds = kDefaultDelay;
  if (seconds == 0 || seconds > 366.0 * 24 * 3600) return std::nullopt;
  return Clock::Duration(static_cast<Clock::Duration::rep>(seconds * 1000));
}

void Hibernation::windowShown(bool shown) {
  shown_ = shown;
  // Only showing the window wakes the page: the pomodoro window and the
  // reminders' mode leave it asleep until the user asks for it.
  if (shown_ && asleep_) {
    asleep_ = false;
    if (onWake) onWake();
  }
  update();
}

void Hibernation::pomodoroOpen(bool open) {
  pomodoro_ = open;
  update();
}

void Hibernation::remindersNative(bool native) {
  native_ = native;
  update();
}

void Hibernation::update() {
  if (!may() || asleep_) {
    wait_.cancel();
    return;
  }
  if (wait_.active()) return;
  const auto d = delaySource ? delaySource() : std::nullopt;
  if (!d) return;
  wait_ = clock_.schedule(*d, [this] {
    wait_.release();
    asleep_ = true;
    if (onSleep) onSleep();
  });
}

}  // namespace vuko

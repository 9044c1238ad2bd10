// When the main page's web process may be ended to give its memory back: the
// window has been hidden for a while, no other window shows a page of that
// process, and reminders need no page. Showing the window wakes it.
#pragma once

#include <functional>
#include <optional>

#include "platform/Clock.h"

namespace vuko {

class Defaults;

class Hibernation {
 public:
  // The defaults key of the delay in seconds; 0 turns hibernation off.
  static constexpr const char* kDelayKey = "hibernateAfterSeconds";
  static constexpr double kDefaultDelay = 1800;

  explicit Hibernation(Clock& clock) : clock_(clock) {}

  // The delay the store asks for; none when hibernation is off. A value that
  // is not a usable number counts as missing.
  static std::optional<Clock::Duration> delay(const Defaults& store);

  // Ends the web process; set by the owner.
  std::function<void()> onSleep;
  // Brings the page back; set by the owner.
  std::function<void()> onWake;
  // Read when the wait starts, so a changed setting counts from the next hide.
  std::function<std::optional<Clock::Duration>()> delaySource;

  void windowShown(bool shown);
  void pomodoroOpen(bool open);
  void remindersNative(bool native);
  // The page was never loaded: the window's first show wakes it.
  void startAsleep() { asleep_ = true; }

  bool asleep() const { return asleep_; }

 private:
  bool may() const { return !shown_ && !pomodoro_ && native_; }
  void update();

  Clock& clock_;
  bool shown_ = true;
  bool pomodoro_ = false;
  bool native_ = false;
  bool asleep_ = false;
  Timer wait_;
};

}  // namespace vuko

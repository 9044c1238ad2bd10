// Time and timers. Components take a Clock so that tests can run a 300 s poll
// or a 60 s timeout without waiting; the client uses the main-loop clock.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "platform/Task.h"

namespace vuko {

class Timer;

class Clock {
 public:
  using Duration = std::chrono::milliseconds;
  using TimePoint = std::chrono::system_clock::time_point;
  using Callback = std::function<void()>;

  virtual ~Clock() = default;
  virtual TimePoint now() const = 0;
  // Runs fn after delay (repeatedly when repeat is set) on the main loop until
  // the returned timer is cancelled or destroyed.
  virtual Timer schedule(Duration delay, Callback fn, bool repeat = false) = 0;

  // Runs fn once on a later turn of the main loop; cannot be cancelled.
  void defer(Callback fn, Duration delay = Duration::zero());
  // Suspends the awaiting coroutine for delay.
  Future<bool> sleep(Duration delay);

  // The process-wide clock (the main-loop clock unless a test replaced it).
  static Clock& main();
  static void setMain(std::shared_ptr<Clock> clock);
};

// Owner of one scheduled callback; destroying it cancels the callback.
class Timer {
 public:
  Timer() = default;
  explicit Timer(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  Timer(Timer&& o) noexcept : cancel_(std::exchange(o.cancel_, nullptr)) {}
  Timer& operator=(Timer&& o) noexcept {
    if (this != &o) {
      cancel();
      cancel_ = std::exchange(o.cancel_, nullptr);
    }
    return *this;
  }
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  ~Timer() { cancel(); }

  bool active() const { return static_cast<bool>(cancel_); }
  void cancel() {
    if (auto c = std::exchange(cancel_, nullptr)) c();
  }
  // Leaves the callback scheduled without an owner.
  void release() { cancel_ = nullptr; }

 private:
  std::function<void()> cancel_;
};

// GLib timeouts on the default main context.
class MainLoopClock final : public Clock {
 public:
  TimePoint now() const override;
  Timer schedule(Duration delay, Callback fn, bool repeat = false) override;
};

}  // namespace vuko

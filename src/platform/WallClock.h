// Appointments on the wall clock. Main-loop timeouts run on the monotonic
// clock, which stands still while the machine sleeps; a reminder must still
// come at its time of day, and one whose moment passed during a sleep or a
// clock change comes at once afterwards.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "platform/Clock.h"

namespace vuko {

class WallClock {
 public:
  using TimePoint = std::chrono::system_clock::time_point;
  using Callback = std::function<void()>;

  virtual ~WallClock() = default;
  virtual TimePoint now() const = 0;
  // Runs fn once on the main loop when the wall clock reaches when (at once
  // when that moment has passed), until the returned timer is cancelled.
  virtual Timer at(TimePoint when, Callback fn) = 0;
  // Looks again at every appointment: after a wake, a passed moment fires.
  virtual void recheck() {}

  // The process-wide wall clock (the system's unless a test replaced it).
  static WallClock& main();
  static void setMain(std::shared_ptr<WallClock> clock);
};

// The system clock, watched by a realtime timer that also reports when the
// clock is set (a timerfd with cancel-on-set).
class SystemWallClock final : public WallClock {
 public:
  SystemWallClock();
  ~SystemWallClock() override;
  SystemWallClock(const SystemWallClock&) = delete;
  SystemWallClock& operator=(const SystemWallClock&) = delete;

  TimePoint now() const override;
  Timer at(TimePoint when, Callback fn) override;
  void recheck() override;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace vuko

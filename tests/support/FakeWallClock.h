// A wall clock on top of a FakeClock that can also jump, as the wall clock
// does across a suspend: the main-loop clock stands still, appointments whose
// moment passed fire at once.
#pragma once

#include <map>
#include <memory>

#include "platform/WallClock.h"
#include "support/FakeClock.h"

namespace vuko::test {

class FakeWallClock final : public WallClock {
 public:
  explicit FakeWallClock(FakeClock& mono) : mono_(mono), state_(std::make_shared<State>()) {}

  TimePoint now() const override { return mono_.now() + state_->offset; }

  Timer at(TimePoint when, Callback fn) override {
    auto id = state_->next++;
    state_->appointments[id] = {when, std::move(fn), Timer()};
    place(id);
    std::weak_ptr<State> weak = state_;
    return Timer([weak, id] {
      if (auto s = weak.lock()) s->appointments.erase(id);
    });
  }

  // The machine slept for d: only the wall clock moved. Unless noticed is
  // false, appointments whose moment passed fire at once, as the system's
  // realtime timer does; otherwise they wait for recheck().
  void jump(std::chrono::milliseconds d, bool noticed = true) {
    state_->offset += d;
    if (noticed) recheck();
  }
  void recheck() override {
    for (auto& [id, a] : state_->appointments) place(id);
    mono_.flush();
  }

  size_t pending() const { return state_->appointments.size(); }

 private:
  struct Appointment {
    TimePoint when;
    Callback fn;
    Timer timer;
  };
  struct State {
    std::map<unsigned long, Appointment> appointments;
    unsigned long next = 1;
    std::chrono::milliseconds offset{0};
  };

  void place(unsigned long id) {
    auto& a = state_->appointments[id];
    auto delay = std::chrono::duration_cast<Clock::Duration>(a.when - now());
    std::weak_ptr<State> weak = state_;
    a.timer = mono_.schedule(std::max(delay, Clock::Duration::zero()), [weak, id] {
      auto s = weak.lock();
      if (!s) return;
      auto it = s->appointments.find(id);
      if (it == s->appointments.end()) return;
      auto fn = std::move(it->second.fn);
      it->second.timer.release();
      s->appointments.erase(it);
      fn();
    });
  }

  FakeClock& mono_;
  std::shared_ptr<State> state_;
};

}  // namespace vuko::test

// A clock whose time moves only when the test says so, and a wall clock on the
// same timers that can also jump, as the wall clock does across a suspend: the
// main-loop clock stands still, appointments whose moment passed fire at once.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <optional>

#include "platform/Clock.h"
#include "platform/WallClock.h"

namespace vuko::test {

class FakeClock final : public Clock {
 public:
  explicit FakeClock(TimePoint start = TimePoint(std::chrono::seconds(1'800'000'000)))
      : now_(start) {}

  TimePoint now() const override { return now_; }
  Timer schedule(Duration delay, Callback fn, bool repeat = false) override {
    return add(
        {now_ + delay, repeat ? std::max(delay, Duration(1)) : Duration(0), std::move(fn), {}});
  }

  // Moves time forward, firing due timers in order of due time.
  void advance(Duration d) {
    TimePoint end = now_ + d;
    auto& timers = state_->timers;
    for (;;) {
      auto due = std::min_element(timers.begin(), timers.end(),
                                  [](auto& a, auto& b) { return a.second.at < b.second.at; });
      if (due == timers.end() || due->second.at > end) break;
      now_ = std::max(now_, due->second.at);
      auto fn = due->second.fn;
      if (due->second.every > Duration(0))
        due->second.at += due->second.every;
      else
        timers.erase(due);
      fn();
    }
    now_ = end;
  }
  // Runs what is due now (deferred work).
  void flush() { advance(Duration::zero()); }
  size_t pending() const { return state_->timers.size(); }

  class Wall final : public WallClock {
   public:
    explicit Wall(FakeClock& c) : c_(c) {}
    TimePoint now() const override { return c_.now_ + c_.state_->offset; }
    Timer at(TimePoint when, Callback fn) override {
      return c_.add({c_.placed(when), Duration(0), std::move(fn), when});
    }
    // The machine slept for d: only the wall clock moved. Unless noticed is
    // false, appointments whose moment passed fire at once, as the system's
    // realtime timer does; otherwise they wait for recheck().
    void jump(Duration d, bool noticed = true) {
      c_.state_->offset += d;
      if (noticed) recheck();
    }
    void recheck() override {
      for (auto& [id, e] : c_.state_->timers)
        if (e.when) e.at = c_.placed(*e.when);
      c_.flush();
    }

   private:
    FakeClock& c_;
  };
  Wall wall{*this};

 private:
  struct Entry {
    TimePoint at;
    Duration every;  // zero: once
    Callback fn;
    std::optional<TimePoint> when;  // an appointment's moment on the wall clock
  };
  struct State {
    std::map<unsigned long, Entry> timers;
    unsigned long next = 1;
    Duration offset{0};
  };

  Timer add(Entry e) {
    auto id = state_->next++;
    state_->timers[id] = std::move(e);
    return Timer([weak = std::weak_ptr<State>(state_), id] {
      if (auto s = weak.lock()) s->timers.erase(id);
    });
  }
  // The main-loop moment at which a wall-clock moment falls due.
  TimePoint placed(TimePoint when) const { return std::max(now_, when - state_->offset); }

  TimePoint now_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace vuko::test

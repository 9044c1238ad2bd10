// A clock whose time moves only when the test says so.
#pragma once

#include <map>
#include <memory>

#include "platform/Clock.h"

namespace vuko::test {

class FakeClock final : public Clock {
 public:
  explicit FakeClock(TimePoint start = TimePoint(std::chrono::seconds(1'800'000'000)))
      : now_(start), state_(std::make_shared<State>()) {}

  TimePoint now() const override { return now_; }

  Timer schedule(Duration delay, Callback fn, bool repeat = false) override {
    auto id = state_->next++;
    state_->timers[id] = Entry{now_ + delay, delay, std::move(fn), repeat};
    std::weak_ptr<State> weak = state_;
    return Timer([weak, id] {
      if (auto s = weak.lock()) s->timers.erase(id);
    });
  }

  // Moves time forward, firing due timers in order of due time.
  void advance(Duration d) {
    TimePoint end = now_ + d;
    for (;;) {
      auto due = state_->timers.end();
      for (auto it = state_->timers.begin(); it != state_->timers.end(); ++it)
        if (it->second.at <= end && (due == state_->timers.end() || it->second.at < due->second.at))
          due = it;
      if (due == state_->timers.end()) break;
      now_ = std::max(now_, due->second.at);
      auto fn = due->second.fn;
      if (due->second.repeat)
        due->second.at += std::max(due->second.every, Duration(1));
      else
        state_->timers.erase(due);
      fn();
    }
    now_ = end;
  }
  // Runs what is due now (deferred work).
  void flush() { advance(Duration::zero()); }
  size_t pending() const { return state_->timers.size(); }

 private:
  struct Entry {
    TimePoint at;
    Duration every;
    Callback fn;
    bool repeat;
  };
  struct State {
    std::map<unsigned long, Entry> timers;
    unsigned long next = 1;
  };
  TimePoint now_;
  std::shared_ptr<State> state_;
};

}  // namespace vuko::test

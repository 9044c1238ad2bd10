#include "platform/WallClock.h"

#include <glib-unix.h>
#include <glib.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>

namespace vuko {

namespace {

std::shared_ptr<WallClock>& mainWall() {
  static std::shared_ptr<WallClock> clock;
  return clock;
}

}  // namespace

WallClock& WallClock::main() {
  auto& c = mainWall();
  if (!c) c = std::make_shared<SystemWallClock>();
  return *c;
}

void WallClock::setMain(std::shared_ptr<WallClock> clock) {
  mainWall() = std::move(clock);
}

struct SystemWallClock::State {
  struct Appointment {
    TimePoint when;
    Callback fn;
  };
  std::map<unsigned long, Appointment> appointments;
  unsigned long next = 1;
  int fd = -1;
  guint watch = 0;

  // Fires what is due, then sets the realtime timer to the next moment. A
  // realtime timer follows the wall clock across a suspend; cancel-on-set
  // wakes it when the clock is changed.
  void run() {
    auto now = std::chrono::system_clock::now();
    for (;;) {
      auto due = appointments.end();
      for (auto it = appointments.begin(); it != appointments.end(); ++it)
        if (it->second.when <= now &&
            (due == appointments.end() || it->second.when < due->second.when))
          due = it;
      if (due == appointments.end()) break;
      auto fn = std::move(due->second.fn);
      appointments.erase(due);
      fn();
    }
    arm();
  }

  void arm() {
    if (fd < 0) return;
    itimerspec when{};
    if (!appointments.empty()) {
      auto first = appointments.begin()->second.when;
      for (const auto& [id, a] : appointments) first = std::min(first, a.when);
      auto ns =
          std::chrono::duration_cast<std::chrono::nanoseconds>(first.time_since_epoch()).count();
      // Zero disarms the timer; a moment at the epoch is long past anyway.
      if (ns <= 0) ns = 1;
      when.it_value.tv_sec = ns / 1'000'000'000;
      when.it_value.tv_nsec = ns % 1'000'000'000;
    }
    timerfd_settime(fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr);
  }
};

SystemWallClock::SystemWallClock() : state_(std::make_shared<State>()) {
  state_->fd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
  if (state_->fd < 0) return;
  state_->watch = g_unix_fd_add(
      state_->fd, G_IO_IN,
      [](gint fd, GIOCondition, gpointer p) -> gboolean {
        std::uint64_t n;
        // ECANCELED: the clock was set; either way every moment is re-read.
        while (::read(fd, &n, sizeof n) < 0 && errno == EINTR) {
        }
        static_cast<State*>(p)->run();
        return G_SOURCE_CONTINUE;
      },
      state_.get());
}

SystemWallClock::~SystemWallClock() {
  if (state_->watch) g_source_remove(state_->watch);
  if (state_->fd >= 0) ::close(state_->fd);
}

WallClock::TimePoint SystemWallClock::now() const {
  return std::chrono::system_clock::now();
}

Timer SystemWallClock::at(TimePoint when, Callback fn) {
  auto id = state_->next++;
  state_->appointments[id] = {when, std::move(fn)};
  state_->arm();
  std::weak_ptr<State> weak = state_;
  return Timer([weak, id] {
    auto s = weak.lock();
    if (s && s->appointments.erase(id)) s->arm();
  });
}

void SystemWallClock::recheck() {
  state_->run();
}

}  // namespace vuko

#include "platform/Clock.h"

#include <glib.h>

namespace vuko {

namespace {

std::shared_ptr<Clock>& mainClock() {
  static std::shared_ptr<Clock> clock = std::make_shared<MainLoopClock>();
  return clock;
}

struct Source {
  Clock::Callback fn;
  bool repeat;
  guint id = 0;
};

}  // namespace

void Clock::defer(Callback fn, Duration delay) {
  schedule(delay, std::move(fn)).release();
}

Future<bool> Clock::sleep(Duration delay) {
  Future<bool> f;
  defer([r = f.resolver()] { r(true); }, delay);
  return f;
}

Clock& Clock::main() {
  return *mainClock();
}
void Clock::setMain(std::shared_ptr<Clock> clock) {
  mainClock() = clock ? std::move(clock) : std::make_shared<MainLoopClock>();
}

Clock::TimePoint MainLoopClock::now() const {
  return std::chrono::system_clock::now();
}

Timer MainLoopClock::schedule(Duration delay, Callback fn, bool repeat) {
  // The source owns its state; the timer only removes the source, and the
  // destroy notify frees the state whichever way the source ends.
  auto* src = new Source{std::move(fn), repeat};
  auto tick = [](gpointer p) -> gboolean {
    auto* s = static_cast<Source*>(p);
    bool again = s->repeat;
    if (!again) s->id = 0;
    // Copy: the callback may cancel its own timer, which frees s.
    auto callback = s->fn;
    callback();
    return again ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  };
  auto free = [](gpointer p) { delete static_cast<Source*>(p); };
  guint interval = static_cast<guint>(std::max<Duration::rep>(0, delay.count()));
  src->id = g_timeout_add_full(G_PRIORITY_DEFAULT, interval, tick, src, free);
  guint id = src->id;
  return Timer([id] {
    // The id is only removed if the source still exists (a fired one-shot
    // timer has gone already; GLib never reuses ids while in use).
    if (GSource* s = g_main_context_find_source_by_id(nullptr, id); s && !g_source_is_destroyed(s))
      g_source_remove(id);
  });
}

}  // namespace vuko

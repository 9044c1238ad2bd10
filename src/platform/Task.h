// Coroutines that run on the main loop.
//
// A Task starts at once and runs until its first suspension; it resumes from
// the main loop when what it waits for completes. A Task that nobody awaits
// (the handle was dropped) finishes on its own and frees itself, which is how
// fire-and-forget work is started. Suspended coroutines are never destroyed
// from outside: owners cancel cooperatively, so each coroutine checks a
// Lifetime guard after every suspension before touching its owner.
#pragma once

#include <coroutine>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vuko {

namespace detail {

// Logs the failure of work nobody awaits, which would otherwise vanish.
void reportDetachedFailure(const std::exception_ptr& error) noexcept;

struct PromiseBase {
  std::exception_ptr error;
  std::coroutine_handle<> continuation;
  bool detached = false;
  bool done = false;

  std::suspend_never initial_suspend() noexcept { return {}; }
  void unhandled_exception() noexcept { error = std::current_exception(); }

  template <class Promise>
  struct FinalAwaiter {
    bool await_ready() noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> h) noexcept {
      auto& p = h.promise();
      p.done = true;
      if (p.continuation) return p.continuation;
      // Nobody will ever look at the result; a failure of detached work is
      // logged, as its starter has no way to hear of it.
      if (p.detached) {
        if (p.error) reportDetachedFailure(p.error);
        h.destroy();
      }
      return std::noop_coroutine();
    }
    void await_resume() noexcept {}
  };
};

template <class T>
struct Promise : PromiseBase {
  std::optional<T> value;
  template <class U>
  void return_value(U&& v) {
    value.emplace(std::forward<U>(v));
  }
  T take() {
    if (error) std::rethrow_exception(error);
    return std::move(*value);
  }
};

template <>
struct Promise<void> : PromiseBase {
  void return_void() noexcept {}
  void take() {
    if (error) std::rethrow_exception(error);
  }
};

}  // namespace detail

template <class T = void>
class [[nodiscard]] Task {
 public:
  struct promise_type : detail::Promise<T> {
    Task get_return_object() { return Task(Handle::from_promise(*this)); }
    auto final_suspend() noexcept { return detail::PromiseBase::FinalAwaiter<promise_type>{}; }
  };
  using Handle = std::coroutine_handle<promise_type>;

  Task() = default;
  Task(Task&& o) noexcept : h_(std::exchange(o.h_, {})) {}
  Task& operator=(Task&& o) noexcept {
    if (this != &o) {
      release();
      h_ = std::exchange(o.h_, {});
    }
    return *this;
  }
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;
  ~Task() { release(); }

  bool done() const { return !h_ || h_.promise().done; }

  // Lets the work finish by itself; its result is dropped, a failure logged.
  void detach() {
    if (h_ && h_.promise().done && h_.promise().error)
      detail::reportDetachedFailure(h_.promise().error);
    release();
  }

  bool await_ready() const noexcept { return h_.promise().done; }
  void await_suspend(std::coroutine_handle<> waiter) noexcept {
    h_.promise().continuation = waiter;
  }
  T await_resume() { return h_.promise().take(); }

  // For tests and synchronous callers once done() is true.
  T result() { return h_.promise().take(); }

 private:
  explicit Task(Handle h) : h_(h) {}
  void release() {
    if (!h_) return;
    if (h_.promise().done)
      h_.destroy();
    else
      h_.promise().detached = true;
    h_ = {};
  }
  Handle h_;
};

// A one-shot value delivered by a callback (a GLib async completion, a timer)
// and awaited by one coroutine. The producer keeps a Resolver, the coroutine
// awaits the Future.
template <class T>
class Future {
  struct State {
    std::optional<T> value;
    std::coroutine_handle<> waiter;
  };

 public:
  class Resolver {
   public:
    void operator()(T v) const {
      if (!s_ || s_->value) return;
      s_->value.emplace(std::move(v));
      if (auto w = std::exchange(s_->waiter, {})) w.resume();
    }

   private:
    friend class Future;
    explicit Resolver(std::shared_ptr<State> s) : s_(std::move(s)) {}
    std::shared_ptr<State> s_;
  };

  Future() : s_(std::make_shared<State>()) {}
  Resolver resolver() const { return Resolver(s_); }

  bool await_ready() const noexcept { return s_->value.has_value(); }
  void await_suspend(std::coroutine_handle<> h) noexcept { s_->waiter = h; }
  T await_resume() { return std::move(*s_->value); }

 private:
  std::shared_ptr<State> s_;
};

// Starts a callback-style operation and gives an awaitable for its result:
//   auto v = co_await callback<int>([](auto done) { startSomething(done); });
template <class T, class Start>
Future<T> callback(Start&& start) {
  Future<T> f;
  start(f.resolver());
  return f;
}

// Cooperative cancellation. An owner keeps a Lifetime; its work holds Guards.
// When the owner goes, every guard turns false and every registered hook runs
// (used to cancel the GCancellable of a running request).
class Lifetime {
  struct State {
    bool alive = true;
    std::size_t next = 1;
    std::vector<std::pair<std::size_t, std::function<void()>>> hooks;
  };

 public:
  class Guard {
   public:
    Guard() = default;
    explicit operator bool() const { return s_ && s_->alive; }
    // Runs hook when the owner goes (at once if it has gone already). The
    // returned number withdraws the hook through forget() once it is moot.
    std::size_t onEnd(std::function<void()> hook) const {
      if (!s_ || !s_->alive) {
        if (hook) hook();
        return 0;
      }
      s_->hooks.emplace_back(s_->next, std::move(hook));
      return s_->next++;
    }
    void forget(std::size_t id) const {
      if (!s_) return;
      std::erase_if(s_->hooks, [id](const auto& h) { return h.first == id; });
    }

   private:
    friend class Lifetime;
    explicit Guard(std::shared_ptr<State> s) : s_(std::move(s)) {}
    std::shared_ptr<State> s_;
  };

  Lifetime() : s_(std::make_shared<State>()) {}
  Lifetime(const Lifetime&) = delete;
  Lifetime& operator=(const Lifetime&) = delete;
  ~Lifetime() { end(); }

  Guard guard() const { return Guard(s_); }

  // Ends this lifetime early and starts a fresh one (e.g. to drop stale work).
  void renew() {
    end();
    s_ = std::make_shared<State>();
  }

 private:
  void end() {
    s_->alive = false;
    auto hooks = std::move(s_->hooks);
    for (auto& [id, h] : hooks)
      if (h) h();
  }
  std::shared_ptr<State> s_;
};

}  // namespace vuko

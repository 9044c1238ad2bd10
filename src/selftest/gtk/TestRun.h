// The steps of the self-test run and the primitives they are made of. Only
// TestMode's own files use it.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/Clock.h"
#include "platform/Task.h"
#include "selftest/Report.h"
#include "selftest/TestVariables.h"
#include "selftest/gtk/TestHooks.h"

namespace vuko {

class WebController;
class MiniFocus;

class TestRun {
 public:
  TestRun(TestVariables variables, WebController& main, MiniFocus& mini, TestHooks hooks,
          Lifetime::Guard alive);

  // Every block in order, "готово", then the client quits.
  Task<> all();

 private:
  // Thrown from a primitive when the client went away while the run waited.
  struct Stopped {};

  Task<> start();
  Task<> switchServer();
  Task<> signIn();
  Task<> quickPanel();
  Task<> miniWindow();
  Task<> reminders();
  Task<> hidden();
  Task<> authNav();

  // Primitives. Each one that suspends is bounded in time and checks, when
  // it resumes, that the client is still there.
  void note(const std::string& line);
  Task<> wait(double seconds);
  Task<std::optional<nlohmann::json>> js(const std::string& script);
  Task<std::string> jsText(const std::string& script, const std::string& missing);
  Task<bool> snapWeb(const std::string& name);
  Task<bool> snapWeb(WebKitWebView* view, const std::string& name);
  bool snapWidget(GtkWidget* widget, const std::string& name);
  // A JSON API call with the token read earlier; none on any failure.
  Task<std::optional<nlohmann::json>> api(const std::string& path,
                                          const std::string& method = "GET",
                                          std::optional<nlohmann::json> body = std::nullopt);
  // The API's verdict on a server; none when it failed or took too long.
  Task<std::optional<std::optional<std::string>>> probe(Url server);
  // A hook's task, or none when it failed or took too long.
  template <class T>
  Task<std::optional<T>> settle(Task<T> task, double limitSeconds);

  std::string url() const;
  void checkAlive() const;

  TestVariables vars_;
  Report report_;
  WebController& main_;
  MiniFocus& mini_;
  TestHooks hooks_;
  Lifetime::Guard alive_;
  std::optional<std::string> token_;
};

// Resolves with what the task gives, or with none when it throws.
template <class T>
Future<std::optional<T>> settled(Task<T> task) {
  Future<std::optional<T>> f;
  [](Task<T> t, typename Future<std::optional<T>>::Resolver r) -> Task<> {
    std::optional<T> v;
    try {
      v = co_await t;
    } catch (...) {
    }
    r(std::move(v));
  }(std::move(task), f.resolver())
                                                                      .detach();
  return f;
}

// Resolves with what f gives, or with fallback once limit has passed.
template <class T>
Task<T> bounded(Future<T> f, Clock::Duration limit, T fallback) {
  Timer timer = Clock::main().schedule(limit, [r = f.resolver(), fallback] { r(fallback); });
  T value = co_await f;
  co_return value;
}

template <class T>
Task<std::optional<T>> TestRun::settle(Task<T> task, double limitSeconds) {
  auto limit = std::chrono::milliseconds(static_cast<long long>(limitSeconds * 1000));
  auto v = co_await bounded<std::optional<T>>(settled(std::move(task)), limit, std::nullopt);
  checkAlive();
  co_return v;
}

}  // namespace vuko

// How the main window's page is loaded: a probe of the server before the
// first page, the offline page while the server cannot be reached, the
// page's own router for in-app navigation, the load time limit, and retries
// of the offline page without a click.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/Task.h"
#include "platform/Url.h"
#include "web/WebView.h"

namespace vuko {

class MainPage {
 public:
  // None when the address answers as a task server, else a Russian message.
  using Probe = std::function<Task<std::optional<std::string>>(Url)>;

  // The engine has no request time limit of its own.
  static constexpr std::chrono::seconds kLoadTimeout{60};
  // The waits before each automatic retry of the offline page; the last one
  // repeats.
  static constexpr std::chrono::seconds kRetryDelays[] = {
      std::chrono::seconds(5), std::chrono::seconds(15), std::chrono::seconds(30),
      std::chrono::seconds(60)};

  // How a load ended without a page.
  enum class Failure {
    cancelled,   // stopped, or replaced by another load
    userChoice,  // answered with a download or a cancel
    other,
  };

  // timedOutMessage: the text shown when a load gets no answer in time.
  MainPage(WebView& view, Probe probe, std::string timedOutMessage);
  MainPage(const MainPage&) = delete;
  MainPage& operator=(const MainPage&) = delete;

  // True while the offline page is what the view shows.
  bool offline() const { return offline_; }

  // Probes the current server, then loads path on it or shows the offline page.
  void open(const std::string& path);
  // Loads path on the current server at once.
  void load(const std::string& path);
  // Navigates through the page's router when the server's page is shown.
  void go(const std::string& path);
  // Reloads the page, or probes again and opens today's page when offline.
  void reload();
  // Probes again and opens today's page, unless a probe is running already.
  void retry();
  void showOffline(const std::string& message);
  // Retries run only while the window is on screen; showing it again retries
  // at once.
  void setVisible(bool visible);
  // The desktop's network came back (or went): back means a retry now.
  void networkChanged(bool available);

  // Events of the view's loads.
  void loadStarted();
  void loadCommitted();
  // True when the finished page is the server's sign-in page.
  bool loadFinished();
  // beforeFirstAnswer: the load failed before any part of the page arrived.
  void loadFailed(bool beforeFirstAnswer, const std::optional<Url>& failing, Failure failure,
                  const std::string& message);

 private:
  Task<> openRoutine(Url server, std::string path);
  Task<> route(std::string script, std::string path);
  void scheduleRetry();

  WebView& view_;
  Probe probe_;
  std::string timedOutMessage_;
  bool offline_ = false;
  bool visible_ = true;
  // Probes running (another server's may still be on its way).
  int probing_ = 0;
  // Automatic retries since the server last answered.
  std::size_t retries_ = 0;
  std::string offlineMessage_;
  Timer loadTimer_;
  Timer retryTimer_;
  Lifetime life_;
};

}  // namespace vuko

#include "web/MainPage.h"

#include <algorithm>
#include <iterator>

#include "server/Settings.h"
#include "web/NavigationPolicy.h"
#include "web/OfflinePage.h"

namespace vuko {

MainPage::MainPage(WebView& view, Probe probe, std::string timedOutMessage)
    : view_(view), probe_(std::move(probe)), timedOutMessage_(std::move(timedOutMessage)) {}

void MainPage::open(const std::string& path) {
  offline_ = false;
  retryTimer_.cancel();
  openRoutine(Settings::server(), path).detach();
}

Task<> MainPage::openRoutine(Url server, std::string path) {
  auto alive = life_.guard();
  ++probing_;
  auto message = co_await probe_(server);
  if (!alive) co_return;
  --probing_;
  // The user may have switched servers while the probe ran: its result
  // belongs to the old server and must not replace the new server's page.
  if (!(server == Settings::server())) co_return;
  if (message) {
    showOffline(*message);
  } else {
    retries_ = 0;
    load(path);
  }
}

void MainPage::load(const std::string& path) {
  offline_ = false;
  retryTimer_.cancel();
  view_.loadUrl(Settings::url(path));
}

void MainPage::go(const std::string& path) {
  if (offline_ || !Navigation::isServerHost(view_.currentUrl())) {
    load(path);
    return;
  }
  // The path is quoted as a script string, so no path can break the script.
  std::string script =
      "window.vukoGo ? (window.vukoGo(" +
      nlohmann::json(path).dump(-1, ' ', true, nlohmann::json::error_handler_t::replace) +
      "), true) : false";
  route(std::move(script), path).detach();
}

Task<> MainPage::route(std::string script, std::string path) {
  auto alive = life_.guard();
  auto routed = co_await view_.evaluate(script);
  if (!alive) co_return;
  if (routed && routed->is_boolean() && routed->get<bool>()) co_return;
  load(path);
}

void MainPage::reload() {
  if (offline_)
    retry();
  else
    view_.reload();
}

void MainPage::retry() {
  // The running probe's answer is the retry's answer.
  if (probing_ > 0) return;
  open("/today");
}

void MainPage::showOffline(const std::string& message) {
  offline_ = true;
  offlineMessage_ = message;
  loadTimer_.cancel();
  scheduleRetry();
}

void MainPage::scheduleRetry() {
  std::optional<int> in;
  retryTimer_.cancel();
  if (visible_) {
    auto delay = kRetryDelays[std::min(retries_, std::size(kRetryDelays) - 1)];
    in = int(delay.count());
    retryTimer_ = Clock::main().schedule(delay, [this] {
      ++retries_;
      retry();
    });
  }
  view_.loadHtml(offlinePage(offlineMessage_, Settings::server().str(), in));
}

void MainPage::setVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (!visible) {
    // The countdown on the hidden page runs out unseen; showing it retries.
    retryTimer_.cancel();
  } else if (offline_) {
    retry();
  }
}

void MainPage::networkChanged(bool available) {
  if (available && offline_ && visible_) retry();
}

void MainPage::loadStarted() {
  // A load that has not had its first answer within the limit fails like a
  // timed-out request does.
  loadTimer_ = Clock::main().schedule(kLoadTimeout, [this] {
    view_.stop();
    showOffline(timedOutMessage_);
  });
}

void MainPage::loadCommitted() {
  loadTimer_.cancel();
}

bool MainPage::loadFinished() {
  loadTimer_.cancel();
  return !offline_ && Navigation::isSignInPage(view_.currentUrl(), offline_);
}

void MainPage::loadFailed(bool beforeFirstAnswer, const std::optional<Url>& failing,
                          Failure failure, const std::string& message) {
  loadTimer_.cancel();
  // A foreign page handed to the default handler as its load started may
  // fail before the stop takes effect; it is no reason for the offline page.
  if (failing && Navigation::decideAction(failing, false, Navigation::Frame::main).openExternally)
    return;
  // Failures after the first answer leave the page as far as it came.
  if (!beforeFirstAnswer) return;
  // A navigation answered with "download" or "cancel" ends as a failure too;
  // the user asked for it.
  if (failure != Failure::other) return;
  showOffline(message);
}

}  // namespace vuko

// The user's answers to a reminder: done, snooze, open.
#include "reminders/Reminders.h"

namespace vuko {

namespace {
constexpr int tokenTries = 20;
constexpr auto tokenWait = std::chrono::milliseconds(500);
constexpr auto snoozeFor = std::chrono::seconds(600);
}  // namespace

void Reminders::handle(const NotificationResponse& response) {
  std::string action = response.actionId == NotificationResponse::defaultAction
                           ? std::string("open")
                           : response.actionId;
  const auto& info = response.request.content.userInfo;
  auto text = [&](const char* k, std::string fallback) {
    if (!info.is_object()) return fallback;
    auto it = info.find(k);
    return it != info.end() && it->is_string() ? it->get<std::string>() : fallback;
  };
  std::optional<long long> task;
  if (info.is_object())
    if (auto it = info.find("task"); it != info.end() && it->is_number_integer())
      task = it->get<long long>();
  handle(action, text("rid", ""), task, text("title", ""), text("body", ""), text("kind", "task"),
         response.activationToken);
}

void Reminders::handle(const std::string& action, const std::string& rid,
                       std::optional<long long> taskId, const std::string& title,
                       const std::string& body, const std::string& kind,
                       const std::string& activationToken) {
  if (taskId && *taskId < 1) taskId.reset();
  if (action == doneAction) {
    if (!taskId) return;
    // An answer to what was shown before a sign-out completes nothing for
    // whoever signs in next: the page shows the task (or the sign-in) instead.
    if (signedOut_) {
      if (onOpen) onOpen("/today?task=" + std::to_string(*taskId), activationToken);
      return;
    }
    done(*taskId).detach();
    return;
  }
  if (action == snoozeAction) {
    if (signedOut_) return;
    snooze(Item{rid, taskId, kind, title, body, wall_.now() + snoozeFor});
    return;
  }
  if (onOpen) onOpen(taskId ? "/today?task=" + std::to_string(*taskId) : "/today", activationToken);
}

void Reminders::snooze(const Item& item) {
  auto secs =
      std::chrono::duration_cast<std::chrono::seconds>(wall_.now().time_since_epoch()).count();
  std::string key = "snooze-" + item.id + "-" + std::to_string(secs);
  if (mode_ == Mode::system) {
    center_.add({key, content(item), NotificationTrigger::after(snoozeFor)});
    return;
  }
  auto alive = life_.guard();
  TimerEntry e;
  e.at = item.at;
  e.timer = wall_.at(item.at, [this, alive, item, key] {
    if (!alive) return;
    if (auto it = timers_.find(key); it != timers_.end()) it->second.fired = true;
    showBanner(item);
    updateActivity();
  });
  timers_[key] = std::move(e);
  updateActivity();
}

Task<> Reminders::done(long long taskId) {
  auto alive = life_.guard();
  // A sign-out while the token is awaited ends the answer with the account.
  auto account = account_;
  auto gone = [&] { return !alive || account != account_; };
  std::optional<std::string> token;
  for (int i = 0; i < tokenTries; ++i) {
    auto provided = co_await api_.token();
    if (gone()) co_return;
    token = provided ? provided : lastToken_;
    if (token && !token->empty()) break;
    token.reset();
    if (i + 1 < tokenTries) {
      co_await clock_.sleep(tokenWait);
      if (gone()) co_return;
    }
  }
  auto id = std::to_string(taskId);
  if (!token) {
    if (onOpen) onOpen("/today?task=" + id, {});
    co_return;
  }
  int status = co_await api_.complete(*token, taskId, alive);
  if (gone()) co_return;
  if (status == 200) {
    if (onChanged) onChanged();
    soon(1);
  }
}

}  // namespace vuko

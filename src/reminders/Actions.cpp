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
  Item item{text("rid", ""),   std::nullopt,     text("kind", "task"),
            text("title", ""), text("body", ""), {}};
  if (info.is_object())
    if (auto it = info.find("task"); it != info.end() && it->is_number_integer())
      item.taskId = it->get<long long>();
  handle(ReminderAnswer{action, std::move(item), response.activationToken});
}

void Reminders::handle(const ReminderAnswer& answer) {
  const auto& action = answer.action;
  const auto& activationToken = answer.activationToken;
  auto taskId = answer.item.taskId;
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
    Item item = answer.item;
    item.taskId = taskId;
    item.at = wall_.now() + snoozeFor;
    snooze(item);
    return;
  }
  if (onOpen) onOpen(taskId ? "/today?task=" + std::to_string(*taskId) : "/today", activationToken);
}

void Reminders::snooze(const Item& item) {
  auto secs =
      std::chrono::duration_cast<std::chrono::seconds>(wall_.now().time_since_epoch()).count();
  std::string key = "snooze-" + item.id + "-" + std::to_string(secs);
  active().add({key, content(item), NotificationTrigger::after(snoozeFor)});
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

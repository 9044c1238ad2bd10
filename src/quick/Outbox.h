// Lines typed into the quick panel while the server could not be reached,
// kept on disk per server and account and sent, in order, once the server
// answers again. Each entry is marked before it is sent and removed once the
// server confirms it; an entry still marked at the next run may have reached
// the server without the answer coming back, and is sent again (a rare
// duplicate is preferred to a lost task).
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Task.h"
#include "server/TaskApi.h"

namespace vuko {

// Where the outbox keeps its document between runs.
class OutboxStore {
 public:
  virtual ~OutboxStore() = default;
  // None when nothing was kept yet (or it cannot be read).
  virtual std::optional<std::string> load() = 0;
  virtual void save(const std::string& document) = 0;
};

class Outbox {
 public:
  static constexpr const char* kUnreachable =
      "Нет связи с сервером — задача сохранится и уйдёт, когда связь вернётся";

  struct Entry {
    std::string server;
    // The account id the server gave; empty when no account was known yet
    // (the next account seen on that server takes it).
    std::string account;
    std::string text;
    // Sent at least once without a confirmation.
    bool sending = false;
  };

  // While lines wait, the token is looked for this often: it comes back
  // when the main page reaches the server again.
  static constexpr Clock::Duration kRetry = std::chrono::seconds(10);

  // server: the address of the server in use.
  Outbox(TaskApi& api, OutboxStore& store, std::function<std::string()> server,
         Clock& clock = Clock::main());
  Outbox(const Outbox&) = delete;
  Outbox& operator=(const Outbox&) = delete;

  // Whether someone was signed in on the server in use before.
  bool knowsAccount() const;
  // Keeps a line for the server in use and its last account.
  void keep(const std::string& text);
  // The entries waiting for the server in use and its last account.
  std::size_t waiting() const;
  // The status menu's line, none when nothing waits.
  std::optional<std::string> menuLine() const;
  const std::vector<Entry>& entries() const { return entries_; }

  // The server answered with this token: learns its account (once per
  // token) and sends what waits for it, in order. One run at a time.
  Task<> send(std::string token);

  // After every change of what waits.
  std::function<void()> onChanged;
  // After at least one entry became a task.
  std::function<void()> onSent;
  // The server refused a line for good: it leaves the outbox, so its text
  // must reach the user here.
  std::function<void(const std::string& text, const std::string& reason)> onRefused;

 private:
  Task<std::optional<std::string>> accountOf(const std::string& token);
  void watch();
  Task<> retry();
  void load();
  void save();
  bool forCurrent(const Entry& e, const std::string& account) const;

  TaskApi& api_;
  OutboxStore& store_;
  std::function<std::string()> server_;
  std::vector<Entry> entries_;
  // The last account seen on each server.
  std::map<std::string, std::string> accounts_;
  std::map<std::string, std::string> tokenAccounts_;
  bool running_ = false;
  Clock& clock_;
  Timer retry_;
  Lifetime life_;
};

}  // namespace vuko

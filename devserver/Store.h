// SQLite storage of accounts, tokens, tasks, settings and shown reminders.
// Every change that touches more than one row runs inside a Transaction.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "devserver/Task.h"

struct sqlite3;

namespace vuko::dev {

struct StoreError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Store {
 public:
  // ":memory:" for a private in-memory database. Throws StoreError.
  explicit Store(const std::string& path);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  std::optional<User> userByEmail(const std::string& email);
  std::optional<User> user(std::int64_t id);
  std::int64_t addUser(const User& user);
  // Replaces the hash and drops the legacy salt.
  void setPasswordHash(std::int64_t userId, const std::string& hash);

  void addToken(const std::string& token, std::int64_t userId, std::int64_t now);
  std::optional<std::int64_t> tokenUser(const std::string& token);
  void dropToken(const std::string& token);

  std::vector<Task> tasks(std::int64_t userId);
  std::optional<Task> task(std::int64_t userId, std::int64_t id);
  std::int64_t insertTask(const Task& task);
  void updateTask(const Task& task);
  bool deleteTask(std::int64_t userId, std::int64_t id);
  void deleteSeeded(std::int64_t userId);

  // The user's settings as JSON text; empty when never saved.
  std::string settings(std::int64_t userId);
  void saveSettings(std::int64_t userId, const std::string& json);

  std::set<std::string> shownReminders(std::int64_t userId);
  void markShown(std::int64_t userId, const std::string& reminderId, std::int64_t taskId,
                 std::int64_t now);
  void forgetShown(std::int64_t userId, std::int64_t taskId);

  class Transaction {
   public:
    explicit Transaction(Store& store);
    ~Transaction();  // rolls back unless committed
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

   private:
    Store& store_;
    bool done_ = false;
  };

 private:
  friend class Statement;
  void exec(const char* sql);
  sqlite3* db_ = nullptr;
};

}  // namespace vuko::dev

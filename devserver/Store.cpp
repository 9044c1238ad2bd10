#include "devserver/Store.h"

#include <sqlite3.h>

#include <nlohmann/json.hpp>

namespace vuko::dev {

namespace {

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS users (
  id INTEGER PRIMARY KEY,
  email TEXT NOT NULL UNIQUE,
  name TEXT NOT NULL,
  salt TEXT NOT NULL,
  password_hash TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS tokens (
  token TEXT PRIMARY KEY,
  user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,
  created_at INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS tasks (
  id INTEGER PRIMARY KEY,
  user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,
  title TEXT NOT NULL,
  description TEXT NOT NULL DEFAULT '',
  start_date TEXT,
  due_date TEXT,
  due_time INTEGER,
  priority INTEGER NOT NULL DEFAULT 0,
  tags TEXT NOT NULL DEFAULT '[]',
  repeat TEXT,
  completed_at INTEGER,
  created_at INTEGER NOT NULL,
  updated_at INTEGER NOT NULL,
  attachment TEXT NOT NULL DEFAULT '',
  seeded INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS tasks_user ON tasks(user_id);
CREATE TABLE IF NOT EXISTS settings (
  user_id INTEGER PRIMARY KEY REFERENCES users(id) ON DELETE CASCADE,
  json TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS shown_reminders (
  user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,
  reminder_id TEXT NOT NULL,
  task_id INTEGER NOT NULL,
  shown_at INTEGER NOT NULL,
  PRIMARY KEY (user_id, reminder_id)
);
)sql";

}  // namespace

// One prepared statement; errors become StoreError.
class Statement {
 public:
  Statement(Store& store, const char* sql) : db_(store.db_) {
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt_, nullptr) != SQLITE_OK)
      throw StoreError(sqlite3_errmsg(db_));
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int i, std::int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Statement& bind(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  template <class T>
  Statement& bind(int i, const std::optional<T>& v) {
    if (v) return bind(i, *v);
    sqlite3_bind_null(stmt_, i);
    return *this;
  }

  // True while a row is available.
  bool step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw StoreError(sqlite3_errmsg(db_));
  }
  std::int64_t integer(int col) { return sqlite3_column_int64(stmt_, col); }
  std::string text(int col) {
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, col))) : "";
  }
  bool null(int col) { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
  std::int64_t lastId() { return sqlite3_last_insert_rowid(db_); }
  int changes() { return sqlite3_changes(db_); }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

Store::Store(const std::string& path) {
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
    std::string msg = db_ ? sqlite3_errmsg(db_) : "cannot open database";
    sqlite3_close(db_);
    db_ = nullptr;
    throw StoreError(msg);
  }
  try {
    exec("PRAGMA foreign_keys = ON");
    exec("PRAGMA journal_mode = WAL");
    exec(kSchema);
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

Store::~Store() {
  sqlite3_close(db_);
}

void Store::exec(const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "sqlite error";
    sqlite3_free(err);
    throw StoreError(msg);
  }
}

namespace {

User readUser(Statement& s) {
  return {s.integer(0), s.text(1), s.text(2), s.text(3), s.text(4)};
}

const char* const kTaskColumns =
    "SELECT id, user_id, title, description, start_date, due_date, due_time, priority, tags, "
    "repeat, completed_at, created_at, updated_at, attachment, seeded FROM tasks ";

Task readTask(Statement& s) {
  Task t;
  t.id = s.integer(0);
  t.userId = s.integer(1);
  t.title = s.text(2);
  t.description = s.text(3);
  if (!s.null(4)) t.startDate = Date::parse(s.text(4));
  if (!s.null(5)) t.dueDate = Date::parse(s.text(5));
  if (!s.null(6)) t.dueTime = static_cast<int>(s.integer(6));
  t.priority = static_cast<int>(s.integer(7));
  auto tags = nlohmann::json::parse(s.text(8), nullptr, false);
  if (tags.is_array())
    for (auto& tag : tags)
      if (tag.is_string()) t.tags.push_back(tag.get<std::string>());
  if (!s.null(9)) t.repeat = s.text(9);
  if (!s.null(10)) t.completedAt = s.integer(10);
  t.createdAt = s.integer(11);
  t.updatedAt = s.integer(12);
  t.attachment = s.text(13);
  t.seeded = s.integer(14) != 0;
  return t;
}

std::optional<std::string> isoOf(const std::optional<Date>& d) {
  if (!d) return std::nullopt;
  return d->iso();
}

std::optional<std::int64_t> wide(const std::optional<int>& v) {
  if (!v) return std::nullopt;
  return *v;
}

// Binds the task's columns from index 1 in the order of the INSERT below.
void bindTask(Statement& s, const Task& t) {
  s.bind(1, t.userId)
      .bind(2, t.title)
      .bind(3, t.description)
      .bind(4, isoOf(t.startDate))
      .bind(5, isoOf(t.dueDate))
      .bind(6, wide(t.dueTime))
      .bind(7, std::int64_t{t.priority})
      .bind(8, nlohmann::json(t.tags).dump())
      .bind(9, t.repeat)
      .bind(10, t.completedAt)
      .bind(11, t.createdAt)
      .bind(12, t.updatedAt)
      .bind(13, t.attachment)
      .bind(14, std::int64_t{t.seeded ? 1 : 0});
}

}  // namespace

std::optional<User> Store::userByEmail(const std::string& email) {
  Statement s(*this, "SELECT id, email, name, salt, password_hash FROM users WHERE email = ?");
  s.bind(1, email);
  if (!s.step()) return std::nullopt;
  return readUser(s);
}

std::optional<User> Store::user(std::int64_t id) {
  Statement s(*this, "SELECT id, email, name, salt, password_hash FROM users WHERE id = ?");
  s.bind(1, id);
  if (!s.step()) return std::nullopt;
  return readUser(s);
}

std::int64_t Store::addUser(const User& u) {
  Statement s(*this, "INSERT INTO users (email, name, salt, password_hash) VALUES (?, ?, ?, ?)");
  s.bind(1, u.email).bind(2, u.name).bind(3, u.salt).bind(4, u.passwordHash);
  s.step();
  return s.lastId();
}

void Store::setPasswordHash(std::int64_t userId, const std::string& hash) {
  Statement s(*this, "UPDATE users SET password_hash = ?, salt = '' WHERE id = ?");
  s.bind(1, hash).bind(2, userId);
  s.step();
}

void Store::addToken(const std::string& token, std::int64_t userId, std::int64_t now) {
  Statement s(*this, "INSERT INTO tokens (token, user_id, created_at) VALUES (?, ?, ?)");
  s.bind(1, token).bind(2, userId).bind(3, now);
  s.step();
}

std::optional<std::int64_t> Store::tokenUser(const std::string& token) {
  Statement s(*this, "SELECT user_id FROM tokens WHERE token = ?");
  s.bind(1, token);
  if (!s.step()) return std::nullopt;
  return s.integer(0);
}

void Store::dropToken(const std::string& token) {
  Statement s(*this, "DELETE FROM tokens WHERE token = ?");
  s.bind(1, token);
  s.step();
}

std::vector<Task> Store::tasks(std::int64_t userId) {
  Statement s(*this, (std::string(kTaskColumns) + "WHERE user_id = ? ORDER BY id").c_str());
  s.bind(1, userId);
  std::vector<Task> out;
  while (s.step()) out.push_back(readTask(s));
  return out;
}

std::optional<Task> Store::task(std::int64_t userId, std::int64_t id) {
  Statement s(*this, (std::string(kTaskColumns) + "WHERE user_id = ? AND id = ?").c_str());
  s.bind(1, userId).bind(2, id);
  if (!s.step()) return std::nullopt;
  return readTask(s);
}

std::int64_t Store::insertTask(const Task& t) {
  Statement s(*this,
              "INSERT INTO tasks (user_id, title, description, start_date, due_date, due_time, "
              "priority, tags, repeat, completed_at, created_at, updated_at, attachment, seeded) "
              "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  bindTask(s, t);
  s.step();
  return s.lastId();
}

void Store::updateTask(const Task& t) {
  Statement s(*this,
              "UPDATE tasks SET user_id = ?, title = ?, description = ?, start_date = ?, "
              "due_date = ?, due_time = ?, priority = ?, tags = ?, repeat = ?, completed_at = ?, "
              "created_at = ?, updated_at = ?, attachment = ?, seeded = ? "
              "WHERE id = ? AND user_id = ?");
  bindTask(s, t);
  s.bind(15, t.id).bind(16, t.userId);
  s.step();
}

bool Store::deleteTask(std::int64_t userId, std::int64_t id) {
  Statement s(*this, "DELETE FROM tasks WHERE user_id = ? AND id = ?");
  s.bind(1, userId).bind(2, id);
  s.step();
  return s.changes() > 0;
}

void Store::deleteSeeded(std::int64_t userId) {
  Statement s(*this,
              "DELETE FROM shown_reminders WHERE user_id = ?1 AND task_id IN "
              "(SELECT id FROM tasks WHERE user_id = ?1 AND seeded = 1)");
  s.bind(1, userId);
  s.step();
  Statement d(*this, "DELETE FROM tasks WHERE user_id = ? AND seeded = 1");
  d.bind(1, userId);
  d.step();
}

std::string Store::settings(std::int64_t userId) {
  Statement s(*this, "SELECT json FROM settings WHERE user_id = ?");
  s.bind(1, userId);
  return s.step() ? s.text(0) : std::string();
}

void Store::saveSettings(std::int64_t userId, const std::string& json) {
  Statement s(*this,
              "INSERT INTO settings (user_id, json) VALUES (?, ?) "
              "ON CONFLICT(user_id) DO UPDATE SET json = excluded.json");
  s.bind(1, userId).bind(2, json);
  s.step();
}

std::set<std::string> Store::shownReminders(std::int64_t userId) {
  Statement s(*this, "SELECT reminder_id FROM shown_reminders WHERE user_id = ?");
  s.bind(1, userId);
  std::set<std::string> out;
  while (s.step()) out.insert(s.text(0));
  return out;
}

void Store::markShown(std::int64_t userId, const std::string& reminderId, std::int64_t taskId,
                      std::int64_t now) {
  Statement s(*this,
              "INSERT OR IGNORE INTO shown_reminders (user_id, reminder_id, task_id, shown_at) "
              "VALUES (?, ?, ?, ?)");
  s.bind(1, userId).bind(2, reminderId).bind(3, taskId).bind(4, now);
  s.step();
}

void Store::forgetShown(std::int64_t userId, std::int64_t taskId) {
  Statement s(*this, "DELETE FROM shown_reminders WHERE user_id = ? AND task_id = ?");
  s.bind(1, userId).bind(2, taskId);
  s.step();
}

Store::Transaction::Transaction(Store& store) : store_(store) {
  store_.exec("BEGIN IMMEDIATE");
}

Store::Transaction::~Transaction() {
  if (done_) return;
  try {
    store_.exec("ROLLBACK");
  } catch (const StoreError&) {
    // Nothing more can be done; SQLite has already rolled back on most errors.
  }
}

void Store::Transaction::commit() {
  store_.exec("COMMIT");
  done_ = true;
}

}  // namespace vuko::dev

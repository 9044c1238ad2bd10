// vuko-devserver killed with SIGKILL while clients write: the database stays
// sound and keeps every write that was answered with a 2xx.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <map>
#include <thread>

#include <nlohmann/json.hpp>

#include "Fault.h"

namespace vuko::fault {
namespace {

using nlohmann::json;

std::vector<std::string> column(const std::string& db, const std::string& sql) {
  sqlite3* h = nullptr;
  std::vector<std::string> out;
  if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
      while (sqlite3_step(st) == SQLITE_ROW) {
        auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        out.emplace_back(t ? t : "");
      }
    sqlite3_finalize(st);
  }
  sqlite3_close(h);
  return out;
}

TEST(Fault, KilledDevServerKeepsEveryAcknowledgedWrite) {
  TempDir dir;
  const std::string db = (dir.path / "tasks.db").string();
  const int kills = std::max(3, killCount(10) / 2);
  std::string token;
  std::map<long, std::string> acknowledged;  // task id → title
  std::map<long, std::string> unanswered;    // task id → title of a PATCH cut off
  long attempts = 0, answered = 0;
  for (int round = 0; round < kills; ++round) {
    DevServerProcess server(db);
    if (token.empty()) {
      auto r = http(server.port(), "POST", "/api/auth/register",
                    json({{"email", "fault@vuko.local"}, {"password", "secret"}}).dump());
      ASSERT_EQ(r.status, 201) << r.body;
      token = json::parse(r.body)["token"];
    }
    // The kill comes at a random moment while writes are in flight.
    std::thread killer([&server, pid = server.pid()] {
      std::this_thread::sleep_for(std::chrono::milliseconds(randomBetween(100, 400)));
      ::kill(pid, SIGKILL);
    });
    for (int i = 0;; ++i) {
      ++attempts;
      std::string title = "r" + std::to_string(round) + "-" + std::to_string(i);
      auto r =
          http(server.port(), "POST", "/api/tasks",
               json({{"title", title}, {"tags", {"сбой"}}, {"description", title}}).dump(), token);
      if (r.status == 0) break;  // the server is gone
      ASSERT_EQ(r.status, 201) << r.body;
      ++answered;
      long id = json::parse(r.body)["id"];
      acknowledged[id] = title;
      if (i % 3 == 0) {
        auto done = http(server.port(), "PATCH", "/api/tasks/" + std::to_string(id),
                         json({{"title", title + " ✓"}}).dump(), token);
        if (done.status == 0) {
          // Killed after the change and before its answer: either title is right.
          unanswered[id] = title + " ✓";
          break;
        }
        ASSERT_EQ(done.status, 200) << done.body;
        acknowledged[id] = title + " ✓";
      }
    }
    killer.join();
    server.kill9();
    ASSERT_EQ(column(db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"})
        << "after kill " << round + 1;
  }
  // A fresh server reads the same database and serves every acknowledged task.
  DevServerProcess server(db);
  auto list = http(server.port(), "GET", "/api/tasks?view=all", {}, token);
  ASSERT_EQ(list.status, 200);
  std::map<long, std::string> served;
  json all = json::parse(list.body);
  for (const auto& t : all["items"]) served[t["id"].get<long>()] = t["title"].get<std::string>();
  long lost = 0;
  for (const auto& [id, title] : acknowledged) {
    bool kept = served.count(id) &&
                (served[id] == title || (unanswered.count(id) && served[id] == unanswered[id]));
    EXPECT_TRUE(kept) << "task " << id << " \"" << title << "\" is "
                      << (served.count(id) ? "\"" + served[id] + "\"" : "missing");
    lost += !kept;
  }
  std::printf(
      "devserver: %d kills, %ld requests, %ld answered 2xx, %zu tasks acknowledged, %ld lost, "
      "integrity ok\n",
      kills, attempts, answered, acknowledged.size(), lost);
  EXPECT_EQ(lost, 0);
  EXPECT_GT(acknowledged.size(), static_cast<size_t>(kills)) << "writes happened between kills";
}

}  // namespace
}  // namespace vuko::fault

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

// What SQLite's own check says of the file: "ok" when it is sound.
std::string integrity(const std::string& db) {
  sqlite3* h = nullptr;
  std::string out;
  sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_exec(
      h, "PRAGMA integrity_check",
      [](void* o, int, char** row, char**) {
        *static_cast<std::string*>(o) += row[0] ? row[0] : "";
        return 0;
      },
      &out, nullptr);
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
      std::string title = "r" + std::to_string(round) + "-" + std::to_string(i);
      auto r =
          http(server.port(), "POST", "/api/tasks",
               json({{"title", title}, {"tags", {"сбой"}}, {"description", title}}).dump(), token);
      if (r.status == 0) break;  // the server is gone
      ASSERT_EQ(r.status, 201) << r.body;
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
    ASSERT_EQ(integrity(db), "ok") << "after kill " << round + 1;
  }
  // A fresh server reads the same database and serves every acknowledged task.
  DevServerProcess server(db);
  auto list = http(server.port(), "GET", "/api/tasks?view=all", {}, token);
  ASSERT_EQ(list.status, 200);
  std::map<long, std::string> served;
  json all = json::parse(list.body);
  for (const auto& t : all["items"]) served[t["id"].get<long>()] = t["title"].get<std::string>();
  std::printf("devserver: %d kills, %zu tasks acknowledged, integrity ok\n", kills,
              acknowledged.size());
  for (const auto& [id, title] : acknowledged) {
    auto it = served.find(id);
    EXPECT_TRUE(it != served.end() && (it->second == title || it->second == unanswered[id]))
        << "task " << id << " \"" << title << "\" is "
        << (it == served.end() ? "missing" : it->second);
  }
  EXPECT_GT(acknowledged.size(), static_cast<size_t>(kills)) << "writes happened between kills";
}

}  // namespace
}  // namespace vuko::fault

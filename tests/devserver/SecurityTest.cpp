// Stored secrets, oversized bodies and hostile text against the stand-in server.
#include <arpa/inet.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "Harness.h"

namespace vuko::dev::test {
namespace {

using nlohmann::json;

// A scratch SQLite file removed at the end.
struct TempDb {
  std::filesystem::path dir;
  std::string path;
  TempDb() {
    gchar* d = g_dir_make_tmp("vuko-sec-XXXXXX", nullptr);
    dir = d;
    g_free(d);
    path = (dir / "tasks.db").string();
  }
  ~TempDb() { std::filesystem::remove_all(dir); }

  // Runs one statement and returns the first column of every row.
  std::vector<std::string> column(const std::string& sql) const {
    sqlite3* db = nullptr;
    std::vector<std::string> out;
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW) {
          auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
          out.emplace_back(t ? t : "");
        }
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
  }
  void exec(const std::string& sql) const {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
  }
};

// Sends `head` then `body` on a plain socket from a thread of its own (the
// server answers on this thread's main context) and returns what came back
// before the server closed or 20 s passed. The body is sent in pieces; when
// the server stops reading, sending stops.
std::string rawExchange(int port, const std::string& head, const std::string& body) {
  std::string answer;
  std::atomic<bool> done{false};
  std::thread client([&] {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{20, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
      std::string all = head + body;
      for (size_t at = 0; at < all.size();) {
        ssize_t n =
            send(fd, all.data() + at, std::min<size_t>(65536, all.size() - at), MSG_NOSIGNAL);
        if (n <= 0) break;
        at += static_cast<size_t>(n);
      }
      char buf[4096];
      for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) answer.append(buf, size_t(n));
    }
    close(fd);
    done = true;
    g_main_context_wakeup(nullptr);
  });
  while (!done) g_main_context_iteration(nullptr, TRUE);
  client.join();
  return answer;
}

std::string chunked(const std::string& data, size_t piece) {
  std::string out;
  char size[32];
  for (size_t at = 0; at < data.size(); at += piece) {
    std::string part = data.substr(at, piece);
    snprintf(size, sizeof size, "%zx\r\n", part.size());
    out += size + part + "\r\n";
  }
  return out;
}

std::string postHead(const Harness& h, const std::string& framing) {
  return "POST /api/tasks HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + h.token +
         "\r\nContent-Type: application/json\r\n" + framing + "\r\n";
}

int statusOf(const std::string& answer) {
  std::smatch m;
  return std::regex_search(answer, m, std::regex("^HTTP/1\\.1 (\\d{3})")) ? std::stoi(m[1]) : 0;
}

size_t openDescriptors() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                           std::filesystem::directory_iterator()));
}

// Clients that keep their connection after an answer and drop it later must
// not leave the server holding it (it did, in CLOSE_WAIT, for good).
TEST(Security, DroppedKeptAliveConnectionsLeaveNoDescriptor) {
  Harness h;
  size_t before = openDescriptors();
  std::atomic<int> answered{0};
  std::atomic<bool> done{false};
  std::thread clients([&] {
    for (int i = 0; i < 30; ++i) {
      int fd = socket(AF_INET, SOCK_STREAM, 0);
      timeval limit{20, 0};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
      sockaddr_in addr{};
      addr.sin_family = AF_INET;
      addr.sin_port = htons(static_cast<uint16_t>(h.server.port()));
      addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        std::string request = "GET /api/health HTTP/1.1\r\nHost: x\r\n\r\n", answer;
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char buf[4096];
        ssize_t n = 0;
        while (answer.find("\"ok\"") == std::string::npos && (n = recv(fd, buf, sizeof buf, 0)) > 0)
          answer.append(buf, static_cast<size_t>(n));
        answered += statusOf(answer) == 200;
      }
      close(fd);
    }
    done = true;
    g_main_context_wakeup(nullptr);
  });
  while (!done) g_main_context_iteration(nullptr, TRUE);
  clients.join();
  EXPECT_EQ(answered, 30);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (openDescriptors() > before && std::chrono::steady_clock::now() < deadline)
    g_main_context_iteration(nullptr, FALSE);
  EXPECT_LE(openDescriptors(), before);
}

TEST(Security, PasswordsAreStoredAsArgon2idHashes) {
  TempDb db;
  Harness h(kWednesdayNoonMoscow, db.path);
  ASSERT_EQ(
      h.call("POST", "/api/auth/register", {{"email", "other@vuko.local"}, {"password", "secret"}})
          .status,
      201);
  auto hashes = db.column("SELECT password_hash FROM users ORDER BY id");
  ASSERT_EQ(hashes.size(), 2u);
  for (const auto& hash : hashes) {
    EXPECT_EQ(hash.rfind("$argon2id$", 0), 0u) << hash;
    EXPECT_EQ(hash.find("secret"), std::string::npos);
  }
  EXPECT_EQ(
      h.call("POST", "/api/auth/login", {{"email", "other@vuko.local"}, {"password", "secret"}})
          .status,
      200);
  EXPECT_EQ(
      h.call("POST", "/api/auth/login", {{"email", "other@vuko.local"}, {"password", "Secret"}})
          .status,
      401);
}

TEST(Security, AnAccountWithAnOldHashSignsInAndIsRehashed) {
  TempDb db;
  Harness h(kWednesdayNoonMoscow, db.path);
  gchar* old = g_compute_hmac_for_string(G_CHECKSUM_SHA256,
                                         reinterpret_cast<const guchar*>("salt1"), 5, "old-pw", -1);
  db.exec(std::string("INSERT INTO users (email, name, salt, password_hash) VALUES "
                      "('old@vuko.local', 'Old', 'salt1', '") +
          old + "')");
  g_free(old);
  EXPECT_EQ(
      h.call("POST", "/api/auth/login", {{"email", "old@vuko.local"}, {"password", "x"}}).status,
      401);
  EXPECT_EQ(h.call("POST", "/api/auth/login", {{"email", "old@vuko.local"}, {"password", "old-pw"}})
                .status,
            200);
  auto hash = db.column("SELECT password_hash FROM users WHERE email = 'old@vuko.local'");
  ASSERT_EQ(hash.size(), 1u);
  EXPECT_EQ(hash[0].rfind("$argon2id$", 0), 0u) << hash[0];
  EXPECT_EQ(db.column("SELECT salt FROM users WHERE email = 'old@vuko.local'"),
            std::vector<std::string>{""});
  EXPECT_EQ(h.call("POST", "/api/auth/login", {{"email", "old@vuko.local"}, {"password", "old-pw"}})
                .status,
            200);
}

TEST(Security, EachSignInGetsATokenOfItsOwn) {
  Harness h;
  auto login = [&] {
    auto r =
        h.call("POST", "/api/auth/login", {{"email", "tester@vuko.local"}, {"password", "secret"}});
    EXPECT_EQ(r.status, 200);
    return r.json.value("token", std::string());
  };
  std::string first = login();
  EXPECT_TRUE(std::regex_match(first, std::regex("[0-9a-f]{64}"))) << first;
  EXPECT_NE(login(), first);
}

// The body never comes: the answer must not wait for it.
TEST(Security, AnAnnouncedOversizedBodyIsRefusedBeforeItIsSent) {
  Harness h;
  auto answer = rawExchange(h.server.port(), postHead(h, "Content-Length: 104857600\r\n"), "{");
  EXPECT_EQ(statusOf(answer), 413) << answer;
  EXPECT_NE(answer.find("\"detail\""), std::string::npos) << answer;
  EXPECT_EQ(h.api("GET", "/api/tasks").json["count"], 0);
}

// Over 1 MiB of chunks without the closing one: the server answers anyway.
TEST(Security, AChunkedBodyIsRefusedOnceItPassesTheLimit) {
  Harness h;
  std::string title(1536 * 1024, 'x');
  std::string body = chunked("{\"title\": \"" + title + "\"}", 16384);
  auto answer = rawExchange(h.server.port(), postHead(h, "Transfer-Encoding: chunked\r\n"), body);
  EXPECT_EQ(statusOf(answer), 413) << answer.substr(0, 200);
  EXPECT_EQ(h.api("GET", "/api/tasks").json["count"], 0);
  EXPECT_EQ(h.api("GET", "/api/health").status, 200) << "the server still answers";
}

TEST(Security, AChunkedBodyUnderTheLimitIsServed) {
  Harness h;
  std::string body =
      chunked(json({{"title", "Большая"}, {"description", std::string(19000, 'y')}}).dump(), 700) +
      "0\r\n\r\n";
  auto answer = rawExchange(
      h.server.port(), postHead(h, "Transfer-Encoding: chunked\r\nConnection: close\r\n"), body);
  EXPECT_EQ(statusOf(answer), 201) << answer.substr(0, 200);
  auto tasks = h.api("GET", "/api/tasks");
  ASSERT_EQ(tasks.json["count"], 1);
  EXPECT_EQ(tasks.json["items"][0]["description"].get<std::string>().size(), 19000u);
}

const char* const kHostile[] = {
    "'; DROP TABLE tasks; --",
    "Robert'); DELETE FROM users; --",
    "1' OR '1'='1",
    "\" OR \"\"=\"",
    "x' UNION SELECT password_hash, salt FROM users --",
    "%_%' ESCAPE '\\",
    "?1 ?2 :name @p $q",
    "a\0b' --",
    "'); UPDATE tasks SET title = 'pwned'; --",
};

std::string hostile(size_t i) {
  const char* s = kHostile[i];
  // The one with a NUL inside it keeps it.
  return i == 7 ? std::string(s, 7) : std::string(s);
}

// Every text member, query and path part with strings that would change the
// statement if they were pasted into it: what is stored comes back as sent,
// and nothing else changes.
TEST(Security, HostileTextInEveryMemberIsStoredVerbatimOrRefused) {
  TempDb db;
  Harness h(kWednesdayNoonMoscow, db.path);
  auto kept = h.api("POST", "/api/tasks", {{"title", "Существующая"}});
  ASSERT_EQ(kept.status, 201);
  auto stranger = h.call("POST", "/api/auth/register",
                         {{"email", "stranger@vuko.local"}, {"password", "secret"}});
  ASSERT_EQ(stranger.status, 201);
  std::string strangerToken = stranger.json["token"];
  ASSERT_EQ(h.call("POST", "/api/tasks", {{"title", "Чужая"}}, strangerToken).status, 201);

  auto noServerError = [](const Reply& r, const std::string& what) {
    EXPECT_GT(r.status, 0) << what;
    EXPECT_LT(r.status, 500) << what << ": " << r.body;
  };
  size_t stored = 0;
  for (size_t i = 0; i < std::size(kHostile); ++i) {
    std::string s = hostile(i);
    SCOPED_TRACE(json(s).dump());
    auto made = h.api("POST", "/api/tasks",
                      {{"title", s}, {"description", s}, {"tags", {s, {{"name", s}}}}});
    noServerError(made, "task members");
    if (made.status == 201) {
      ++stored;
      std::string path = "/api/tasks/" + std::to_string(made.json["id"].get<int>());
      auto back = h.api("GET", path);
      EXPECT_EQ(back.json["title"], s);
      EXPECT_EQ(back.json["description"], s);
      auto patched = h.api("PATCH", path, {{"title", s + s}});
      noServerError(patched, "patch");
      EXPECT_EQ(h.api("GET", path).json["title"], s + s);
    }
    for (const char* member : {"repeat", "due_date", "start_date", "due_time"}) {
      auto r = h.api("POST", "/api/tasks", {{"title", "t"}, {member, s}});
      noServerError(r, member);
      EXPECT_EQ(r.status, 422) << member;
    }
    auto smart = h.api("POST", "/api/tasks", {{"title", s}, {"smart", true}});
    noServerError(smart, "smart title");
    stored += smart.status == 201;
    noServerError(h.api("POST", "/api/tasks/parse", {{"text", s}}), "parse");
    for (const char* member : {"timezone", "autoRemindTime", "dailyDigestTime"})
      noServerError(h.api("PUT", "/api/settings", {{member, s}}), member);
    noServerError(h.call("POST", "/api/auth/login", {{"email", s}, {"password", s}}), "login");
    noServerError(
        h.call("POST", "/api/auth/register", {{"email", s + "@x"}, {"password", s}, {"name", s}}),
        "register");
    gchar* escaped = g_uri_escape_string(s.c_str(), nullptr, FALSE);
    std::string q = escaped;
    g_free(escaped);
    for (const std::string& path :
         {"/api/tasks?view=" + q, "/api/tasks?from=" + q + "&to=" + q, "/api/tasks?completed=" + q,
          "/api/reminders/upcoming?hours=" + q, "/api/tasks/" + q,
          "/api/tasks/" + q + "/attachment"})
      noServerError(h.api("GET", path), path);
    noServerError(h.api("POST", "/api/reminders/" + q + "/fired"), "reminder id");
    noServerError(h.raw("GET", "/api/tasks", "", s), "token");
  }
  EXPECT_GE(stored, 2 * std::size(kHostile) - 2);

  auto mine = h.api("GET", "/api/tasks?view=all");
  EXPECT_EQ(mine.json["count"], static_cast<int>(stored) + 1);
  auto theirs = h.call("GET", "/api/tasks?view=all", nullptr, strangerToken);
  ASSERT_EQ(theirs.json["count"], 1);
  EXPECT_EQ(theirs.json["items"][0]["title"], "Чужая");
  EXPECT_EQ(h.api("GET", "/api/tasks/" + std::to_string(kept.json["id"].get<int>())).json["title"],
            "Существующая");
  EXPECT_EQ(db.column("SELECT count(*) FROM tasks WHERE title = 'pwned'"),
            std::vector<std::string>{"0"});
  EXPECT_EQ(db.column("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  auto tables = db.column("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
  EXPECT_EQ(tables,
            (std::vector<std::string>{"settings", "shown_reminders", "tasks", "tokens", "users"}));
}

}  // namespace
}  // namespace vuko::dev::test

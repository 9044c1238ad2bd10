// Stored secrets, oversized bodies, dropped connections and hostile text
// against the stand-in server.
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
#include <functional>
#include <regex>
#include <thread>

#include "Harness.h"

namespace vuko::dev::test {
namespace {

using nlohmann::json;
using namespace std::string_literals;

// A scratch SQLite file removed at the end.
struct TempDb {
  std::filesystem::path dir = [] {
    gchar* d = g_dir_make_tmp("vuko-sec-XXXXXX", nullptr);
    std::filesystem::path p = d;
    g_free(d);
    return p;
  }();
  std::string path = (dir / "tasks.db").string();
  ~TempDb() { std::filesystem::remove_all(dir); }

  // Runs one statement and returns the first column of every row.
  std::vector<std::string> query(const std::string& sql) const {
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    std::vector<std::string> out;
    sqlite3_open(path.c_str(), &db);
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
    while (sqlite3_step(st) == SQLITE_ROW) {
      auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      out.emplace_back(t ? t : "");
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }
};

const std::regex kLength("content-length: *(\\d+)", std::regex::icase);

// Runs `client` with a socket connected to the server on a thread of its own
// (the server answers on this thread's main context) until it returns.
void withSocket(int port, const std::function<void(int fd)>& client) {
  std::atomic<bool> done{false};
  std::thread thread([&] {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{20, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) client(fd);
    close(fd);
    done = true;
    g_main_context_wakeup(nullptr);
  });
  while (!done) g_main_context_iteration(nullptr, TRUE);
  thread.join();
}

// Sends `request` (while the server reads it) and returns the status of the
// answer once all of it has come; the connection is then dropped.
int exchange(int port, const std::string& request) {
  std::string answer;
  withSocket(port, [&](int fd) {
    for (size_t at = 0; at < request.size();) {
      ssize_t n =
          send(fd, request.data() + at, std::min<size_t>(65536, request.size() - at), MSG_NOSIGNAL);
      if (n <= 0) break;
      at += static_cast<size_t>(n);
    }
    char buf[4096];
    size_t whole = std::string::npos;  // known once the head is in
    for (ssize_t n; answer.size() < whole && (n = recv(fd, buf, sizeof buf, 0)) > 0;) {
      answer.append(buf, size_t(n));
      std::smatch m;
      if (size_t end = answer.find("\r\n\r\n"); end != std::string::npos)
        whole = end + 4 +
                (std::regex_search(answer.cbegin(), answer.cbegin() + end, m, kLength)
                     ? std::stoul(m[1])
                     : 0);
    }
  });
  return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(answer.c_str() + 9) : 0;
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

size_t openDescriptors() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                           std::filesystem::directory_iterator()));
}

// Clients that keep their connection after an answer and drop it later must
// not leave the server holding it (it did, in CLOSE_WAIT, for good).
TEST(Security, DroppedKeptAliveConnectionsLeaveNoDescriptor) {
  Harness h;
  size_t before = openDescriptors();
  int answered = 0;
  for (int i = 0; i < 30; ++i)
    answered += exchange(h.server.port(), "GET /api/health HTTP/1.1\r\nHost: x\r\n\r\n") == 200;
  EXPECT_EQ(answered, 30);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (openDescriptors() > before && std::chrono::steady_clock::now() < deadline)
    g_main_context_iteration(nullptr, FALSE);
  EXPECT_LE(openDescriptors(), before);
}

// New passwords are stored as Argon2id; one of the older salted HMAC form
// still signs in and is stored anew.
TEST(Security, PasswordsAreStoredHashedAndOldHashesUpgraded) {
  TempDb db;
  Harness h(kWednesdayNoonMoscow, db.path);
  gchar* old = g_compute_hmac_for_string(G_CHECKSUM_SHA256,
                                         reinterpret_cast<const guchar*>("salt1"), 5, "old-pw", -1);
  db.query(
      "INSERT INTO users (email, name, salt, password_hash) VALUES "
      "('old@vuko.local', 'Old', 'salt1', '"s +
      old + "')");
  g_free(old);
  auto login = [&](const char* password) {
    return h.call("POST", "/api/auth/login", {{"email", "old@vuko.local"}, {"password", password}})
        .status;
  };
  EXPECT_EQ(login("x"), 401);
  EXPECT_EQ(login("old-pw"), 200);
  EXPECT_EQ(db.query("SELECT salt FROM users WHERE email = 'old@vuko.local'"),
            std::vector<std::string>{""});
  EXPECT_EQ(login("old-pw"), 200) << "the upgraded hash signs in";
  for (const auto& hash : db.query("SELECT password_hash FROM users")) {
    EXPECT_EQ(hash.rfind("$argon2id$", 0), 0u) << hash;
    EXPECT_EQ(hash.find("secret"), std::string::npos);
  }
}

// Over 1 MiB, announced or in chunks without the closing one, is refused
// without waiting for the rest; a chunked body under the limit is served.
TEST(Security, BodiesOverTheLimitAreRefused) {
  Harness h;
  const std::string head = "POST /api/tasks HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " +
                           h.token + "\r\nContent-Type: application/json\r\n";
  EXPECT_EQ(exchange(h.server.port(), head + "Content-Length: 104857600\r\n\r\n{"), 413);
  std::string big = chunked("{\"title\": \"" + std::string(1536 * 1024, 'x') + "\"}", 16384);
  EXPECT_EQ(exchange(h.server.port(), head + "Transfer-Encoding: chunked\r\n\r\n" + big), 413);
  EXPECT_EQ(h.api("GET", "/api/tasks").json["count"], 0);

  std::string small =
      chunked(json({{"title", "Большая"}, {"description", std::string(19000, 'y')}}).dump(), 700);
  EXPECT_EQ(
      exchange(h.server.port(), head + "Transfer-Encoding: chunked\r\n\r\n" + small + "0\r\n\r\n"),
      201);
  auto tasks = h.api("GET", "/api/tasks");
  ASSERT_EQ(tasks.json["count"], 1);
  EXPECT_EQ(tasks.json["items"][0]["description"].get<std::string>().size(), 19000u);
}

// Every stored text member, query and the token with strings that would change the
// statement if they were pasted into it: what is stored comes back as sent,
// and nothing else changes.
TEST(Security, HostileTextIsStoredVerbatimOrRefused) {
  TempDb db;
  Harness h(kWednesdayNoonMoscow, db.path);
  h.api("POST", "/api/tasks", {{"title", "Существующая"}});
  auto stranger = h.call("POST", "/api/auth/register",
                         {{"email", "stranger@vuko.local"}, {"password", "secret"}});
  std::string strangerToken = stranger.json["token"];
  ASSERT_EQ(h.call("POST", "/api/tasks", {{"title", "Чужая"}}, strangerToken).status, 201);

  auto noServerError = [](const Reply& r, const std::string& what) {
    EXPECT_TRUE(r.status > 0 && r.status < 500) << what << ": " << r.body;
  };
  const std::string hostile[] = {
      "'; DROP TABLE tasks; --",
      "\" OR \"\"=\"",
      "x' UNION SELECT password_hash, salt FROM users --",
      "%_%' ESCAPE '\\",
      "?1 ?2 :name @p $q",
      "a\0b' --"s,
      "'); UPDATE tasks SET title = 'pwned'; --",
  };
  int stored = 0;
  for (const std::string& s : hostile) {
    SCOPED_TRACE(json(s).dump());
    auto made = h.api("POST", "/api/tasks",
                      {{"title", s}, {"description", s}, {"tags", {s, {{"name", s}}}}});
    ASSERT_EQ(made.status, 201) << made.body;
    std::string path = "/api/tasks/" + std::to_string(made.json["id"].get<int>());
    auto back = h.api("GET", path).json;
    EXPECT_EQ(back["title"], s);
    EXPECT_EQ(back["description"], s);
    noServerError(h.api("PATCH", path, {{"title", s + s}}), "patch");
    EXPECT_EQ(h.api("GET", path).json["title"], s + s);
    auto smart = h.api("POST", "/api/tasks", {{"title", s}, {"smart", true}});
    noServerError(smart, "smart title");
    stored += 1 + (smart.status == 201);
    noServerError(h.call("POST", "/api/auth/login", {{"email", s}, {"password", s}}), "login");
    noServerError(
        h.call("POST", "/api/auth/register", {{"email", s + "@x"}, {"password", s}, {"name", s}}),
        "register");
    gchar* escaped = g_uri_escape_string(s.c_str(), nullptr, FALSE);
    std::string q = escaped;
    g_free(escaped);
    for (const std::string& get :
         {"/api/tasks?view=" + q, "/api/tasks?from=" + q + "&to=" + q, "/api/tasks?completed=" + q,
          "/api/reminders/upcoming?hours=" + q})
      noServerError(h.api("GET", get), get);
    noServerError(h.raw("GET", "/api/tasks", "", s), "token");
  }
  EXPECT_GE(stored, 2 * static_cast<int>(std::size(hostile)) - 2);
  EXPECT_EQ(h.api("GET", "/api/tasks?view=all").json["count"], stored + 1);
  auto theirs = h.call("GET", "/api/tasks?view=all", nullptr, strangerToken);
  ASSERT_EQ(theirs.json["count"], 1);
  EXPECT_EQ(theirs.json["items"][0]["title"], "Чужая");
  EXPECT_EQ(db.query("SELECT count(*) FROM tasks WHERE title = 'pwned'"),
            std::vector<std::string>{"0"});
  EXPECT_EQ(db.query("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  EXPECT_EQ(db.query("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"),
            (std::vector<std::string>{"settings", "shown_reminders", "tasks", "tokens", "users"}));
}

}  // namespace
}  // namespace vuko::dev::test

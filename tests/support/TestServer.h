// A small HTTP server on 127.0.0.1 inside the test process, on the same main
// loop as the code under test.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vuko::test {

struct Received {
  std::string method;
  std::string path;                            // with the query, if any
  std::map<std::string, std::string> headers;  // names lower-cased
  std::string body;
};

struct Reply {
  int status = 200;
  std::string body;
  std::string contentType = "application/json";
  std::map<std::string, std::string> headers;
  // Keep the request waiting until answerHeld() is called.
  bool hold = false;
  // Written as it is on the connection, which is then closed (with hold: when
  // answerHeld() is called): for answers that break off, which the server
  // would never send by itself.
  std::optional<std::string> raw;
};

inline Reply jsonReply(int status, std::string body) {
  Reply r;
  r.status = status;
  r.body = std::move(body);
  return r;
}

inline Reply html(std::string body) {
  Reply r;
  r.body = std::move(body);
  r.contentType = "text/html; charset=utf-8";
  return r;
}

// What a task server's health check answers.
inline Reply healthy() {
  return jsonReply(200, R"({"ok":true})");
}

class TestServer {
 public:
  using Handler = std::function<Reply(const Received&)>;
  // On a free port unless one is given; throws when it cannot listen.
  explicit TestServer(int port = 0);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // Answers requests for exactly this path (without query). Unknown paths 404.
  void handle(const std::string& path, Handler h);
  // "http://127.0.0.1:PORT"
  std::string url() const;
  int port() const { return port_; }
  const std::vector<Received>& received() const { return received_; }
  // Answers every request that is being held.
  void answerHeld(const Reply& reply);
  size_t heldCount() const;

  // A port on 127.0.0.1 where nothing listens.
  static int closedPort();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
  std::map<std::string, Handler> handlers_;
  std::vector<Received> received_;
};

}  // namespace vuko::test

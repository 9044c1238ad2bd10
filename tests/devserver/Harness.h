// An in-process vuko-devserver on a free port with an in-memory database and a
// fixed clock, and a libsoup client that waits on the main context.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "devserver/DevServer.h"

typedef struct _SoupSession SoupSession;

namespace vuko::dev::test {

// Wednesday 5 March 2025, 09:00 UTC (12:00 in Moscow).
inline constexpr std::int64_t kWednesdayNoonMoscow = 1741165200;

struct Reply {
  int status = 0;
  std::string body;
  nlohmann::json json;                         // discarded when the body is not JSON
  std::map<std::string, std::string> headers;  // names in lower case
};

class Harness {
 public:
  explicit Harness(std::int64_t now = kWednesdayNoonMoscow, const std::string& db = ":memory:");
  ~Harness();
  Harness(const Harness&) = delete;
  Harness& operator=(const Harness&) = delete;

  // Sends a request; `body` goes out as is with Content-Type application/json.
  Reply raw(const std::string& method, const std::string& path, const std::string& body = {},
            const std::string& token = {});
  Reply call(const std::string& method, const std::string& path,
             const nlohmann::json& body = nullptr, const std::string& token = {});
  // Calls with the token of the account made by the constructor.
  Reply api(const std::string& method, const std::string& path,
            const nlohmann::json& body = nullptr) {
    return call(method, path, body, token);
  }

  std::int64_t now;  // the server's clock, moved by the tests
  DevServer server;
  std::string token;  // of "tester@vuko.local"

 private:
  SoupSession* session_;
};

}  // namespace vuko::dev::test

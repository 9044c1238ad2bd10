// vuko-devserver as a library: a task server with its web application on
// 127.0.0.1, served from the default GLib main context. Run the main loop (or
// iterate the default context) for it to answer.
//
//   vuko::dev::DevServer server({});          // in-memory, free port
//   std::string base = server.url();          // "http://127.0.0.1:PORT"
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vuko::dev {

class DevServer {
 public:
  // Unix seconds; the server reads it for every request.
  using Clock = std::function<std::int64_t()>;

  struct Options {
    std::string db = ":memory:";  // SQLite file, or ":memory:"
    bool demo = false;            // seed the demo account at start
    int port = 0;                 // 0 = a free port
    bool log = false;             // one line per request on stdout
    Clock clock;                  // empty = the system clock
  };

  // Throws std::runtime_error when the database cannot be opened or the port
  // cannot be bound.
  explicit DevServer(Options options);
  ~DevServer();
  DevServer(const DevServer&) = delete;
  DevServer& operator=(const DevServer&) = delete;

  int port() const;
  std::string url() const;  // "http://127.0.0.1:PORT"

  // Replaces the clock (an empty one restores the system clock).
  void setClock(Clock clock);
  std::int64_t now() const;

  // The demo account "demo@vuko.local" / "demo"; safe to run again.
  void seedDemo();

  static const char* demoEmail();
  static const char* demoPassword();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vuko::dev

// Helpers of the fault tests: scratch folders, child processes killed with
// SIGKILL, and blocking HTTP to a server in another process.
#pragma once

#include <sys/types.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace vuko::fault {

// A folder under the temp dir, removed at the end.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::filesystem::path path;
};

// How many times a kill loop runs: VUKO_FAULT_KILLS, else `fallback`.
int killCount(int fallback);

// A random whole number in [low, high].
int randomBetween(int low, int high);

struct HttpReply {
  int status = 0;  // 0 when the exchange failed
  std::string body;
};

// One request on a fresh connection to 127.0.0.1:port ("Connection: close").
HttpReply http(int port, const std::string& method, const std::string& path,
               const std::string& body = {}, const std::string& token = {});

// vuko-devserver started on a free port; killed with SIGKILL unless stopped.
class DevServerProcess {
 public:
  explicit DevServerProcess(const std::string& db);
  ~DevServerProcess();
  DevServerProcess(const DevServerProcess&) = delete;
  DevServerProcess& operator=(const DevServerProcess&) = delete;

  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  void kill9();

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace vuko::fault

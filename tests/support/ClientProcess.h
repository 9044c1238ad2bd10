// The real client as a child process on the test display and session bus,
// with a home of its own, pointed at a task server. Every test that starts
// `vuko` goes through here.
#pragma once

#include <glib.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <list>
#include <string>
#include <vector>

#include "support/Wait.h"

namespace vuko::test {

class ClientProcess {
 public:
  // Whether a child client can run here: it needs a display and a bus.
  static bool possible() {
    return std::getenv("DISPLAY") && std::getenv("DBUS_SESSION_BUS_ADDRESS");
  }

  explicit ClientProcess(const std::string& serverUrl) : home_(tempDir("client")) {
    // Built before a test can skip for want of a display: an unset one stays empty.
    auto inherited = [](const char* name) {
      const char* v = std::getenv(name);
      return std::string(name) + "=" + (v ? v : "");
    };
    env = {inherited("DISPLAY"), inherited("DBUS_SESSION_BUS_ADDRESS"),
           // Window titles are Cyrillic: the X window names need a UTF-8 locale.
           "LANG=C.UTF-8", "GDK_BACKEND=x11", "NO_AT_BRIDGE=1", "HOME=" + home_,
           "XDG_CONFIG_HOME=" + home_ + "/config", "XDG_DATA_HOME=" + home_ + "/data",
           "XDG_CACHE_HOME=" + home_ + "/cache", "VUKO_TEST_SERVER=" + serverUrl};
  }
  ~ClientProcess() {
    for (auto& r : runs_)
      if (!r.done) kill(r.pid, SIGTERM);
    for (auto& r : runs_)
      if (!waitUntil([&] { return r.done; })) {
        kill(r.pid, SIGKILL);
        waitUntil([&] { return r.done; });
      }
  }
  ClientProcess(const ClientProcess&) = delete;
  ClientProcess& operator=(const ClientProcess&) = delete;

  // Starts the long-running client.
  void start(const std::vector<std::string>& args = {}) { main_ = &spawn(args); }
  bool exited() const { return main_ && main_->done; }
  // Whether the client ended with status 0; false while it runs.
  bool exitedCleanly() const {
    return exited() && g_spawn_check_wait_status(main_->status, nullptr);
  }
  bool awaitExit(std::chrono::milliseconds timeout) {
    return waitUntil([&] { return exited(); }, timeout);
  }

  // Runs another `vuko` with args to its end; whether it ended with status 0.
  bool runOnce(const std::vector<std::string>& args) {
    Run& r = spawn(args);
    EXPECT_TRUE(waitUntil([&] { return r.done; }, std::chrono::seconds(30))) << "still running";
    return r.done && g_spawn_check_wait_status(r.status, nullptr);
  }

  const std::string& home() const { return home_; }
  std::string configDir() const { return home_ + "/config/vuko"; }
  std::vector<std::string> env;

 private:
  struct Run {
    GPid pid = 0;
    bool done = false;
    int status = -1;
  };

  Run& spawn(const std::vector<std::string>& args) {
    std::vector<std::string> argv{VUKO_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv, envp;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    Run& r = runs_.emplace_back();
    if (!g_spawn_async(nullptr, cargv.data(), envp.data(), G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                       nullptr, &r.pid, nullptr)) {
      ADD_FAILURE() << "vuko did not start";
      r.done = true;
      return r;
    }
    g_child_watch_add(
        r.pid,
        [](GPid pid, gint status, gpointer p) {
          auto* run = static_cast<Run*>(p);
          run->status = status;
          run->done = true;
          g_spawn_close_pid(pid);
        },
        &r);
    return r;
  }

  std::string home_;
  std::list<Run> runs_;  // stable addresses for the child watches
  Run* main_ = nullptr;
};

}  // namespace vuko::test

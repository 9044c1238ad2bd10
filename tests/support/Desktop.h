// Driving the X desktop from tests the way a user would (xdotool for keys,
// window search and focus, another program's window to take the focus), and
// the real client as a child process on it. Every test that starts `vuko`
// goes through ClientProcess.
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

// Runs a command to its end and gives what it printed. With looping, this
// process's main loop keeps running meanwhile, so that its own windows see
// the keys the command sends as they come.
inline std::string runSync(const std::vector<std::string>& argv, bool looping = false) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  gchar* out = nullptr;
  if (!looping) {
    g_spawn_sync(nullptr, args.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out,
                 nullptr, nullptr, nullptr);
    std::string text = out ? out : "";
    g_free(out);
    return text;
  }
  GPid pid = 0;
  bool done = false;
  if (g_spawn_async(nullptr, args.data(), nullptr,
                    GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr, nullptr,
                    &pid, nullptr)) {
    g_child_watch_add(
        pid,
        [](GPid p, gint, gpointer d) {
          *static_cast<bool*>(d) = true;
          g_spawn_close_pid(p);
        },
        &done);
    waitUntil([&] { return done; }, std::chrono::seconds(60));
  }
  return {};
}

// The first visible window with exactly that name, as a decimal id, or "".
inline std::string windowNamed(const std::string& name) {
  std::string ids = runSync({"xdotool", "search", "--onlyvisible", "--name", "^" + name + "$"});
  return ids.substr(0, ids.find('\n'));
}
inline bool visible(const std::string& name) {
  return !windowNamed(name).empty();
}

// The window that has the keyboard focus, as a decimal id.
inline std::string focusedWindow() {
  std::string id = runSync({"xdotool", "getwindowfocus"});
  return id.substr(0, id.find('\n'));
}

// Gives a window the focus the way a click on it would; true once it has it.
inline bool activate(const std::string& id) {
  runSync({"xdotool", "windowactivate", "--sync", id});
  return waitUntil([&] { return focusedWindow() == id; });
}

// Another program's window on the desktop.
class OtherProgram {
 public:
  OtherProgram() {
    char* argv[] = {const_cast<char*>("xlogo"), nullptr};
    g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &pid_, nullptr);
    waitUntil([&] { return !(id_ = windowNamed("xlogo")).empty(); });
  }
  ~OtherProgram() {
    if (pid_) kill(pid_, SIGTERM);
  }
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;

  const std::string& window() const { return id_; }
  bool focus() const { return activate(id_); }

 private:
  GPid pid_ = 0;
  std::string id_;
};

// The real client with a home of its own, pointed at a task server.
class ClientProcess {
 public:
  // Whether a child client can run here: it needs a display and a bus.
  static bool possible() {
    return std::getenv("DISPLAY") && std::getenv("DBUS_SESSION_BUS_ADDRESS");
  }

  explicit ClientProcess(const std::string& serverUrl) : home_(tempDir("client")) {
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
  // Waits for the client's end; whether it ended with status 0.
  bool exitsCleanly(std::chrono::milliseconds timeout) {
    return waitUntil([&] { return exited(); }, timeout) &&
           g_spawn_check_wait_status(main_->status, nullptr);
  }
  // Runs another `vuko` with args to its end; whether it ended with status 0.
  bool runOnce(const std::vector<std::string>& args) {
    Run& r = spawn(args);
    EXPECT_TRUE(waitUntil([&] { return r.done; }, std::chrono::seconds(30))) << "still running";
    return r.done && g_spawn_check_wait_status(r.status, nullptr);
  }
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

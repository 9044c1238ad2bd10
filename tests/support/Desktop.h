// Driving the X desktop from tests the way a user would (xdotool for keys,
// window search and focus, another program's window to take the focus), and
// the real client as a child process on it. Every test that starts `vuko`
// goes through ClientProcess.
#pragma once

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/Wait.h"

namespace vuko::test {

// Runs a command to its end and gives what it printed.
inline std::string runSync(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  gchar* out = nullptr;
  g_spawn_sync(nullptr, args.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out, nullptr,
               nullptr, nullptr);
  std::string text = out ? out : "";
  g_free(out);
  return text;
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

  explicit ClientProcess(const std::string& serverUrl)
      : home_(tempDir("client")), launcher_(g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_NONE)) {
    // Window titles are Cyrillic: the X window names need a UTF-8 locale.
    for (const auto& [name, value] :
         std::vector<std::pair<const char*, std::string>>{{"LANG", "C.UTF-8"},
                                                          {"HOME", home_},
                                                          {"XDG_CONFIG_HOME", home_ + "/config"},
                                                          {"XDG_DATA_HOME", home_ + "/data"},
                                                          {"XDG_CACHE_HOME", home_ + "/cache"},
                                                          {"XDG_STATE_HOME", home_ + "/state"},
                                                          {"VUKO_TEST_SERVER", serverUrl}})
      g_subprocess_launcher_setenv(launcher_, name, value.c_str(), TRUE);
  }
  ~ClientProcess() {
    if (main_) {
      if (!done_) g_subprocess_send_signal(main_, SIGTERM);
      if (!waitUntil([&] { return done_; })) g_subprocess_force_exit(main_);
      waitUntil([&] { return done_; });  // the wait's callback writes done_
      g_object_unref(main_);
    }
    g_object_unref(launcher_);
  }
  ClientProcess(const ClientProcess&) = delete;
  ClientProcess& operator=(const ClientProcess&) = delete;

  // For the launches after this call.
  void setenv(const char* name, const std::string& value) {
    g_subprocess_launcher_setenv(launcher_, name, value.c_str(), TRUE);
  }
  void stderrTo(const std::string& path) {
    g_subprocess_launcher_set_stderr_file_path(launcher_, path.c_str());
  }
  // Starts the long-running client, again once it has ended.
  void start(const std::vector<std::string>& args = {}) {
    g_clear_object(&main_);
    done_ = false;
    main_ = spawn(args);
    ASSERT_TRUE(main_) << "vuko did not start";
    g_subprocess_wait_async(
        main_, nullptr,
        [](GObject*, GAsyncResult*, gpointer done) { *static_cast<bool*>(done) = true; }, &done_);
  }
  bool exited() const { return done_; }
  // Waits for the client's end; whether it ended with status 0.
  bool exitsCleanly(std::chrono::milliseconds timeout) {
    return waitUntil([&] { return done_; }, timeout) && g_subprocess_get_successful(main_);
  }
  // Runs another `vuko` with args to its end (it only talks to the first);
  // whether it ended with status 0.
  bool runOnce(const std::vector<std::string>& args) {
    GSubprocess* p = spawn(args);
    bool ok = p && g_subprocess_wait(p, nullptr, nullptr) && g_subprocess_get_successful(p);
    if (p) g_object_unref(p);
    return ok;
  }
  std::string home() const { return home_; }
  int pid() const { return main_ ? std::atoi(g_subprocess_get_identifier(main_)) : 0; }
  std::string configDir() const { return home_ + "/config/vuko"; }
  std::string stateDir() const { return home_ + "/state/vuko"; }
  // SIGKILL, as a crash ends the client; start() may run it again.
  void crash() {
    g_subprocess_force_exit(main_);
    waitUntil([&] { return done_; });
    g_clear_object(&main_);
    done_ = false;
  }

 private:
  GSubprocess* spawn(const std::vector<std::string>& args) {
    std::vector<const char*> argv{VUKO_BINARY};
    for (const auto& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    return g_subprocess_launcher_spawnv(launcher_, argv.data(), nullptr);
  }

  std::string home_;
  GSubprocessLauncher* launcher_;
  GSubprocess* main_ = nullptr;
  bool done_ = false;
};

}  // namespace vuko::test

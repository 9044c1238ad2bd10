// Driving the X desktop from tests the way a user would: xdotool for keys,
// window search and focus, and another program's window to take the focus.
#pragma once

#include <glib.h>

#include <csignal>
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

// Whether a window of exactly that title is on screen.
inline bool visible(const std::string& title) {
  return !runSync({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"}).empty();
}

// Runs a command while this process's main loop keeps running, so that its
// own windows see the keys the command sends as they come.
inline bool runLooping(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  GPid pid = 0;
  if (!g_spawn_async(nullptr, args.data(), nullptr,
                     GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr, nullptr,
                     &pid, nullptr))
    return false;
  bool done = false;
  g_child_watch_add(
      pid,
      [](GPid p, gint, gpointer d) {
        *static_cast<bool*>(d) = true;
        g_spawn_close_pid(p);
      },
      &done);
  return waitUntil([&] { return done; }, std::chrono::seconds(60));
}

// The first visible window with exactly that name, or "".
inline std::string windowNamed(const std::string& name) {
  std::string ids = runSync({"xdotool", "search", "--onlyvisible", "--name", "^" + name + "$"});
  return ids.substr(0, ids.find('\n'));
}

// The window that has the keyboard focus, as a decimal id.
inline std::string focusedWindow() {
  std::string id = runSync({"xdotool", "getwindowfocus"});
  return id.substr(0, id.find('\n'));
}

// Another program's window on the desktop, given the focus on request.
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
  // True once the window manager has given it the focus.
  bool focus() const {
    runSync({"xdotool", "windowactivate", "--sync", id_});
    return waitUntil([&] { return focusedWindow() == id_; });
  }

 private:
  GPid pid_ = 0;
  std::string id_;
};

}  // namespace vuko::test

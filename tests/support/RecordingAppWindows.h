// The client's windows and window commands as a record of what the
// application rules asked of them, with window state a test sets.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/AppController.h"
#include "quick/QuickEntry.h"

namespace vuko::test {

class RecordingAppWindows final : public AppWindows, public WindowCommands, public QuickCommands {
 public:
  // Each call as one line: "showMain 42", "go /today", "edit 0".
  std::vector<std::string> calls;

  bool isLaunched = true;
  bool anyVisible = false;
  bool mainShown = false;
  bool active = false;

  void launch(bool showMain) override {
    calls.push_back(showMain ? "launch" : "launch hidden");
    isLaunched = true;
  }
  bool launched() const override { return isLaunched; }
  bool anyWindowVisible() const override { return anyVisible; }
  bool mainVisible() const override { return mainShown; }
  bool isActive() const override { return active; }
  void showMain(std::uint32_t t) override { calls.push_back("showMain " + std::to_string(t)); }
  void raiseMain(std::uint32_t t) override { calls.push_back("raiseMain " + std::to_string(t)); }
  void hideMain() override { calls.push_back("hideMain"); }
  void expectActivation(const std::string& token) override { calls.push_back("token " + token); }
  void togglePanel(std::uint32_t t) override {
    calls.push_back("toggleQuick " + std::to_string(t));
  }
  void showPanel(std::uint32_t t) override { calls.push_back("showQuick " + std::to_string(t)); }
  void toggleMini() override { calls.push_back("toggleMini"); }
  void about() override { calls.push_back("about"); }
  void openSettings() override { calls.push_back("openSettings"); }
  void chooseServer() override { calls.push_back("chooseServer"); }
  void setNotifyPermission(const std::string& permission, bool answer) override {
    calls.push_back("permission " + permission + (answer ? " answer" : ""));
  }
  void tellNotifyRefused() override { calls.push_back("tellNotifyRefused"); }

  void newTask() override { calls.push_back("newTask"); }
  void palette() override { calls.push_back("palette"); }
  void zoom(Zoom step) override { calls.push_back("zoom " + std::to_string(int(step))); }
  void back() override { calls.push_back("back"); }
  void forward() override { calls.push_back("forward"); }
  void reload() override { calls.push_back("reload"); }
  void go(const std::string& path) override { calls.push_back("go " + path); }
  void edit(Edit command) override { calls.push_back("edit " + std::to_string(int(command))); }
  void hideAll() override { calls.push_back("hideAll"); }
  void toggleFullScreen() override { calls.push_back("toggleFullScreen"); }
  void minimize() override { calls.push_back("minimize"); }
  void closeWindow() override { calls.push_back("closeWindow"); }
  void quit() override { calls.push_back("quit"); }
};

// A desktop with the given desktops and installed programs that records what
// it was asked to start.
class RecordingSettingsLauncher final : public SettingsLauncher {
 public:
  std::string names;
  std::vector<std::string> programs;
  bool starts = true;
  std::vector<std::vector<std::string>> started;

  std::string desktops() const override { return names; }
  bool installed(const std::string& program) const override {
    return std::ranges::find(programs, program) != programs.end();
  }
  bool run(const std::vector<std::string>& argv) override {
    started.push_back(argv);
    return starts;
  }
};

}  // namespace vuko::test

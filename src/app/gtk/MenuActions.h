// What the menu commands do to the client's windows: the main view's page
// commands (new task, command line, zoom, history) and the standard editing,
// window and application commands, which act on whatever has the focus.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <string>

#include "platform/Task.h"

namespace vuko {

class WebController;

class MenuActions {
 public:
  MenuActions(GtkApplication* app, WebController& main);
  MenuActions(const MenuActions&) = delete;
  MenuActions& operator=(const MenuActions&) = delete;

  // Action name → what it does, for every action these commands answer.
  std::map<std::string, std::function<void()>> table();

  void newTask();
  void palette();
  void zoomIn();
  void zoomOut();
  void zoomReset();
  // An editing command ("cut:", "copy:", "paste:", "undo:", "redo:",
  // "selectAll:") on the focused widget of the client's active window.
  void edit(const std::string& command);
  // Hides every window of the client.
  void hideAll();
  void toggleFullScreen();
  void minimize();
  void closeWindow();

  static constexpr const char* kNewTaskScript =
      "(function () { const f = document.querySelector('.quick input'); if (f) { f.focus(); "
      "return true; } if (window.vukoGo) window.vukoGo('/inbox'); return false; })()";
  static constexpr const char* kFocusQuickInput = "document.querySelector('.quick input')?.focus()";
  static constexpr const char* kPaletteScript =
      "window.dispatchEvent(new KeyboardEvent('keydown', { key: 'k', metaKey: true, bubbles: "
      "true }))";

 private:
  GtkWindow* activeWindow() const;
  Task<> newTaskRoutine();

  GtkApplication* app_;
  WebController& main_;
  Lifetime life_;
};

}  // namespace vuko

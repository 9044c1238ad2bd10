// What the menu commands do to the client's windows: the main view's page
// commands (new task, command line, zoom, history) and the standard editing,
// window and application commands, which act on whatever has the focus.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "app/AppController.h"
#include "platform/Task.h"

namespace vuko {

class WebController;

class MenuActions final : public WindowCommands {
 public:
  MenuActions(GtkApplication* app, WebController& main);
  MenuActions(const MenuActions&) = delete;
  MenuActions& operator=(const MenuActions&) = delete;

  void newTask() override;
  void palette() override;
  // The zoom belongs to the main view alone and is not kept between runs.
  void zoom(Zoom step) override;
  void back() override;
  void forward() override;
  void reload() override;
  void go(const std::string& path) override;
  // An editing command on the focused widget of the client's active window.
  void edit(Edit command) override;
  // Hides every window of the client.
  void hideAll() override;
  void toggleFullScreen() override;
  void minimize() override;
  void closeWindow() override;
  void quit() override;

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

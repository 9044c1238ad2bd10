// The sheet that chooses the task server: the public one or an own server at a
// typed address, which is probed before it is stored. Presented over a
// visible window as a modal dialog, otherwise as a centred window of its own.
// One sheet is kept and presented again each time; ServerChoice::Sheet
// decides, the window renders.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>

#include "platform/Task.h"
#include "platform/Url.h"
#include "server/ServerChoice.h"

namespace vuko {

class ServerSheet {
 public:
  explicit ServerSheet(ServerChoice::Probe probe = nullptr);
  ~ServerSheet();
  ServerSheet(const ServerSheet&) = delete;
  ServerSheet& operator=(const ServerSheet&) = delete;

  GtkWindow* window() const { return GTK_WINDOW(window_); }

  // Refills the sheet from the stored settings and shows it over `over` when
  // that window is visible. onDone runs once a server was accepted, with
  // whether the stored server changed.
  void present(GtkWindow* over, std::function<void(bool changed)> onDone);
  void modeChanged();
  // "Подключиться" or Return.
  void go();
  // "Отмена" or Escape: closes the sheet without calling onDone.
  void cancelSheet();

  // For tests.
  GtkToggleButton* pub() const { return GTK_TOGGLE_BUTTON(pub_); }
  GtkToggleButton* own() const { return GTK_TOGGLE_BUTTON(own_); }
  GtkComboBoxText* field() const { return GTK_COMBO_BOX_TEXT(field_); }
  GtkEntry* entry() const { return GTK_ENTRY(gtk_bin_get_child(GTK_BIN(field_))); }
  GtkLabel* status() const { return GTK_LABEL(status_); }
  GtkWidget* connectButton() const { return connect_; }
  bool statusIsError() const { return choice_.status().error; }

 private:
  void render();
  void close();

  ServerChoice::Sheet choice_;
  GtkWidget* window_ = nullptr;
  GtkWidget* pub_ = nullptr;
  GtkWidget* own_ = nullptr;
  GtkWidget* field_ = nullptr;
  GtkWidget* status_ = nullptr;
  GtkWidget* connect_ = nullptr;
};

}  // namespace vuko

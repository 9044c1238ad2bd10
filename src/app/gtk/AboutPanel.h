// The standard About window: the client's name, its version and a credit that
// names the server in use.
#pragma once

#include <gtk/gtk.h>

#include <string>

namespace vuko {

class AboutPanel {
 public:
  AboutPanel() = default;
  ~AboutPanel();
  AboutPanel(const AboutPanel&) = delete;
  AboutPanel& operator=(const AboutPanel&) = delete;

  // Shows the window in front of the client's others, with the server in use
  // at this moment.
  void show(GtkWindow* parent);
  GtkWidget* dialog() const { return dialog_; }

  // The version of this build; "1.0" when the build gives none.
  static std::string version();
  // "Планировщик задач. Сервер: " + server, then the public site's host.
  static std::string credit();

 private:
  GtkWidget* dialog_ = nullptr;
};

}  // namespace vuko

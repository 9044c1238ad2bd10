// The light look for a snapshot, whatever the desktop's theme: while an
// instance lives the default theme is used without its dark variant, and the
// desktop's choice comes back when it goes.
#pragma once

#include <gtk/gtk.h>

#include <string>

namespace vuko {

class LightAppearance {
 public:
  LightAppearance() {
    gchar* theme = nullptr;
    gboolean dark = FALSE;
    g_object_get(settings_, "gtk-theme-name", &theme, "gtk-application-prefer-dark-theme", &dark,
                 nullptr);
    theme_ = theme ? theme : "";
    dark_ = dark;
    g_free(theme);
    g_object_set(settings_, "gtk-theme-name", "Adwaita", "gtk-application-prefer-dark-theme", FALSE,
                 nullptr);
  }
  ~LightAppearance() {
    g_object_set(settings_, "gtk-theme-name", theme_.empty() ? nullptr : theme_.c_str(),
                 "gtk-application-prefer-dark-theme", dark_, nullptr);
  }
  LightAppearance(const LightAppearance&) = delete;
  LightAppearance& operator=(const LightAppearance&) = delete;

 private:
  GtkSettings* settings_ = gtk_settings_get_default();
  std::string theme_;
  gboolean dark_ = FALSE;
};

}  // namespace vuko

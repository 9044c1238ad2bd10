// The self-test's light look: while it lives the windows are drawn light
// whatever the desktop's theme, and the desktop's own look comes back after.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <string>

#include "selftest/gtk/LightAppearance.h"

using vuko::LightAppearance;

TEST(LightAppearanceTest, LightLookHoldsWhileItLivesThenTheDesktopsComesBack) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display";
  GtkSettings* settings = gtk_settings_get_default();
  g_object_set(settings, "gtk-theme-name", "Adwaita-dark", "gtk-application-prefer-dark-theme",
               TRUE, nullptr);
  auto look = [&] {
    gchar* theme = nullptr;
    gboolean dark = FALSE;
    g_object_get(settings, "gtk-theme-name", &theme, "gtk-application-prefer-dark-theme", &dark,
                 nullptr);
    std::string out = std::string(theme ? theme : "") + (dark ? " dark" : " light");
    g_free(theme);
    return out;
  };
  {
    LightAppearance light;
    EXPECT_EQ(look(), "Adwaita light");
  }
  EXPECT_EQ(look(), "Adwaita-dark dark");
  g_object_set(settings, "gtk-theme-name", nullptr, "gtk-application-prefer-dark-theme", FALSE,
               nullptr);
}

// The quick panel under a window manager that prevents focus stealing: the
// hot key opens it over another program with the focus in its field.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <string>

#include "hotkeys/Hotkeys.h"
#include "quick/gtk/QuickPanel.h"
#include "server/HttpTaskApi.h"
#include "support/Desktop.h"
#include "support/SettingsScope.h"
#include "support/Wait.h"

// After the test framework: Xlib defines macros (None, Bool) that clash with
// its names.
#include <gdk/gdkx.h>

using namespace vuko;
using namespace vuko::test;

namespace {

class QuickPanelTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display";
    api.setTokenSource([this]() -> Task<std::optional<std::string>> {  // lives with its owner
      co_return token;
    });
    panel = std::make_unique<QuickPanel>(api);
    hotkeys = std::make_unique<Hotkeys>(Hotkeys::Actions{{"quick", [this](std::uint32_t time) {
                                                            pressTimes.push_back(time);
                                                            panel->toggle(time);
                                                          }}});
  }
  void TearDown() override {
    hotkeys.reset();
    panel.reset();
  }

  std::string panelWindow() const {
    GdkWindow* w = gtk_widget_get_window(GTK_WIDGET(panel->window()));
    return w ? std::to_string(GDK_WINDOW_XID(w)) : "";
  }
  void press(const char* keys) { runSync({"xdotool", "key", keys}, true); }

  SettingsScope scope;
  std::optional<std::string> token;
  HttpTaskApi api;
  std::unique_ptr<QuickPanel> panel;
  std::unique_ptr<Hotkeys> hotkeys;
  std::vector<std::uint32_t> pressTimes;
};

}  // namespace

TEST_F(QuickPanelTest, HotKeyOpensItOverAnotherProgramWithTheFocusInTheField) {
  OtherProgram other;
  ASSERT_FALSE(other.window().empty());
  ASSERT_TRUE(other.focus());
  runSync({"xdotool", "mousemove", "100", "900"});

  press("ctrl+alt+space");
  ASSERT_TRUE(waitUntil([&] { return panel->isVisible() && focusedWindow() == panelWindow(); }))
      << "focus: " << focusedWindow();
  ASSERT_EQ(pressTimes.size(), 1u);
  EXPECT_NE(pressTimes[0], 0u);
  EXPECT_TRUE(gtk_widget_is_focus(GTK_WIDGET(panel->testField())));

  // Centred on the monitor under the pointer, its centre a third down.
  GdkMonitor* monitor = gdk_display_get_monitor_at_point(gdk_display_get_default(), 100, 900);
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  int x = 0, y = 0;
  ASSERT_TRUE(waitUntil([&] {
    gdk_window_get_root_origin(gtk_widget_get_window(GTK_WIDGET(panel->window())), &x, &y);
    return x == area.x + area.width / 2 - 320 && y == area.y + area.height / 3 - 59;
  })) << x
      << "," << y;
  int w = 0, h = 0;
  gtk_window_get_size(panel->window(), &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 118);

  // Typing reaches the field; Escape closes the panel.
  press("a");
  ASSERT_TRUE(
      waitUntil([&] { return std::string(gtk_entry_get_text(panel->testField())) == "a"; }));
  press("Escape");
  ASSERT_TRUE(waitUntil([&] { return !panel->isVisible(); }));

  // Pressed again over the other program it opens empty; pressed while open
  // it closes.
  ASSERT_TRUE(other.focus());
  press("ctrl+alt+space");
  ASSERT_TRUE(waitUntil([&] { return panel->isVisible() && focusedWindow() == panelWindow(); }));
  EXPECT_STREQ(gtk_entry_get_text(panel->testField()), "");
  press("ctrl+alt+space");
  ASSERT_TRUE(waitUntil([&] { return !panel->isVisible(); }));
}

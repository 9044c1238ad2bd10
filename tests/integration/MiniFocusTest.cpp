// The pomodoro mini window under the window manager: lazy loading,
// placement, the keyboard, and hiding without reload.

#include "platform/gtk/WindowFrame.h"
#include "support/Desktop.h"
#include "support/WebFixture.h"
#include "web/gtk/MiniFocus.h"

using namespace vuko;
using namespace vuko::test;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

class MiniFocusTest : public WebFixture {};

// Appearing, the panel leaves the keyboard where it was; a click into it
// gives it the keyboard, for its timer's keys and its sign-in form.
TEST_F(MiniFocusTest, LoadsLazilyAppearsTopRightAndTakesTheKeyboardOnlyWhenClicked) {
  server.handle("/mini-focus", [](const Received&) {
    return html("<input id='f' style='position:fixed;left:0;top:0;width:300px;height:100px'>");
  });
  start();
  controller->show();
  std::string main;
  ASSERT_TRUE(waitUntil([&] { return !(main = windowNamed("Vuko")).empty(); }));
  ASSERT_TRUE(activate(main));

  MiniFocus mini(controller->sharedConfig());
  WebKitWebView* view = mini.testWebView();
  EXPECT_EQ(requestCount("/mini-focus"), 0u);
  mini.toggle();
  ASSERT_TRUE(waitForUri(server.url() + "/mini-focus", view));
  std::string panel;
  ASSERT_TRUE(waitUntil([&] { return !(panel = windowNamed("Помодоро")).empty(); }));

  // Near the top right corner of the work area, the size of the panel.
  GdkRectangle area = WindowFrame::workArea();
  GdkRectangle frame{};
  ASSERT_TRUE(waitUntil([&] {
    gdk_window_get_frame_extents(gtk_widget_get_window(GTK_WIDGET(mini.window())), &frame);
    return frame.x > area.x;
  }));
  EXPECT_NEAR(frame.x, area.x + area.width - 320, 30);
  EXPECT_GE(frame.y, area.y);
  EXPECT_LE(frame.y, area.y + 60);
  int width = 0, height = 0;
  gtk_window_get_size(mini.window(), &width, &height);
  EXPECT_EQ(width, 300);
  EXPECT_EQ(height, 420);
  spin(300ms);
  EXPECT_EQ(focusedWindow(), main);

  // Started, not waited for: the panel answers the window manager meanwhile.
  g_spawn_command_line_async(("xdotool mousemove --window " + panel + " 50 50 click 1").c_str(),
                             nullptr);
  EXPECT_TRUE(waitUntil([&] { return focusedWindow() == panel; })) << focusedWindow();
  ASSERT_TRUE(waitForValue("document.activeElement.id", "f", view));
  g_spawn_command_line_async("xdotool type 25", nullptr);
  EXPECT_TRUE(waitForValue("document.getElementById('f').value", "25", view));

  // Its page's dialogs never open a window: they are answered at once.
  EXPECT_EQ(eval("[alert('Готово') === undefined, confirm('Сбросить?'), prompt('Имя', 'Черновик')]",
                 view),
            json::array({true, false, nullptr}));
  EXPECT_EQ(eval("window.vukoMac", view), json(true));  // the bootstrap reaches it too
  mini.toggle();
  EXPECT_FALSE(mini.isVisible());
  mini.toggle();
  EXPECT_TRUE(mini.isVisible());
  EXPECT_EQ(eval("document.getElementById('f').value", view), json("25"));
  EXPECT_EQ(requestCount("/mini-focus"), 1u);
}

}  // namespace

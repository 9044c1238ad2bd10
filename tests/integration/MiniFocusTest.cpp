// The pomodoro mini window: lazy loading, placement, hiding without reload,
// and the keyboard.

#include "platform/gtk/WindowFrame.h"
#include "support/Desktop.h"
#include "support/WebFixture.h"
#include "web/gtk/MiniFocus.h"

using namespace vuko;
using namespace vuko::test;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

const char* kMiniPage = "<!doctype html><title>mini</title><p>25:00</p>";

class MiniFocusTest : public WebFixture {
 protected:
  void SetUp() override {
    WebFixture::SetUp();
    if (IsSkipped()) return;
    server.handle("/mini-focus", [](const Received&) { return html(kMiniPage); });
  }
  void TearDown() override {
    mini.reset();
    WebFixture::TearDown();
  }

  WebKitWebView* view() const { return mini->testWebView(); }
  std::string miniUri() const { return uriOf(view()); }

  std::unique_ptr<MiniFocus> mini;
};

TEST_F(MiniFocusTest, LoadsLazilyAppearsTopRightAndTogglesWithoutReload) {
  controller = std::make_unique<WebController>(true);
  mini = std::make_unique<MiniFocus>(controller->sharedConfig());
  ASSERT_TRUE(waitForUri(server.url() + "/today"));
  EXPECT_EQ(requestCount("/mini-focus"), 0u);
  EXPECT_FALSE(mini->isVisible());

  mini->toggle();
  EXPECT_TRUE(mini->isVisible());
  ASSERT_TRUE(waitForUri(server.url() + "/mini-focus", view()));
  EXPECT_EQ(requestCount("/mini-focus"), 1u);
  ASSERT_TRUE(waitUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(mini->window())); }));

  // Near the top right corner of the work area, the size of the panel.
  GdkRectangle area = WindowFrame::workArea();
  GdkRectangle frame{};
  ASSERT_TRUE(waitUntil([&] {
    gdk_window_get_frame_extents(gtk_widget_get_window(GTK_WIDGET(mini->window())), &frame);
    return frame.x > area.x;
  }));
  EXPECT_NEAR(frame.x, area.x + area.width - 320, 30);
  EXPECT_GE(frame.y, area.y);
  EXPECT_LE(frame.y, area.y + 60);
  int width = 0, height = 0;
  gtk_window_get_size(mini->window(), &width, &height);
  EXPECT_EQ(width, 300);
  EXPECT_EQ(height, 420);
  // Its page's dialogs never open a window: they are answered at once.
  EXPECT_EQ(eval("[alert('Готово') === undefined, confirm('Сбросить?'), prompt('Имя', 'Черновик')]",
                 view()),
            json::array({true, false, nullptr}));

  eval("window.marker = 'kept'; true", view());
  mini->toggle();
  EXPECT_FALSE(mini->isVisible());
  mini->toggle();
  EXPECT_TRUE(mini->isVisible());
  EXPECT_EQ(eval("window.marker", view()), json("kept"));
  EXPECT_EQ(requestCount("/mini-focus"), 1u);
  EXPECT_EQ(eval("window.vukoMac", view()), json(true));  // the bootstrap reaches it too
}

// Appearing, the panel leaves the keyboard where it was; a click into it
// gives it the keyboard, for its timer's keys and its sign-in form.
TEST_F(MiniFocusTest, TakesTheKeyboardOnlyWhenClicked) {
  server.handle("/mini-focus", [](const Received&) {
    return html("<input id='f' style='position:fixed;left:0;top:0;width:300px;height:100px'>");
  });
  start();
  controller->show();
  std::string main;
  ASSERT_TRUE(waitUntil([&] { return !(main = windowNamed("Vuko")).empty(); }));
  ASSERT_TRUE(activate(main));

  mini = std::make_unique<MiniFocus>(controller->sharedConfig());
  mini->show();
  ASSERT_TRUE(waitForUri(server.url() + "/mini-focus", view()));
  std::string panel;
  ASSERT_TRUE(waitUntil([&] { return !(panel = windowNamed("Помодоро")).empty(); }));
  spin(300ms);
  EXPECT_EQ(focusedWindow(), main);

  // Started, not waited for: the panel answers the window manager meanwhile.
  g_spawn_command_line_async(("xdotool mousemove --window " + panel + " 50 50 click 1").c_str(),
                             nullptr);
  EXPECT_TRUE(waitUntil([&] { return focusedWindow() == panel; })) << focusedWindow();
  ASSERT_TRUE(waitForValue("document.activeElement.id", "f", view()));
  g_spawn_command_line_async("xdotool type 25", nullptr);
  EXPECT_TRUE(waitForValue("document.getElementById('f').value", "25", view()));
}

}  // namespace

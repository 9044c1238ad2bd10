// Windows under a window manager that prevents focus stealing: own reminder
// banners, and the pomodoro mini window (lazy loading, placement, the
// keyboard, hiding without reload).
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <memory>

#include "platform/NotificationCenter.h"
#include "platform/gtk/WindowFrame.h"
#include "reminders/Reminders.h"
#include "reminders/gtk/BannerWindow.h"
#include "server/HttpTaskApi.h"
#include "support/Desktop.h"
#include "support/FakeDesktop.h"
#include "support/Wait.h"
#include "support/WebFixture.h"
#include "web/gtk/MiniFocus.h"

namespace vuko::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

// Where the X server has the window now (not where GTK asked for it).
std::pair<int, int> placed(GtkWindow* w) {
  GdkWindow* g = gtk_widget_get_window(GTK_WIDGET(w));
  if (!g) return {-1, -1};
  int x = -1, y = -1;
  gdk_window_get_origin(g, &x, &y);
  return {x, y};
}

// The workspace the window manager put the window on (all of them: 0xFFFFFFFF).
long workspaceOf(GtkWindow* w) {
  GdkAtom type;
  gint format = 0, length = 0;
  guchar* data = nullptr;
  long out = -1;
  if (gdk_property_get(
          gtk_widget_get_window(GTK_WIDGET(w)), gdk_atom_intern("_NET_WM_DESKTOP", FALSE),
          gdk_atom_intern("CARDINAL", FALSE), 0, 1, FALSE, &type, &format, &length, &data) &&
      data && format == 32 && length >= static_cast<gint>(sizeof(long)))
    out = static_cast<long>(*reinterpret_cast<unsigned long*>(data) & 0xFFFFFFFFul);
  g_free(data);
  return out;
}

// The button with that label inside w, or null.
GtkWidget* buttonLabelled(GtkWidget* w, const char* label) {
  if (GTK_IS_BUTTON(w) && g_strcmp0(gtk_button_get_label(GTK_BUTTON(w)), label) == 0) return w;
  GtkWidget* found = nullptr;
  if (GTK_IS_CONTAINER(w)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(w));
    for (GList* c = children; c && !found; c = c->next)
      found = buttonLabelled(GTK_WIDGET(c->data), label);
    g_list_free(children);
  }
  return found;
}

// Without a notification server the reminders are shown as own banners.
class BannerWindows : public testing::Test {
 protected:
  void SetUp() override {
    if (!gdk_display_get_default()) GTEST_SKIP() << "needs a display";
    ReminderServices s;
    s.center = &center;
    s.banners = &host;
    s.testMode = true;
    engine = std::make_unique<Reminders>(api, std::move(s));
    engine->start();
    ASSERT_TRUE(waitUntil([&] { return engine->mode() == Reminders::Mode::own; }));
  }

  GtkWindow* window(size_t i) { return bannerWindow(engine->banners().at(i)->view()); }

  void show(const std::string& id, std::optional<long long> task = 42,
            std::string body = "Короткий текст") {
    engine->showBanner({id, task, "task", "Напоминание " + id, std::move(body), {}});
  }

  PrivateBus bus;
  DesktopNotificationCenter center{DesktopNotificationCenter::Options{}};
  HttpTaskApi api;  // no token source: nobody is signed in
  GtkBannerHost host;
  std::unique_ptr<Reminders> engine;
};

TEST_F(BannerWindows, ThreeStackFromTheTopRightWithoutTakingTheFocus) {
  OtherProgram other;
  ASSERT_TRUE(other.focus());
  auto area = *host.workArea();
  show("1", 42, "Первая строка\nвторая строка");
  show("2", std::nullopt);
  show("3", 42,
       "Очень длинный текст напоминания, который не помещается в две строки баннера и поэтому "
       "обрезается многоточием, как бы длинно его ни написали на сервере задач");
  ASSERT_EQ(engine->banners().size(), 3u);
  auto* top = window(0);
  auto* middle = window(1);
  auto* low = window(2);
  ASSERT_TRUE(waitUntil([&] {
    return placed(low).second > 0 && gtk_widget_get_opacity(GTK_WIDGET(low)) >= 1.0;
  })) << placed(low).second;
  int x = area.x + area.width - 340 - 12;
  auto h = [](GtkWindow* w) { return gtk_widget_get_allocated_height(GTK_WIDGET(w)); };
  EXPECT_EQ(placed(top), std::make_pair(x, area.y + 12));
  EXPECT_EQ(placed(middle), std::make_pair(x, area.y + 12 + h(top) + 8));
  EXPECT_EQ(placed(low), std::make_pair(x, placed(middle).second + h(middle) + 8));
  EXPECT_EQ(gtk_widget_get_allocated_width(GTK_WIDGET(top)), 340);
  EXPECT_GE(h(middle), 64);
  // The long body is cut to two lines: as tall as one of two lines.
  EXPECT_EQ(h(low), h(top));
  // The window manager keeps it above other windows, on every workspace.
  EXPECT_TRUE(waitUntil([&] {
    return gdk_window_get_state(gtk_widget_get_window(GTK_WIDGET(top))) & GDK_WINDOW_STATE_ABOVE;
  }));
  EXPECT_TRUE(waitUntil([&] { return workspaceOf(top) == 0xFFFFFFFFl; })) << workspaceOf(top);
  spin(std::chrono::milliseconds(300));
  EXPECT_EQ(focusedWindow(), other.window());

  // "Готово" closes the banner; the lower ones move up.
  GtkWidget* done = buttonLabelled(GTK_WIDGET(top), "Готово");
  ASSERT_TRUE(done);
  gtk_button_clicked(GTK_BUTTON(done));
  EXPECT_EQ(engine->banners().size(), 2u);
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(top)));
  EXPECT_TRUE(waitUntil([&] { return placed(middle).second == area.y + 12; }));
}

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
}  // namespace vuko::test

// The real client process under Xvfb against a task server in this process:
// start-up, the single instance, and the global hot keys the page controls.
#include <glib.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/gtk/SignalConnection.h"
#include "support/ClientProcess.h"
#include "support/Desktop.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko::test;
using vuko::SignalConnection;

namespace {

class ClientTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!ClientProcess::possible()) GTEST_SKIP() << "needs a display and a session bus";
    server.handle("/api/health", [](const Received&) { return healthy(); });
    // The page turns the client's hot keys off when the test says so, as the
    // web application's settings page does.
    server.handle("/today", [](const Received&) {
      return html(
          "<!doctype html><title>today</title><body>Сегодня<script>"
          "const post = (m) => window.webkit.messageHandlers.vuko.postMessage(m);"
          "setInterval(async () => { const r = await fetch('/cmd'); const c = await r.text();"
          "  if (c === 'off') { post({type:'setGlobalHotkey', id:'focus', combo:null});"
          "    post({type:'setGlobalHotkey', id:'quick', combo:null}); await fetch('/done'); }"
          "}, 100);</script>");
    });
    server.handle("/cmd", [this](const Received&) {
      Reply r;
      r.contentType = "text/plain";
      r.body = command;
      return r;
    });
    server.handle("/done", [this](const Received&) {
      command.clear();
      return jsonReply(200, "{}");
    });
    server.handle("/mini-focus",
                  [](const Received&) { return html("<!doctype html><body>25:00</body>"); });
  }

  void start() {
    client.start();
    ASSERT_TRUE(waitUntil([&] { return visible("Vuko"); }, std::chrono::seconds(30)));
    ASSERT_TRUE(waitUntil([&] { return count("/today") == 1; }));
  }

  size_t count(const std::string& path) const {
    size_t n = 0;
    for (const auto& r : server.received()) n += r.path == path;
    return n;
  }

  // Another application's window has the focus while keys are pressed.
  void focusOtherWindow() {
    if (!other) {
      other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
      gtk_window_set_title(GTK_WINDOW(other), "other-app");
      otherKeyPress = SignalConnection::connect(
          other, "key-press-event", G_CALLBACK(+[](GtkWidget*, GdkEventKey*, gpointer n) {
            ++*static_cast<int*>(n);
            return FALSE;
          }),
          &otherKeys);
      gtk_widget_show(other);
      waitUntil([&] { return visible("other-app"); });
    }
    std::string id = runSync({"xdotool", "search", "--onlyvisible", "--name", "^other-app$"});
    id = id.substr(0, id.find('\n'));
    runSync({"xdotool", "windowactivate", "--sync", id});
  }

  TestServer server;
  ClientProcess client{server.url()};
  std::string command;
  GtkWidget* other = nullptr;
  // Key presses that reached the other application, i.e. that nobody grabbed.
  int otherKeys = 0;
  SignalConnection otherKeyPress;
};

}  // namespace

TEST_F(ClientTest, ShowsTodayAndStaysSingleInstance) {
  start();
  // Closing the window leaves the client running; a second launch shows it.
  // The window manager closes the focused window on Alt+F4, as its close
  // button does.
  std::string id = runSync({"xdotool", "search", "--onlyvisible", "--name", "^Vuko$"});
  runSync({"xdotool", "windowactivate", "--sync", id.substr(0, id.find('\n'))});
  runSync({"xdotool", "key", "alt+F4"});
  ASSERT_TRUE(waitUntil([&] { return !visible("Vuko"); }));
  EXPECT_FALSE(client.exited());

  EXPECT_TRUE(client.runOnce({}));
  EXPECT_TRUE(waitUntil([&] { return visible("Vuko"); }));
  EXPECT_FALSE(client.exited());
  EXPECT_EQ(count("/today"), 1u);  // the same page, not a new one
}

TEST_F(ClientTest, HotKeysWorkFromAnotherApplicationUntilThePageTurnsThemOff) {
  start();
  EXPECT_EQ(count("/mini-focus"), 0u);  // loaded only when first shown
  focusOtherWindow();
  runSync({"xdotool", "key", "ctrl+alt+p"});
  ASSERT_TRUE(waitUntil([&] { return visible("Помодоро"); }));
  EXPECT_TRUE(waitUntil([&] { return count("/mini-focus") == 1; }));
  runSync({"xdotool", "key", "ctrl+alt+p"});
  ASSERT_TRUE(waitUntil([&] { return !visible("Помодоро"); }));

  command = "off";
  ASSERT_TRUE(waitUntil([&] { return command.empty(); }));
  focusOtherWindow();
  int before = otherKeys;
  runSync({"xdotool", "key", "ctrl+alt+p"});
  // The press reaches the focused application only when the client no longer
  // grabs it.
  EXPECT_TRUE(waitUntil([&] { return otherKeys > before; }));
  EXPECT_FALSE(visible("Помодоро"));
  EXPECT_FALSE(client.exited());
}

// The "show" hot key brings the main window forward with the focus taken from
// the application in front, and hides the window when it is the one in front.
TEST_F(ClientTest, ShowHotKeyTakesTheFocusFromAnotherApplicationAndHidesInFront) {
  const std::string combo = R"({"code":"KeyS","ctrl":true,"alt":true,"shift":false,"meta":false})";
  gchar* data = g_base64_encode(reinterpret_cast<const guchar*>(combo.data()), combo.size());
  std::filesystem::create_directories(client.configDir());
  {
    std::ofstream(client.configDir() + "/defaults.json")
        << "{\"hotkey.show\": {\"$data\": \"" << data << "\"}}";
  }
  g_free(data);
  start();
  auto windowOf = [](const std::string& title) {
    std::string id = runSync({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"});
    return id.substr(0, id.find('\n'));
  };
  auto focused = [] {
    std::string id = runSync({"xdotool", "getwindowfocus"});
    return id.substr(0, id.find('\n'));
  };
  const std::string main = windowOf("Vuko");
  ASSERT_FALSE(main.empty());

  // The user works in the main window, then clicks into the other
  // application: the window manager has seen that one used last.
  runSync({"xdotool", "windowactivate", "--sync", main});
  runSync({"xdotool", "mousemove", "--window", main, "100", "100", "click", "1"});
  focusOtherWindow();
  ASSERT_TRUE(waitUntil([&] { return focused() == windowOf("other-app"); }));
  runSync({"xdotool", "mousemove", "--window", windowOf("other-app"), "10", "10", "click", "1"});
  runSync({"xdotool", "key", "ctrl+alt+s"});
  EXPECT_TRUE(waitUntil([&] { return focused() == main; })) << focused();

  runSync({"xdotool", "key", "ctrl+alt+s"});
  EXPECT_TRUE(waitUntil([&] { return !visible("Vuko"); }));

  // Just after a click into the other application: only a window the user
  // asked for after that click may take the focus.
  focusOtherWindow();
  runSync({"xdotool", "mousemove", "--window", windowOf("other-app"), "10", "10", "click", "1",
           "key", "ctrl+alt+s"});
  EXPECT_TRUE(waitUntil([&] { return visible("Vuko") && focused() == main; })) << focused();
  EXPECT_FALSE(client.exited());
}

// "vuko --quick" without a running client starts it with the quick panel; a
// later one runs in the first and ends at once, the panel taking the focus
// from the program in front; a stray argument is refused.
TEST_F(ClientTest, CommandLineQuickStartsOrReachesTheClientAndStrayArgumentsAreRefused) {
  constexpr const char* kPanel = "Быстрая задача";
  client.start({"--quick"});
  ASSERT_TRUE(waitUntil([&] { return visible(kPanel); }, std::chrono::seconds(30)));
  EXPECT_TRUE(client.runOnce({"--quick"}));
  EXPECT_TRUE(waitUntil([&] { return !visible(kPanel); }));

  focusOtherWindow();
  EXPECT_TRUE(client.runOnce({"--quick"}));
  EXPECT_TRUE(waitUntil([&] { return visible(kPanel) && focusedWindow() == windowNamed(kPanel); }))
      << "focus: " << focusedWindow();
  EXPECT_FALSE(client.runOnce({"stray"}));
  EXPECT_FALSE(client.exited());

  std::string help = runSync({VUKO_BINARY, "--help"});
  for (const char* option : {"--quick", "--show", "--focus"})
    EXPECT_NE(help.find(option), std::string::npos) << help;
}

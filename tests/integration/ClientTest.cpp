// The real client process under a window manager that prevents focus
// stealing: the single instance and the windows that must take the focus
// from the program in front.
#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/Desktop.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko::test;

namespace {

class ClientTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!ClientProcess::possible()) GTEST_SKIP() << "needs a display and a session bus";
    server.handle("/api/health", [](const Received&) { return healthy(); });
    server.handle("/today", [](const Received&) { return html("<title>today</title>Сегодня"); });
  }

  TestServer server;
  ClientProcess client{server.url()};
  OtherProgram other;
};

}  // namespace

// "vuko --quick" without a running client starts it with the quick panel; a
// later one runs in the first and ends at once, the panel taking the focus
// from the program in front, as the hot key's does; a stray argument is
// refused.
TEST_F(ClientTest, CommandLineAndHotKeyOpenTheQuickPanelWithTheFocus) {
  constexpr const char* kPanel = "Быстрая задача";
  client.start({"--quick"});
  ASSERT_TRUE(waitUntil([&] { return visible(kPanel); }, std::chrono::seconds(30)));
  EXPECT_TRUE(client.runOnce({"--quick"}));
  EXPECT_TRUE(waitUntil([&] { return !visible(kPanel); }));

  ASSERT_TRUE(other.focus());
  EXPECT_TRUE(client.runOnce({"--quick"}));
  EXPECT_TRUE(waitUntil([&] { return visible(kPanel) && focusedWindow() == windowNamed(kPanel); }))
      << "focus: " << focusedWindow();
  EXPECT_FALSE(client.runOnce({"stray"}));

  runSync({"xdotool", "key", "Escape"});
  ASSERT_TRUE(waitUntil([&] { return !visible(kPanel); }));
  ASSERT_TRUE(other.focus());
  runSync({"xdotool", "key", "ctrl+alt+space"});
  EXPECT_TRUE(waitUntil([&] { return visible(kPanel) && focusedWindow() == windowNamed(kPanel); }))
      << "focus: " << focusedWindow();
  EXPECT_FALSE(client.exited());
}

// The "show" hot key brings the main window forward with the focus taken from
// the program in front, and hides the window when it is the one in front.
TEST_F(ClientTest, ShowHotKeyTakesTheFocusFromAnotherProgramAndHidesInFront) {
  const std::string combo = R"({"code":"KeyS","ctrl":true,"alt":true,"shift":false,"meta":false})";
  gchar* data = g_base64_encode(reinterpret_cast<const guchar*>(combo.data()), combo.size());
  std::filesystem::create_directories(client.configDir());
  std::ofstream(client.configDir() + "/defaults.json")
      << "{\"hotkey.show\": {\"$data\": \"" << data << "\"}}";
  g_free(data);
  client.start();
  std::string main;
  ASSERT_TRUE(
      waitUntil([&] { return !(main = windowNamed("Vuko")).empty(); }, std::chrono::seconds(30)));

  // The user works in the main window, then clicks into the other program:
  // the window manager has seen that one used last.
  ASSERT_TRUE(activate(main));
  runSync({"xdotool", "mousemove", "--window", main, "100", "100", "click", "1"});
  ASSERT_TRUE(other.focus());
  runSync({"xdotool", "mousemove", "--window", other.window(), "10", "10", "click", "1"});
  runSync({"xdotool", "key", "ctrl+alt+s"});
  EXPECT_TRUE(waitUntil([&] { return focusedWindow() == main; })) << focusedWindow();

  runSync({"xdotool", "key", "ctrl+alt+s"});
  EXPECT_TRUE(waitUntil([&] { return !visible("Vuko"); }));

  // Just after a click into the other program: only a window the user asked
  // for after that click may take the focus.
  ASSERT_TRUE(other.focus());
  runSync({"xdotool", "mousemove", "--window", other.window(), "10", "10", "click", "1", "key",
           "ctrl+alt+s"});
  EXPECT_TRUE(waitUntil([&] { return visible("Vuko") && focusedWindow() == main; }))
      << focusedWindow();
  EXPECT_FALSE(client.exited());
}

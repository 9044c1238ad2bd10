// The real client process under a window manager that prevents focus
// stealing, with a status area and a launcher on the private session bus:
// the single instance, the windows that must take the focus from the program
// in front, the status item and the badge.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/Desktop.h"
#include "support/FakeDesktop.h"
#include "support/TestServer.h"
#include "support/Wait.h"

using namespace vuko::test;

namespace {

class ClientTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!ClientProcess::possible()) GTEST_SKIP() << "needs a display and a session bus";
    server.handle("/api/health", [](const Received&) { return healthy(); });
    // A signed-in page: the token is where the web application keeps it.
    server.handle("/today", [](const Received&) {
      return html(
          "<title>today</title>Сегодня<script>localStorage.setItem('token', 'tok-7');</script>");
    });
    server.handle("/api/tasks/counts", [](const Received& r) {
      bool signedIn =
          r.headers.count("authorization") && r.headers.at("authorization") == "Bearer tok-7";
      return signedIn ? jsonReply(200, R"({"today":7,"inbox":2})") : jsonReply(401, "{}");
    });
  }

  GVariant* call(const std::string& path, const char* iface, const char* method, GVariant* args,
                 const char* type) {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GVariant* reply = g_dbus_connection_call_sync(bus, itemOwner.c_str(), path.c_str(), iface,
                                                  method, args, G_VARIANT_TYPE(type),
                                                  G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, &error);
    g_object_unref(bus);
    EXPECT_TRUE(reply) << method << ": " << (error ? error->message : "");
    if (error) g_error_free(error);
    return reply;
  }

  std::string itemProperty(const char* name) {
    GVariant* reply = call(itemPath, "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", "org.kde.StatusNotifierItem", name), "(v)");
    if (!reply) return {};
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    // Strings and object paths alike.
    std::string out = g_variant_get_string(value, nullptr);
    g_variant_unref(value);
    g_variant_unref(reply);
    return out;
  }

  // Clicks the status menu's top-level entry with that label, once the menu
  // has it, as the desktop's menu would.
  void click(const std::string& label) {
    std::optional<gint32> id;
    waitUntil([&] {
      GVariant* reply =
          call(menuPath, "com.canonical.dbusmenu", "GetLayout",
               g_variant_new("(ii@as)", 0, 1, g_variant_new_strv(nullptr, 0)), "(u(ia{sv}av))");
      GVariantIter* children = nullptr;
      g_variant_get(reply, "(u(ia{sv}av))", nullptr, nullptr, nullptr, &children);
      GVariant* child = nullptr;
      while (g_variant_iter_loop(children, "v", &child)) {
        gint32 entry = 0;
        GVariant* props = nullptr;
        g_variant_get(child, "(i@a{sv}@av)", &entry, &props, nullptr);
        const gchar* text = nullptr;
        if (g_variant_lookup(props, "label", "&s", &text) && label == text) id = entry;
        g_variant_unref(props);
      }
      g_variant_iter_free(children);
      g_variant_unref(reply);
      return id.has_value();
    });
    ASSERT_TRUE(id) << "no status item " << label;
    GVariant* reply =
        call(menuPath, "com.canonical.dbusmenu", "Event",
             g_variant_new("(isvu)", *id, "clicked", g_variant_new_int32(0), 0u), "()");
    if (reply) g_variant_unref(reply);
  }

  TestServer server;
  ClientProcess client{server.url()};
  OtherProgram other;
  std::string itemOwner, itemPath, menuPath;
};

}  // namespace

// "vuko --quick" without a running client starts it with the quick panel; a
// later one runs in the first and ends at once, the panel taking the focus
// from the program in front; a stray argument is refused.
TEST_F(ClientTest, CommandLineOpensTheQuickPanelWithTheFocus) {
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

// The status item registers with the desktop's watcher; its menu reopens
// the window and quits, and the launcher badge shows today's count.
TEST_F(ClientTest, StatusItemReopensTheWindowShowsTheBadgeAndQuits) {
  FakeDesktop shell("shell");
  // Two lines kept by an earlier run, the server unable to take them yet.
  server.handle("/api/tasks", [](const Received&) { return jsonReply(503, "{}"); });
  std::filesystem::create_directories(client.stateDir());
  std::ofstream(client.stateDir() + "/outbox.json")
      << R"({"entries": [{"server": ")" << server.url() << R"(", "text": "a"}, {"server": ")"
      << server.url() << R"(", "text": "b"}]})";
  client.start();
  ASSERT_TRUE(waitUntil([&] { return !shell.calls("Item").empty(); }, std::chrono::seconds(30)))
      << "the status item never registered";
  itemOwner = shell.calls("Item")[0][0];
  itemPath = shell.calls("Item")[0][1];
  menuPath = itemProperty("Menu");
  ASSERT_FALSE(menuPath.empty());

  // The first refresh comes a few seconds after start with the page's token.
  ASSERT_TRUE(waitUntil([&] { return !shell.calls("Badge").empty(); }, std::chrono::seconds(20)));
  EXPECT_EQ(shell.calls("Badge").back(),
            nlohmann::json({"application://app.vuko.Vuko.desktop", 7}));
  EXPECT_EQ(itemProperty("XAyatanaLabel"), "7");
  click("Ждут отправки: 2");

  // Closing the window leaves the client running; the status menu brings
  // the window back.
  ASSERT_TRUE(activate(windowNamed("Vuko")));
  runSync({"xdotool", "key", "alt+F4"});
  ASSERT_TRUE(waitUntil([&] { return !visible("Vuko"); }));
  EXPECT_FALSE(client.exited());
  click("Открыть «Vuko»");
  EXPECT_TRUE(waitUntil([&] { return visible("Vuko"); }));

  click("Выйти из «Vuko»");
  EXPECT_TRUE(client.exitsCleanly(std::chrono::seconds(20)));
}

// A start shows the last page's picture before it even loads the engine,
// then hands the window to the client, which goes on as after any start.
TEST_F(ClientTest, AStartShowsTheLastPageBeforeLoadingTheEngine) {
  FakeDesktop shell("shell");
  client.start();
  // The badge comes with the page's token: the page has loaded.
  ASSERT_TRUE(waitUntil([&] { return !shell.calls("Badge").empty(); }, std::chrono::seconds(30)));
  ASSERT_TRUE(activate(windowNamed("Vuko")));
  runSync({"xdotool", "key", "ctrl+q"});
  ASSERT_TRUE(client.exitsCleanly(std::chrono::seconds(20)));
  const std::string log = client.home() + "/second.log";
  client.setenv("VUKO_BENCH", "1");
  client.stderrTo(log);
  client.start();
  std::string marks;
  ASSERT_TRUE(waitUntil(
      [&] {
        std::ifstream in(log);
        marks.assign(std::istreambuf_iterator<char>(in), {});
        return marks.find("bench first-frame") != std::string::npos;
      },
      std::chrono::seconds(30)))
      << marks;
  const auto shown = marks.find("bench cover-shown"), loaded = marks.find("bench client-loaded");
  ASSERT_NE(shown, std::string::npos) << marks;
  EXPECT_LT(shown, loaded) << marks;
  const auto badges = shell.calls("Badge").size();
  EXPECT_TRUE(
      waitUntil([&] { return shell.calls("Badge").size() > badges; }, std::chrono::seconds(30)));
}

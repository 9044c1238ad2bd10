// The real client process with the stand-in task server: the quick panel
// adds tasks from the hot key and from "vuko --quick" while another program
// has the focus.
#include <glib.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devserver/DevServer.h"
#include "server/HttpTaskApi.h"
#include "server/Settings.h"
#include "support/Desktop.h"
#include "support/Wait.h"

using namespace vuko;
using namespace vuko::test;
using namespace std::chrono_literals;

namespace {

constexpr const char* kPanel = "Быстрая задача";

class QuickClientTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY") || !std::getenv("DBUS_SESSION_BUS_ADDRESS"))
      GTEST_SKIP() << "needs a display and a session bus";
    // The client, the server and this test read "tomorrow" in one zone.
    setenv("TZ", "Europe/Moscow", 1);
    tzset();
    home = tempDir("quick-client");
    dev::DevServer::Options options;
    options.demo = true;
    options.db = home + "/dev.db";
    options.clock = [this] {
      ++requests;
      return static_cast<std::int64_t>(std::time(nullptr));
    };
    server = std::make_unique<dev::DevServer>(options);
    Settings::setServer(*Url::parse(server->url()));
    env = {"DISPLAY=" + std::string(std::getenv("DISPLAY")),
           "DBUS_SESSION_BUS_ADDRESS=" + std::string(std::getenv("DBUS_SESSION_BUS_ADDRESS")),
           "LANG=C.UTF-8",
           "GDK_BACKEND=x11",
           "NO_AT_BRIDGE=1",
           "TZ=Europe/Moscow",
           "HOME=" + home,
           "XDG_CONFIG_HOME=" + home + "/config",
           "XDG_DATA_HOME=" + home + "/data",
           "XDG_CACHE_HOME=" + home + "/cache",
           "VUKO_TEST_SERVER=" + server->url()};
  }

  void TearDown() override {
    if (pid) {
      kill(pid, SIGTERM);
      waitUntil([&] { return exited; });
      g_spawn_close_pid(pid);
    }
    unsetenv("TZ");
    tzset();
  }

  // Starts the client with arguments; done turns true when it has ended.
  GPid launch(const std::vector<std::string>& args, bool* done, int* status = nullptr) {
    std::vector<std::string> argv{VUKO_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv, envp;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    GPid child = 0;
    EXPECT_TRUE(g_spawn_async(nullptr, cargv.data(), envp.data(), G_SPAWN_DO_NOT_REAP_CHILD,
                              nullptr, nullptr, &child, nullptr));
    watches.push_back({done, status});
    g_child_watch_add(
        child,
        [](GPid p, gint wait, gpointer w) {
          auto* watch = static_cast<Watch*>(w);
          if (watch->status) *watch->status = wait;
          *watch->done = true;
          g_spawn_close_pid(p);
        },
        &watches.back());
    return child;
  }

  // Sign-ins the server has handed out.
  int signIns() const {
    sqlite3* db = nullptr;
    int n = -1;
    if (sqlite3_open_v2((home + "/dev.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM tokens", -1, &st, nullptr) == SQLITE_OK &&
          sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int(st, 0);
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return n;
  }

  // Until the page has stopped asking the server for anything for a second.
  void settle() {
    int seen = -1;
    waitUntil(
        [&] {
          if (seen == requests) return true;
          seen = requests;
          spin(1s);
          return false;
        },
        60s);
  }

  // Signs in on the web application's sign-in page, as the user does.
  void signIn() {
    settle();
    runSync({"xdotool", "windowactivate", "--sync", windowNamed("Vuko")});
    runSync({"xdotool", "type", "--delay", "30", dev::DevServer::demoEmail()});
    runSync({"xdotool", "key", "Tab"});
    runSync({"xdotool", "type", "--delay", "30", dev::DevServer::demoPassword()});
    runSync({"xdotool", "key", "Return"});
    ASSERT_TRUE(waitUntil([&] { return signIns() >= 1; }, 30s)) << "the page did not sign in";
    settle();
  }

  // The open tasks with that title, read with a sign-in of the test's own.
  std::vector<nlohmann::json> tasksTitled(const std::string& title) {
    if (!token) {
      auto login = run(api.request("", "POST", "/auth/login",
                                   nlohmann::json{{"email", dev::DevServer::demoEmail()},
                                                  {"password", dev::DevServer::demoPassword()}}));
      token = login["token"].get<std::string>();
    }
    std::vector<nlohmann::json> out;
    auto all = run(api.request(*token, "GET", "/tasks?view=all"));
    for (const auto& t : all["items"])
      if (t.value("title", "") == title) out.push_back(t);
    return out;
  }

  bool panelFocused() {
    std::string id = windowNamed(kPanel);
    return !id.empty() && focusedWindow() == id;
  }

  void typeAndEnter(const std::string& line) {
    runSync({"xdotool", "type", "--delay", "60", line});
    runSync({"xdotool", "key", "Return"});
  }

  struct Watch {
    bool* done;
    int* status;
  };
  std::list<Watch> watches;
  std::unique_ptr<dev::DevServer> server;
  int requests = 0;
  std::string home;
  std::vector<std::string> env;
  std::optional<std::string> token;
  HttpTaskApi api;
  GPid pid = 0;
  bool exited = false;
};

}  // namespace

TEST_F(QuickClientTest, HotKeyAndCommandLineAddTasksOverAnotherProgram) {
  pid = launch({}, &exited);
  ASSERT_TRUE(waitUntil([&] { return !windowNamed("Vuko").empty(); }, 30s));
  signIn();

  OtherProgram other;
  ASSERT_TRUE(other.focus());
  runSync({"xdotool", "key", "ctrl+alt+space"});
  ASSERT_TRUE(waitUntil([&] { return panelFocused(); })) << "focus: " << focusedWindow();
  typeAndEnter("завтра в 10 позвонить маме !высокий #семья");
  ASSERT_TRUE(waitUntil([&] { return tasksTitled("позвонить маме").size() == 1; }, 30s));
  auto task = tasksTitled("позвонить маме")[0];
  EXPECT_EQ(task["priority"], 3);
  EXPECT_EQ(task["tags"], nlohmann::json::array({"семья"}));
  EXPECT_EQ(task["due_time"], "10:00:00");
  // The panel closes a moment after the confirmation.
  ASSERT_TRUE(waitUntil([&] { return windowNamed(kPanel).empty(); }));

  // A second process runs the action in this one and ends at once.
  ASSERT_TRUE(other.focus());
  bool commandDone = false;
  int commandStatus = -1;
  launch({"--quick"}, &commandDone, &commandStatus);
  ASSERT_TRUE(waitUntil([&] { return commandDone; }, 30s));
  EXPECT_TRUE(g_spawn_check_wait_status(commandStatus, nullptr));
  ASSERT_TRUE(waitUntil([&] { return panelFocused(); })) << "focus: " << focusedWindow();
  typeAndEnter("купить хлеб #дом");
  ASSERT_TRUE(waitUntil([&] { return tasksTitled("купить хлеб").size() == 1; }, 30s));
  EXPECT_EQ(tasksTitled("купить хлеб")[0]["tags"], nlohmann::json::array({"дом"}));
  EXPECT_FALSE(exited);
}

TEST_F(QuickClientTest, CommandLineStartsTheClientAndRefusesStrayArguments) {
  // Without a running client, --quick starts it and opens the panel.
  pid = launch({"--quick"}, &exited);
  ASSERT_TRUE(waitUntil([&] { return !windowNamed(kPanel).empty(); }, 30s));
  EXPECT_FALSE(exited);

  bool done = false;
  int status = 0;
  launch({"--quick"}, &done, &status);
  ASSERT_TRUE(waitUntil([&] { return done; }, 30s));
  EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr));
  EXPECT_TRUE(waitUntil([&] { return windowNamed(kPanel).empty(); }));

  done = false;
  launch({"stray"}, &done, &status);
  ASSERT_TRUE(waitUntil([&] { return done; }, 30s));
  EXPECT_FALSE(g_spawn_check_wait_status(status, nullptr));
  EXPECT_FALSE(exited);

  std::string help = runSync({VUKO_BINARY, "--help"});
  for (const char* option : {"--quick", "--show", "--focus"})
    EXPECT_NE(help.find(option), std::string::npos) << help;
}

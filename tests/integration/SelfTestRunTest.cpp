// The real client in self-test mode with nothing but the report folder: the
// start block, "готово", and the client ends by itself with status 0.
#include <glib.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "devserver/DevServer.h"
#include "support/Wait.h"

using namespace vuko;
using namespace vuko::test;

namespace {

std::vector<std::string> lines(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

}  // namespace

TEST(SelfTestRunTest, OnlyTheFolderGivesTheStartBlockThenQuits) {
  if (!std::getenv("DISPLAY") || !std::getenv("DBUS_SESSION_BUS_ADDRESS"))
    GTEST_SKIP() << "needs a display and a session bus";
  dev::DevServer server({});
  std::string home = tempDir("selftest");
  std::filesystem::path dir = std::filesystem::path(home) / "out" / "run";
  std::vector<std::string> env{
      "DISPLAY=" + std::string(std::getenv("DISPLAY")),
      "DBUS_SESSION_BUS_ADDRESS=" + std::string(std::getenv("DBUS_SESSION_BUS_ADDRESS")),
      "LANG=C.UTF-8", "GDK_BACKEND=x11", "NO_AT_BRIDGE=1", "HOME=" + home,
      "XDG_CONFIG_HOME=" + home + "/config", "XDG_DATA_HOME=" + home + "/data",
      "XDG_CACHE_HOME=" + home + "/cache", "VUKO_TEST_SERVER=" + server.url(),
      "VUKO_TEST_DIR=" + dir.string(),
      // Set but not "1", and not a number: both blocks stay off.
      "VUKO_TEST_NOTIFY=true", "VUKO_TEST_HIDDEN=abc"};
  std::vector<char*> envp, argv{const_cast<char*>(VUKO_BINARY), nullptr};
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  GPid pid = 0;
  ASSERT_TRUE(g_spawn_async(nullptr, argv.data(), envp.data(), G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                            nullptr, &pid, nullptr));
  struct Exit {
    bool done = false;
    int status = -1;
  } child;
  g_child_watch_add(
      pid,
      [](GPid, gint status, gpointer p) {
        auto* e = static_cast<Exit*>(p);
        e->done = true;
        e->status = status;
      },
      &child);
  bool ended = waitUntil([&] { return child.done; }, std::chrono::seconds(120));
  if (!ended) {
    kill(pid, SIGKILL);
    waitUntil([&] { return child.done; });
  }
  g_spawn_close_pid(pid);
  ASSERT_TRUE(ended) << "the run did not end by itself";
  EXPECT_TRUE(g_spawn_check_wait_status(child.status, nullptr)) << "status " << child.status;

  auto report = lines(dir / "report.txt");
  ASSERT_EQ(report.size(), 4u) << "report:\n"
                               << [&] {
                                    std::string all;
                                    for (const auto& l : report) all += l + "\n";
                                    return all;
                                  }();
  EXPECT_TRUE(std::regex_match(report[0], std::regex("адрес: " + server.url() + "/.*")))
      << report[0];
  EXPECT_TRUE(std::regex_match(report[1], std::regex("шапка окна: есть заголовок (true|false), "
                                                     "содержимое под шапкой (true|false) — окно "
                                                     "можно тянуть за шапку: (true|false)")))
      << report[1];
  // The page bridge is in place in every page of the server.
  EXPECT_EQ(report[2], "уведомления подменены: true");
  EXPECT_EQ(report[3], "готово");
  EXPECT_GT(std::filesystem::file_size(dir / "1-start.png"), 1000u);
}

// Revealing a file and finding the downloads folder on the desktop.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Workspace.h"
#include "support/FakeDesktop.h"
#include "support/Wait.h"

namespace vuko {
namespace {

namespace fs = std::filesystem;

class WorkspaceTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus";
    Workspace::setOpener([this](const std::string& uri) { opened.push_back(uri); });
    folder = fs::path(test::tempDir("reveal")) / "Отчёты за май";
    fs::create_directories(folder);
    file = folder / "report (2).pdf";
    std::ofstream(file) << "%PDF";
  }
  void TearDown() override { Workspace::setOpener(nullptr); }

  std::string uri(const fs::path& path) const {
    gchar* u = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string out = u ? u : "";
    g_free(u);
    return out;
  }

  std::vector<std::string> opened;
  fs::path folder, file;
};

// The file manager is asked over the bus to show the file; when it fails,
// the folder is opened instead.
TEST_F(WorkspaceTest, RevealShowsTheFileOrOpensItsFolder) {
  for (bool fails : {false, true}) {
    SCOPED_TRACE(fails ? "failing" : "working");
    test::FakeDesktop manager(fails ? std::vector<std::string>{"filemanager", "fail"}
                                    : std::vector<std::string>{"filemanager"});
    Workspace::revealFile(file.string());
    ASSERT_TRUE(test::waitUntil([&] { return manager.calls("ShowItems").size() == 1; }));
    EXPECT_EQ(manager.calls("ShowItems")[0][0], nlohmann::json::array({uri(file)}));
    if (fails) {
      EXPECT_TRUE(test::waitUntil([&] { return !opened.empty(); }));
    }
    EXPECT_EQ(opened, fails ? std::vector<std::string>{uri(folder)} : std::vector<std::string>{});
  }
}

class DownloadsFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    if (const char* v = std::getenv("XDG_DOWNLOAD_DIR")) saved = v;
    home = std::getenv("HOME");
    dirsFile = fs::path(g_get_user_config_dir()) / "user-dirs.dirs";
  }
  void TearDown() override {
    setenv("XDG_DOWNLOAD_DIR", saved.c_str(), 1);
    fs::remove(dirsFile);
    g_reload_user_special_dirs_cache();
  }
  std::string saved;
  fs::path home, dirsFile;
};

TEST_F(DownloadsFolderTest, EnvironmentThenHomeThenDesktopSetting) {
  fs::path chosen = fs::path(test::tempDir("dl")) / "new" / "Загрузки";
  setenv("XDG_DOWNLOAD_DIR", chosen.c_str(), 1);
  EXPECT_EQ(Workspace::downloadsFolder(), chosen);
  EXPECT_TRUE(fs::is_directory(chosen));

  // GLib keeps a folder it has read once, so the unset case comes first.
  setenv("XDG_DOWNLOAD_DIR", "relative/dir", 1);
  EXPECT_EQ(Workspace::downloadsFolder(), home / "Downloads");
  EXPECT_TRUE(fs::is_directory(home / "Downloads"));

  std::ofstream(dirsFile) << "XDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n";
  g_reload_user_special_dirs_cache();
  EXPECT_EQ(Workspace::downloadsFolder(), home / "Fetched");
  unsetenv("XDG_DOWNLOAD_DIR");
  EXPECT_EQ(Workspace::downloadsFolder(), home / "Fetched");
}

}  // namespace
}  // namespace vuko

// Where downloads go on the desktop.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Workspace.h"
#include "support/Wait.h"

namespace vuko {
namespace {

namespace fs = std::filesystem;

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

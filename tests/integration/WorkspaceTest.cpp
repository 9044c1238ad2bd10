#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Workspace.h"
#include "support/FakeFileManager.h"
#include "support/Wait.h"

namespace vuko {
namespace {

using test::FakeFileManager;
namespace fs = std::filesystem;

constexpr const char* kName = "org.freedesktop.FileManager1";
GVariant* busCall(const char* method, GVariant* args, const char* replyType) {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (!bus) return nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method, args,
      G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  g_object_unref(bus);
  return reply;
}

bool nameHasOwner() {
  GVariant* reply = busCall("NameHasOwner", g_variant_new("(s)", kName), "(b)");
  gboolean owned = FALSE;
  if (reply) {
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
  }
  return owned;
}

// Whether the bus would start a real file manager for a call to the name.
bool nameIsActivatable() {
  GVariant* reply = busCall("ListActivatableNames", nullptr, "(as)");
  if (!reply) return false;
  bool found = false;
  GVariantIter* names = nullptr;
  const gchar* name = nullptr;
  g_variant_get(reply, "(as)", &names);
  while (g_variant_iter_loop(names, "&s", &name)) found = found || g_str_equal(name, kName);
  g_variant_iter_free(names);
  g_variant_unref(reply);
  return found;
}

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

TEST_F(WorkspaceTest, RevealAsksTheFileManagerToShowTheFile) {
  FakeFileManager manager(false);
  Workspace::revealFile(file.string());
  ASSERT_TRUE(test::waitUntil([&] { return !manager.calls().empty(); }));
  ASSERT_EQ(manager.calls().size(), 1u);
  const auto& call = manager.calls()[0];
  ASSERT_EQ(call.uris.size(), 1u);
  EXPECT_EQ(call.uris[0], uri(file));
  EXPECT_EQ(call.uris[0].rfind("file:///", 0), 0u);
  EXPECT_NE(call.uris[0].find("/report%20(2).pdf"), std::string::npos) << call.uris[0];
  EXPECT_EQ(call.startupId, "");
  // The fake answers in order: once a later call of ours is answered, the
  // answer to the reveal has been handled too.
  bool answered = false;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  ASSERT_TRUE(bus);
  const char* none[] = {nullptr};
  g_dbus_connection_call(
      bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
      "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(^ass)", none, "marker"), nullptr,
      G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
      [](GObject*, GAsyncResult*, gpointer done) { *static_cast<bool*>(done) = true; }, &answered);
  EXPECT_TRUE(test::waitUntil([&] { return answered; }));
  g_object_unref(bus);
  EXPECT_EQ(manager.calls().size(), 2u);
  EXPECT_TRUE(opened.empty());
}

TEST_F(WorkspaceTest, RevealOpensTheFolderWhenTheFileManagerFails) {
  FakeFileManager manager(true);
  Workspace::revealFile(file.string());
  ASSERT_TRUE(test::waitUntil([&] { return !opened.empty(); }));
  EXPECT_EQ(manager.calls().size(), 1u);
  EXPECT_EQ(opened, std::vector<std::string>{uri(folder)});
}

TEST_F(WorkspaceTest, RevealOpensTheFolderWithoutAFileManager) {
  if (nameIsActivatable()) GTEST_SKIP() << "a file manager would be started by the bus";
  ASSERT_TRUE(test::waitUntil([] { return !nameHasOwner(); }));
  Workspace::revealFile(file.string());
  ASSERT_TRUE(test::waitUntil([&] { return !opened.empty(); }));
  EXPECT_EQ(opened, std::vector<std::string>{uri(folder)});
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

// Test entry: every test process gets private XDG folders and HOME, so no test
// touches the real user's settings, and an in-memory defaults store. GTK is
// initialised when a display is there (integration tests).
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Defaults.h"
#include "support/Wait.h"

namespace vuko::test {

namespace {
std::filesystem::path& root() {
  static std::filesystem::path r;
  return r;
}
}  // namespace

bool waitUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return cond();
    // Wake at least every 10 ms so the deadline is honoured without busy work.
    guint t = g_timeout_add(
        10, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr);
    g_main_context_iteration(nullptr, TRUE);
    if (GSource* s = g_main_context_find_source_by_id(nullptr, t); s && !g_source_is_destroyed(s))
      g_source_remove(t);
  }
  return true;
}

void spin(std::chrono::milliseconds duration) {
  auto end = std::chrono::steady_clock::now() + duration;
  waitUntil([&] { return std::chrono::steady_clock::now() > end; },
            duration + std::chrono::seconds(1));
}

std::string tempDir(const char* prefix) {
  std::string tmpl = (root() / (std::string(prefix) + "-XXXXXX")).string();
  char* made = g_mkdtemp(tmpl.data());
  return made ? std::string(made) : std::string();
}

}  // namespace vuko::test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  bool listing = testing::GTEST_FLAG(list_tests);
  if (!listing) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vuko-tests-XXXXXX").string();
    vuko::test::root() = g_mkdtemp(tmpl.data());
    for (auto [var, sub] : {std::pair{"XDG_CONFIG_HOME", "config"},
                            {"XDG_DATA_HOME", "data"},
                            {"XDG_CACHE_HOME", "cache"},
                            {"XDG_STATE_HOME", "state"},
                            {"HOME", "home"},
                            {"XDG_DOWNLOAD_DIR", "downloads"}}) {
      std::filesystem::create_directories(vuko::test::root() / sub);
      setenv(var, (vuko::test::root() / sub).c_str(), 1);
    }
    unsetenv("VUKO_TEST_SERVER");
    unsetenv("VUKO_TEST_DIR");
    vuko::Defaults::setStandard(std::make_shared<vuko::MemoryDefaults>());
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) gtk_init(nullptr, nullptr);
  }
  int rc = RUN_ALL_TESTS();
  if (!listing) {
    std::error_code ec;
    std::filesystem::remove_all(vuko::test::root(), ec);
  }
  return rc;
}

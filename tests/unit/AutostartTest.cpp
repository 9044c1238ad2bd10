#include <gtest/gtest.h>

#include <glib.h>

#include <filesystem>
#include <fstream>

#include "platform/Defaults.h"
#include "settings/Autostart.h"

using namespace vuko;

namespace {

void put(const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(Autostart::path()).parent_path());
  std::ofstream(Autostart::path()) << text;
}

}  // namespace

// The switch writes an entry the desktop tools accept without a remark, and
// takes it away again.
TEST(AutostartTest, EntryAppearsValidAndGoes) {
  EXPECT_FALSE(Autostart::startsAtLogin());
  ASSERT_EQ(Autostart::setStartsAtLogin(true), std::nullopt);
  EXPECT_TRUE(Autostart::startsAtLogin());
  EXPECT_TRUE(Autostart::path().ends_with("/autostart/app.vuko.Vuko.desktop"));
  ASSERT_EQ(Autostart::setStartsAtLogin(false), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(Autostart::path()));
  EXPECT_FALSE(Autostart::startsAtLogin());

  char* tool = g_find_program_in_path("desktop-file-validate");
  if (!tool) GTEST_SKIP() << "desktop-file-validate is not installed";
  ASSERT_EQ(Autostart::setStartsAtLogin(true), std::nullopt);
  std::string path = Autostart::path();
  char* argv[] = {tool, path.data(), nullptr};
  char *out = nullptr, *err = nullptr;
  int status = -1;
  ASSERT_TRUE(g_spawn_sync(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &out, &err,
                           &status, nullptr));
  EXPECT_EQ(status, 0);
  EXPECT_STREQ(out, "");
  EXPECT_STREQ(err, "");
  g_free(out);
  g_free(err);
  g_free(tool);
}

// An entry the desktop was told to skip reads as off, as does one it cannot
// read; turning the switch on rewrites it.
TEST(AutostartTest, EntryTurnedOffElsewhereReadsOff) {
  for (const char* text : {"[Desktop Entry]\nType=Application\nExec=vuko\nHidden=true\n",
                           "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", "\x01garbage"}) {
    put(text);
    EXPECT_FALSE(Autostart::startsAtLogin()) << text;
    ASSERT_EQ(Autostart::setStartsAtLogin(true), std::nullopt);
    EXPECT_TRUE(Autostart::startsAtLogin()) << text;
  }
}

// Where the entry cannot be written the user reads why, and the switch stays off.
TEST(AutostartTest, FailureIsWordedAndLeavesItOff) {
  const auto folder = std::filesystem::path(Autostart::path()).parent_path();
  std::ofstream(folder.string()) << "a file where the folder goes";
  const auto failed = Autostart::setStartsAtLogin(true);
  ASSERT_TRUE(failed.has_value());
  EXPECT_TRUE(failed->starts_with("Не удалось включить запуск при входе: ")) << *failed;
  EXPECT_GT(failed->size(), std::string("Не удалось включить запуск при входе: ").size());
  EXPECT_FALSE(Autostart::startsAtLogin());
}

// The hint comes with the first reminder delivered while off, stays across
// runs (it is kept in the store) and is gone while the switch is on.
TEST(AutostartTest, HintAfterAReminderWhileOff) {
  MemoryDefaults d;
  EXPECT_FALSE(Autostart::reminderDelivered(d, true));
  EXPECT_EQ(Autostart::hint(d, false), "");
  EXPECT_TRUE(Autostart::reminderDelivered(d, false));
  EXPECT_FALSE(Autostart::reminderDelivered(d, false));
  EXPECT_EQ(Autostart::hint(d, false), Autostart::kHint);
  EXPECT_EQ(Autostart::hint(d, true), "");
}

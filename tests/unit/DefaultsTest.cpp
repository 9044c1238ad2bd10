#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Defaults.h"
#include "support/LogCapture.h"
#include "support/Wait.h"

using namespace vuko;
namespace fs = std::filesystem;

TEST(DefaultsTest, EveryValueTypeSurvivesARestart) {
  fs::path file = fs::path(test::tempDir()) / "vuko" / "defaults.json";
  auto when =
      std::chrono::system_clock::time_point(std::chrono::microseconds(1'765'000'000'123'456));
  Defaults::Bytes bytes{0, 1, 2, 254, 255};
  {
    FileDefaults d(file);
    d.setString("s", "строка");
    d.setBool("b", false);
    d.setNumber("n", 2.5);
    d.setStringArray("a", {"x", "y"});
    d.setDictionary("m", {{"k", 1}});
    d.setData("d", bytes);
    d.setDate("t", when);
    d.setString("gone", "x");
    d.remove("gone");
    EXPECT_TRUE(d.saved());
  }
  FileDefaults d(file);
  EXPECT_EQ(d.string("s"), "строка");
  EXPECT_EQ(d.boolean("b"), false);
  EXPECT_EQ(d.number("n"), 2.5);
  EXPECT_EQ(d.stringArray("a"), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(d.dictionary("m"), (nlohmann::json{{"k", 1}}));
  EXPECT_EQ(d.data("d"), bytes);
  EXPECT_EQ(d.date("t"), when);
  EXPECT_FALSE(d.value("gone"));
  // Typed reads never mistake one type for another.
  EXPECT_FALSE(d.boolean("s"));
  EXPECT_FALSE(d.dictionary("d"));
  EXPECT_FALSE(d.data("m"));
  EXPECT_FALSE(d.stringArray("m"));
  // No temporary file is left behind.
  EXPECT_FALSE(fs::exists(file.string() + ".tmp"));
}

TEST(DefaultsTest, CorruptFileIsSetAsideNotOverwritten) {
  fs::path dir = test::tempDir();
  for (const char* bad : {"{\"server\": \"http://x\"", "[1,2]", "\xff\xfe garbage"}) {
    fs::path file = dir / "defaults.json";
    { std::ofstream(file) << bad; }
    FileDefaults d(file);
    EXPECT_FALSE(d.value("server")) << bad;
    ASSERT_TRUE(d.setAside()) << bad;
    std::ifstream kept(*d.setAside());
    std::string text((std::istreambuf_iterator<char>(kept)), {});
    EXPECT_EQ(text, bad);
    d.setBool("dockBadge", false);
    EXPECT_EQ(FileDefaults(file).boolean("dockBadge"), false);
    fs::remove(file);
  }
}

TEST(DefaultsTest, MissingFileStartsEmptyAndCreatesFolders) {
  fs::path file = fs::path(test::tempDir()) / "a" / "b" / "defaults.json";
  FileDefaults d(file);
  EXPECT_FALSE(d.setAside());
  d.setString("k", "v");
  EXPECT_TRUE(fs::exists(file));
}

TEST(DefaultsTest, AFailedSaveIsLoggedAndKeepsTheValueForThisRun) {
  fs::path blocker = fs::path(test::tempDir()) / "blocker";
  { std::ofstream(blocker) << "a file where the folder should be"; }
  fs::path file = blocker / "defaults.json";
  FileDefaults d(file);
  test::LogCapture log;
  d.setString("k", "v");
  EXPECT_FALSE(d.saved());
  EXPECT_EQ(d.string("k"), "v");
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_TRUE(log.contains(file.string())) << log.messages[0];
}

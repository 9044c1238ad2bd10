#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Defaults.h"
#include "support/LogCapture.h"
#include "support/Wait.h"

using namespace vuko;
namespace fs = std::filesystem;

TEST(DefaultsTest, EveryValueTypeSurvivesARestartInFoldersMadeForIt) {
  fs::path file = fs::path(test::tempDir()) / "a" / "vuko" / "defaults.json";
  auto when =
      std::chrono::system_clock::time_point(std::chrono::microseconds(1'765'000'000'123'456));
  Defaults::Bytes bytes{0, 1, 254, 255};
  {
    FileDefaults d(file);
    EXPECT_FALSE(d.setAside());
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
  EXPECT_FALSE(d.boolean("s") || d.dictionary("d") || d.data("m") || d.stringArray("m"));
  EXPECT_FALSE(fs::exists(file.string() + ".tmp"));
}

TEST(DefaultsTest, CorruptFileIsSetAsideNotOverwritten) {
  fs::path file = fs::path(test::tempDir()) / "defaults.json";
  for (const char* bad : {"{\"server\": \"http://x\"", "[1,2]"}) {
    { std::ofstream(file) << bad; }
    FileDefaults d(file);
    EXPECT_FALSE(d.value("server")) << bad;
    ASSERT_TRUE(d.setAside()) << bad;
    std::ifstream kept(*d.setAside());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), bad);
    d.setBool("dockBadge", false);
    EXPECT_EQ(FileDefaults(file).boolean("dockBadge"), false);
    fs::remove(file);
  }
}

TEST(DefaultsTest, AFailedSaveIsLoggedAndKeepsTheValueForThisRun) {
  fs::path blocker = fs::path(test::tempDir()) / "blocker";
  { std::ofstream(blocker) << "a file where the folder should be"; }
  FileDefaults d(blocker / "defaults.json");
  test::LogCapture log;
  d.setString("k", "v");
  EXPECT_FALSE(d.saved());
  EXPECT_EQ(d.string("k"), "v");
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_NE(log.messages[0].find(blocker.string()), std::string::npos) << log.messages[0];
}

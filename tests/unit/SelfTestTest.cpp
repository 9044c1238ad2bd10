// The self-test run's own rules: which blocks the variables turn on, and how
// the report is kept on disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "selftest/Report.h"
#include "selftest/TestVariables.h"
#include "support/Wait.h"

using namespace vuko;

namespace {

std::optional<TestVariables> readFrom(const std::map<std::string, std::string>& env) {
  return TestVariables::read([&](const char* name) -> const char* {
    auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  });
}

std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(TestVariablesTest, NoRunWithoutTheFolder) {
  EXPECT_FALSE(readFrom({{"VUKO_TEST_LOGIN", "a@b:c"}, {"VUKO_TEST_NOTIFY", "1"}}));
  auto only = readFrom({{"VUKO_TEST_DIR", "/tmp/x"}});
  ASSERT_TRUE(only);
  EXPECT_EQ(only->dir, "/tmp/x");
  EXPECT_FALSE(only->switchServer);
  EXPECT_FALSE(only->login);
  EXPECT_FALSE(only->signedInBlock);
  EXPECT_FALSE(only->notify);
  EXPECT_FALSE(only->hiddenSeconds);
  EXPECT_FALSE(only->authNav);
}

TEST(TestVariablesTest, ReminderBlockOnlyForExactlyOne) {
  struct Case {
    const char* value;
    bool on;
  } cases[] = {{"1", true},   {"true", false}, {"yes", false}, {"01", false},
               {" 1", false}, {"1 ", false},   {"", false},    {"0", false}};
  for (const auto& c : cases) {
    auto v = readFrom({{"VUKO_TEST_DIR", "/d"}, {"VUKO_TEST_NOTIFY", c.value}});
    ASSERT_TRUE(v);
    EXPECT_EQ(v->notify, c.on) << "«" << c.value << "»";
  }
}

TEST(TestVariablesTest, LoginSplitsAtTheFirstColon) {
  struct Case {
    const char* value;
    bool present;
    const char* email;
    const char* password;
  } cases[] = {
      {"demo@vuko.local:demo", true, "demo@vuko.local", "demo"},
      {"a@b:pa:ss:", true, "a@b", "pa:ss:"},
      {"a@b:", true, "a@b", ""},
      {"demo@vuko.local", false, "", ""},
      {"", false, "", ""},
  };
  for (const auto& c : cases) {
    auto v = readFrom({{"VUKO_TEST_DIR", "/d"}, {"VUKO_TEST_LOGIN", c.value}});
    ASSERT_TRUE(v);
    // Without an account only the sign-in script is skipped.
    EXPECT_TRUE(v->signedInBlock) << c.value;
    ASSERT_EQ(v->login.has_value(), c.present) << c.value;
    if (!c.present) continue;
    EXPECT_EQ(v->login->email, c.email);
    EXPECT_EQ(v->login->password, c.password);
  }
}

TEST(TestVariablesTest, HiddenSecondsAreADecimalNumber) {
  struct Case {
    const char* value;
    std::optional<double> seconds;
  } cases[] = {
      {"5", 5.0},
      {"0.5", 0.5},
      {"+2", 2.0},
      {"1e1", 10.0},
      {"0", 0.0},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {"5s", std::nullopt},
      {" 5", std::nullopt},
      {"-3", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
      {"1e999", std::nullopt},
  };
  for (const auto& c : cases) {
    auto v = readFrom({{"VUKO_TEST_DIR", "/d"}, {"VUKO_TEST_HIDDEN", c.value}});
    ASSERT_TRUE(v);
    EXPECT_EQ(v->hiddenSeconds, c.seconds) << "«" << c.value << "»";
  }
}

TEST(TestVariablesTest, SwitchAndProviderPageTakeAnyValue) {
  auto v = readFrom({{"VUKO_TEST_DIR", "/d"},
                     {"VUKO_TEST_SWITCH", "http://127.0.0.1:9"},
                     {"VUKO_TEST_AUTHNAV", ""}});
  ASSERT_TRUE(v);
  EXPECT_EQ(v->switchServer, "http://127.0.0.1:9");
  EXPECT_TRUE(v->authNav);
}

TEST(RunConfigTest, ATestRunKeepsItsDataInMemoryAndMayNameTheServer) {
  auto config = [](std::map<std::string, std::string> env) {
    return RunConfig::read([&](const char* name) -> const char* {
      auto it = env.find(name);
      return it == env.end() ? nullptr : it->second.c_str();
    });
  };
  auto plain = config({});
  EXPECT_FALSE(plain.inMemory);
  EXPECT_FALSE(plain.server);
  EXPECT_FALSE(plain.selfTest);

  // The server alone is no test run: the user's data stays where it is.
  auto served = config({{"VUKO_TEST_SERVER", "http://127.0.0.1:5300"}});
  EXPECT_FALSE(served.inMemory);
  EXPECT_EQ(served.server, "http://127.0.0.1:5300");
  EXPECT_FALSE(served.selfTest);

  auto run = config({{"VUKO_TEST_DIR", "/d"}, {"VUKO_TEST_NOTIFY", "1"}});
  EXPECT_TRUE(run.inMemory);
  EXPECT_FALSE(run.server);
  ASSERT_TRUE(run.selfTest);
  EXPECT_EQ(run.selfTest->dir, "/d");
  EXPECT_TRUE(run.selfTest->notify);
}

TEST(ReportTest, RewritesTheWholeFileAfterEveryNote) {
  auto dir = std::filesystem::path(test::tempDir("report")) / "a" / "b";
  // A longer file left by an earlier run must not show through.
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "report.txt") << "старый отчёт, гораздо длиннее нового\nвторая строка\n";
  Report report(dir);
  report.note("адрес: http://127.0.0.1:1/today");
  EXPECT_EQ(slurp(report.file()), "адрес: http://127.0.0.1:1/today");
  report.note("готово");
  EXPECT_EQ(slurp(report.file()), "адрес: http://127.0.0.1:1/today\nготово");
  // Nothing but the report is left in the folder.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"report.txt"});
}

TEST(ReportTest, CreatesTheFolderWithItsParents) {
  auto dir = std::filesystem::path(test::tempDir("report")) / "x" / "y" / "z";
  Report report(dir);
  report.note("строка");
  EXPECT_EQ(slurp(dir / "report.txt"), "строка");
}

TEST(ReportTest, AReaderNeverSeesAHalfWrittenReport) {
  auto dir = std::filesystem::path(test::tempDir("report"));
  Report report(dir);
  report.note("первая");
  // A reader holding the old file keeps reading the old whole text: the new
  // text arrives as a new file put in its place, not written over it.
  int fd = ::open(report.file().c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  struct stat before {};
  ASSERT_EQ(::fstat(fd, &before), 0);
  report.note("вторая");
  char buf[64] = {};
  ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  ::close(fd);
  EXPECT_EQ(std::string(buf, n > 0 ? n : 0), "первая");
  struct stat after {};
  ASSERT_EQ(::stat(report.file().c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_EQ(slurp(report.file()), "первая\nвторая");
}

TEST(ReportTest, AnUnwritableFolderLosesNoLines) {
  // A regular file where the folder should be: writing fails quietly.
  auto blocker = std::filesystem::path(test::tempDir("report")) / "file";
  std::ofstream(blocker) << "x";
  Report report(blocker / "sub");
  report.note("одна");
  report.note("две");
  EXPECT_EQ(report.lines(), (std::vector<std::string>{"одна", "две"}));
  EXPECT_EQ(slurp(blocker), "x");
}

TEST(ReportTest, LinesAreValidUtf8) {
  auto dir = std::filesystem::path(test::tempDir("report"));
  Report report(dir);
  report.note(std::string("ok \xD0\x96 bad \xFF end \xD0"));
  EXPECT_EQ(slurp(report.file()), "ok Ж bad \xEF\xBF\xBD end \xEF\xBF\xBD");
  struct Case {
    std::string in, out;
  } cases[] = {
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong "/"
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},                  // an emoji stays
      {"«Vuko» — ⌘", "«Vuko» — ⌘"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReportText::validUtf8(c.in), c.out);
}

TEST(ReportTextTest, ScriptResultsAsText) {
  using nlohmann::json;
  struct Case {
    std::optional<json> value;
    std::string text;
  } cases[] = {
      {json("http://x/today"), "http://x/today"},
      {json(true), "true"},
      {json(false), "false"},
      {json(3), "3"},
      {json(2.5), "2.5"},
      {json(4.0), "4"},
      {json(nullptr), "null"},
      {json::array({1, "a"}), "[1,\"a\"]"},
      {std::nullopt, "MISSING"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReportText::result(c.value, "MISSING"), c.text);
  EXPECT_TRUE(ReportText::isTrue(json(true)));
  EXPECT_FALSE(ReportText::isTrue(json("true")));
  EXPECT_FALSE(ReportText::isTrue(std::nullopt));
  EXPECT_EQ(ReportText::seconds(5), "5");
  EXPECT_EQ(ReportText::seconds(0.6), "0.6");
  EXPECT_EQ(ReportText::list({}), "-");
  EXPECT_EQ(ReportText::list({"rem1", "rem2"}), "rem1, rem2");
}

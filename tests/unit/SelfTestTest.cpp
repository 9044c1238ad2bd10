// The self-test run's own rules: which blocks the variables turn on, and how
// the report is kept on disk.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "selftest/Report.h"
#include "selftest/TestVariables.h"
#include "support/Wait.h"

using namespace vuko;
namespace fs = std::filesystem;

namespace {

using Env = std::map<std::string, std::string>;

RunConfig config(const Env& env) {
  return RunConfig::read([&](const char* name) -> const char* {
    auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  });
}

// The self-test's variables with the folder set and one more variable.
TestVariables with(const char* name, const char* value) {
  auto v = config({{"VUKO_TEST_DIR", "/d"}, {name, value}}).selfTest;
  EXPECT_TRUE(v);
  return v.value_or(TestVariables{});
}

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

TEST(TestVariablesTest, ATestRunNeedsTheFolderAndKeepsItsDataInMemory) {
  // The server alone is no test run: the user's data stays where it is.
  auto served = config({{"VUKO_TEST_SERVER", "http://127.0.0.1:5300"}, {"VUKO_TEST_NOTIFY", "1"}});
  EXPECT_FALSE(served.inMemory);
  EXPECT_EQ(served.server, "http://127.0.0.1:5300");
  EXPECT_FALSE(served.selfTest);

  auto run = config({{"VUKO_TEST_DIR", "/tmp/x"}});
  EXPECT_TRUE(run.inMemory);
  EXPECT_FALSE(run.server);
  ASSERT_TRUE(run.selfTest);
  EXPECT_EQ(run.selfTest->dir, "/tmp/x");
  EXPECT_FALSE(run.selfTest->switchServer || run.selfTest->login || run.selfTest->signedInBlock ||
               run.selfTest->notify || run.selfTest->hiddenSeconds || run.selfTest->authNav);
  EXPECT_TRUE(with("VUKO_TEST_AUTHNAV", "").authNav);
}

TEST(TestVariablesTest, TheReminderBlockNeedsExactlyOneAndTheLoginSplitsAtTheFirstColon) {
  for (const char* value : {"true", "01", "1 ", ""})
    EXPECT_FALSE(with("VUKO_TEST_NOTIFY", value).notify) << "«" << value << "»";

  auto v = with("VUKO_TEST_LOGIN", "a@b:pa:ss:");
  ASSERT_TRUE(v.login);
  EXPECT_EQ(v.login->email + " " + v.login->password, "a@b pa:ss:");
  // Without an account only the sign-in script is skipped.
  v = with("VUKO_TEST_LOGIN", "demo@vuko.local");
  EXPECT_TRUE(v.signedInBlock);
  EXPECT_FALSE(v.login);
}

TEST(TestVariablesTest, HiddenSecondsAreADecimalNumber) {
  const std::pair<const char*, std::optional<double>> cases[] = {
      {"0.5", 0.5},         {"0", 0.0},           {"", std::nullopt},    {"5s", std::nullopt},
      {" 5", std::nullopt}, {"-3", std::nullopt}, {"inf", std::nullopt}, {"1e999", std::nullopt},
  };
  for (const auto& [value, seconds] : cases)
    EXPECT_EQ(with("VUKO_TEST_HIDDEN", value).hiddenSeconds, seconds) << "«" << value << "»";
}

// A reader holding the old file keeps reading the old whole text: each note
// puts a new file in its place, in a folder the report makes.
TEST(ReportTest, EveryNoteReplacesTheWholeFile) {
  auto dir = fs::path(test::tempDir("report")) / "a" / "b";
  Report report(dir);
  report.note("первая");
  int fd = ::open(report.file().c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  report.note(std::string("вторая \xFF"));  // kept valid UTF-8
  char buf[64] = {};
  ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  ::close(fd);
  EXPECT_EQ(std::string(buf, n > 0 ? n : 0), "первая");
  EXPECT_EQ(slurp(report.file()), "первая\nвторая \xEF\xBF\xBD");
  // Nothing but the report is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(ReportTest, AnUnwritableFolderLosesNoLines) {
  // A regular file where the folder should be: writing fails quietly.
  auto blocker = fs::path(test::tempDir("report")) / "file";
  std::ofstream(blocker) << "x";
  Report report(blocker / "sub");
  report.note("одна");
  report.note("две");
  EXPECT_EQ(report.lines(), (std::vector<std::string>{"одна", "две"}));
  EXPECT_EQ(slurp(blocker), "x");
}

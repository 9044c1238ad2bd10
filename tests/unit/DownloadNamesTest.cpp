#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/Wait.h"
#include "web/DownloadNames.h"

namespace vuko {
namespace {

namespace fs = std::filesystem;

class DownloadNamesTest : public testing::Test {
 protected:
  void SetUp() override {
    folder = test::tempDir("downloads");
    ASSERT_FALSE(folder.empty());
  }

  // Takes the chosen name the way a finished download does: writes the file
  // and gives the reservation back.
  fs::path download(const std::string& suggested) {
    fs::path path = names.choose(folder, suggested);
    std::ofstream(path) << "data";
    names.release(path);
    return path;
  }

  fs::path folder;
  DownloadNames names;
};

TEST_F(DownloadNamesTest, SameNameThreeTimes) {
  struct Case {
    const char* suggested;
    const char* first;
    const char* second;
    const char* third;
  };
  const Case cases[] = {
      {"report.pdf", "report.pdf", "report (2).pdf", "report (3).pdf"},
      {"README", "README", "README (2)", "README (3)"},
      {"archive.tar.gz", "archive.tar.gz", "archive.tar (2).gz", "archive.tar (3).gz"},
      {".hidden", ".hidden", ".hidden (2)", ".hidden (3)"},
      {"отчёт за май.xlsx", "отчёт за май.xlsx", "отчёт за май (2).xlsx", "отчёт за май (3).xlsx"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(download(c.suggested), folder / c.first);
    EXPECT_EQ(download(c.suggested), folder / c.second);
    EXPECT_EQ(download(c.suggested), folder / c.third);
    EXPECT_TRUE(fs::exists(folder / c.third));
  }
}

TEST_F(DownloadNamesTest, NamesTakenOnDiskAreSkippedWhateverTheirOrderOrKind) {
  std::ofstream(folder / "a.txt") << "x";
  std::ofstream(folder / "a (2).txt") << "x";
  std::ofstream(folder / "a (4).txt") << "x";
  // A dangling link counts as taken: writing through it would land elsewhere.
  fs::create_symlink(folder / "nowhere", folder / "link.txt");
  for (const auto& [suggested, expected] :
       {std::pair{"a.txt", "a (3).txt"}, {"a.txt", "a (5).txt"}, {"link.txt", "link (2).txt"}})
    EXPECT_EQ(download(suggested), folder / expected) << suggested;
}

TEST_F(DownloadNamesTest, TwoDownloadsDecidedTogetherGetDifferentNames) {
  fs::path first = names.choose(folder, "report.pdf");
  fs::path second = names.choose(folder, "report.pdf");
  EXPECT_EQ(first, folder / "report.pdf");
  EXPECT_EQ(second, folder / "report (2).pdf");
  EXPECT_TRUE(names.isReserved(first));

  // A failed download gives its name back without leaving a file.
  names.release(first);
  EXPECT_FALSE(names.isReserved(first));
  EXPECT_EQ(names.choose(folder, "report.pdf"), folder / "report.pdf");
  EXPECT_EQ(names.choose(folder, "report.pdf"), folder / "report (3).pdf");
}

TEST_F(DownloadNamesTest, UnsafeSuggestedNames) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "download"},
      {".", "download"},
      {"..", "download"},
      {"/", "download"},
      {"a/..", "download"},
      {"../../etc/passwd", "passwd"},
      {"/tmp/evil.sh", "evil.sh"},
      {"dir/", "download"},
      {std::string("bad\0name.txt", 12), "badname.txt"},
      {"...", "..."},
      {"name.", "name."},
  };
  for (const auto& [suggested, safe] : cases) {
    EXPECT_EQ(DownloadNames::safeName(suggested), safe) << suggested;
    fs::path chosen = names.choose(folder, suggested);
    EXPECT_EQ(chosen.parent_path(), folder) << suggested;
    names.release(chosen);
  }
  EXPECT_EQ(download(".."), folder / "download");
  EXPECT_EQ(download(""), folder / "download (2)");
  EXPECT_EQ(download("name."), folder / "name.");
  EXPECT_EQ(download("name."), folder / "name. (2)");
}

}  // namespace
}  // namespace vuko

#include "web/DownloadNames.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/Wait.h"

namespace vuko {
namespace {

namespace fs = std::filesystem;

class DownloadNamesTest : public testing::Test {
 protected:
  // Takes the chosen name the way a finished download does: writes the file
  // and gives the reservation back.
  fs::path download(const std::string& suggested) {
    fs::path path = names.choose(folder, suggested);
    std::ofstream(path) << "data";
    names.release(path);
    return path;
  }

  fs::path folder = test::tempDir("downloads");
  DownloadNames names;
};

TEST_F(DownloadNamesTest, ATakenNameGetsTheFirstFreeNumberBeforeItsExtension) {
  // A dangling link counts as taken: writing through it would land elsewhere.
  fs::create_symlink(folder / "nowhere", folder / "link.txt");
  std::ofstream(folder / "a (3).txt") << "x";
  const std::pair<const char*, const char*> cases[] = {
      {"archive.tar.gz", "archive.tar.gz"},
      {"archive.tar.gz", "archive.tar (2).gz"},
      {".hidden", ".hidden"},
      {".hidden", ".hidden (2)"},
      {"name.", "name."},
      {"name.", "name. (2)"},
      {"a.txt", "a.txt"},
      {"a.txt", "a (2).txt"},
      {"a.txt", "a (4).txt"},
      {"link.txt", "link (2).txt"},
  };
  for (const auto& [suggested, expected] : cases)
    EXPECT_EQ(download(suggested), folder / expected) << suggested;
}

TEST_F(DownloadNamesTest, TwoDownloadsDecidedTogetherGetDifferentNames) {
  fs::path first = names.choose(folder, "отчёт.pdf");
  EXPECT_EQ(names.choose(folder, "отчёт.pdf"), folder / "отчёт (2).pdf");
  // A failed download gives its name back without leaving a file.
  names.release(first);
  EXPECT_FALSE(names.isReserved(first));
  EXPECT_EQ(names.choose(folder, "отчёт.pdf"), first);
  EXPECT_EQ(names.choose(folder, "отчёт.pdf"), folder / "отчёт (3).pdf");
}

// The name comes from the server or the page: it must not climb out of the
// folder or name the folder itself.
TEST_F(DownloadNamesTest, UnsafeSuggestedNames) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "download"},
      {"..", "download"},
      {"dir/", "download"},
      {"../../etc/passwd", "passwd"},
      {"/tmp/evil.sh", "evil.sh"},
      {std::string("bad\0name.txt", 12), "badname.txt"},
      {"...", "..."},
  };
  for (const auto& [suggested, safe] : cases) {
    EXPECT_EQ(DownloadNames::safeName(suggested), safe) << suggested;
    EXPECT_EQ(download(suggested).parent_path(), folder) << suggested;
  }
}

}  // namespace
}  // namespace vuko
